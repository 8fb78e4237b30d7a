#pragma once

#include <QPoint>
#include <QProcess>
#include <QRect>
#include <QString>
#include <QStringList>

#include <memory>

namespace velmora::e2e {

// Drives the program's windows from outside, as a user would, with xdotool on the
// given X display: finds windows by title, clicks at a point of a window, types into
// the focused editor, reads and closes message boxes.
class WindowDriver {
public:
    explicit WindowDriver(QString display);
    ~WindowDriver();
    WindowDriver(const WindowDriver&) = delete;
    WindowDriver& operator=(const WindowDriver&) = delete;

    // The id of a visible window titled exactly `title`, or empty.
    QString findWindow(const QString& title) const;
    // How many windows the process shows: its popups (a completer's list) are windows too.
    int visibleWindowsOf(qint64 pid) const;
    QString waitForWindow(const QString& title, int timeout_ms = 20000) const;
    bool hasWindow(const QString& title) const { return !findWindow(title).isEmpty(); }
    QRect geometry(const QString& window) const;

    // A left click at `at`, in the window's own coordinates.
    void click(const QString& window, QPoint at) const;
    // Types text whose characters the keyboard map has (ASCII).
    void typeText(const QString& text) const;
    // Enters any text, Chinese too, as a user pastes it: through the clipboard and Ctrl+V.
    // (xdotool types a character the keyboard map lacks by remapping a spare key for it,
    // and the program may read that key after the next remap: characters get lost.)
    void pasteText(const QString& text) const;
    void key(const QString& keys) const;

    // Waits for a box titled `title` and returns the text it shows (as a user selects and
    // copies it), or nothing when no box came. The box stays open.
    QString boxText(const QString& title, int timeout_ms = 20000) const;
    // Presses Return in the box titled `title`; false when none came in time.
    bool closeBox(const QString& title, int timeout_ms = 20000) const;
    // The text of the box, which is then closed.
    QString readAndCloseBox(const QString& title, int timeout_ms = 20000) const;

    // The colour a screenshot of the window shows at `at`, as "r,g,b"; empty when none
    // could be taken. For what only the picture shows.
    QString pixel(const QString& window, QPoint at) const;

private:
    void startOnDisplay(QProcess& process, const QString& program, const QStringList& arguments) const;
    QString run(const QString& program, const QStringList& arguments) const;
    QString primarySelection() const;
    void endClipboardOwner() const;

    QString display_;
    // Serves the pasted text until the next paste or the end: the program reads it when
    // it handles the key, after the driver has moved on.
    mutable std::unique_ptr<QProcess> clipboard_owner_;
};

} // namespace velmora::e2e
