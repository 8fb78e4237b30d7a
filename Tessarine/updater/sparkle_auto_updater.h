#pragma once

#include "updater/auto_updater.h"

class QString;

// The update framework's shared updater (SUUpdater), bound to one appcast feed.
// Everything goes through the object runtime as messages; no result is
// examined, because a message to nil does nothing.
class SparkleAutoUpdater : public AutoUpdater {
public:
    explicit SparkleAutoUpdater(const QString& feed_url);
    ~SparkleAutoUpdater() override;
    SparkleAutoUpdater(const SparkleAutoUpdater&) = delete;
    SparkleAutoUpdater& operator=(const SparkleAutoUpdater&) = delete;

    // Returns at once; the check and what it offers are the framework's.
    void checkForUpdates() override;

private:
    class Private;
    Private* d;
};
