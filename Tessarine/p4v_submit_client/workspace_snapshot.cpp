#include "p4v_submit_client/workspace_snapshot.h"

#include "korvath/repository.h"

#include <QCryptographicHash>
#include <QFile>
#include <QString>

#include <set>

namespace velmora {

namespace {

    QByteArray digestOf(const std::string& local_path)
    {
        QFile file(QString::fromStdString(local_path));
        if (!file.open(QIODevice::ReadOnly))
            return {};
        QCryptographicHash hash(QCryptographicHash::Md5);
        if (!hash.addData(&file))
            return {};
        return hash.result();
    }

} // namespace

WorkspaceSnapshot WorkspaceSnapshot::take(const Repository& repository, int change_id)
{
    WorkspaceSnapshot snapshot;
    const std::vector<FileSpec> opened = repository.GetChangelist(change_id, false);
    for (const FileSpec& file : opened)
        snapshot.files_[file.GetDepotPath().GetPath()];
    for (const FileSpec& file : repository.WhereFiles(opened)) {
        Entry& entry = snapshot.files_[file.GetDepotPath().GetPath()];
        entry.local_path = file.GetLocalPath().GetPath();
        entry.digest = digestOf(entry.local_path);
    }
    return snapshot;
}

QStringList WorkspaceSnapshot::changedSince(const WorkspaceSnapshot& earlier) const
{
    std::set<std::string> depot_paths;
    for (const auto& [depot, entry] : files_)
        depot_paths.insert(depot);
    for (const auto& [depot, entry] : earlier.files_)
        depot_paths.insert(depot);

    QStringList changed;
    for (const std::string& depot : depot_paths) {
        const auto now = files_.find(depot);
        const auto then = earlier.files_.find(depot);
        const bool same = now != files_.end() && then != earlier.files_.end()
            && now->second.digest == then->second.digest;
        if (same)
            continue;
        const Entry& known = now != files_.end() ? now->second : then->second;
        changed << QString::fromStdString(known.local_path.empty() ? depot : known.local_path);
    }
    return changed;
}

} // namespace velmora
