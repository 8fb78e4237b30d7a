// Whole check runs on the worker thread: lines, results, final states and the
// Perforce commands, against the stand-in depot and check server.
#include "client_fixture.h"

#include "korvath/p4_limits.h"

#include <QJsonDocument>
#include <QJsonObject>

namespace velmora::testing {
namespace {

    using standin::CheckServer;
    using Commands = std::vector<std::vector<std::string>>;

    const QString kPassed = "[检测结果]:<font color='#38947c'>通过</font>";
    const QString kFailed = "[检测结果]:<font color='#dd0000'>失败</font>";
    const std::string kInfo = CheckServer::serverInfo("Checking 1 file");

    class ClientRunTest : public ClientFixture {
    protected:
        // A changelist in the given files state, numbered 100.
        int changeIn(int files_state, const std::string& description = "[feature] add button")
        {
            depot_.setNextChange(100);
            const StandInFile opened = depot_.file("src/opened.c", 2);
            const StandInFile shelved = depot_.file("src/shelved.c", 5);
            switch (files_state) {
            case FilesState::OpenedOnly:
                return depot_.addPendingChange(description, { opened });
            case FilesState::ShelvedOnly:
                return depot_.addPendingChange(description, {}, { shelved });
            default:
                return depot_.addPendingChange(description, { opened }, { shelved });
            }
        }
        std::string passed() const { return CheckServer::checkResult(true); }
        std::string failed() const
        {
            return CheckServer::checkResult(
                false, { { "Naming", { { "//streams/main/src/opened.c", "bad name" } } } });
        }
    };

    struct RunCase {
        int files_state;
        bool pre_check;
        bool pass;
        QStringList lines;
        int final_state;
        Commands commands;
    };

    const QStringList kHeadShelving { "[1]Update Changelist Description", "[2]Shelve Changelist 100",
        "[3]请求服务器检测当前提交...", "Checking 1 file" };
    const QStringList kHeadShelved { "[1]Update Changelist Description", "[2]请求服务器检测当前提交...",
        "Checking 1 file" };
    const std::vector<std::string> kShelve { "shelve", "-c", "100" };
    const std::vector<std::string> kUnshelve { "shelve", "-d", "-c", "100" };
    const std::vector<std::string> kSubmit { "submit", "-e", "100" };

    const RunCase kRunCases[] = {
        { FilesState::OpenedOnly, true, true, kHeadShelving + QStringList { kPassed },
            SubmitState::PreCheckPassed, { kShelve } },
        { FilesState::OpenedOnly, true, false, kHeadShelving + QStringList { kFailed },
            SubmitState::PreCheckFailed, { kShelve, kUnshelve } },
        { FilesState::OpenedOnly, false, true,
            kHeadShelving
                + QStringList { kPassed, "[4]Revert Changelist 100", "[5]Submitting Pending Changelist 100",
                    "[6]Sync Changelist <font color='#38947c'>100</font>", "[7]已可以关闭窗口.\n" },
            SubmitState::Submitted,
            { kShelve, { "revert", "-c", "100", "//streams/main/src/opened.c" }, kSubmit } },
        { FilesState::OpenedOnly, false, false,
            kHeadShelving + QStringList { kFailed, "[4]修改后可再次提交。已可以关闭窗口.\n" },
            SubmitState::SubmitCheckFailed, { kShelve, kUnshelve } },
        { FilesState::ShelvedOnly, true, true, kHeadShelved + QStringList { kPassed },
            SubmitState::PreCheckPassed, {} },
        { FilesState::ShelvedOnly, true, false, kHeadShelved + QStringList { kFailed },
            SubmitState::PreCheckFailed, {} },
        { FilesState::ShelvedOnly, false, true,
            kHeadShelved
                + QStringList { kPassed, "[3]Submitting Pending Changelist 100",
                    "[4]Sync Changelist <font color='#38947c'>100</font>", "[5]已可以关闭窗口.\n" },
            SubmitState::Submitted, { kSubmit } },
        { FilesState::ShelvedOnly, false, false,
            kHeadShelved + QStringList { kFailed, "[3]修改后可再次提交。已可以关闭窗口.\n" },
            SubmitState::SubmitCheckFailed, {} },
        { FilesState::OpenedAndShelved, true, true, kHeadShelved + QStringList { kPassed },
            SubmitState::PreCheckPassed, {} },
        { FilesState::OpenedAndShelved, true, false, kHeadShelved + QStringList { kFailed },
            SubmitState::PreCheckFailed, {} },
        { FilesState::OpenedAndShelved, false, true,
            kHeadShelved
                + QStringList { kPassed, "[3]Create Changelist.Move Opened Files From [100] To [101]",
                    "[4]Submitting Pending Changelist 100",
                    "[5]Sync Changelist <font color='#38947c'>{submitted}</font>", "[6]已可以关闭窗口.\n" },
            SubmitState::Submitted, { { "reopen", "-c", "101", "//streams/main/src/opened.c" }, kSubmit } },
        { FilesState::OpenedAndShelved, false, false,
            kHeadShelved + QStringList { kFailed, "[3]修改后可再次提交。已可以关闭窗口.\n" },
            SubmitState::SubmitCheckFailed, {} },
    };

