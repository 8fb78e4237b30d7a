// The client's start-up and validation, and whole check runs on the worker thread: lines,
// results, final states and the Perforce commands, against the real stand-ins: the stand-in
// p4 depot, and the tag, review and check services on the loopback addresses of the test build.
#include "build_config.h"
#include "check_server.h"
#include "modules/tag_module.h"
#include "p4v_submit_client/p4v_submit_client.h"
#include "review_server.h"
#include "standin_depot.h"
#include "tag_server.h"
#include "wait_until.h"

#include <QUrl>

#include <functional>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

inline void PrintTo(const QString& text, std::ostream* os) { *os << '"' << text.toStdString() << '"'; }

namespace velmora::testing {
namespace {

    using namespace SubmitState;
    using namespace FilesState;
    using standin::CheckServer;
    using Command = std::vector<std::string>;
    using Commands = std::vector<Command>;

    class ClientRunTest : public ::testing::Test {
    protected:
        void SetUp() override
        {
            tags_.replyWithTags({ { "feature", "New feature" }, { "fix", "Bug fix" } });
            const QUrl tag_url(build_config::kTagServiceUrl), swarm_url(build_config::kSwarmUrl);
            tags_.start(tag_url.port(), tag_url.host().toStdString());
            reviews_.start(swarm_url.port(), swarm_url.host().toStdString());
            check_.start(build_config::kCheckServerPort, build_config::kCheckServerHost);
        }

        // Records what the window would see, on the emitting thread under a lock the thread
        // sanitizer sees: progress lines, "ERROR:<line>", "RESULT:pass" or "RESULT:fail <groups>".
        void startClient(const QString& change_id, const QList<QString>& files = {})
        {
            client_ = std::make_unique<P4VSubmitClient>(
                P4VInputInfo { change_id, QString::fromStdString(depot_.port()),
                    QString::fromStdString(depot_.client()), QString::fromStdString(depot_.user()), files },
                false);
            P4VSubmitClient* client = client_.get();
            const auto add = [this](const QString& line) {
                std::lock_guard<std::mutex> lock(mutex_);
                lines_ << line;
            };
            const auto direct = Qt::DirectConnection;
            QObject::connect(client, &P4VSubmitClient::processInfoOutput, &context_, add, direct);
            QObject::connect(
                client, &P4VSubmitClient::errorMessageOutput, &context_,
                [add](const QString& line) { add("ERROR:" + line); }, direct);
            QObject::connect(
                client, &P4VSubmitClient::checkResultArrived, &context_,
                [add](const CheckResult& r) {
                    add(r.Passed ? "RESULT:pass" : QString("RESULT:fail %1").arg(r.ErrorGroups.size()));
                },
                direct);
            // The window's queued signal, connected before the worker starts so that the thread
            // sanitizer sees the slot object made before the worker reads it.
            for (const bool pre_check : { false, true })
                QObject::connect(&triggers_[pre_check], &QObject::objectNameChanged, client,
                    [client, pre_check] { client->submit(pre_check); });
            client_->initialize();
        }

        QStringList lines(bool clear = false)
        {
            std::lock_guard<std::mutex> lock(mutex_);
            return clear ? std::exchange(lines_, {}) : lines_;
        }

        // Change 100 with its files in the given state, started; journal cleared.
        void startIn(int files_state)
        {
            const std::vector<StandInFile> opened { depot_.file("src/opened.c", 2) };
            depot_.writeLocalFile(opened[0], "first\n");
            depot_.addPendingChange("[feature] add button",
                files_state == ShelvedOnly ? std::vector<StandInFile> {} : opened,
                files_state == OpenedOnly ? std::vector<StandInFile> {}
                                          : std::vector { depot_.file("src/shelved.c", 5) });
            startClient("100");
            depot_.clearJournal();
        }

        // Asks the worker for a run, unclaimed.
        void submitClicked(bool is_pre_check)
        {
            triggers_[is_pre_check].setObjectName(QString::number(++clicks_));
        }

        // As the window starts a run: claim it, then a queued call on the worker.
        bool start(bool is_pre_check)
        {
            lines(true);
            if (!client_->claimRun(is_pre_check))
                return false;
            submitClicked(is_pre_check);
            return true;
        }

        bool finished() const
        {
            return !QList<int> { Submitting, PreChecking }.contains(client_->getSubmitState());
        }

