#include "log_lines.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace velmora::testing {

QStringList readLogLines(const QString& path)
{
    const QFileInfo info(path);
    QStringList lines;
    const QStringList names = QDir(info.path()).entryList({ info.fileName() + "*" }, QDir::Files, QDir::Name);
    for (const QString& name : names) {
        QFile file(info.path() + "/" + name);
        if (file.open(QIODevice::ReadOnly))
            lines += QString::fromUtf8(file.readAll()).split('\n', Qt::SkipEmptyParts);
    }
    return lines;
}

} // namespace velmora::testing
