// Starts the update check against the feed address it is given and ends, as
// the program does, when a line arrives on standard input: the logger goes
// first, then the application, while the check may still be running.
#include "logger/logger.h"
#include "updater/auto_updater.h"
#include "updater/cocoa_initializer.h"
#include "updater/sparkle_auto_updater.h"

#include <QCoreApplication>
#include <QSocketNotifier>
#include <QString>

#include <unistd.h>

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    if (argc != 2)
        return 2;
    velmora::Logger::initialize("UpdaterExitProbe");
    {
        CocoaInitializer initializer;
        static AutoUpdater* updater = new SparkleAutoUpdater(QString::fromUtf8(argv[1]));
        updater->checkForUpdates();
    }
    QSocketNotifier input(STDIN_FILENO, QSocketNotifier::Read);
    QObject::connect(&input, &QSocketNotifier::activated, &app, &QCoreApplication::quit);
    const int code = app.exec();
    velmora::Logger::unInitialize();
    return code;
}
