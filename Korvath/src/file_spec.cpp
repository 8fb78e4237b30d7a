#include "korvath/file_spec.h"

#include <utility>

namespace velmora {

FileSpec::FileSpec(const DepotPath& depot_path, int revision)
    : depot_path_(depot_path)
    , revision_(revision)
{
}

FileSpec::FileSpec(DepotPath depot_path, ClientPath client_path, LocalPath local_path, int revision)
    : depot_path_(std::move(depot_path))
    , client_path_(std::move(client_path))
    , local_path_(std::move(local_path))
    , revision_(revision)
{
}

const DepotPath& FileSpec::GetDepotPath() const { return depot_path_; }

const ClientPath& FileSpec::GetClientPath() const { return client_path_; }

const LocalPath& FileSpec::GetLocalPath() const { return local_path_; }

int FileSpec::GetRevision() const { return revision_; }

bool FileSpec::operator==(const FileSpec& other) const
{
    return revision_ == other.revision_ && depot_path_.GetPath() == other.depot_path_.GetPath()
        && client_path_.GetPath() == other.client_path_.GetPath()
        && local_path_.GetPath() == other.local_path_.GetPath();
}

} // namespace velmora
