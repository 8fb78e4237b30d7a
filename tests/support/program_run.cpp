#include "program_run.h"

#include "log_lines.h"

#include <QDir>
#include <QProcessEnvironment>
#include <QRegularExpression>

#include <algorithm>
#include <csignal>

namespace velmora::e2e {

ProgramRun::ProgramRun(QString display, QString home)
    : display_(std::move(display))
    , home_(home.isEmpty() ? own_home_.path() : std::move(home))
{
}

ProgramRun::~ProgramRun()
{
    if (process_.state() != QProcess::NotRunning) {
        process_.kill();
        process_.waitForFinished(10000);
    }
}

bool ProgramRun::start(const QStringList& arguments)
{
    if (!QDir(home_).exists())
        return false;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("DISPLAY", display_);
    environment.insert("QT_QPA_PLATFORM", "xcb");
    environment.insert("LOCALAPPDATA", home_);
    environment.insert("TMPDIR", home_);
    process_.setProcessEnvironment(environment);
    process_.setProcessChannelMode(QProcess::MergedChannels);
    process_.setProgram(TESSARINE_EXECUTABLE);
    process_.setArguments(arguments);
    process_.start();
    return process_.waitForStarted(10000);
}

void ProgramRun::signal(int signal_number) const
{
    if (process_.state() == QProcess::Running)
        ::kill(static_cast<pid_t>(process_.processId()), signal_number);
}

bool ProgramRun::waitWhileRunning(const std::function<bool()>& condition, int timeout_ms) const
{
    bool ended = false;
    const bool held = waitUntil(
        [&] {
            ended = process_.state() != QProcess::Running;
            return ended || condition();
        },
        timeout_ms);
    // The program may have ended right after the condition came true.
    return held && (!ended || condition());
}

bool ProgramRun::waitForExit(int timeout_ms)
{
    return process_.state() == QProcess::NotRunning || process_.waitForFinished(timeout_ms);
}

int ProgramRun::stop()
{
    signal(SIGTERM);
    if (!waitForExit() || !exitedNormally())
        return -1;
    return exitCode();
}

QString ProgramRun::output()
{
    output_ += QString::fromUtf8(process_.readAll());
    return output_;
}

QString ProgramRun::logDirectory() const { return home_ + "/P4VSubmitClient4QX31"; }

QStringList ProgramRun::logLines() const { return testing::readLogLines(logDirectory() + "/log.txt"); }

QStringList ProgramRun::errorTexts() const
{
    QStringList errors;
    static const QRegularExpression error_line(" ERROR - (.*)$");
    for (const QString& line : logLines()) {
        const auto match = error_line.match(line);
        if (match.hasMatch())
            errors << match.captured(1);
    }
    return errors;
}

bool ProgramRun::logClosed() const
{
    return !QDir(logDirectory()).entryList({ "log.txt.*" }, QDir::Files).isEmpty();
}

bool ProgramRun::hasLogLine(const QString& ending) const
{
    const QStringList lines = logLines();
    return std::any_of(
        lines.begin(), lines.end(), [&](const QString& line) { return line.endsWith(ending); });
}

bool ProgramRun::waitForLogLine(const QString& text, int timeout_ms) const
{
    return waitWhileRunning([&] { return hasLogLine(text); }, timeout_ms);
}

} // namespace velmora::e2e
