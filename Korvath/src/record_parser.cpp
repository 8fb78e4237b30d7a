#include "record_parser.h"

#include <algorithm>
#include <cctype>

namespace velmora {

namespace {

    const std::string* stringField(const nlohmann::json& record, const std::string& key)
    {
        auto it = record.find(key);
        if (it == record.end() || !it->is_string())
            return nullptr;
        return it->get_ptr<const std::string*>();
    }

    std::string optionalField(const nlohmann::json& record, const std::string& key)
    {
        const std::string* value = stringField(record, key);
        return value ? *value : std::string();
    }

    const std::string& requiredField(
        const nlohmann::json& record, const std::string& key, const char* command)
    {
        const std::string* value = stringField(record, key);
        if (!value)
            throw P4OutputError(
                std::string("p4 ") + command + " wrote a record without \"" + key + "\": " + record.dump());
        return *value;
    }

    int parseNumber(const std::string& text, const char* what)
    {
        if (text.empty() || text.size() > 9
            || !std::all_of(text.begin(), text.end(), [](unsigned char c) { return std::isdigit(c); }))
            throw P4OutputError(std::string("p4 wrote a malformed ") + what + ": \"" + text + "\"");
        return std::stoi(text);
    }

    std::vector<std::string> indexedFields(const nlohmann::json& record, const std::string& key)
    {
        std::vector<std::string> values;
        for (size_t i = 0;; ++i) {
            const std::string* value = stringField(record, key + std::to_string(i));
            if (!value)
                return values;
            values.push_back(*value);
        }
    }

    std::string lowered(std::string text)
    {
        std::transform(
            text.begin(), text.end(), text.begin(), [](unsigned char c) { return std::tolower(c); });
        return text;
    }

    // "host:1666" -> "1666"; "" when the key does not end in a port number (a server id).
    std::string portNumber(const std::string& key)
    {
        size_t colon = key.rfind(':');
        if (colon == std::string::npos || colon + 1 == key.size())
            return {};
        std::string number = key.substr(colon + 1);
        bool digits
            = std::all_of(number.begin(), number.end(), [](unsigned char c) { return std::isdigit(c); });
        return digits ? number : std::string();
    }

} // namespace

int parseRevision(const std::string& text)
{
    if (text.empty() || text == "none")
        return 0;
    return parseNumber(text, "revision");
}

std::vector<FileSpec> parseFileRecords(const P4Output& output, bool every_record_is_file)
{
    std::vector<FileSpec> files;
    for (const nlohmann::json& record : output.records) {
        const std::string* depot = stringField(record, "depotFile");
        if (!depot) {
            if (every_record_is_file)
                requiredField(record, "depotFile", "file listing");
            continue;
        }
        std::string revision;
        for (const char* key : { "rev", "workRev", "haveRev" }) {
            revision = optionalField(record, key);
            if (!revision.empty())
                break;
        }
        std::string client_file = optionalField(record, "clientFile");
        bool client_syntax = client_file.compare(0, 2, "//") == 0;
        files.emplace_back(DepotPath(*depot), ClientPath(client_syntax ? client_file : std::string()),
            LocalPath(client_syntax ? std::string() : client_file), parseRevision(revision));
    }
    return files;
}

std::vector<FileSpec> parseWhereRecords(const P4Output& output)
{
    std::vector<FileSpec> files;
    for (const nlohmann::json& record : output.records) {
        if (record.contains("unmap"))
            continue;
        files.emplace_back(DepotPath(requiredField(record, "depotFile", "where")),
            ClientPath(optionalField(record, "clientFile")),
            LocalPath(requiredField(record, "path", "where")), 0);
    }
    return files;
}

std::vector<FileSpec> parseShelvedFiles(const P4Output& output)
{
    if (output.records.empty())
        throw P4OutputError("p4 describe wrote no change record");
    const nlohmann::json& record = output.records.front();
    requiredField(record, "change", "describe");
    std::vector<FileSpec> files;
    for (size_t i = 0;; ++i) {
        const std::string index = std::to_string(i);
        const std::string* depot = stringField(record, "depotFile" + index);
        if (!depot)
            return files;
        files.emplace_back(DepotPath(*depot), parseRevision(optionalField(record, "rev" + index)));
    }
}

ChangeForm parseChangeForm(const P4Output& output)
{
    if (output.records.empty())
        throw P4OutputError("p4 change -o wrote no change form");
    const nlohmann::json& record = output.records.front();
    ChangeForm form;
    form.change = parseNumber(requiredField(record, "Change", "change -o"), "change number");
    form.description = requiredField(record, "Description", "change -o");
    form.client = optionalField(record, "Client");
    form.user = optionalField(record, "User");
    form.status = optionalField(record, "Status");
    form.type = optionalField(record, "Type");
    form.identity = optionalField(record, "Identity");
    form.stream = optionalField(record, "Stream");
    form.jobs = indexedFields(record, "Jobs");
    form.files = indexedFields(record, "Files");
    return form;
}

std::string descriptionForDisplay(const std::string& stored)
{
    if (!stored.empty() && stored.back() == '\n')
        return stored.substr(0, stored.size() - 1);
    return stored;
}

SubmitResult parseSubmitResult(const P4Output& output)
{
    SubmitResult result;
    bool submitted = false;
    for (const nlohmann::json& record : output.records) {
        if (const std::string* change = stringField(record, "submittedChange")) {
            result.submitted_change_id = parseNumber(*change, "submitted change number");
            submitted = true;
        }
    }
    if (!submitted)
        throw P4OutputError("p4 submit did not report a submitted change");
    result.files = parseFileRecords(output, false);
    return result;
}

std::string parseStream(const P4Output& output)
{
    if (output.records.empty())
        throw P4OutputError("p4 client -o wrote no client spec");
    const nlohmann::json& record = output.records.front();
    requiredField(record, "Client", "client -o");
    return optionalField(record, "Stream");
}

namespace {

