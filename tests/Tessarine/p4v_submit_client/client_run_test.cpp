// Whole check runs on the worker thread: lines, results, final states and the
// Perforce commands, against the stand-in depot and check server.
#include "client_fixture.h"

#include "korvath/p4_limits.h"

namespace velmora::testing {
namespace {

    using standin::CheckServer;
    using Command = std::vector<std::string>;

    const QString kPassed = "[检测结果]:<font color='#38947c'>通过</font>";
    const QString kFailed = "[检测结果]:<font color='#dd0000'>失败</font>";
    const QString kAgain = "修改后可再次提交。已可以关闭窗口.\n";
    const QString kDone = "已可以关闭窗口.\n";
    const QString kSync = "Sync Changelist <font color='#38947c'>%1</font>";
    const QString kRequest = "请求服务器检测当前提交...";
    const std::string kInfo = CheckServer::serverInfo("Checking 1 file");
    const std::string kPass = CheckServer::checkResult(true);
    const std::string kFail = CheckServer::checkResult(false, { { "Naming", { { "//a.c", "bad name" } } } });
    const Command kShelve { "shelve", "-c", "100" }, kUnshelve { "shelve", "-d", "-c", "100" };
    const Command kSubmit { "submit", "-e", "100" },
        kRevert { "revert", "-c", "100", "//streams/main/src/opened.c" };
    const QStringList kShelving { "[1]Update Changelist Description", "[2]Shelve Changelist 100",
        "[3]" + kRequest };
    const QStringList kShelved { "[1]Update Changelist Description", "[2]" + kRequest };

    QString red(const QString& text) { return "ERROR:<font color='#ff0000'>" + text; }

    class ClientRunTest : public ClientFixture {
    protected:
        // Change 100 with its files in the given state, started; journal cleared.
        void startIn(int files_state)
        {
            const std::vector<StandInFile> opened { depot_.file("src/opened.c", 2) };
            depot_.writeLocalFile(opened[0], "first\n");
            depot_.addPendingChange("[feature] add button",
                files_state == FilesState::ShelvedOnly ? std::vector<StandInFile> {} : opened,
                files_state == FilesState::OpenedOnly ? std::vector<StandInFile> {}
                                                      : std::vector { depot_.file("src/shelved.c", 5) });
            startClient("100");
            depot_.clearJournal();
        }
    };

    struct VerdictRow {
        int files_state;
        bool pre_check;
        bool pass;
        QStringList tail; // after the verdict line
        int final_state;
        Commands commands; // the sync after a submit left out
    };

    class ClientVerdictTest : public ClientRunTest, public ::testing::WithParamInterface<VerdictRow> { };

    TEST_P(ClientVerdictTest, LinesStateAndPerforceCommands)
    {
        const VerdictRow& row = GetParam();
        startIn(row.files_state);
        replyWith({ kInfo, row.pass ? kPass : kFail });
        const QString verdict = row.pass ? kPassed : kFailed;
        const QStringList ends { "Checking 1 file", row.pass ? "RESULT:pass" : "RESULT:fail 1", verdict };
        EXPECT_EQ(run(row.pre_check),
            (row.files_state == FilesState::OpenedOnly ? kShelving : kShelved) + ends + row.tail);
        EXPECT_EQ(client_->getSubmitState(), row.final_state);
        Commands commands = fileCommands();
        const bool submitted = row.final_state == SubmitState::Submitted;
        if (submitted) {
            EXPECT_EQ(commands.back().at(1), "-f"); // sync -f of the submitted files
            commands.pop_back();
            EXPECT_EQ(depot_.changeStatus(depot_.submitted().at(0).change), "submitted");
        }
        EXPECT_EQ(commands, row.commands);
        // A completed submit ends the client's runs; any other end allows another.
        EXPECT_EQ(client_->claimRun(true), !submitted);
    }

