#pragma once

// The main window over a real client, the stand-in depot and the tag, review
// and check services on the test build's loopback endpoints. A user's hand
// closes each box with Ok (its text kept) and picks the first entry of a
// context menu; URLs meant for the browser are kept.
#include "build_config.h"
#include "check_server.h"
#include "logger/logger.h"
#include "modules/swarm_module.h"
#include "p4v_submit_client/p4v_submit_client.h"
#include "p4v_submit_client_ui/p4v_submit_client_ui.h"
#include "review_server.h"
#include "standin_depot.h"
#include "tag_server.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDesktopServices>
#include <QFile>
#include <QMenu>
#include <QMessageBox>
#include <QTemporaryDir>
#include <QTest>
#include <QTextEdit>
#include <QTimer>

#include <cstdlib>
#include <functional>
#include <memory>
#include <ostream>
#include <utility>

#include <gtest/gtest.h>

inline void PrintTo(const QString& text, std::ostream* os) { *os << '"' << text.toStdString() << '"'; }

namespace velmora::testing {

class WindowFixture : public QObject, public ::testing::Test {
    Q_OBJECT
public slots:
    void openUrl(const QUrl& url) { urls_ << url; }

protected:
    void SetUp() override
    {
        ASSERT_TRUE(app_data_.isValid());
        setenv("LOCALAPPDATA", app_data_.path().toUtf8().constData(), 1);
        Logger::initialize("WindowTest");
        for (const char* scheme : { "http", "https" })
            QDesktopServices::setUrlHandler(scheme, this, "openUrl");
        actAsUser();
        tags_.replyWithTags({ { "feature", "新功能" }, { "fix", "修复" }, { "ui", "界面" } });
        const QUrl tag_service(build_config::kTagServiceUrl), swarm(build_config::kSwarmUrl);
        tags_.start(tag_service.port(), tag_service.host().toStdString());
        reviews_.setUsers({ { "tester", "Test Er", "" }, { "alice", "Alice", "" },
            { "ALICE", "Alice Upper", "" }, { "albert", "Albert", "" }, { "bob", "鲍勃", "" } });
        reviews_.start(swarm.port(), swarm.host().toStdString());
        check_.start(build_config::kCheckServerPort, build_config::kCheckServerHost);
    }

    void TearDown() override
    {
        closeWindow();
        check_.stop();
        EXPECT_EQ(takeBoxes(), "") << "boxes no test looked at";
        for (const char* scheme : { "http", "https" })
            QDesktopServices::unsetUrlHandler(scheme);
        Logger::unInitialize();
        unsetenv("LOCALAPPDATA");
    }

    // A pending change with one opened file, the initialised client on it and the window.
    void openWindow(
        const std::string& description = "[feature] 改动", const std::function<void()>& before = {})
    {
        const int change = depot_.addPendingChange(description, { depot_.file("src/window.cpp", 2) });
        client_ = std::make_unique<P4VSubmitClient>(
            P4VInputInfo { QString::number(change), QString::fromStdString(depot_.port()),
                QString::fromStdString(depot_.client()), QString::fromStdString(depot_.user()), {} },
            false);
        client_->initialize();
        if (before)
            before();
        window_ = std::make_unique<P4VSubmitClientUI>(client_.get(), nullptr);
    }

    void closeWindow()
    {
        window_.reset();
        client_.reset();
    }

    template <typename T = QWidget> T* widget(const QString& name) const
    {
        T* found = window_->findChild<T*>(name);
        EXPECT_NE(found, nullptr) << name.toStdString();
        return found;
    }

    void click(const QString& button) { QTest::mouseClick(widget<QAbstractButton>(button), Qt::LeftButton); }
    void type(const QString& text) { widget<QTextEdit>("description_text_edit_")->setPlainText(text); }
    // What the boxes shown since the last look said, joined by "|".
    QString takeBoxes() { return std::exchange(boxes_, {}).join('|'); }
    int change() const { return client_->getSwarmModule()->getPendingId(); }

    bool logged(const QString& line) const
    {
        QFile file(QString::fromStdString(Logger::logFilePath("WindowTest")));
        return file.open(QIODevice::ReadOnly) && QString::fromUtf8(file.readAll()).contains(line);
    }
    // One box with a failure's text, which the log has at ERROR.
    bool failureShown(const QString& box) const
    {
        return !box.isEmpty() && !box.contains('|') && logged("ERROR - " + box);
    }

    QTemporaryDir app_data_;
    StandInDepot depot_;
    standin::TagServer tags_;
    standin::ReviewServer reviews_ { build_config::kSwarmUser, build_config::kSwarmToken };
    standin::CheckServer check_;
    QStringList boxes_;
    QList<QUrl> urls_;
    std::unique_ptr<P4VSubmitClient> client_;
    std::unique_ptr<P4VSubmitClientUI> window_;

private:
    // Polls with timers, which also fire inside a box's or a menu's own event loop.
    void actAsUser()
    {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            boxes_ << box->text();
            box->done(QMessageBox::Ok);
        }
        if (auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget())) {
            menu->setActiveAction(menu->actions().value(0));
            QTest::keyClick(menu, Qt::Key_Return);
        }
        QTimer::singleShot(10, this, &WindowFixture::actAsUser);
    }
};

} // namespace velmora::testing
