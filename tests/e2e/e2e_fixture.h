#pragma once

// Runs of the real program under a private X server, one per test program, against the
// stand-in depot and the three services, which listen on the endpoints compiled into the
// build inside this process: a scene scripts what they answer and reads what they received.
#include "build_config.h"
#include "check_server.h"
#include "program_run.h"
#include "review_server.h"
#include "standin_depot.h"
#include "tag_server.h"
#include "window_driver.h"
#include "window_layout.h"
#include "xvfb_display.h"

#include <QUrl>

#include <memory>
#include <ostream>

#include <gtest/gtest.h>

// Readable texts in failure messages.
inline void PrintTo(const QString& text, std::ostream* out) { *out << '"' << text.toStdString() << '"'; }

namespace velmora::e2e {

inline const QString kBoxTitle = QString::fromUtf8("提示");

class SceneTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        display_ = std::make_unique<testing::XvfbDisplay>();
        driver_ = std::make_unique<WindowDriver>(display_->name());
    }

    static void TearDownTestSuite()
    {
        driver_.reset();
        display_.reset();
    }

    void SetUp() override
    {
        ASSERT_TRUE(display_->isRunning()) << "Xvfb did not start";
        tags_.replyWithTags(standin::TagServer::sixTags());
        const QUrl tag_url(build_config::kTagServiceUrl), review_url(build_config::kSwarmUrl);
        tags_.start(tag_url.port(), tag_url.host().toStdString());
        review_.start(review_url.port(), review_url.host().toStdString());
        check_.start(build_config::kCheckServerPort, build_config::kCheckServerHost);
    }

    static QString display() { return display_->name(); }
    static const WindowDriver& driver() { return *driver_; }

    QStringList argumentsFor(const QString& change_id) const
    {
        return { "-u", QString::fromStdString(depot_.user()), "-p", QString::fromStdString(depot_.port()),
            "-C", QString::fromStdString(depot_.client()), "-c", change_id };
    }

    // Starts the program and waits for its window in place (its fixed size at 0,0, which the
    // clicks rely on): the end of start-up. Returns the window's id.
    QString startWindow(ProgramRun& run, const QStringList& arguments) const
    {
        QString window;
        EXPECT_TRUE(run.start(arguments) && run.waitWhileRunning([&] {
            return !(window = driver().findWindow("Tessarine")).isEmpty();
        })) << run.output().toStdString();
        EXPECT_EQ(driver().geometry(window), QRect(QPoint(0, 0), layout::kWindowSize));
        return window;
    }

    StandInDepot depot_;
    standin::CheckServer check_;
    standin::ReviewServer review_ { build_config::kSwarmUser, build_config::kSwarmToken };
    standin::TagServer tags_;

private:
    inline static std::unique_ptr<testing::XvfbDisplay> display_;
    inline static std::unique_ptr<WindowDriver> driver_;
};

} // namespace velmora::e2e
