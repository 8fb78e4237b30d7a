#include "modules/tag_module.h"

#include "build_config.h"
#include "modules/description_tags.h"

#include <cmath>
#include <limits>
#include <stdexcept>
#include <vector>

#include <nlohmann/json.hpp>

namespace velmora {

const char* kProjectID = "VL58.Marlow";

namespace {

    // "code" read as int; a float beyond int's range is no int at all, and
    // converting it would be undefined, so it counts as a failure code.
    int readCode(const nlohmann::json& code)
    {
        if (code.is_number_float()) {
            const double value = code.get<double>();
            if (!(value > static_cast<double>(std::numeric_limits<int>::min()) - 1.0
                    && value < static_cast<double>(std::numeric_limits<int>::max()) + 1.0))
                return -1;
        }
        return code.get<int>();
    }

} // namespace

void from_json(const nlohmann::json& json, Tag& tag)
{
    json.at("name").get_to(tag.name);
    json.at("description").get_to(tag.description);
}

TagModule::TagModule()
    : TagModule(build_config::kTagServiceUrl)
{
}

TagModule::TagModule(const std::string& service_url, std::chrono::milliseconds total_timeout)
{
    fetchTags(service_url, total_timeout);
}

TagModule::~TagModule() = default;

void TagModule::fetchTags(const std::string& service_url, std::chrono::milliseconds total_timeout)
{
    const QString path
        = QStringLiteral("/api/api/v1/projects/%1/commit_tags").arg(QString::fromUtf8(kProjectID));
    http::Request request;
    request.url = service_url + path.toStdString();
    request.headers = { { "Content-Type", "application/json" } };
    request.total_timeout = total_timeout;

    const http::Response response = http::get(request);
    if (response.status_code != 200) {
        throw std::runtime_error(QStringLiteral("服务器获取标签[Tag]数据失败,[%1]:%2")
                                     .arg(response.status_code)
                                     .arg(QString::fromStdString(response.bodyOrError()))
                                     .toStdString());
    }

    // Non-const on purpose: a missing member reads as null and so fails its
    // conversion with the library's type error.
    nlohmann::json reply = nlohmann::json::parse(response.text);
    if (readCode(reply["code"]) != 0) {
        throw std::runtime_error(QStringLiteral("[TagModule]Get Tags Failed. %1")
                                     .arg(QString::fromStdString(reply["msg"].get<std::string>()))
                                     .toStdString());
    }
    const auto tags = reply["data"]["list"].get<std::vector<Tag>>();
    for (const auto& tag : tags)
        tag_table_.emplace(tag.name, std::make_pair(false, tag.description)); // first of a name wins
}

void TagModule::initialize(const std::string& description)
{
    for (const auto& name : parseDescriptionTags(description, nullptr)) {
        auto it = tag_table_.find(name);
        if (it != tag_table_.end())
            it->second.first = true;
    }
}

bool TagModule::getTag(const std::string& name) const
{
    auto it = tag_table_.find(name);
    return it != tag_table_.end() && it->second.first;
}

void TagModule::setTag(const std::string& name, bool selected)
{
    auto it = tag_table_.find(name);
    if (it != tag_table_.end())
        it->second.first = selected;
}

QList<std::pair<QString, QString>> TagModule::getProjectTags() const
{
    QList<std::pair<QString, QString>> tags;
    tags.reserve(static_cast<qsizetype>(tag_table_.size()));
    for (const auto& [name, entry] : tag_table_)
        tags.append({ QString::fromStdString(name), QString::fromStdString(entry.second) });
    return tags;
}

QString TagModule::getCurrentTagsLiterals() const
{
    std::vector<std::string> selected;
    for (const auto& [name, entry] : tag_table_) {
        if (entry.first)
            selected.push_back(name);
    }
    return tagLiterals(selected);
}

bool TagModule::isValid(QString* error)
{
    if (getCurrentTagsLiterals().isEmpty()) {
        if (error)
            *error = QStringLiteral("需要选中相关TAGS标签");
        return false;
    }
    return true;
}

} // namespace velmora
