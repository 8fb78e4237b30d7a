// A review created from the window: reviewers typed and added, refusals in boxes closed
// from outside, the create button pressed; checked at the review server and the depot.
#include "e2e_fixture.h"

#include "window_layout.h"

#include <algorithm>
#include <mutex>

#include <nlohmann/json.hpp>

namespace velmora::e2e {
namespace {

    class ReviewTest : public SceneTest {
    protected:
        void SetUp() override
        {
            SceneTest::SetUp();
            review_.setUsers({ { "zhangwei", "张伟", "zhangwei@velmora.example" },
                { "lina", "李娜", "lina@velmora.example" },
                { "wangfang", "王芳", "wangfang@velmora.example" } });
            // What p4 had run when the review server got the creation, kept on its thread.
            review_.http().set_logger([this](const httplib::Request& request, const httplib::Response&) {
                if (request.method == "POST" && request.path == "/api/v9/reviews") {
                    std::lock_guard<std::mutex> lock(mutex_);
                    commands_at_creation_ = depot_.commands();
                }
            });
        }

        // The logger runs on the server's thread and uses members of this class.
        void TearDown() override { review_.stop(); }

        // Types a name into the reviewer line, replacing what it holds, and presses "+". A
        // name that begins like a user's opens the completer's list, which holds the pointer
        // while it is open: it is closed, and gone, before the click.
        void addReviewer(
            const ProgramRun& run, const QString& window, const QString& name, bool completes) const
        {
            driver().click(window, layout::kReviewerSearchLine);
            driver().key("ctrl+a");
            driver().typeText(name);
            if (completes) {
                ASSERT_TRUE(run.waitWhileRunning([&] { return driver().visibleWindowsOf(run.pid()) == 2; }));
                driver().key("Escape");
                ASSERT_TRUE(run.waitWhileRunning([&] { return driver().visibleWindowsOf(run.pid()) == 1; }));
            }
            driver().click(window, layout::kAddReviewerButton);
        }

        std::vector<std::vector<std::string>> commandsAtCreation()
        {
            std::lock_guard<std::mutex> lock(mutex_);
            return commands_at_creation_;
        }

    private:
        std::mutex mutex_;
        std::vector<std::vector<std::string>> commands_at_creation_;
    };

    TEST_F(ReviewTest, CreatesTheReviewForTheShelvedChangeWithTheReviewersPicked)
    {
        const int change = depot_.addPendingChange("[feature] 新增主界面按钮",
            { depot_.file("Source/UI/Menu.cpp", 7), depot_.file("Assets/UI/主 界面.png", 2) });
        ProgramRun run(display());
        const QString window = startWindow(run, argumentsFor(QString::number(change)));
        ASSERT_FALSE(window.isEmpty()) << run.output().toStdString();

        addReviewer(run, window, "nobody", false);
        EXPECT_EQ(driver().readAndCloseBox(kBoxTitle), QString::fromUtf8("添加失败,当前用户不存在."));
        addReviewer(run, window, "lina", true);
        // Blanks around a name are no part of it (and keep the list closed).
        addReviewer(run, window, "  wangfang ", false);
        addReviewer(run, window, "lina", true);
        EXPECT_EQ(driver().readAndCloseBox(kBoxTitle), QString::fromUtf8("重复添加用户[lina]."));
        EXPECT_TRUE(depot_.shelved(change).empty());

        driver().click(window, layout::kCreateReviewButton);
        ASSERT_TRUE(run.waitWhileRunning([&] { return !review_.createBodies().empty(); }));
        // The panel is redrawn from the new review: the last request of the refresh is the
        // must-review check.
        ASSERT_TRUE(run.waitWhileRunning([&] {
            const auto lines = requestLines(review_);
            return !lines.empty() && lines.back().rfind("GET /api/v10/workflows/0", 0) == 0
                && std::find(lines.begin(), lines.end(), "POST /api/v9/reviews") < lines.end() - 1;
        }));

        ASSERT_EQ(review_.createBodies().size(), 1u);
        const nlohmann::json body = nlohmann::json::parse(review_.createBodies().front());
        EXPECT_EQ(body.at("change"), change);
        // The tags followed directly by the editor's text.
        EXPECT_EQ(body.at("description"), "[feature]新增主界面按钮");
        EXPECT_EQ(body.at("reviewers"), nlohmann::json({ "lina", "wangfang" }));

        // The shelve came first, and put the change's files on the shelf.
        const std::vector<std::string> shelve { "shelve", "-c", std::to_string(change) };
        const auto before = commandsAtCreation();
        EXPECT_NE(std::find(before.begin(), before.end(), shelve), before.end());
        EXPECT_EQ(depot_.shelved(change).size(), 2u);
        const auto reviews = review_.reviews();
        ASSERT_EQ(reviews.size(), 1u);
        EXPECT_EQ(reviews.front().changes, std::vector<int> { change });

        EXPECT_EQ(run.stop(), 0);
        EXPECT_TRUE(run.errorTexts().isEmpty()) << run.errorTexts().join('\n').toStdString();
    }

} // namespace
} // namespace velmora::e2e
