#include "standin_form.h"

#include <cctype>
#include <set>

namespace velmora {

namespace {

    const std::set<std::string> kFields { "Change", "Date", "Client", "User", "Status", "Type", "ImportedBy",
        "Identity", "Description", "JobStatus", "Jobs", "Stream", "Files" };

    std::string trim(const std::string& text)
    {
        size_t first = text.find_first_not_of(" \t");
        if (first == std::string::npos)
            return {};
        return text.substr(first, text.find_last_not_of(" \t") - first + 1);
    }

    StandInError formError(const std::string& detail)
    {
        return StandInError { "Error in change spec.\n" + detail, kGenericUsage };
    }

} // namespace

std::string StandInForm::text(const std::string& field) const
{
    auto it = blocks.find(field);
    if (it == blocks.end() || it->second.empty())
        return {};
    std::string joined;
    for (const std::string& line : it->second)
        joined += line + "\n";
    return joined;
}

std::vector<std::string> StandInForm::entries(const std::string& field) const
{
    std::vector<std::string> result;
    auto it = blocks.find(field);
    if (it == blocks.end())
        return result;
    for (const std::string& line : it->second) {
        std::string entry = trim(line.substr(0, line.find('#')));
        if (!entry.empty())
            result.push_back(entry);
    }
    return result;
}

StandInForm parseChangeForm(const std::string& text)
{
    StandInForm form;
    std::vector<std::string>* block = nullptr;
    size_t start = 0;
    while (start <= text.size()) {
        size_t end = text.find('\n', start);
        std::string line = text.substr(start, end == std::string::npos ? std::string::npos : end - start);
        start = end == std::string::npos ? text.size() + 1 : end + 1;
        if (!line.empty() && line.back() == '\r')
            line.pop_back();

        if (!line.empty() && line.front() == '#')
            continue;
        if (line.empty() || line.front() == '\t' || line.front() == ' ') {
            if (block)
                block->push_back(line.empty() ? line : line.substr(1));
            else if (!trim(line).empty())
                throw formError("Syntax error in '" + trim(line) + "'.");
            continue;
        }
        size_t colon = line.find(':');
        std::string name = colon == std::string::npos ? line : line.substr(0, colon);
        if (colon == std::string::npos || !kFields.count(name))
            throw formError("Unknown field name '" + name + "'.");
        std::string value = trim(line.substr(colon + 1));
        if (value.empty()) {
            block = &form.blocks[name];
        } else {
            block = nullptr;
            form.values[name] = value;
        }
    }
    for (auto& [name, lines] : form.blocks) {
        while (!lines.empty() && trim(lines.back()).empty())
            lines.pop_back();
    }
    return form;
}

} // namespace velmora
