// The client's start-up and validation, and whole check runs on the worker thread: lines,
// results, final states and the Perforce commands, against the stand-ins.
#include "client_fixture.h"

#include "korvath/p4_limits.h"
#include "modules/tag_module.h"

#include <stdexcept>

namespace velmora::testing {
namespace {

    using namespace SubmitState;
    using namespace FilesState;
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

    using ClientRunTest = ClientFixture;

    // files state, pre-check, passed, the lines after the verdict, the final state, the
    // file commands but the sync after a submit.
    using VerdictRow = std::tuple<int, bool, bool, QStringList, int, Commands>;
    class ClientVerdictTest : public ClientRunTest, public ::testing::WithParamInterface<VerdictRow> { };

    TEST_P(ClientVerdictTest, LinesStateAndPerforceCommands)
    {
        const auto& [files_state, pre_check, pass, tail, final_state, expected] = GetParam();
        startIn(files_state);
        replyWith({ kInfo, pass ? kPass : kFail });
        const QStringList ends { "Checking 1 file", pass ? "RESULT:pass" : "RESULT:fail 1",
            pass ? kPassed : kFailed };
        EXPECT_EQ(run(pre_check), (files_state == OpenedOnly ? kShelving : kShelved) + ends + tail);
        EXPECT_EQ(client_->getSubmitState(), final_state);
        Commands commands = fileCommands();
        const bool submitted = final_state == Submitted;
        if (submitted) {
            EXPECT_EQ(commands.back().at(1), "-f"); // sync -f of the submitted files
            commands.pop_back();
        }
        EXPECT_EQ(commands, expected);
    }

    INSTANTIATE_TEST_SUITE_P(AllRoads, ClientVerdictTest,
        ::testing::Values(VerdictRow { OpenedOnly, true, false, {}, PreCheckFailed, { kShelve, kUnshelve } },
            VerdictRow { OpenedOnly, false, true,
                { "[4]Revert Changelist 100", "[5]Submitting Pending Changelist 100", "[6]" + kSync.arg(100),
                    "[7]" + kDone },
                Submitted, { kShelve, kRevert, kSubmit } },
            VerdictRow {
                OpenedOnly, false, false, { "[4]" + kAgain }, SubmitCheckFailed, { kShelve, kUnshelve } },
            VerdictRow { ShelvedOnly, true, false, {}, PreCheckFailed, {} },
            VerdictRow { ShelvedOnly, false, true,
                { "[3]Submitting Pending Changelist 100", "[4]" + kSync.arg(100), "[5]" + kDone }, Submitted,
                { kSubmit } },
            // The opened files move to a new change, and the submit renames the shelved one.
            VerdictRow { OpenedAndShelved, false, true,
                { "[3]Create Changelist.Move Opened Files From [100] To [101]",
                    "[4]Submitting Pending Changelist 100", "[5]" + kSync.arg(102), "[6]" + kDone },
                Submitted, { { "reopen", "-c", "101", "//streams/main/src/opened.c" }, kSubmit } },
            VerdictRow { ShelvedOnly, false, false, { "[3]" + kAgain }, SubmitCheckFailed, {} }));