    class ClientVerdictTest : public ClientRunTest, public ::testing::WithParamInterface<RunCase> { };

    TEST_P(ClientVerdictTest, LinesStateAndPerforceCommands)
    {
        const RunCase& c = GetParam();
        const int change = changeIn(c.files_state);
        startClient(QString::number(change));
        depot_.clearJournal();
        replyWith({ kInfo, c.pass ? passed() : failed() });

        const QStringList lines = run(c.pre_check);
        EXPECT_EQ(client_->getSubmitState(), c.final_state);
        // The submit may rename the change: the sync line shows the final number.
        QStringList expected = c.lines;
        if (!depot_.submitted().empty())
            expected.replaceInStrings("{submitted}", QString::number(depot_.submitted()[0].change));
        EXPECT_EQ(lines, expected);
        ASSERT_EQ(recorder_->results().size(), 1);
        const CheckResult result = recorder_->results()[0];
        EXPECT_EQ(result.Passed, c.pass);
        if (!c.pass) {
            ASSERT_EQ(result.ErrorGroups.size(), 1);
            EXPECT_EQ(result.ErrorGroups[0].CheckerTitle, "Naming");
            ASSERT_EQ(result.ErrorGroups[0].Errs.size(), 1);
            EXPECT_EQ(result.ErrorGroups[0].Errs[0].AssetPath, "//streams/main/src/opened.c");
            EXPECT_EQ(result.ErrorGroups[0].Errs[0].Message, "bad name");
        }
        auto commands = fileCommands();
        if (c.final_state == SubmitState::Submitted) {
            ASSERT_FALSE(commands.empty());
            EXPECT_EQ(commands.back()[0], "sync");
            EXPECT_EQ(commands.back()[1], "-f");
            commands.pop_back();
            ASSERT_EQ(depot_.submitted().size(), 1u);
            EXPECT_EQ(depot_.submitted()[0].submitted_from, 100);
            EXPECT_EQ(depot_.changeStatus(depot_.submitted()[0].change), "submitted");
        }
        EXPECT_EQ(commands, c.commands);
    }

    INSTANTIATE_TEST_SUITE_P(AllRoads, ClientVerdictTest, ::testing::ValuesIn(kRunCases));

