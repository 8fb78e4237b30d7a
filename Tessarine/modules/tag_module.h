#pragma once

#include "http/http_client.h"
#include "modules/imodule.h"

#include <QList>
#include <QString>

#include <chrono>
#include <string>
#include <unordered_map>
#include <utility>

#include <nlohmann/json_fwd.hpp>

namespace velmora {

// The project whose commit tags the tag service lists.
extern const char* kProjectID;

// One entry of the tag service's list.
struct Tag {
    std::string name;
    std::string description;
};

// Both keys required, both strings; otherwise the JSON library throws.
void from_json(const nlohmann::json& json, Tag& tag);

// Holds the project's commit tags and which of them are selected for the
// changelist. The constructor fetches the list once (and throws when it
// cannot); afterwards only the selected flags change. A submit may go ahead
// only with at least one tag selected. GUI thread only.
class TagModule : public IModule {
    Q_OBJECT
public:
    // Fetches from the compiled-in tag service.
    TagModule();
    // Fetches from the tag service at service_url (scheme, host and port, no
    // trailing slash), the whole request bounded by total_timeout.
    explicit TagModule(const std::string& service_url,
        std::chrono::milliseconds total_timeout = http::Request {}.total_timeout);
    ~TagModule() override;

    // Selects the tags that the description's prefix names; unknown names are
    // ignored and nothing is cleared.
    void initialize(const std::string& description);

    bool getTag(const std::string& name) const;
    // Names not in the table are ignored.
    void setTag(const std::string& name, bool selected);

    // (name, description) of every tag, in table order.
    QList<std::pair<QString, QString>> getProjectTags() const;
    // The selected tags as a tag prefix, in table order.
    QString getCurrentTagsLiterals() const;

    bool isValid(QString* error) override;

private:
    void fetchTags(const std::string& service_url, std::chrono::milliseconds total_timeout);

    // Name to (selected, description); the keys are fixed by the constructor.
    std::unordered_map<std::string, std::pair<bool, std::string>> tag_table_;
};

} // namespace velmora
