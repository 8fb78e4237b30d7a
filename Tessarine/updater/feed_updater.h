#pragma once

#include <QUrl>

namespace velmora::updater {

// The update framework's shared updater as it works here, where there is no
// framework: it keeps the feed address and, when asked, fetches the appcast
// on the calling thread's event loop and logs in one line whether the feed
// offers a newer version than the running one, or why the check failed.
// GUI thread only. A check still running when the application goes is
// dropped with it, never waited for.
class FeedUpdater {
public:
    // The process-wide updater.
    static FeedUpdater* sharedUpdater();

    // Anything but a valid http(s) address leaves no feed, as a nil URL would.
    void setFeedURL(const QUrl& url);
    // Starts the check and returns at once; needs a QCoreApplication.
    void checkForUpdatesInBackground() const;

private:
    QUrl feed_url_;
};

} // namespace velmora::updater