    TEST_F(ClientRunTest, RequestCarriesTheChangeAndTheStream)
    {
        startClient(QString::number(changeIn(FilesState::ShelvedOnly)));
        replyWith({ passed() });
        run(true);
        const auto requests = check_.requests();
        ASSERT_EQ(requests.size(), 1u);
        EXPECT_EQ(requests[0].method, "POST");
        EXPECT_EQ(requests[0].target, "/");
        EXPECT_EQ(requests[0].header("Content-Type"), "application/json;charset=utf-8");
        const QJsonObject envelope
            = QJsonDocument::fromJson(QByteArray::fromStdString(requests[0].body)).object();
        EXPECT_EQ(envelope["Protocol"].toString(), "C2S_RequestSubmitCheck");
        const QJsonObject content = QJsonDocument::fromJson(envelope["Content"].toString().toUtf8()).object();
        EXPECT_EQ(content["ShelvedID"].toInt(), 100);
        EXPECT_EQ(content["UserName"].toString().toStdString(), depot_.user());
        EXPECT_EQ(content["P4Server"].toString().toStdString(), depot_.port());
        EXPECT_EQ(content["StreamPath"].toString().toStdString(), depot_.stream());
        // The description edited in the window is what the changelist keeps.
        EXPECT_EQ(depot_.description(100), "[feature] add button\n");
    }

    // The window hands " " over when neither a tag nor a text is given; p4
    // refuses a blank description, and a refused save would leave the run stuck.
    TEST_F(ClientRunTest, EmptyOrBlankDescriptionIsNotSaved)
    {
        startClient(QString::number(changeIn(FilesState::OpenedOnly)));
        for (const char* description : { "", " ", " \n\t" }) {
            SCOPED_TRACE(description);
            client_->setDescription(description);
            replyWith({ failed() });
            EXPECT_EQ(run(true).mid(0, 2),
                (QStringList { "[1]Shelve Changelist 100", "[2]请求服务器检测当前提交..." }));
            EXPECT_EQ(client_->getSubmitState(), SubmitState::PreCheckFailed);
            EXPECT_EQ(depot_.description(100), "[feature] add button\n");
        }
    }

    TEST_F(ClientRunTest, RunAfterAFailedCheckShelvesAgainAndCountsFromOne)
    {
        startClient(QString::number(changeIn(FilesState::OpenedOnly)));
        replyWith({ failed() });
        run(false);
        ASSERT_EQ(client_->getSubmitState(), SubmitState::SubmitCheckFailed);
        EXPECT_TRUE(depot_.shelved(100).empty());

        replyWith({ passed() });
        const QStringList lines = run(false);
        ASSERT_GE(lines.size(), 3);
        EXPECT_EQ(lines.mid(0, 3),
            (QStringList { "[1]Update Changelist Description", "[2]Shelve Changelist 100",
                "[3]请求服务器检测当前提交..." }));
        EXPECT_EQ(client_->getSubmitState(), SubmitState::Submitted);
    }

    struct StreamCase {
        const char* name;
        std::vector<std::string> messages;
        std::vector<size_t> pieces;
        std::string trailer;
        QStringList lines; // after the request line
        int results;
        int final_state;
    };

    TEST_F(ClientRunTest, FramesAreReadWhateverThePiecesAndKinds)
    {
        const std::string info2 = CheckServer::serverInfo("第二步 done");
        const QList<StreamCase> cases {
            { "split in single bytes", { kInfo, info2, CheckServer::checkResult(true) }, { 1 }, "",
                { "Checking 1 file", "第二步 done", kPassed }, 1, SubmitState::PreCheckPassed },
            { "split inside lengths", { kInfo, info2, CheckServer::checkResult(true) }, { 2, 3, 5, 7 }, "",
                { "Checking 1 file", "第二步 done", kPassed }, 1, SubmitState::PreCheckPassed },
            { "later result wins", { passed(), failed() }, { 4096 }, "", { kFailed }, 2,
                SubmitState::PreCheckFailed },
            { "no result frame", { kInfo }, { 4096 }, "", { "Checking 1 file", kFailed }, 0,
                SubmitState::PreCheckFailed },
            { "empty, other kinds and invalid JSON are skipped",
                { "", R"({"IdentificationStr":"serverinfo","Message":"x"})", "not json", R"([1,2])", kInfo,
                    passed() },
                { 3 }, "", { "Checking 1 file", kPassed }, 1, SubmitState::PreCheckPassed },
            { "1 to 3 trailing bytes are ignored", { passed() }, { 4096 }, std::string("\x01\x02\x03", 3),
                { kPassed }, 1, SubmitState::PreCheckPassed },
        };
        const int change = changeIn(FilesState::ShelvedOnly);
        startClient(QString::number(change));
        for (const StreamCase& c : cases) {
            SCOPED_TRACE(c.name);
            standin::CheckReplyScript script;
            script.pieces = CheckServer::split(frames(c.messages) + c.trailer, c.pieces);
            check_.setScript(script);
            const QStringList lines = run(true);
            ASSERT_GE(lines.size(), 2);
            EXPECT_EQ(lines.mid(2), c.lines);
            EXPECT_EQ(recorder_->results().size(), c.results);
            EXPECT_EQ(client_->getSubmitState(), c.final_state);
        }
    }

