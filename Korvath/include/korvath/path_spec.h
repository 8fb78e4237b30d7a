#pragma once

#include <string>

namespace velmora {

// A path as Perforce names it. Depot and client paths keep the escaped form p4 uses
// (@ # % * written as %40 %23 %25 %2A); a local path is the file system's own name.
class PathSpec {
public:
    PathSpec() = default;
    PathSpec(std::string path);
    virtual ~PathSpec() = default;

    PathSpec(const PathSpec&) = default;
    PathSpec(PathSpec&&) noexcept = default;
    PathSpec& operator=(const PathSpec&) = default;
    PathSpec& operator=(PathSpec&&) noexcept = default;

    virtual std::string GetPath() const;

protected:
    std::string path_;
};

// "//depot/dir/file.c", as p4 returned it.
class DepotPath : public PathSpec {
public:
    using PathSpec::PathSpec;
};

// "//workspace/dir/file.c", as p4 returned it.
class ClientPath : public PathSpec {
public:
    using PathSpec::PathSpec;
};

// "/home/al/ws/dir/file.c": an ordinary file name, unescaped.
class LocalPath : public PathSpec {
public:
    using PathSpec::PathSpec;
};

} // namespace velmora