    INSTANTIATE_TEST_SUITE_P(AllRoads, ClientVerdictTest,
        ::testing::Values(
            VerdictRow { FilesState::OpenedOnly, true, true, {}, SubmitState::PreCheckPassed, { kShelve } },
            VerdictRow { FilesState::OpenedOnly, true, false, {}, SubmitState::PreCheckFailed,
                { kShelve, kUnshelve } },
            VerdictRow { FilesState::OpenedOnly, false, true,
                { "[4]Revert Changelist 100", "[5]Submitting Pending Changelist 100", "[6]" + kSync.arg(100),
                    "[7]" + kDone },
                SubmitState::Submitted, { kShelve, kRevert, kSubmit } },
            VerdictRow { FilesState::OpenedOnly, false, false, { "[4]" + kAgain },
                SubmitState::SubmitCheckFailed, { kShelve, kUnshelve } },
            VerdictRow { FilesState::ShelvedOnly, true, false, {}, SubmitState::PreCheckFailed, {} },
            VerdictRow { FilesState::ShelvedOnly, false, true,
                { "[3]Submitting Pending Changelist 100", "[4]" + kSync.arg(100), "[5]" + kDone },
                SubmitState::Submitted, { kSubmit } },
            VerdictRow { FilesState::ShelvedOnly, false, false, { "[3]" + kAgain },
                SubmitState::SubmitCheckFailed, {} },
            VerdictRow { FilesState::OpenedAndShelved, true, false, {}, SubmitState::PreCheckFailed, {} },
            // The opened files move to a new change, and the submit renames the shelved one.
            VerdictRow { FilesState::OpenedAndShelved, false, true,
                { "[3]Create Changelist.Move Opened Files From [100] To [101]",
                    "[4]Submitting Pending Changelist 100", "[5]" + kSync.arg(102), "[6]" + kDone },
                SubmitState::Submitted,
                { { "reopen", "-c", "101", "//streams/main/src/opened.c" }, kSubmit } },
            VerdictRow { FilesState::OpenedAndShelved, false, false, { "[3]" + kAgain },
                SubmitState::SubmitCheckFailed, {} }));

    // The window hands over " " when there is neither tag nor text: p4 refuses a blank
    // description, so it is not saved. Every run numbers its lines from 1.
    TEST_F(ClientRunTest, BlankDescriptionIsNotSavedAndEveryRunCountsFromOne)
    {
        startIn(FilesState::OpenedOnly);
        client_->setDescription(" \n\t");
        replyWith({ kFail });
        EXPECT_EQ(run(false),
            (QStringList {
                "[1]Shelve Changelist 100", "[2]" + kRequest, "RESULT:fail 1", kFailed, "[3]" + kAgain }));
        EXPECT_EQ(depot_.description(100), "[feature] add button\n");
        client_->setDescription("[fix] 新的描述");
        replyWith({ kPass });
        EXPECT_EQ(run(false).mid(0, 3), kShelving);
        EXPECT_EQ(depot_.submitted().at(0).description, "[fix] 新的描述\n");
    }

