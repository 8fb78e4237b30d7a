#include "path_arg.h"

#include <stdexcept>

namespace velmora {

std::string escapePathChars(const std::string& path)
{
    std::string escaped;
    escaped.reserve(path.size());
    for (char c : path) {
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

std::string localFileArg(const std::string& path)
{
    checkFileArg(path);
    std::string escaped = escapePathChars(path);
    if (escaped.front() == '-')
        escaped = "./" + escaped;
    return escaped;
}

std::string depotFileArg(const FileSpec& file, bool with_revision)
{
    std::string path = file.GetDepotPath().GetPath();
    checkFileArg(path);
    if (with_revision && file.GetRevision() > 0)
        path += "#" + std::to_string(file.GetRevision());
    return path;
}

void checkFileArg(const std::string& arg)
{
    if (arg.empty())
        throw std::invalid_argument("empty file name");
    if (arg.find_first_of(std::string("\n\r\0", 3)) != std::string::npos)
        throw std::invalid_argument("file name holds a line break or NUL: " + arg);
}

} // namespace velmora
