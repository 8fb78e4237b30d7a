#include "window_driver.h"

#include "program_run.h"

#include <QProcess>
#include <QProcessEnvironment>
#include <QRegularExpression>

namespace velmora::e2e {
namespace {

    // Where a message box shows its text: right of its icon, on the first line. Measured on
    // the program's boxes; the label takes a triple click as a selection of its text.
    constexpr QPoint kBoxTextPoint { 66, 18 };
    const QString kNoSelection = "e2e: nothing selected";

} // namespace

WindowDriver::WindowDriver(QString display)
    : display_(std::move(display))
{
}

QString WindowDriver::run(const QString& program, const QStringList& arguments) const
{
    QProcess tool;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("DISPLAY", display_);
    tool.setProcessEnvironment(environment);
    tool.start(program, arguments);
    if (!tool.waitForFinished(10000)) {
        tool.kill();
        tool.waitForFinished();
    }
    return QString::fromUtf8(tool.readAllStandardOutput());
}

QString WindowDriver::findWindow(const QString& title) const
{
    const QString ids = run("xdotool", { "search", "--onlyvisible", "--name", "^" + title + "$" });
    return ids.split('\n', Qt::SkipEmptyParts).value(0);
}

QString WindowDriver::waitForWindow(const QString& title, int timeout_ms) const
{
    QString id;
    waitUntil(
        [&] {
            id = findWindow(title);
            return !id.isEmpty();
        },
        timeout_ms);
    return id;
}

QRect WindowDriver::geometry(const QString& window) const
{
    // "X=0\nY=0\nWIDTH=1200\nHEIGHT=712\n..."
    const QString shell = run("xdotool", { "getwindowgeometry", "--shell", window });
    QRect rect;
    static const QRegularExpression field(
        "^(X|Y|WIDTH|HEIGHT)=(-?\\d+)$", QRegularExpression::MultilineOption);
    for (auto it = field.globalMatch(shell); it.hasNext();) {
        const auto match = it.next();
        const int value = match.captured(2).toInt();
        if (match.captured(1) == "X")
            rect.moveLeft(value);
        else if (match.captured(1) == "Y")
            rect.moveTop(value);
        else if (match.captured(1) == "WIDTH")
            rect.setWidth(value);
        else
            rect.setHeight(value);
    }
    return rect;
}

void WindowDriver::click(const QString& window, QPoint at) const
{
    // No --sync: it waits for a pointer motion, which never comes when the pointer is
    // there already. The server takes the move and the click in order all the same.
    run("xdotool",
        { "mousemove", "--window", window, QString::number(at.x()), QString::number(at.y()), "click", "1" });
}

void WindowDriver::typeText(const QString& text) const { run("xdotool", { "type", "--delay", "15", text }); }

void WindowDriver::key(const QString& keys) const { run("xdotool", { "key", "--clearmodifiers", keys }); }

QString WindowDriver::primarySelection() const { return run("xclip", { "-out", "-selection", "primary" }); }

QString WindowDriver::boxText(const QString& title, int timeout_ms) const
{
    const QString box = waitForWindow(title, timeout_ms);
    if (box.isEmpty())
        return {};
    // Own the selection first, so that an earlier box's text is never read for this one;
    // xclip ends by itself once the box takes the selection over.
    QProcess owner;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("DISPLAY", display_);
    owner.setProcessEnvironment(environment);
    owner.start("xclip", { "-in", "-quiet", "-selection", "primary" });
    owner.write(kNoSelection.toUtf8());
    owner.closeWriteChannel();
    QString text;
    if (waitUntil([&] { return primarySelection() == kNoSelection; }, 5000)) {
        run("xdotool",
            { "mousemove", "--window", box, QString::number(kBoxTextPoint.x()),
                QString::number(kBoxTextPoint.y()), "click", "--repeat", "3", "--delay", "60", "1" });
        waitUntil(
            [&] {
                text = primarySelection();
                return text != kNoSelection;
            },
            5000);
    }
    if (!owner.waitForFinished(2000)) {
        owner.kill();
        owner.waitForFinished();
    }
    return text == kNoSelection ? QString() : text;
}

bool WindowDriver::closeBox(const QString& title, int timeout_ms) const
{
    const QString box = waitForWindow(title, timeout_ms);
    if (box.isEmpty())
        return false;
    run("xdotool", { "windowfocus", "--sync", box });
    run("xdotool", { "key", "--clearmodifiers", "Return" });
    return waitUntil([&] { return findWindow(title) != box; }, timeout_ms);
}

QString WindowDriver::readAndCloseBox(const QString& title, int timeout_ms) const
{
    const QString text = boxText(title, timeout_ms);
    closeBox(title, timeout_ms);
    return text;
}

bool WindowDriver::screenshot(const QString& path) const
{
    QProcess import;
    import.start("import", { "-display", display_, "-window", "root", path });
    return import.waitForFinished(20000) && import.exitStatus() == QProcess::NormalExit
        && import.exitCode() == 0;
}

} // namespace velmora::e2e
