#include "standin_state.h"

#include <cctype>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace velmora {

namespace fs = std::filesystem;

Json StandInState::defaults(const std::string& root)
{
    return Json {
        { "port", "localhost:1666" },
        { "user", "tester" },
        { "logged_in", true },
        { "tickets",
            Json::array({ Json { { "port", "localhost:1666" }, { "user", "tester" },
                { "ticket", "9F3C1A0B5D7E4C2A8B6F0D1E3A5C7B9D" } } }) },
        { "client",
            Json { { "name", "tester-ws" }, { "root", root }, { "stream", "//streams/main" },
                { "depot_prefix", "//streams/main/" } } },
        { "next_change", 100 },
        { "changes", Json::array() },
        { "opened", Json::array() },
        { "head", Json::object() },
        { "have", Json::object() },
    };
}

Json StandInState::load(const std::string& dir)
{
    std::ifstream in(fs::path(dir) / "state.json");
    if (!in)
        throw StandInError { "stand-in p4: no state.json in " + dir, 0 };
    std::stringstream text;
    text << in.rdbuf();
    Json state = Json::parse(text.str(), nullptr, false);
    if (state.is_discarded() || !state.is_object())
        throw StandInError { "stand-in p4: state.json in " + dir + " is not a JSON object", 0 };
    return state;
}

void StandInState::save(const std::string& dir, const Json& state)
{
    // Write then rename, so that a reader never sees half a file.
    fs::path target = fs::path(dir) / "state.json";
    fs::path temp = fs::path(dir) / "state.json.tmp";
    {
        std::ofstream out(temp, std::ios::trunc);
        out << state.dump(2, ' ', false, Json::error_handler_t::replace) << "\n";
    }
    fs::rename(temp, target);
}

StandInState::StandInState(Json& state)
    : state_(state)
{
}

Json* StandInState::findChange(int change)
{
    for (Json& entry : state_["changes"]) {
        if (entry.value("change", 0) == change)
            return &entry;
    }
    return nullptr;
}

Json& StandInState::pendingChange(const std::string& number)
{
    Json* change = isNumber(number) ? findChange(std::stoi(number)) : nullptr;
    if (!change || change->value("status", "") != "pending")
        throw StandInError { "Change " + number + " unknown.", kGenericUnknown };
    return *change;
}

bool StandInState::hasHigherChange(int change) const
{
    for (const Json& entry : state_["changes"]) {
        if (entry.value("change", 0) > change)
            return true;
    }
    return state_.value("next_change", 1) > change + 1;
}

int StandInState::takeChangeNumber()
{
    int number = state_.value("next_change", 1);
    state_["next_change"] = number + 1;
    return number;
}

std::string StandInState::clientPathOf(const std::string& depot) const
{
    const Json& client = state_["client"];
    std::string prefix = client.value("depot_prefix", "");
    if (depot.compare(0, prefix.size(), prefix) != 0)
        return {};
    return "//" + client.value("name", "") + "/" + depot.substr(prefix.size());
}

std::string StandInState::localPathOf(const std::string& depot) const
{
    const Json& client = state_["client"];
    std::string prefix = client.value("depot_prefix", "");
    if (depot.compare(0, prefix.size(), prefix) != 0)
        return {};
    return client.value("root", "") + "/" + unescapePath(depot.substr(prefix.size()));
}

std::string StandInState::depotPathOfArg(const std::string& arg, std::string& revision_spec) const
{
    // A literal # or @ would be escaped, so the first one starts the revision.
    size_t cut = arg.find_first_of("#@");
    std::string path = arg.substr(0, cut);
    revision_spec = cut == std::string::npos ? std::string() : arg.substr(cut);

    const Json& client = state_["client"];
    const std::string prefix = client.value("depot_prefix", "");
    if (path.compare(0, 2, "//") == 0) {
        std::string client_prefix = "//" + client.value("name", "") + "/";
        if (path.compare(0, client_prefix.size(), client_prefix) == 0)
            return prefix + escapePath(unescapePath(path.substr(client_prefix.size())));
        return escapePath(unescapePath(path));
    }
    fs::path local = fs::path(unescapePath(path));
    if (local.is_relative())
        local = fs::current_path() / local;
    std::string normal = local.lexically_normal().string();
    std::string root = client.value("root", "");
    if (normal.compare(0, root.size() + 1, root + "/") != 0)
        throw StandInError { "Path '" + normal + "' is not under client's root '" + root + "'.",
            kGenericUnknown };
    return prefix + escapePath(normal.substr(root.size() + 1));
}

std::string escapePath(const std::string& plain)
{
    std::string escaped;
    for (char c : plain) {
        switch (c) {
        case '%':
            escaped += "%25";
            break;
        case '@':
            escaped += "%40";
            break;
        case '#':
            escaped += "%23";
            break;
        case '*':
            escaped += "%2A";
            break;
        default:
            escaped += c;
        }
    }
    return escaped;
}

std::string unescapePath(const std::string& escaped)
{
    std::string plain;
    for (size_t i = 0; i < escaped.size(); ++i) {
        if (escaped[i] == '%' && i + 2 < escaped.size()
            && std::isxdigit(static_cast<unsigned char>(escaped[i + 1]))
            && std::isxdigit(static_cast<unsigned char>(escaped[i + 2]))) {
            plain += static_cast<char>(std::stoi(escaped.substr(i + 1, 2), nullptr, 16));
            i += 2;
        } else {
            plain += escaped[i];
        }
    }
    return plain;
}

bool isNumber(const std::string& text)
{
    if (text.empty() || text.size() > 9)
        return false;
    for (char c : text) {
        if (!std::isdigit(static_cast<unsigned char>(c)))
            return false;
    }
    return true;
}

} // namespace velmora
