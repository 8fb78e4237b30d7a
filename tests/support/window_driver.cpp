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

WindowDriver::~WindowDriver() { endClipboardOwner(); }

void WindowDriver::endClipboardOwner() const
{
    if (clipboard_owner_ && clipboard_owner_->state() != QProcess::NotRunning) {
        clipboard_owner_->kill();
        clipboard_owner_->waitForFinished();
    }
    clipboard_owner_.reset();
}

void WindowDriver::startOnDisplay(
    QProcess& process, const QString& program, const QStringList& arguments) const
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("DISPLAY", display_);
    process.setProcessEnvironment(environment);
    process.start(program, arguments);
}

QString WindowDriver::run(const QString& program, const QStringList& arguments) const
{
    QProcess tool;
    startOnDisplay(tool, program, arguments);
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

int WindowDriver::visibleWindowsOf(qint64 pid) const
{
    const QString ids = run("xdotool", { "search", "--onlyvisible", "--pid", QString::number(pid) });
    return static_cast<int>(ids.split('\n', Qt::SkipEmptyParts).size());
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

void WindowDriver::pasteText(const QString& text) const
{
    endClipboardOwner();
    clipboard_owner_ = std::make_unique<QProcess>();
    startOnDisplay(*clipboard_owner_, "xclip", { "-in", "-quiet", "-selection", "clipboard" });
    clipboard_owner_->write(text.toUtf8());
    clipboard_owner_->closeWriteChannel();
    if (waitUntil([&] { return run("xclip", { "-out", "-selection", "clipboard" }) == text; }, 5000))
        key("ctrl+v");
}

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
    startOnDisplay(owner, "xclip", { "-in", "-quiet", "-selection", "primary" });
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

QString WindowDriver::pixel(const QString& window, QPoint at) const
{
    // "# ImageMagick pixel enumeration: 1,1,65535,srgb\n0,0: (65535,37779,33667)  #FFFF93938383  ..."
    const QString text = run("import",
        { "-display", display_, "-window", window, "-crop", QString("1x1+%1+%2").arg(at.x()).arg(at.y()),
            "txt:-" });
    static const QRegularExpression colour("enumeration: 1,1,(\\d+),\\w+\\s+0,0: \\((\\d+),(\\d+),(\\d+)");
    const auto match = colour.match(text);
    const int maximum = match.captured(1).toInt();
    if (!match.hasMatch() || maximum <= 0)
        return {};
    QStringList channels;
    for (int i = 2; i <= 4; ++i)
        channels << QString::number((match.captured(i).toInt() * 255 + maximum / 2) / maximum);
    return channels.join(',');
}

} // namespace velmora::e2e
