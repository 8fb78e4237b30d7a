// The user's road through the window: a tag picked, the description typed, a review
// created, a pre-check that fails and one that passes, the submit; then both buttons
// refuse. Checked at the depot, the services, the window's picture and the log.
#include "e2e_fixture.h"

#include <algorithm>
#include <atomic>
#include <memory>

#include <nlohmann/json.hpp>

namespace velmora::e2e {
namespace {

    using SubmitTest = SceneTest;

    TEST_F(SubmitTest, PicksATagTypesTheDescriptionCreatesAReviewPreChecksTwiceAndSubmits)
    {
        // The first check finds a problem; the developer fixes it and every later one passes.
        check_.setScriptSource([checks = std::make_shared<std::atomic<int>>(0)](const httplib::Request&) {
            standin::CheckReplyScript script;
            script.pieces = { standin::CheckServer::frame(standin::CheckServer::checkResult(++*checks > 1)) };
            return script;
        });
        const std::vector<StandInFile> files { depot_.file("Source/Menu.cpp", 7),
            depot_.file("Assets/UI/主 界面.png", 2) };
        const int change = depot_.addPendingChange("[feature] 旧的描述", files);
        // A change linked to any review may be submitted.
        review_.setCheckRule(standin::ReviewServer::CheckRule::LinkedReview);
        review_.setUsers({ { "lina", "李娜", "lina@velmora.example" } });
        ProgramRun run(display());
        const QString window = startWindow(run, argumentsFor(QString::number(change)));
        ASSERT_FALSE(window.isEmpty());
        // The check-result view's verdict badge, which only the picture shows.
        const auto badgeShows = [&](const QString& colour) {
            return run.waitWhileRunning(
                [&] { return driver().pixel(window, layout::kVerdictBadge) == colour; });
        };

        driver().click(window, layout::tagBox(standin::TagServer::sixTags(), "bugfix"));
        driver().click(window, layout::kDescriptionEditor);
        driver().key("ctrl+a");
        driver().pasteText(QString::fromUtf8("修复菜单崩溃"));
        driver().typeText(" fix the menu crash");
        std::string tags; // in the module's order
        for (const std::string& tag : layout::tableOrder(standin::TagServer::sixTags()))
            tags += tag == "feature" || tag == "bugfix" ? "[" + tag + "]" : "";
        const std::string text = "修复菜单崩溃 fix the menu crash", description = tags + " " + text + "\n";

        // A review for the change, with a reviewer typed with blanks around the name.
        driver().click(window, layout::kReviewerSearchLine);
        driver().typeText(" lina ");
        driver().click(window, layout::kAddReviewerButton);
        driver().click(window, layout::kCreateReviewButton);
        ASSERT_TRUE(run.waitWhileRunning([&] { return !review_.createBodies().empty(); }));
        const auto review = nlohmann::json::parse(review_.createBodies().front());
        EXPECT_EQ(review,
            nlohmann::json(
                { { "change", change }, { "description", tags + text }, { "reviewers", { "lina" } } }));

        // A failed pre-check: the description saved, the change shelved for the check and the
        // shelf removed again.
        driver().click(window, layout::kPreCheckButton);
        ASSERT_TRUE(run.waitForLogLine(QString::fromUtf8("[检测结果]:<font color='#dd0000'>失败</font>")));
        const std::vector<std::string> unshelve { "shelve", "-d", "-c", std::to_string(change) };
        ASSERT_TRUE(run.waitWhileRunning([&] {
            const auto commands = depot_.commands();
            return std::find(commands.begin(), commands.end(), unshelve) != commands.end();
        }));
        EXPECT_EQ(depot_.description(change), description);
        EXPECT_TRUE(depot_.shelved(change).empty());
        EXPECT_TRUE(badgeShows("255,147,131"));

        // A passed pre-check keeps its shelf.
        driver().click(window, layout::kPreCheckButton);
        ASSERT_TRUE(run.waitForLogLine(QString::fromUtf8("[检测结果]:<font color='#38947c'>通过</font>")));
        EXPECT_TRUE(badgeShows("144,238,144"));
        EXPECT_EQ(depot_.shelved(change).size(), files.size());

        // The submit: the shelf submitted and its files synced.
        driver().click(window, layout::kSubmitButton);
        ASSERT_TRUE(run.waitForLogLine(QString::fromUtf8("]已可以关闭窗口."), 30000))
            << run.logLines().join('\n').toStdString();
        const auto submitted = depot_.submitted();
        ASSERT_EQ(submitted.size(), 1u);
        EXPECT_EQ(submitted.front().description, description);
        for (const StandInFile& file : files)
            EXPECT_EQ(depot_.haveRevision(file.depot_path), depot_.headRevision(file.depot_path))
                << file.depot_path;

        // Both buttons refuse from now on.
        for (const QPoint button : { layout::kPreCheckButton, layout::kSubmitButton }) {
            driver().click(window, button);
            EXPECT_EQ(driver().readAndCloseBox(kBoxTitle), QString::fromUtf8("已提交完成"));
        }
        EXPECT_EQ(depot_.submitted().size(), 1u);

        EXPECT_EQ(run.stop(), 0);
        EXPECT_TRUE(run.logClosed());
        EXPECT_TRUE(run.errorTexts().isEmpty()) << run.errorTexts().join('\n').toStdString();
    }

} // namespace
} // namespace velmora::e2e
