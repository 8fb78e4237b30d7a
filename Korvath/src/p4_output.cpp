#include "p4_output.h"

namespace velmora {

namespace {

    constexpr int kGenericEmpty = 17;

    std::string exitText(int exit_code, int term_signal)
    {
        if (term_signal != 0)
            return "p4 was terminated by signal " + std::to_string(term_signal);
        return "p4 exited with code " + std::to_string(exit_code);
    }

    int intField(const nlohmann::json& record, const char* key)
    {
        auto it = record.find(key);
        if (it == record.end())
            return 0;
        if (it->is_number_integer())
            return it->get<int>();
        if (it->is_string()) {
            try {
                return std::stoi(it->get<std::string>());
            } catch (const std::exception&) {
            }
        }
        throw P4OutputError(
            "p4 wrote a message with a malformed \"" + std::string(key) + "\": " + record.dump());
    }

    std::string dataField(const nlohmann::json& record)
    {
        auto it = record.find("data");
        if (it == record.end() || !it->is_string())
            throw P4OutputError("p4 wrote a message without text: " + record.dump());
        return trimmed(it->get<std::string>());
    }

} // namespace

std::string trimmed(const std::string& text)
{
    const char* blanks = " \t\r\n";
    size_t first = text.find_first_not_of(blanks);
    if (first == std::string::npos)
        return {};
    size_t last = text.find_last_not_of(blanks);
    return text.substr(first, last - first + 1);
}

P4Output parseOutputLines(const std::string& out)
{
    P4Output output;
    size_t start = 0;
    while (start < out.size()) {
        size_t end = out.find('\n', start);
        std::string line = out.substr(start, end == std::string::npos ? std::string::npos : end - start);
        start = end == std::string::npos ? out.size() : end + 1;
        if (trimmed(line).empty())
            continue;
        nlohmann::json record = nlohmann::json::parse(line, nullptr, false);
        if (record.is_discarded() || !record.is_object()) {
            constexpr size_t kShown = 200;
            throw P4OutputError("p4 wrote output that is not machine-readable: "
                + (line.size() > kShown ? line.substr(0, kShown) + "..." : line));
        }
        if (record.contains("severity")) {
            output.messages.push_back(
                { intField(record, "severity"), intField(record, "generic"), dataField(record) });
        } else if (record.contains("data") && record.contains("level") && record.size() == 2) {
            output.infos.push_back(dataField(record));
        } else {
            output.records.push_back(std::move(record));
        }
    }
    return output;
}

bool isEmptyResultWarning(const P4Message& message)
{
    if (message.severity != 2)
        return false;
    if (message.generic == kGenericEmpty)
        return true;
    for (const char* tail : { "file(s) not opened on this client.", "file(s) not opened in that changelist.",
             "File(s) not opened on this client.", "File(s) not opened in that changelist.",
             "file(s) up-to-date.", "no such file(s).", "file(s) not in client view." }) {
        const std::string suffix(tail);
        if (message.text.size() >= suffix.size()
            && message.text.compare(message.text.size() - suffix.size(), suffix.size(), suffix) == 0)
            return true;
    }
    return false;
}

P4NotOpenedOutput::P4NotOpenedOutput(std::vector<std::string> lines)
    : P4OutputError("files not opened")
    , lines_(std::move(lines))
{
}

void requireEveryFileMatched(const P4Output& output)
{
    std::vector<std::string> lines;
    for (const P4Message& message : output.messages) {
        if (message.severity == 2)
            lines.push_back(message.text);
    }
    if (!lines.empty())
        throw P4NotOpenedOutput(std::move(lines));
}

std::optional<std::string> failureText(
    const P4Output& output, int exit_code, int term_signal, const std::string& err)
{
    std::string errors;
    for (const P4Message& message : output.messages) {
        // Warnings other than "nothing matched" mean part of the request was not done.
        if (message.severity >= 3 || (message.severity == 2 && !isEmptyResultWarning(message))) {
            if (!errors.empty())
                errors += "\n";
            errors += message.text;
        }
    }
    if (!errors.empty())
        return errors;
    if (exit_code == 0 && term_signal == 0)
        return std::nullopt;
    std::string stderr_text = trimmed(err);
    if (!stderr_text.empty())
        return stderr_text;
    return exitText(exit_code, term_signal);
}

std::optional<std::string> textFailureText(
    int exit_code, int term_signal, const std::string& out, const std::string& err)
{
    if (exit_code == 0 && term_signal == 0)
        return std::nullopt;
    for (const std::string* text : { &err, &out }) {
        std::string message = trimmed(*text);
        if (!message.empty())
            return message;
    }
    return exitText(exit_code, term_signal);
}

} // namespace velmora