    TEST_F(ClientRunTest, NetworkFailuresEndAsFailedChecks)
    {
        startClient(QString::number(changeIn(FilesState::ShelvedOnly)));

        // An error status is never read as frames: a passed result in its body does not count.
        standin::CheckReplyScript error_after_pass;
        error_after_pass.status = 502;
        error_after_pass.pieces = { frames({ passed() }) };
        check_.setScript(error_after_pass);
        QStringList lines = run(false);
        ASSERT_EQ(lines.size(), 5) << lines.join(" | ").toStdString();
        EXPECT_TRUE(lines[2].startsWith("[HttpError]")) << lines[2].toStdString();
        EXPECT_EQ(lines[3], kFailed);
        EXPECT_TRUE(recorder_->results().isEmpty());
        EXPECT_EQ(client_->getSubmitState(), SubmitState::SubmitCheckFailed);

        // Nor when the connection breaks inside the next frame: whether Qt reports
        // the break or not, the run fails.
        standin::CheckReplyScript broken;
        broken.pieces = { frames({ passed() }) + frames({ failed() }).substr(0, 20) };
        broken.close_early = true;
        check_.setScript(broken);
        lines = run(false);
        EXPECT_TRUE(lines.contains(kFailed)) << lines.join(" | ").toStdString();
        EXPECT_FALSE(lines.contains(kPassed));
        EXPECT_EQ(client_->getSubmitState(), SubmitState::SubmitCheckFailed);

        // An error status with a text body, whatever the text would read as: its first bytes
        // here make a negative frame length. The user sees the HTTP error, not a corrupt stream.
        for (const char* body :
            { "服务器内部错误: 检查器不可用", "Internal failure: checker pool exhausted" }) {
            SCOPED_TRACE(body);
            standin::CheckReplyScript error_status;
            error_status.status = 500;
            error_status.content_type = "text/plain; charset=utf-8";
            error_status.pieces = { body };
            check_.setScript(error_status);
            lines = run(true);
            ASSERT_EQ(lines.size(), 4) << lines.join(" | ").toStdString();
            EXPECT_TRUE(lines[2].startsWith("[HttpError]")) << lines[2].toStdString();
            EXPECT_EQ(lines[3], kFailed);
            EXPECT_EQ(client_->getSubmitState(), SubmitState::PreCheckFailed);
        }

        check_.stop();
        lines = run(true);
        ASSERT_EQ(lines.size(), 4);
        EXPECT_TRUE(lines[2].startsWith("[HttpError]")) << lines[2].toStdString();
        EXPECT_TRUE(lines[2].contains("refused", Qt::CaseInsensitive)) << lines[2].toStdString();
        EXPECT_EQ(client_->getSubmitState(), SubmitState::PreCheckFailed);
    }