    // Frames are read whatever the pieces; the user sees the HTTP error, never frames read
    // from an error page; a corrupt stream fails with a red line, and the client ends a reply
    // that stays open. A line matches by its start.
    TEST_F(ClientRunTest, RepliesWhateverThePiecesAndFailures)
    {
        const std::string negative = frames({ kInfo }) + CheckServer::lengthField(-5) + "xxxxx";
        const std::tuple<int, std::vector<std::string>, QStringList> rows[] = {
            // lines after the request
            { 200, CheckServer::split(frames({ kInfo, CheckServer::serverInfo("第二步"), kPass }), { 1, 6 }),
                { "Checking 1 file", "第二步", "RESULT:pass", kPassed } },
            { 200, { frames({ kPass, kFail }) }, { "RESULT:pass", "RESULT:fail 1", kFailed } },
            { 200, { frames({ kInfo }) }, { "Checking 1 file", kFailed } },
            { 200,
                { frames({ "", R"({"IdentificationStr":"serverinfo","Message":"x"})", "not json", kPass }) },
                { "RESULT:pass", kPassed } },
            { 200, { frames({ kPass }) + "\x01\x02\x03" }, { "RESULT:pass", kPassed } }, // 1 to 3 bytes left
            { 502, { frames({ kPass }) }, { "[HttpError]", kFailed } },
            { 200, { negative, frames({ kPass }) },
                { "Checking 1 file",
                    red("Check reply is corrupt: negative frame length -5 at byte 78.</font>"), kFailed } },
            { 200, { frames({ kPass }) + CheckServer::lengthField(100) + "abc" },
                { "RESULT:pass", red("Check reply ended inside a frame: 3 of 100 bytes arrived.</font>"),
                    kFailed } },
            { 0, {}, { "[HttpError]Connection refused", kFailed } }, // the server is down
        };
        startIn(FilesState::ShelvedOnly);
        for (const auto& [status, pieces, expected] : rows) {
            standin::CheckReplyScript script;
            script.status = status;
            script.pieces = pieces;
            script.hang_after_pieces = !pieces.empty() && pieces[0] == negative; // the client ends it
            check_.setScript(script);
            if (status == 0)
                check_.stop();
            const QStringList lines = run(true).mid(2);
            ASSERT_EQ(lines.size(), expected.size()) << lines.join(" | ").toStdString();
            for (int i = 0; i < lines.size(); ++i)
                EXPECT_TRUE(lines[i].startsWith(expected[i])) << lines[i].toStdString();
            EXPECT_EQ(client_->getSubmitState(),
                lines.last() == kPassed ? SubmitState::PreCheckPassed : SubmitState::PreCheckFailed);
        }
    }

    TEST_F(ClientRunTest, PerforceFailureBeforeTheRequestLeavesTheRunStanding)
    {
        startIn(FilesState::OpenedOnly);
        depot_.injectFault("shelve", "No files to shelve.");
        ASSERT_TRUE(start(false));
        ASSERT_TRUE(waitFor([this] { return lines().size() >= 2; }));
        EXPECT_TRUE(lines()[1].startsWith(red("No files to shelve."))) << lines()[1].toStdString();
        EXPECT_EQ(client_->getSubmitState(), SubmitState::Submitting);
        EXPECT_TRUE(check_.requests().empty());
        EXPECT_FALSE(client_->claimRun(false));
    }

    // files state, passed, command, its fault (null: the server stalls), the error line.
    using FaultRow = std::tuple<int, bool, const char*, const char*, const char*>;
    class ClientFaultTest : public ClientRunTest, public ::testing::WithParamInterface<FaultRow> { };

    // A p4 failure or a stalled server while acting on the verdict is a submit error.
    TEST_P(ClientFaultTest, PerforceFailureAfterTheVerdictIsASubmitError)
    {
        const auto [files_state, pass, command, fault, error] = GetParam();
        if (!fault && kP4NetMaxWaitSeconds > 10)
            GTEST_SKIP() << "built with a network wait of " << kP4NetMaxWaitSeconds << " s";
        startIn(files_state);
        // Once the request is out, the run's own shelve has gone through.
        replyWith({ pass ? kPass : kFail }, [this, command = command, fault = fault] {
            fault ? depot_.injectFault(command, fault) : depot_.injectHang(command);
        });
        const QStringList lines = run(false);
        ASSERT_EQ(lines.size(), 6) << lines.join(" | ").toStdString();
        EXPECT_TRUE(lines[5].startsWith(red(error))) << lines[5].toStdString();
        EXPECT_EQ(client_->getSubmitState(), SubmitState::SubmitError);
        EXPECT_FALSE(client_->claimRun(false));
        EXPECT_TRUE(depot_.submitted().empty());
    }

    INSTANTIATE_TEST_SUITE_P(Faults, ClientFaultTest,
        ::testing::Values(FaultRow { FilesState::ShelvedOnly, true, "submit",
                              "Submit failed -- fix problems.", "Submit failed" },
            FaultRow { FilesState::OpenedOnly, false, "shelve", "No shelved files in changelist to delete.",
                "No shelved files" },
            FaultRow { FilesState::ShelvedOnly, true, "submit", nullptr,
                "Perforce client error:\n\tPartner exited unexpectedly. [p4 " }));

