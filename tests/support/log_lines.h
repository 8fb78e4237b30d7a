#pragma once

#include <QStringList>

namespace velmora::testing {

// The lines of a log file together with its rolled-over backups (the file
// rolls over when its appender closes), oldest name first.
QStringList readLogLines(const QString& path);

} // namespace velmora::testing