    TEST_F(ClientRunTest, CorruptStreamsFailWithARedLineAndNeverHang)
    {
        startClient(QString::number(changeIn(FilesState::ShelvedOnly)));
        const std::string negative = CheckServer::lengthField(-5) + "xxxxx";

        standin::CheckReplyScript hostile;
        hostile.pieces = { frames({ kInfo }) + negative, frames({ passed() }) };
        hostile.hang_after_pieces = true; // the client must end the run itself
        check_.setScript(hostile);
        QStringList lines = run(false);
        const QString negative_line = QString(
            "ERROR:<font color='#ff0000'>Check reply is corrupt: negative frame length -5 at byte %1.</font>")
                                          .arg(frames({ kInfo }).size());
        EXPECT_EQ(lines.mid(2),
            (QStringList {
                "Checking 1 file", negative_line, kFailed, "[3]修改后可再次提交。已可以关闭窗口.\n" }));
        EXPECT_TRUE(recorder_->results().isEmpty());
        EXPECT_EQ(client_->getSubmitState(), SubmitState::SubmitCheckFailed);

        // A length beyond the rest of the reply: the reply ends inside the frame.
        standin::CheckReplyScript truncated;
        truncated.pieces = { frames({ passed() }) + CheckServer::lengthField(100) + "abc" };
        check_.setScript(truncated);
        lines = run(true);
        EXPECT_EQ(lines.mid(2),
            (QStringList { "ERROR:<font color='#ff0000'>Check reply ended inside a frame: 3 of 100 bytes "
                           "arrived.</font>",
                kFailed }));
        EXPECT_EQ(recorder_->results().size(), 1);
        EXPECT_EQ(client_->getSubmitState(), SubmitState::PreCheckFailed);
    }

    TEST_F(ClientRunTest, PerforceFailureInsideTheRunLeavesTheStateRunning)
    {
        startClient(QString::number(changeIn(FilesState::OpenedOnly)));
        depot_.injectFault("shelve", "No files to shelve.");
        replyWith({ passed() });
        ASSERT_TRUE(trigger_->start(false));
        waitFor([this] { return recorder_->lines().size() >= 2; }, 5000);
        ASSERT_EQ(recorder_->lines().size(), 2);
        EXPECT_EQ(recorder_->lines()[0], "[1]Update Changelist Description");
        EXPECT_TRUE(recorder_->lines()[1].startsWith("ERROR:<font color='#ff0000'>No files to shelve."))
            << recorder_->lines()[1].toStdString();
        EXPECT_EQ(client_->getSubmitState(), SubmitState::Submitting);
        EXPECT_TRUE(check_.requests().empty());
        EXPECT_FALSE(client_->claimRun(false));
    }

    TEST_F(ClientRunTest, PerforceFailureAfterTheVerdictIsASubmitError)
    {
        startClient(QString::number(changeIn(FilesState::ShelvedOnly)));
        depot_.injectFault("submit", "Submit failed -- fix problems above then use 'p4 submit -e 100'.");
        replyWith({ passed() });
        const QStringList lines = run(false);
        ASSERT_EQ(lines.size(), 5);
        EXPECT_EQ(lines[3], "[3]Submitting Pending Changelist 100");
        EXPECT_TRUE(lines[4].startsWith("ERROR:<font color='#ff0000'>Submit failed -- fix problems above"))
            << lines[4].toStdString();
        EXPECT_EQ(client_->getSubmitState(), SubmitState::SubmitError);
        EXPECT_FALSE(client_->claimRun(false));
    }

    TEST_F(ClientRunTest, PerforceFailureWhileCleaningUpAFailedCheckIsASubmitError)
    {
        startClient(QString::number(changeIn(FilesState::OpenedOnly)));
        standin::CheckReplyScript slow;
        slow.pieces = { frames({ failed() }) };
        slow.delay = std::chrono::milliseconds(400);
        check_.setScript(slow);
        ASSERT_TRUE(trigger_->start(true));
        // The run's own shelve has gone through once the request is out.
        ASSERT_TRUE(waitFor([this] { return !check_.requests().empty(); }));
        depot_.injectFault("shelve", "No shelved files in changelist to delete.");
        ASSERT_TRUE(waitFor([this] { return isFinalState(client_->getSubmitState()); }));
        const QStringList lines = recorder_->lines();
        ASSERT_EQ(lines.size(), 5);
        EXPECT_EQ(lines[3], kFailed);
        EXPECT_TRUE(
            lines[4].startsWith("ERROR:<font color='#ff0000'>No shelved files in changelist to delete."));
        EXPECT_EQ(client_->getSubmitState(), SubmitState::SubmitError);
    }

