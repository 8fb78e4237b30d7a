// The client's start-up and validation, and whole check runs on the worker thread: lines,
// results, final states and the Perforce commands, against the stand-ins.
#include "client_fixture.h"

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

    // Each line starts with its expected text, "$ROOT" standing for the workspace root.
    void expectLines(const QStringList& lines, const QStringList& expected, const std::string& root = "")
    {
        ASSERT_EQ(lines.size(), expected.size()) << lines.join(" | ").toStdString();
        for (int i = 0; i < lines.size(); ++i)
            EXPECT_TRUE(
                lines[i].startsWith(QString(expected[i]).replace("$ROOT", QString::fromStdString(root))))
                << lines[i].toStdString();
    }

    using ClientRunTest = ClientFixture;

    // A submit: files state, passed, what happens once the request is out (the file is
    // edited, or the named p4 error hits the next shelve), the lines after the request, the
    // final state, the file commands but the sync after a submit.
    using VerdictRow = std::tuple<int, bool, const char*, QStringList, int, Commands>;
    class ClientVerdictTest : public ClientRunTest, public ::testing::WithParamInterface<VerdictRow> { };

    // An edit made while the check ran is neither reverted nor submitted; a p4 failure while
    // acting on the verdict is a submit error.
    TEST_P(ClientVerdictTest, LinesStateAndPerforceCommands)
    {
        const auto& [files_state, pass, during, tail, final_state, expected] = GetParam();
        startIn(files_state);
        replyWith({ kInfo, pass ? kPass : kFail }, [this, during = std::string(during)] {
            if (during == "edit")
                depot_.writeLocalFile(depot_.file("src/opened.c"), "edited\n");
            else if (!during.empty())
                depot_.injectFault("shelve", during);
        });
        const QStringList ends { "Checking 1 file", pass ? "RESULT:pass" : "RESULT:fail 1",
            pass ? kPassed : kFailed };
        expectLines(
            run(false), (files_state == OpenedOnly ? kShelving : kShelved) + ends + tail, depot_.root());
        EXPECT_EQ(client_->getSubmitState(), final_state);
        Commands commands = fileCommands();
        if (final_state == Submitted) {
            EXPECT_EQ(commands.back().at(1), "-f"); // sync -f of the submitted files
            commands.pop_back();
        }
        EXPECT_EQ(commands, expected);
    }

    INSTANTIATE_TEST_SUITE_P(AllRoads, ClientVerdictTest,
        ::testing::Values(VerdictRow { OpenedOnly, true, "",
                              { "[4]Revert Changelist 100", "[5]Submitting Pending Changelist 100",
                                  "[6]" + kSync.arg(100), "[7]" + kDone },
                              Submitted, { kShelve, kRevert, kSubmit } },
            VerdictRow {
                OpenedOnly, false, "", { "[4]" + kAgain }, SubmitCheckFailed, { kShelve, kUnshelve } },
            // The opened files move to a new change, and the submit renames the shelved one.
            VerdictRow { OpenedAndShelved, true, "",
                { "[3]Create Changelist.Move Opened Files From [100] To [101]",
                    "[4]Submitting Pending Changelist 100", "[5]" + kSync.arg(102), "[6]" + kDone },
                Submitted, { { "reopen", "-c", "101", "//streams/main/src/opened.c" }, kSubmit } },
            VerdictRow { ShelvedOnly, false, "", { "[3]" + kAgain }, SubmitCheckFailed, {} },
            VerdictRow { OpenedOnly, true, "edit",
                { red("Shelve后以下文件已被修改,未还原也未提交: $ROOT/src/opened.c</font>"), "[4]" + kAgain },
                SubmitCheckFailed, { kShelve, kUnshelve } },
            VerdictRow { OpenedOnly, false, "No shelved files in changelist to delete.",
                { red("No shelved files") }, SubmitError, { kShelve, kUnshelve } }));

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
            { 200, { frames({ kPass }) + CheckServer::lengthField(100) + "abc" },
                { "RESULT:pass", red("Check reply ended inside a frame: 3 of 100 bytes arrived.</font>"),
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

    // A failed start-up leaves nothing behind: the change made for the file list is taken
    // away again.
    TEST_F(ClientRunTest, NothingToWorkOnEndsStartUp)
    {
        const StandInFile opened = depot_.file("l/a.c", 1);
        const QString not_opened = QString::fromStdString(depot_.root() + "/l/b.c");
        depot_.openInDefault({ opened });
        depot_.setNextChange(600);
        EXPECT_THROW(
            P4VSubmitClient(input("", { QString::fromStdString(opened.local_path), not_opened }), false),
            std::runtime_error);
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
