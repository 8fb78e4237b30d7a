// The user's road through the window: a tag picked, the description typed, a pre-check
// that fails and one that passes, the submit; then both buttons refuse. Checked at the
// depot, the check server and the log.
#include "e2e_fixture.h"

#include "window_layout.h"

#include <algorithm>
#include <atomic>

#include <nlohmann/json.hpp>

namespace velmora::e2e {
namespace {

    using standin::CheckServer;

    const QString kFailedVerdict = QString::fromUtf8("[检测结果]:<font color='#dd0000'>失败</font>");
    const QString kPassedVerdict = QString::fromUtf8("[检测结果]:<font color='#38947c'>通过</font>");
    // The check-result view's verdict badge, which only the picture shows.
    const QString kFailedBadge = "255,147,131";
    const QString kPassedBadge = "144,238,144";

    class SubmitTest : public SceneTest {
    protected:
        void SetUp() override
        {
            SceneTest::SetUp();
            // The first check finds problems; the developer fixes them and every later one passes.
            check_.setScriptSource([this](const httplib::Request&) {
                const bool passes = ++checks_ > 1;
                standin::CheckReplyScript script;
                script.pieces.push_back(CheckServer::frame(CheckServer::serverInfo("[Compile] building...")));
                script.pieces.push_back(CheckServer::frame(CheckServer::checkResult(passes,
                    passes ? std::vector<CheckServer::Group> {}
                           : std::vector<CheckServer::Group> {
                               { "编译检查", { { "Source/Menu.cpp", "第 12 行: 未声明的标识符" } } } })));
                return script;
            });
        }

        // The check server's handler counts on this object.
        void TearDown() override { check_.stop(); }

        // The changelist's description as the window writes it: the selected tags in table
        // order, one blank, the text.
        static std::string descriptionWith(const std::vector<std::string>& selected, const std::string& text)
        {
            std::string prefix;
            for (const std::string& tag : layout::tableOrder(layout::sixTags())) {
                if (std::find(selected.begin(), selected.end(), tag) != selected.end())
                    prefix += "[" + tag + "]";
            }
            return prefix + " " + text;
        }

        static bool badgeShows(const ProgramRun& run, const QString& window, const QString& colour)
        {
            return run.waitWhileRunning(
                [&] { return driver().pixel(window, layout::kVerdictBadge) == colour; }, 5000);
        }

        std::atomic<int> checks_ { 0 };
    };

    std::vector<std::string> names(const std::vector<std::vector<std::string>>& commands)
    {
        std::vector<std::string> result;
        for (const auto& command : commands)
            result.push_back(command.empty() ? std::string() : command.front());
        return result;
    }

