#include "xvfb_display.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QThread>

#include <unistd.h>

namespace velmora::testing {
XvfbDisplay::XvfbDisplay()
{
    // Try display numbers until one is free; ctest may run several at once.
    for (int attempt = 0; attempt < 40; ++attempt) {
        const int number = 100 + (getpid() + attempt * 7) % 800;
        if (QFile::exists(QString("/tmp/.X11-unix/X%1").arg(number))
            || QFile::exists(QString("/tmp/.X%1-lock").arg(number)))
            continue;
        name_ = QString(":%1").arg(number);
        // -noreset: the server would otherwise reset, refusing connections, whenever
        // its last client leaves between two process runs.
        server_.start("Xvfb", { name_, "-screen", "0", "1280x1024x24", "-nolisten", "tcp", "-noreset" });
        if (!server_.waitForStarted(5000))
            continue;
        const QDeadlineTimer deadline(10000);
        while (!deadline.hasExpired() && server_.state() == QProcess::Running) {
            if (QFile::exists(QString("/tmp/.X11-unix/X%1").arg(number)))
                return;
            QThread::msleep(20);
        }
        server_.kill();
        server_.waitForFinished();
    }
    name_.clear();
}

XvfbDisplay::~XvfbDisplay()
{
    if (server_.state() != QProcess::NotRunning) {
        server_.terminate();
        if (!server_.waitForFinished(5000))
            server_.kill();
        server_.waitForFinished();
    }
}

bool XvfbDisplay::isRunning() const { return !name_.isEmpty() && server_.state() == QProcess::Running; }

} // namespace velmora::testing
