#pragma once

#include <QProcess>
#include <QString>

namespace velmora::testing {

// A private X server for process tests that show modal boxes.
class XvfbDisplay {
public:
    XvfbDisplay();
    ~XvfbDisplay();
    XvfbDisplay(const XvfbDisplay&) = delete;
    XvfbDisplay& operator=(const XvfbDisplay&) = delete;

    bool isRunning() const;
    QString name() const { return name_; } // ":N"

    // Waits for a top-level window titled exactly `title`, presses Return in
    // it and returns true; false when none appeared in time.
    bool dismissBox(const QString& title, int timeout_ms) const;
    // Whether a window titled `title` exists now.
    bool hasWindow(const QString& title) const;

private:
    QString findWindow(const QString& title) const;

    QProcess server_;
    QString name_;
};

} // namespace velmora::testing