        // Runs to a final state and returns the run's lines.
        QStringList run(bool is_pre_check)
        {
            EXPECT_TRUE(start(is_pre_check)) << "refused in state " << client_->getSubmitState();
            EXPECT_TRUE(waitUntil([this] { return finished(); })) << "stuck in " << client_->getSubmitState();
            return lines();
        }

        // The p4 commands that move, shelve, revert, submit or sync files.
        Commands fileCommands() const
        {
            Commands commands;
            for (Command command : depot_.commands()) {
                if (command.front() == "sync")
                    command.resize(2); // its files are the submitted ones
                if (QStringList({ "reopen", "shelve", "revert", "submit", "sync" })
                        .contains(command.front().c_str()))
                    commands.push_back(command);
            }
            return commands;
        }

        static std::string frames(const std::vector<std::string>& messages)
        {
            std::string stream;
            for (const std::string& message : messages)
                stream += CheckServer::frame(message);
            return stream;
        }

        void replyWith(const std::vector<std::string>& messages, std::function<void()> on_request = {})
        {
            standin::CheckReplyScript script;
            script.pieces = { frames(messages) };
            script.on_request = std::move(on_request);
            check_.setScript(script);
        }

        StandInDepot depot_;
        standin::TagServer tags_;
        standin::ReviewServer reviews_ { build_config::kSwarmUser, build_config::kSwarmToken };
        standin::CheckServer check_;
        std::unique_ptr<P4VSubmitClient> client_;

    private:
        QObject context_;
        QObject triggers_[2];
        int clicks_ = 0;
        std::mutex mutex_;
        QStringList lines_;
    };

    const QString kPassed = "[检测结果]:<font color='#38947c'>通过</font>";
    const QString kFailed = "[检测结果]:<font color='#dd0000'>失败</font>";
    const QString kAgain = "修改后可再次提交。已可以关闭窗口.\n";
    const QString kDone = "已可以关闭窗口.\n";
    const QString kSync = "Sync Changelist <font color='#38947c'>%1</font>";
    const QString kRequest = "请求服务器检测当前提交...";
    const std::string kInfo = CheckServer::serverInfo("Checking 1 file");
    const std::string kPass = CheckServer::checkResult(true);
    const std::string kFail = CheckServer::checkResult(false, { { "Naming", { { "//a.c", "bad name" } } } });
    const Command kShelve { "shelve", "-c", "100" }, kUnshelve { "shelve", "-d", "-c", "100" },
        kSyncFiles { "sync", "-f" };
    const Command kSubmit { "submit", "-e", "100" },
        kRevert { "revert", "-c", "100", "//streams/main/src/opened.c" };
    const QStringList kShelving { "[1]Update Changelist Description", "[2]Shelve Changelist 100",
        "[3]" + kRequest };
    const QStringList kShelved { "[1]Update Changelist Description", "[2]" + kRequest };

    QString red(const QString& text) { return "ERROR:<font color='#ff0000'>" + text; }

    // Each line starts with its expected text, "$ROOT" standing for the workspace root.
    void expectLines(const QStringList& lines, const QStringList& expected, const std::string& root = "")
    {
        ASSERT_EQ(lines.size(), expected.size()) << lines.join(" | ").toStdString();
        for (int i = 0; i < lines.size(); ++i)
            EXPECT_TRUE(
                lines[i].startsWith(QString(expected[i]).replace("$ROOT", QString::fromStdString(root))))
                << lines[i].toStdString();
    }

    // A submit: files state, passed, a twist (the window hands over a "blank" description;
    // once the request is out the file is "edit"ed, or else the named p4 error hits the next
    // shelve), the lines after the request, the final state, the file commands.
    using VerdictRow = std::tuple<int, bool, const char*, QStringList, int, Commands>;
    class ClientVerdictTest : public ClientRunTest, public ::testing::WithParamInterface<VerdictRow> { };

