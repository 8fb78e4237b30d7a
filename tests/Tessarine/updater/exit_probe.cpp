// Starts the update check the way start-up does, against the feed address
// given as its argument, then ends as soon as a line arrives on standard input,
// while the check may still be running.
#include "logger/logger.h"
#include "updater/auto_updater.h"
#include "updater/cocoa_initializer.h"
#include "updater/sparkle_auto_updater.h"

#include <QCoreApplication>
#include <QString>

#include <cstdio>
#include <iostream>
#include <string>

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s FEED_URL\n", argv[0]);
        return 2;
    }
    QCoreApplication app(argc, argv);
    velmora::Logger::initialize("UpdaterExitProbe");
    {
        CocoaInitializer initializer;
        // Never deleted, as at start-up; held where leak checkers can see it.
        static AutoUpdater* updater = new SparkleAutoUpdater(QString::fromUtf8(argv[1]));
        updater->checkForUpdates();
    }
    std::string line;
    std::getline(std::cin, line);
    velmora::Logger::unInitialize();
    return 0;
}
