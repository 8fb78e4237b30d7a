#include "change_form.h"

#include "p4_output.h"

#include <cctype>
#include <stdexcept>

namespace velmora {

namespace {

    void writeValue(std::string& form, const char* field, const std::string& value)
    {
        if (value.empty())
            return;
        if (value.find_first_of("\r\n") != std::string::npos)
            throw std::invalid_argument(std::string("change form field ") + field + " holds a line break");
        form += field;
        form += ":\t" + value + "\n\n";
    }

    void writeList(std::string& form, const char* field, const std::vector<std::string>& values)
    {
        if (values.empty())
            return;
        form += field;
        form += ":\n";
        for (const std::string& value : values) {
            if (value.find_first_of("\r\n") != std::string::npos)
                throw std::invalid_argument(
                    std::string("change form field ") + field + " holds a line break");
            form += "\t" + value + "\n";
        }
        form += "\n";
    }

    std::string normalisedLineBreaks(const std::string& text)
    {
        std::string result;
        result.reserve(text.size());
        for (size_t i = 0; i < text.size(); ++i) {
            if (text[i] == '\r') {
                result += '\n';
                if (i + 1 < text.size() && text[i + 1] == '\n')
                    ++i;
            } else {
                result += text[i];
            }
        }
        return result;
    }

} // namespace

std::string writeChangeForm(const ChangeForm& form)
{
    std::string text;
    writeValue(text, "Change", form.change == 0 ? std::string("new") : std::to_string(form.change));
    writeValue(text, "Client", form.client);
    writeValue(text, "User", form.user);
    writeValue(text, "Status", form.status);
    writeValue(text, "Type", form.type);
    writeValue(text, "Identity", form.identity);

    text += "Description:\n";
    const std::string description = normalisedLineBreaks(form.description);
    size_t start = 0;
    for (;;) {
        size_t end = description.find('\n', start);
        text += "\t" + description.substr(start, end == std::string::npos ? std::string::npos : end - start)
            + "\n";
        if (end == std::string::npos)
            break;
        start = end + 1;
    }
    text += "\n";

    writeList(text, "Jobs", form.jobs);
    writeValue(text, "Stream", form.stream);
    writeList(text, "Files", form.files);
    return text;
}

int parseChangeReply(const std::string& reply, const std::string& verb)
{
    const std::string prefix = "Change ";
    for (size_t at = reply.find(prefix); at != std::string::npos; at = reply.find(prefix, at + 1)) {
        size_t digits = at + prefix.size();
        size_t end = digits;
        while (end < reply.size() && std::isdigit(static_cast<unsigned char>(reply[end])))
            ++end;
        if (end == digits || end - digits > 9)
            continue;
        if (reply.compare(end, verb.size() + 1, " " + verb) == 0)
            return std::stoi(reply.substr(digits, end - digits));
    }
    throw P4OutputError("p4 change -i did not report the change as " + verb + ": " + trimmed(reply));
}

} // namespace velmora