    // The window hands over " " when there is neither tag nor text: p4 refuses a blank
    // description, so it is not saved.
    TEST_F(ClientRunTest, BlankDescriptionIsNotSaved)
    {
        startIn(OpenedOnly);
        client_->setDescription(" \n\t");
        replyWith({ kFail });
        EXPECT_EQ(run(false),
            (QStringList {
                "[1]Shelve Changelist 100", "[2]" + kRequest, "RESULT:fail 1", kFailed, "[3]" + kAgain }));
        EXPECT_EQ(depot_.description(100), "[feature] add button\n");
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
            { 200, { frames({ kInfo }) }, { "Checking 1 file", kFailed } }, // no verdict is a failure
            { 200,
                { frames(
                    { R"({"IdentificationStr":"CheckResultInfo","Cr":{"ErrorGroups":[1,{"Errs":[null]}]}})" }) },
                { "RESULT:fail 2", kFailed } }, // an element that is no object counts
            { 200,
                { frames({ R"({"IdentificationStr":"serverinfo","Message":"x"})", "not json", kPass })
                    + "\x01\x02\x03" },
                { "RESULT:pass", kPassed } }, // other kinds skipped; 1 to 3 bytes left over
            { 502, { frames({ kPass }) }, { "[HttpError]", kFailed } },
            { 200, { negative, frames({ kPass }) },
                { "Checking 1 file",
                    red("Check reply is corrupt: negative frame length -5 at byte 78.</font>"), kFailed } },
            { 200, { frames({ kPass }) + CheckServer::lengthField(100) + "abc" },
                { "RESULT:pass", red("Check reply ended inside a frame: 3 of 100 bytes arrived.</font>"),
                    kFailed } },
            { 0, {}, { "[HttpError]Connection refused", kFailed } }, // the server is down
        };
        startIn(ShelvedOnly);
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
            EXPECT_EQ(client_->getSubmitState(), lines.last() == kPassed ? PreCheckPassed : PreCheckFailed);
        }
    }

    // passed; once the request is out (after the run's own shelve) a command fails, stalls
    // (no fault) or the file is edited ("edit"); the error line ("$FILE": the file); the state.
    using AfterRow = std::tuple<bool, const char*, const char*, QString, int>;
    class ClientAfterTest : public ClientRunTest, public ::testing::WithParamInterface<AfterRow> { };

    // A p4 failure or a stalled server while acting on the verdict is a submit error, whose
    // line says why; an edit made while the check ran is neither reverted nor submitted.
    TEST_P(ClientAfterTest, WhatGoesWrongAfterTheVerdict)
    {
        const auto& [pass, command, fault, error, state] = GetParam();
        if (!fault && kP4NetMaxWaitSeconds > 10)
            GTEST_SKIP() << "built with a network wait of " << kP4NetMaxWaitSeconds << " s";
        startIn(OpenedOnly);
        const StandInFile file = depot_.file("src/opened.c");
        replyWith({ pass ? kPass : kFail }, [this, file, command = std::string(command), fault = fault] {
            command == "edit" ? depot_.writeLocalFile(file, "edited\n")
                : fault       ? depot_.injectFault(command, fault)
                              : depot_.injectHang(command);
        });
        const QStringList lines = run(false);
        ASSERT_GE(lines.size(), 6) << lines.join(" | ").toStdString();
        const QString said = lines[lines.size() - (state == SubmitError ? 1 : 2)]; // else "again" follows
        EXPECT_TRUE(said.startsWith(red(QString(error).replace("$FILE", file.local_path.c_str()))))
            << said.toStdString();
        EXPECT_EQ(client_->getSubmitState(), state);
        EXPECT_TRUE(depot_.submitted().empty());
    }

    INSTANTIATE_TEST_SUITE_P(Faults, ClientAfterTest,
        ::testing::Values(AfterRow { false, "shelve", "No shelved files in changelist to delete.",
                              "No shelved files", SubmitError },
            AfterRow { true, "edit", "", "Shelve后以下文件已被修改,未还原也未提交: $FILE</font>",
                SubmitCheckFailed },
            AfterRow { true, "submit", nullptr, "Perforce client error:\n\tPartner exited unexpectedly. [p4 ",
                SubmitError }));

    TEST_F(ClientRunTest, OneReplyAtATimeAndTheWorkerIsJoinedWhileOneIsOpen)
    {
        startIn(ShelvedOnly);
        replyWith({ kPass });
        ASSERT_TRUE(start(true));
        // As if something bypassed the claim: queued behind the first, it finds the reply open.
        submitClicked(true);
        ASSERT_TRUE(waitUntil([this] { return finished(); }));
        EXPECT_EQ(check_.requests().size(), 1u);
        EXPECT_TRUE(lines().contains(red("A check is already running; the new request is ignored.</font>")));

        standin::CheckReplyScript never;
        never.never_answer = true;
        check_.setScript(never);
        ASSERT_TRUE(start(true));
        ASSERT_TRUE(waitUntil([this] { return check_.requests().size() == 2; }));
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
    // starts empty; the window's shelve shelves it once.
    TEST_F(ClientRunTest, AFileListGoesIntoANewChange)
    {
        depot_.setNextChange(300);
        const StandInFile a = depot_.file("src/a b.c", 2), b = depot_.file("src/中文@1.c", 1);
        depot_.openInDefault({ a, b });
        startClient("", { QString::fromStdString(a.local_path), QString::fromStdString(b.local_path) });
        EXPECT_EQ(depot_.opened("300").size(), 2u);
        EXPECT_TRUE(client_->getDescription().isEmpty());
        client_->shelveFiles();
        client_->shelveFiles();
        EXPECT_EQ(lines(), QStringList { "Shelve Changelist [300] Completed." });
        EXPECT_EQ(depot_.shelved(300).size(), 2u);
    }

    // Start-up ends with the message and leaves nothing behind: the change made for the file
    // list is taken away again.
    TEST_F(ClientRunTest, NothingToWorkOnEndsStartUp)
    {
        const StandInFile opened = depot_.file("l/a.c", 1);
        const QString not_opened = QString::fromStdString(depot_.root() + "/l/b.c");
        depot_.openInDefault({ opened });
        depot_.setNextChange(600);
        try {
            P4VSubmitClient client(
                input("", { QString::fromStdString(opened.local_path), not_opened }), false);
            ADD_FAILURE() << "start-up went on";
        } catch (const std::runtime_error& e) {
            EXPECT_EQ(e.what(),
                "在工作区" + depot_.client() + "中未找到Opened文件:\n" + not_opened.toStdString()
                    + " - file(s) not opened on this client.");
        }
        EXPECT_FALSE(depot_.hasChange(600));
        EXPECT_EQ(depot_.opened("default").size(), 1u);
        EXPECT_TRUE(fileCommands().empty());
    }

    // The text, then the tags, then the review server.
    TEST_F(ClientRunTest, ValidateChecksTextThenTagsThenReview)
    {
        startClient(QString::number(depot_.addPendingChange("[feature] x", { depot_.file("v.c", 1) })));
        const std::tuple<QString, bool, bool, QString> rows[] = {
            { "[feature]   \n ", false, false, "描述信息不能为空." },
            { "plain text", false, false, "需要选中相关TAGS标签" },
            { "[feature] text", true, false, "需要通过Swarm审核" },
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
