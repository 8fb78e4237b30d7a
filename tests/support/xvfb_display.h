#pragma once

#include <QProcess>
#include <QString>

namespace velmora::testing {

// A private X server for tests of the whole program.
class XvfbDisplay {
public:
    XvfbDisplay();
    ~XvfbDisplay();
    XvfbDisplay(const XvfbDisplay&) = delete;
    XvfbDisplay& operator=(const XvfbDisplay&) = delete;

    bool isRunning() const;
    QString name() const { return name_; } // ":N"

private:
    QProcess server_;
    QString name_;
};

} // namespace velmora::testing