    TEST_F(ClientRunTest, ASecondRequestWhileAReplyIsOpenIsRefused)
    {
        startClient(QString::number(changeIn(FilesState::ShelvedOnly)));
        standin::CheckReplyScript slow;
        slow.pieces = { frames({ passed() }) };
        slow.delay = std::chrono::milliseconds(300);
        check_.setScript(slow);
        ASSERT_TRUE(client_->claimRun(true));
        emit trigger_->submitClicked(true);
        emit trigger_->submitClicked(true); // as if something bypassed the claim
        ASSERT_TRUE(waitFor([this] { return isFinalState(client_->getSubmitState()); }));
        EXPECT_EQ(check_.requests().size(), 1u);
        EXPECT_TRUE(recorder_->lines().contains(
            "ERROR:<font color='#ff0000'>A check is already running; the new request is ignored.</font>"));
        EXPECT_EQ(client_->getSubmitState(), SubmitState::PreCheckPassed);
    }

    struct WorkspaceCase {
        const char* name;
        std::function<void(StandInDepot&)> between; // after the passed pre-check
        bool reshelved;
        size_t submitted_files;
    };

    const WorkspaceCase kWorkspaceCases[] = {
        { "nothing changed", [](StandInDepot&) {}, false, 1 },
        { "a file edited",
            [](StandInDepot& depot) { depot.writeLocalFile(depot.file("src/opened.c"), "edited\n"); }, true,
            1 },
        { "a file opened into the change",
            [](StandInDepot& depot) {
                StandInFile joined = depot.file("src/joined.c", 1);
                joined.change = "100";
                depot.openInDefault({ joined });
            },
            true, 2 },
    };

    class ClientWorkspaceTest : public ClientRunTest, public ::testing::WithParamInterface<WorkspaceCase> { };

    // A shelf the client made earlier is checked and submitted only while it still holds what
    // the workspace holds; otherwise the run shelves again first.
    TEST_P(ClientWorkspaceTest, ASubmitAfterAPassedPreCheckChecksTheWorkspaceAsItIsNow)
    {
        const WorkspaceCase& c = GetParam();
        const int change = changeIn(FilesState::OpenedOnly);
        depot_.writeLocalFile(depot_.file("src/opened.c"), "first\n");
        startClient(QString::number(change));
        replyWith({ passed() });
        run(true);
        ASSERT_EQ(client_->getSubmitState(), SubmitState::PreCheckPassed);
        c.between(depot_);
        depot_.clearJournal();

        const QStringList lines = run(false);
        QStringList expected { "[1]Update Changelist Description" };
        Commands commands;
        if (c.reshelved) {
            expected << "[2]Shelve Changelist 100";
            commands.push_back({ "shelve", "-r", "-c", "100" });
        }
        const int n = expected.size();
        expected << QString("[%1]请求服务器检测当前提交...").arg(n + 1) << kPassed
                 << QString("[%1]Revert Changelist 100").arg(n + 2)
                 << QString("[%1]Submitting Pending Changelist 100").arg(n + 3)
                 << QString("[%1]Sync Changelist <font color='#38947c'>100</font>").arg(n + 4)
                 << QString("[%1]已可以关闭窗口.\n").arg(n + 5);
        EXPECT_EQ(lines, expected);
        auto done = fileCommands();
        ASSERT_EQ(done.size(), commands.size() + 3); // then revert, submit, sync
        done.resize(commands.size());
        EXPECT_EQ(done, commands);
        EXPECT_EQ(client_->getSubmitState(), SubmitState::Submitted);
        ASSERT_EQ(depot_.submitted().size(), 1u);
        EXPECT_EQ(depot_.submitted()[0].files.size(), c.submitted_files);
    }

    INSTANTIATE_TEST_SUITE_P(Edits, ClientWorkspaceTest, ::testing::ValuesIn(kWorkspaceCases));

