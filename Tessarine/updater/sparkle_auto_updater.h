#pragma once

#include "updater/auto_updater.h"

class QString;

// The update framework's shared updater, bound to one appcast feed.
class SparkleAutoUpdater : public AutoUpdater {
public:
    explicit SparkleAutoUpdater(const QString& feed_url);
    ~SparkleAutoUpdater() override;
    SparkleAutoUpdater(const SparkleAutoUpdater&) = delete;
    SparkleAutoUpdater& operator=(const SparkleAutoUpdater&) = delete;

    // Returns at once; the check is the shared updater's.
    void checkForUpdates() override;

private:
    class Private;
    Private* d;
};