    TEST_F(SubmitTest, PicksATagTypesTheDescriptionPreChecksTwiceAndSubmits)
    {
        const std::vector<StandInFile> files { depot_.file("Source/Menu.cpp", 7),
            depot_.file("Assets/UI/主 界面.png", 2) };
        const int change = depot_.addPendingChange("[feature] 旧的描述", files);
        // The change's review is approved, so the submit may go ahead.
        review_.addReview({ 12206, "tester", "[feature] 旧的描述", "approved", { change }, { "lina" }, {} });
        ProgramRun run(display());
        const QString window = startWindow(run, argumentsFor(QString::number(change)));
        ASSERT_FALSE(window.isEmpty()) << run.output().toStdString();

        driver().click(window, layout::tagBox(layout::sixTags(), "bugfix"));
        driver().click(window, layout::kDescriptionEditor);
        driver().key("ctrl+a");
        driver().pasteText(QString::fromUtf8("修复菜单崩溃"));
        driver().typeText(" fix the menu crash");
        const std::string text = "修复菜单崩溃 fix the menu crash";
        const std::string description = descriptionWith({ "feature", "bugfix" }, text);

        // A failed pre-check: the description saved, the change shelved for the check and
        // its shelf removed again.
        driver().click(window, layout::kPreCheckButton);
        ASSERT_TRUE(run.waitForLogLine(kFailedVerdict)) << run.logLines().join('\n').toStdString();
        const std::vector<std::string> unshelve { "shelve", "-d", "-c", std::to_string(change) };
        ASSERT_TRUE(run.waitWhileRunning([&] {
            const auto shelves = commandsNamed("shelve");
            return std::find(shelves.begin(), shelves.end(), unshelve) != shelves.end();
        }));
        EXPECT_EQ(depot_.description(change), description + "\n");
        EXPECT_TRUE(depot_.shelved(change).empty());
        ASSERT_EQ(check_.requests().size(), 1u);
        const auto envelope = nlohmann::json::parse(check_.requests().front().body);
        EXPECT_EQ(envelope.at("Protocol"), "C2S_RequestSubmitCheck");
        const auto request = nlohmann::json::parse(envelope.at("Content").get<std::string>());
        EXPECT_EQ(request,
            nlohmann::json({ { "UserName", depot_.user() }, { "ShelvedID", change },
                { "P4Server", depot_.port() }, { "StreamPath", depot_.stream() } }));
        // The server's progress reached the console, which logs what it shows, and the
        // verdict the result view.
        EXPECT_TRUE(run.hasLogLine("[Compile] building..."));
        EXPECT_TRUE(badgeShows(run, window, kFailedBadge));

        // A passed pre-check keeps the new shelf.
        driver().click(window, layout::kPreCheckButton);
        ASSERT_TRUE(run.waitForLogLine(kPassedVerdict));
        EXPECT_TRUE(badgeShows(run, window, kPassedBadge));
        EXPECT_EQ(check_.requests().size(), 2u);
        EXPECT_EQ(depot_.shelved(change).size(), files.size());

        // The submit: checked once more, then the shelf submitted and its files synced.
        depot_.clearJournal();
        driver().click(window, layout::kSubmitButton);
        ASSERT_TRUE(run.waitForLogLine(QString::fromUtf8("]已可以关闭窗口."), 30000))
            << run.logLines().join('\n').toStdString();
        EXPECT_EQ(check_.requests().size(), 3u);
        EXPECT_TRUE(badgeShows(run, window, kPassedBadge));
        const auto submitted = depot_.submitted();
        ASSERT_EQ(submitted.size(), 1u);
        EXPECT_EQ(submitted.front().submitted_from == 0 ? submitted.front().change
                                                        : submitted.front().submitted_from,
            change);
        EXPECT_EQ(submitted.front().description, description + "\n");
        EXPECT_EQ(submitted.front().files.size(), files.size());
        EXPECT_TRUE(depot_.opened(std::to_string(change)).empty());
        for (const StandInFile& file : files)
            EXPECT_EQ(depot_.haveRevision(file.depot_path), depot_.headRevision(file.depot_path))
                << file.depot_path;
        // The opened files reverted before the shelf went in, synced after.
        auto order = names(depot_.commands());
        order.erase(std::remove_if(order.begin(), order.end(),
                        [](const std::string& name) {
                            return name != "revert" && name != "submit" && name != "sync";
                        }),
            order.end());
        EXPECT_EQ(order, (std::vector<std::string> { "revert", "submit", "sync" }));

        // Done: both buttons refuse, and nothing more reaches p4 or the check server.
        const size_t journal_size = depot_.journal().size();
        for (const QPoint button : { layout::kSubmitButton, layout::kPreCheckButton }) {
            driver().click(window, button);
            EXPECT_EQ(driver().readAndCloseBox(kBoxTitle), QString::fromUtf8("已提交完成"));
        }
        EXPECT_EQ(depot_.journal().size(), journal_size);
        EXPECT_EQ(check_.requests().size(), 3u);

        EXPECT_EQ(run.stop(), 0);
        EXPECT_TRUE(run.errorTexts().isEmpty()) << run.errorTexts().join('\n').toStdString();
    }

} // namespace
} // namespace velmora::e2e
