#pragma once

#include "korvath/path_spec.h"

namespace velmora {

// One file revision as p4 reported it. Only the depot path is always known; the client and
// local paths are filled when the command that produced the file reports them.
// A revision of 0 means none (a file opened for add, or one p4 did not give a revision for).
class FileSpec {
public:
    FileSpec() = default;
    FileSpec(const DepotPath& depot_path, int revision);
    FileSpec(DepotPath depot_path, ClientPath client_path, LocalPath local_path, int revision);

    const DepotPath& GetDepotPath() const;
    const ClientPath& GetClientPath() const;
    const LocalPath& GetLocalPath() const;
    int GetRevision() const;

    bool operator==(const FileSpec& other) const;

private:
    DepotPath depot_path_;
    ClientPath client_path_;
    LocalPath local_path_;
    int revision_ = 0;
};

} // namespace velmora