    // An edit made while the check runs is not what was checked: nothing is reverted or
    // submitted, and the next run checks the edit.
    TEST_F(ClientRunTest, AnEditDuringTheCheckIsNeverReverted)
    {
        const StandInFile file = depot_.file("src/opened.c");
        const int change = changeIn(FilesState::OpenedOnly);
        depot_.writeLocalFile(file, "checked\n");
        startClient(QString::number(change));
        standin::CheckReplyScript script;
        script.pieces = { frames({ passed() }) };
        script.on_request = [this, file] { depot_.writeLocalFile(file, "edited while checking\n"); };
        check_.setScript(script);

        QStringList lines = run(false);
        EXPECT_EQ(lines,
            (QStringList { "[1]Update Changelist Description", "[2]Shelve Changelist 100",
                "[3]请求服务器检测当前提交...", kPassed,
                "ERROR:<font color='#ff0000'>Shelve后以下文件已被修改,未还原也未提交: "
                    + QString::fromStdString(file.local_path) + "</font>",
                "[4]修改后可再次提交。已可以关闭窗口.\n" }));
        EXPECT_EQ(client_->getSubmitState(), SubmitState::SubmitCheckFailed);
        EXPECT_EQ(fileCommands(), (Commands { kShelve, kUnshelve }));
        EXPECT_EQ(depot_.opened("100").size(), 1u);
        EXPECT_TRUE(depot_.submitted().empty());

        replyWith({ passed() });
        lines = run(false);
        EXPECT_EQ(lines.mid(0, 2),
            (QStringList { "[1]Update Changelist Description", "[2]Shelve Changelist 100" }));
        EXPECT_EQ(client_->getSubmitState(), SubmitState::Submitted);
    }

    // The window's shelve waits while the worker deletes the shelf, then shelves again: it never
    // takes a shelf that is about to go for one that stays.
    TEST_F(ClientRunTest, TheWindowsShelveNeverSeesAShelfThatIsGoing)
    {
        startClient(QString::number(changeIn(FilesState::OpenedOnly)));
        standin::CheckReplyScript script;
        script.pieces = { frames({ failed() }) };
        script.on_request = [this] { depot_.injectDelay("shelve", 800); };
        check_.setScript(script);
        ASSERT_TRUE(trigger_->start(true));
        ASSERT_TRUE(waitFor([this] {
            for (const auto& command : depot_.commands())
                if (command == kUnshelve)
                    return true;
            return false;
        }));
        client_->shelveFiles(); // as the create-review button does, while the deletion runs
        ASSERT_TRUE(waitFor([this] { return isFinalState(client_->getSubmitState()); }));
        EXPECT_EQ(client_->getSubmitState(), SubmitState::PreCheckFailed);
        EXPECT_TRUE(recorder_->lines().contains("Shelve Changelist [100] Completed."));
        EXPECT_EQ(depot_.shelved(100).size(), 1u);
    }

    // A server that stops answering ends the step like any Perforce failure, in seconds.
    TEST_F(ClientRunTest, AStalledServerAtTheSubmitIsASubmitError)
    {
        if (kP4NetMaxWaitSeconds > 10)
            GTEST_SKIP() << "built with a network wait of " << kP4NetMaxWaitSeconds << " s";
        startClient(QString::number(changeIn(FilesState::ShelvedOnly)));
        depot_.injectHang("submit");
        replyWith({ passed() });
        const QStringList lines = run(false);
        ASSERT_EQ(lines.size(), 5) << lines.join(" | ").toStdString();
        EXPECT_EQ(lines[3], "[3]Submitting Pending Changelist 100");
        EXPECT_TRUE(lines[4].startsWith(
            "ERROR:<font color='#ff0000'>Perforce client error:\n\tPartner exited unexpectedly. [p4 "))
            << lines[4].toStdString();
        EXPECT_TRUE(lines[4].contains(" submit -e 100]")) << lines[4].toStdString();
        EXPECT_EQ(client_->getSubmitState(), SubmitState::SubmitError);
        EXPECT_TRUE(depot_.submitted().empty());
    }

} // namespace
} // namespace velmora::testing
