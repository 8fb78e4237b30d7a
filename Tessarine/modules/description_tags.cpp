#include "modules/description_tags.h"

#include <cstddef>

namespace velmora {
namespace {

    bool isTagNameChar(char c)
    {
        return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == ':'
            || c == '_' || c == '-';
    }

    // Length of the name of the literal starting at pos, or 0 when no valid
    // literal starts there.
    std::size_t literalNameLength(const std::string& text, std::size_t pos)
    {
        if (pos >= text.size() || text[pos] != '[')
            return 0;
        std::size_t end = pos + 1;
        while (end < text.size() && isTagNameChar(text[end]))
            ++end;
        if (end == pos + 1 || end >= text.size() || text[end] != ']')
            return 0;
        return end - pos - 1;
    }

} // namespace

// A scanner rather than std::regex: libstdc++ matches recursively, one frame
// per character, and a long description would overflow the stack.
std::vector<std::string> parseDescriptionTags(const std::string& description, std::string* free_text)
{
    std::vector<std::string> names;
    std::size_t pos = 0;
    while (const std::size_t length = literalNameLength(description, pos)) {
        names.emplace_back(description, pos + 1, length);
        pos += length + 2;
    }
    if (free_text)
        *free_text = description.substr(pos);
    return names;
}

QString tagLiterals(const std::vector<std::string>& names)
{
    QString literals;
    for (const auto& name : names)
        literals.append(QStringLiteral("[%1]").arg(QString::fromStdString(name)));
    return literals;
}

} // namespace velmora