    // p4 refuses a blank description, so it is not saved; an edit made while the check ran is
    // neither reverted nor submitted; a p4 failure while acting on the verdict is a submit error.
    TEST_P(ClientVerdictTest, LinesStateAndPerforceCommands)
    {
        const auto& [files_state, pass, during, tail, final_state, expected] = GetParam();
        startIn(files_state);
        const bool blank = std::string(during) == "blank";
        if (blank)
            client_->setDescription(" \n\t");
        replyWith({ kInfo, pass ? kPass : kFail }, [this, during = std::string(during), blank] {
            if (during == "edit")
                depot_.writeLocalFile(depot_.file("src/opened.c"), "edited\n");
            else if (!during.empty() && !blank)
                depot_.injectFault("shelve", during);
        });
        const QStringList ends { "Checking 1 file", pass ? "RESULT:pass" : "RESULT:fail 1",
            pass ? kPassed : kFailed };
        const QStringList before = blank ? QStringList { "[1]" + kRequest }
            : files_state == OpenedOnly  ? kShelving
                                         : kShelved;
        expectLines(run(false), before + ends + tail, depot_.root());
        EXPECT_EQ(client_->getSubmitState(), final_state);
        EXPECT_EQ(fileCommands(), expected);
    }

    INSTANTIATE_TEST_SUITE_P(AllRoads, ClientVerdictTest,
        ::testing::Values(VerdictRow { OpenedOnly, true, "",
                              { "[4]Revert Changelist 100", "[5]Submitting Pending Changelist 100",
                                  "[6]" + kSync.arg(100), "[7]" + kDone },
                              Submitted, { kShelve, kRevert, kSubmit, kSyncFiles } },
            // The opened files move to a new change, and the submit renames the shelved one.
            VerdictRow { OpenedAndShelved, true, "",
                { "[3]Create Changelist.Move Opened Files From [100] To [101]",
                    "[4]Submitting Pending Changelist 100", "[5]" + kSync.arg(102), "[6]" + kDone },
                Submitted,
                { { "reopen", "-c", "101", "//streams/main/src/opened.c" }, kSubmit, kSyncFiles } },
            VerdictRow { ShelvedOnly, false, "blank", { "[2]" + kAgain }, SubmitCheckFailed, {} },
            VerdictRow { OpenedOnly, true, "edit",
                { red("Shelve后以下文件已被修改,未还原也未提交: $ROOT/src/opened.c</font>"), "[4]" + kAgain },
                SubmitCheckFailed, { kShelve, kUnshelve } },
            // A failed check drops the shelf it made: here p4 refuses that.
            VerdictRow { OpenedOnly, false, "No shelved files in changelist to delete.",
                { red("No shelved files") }, SubmitError, { kShelve, kUnshelve } }));

    // Frames are read whatever the pieces; other kinds and 1 to 3 bytes left over are skipped;
    // the user sees the HTTP error, never frames read from an error page; a corrupt stream
    // fails with a red line, and the client ends a reply that stays open.
    TEST_F(ClientRunTest, RepliesWhateverThePiecesAndFailures)
    {
        const std::string negative = frames({ kInfo }) + CheckServer::lengthField(-5) + "xxxxx";
        const std::tuple<int, std::vector<std::string>, QStringList> rows[] = {
            { 200, CheckServer::split(frames({ kInfo, CheckServer::serverInfo("第二步"), kPass }), { 1, 6 }),
                { "Checking 1 file", "第二步", "RESULT:pass", kPassed } },
            // An element that is no object counts.
            { 200,
                { frames({ R"({"IdentificationStr":"serverinfo","Message":"x"})", "not json",
                      R"({"IdentificationStr":"CheckResultInfo","Cr":{"ErrorGroups":[1,{"Errs":[null]}]}})" })
                    + "\x01\x02\x03" },
                { "RESULT:fail 2", kFailed } },
            { 502, { frames({ kPass }) }, { "[HttpError]", kFailed } },
            { 200, { negative, frames({ kPass }) },
                { "Checking 1 file",
                    red("Check reply is corrupt: negative frame length -5 at byte 78.</font>"), kFailed } },
            { 200, { frames({ kPass }) + CheckServer::lengthField(5) + "abc" },
                { "RESULT:pass", red("Check reply ended inside a frame: 3 of 5 bytes arrived.</font>"),
                    kFailed } },
        };
        startIn(ShelvedOnly);
        for (const auto& [status, pieces, expected] : rows) {
            standin::CheckReplyScript script;
            script.status = status;
            script.pieces = pieces;
            script.hang_after_pieces = pieces[0] == negative; // the client ends it
            check_.setScript(script);
            expectLines(run(true).mid(2), expected);
            EXPECT_EQ(
                client_->getSubmitState(), expected.last() == kPassed ? PreCheckPassed : PreCheckFailed);
        }
    }