    // The key p4 stores a ticket under for a P4PORT value: no protocol prefix, host added to
    // a bare port ("ssl:perforce:1666" -> "perforce:1666", "1666" -> "localhost:1666").
    std::string ticketKeyForPort(const std::string& port)
    {
        std::string key = port;
        static const char* const kProtocols[]
            = { "tcp:", "tcp4:", "tcp6:", "tcp46:", "tcp64:", "ssl:", "ssl4:", "ssl6:", "ssl46:", "ssl64:" };
        for (const char* protocol : kProtocols) {
            std::string prefix(protocol);
            if (lowered(key.substr(0, prefix.size())) == prefix) {
                key = key.substr(prefix.size());
                break;
            }
        }
        if (key.find(':') == std::string::npos)
            key = "localhost:" + key;
        return lowered(key);
    }

} // namespace

std::string parseTicket(const std::string& text, const std::string& user, const std::string& port)
{
    struct Ticket {
        std::string key;
        std::string user;
        std::string value;
    };
    std::vector<Ticket> tickets;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        std::string line
            = trimmed(text.substr(start, end == std::string::npos ? std::string::npos : end - start));
        start = end == std::string::npos ? text.size() : end + 1;
        size_t open = line.find(" (");
        size_t close = line.rfind(") ");
        if (open == std::string::npos || close == std::string::npos || close < open)
            continue;
        std::string value = trimmed(line.substr(close + 2));
        if (value.empty() || value.find(' ') != std::string::npos)
            continue;
        tickets.push_back({ lowered(line.substr(0, open)), line.substr(open + 2, close - open - 2), value });
    }

    // User names are case-sensitive on most servers; a case-insensitive server may store the
    // name as typed differently, so an exact match wins and a folded one is the fallback.
    std::vector<const Ticket*> candidates;
    for (const Ticket& ticket : tickets) {
        if (ticket.user == user)
            candidates.push_back(&ticket);
    }
    if (candidates.empty()) {
        for (const Ticket& ticket : tickets) {
            if (lowered(ticket.user) == lowered(user))
                candidates.push_back(&ticket);
        }
    }
    if (candidates.empty())
        return {};
    const std::string key = ticketKeyForPort(port);
    for (const Ticket* ticket : candidates) {
        if (ticket->key == key)
            return ticket->value;
    }
    // The key may be the server's id, or its address as the server reported it (an IP
    // address for a host name): take the first ticket not stored for another port number.
    const std::string port_number = portNumber(key);
    for (const Ticket* ticket : candidates) {
        std::string number = portNumber(ticket->key);
        if (number.empty() || number == port_number)
            return ticket->value;
    }
    return {};
}

} // namespace velmora
