#include "updater/sparkle_auto_updater.h"

#include "updater/feed_updater.h"

#include <QString>
#include <QUrl>

using velmora::updater::FeedUpdater;

class SparkleAutoUpdater::Private {
public:
    FeedUpdater* updater; // process-wide: nothing to retain or release
};

SparkleAutoUpdater::SparkleAutoUpdater(const QString& feed_url)
    : d(new Private)
{
    d->updater = FeedUpdater::sharedUpdater();
    // Text that is no well-formed address gives no URL, and the updater none.
    d->updater->setFeedURL(QUrl(feed_url, QUrl::StrictMode));
}

SparkleAutoUpdater::~SparkleAutoUpdater() { delete d; }

void SparkleAutoUpdater::checkForUpdates() { d->updater->checkForUpdatesInBackground(); }
