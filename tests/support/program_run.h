#pragma once

#include "wait_until.h"

#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <functional>

namespace velmora::e2e {

// One run of the real program as a user starts it: on the given X display, with a home
// directory of its own or shared with other runs (LOCALAPPDATA, for the log, and TMPDIR,
// where the single-instance key lives), and the stand-in p4 first on PATH when a
// StandInDepot of this process has put it there. A run still going when the object ends
// is killed, so a failed test leaves nothing behind.
class ProgramRun {
public:
    explicit ProgramRun(QString display, QString home = {});
    ~ProgramRun();
    ProgramRun(const ProgramRun&) = delete;
    ProgramRun& operator=(const ProgramRun&) = delete;

    bool start(const QStringList& arguments);
    bool running() const { return process_.state() == QProcess::Running; }
    qint64 pid() const { return process_.processId(); }
    void signal(int signal_number) const;

    // Polls `condition` while the program runs; false when it ended first or time ran out.
    bool waitWhileRunning(const std::function<bool()>& condition, int timeout_ms = 20000) const;
    // Waits for the end; false when it did not come in time.
    bool waitForExit(int timeout_ms = 20000);
    // SIGTERM, then the exit code of a normal exit (-1 when it did not end so).
    int stop();
    int exitCode() const { return process_.exitCode(); }
    bool exitedNormally() const { return process_.exitStatus() == QProcess::NormalExit; }
    QString output();

    const QString& home() const { return home_; }
    QString logDirectory() const;
    // The log's lines, rolled-over files included.
    QStringList logLines() const;
    // The messages of the ERROR lines.
    QStringList errorTexts() const;
    // The file appender rolls the log over when it is closed, which only the teardown does.
    bool logClosed() const;
    bool hasLogLine(const QString& ending) const;
    // Waits while the program runs for a log line that ends with `text`.
    bool waitForLogLine(const QString& text, int timeout_ms = 20000) const;

private:
    QString display_;
    QTemporaryDir own_home_;
    QString home_;
    QProcess process_;
    QString output_;
};

} // namespace velmora::e2e