    TEST_F(ClientRunTest, OneReplyAtATimeAndTheWorkerIsJoinedWhileOneIsOpen)
    {
        startIn(FilesState::ShelvedOnly);
        replyWith({ kPass });
        ASSERT_TRUE(start(true));
        // As if something bypassed the claim: queued behind the first, it finds the reply open.
        submitClicked(true);
        ASSERT_TRUE(waitFor([this] { return finished(); }));
        EXPECT_EQ(check_.requests().size(), 1u);
        EXPECT_TRUE(lines().contains(red("A check is already running; the new request is ignored.</font>")));
        EXPECT_EQ(client_->getSubmitState(), SubmitState::PreCheckPassed);

        standin::CheckReplyScript never;
        never.never_answer = true;
        check_.setScript(never);
        ASSERT_TRUE(start(true));
        ASSERT_TRUE(waitFor([this] { return check_.requests().size() == 2; }));
        client_.reset(); // returns with the reply still open
    }

    // A shelf the client made is checked and submitted only while it holds what the workspace
    // holds: after an edit or a newly opened file, the run shelves again first.
    class ClientWorkspaceTest : public ClientRunTest, public ::testing::WithParamInterface<bool> { };

    TEST_P(ClientWorkspaceTest, ASubmitAfterAPassedPreCheckChecksTheWorkspaceAsItIsNow)
    {
        startIn(FilesState::OpenedOnly);
        replyWith({ kPass });
        run(true);
        if (GetParam()) {
            StandInFile joined = depot_.file("src/joined.c", 1);
            joined.change = "100";
            depot_.openInDefault({ joined });
        } else {
            depot_.writeLocalFile(depot_.file("src/opened.c"), "edited\n");
        }
        depot_.clearJournal();
        EXPECT_EQ(run(false).mid(0, 3), kShelving);
        EXPECT_EQ(fileCommands().front(), (Command { "shelve", "-r", "-c", "100" }));
        EXPECT_EQ(depot_.submitted().at(0).files.size(), GetParam() ? 2u : 1u);
    }

    INSTANTIATE_TEST_SUITE_P(Edits, ClientWorkspaceTest, ::testing::Bool());

    // An edit made while the check runs is not what was checked: nothing is reverted or
    // submitted, and the next run checks the edit.
    TEST_F(ClientRunTest, AnEditDuringTheCheckIsNeverReverted)
    {
        startIn(FilesState::OpenedOnly);
        const StandInFile file = depot_.file("src/opened.c");
        replyWith({ kPass }, [this, file] { depot_.writeLocalFile(file, "edited while checking\n"); });
        const QString edited
            = "Shelve后以下文件已被修改,未还原也未提交: " + QString::fromStdString(file.local_path);
        EXPECT_EQ(run(false),
            kShelving + QStringList({ "RESULT:pass", kPassed, red(edited + "</font>"), "[4]" + kAgain }));
        EXPECT_EQ(fileCommands(), (Commands { kShelve, kUnshelve }));
        EXPECT_EQ(depot_.opened("100").size(), 1u);
        replyWith({ kPass });
        EXPECT_EQ(run(false).mid(0, 2), kShelving.mid(0, 2));
        EXPECT_EQ(client_->getSubmitState(), SubmitState::Submitted);
    }

    // The window's shelve waits while the worker deletes the shelf, then shelves again: it
    // never takes a shelf that is about to go for one that stays.
    TEST_F(ClientRunTest, TheWindowsShelveNeverSeesAShelfThatIsGoing)
    {
        startIn(FilesState::OpenedOnly);
        replyWith({ kFail }, [this] { depot_.injectDelay("shelve", 800); });
        ASSERT_TRUE(start(true));
        ASSERT_TRUE(waitFor([this] { return ran(kUnshelve); }));
        client_->shelveFiles(); // as the create-review button does, while the deletion runs
        ASSERT_TRUE(waitFor([this] { return finished(); }));
        EXPECT_EQ(client_->getSubmitState(), SubmitState::PreCheckFailed);
        EXPECT_TRUE(lines().contains("Shelve Changelist [100] Completed."));
        EXPECT_EQ(depot_.shelved(100).size(), 1u);
    }

} // namespace
} // namespace velmora::testing
