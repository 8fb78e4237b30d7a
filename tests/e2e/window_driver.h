#pragma once

#include <QPoint>
#include <QRect>
#include <QString>
#include <QStringList>

namespace velmora::e2e {

// Drives the program's windows from outside, as a user would, with xdotool on the
// given X display: finds windows by title, clicks at a point of a window, types into
// the focused editor, reads and closes message boxes.
class WindowDriver {
public:
    explicit WindowDriver(QString display);

    // The id of a visible window titled exactly `title`, or empty.
    QString findWindow(const QString& title) const;
    QString waitForWindow(const QString& title, int timeout_ms = 20000) const;
    bool hasWindow(const QString& title) const { return !findWindow(title).isEmpty(); }
    QRect geometry(const QString& window) const;

    // A left click at `at`, in the window's own coordinates.
    void click(const QString& window, QPoint at) const;
    void typeText(const QString& text) const;
    void key(const QString& keys) const;

    // Waits for a box titled `title` and returns the text it shows (as a user selects and
    // copies it), or nothing when no box came. The box stays open.
    QString boxText(const QString& title, int timeout_ms = 20000) const;
    // Presses Return in the box titled `title`; false when none came in time.
    bool closeBox(const QString& title, int timeout_ms = 20000) const;
    // The text of the box, which is then closed.
    QString readAndCloseBox(const QString& title, int timeout_ms = 20000) const;

    // The whole screen as a PNG file.
    bool screenshot(const QString& path) const;

private:
    QString run(const QString& program, const QStringList& arguments) const;
    QString primarySelection() const;

    QString display_;
};

} // namespace velmora::e2e