    TEST_F(ClientRunTest, OneReplyAtATimeAndTheWorkerIsJoinedWhileOneIsOpen)
    {
        startIn(ShelvedOnly);
        standin::CheckReplyScript never;
        never.never_answer = true;
        check_.setScript(never);
        ASSERT_TRUE(start(true));
        // As if something bypassed the claim: queued behind the first, it finds the reply open.
        submitClicked(true);
        const QString refused = red("A check is already running; the new request is ignored.</font>");
        EXPECT_TRUE(waitUntil([&] { return lines().contains(refused) && check_.requests().size() == 1; }));
        client_.reset(); // returns with the reply still open
    }

    // A shelf the client made is checked and submitted only while it holds what the workspace
    // holds: after an edit or a newly opened file, the run shelves again first; every run
    // numbers its lines from 1.
    class ClientWorkspaceTest : public ClientRunTest, public ::testing::WithParamInterface<bool> { };

    TEST_P(ClientWorkspaceTest, ASubmitAfterAPassedPreCheckChecksTheWorkspaceAsItIsNow)
    {
        startIn(OpenedOnly);
        replyWith({ kPass });
        run(true);
        StandInFile joined = depot_.file("src/joined.c", 1);
        joined.change = "100";
        GetParam() ? depot_.openInDefault({ joined })
                   : depot_.writeLocalFile(depot_.file("src/opened.c"), "edited\n");
        depot_.clearJournal();
        EXPECT_EQ(run(false).mid(0, 3), kShelving);
        EXPECT_EQ(fileCommands().front(), (Command { "shelve", "-r", "-c", "100" }));
        EXPECT_EQ(depot_.submitted().at(0).files.size(), GetParam() ? 2u : 1u);
    }

    INSTANTIATE_TEST_SUITE_P(Edits, ClientWorkspaceTest, ::testing::Bool());

    // A file list (a name with @ goes to p4 escaped) goes into a new change, whose editor
    // starts empty; the window's shelve shelves it once. A list with a file not opened leaves
    // nothing behind: the change made for it is taken away again.
    TEST_F(ClientRunTest, AFileListGoesIntoANewChangeOrLeavesNothingBehind)
    {
        const StandInFile a = depot_.file("src/a b.c", 2), b = depot_.file("src/中文@1.c", 1);
        const QList<QString> files { QString::fromStdString(a.local_path),
            QString::fromStdString(b.local_path) };
        depot_.openInDefault({ a, b });
        depot_.setNextChange(300);
        EXPECT_THROW(startClient("", files + QList<QString> { files[0] + ".c" }), std::runtime_error);
        EXPECT_FALSE(depot_.hasChange(300));
        EXPECT_EQ(depot_.opened("default").size(), 2u);
        EXPECT_TRUE(fileCommands().empty());

        depot_.setNextChange(300);
        startClient("", files);
        EXPECT_EQ(depot_.opened("300").size(), 2u);
        EXPECT_TRUE(client_->getDescription().isEmpty());
        client_->shelveFiles();
        client_->shelveFiles();
        EXPECT_EQ(lines(), QStringList { "Shelve Changelist [300] Completed." });
        EXPECT_EQ(depot_.shelved(300).size(), 2u);
    }

    // The text, then the tags, then the review server.
    TEST_F(ClientRunTest, ValidateChecksTextThenTagsThenReview)
    {
        startClient(QString::number(depot_.addPendingChange("[feature] x", { depot_.file("v.c", 1) })));
        const std::tuple<QString, bool, bool, QString> rows[] = {
            { "[feature]   \n ", false, false, "描述信息不能为空." },
            { "plain text", false, false, "需要选中相关TAGS标签" },
            { "[feature] text", true, true, "" },
        };
        for (const auto& [description, tag, review, expected] : rows) {
            client_->getTagModule()->setTag("feature", tag);
            reviews_.setCheckResult(100, review);
            client_->setDescription(description);
            QString reason = "untouched";
            EXPECT_EQ(client_->validate(&reason), expected.isEmpty());
            EXPECT_EQ(reason, expected.isEmpty() ? "untouched" : expected);
        }
    }

} // namespace
} // namespace velmora::testing
