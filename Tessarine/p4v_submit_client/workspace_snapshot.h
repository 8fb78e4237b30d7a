#pragma once

#include <QByteArray>
#include <QStringList>

#include <map>
#include <string>

namespace velmora {

class Repository;

// The opened files of a change as they stand in the workspace: per depot path, the local
// file and the MD5 digest of its content (the digest p4 itself keeps for files), or a marker
// for a file that cannot be read. The client takes one right before each shelve it makes, so
// that it can tell later whether the shelf still holds what the workspace holds.
class WorkspaceSnapshot {
public:
    WorkspaceSnapshot() = default;

    // The change's opened files (`opened -c`) and their local paths (`where`), then the
    // digests. Throws what the Perforce layer throws.
    static WorkspaceSnapshot take(const Repository& repository, int change_id);

    // The files that differ from `earlier`: opened in only one of the two, or with other
    // content. Named by local path where known, else by depot path, in depot-path order.
    QStringList changedSince(const WorkspaceSnapshot& earlier) const;

private:
    struct Entry {
        std::string local_path;
        QByteArray digest; // empty: missing or unreadable
    };
    std::map<std::string, Entry> files_;
};

} // namespace velmora
