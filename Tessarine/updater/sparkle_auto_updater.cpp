#include "updater/sparkle_auto_updater.h"

#include "updater/objc_runtime.h"

#include <QByteArray>
#include <QString>

using velmora::objc::Id;
using velmora::objc::Receiver;

class SparkleAutoUpdater::Private {
public:
    Id updater; // the shared SUUpdater, retained while this object lives
};

SparkleAutoUpdater::SparkleAutoUpdater(const QString& feed_url)
    : d(new Private)
{
    velmora::objc::Runtime& runtime = velmora::objc::runtime();
    d->updater = runtime.send(Receiver::classNamed("SUUpdater"), "sharedUpdater", {});
    runtime.retain(d->updater);
    const QByteArray utf8 = feed_url.toUtf8();
    const Id string = runtime.send(Receiver::classNamed("NSString"), "stringWithUTF8String:", utf8.constData());
    const Id url = runtime.send(Receiver::classNamed("NSURL"), "URLWithString:", string);
    runtime.send(d->updater, "setFeedURL:", url);
}

SparkleAutoUpdater::~SparkleAutoUpdater()
{
    velmora::objc::runtime().release(d->updater);
    delete d;
}

void SparkleAutoUpdater::checkForUpdates()
{
    velmora::objc::runtime().send(d->updater, "checkForUpdatesInBackground", {});
}
