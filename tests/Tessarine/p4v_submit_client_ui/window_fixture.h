#pragma once

// The main window over a real client: the stand-in depot and the tag, review
// and check services on the loopback endpoints compiled into the test build.
// The client is built without a window and initialised, then the window is
// constructed on it; tests find widgets by object name.
#include "build_config.h"
#include "check_server.h"
#include "p4v_submit_client/p4v_submit_client.h"
#include "p4v_submit_client_ui/p4v_submit_client_ui.h"
#include "review_server.h"
#include "standin_depot.h"
#include "tag_server.h"

#include <QList>
#include <QMessageBox>
#include <QObject>
#include <QString>
#include <QTemporaryDir>
#include <QUrl>

#include <memory>
#include <ostream>
#include <string>

#include <gtest/gtest.h>

inline void PrintTo(const QString& text, std::ostream* os) { *os << '"' << text.toStdString() << '"'; }

namespace velmora::testing {

// Closes every modal box that appears while it lives, as a user would press
// Ok, and keeps what the boxes said. Polls with single-shot timers, which also
// fire inside a box's own event loop.
class ModalBoxCloser : public QObject {
    Q_OBJECT
public:
    struct Box {
        QString title;
        QString text;
        QMessageBox::StandardButtons buttons;
    };

    ModalBoxCloser();
    QList<Box> boxes() const { return boxes_; }

private:
    void poll();

    QList<Box> boxes_;
};

// Takes the URLs that would go to the desktop browser.
class UrlRecorder : public QObject {
    Q_OBJECT
public:
    UrlRecorder();
    ~UrlRecorder() override;
    QList<QUrl> urls() const { return urls_; }

public slots:
    void open(const QUrl& url) { urls_ << url; }

private:
    QList<QUrl> urls_;
};

class WindowFixture : public ::testing::Test {
protected:
    using TagList = standin::TagServer::TagList;

    void SetUp() override;
    void TearDown() override;

    // A pending change with one opened file; the client and the window on it.
    P4VSubmitClientUI& openWindow(const std::string& description);
    // The client alone, initialised, for tests that construct the window themselves.
    P4VSubmitClient& openClient(const std::string& description);

    template <typename T> T* widget(const QString& name) const
    {
        T* found = window_->findChild<T*>(name);
        EXPECT_NE(found, nullptr) << "no " << T::staticMetaObject.className() << " named "
                                  << name.toStdString();
        return found;
    }

    // The log file's whole text.
    QString logText() const;

    QTemporaryDir app_data_;
    StandInDepot depot_;
    standin::TagServer tags_;
    standin::ReviewServer reviews_ { build_config::kSwarmUser, build_config::kSwarmToken };
    standin::CheckServer check_;
    UrlRecorder browser_;
    std::unique_ptr<P4VSubmitClient> client_;
    std::unique_ptr<P4VSubmitClientUI> window_;
};

} // namespace velmora::testing
