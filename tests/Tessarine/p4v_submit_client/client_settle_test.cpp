// Construction, validation and shelving of the client against the stand-in depot.
#include "client_fixture.h"

#include "korvath/repository.h"
#include "modules/swarm_module.h"
#include "modules/tag_module.h"

#include <QSignalSpy>

#include <stdexcept>

namespace velmora::testing {
namespace {

    using Commands = std::vector<std::vector<std::string>>;

    class ClientSettleTest : public ClientFixture {
    protected:
        // Constructs without initialising and shelves once, which tells whether
        // the client saw an existing shelf.
        QStringList shelveLines(P4VSubmitClient& client)
        {
            SignalRecorder recorder(&client);
            client.shelveFiles();
            QCoreApplication::processEvents();
            return recorder.lines();
        }
    };

    TEST_F(ClientSettleTest, FileListGoesIntoANewChangelist)
    {
        const StandInFile a = depot_.file("src/a b.c", 2);
        const StandInFile b = depot_.file(u8"src/中文@1.c", 1);
        depot_.openInDefault({ a, b });
        depot_.setNextChange(300);
        depot_.clearJournal();

        P4VSubmitClient client(
            input("", { QString::fromStdString(a.local_path), QString::fromStdString(b.local_path) }), false);
        ASSERT_EQ(depot_.opened("300").size(), 2u);
        EXPECT_TRUE(depot_.opened("default").empty());
        // p4 takes @ # % * in file arguments written as %40 %23 %25 %2A.
        const Commands reopen { { "reopen", "-c", "300", a.local_path, depot_.root() + "/src/中文%401.c" } };
        EXPECT_EQ(fileCommands().front(), reopen.front());
        // Opened only and not shelved yet: the client shelves on request.
        EXPECT_EQ(shelveLines(client), QStringList { "Shelve Changelist [300] Completed." });
        EXPECT_EQ(depot_.shelved(300).size(), 2u);
    }

    TEST_F(ClientSettleTest, DefaultInAnyCaseMovesTheOpenedFilesAsTyped)
    {
        for (const char* typed : { "default", "Default", "DEFAULT" }) {
            SCOPED_TRACE(typed);
            const StandInFile file = depot_.file(std::string("src/") + typed + ".c", 4);
            depot_.openInDefault({ file });
            depot_.clearJournal();
            P4VSubmitClient client(input(typed), false);
            const auto commands = depot_.commands();
            ASSERT_FALSE(commands.empty());
            bool asked_as_typed = false;
            for (const auto& command : commands)
                asked_as_typed |= command == std::vector<std::string> { "opened", "-c", typed };
            EXPECT_TRUE(asked_as_typed);
            EXPECT_TRUE(depot_.opened("default").empty());
            const auto reopens = fileCommands();
            ASSERT_EQ(reopens.size(), 1u);
            EXPECT_EQ(reopens[0][0], "reopen");
            EXPECT_EQ(reopens[0].back(), file.depot_path);
            EXPECT_EQ(depot_.opened(reopens[0][2]).size(), 1u);
        }
    }

    TEST_F(ClientSettleTest, NoFilesEndsStartUpWithTheMessage)
    {
        struct Case {
            QString change_id;
            std::string message;
        };
        const int empty_change = depot_.addPendingChange("nothing here", {});
        for (const Case& c : { Case { "Default", "在Default中未找到Opened文件" },
                 Case { QString::number(empty_change),
                     "在" + std::to_string(empty_change) + "中未找到Opened文件或Shelved文件" } }) {
            depot_.clearJournal();
            try {
                P4VSubmitClient client(input(c.change_id), false);
                ADD_FAILURE() << "no exception for " << c.change_id.toStdString();
            } catch (const std::runtime_error& e) {
                EXPECT_EQ(std::string(e.what()), c.message);
            }
            for (const auto& command : depot_.commands())
                EXPECT_NE(command[0], "change") << "no changelist may be created";
        }
    }

    // A change the client creates carries a description a server takes, yet the editor starts
    // empty: a submit waits for the user's own text, and only that text is submitted.
    TEST_F(ClientSettleTest, ACreatedChangeStartsWithAnEmptyEditor)
    {
        for (const bool from_files : { true, false }) {
            SCOPED_TRACE(from_files ? "file list" : "default");
            const int change = from_files ? 400 : 500;
            const StandInFile file = depot_.file("created/" + std::to_string(change) + ".c", 1);
            depot_.openInDefault({ file });
            depot_.setNextChange(change);
            P4VSubmitClient& client = from_files
                ? startClient("", { QString::fromStdString(file.local_path) })
                : startClient("default");
            EXPECT_EQ(depot_.description(change), std::string(kNewChangeDescription) + "\n");
            EXPECT_EQ(depot_.opened(std::to_string(change)).size(), 1u);
            EXPECT_TRUE(client.getDescription().isEmpty());
            QString reason;
            EXPECT_FALSE(client.validate(&reason));
            EXPECT_EQ(reason, "描述信息不能为空.");

            client.setDescription("[feature] 真正的描述");
            client.getTagModule()->setTag("feature", true);
            reviews_.setCheckResult(change, true);
            EXPECT_TRUE(client.validate(nullptr));
            replyWith({ standin::CheckServer::checkResult(true) });
            run(false);
            ASSERT_EQ(client.getSubmitState(), SubmitState::Submitted);
            std::string submitted;
            for (const StandInSubmitted& entry : depot_.submitted())
                if (entry.submitted_from == change)
                    submitted = entry.description;
            EXPECT_EQ(submitted, "[feature] 真正的描述\n");
        }
    }

    struct NotOpenedCase {
        const char* name;
        std::vector<std::string> opened; // below the workspace root
        std::vector<std::string> named;
        std::vector<std::string> missing;
    };

    // Files of the list that are not opened end start-up naming them, and the change made for
    // the list is taken away again: nothing is left behind.
    TEST_F(ClientSettleTest, AFileListWithFilesNotOpenedEndsStartUp)
    {
        const std::vector<NotOpenedCase> cases {
            { "one of two", { "l/a.c" }, { "l/a.c", "l/b.c" }, { "l/b.c" } },
            { "none opened", {}, { "m/a.c", "m/b.c" }, { "m/a.c", "m/b.c" } },
        };
        int change = 600;
        for (const NotOpenedCase& c : cases) {
            SCOPED_TRACE(c.name);
            std::vector<StandInFile> opened;
            for (const std::string& name : c.opened)
                opened.push_back(depot_.file(name, 1));
            depot_.openInDefault(opened);
            const size_t in_default = depot_.opened("default").size();
            QList<QString> named;
            for (const std::string& name : c.named)
                named << QString::fromStdString(depot_.root() + "/" + name);
            std::string expected = "在工作区" + depot_.client() + "中未找到Opened文件:";
            for (const std::string& name : c.missing)
                expected += "\n" + depot_.root() + "/" + name + " - file(s) not opened on this client.";
            depot_.setNextChange(++change);
            depot_.clearJournal();
            try {
                P4VSubmitClient client(input("", named), false);
                ADD_FAILURE() << "start-up went on";
            } catch (const std::runtime_error& e) {
                EXPECT_EQ(std::string(e.what()), expected);
            }
            EXPECT_FALSE(depot_.hasChange(change));
            EXPECT_EQ(depot_.opened("default").size(), in_default);
            EXPECT_EQ(depot_.commands().back(),
                (std::vector<std::string> { "change", "-d", std::to_string(change) }));
            EXPECT_TRUE(fileCommands().empty()) << "nothing reopened";
        }
    }

    TEST_F(ClientSettleTest, NumberedChangelistSettlesByItsFiles)
    {
        const int opened_only = depot_.addPendingChange("opened", { depot_.file("o.c", 1) });
        const int shelved_only = depot_.addPendingChange("shelved", {}, { depot_.file("s.c", 1) });
        const int both
            = depot_.addPendingChange("both", { depot_.file("b1.c", 1) }, { depot_.file("b2.c", 1) });

        P4VSubmitClient first(input(QString::number(opened_only)), false);
        EXPECT_EQ(shelveLines(first),
            QStringList { QString("Shelve Changelist [%1] Completed.").arg(opened_only) });

        for (int change : { shelved_only, both }) {
            depot_.clearJournal();
            P4VSubmitClient client(input(QString::number(change)), false);
            // A shelf that exists is what gets checked and submitted: never shelved again.
            EXPECT_TRUE(shelveLines(client).isEmpty());
            EXPECT_TRUE(fileCommands().empty());
        }
    }

    TEST_F(ClientSettleTest, ShelveFilesTwiceShelvesOnce)
    {
        const int change = depot_.addPendingChange("twice", { depot_.file("t.c", 1) });
        P4VSubmitClient client(input(QString::number(change)), false);
        depot_.clearJournal();
        EXPECT_EQ(shelveLines(client).size(), 1);
        EXPECT_TRUE(shelveLines(client).isEmpty());
        EXPECT_EQ(fileCommands(), (Commands { { "shelve", "-c", std::to_string(change) } }));
    }

    TEST_F(ClientSettleTest, PerforceFailureReachesTheCaller)
    {
        depot_.setPort("elsewhere:1666");
        P4VInputInfo info = input("default");
        info.server_addr = "localhost:1666";
        EXPECT_THROW(P4VSubmitClient(info, false), std::exception);
    }

    TEST_F(ClientSettleTest, ValidateChecksTextThenTagsThenReview)
    {
        const int change = depot_.addPendingChange("[feature] add button", { depot_.file("v.c", 1) });
        P4VSubmitClient& client = startClient(QString::number(change));
        EXPECT_TRUE(client.getTagModule()->getTag("feature"));

        struct Case {
            QString description;
            bool select_tag;
            bool review_passed;
            QString reason;
        };
        const QList<Case> cases {
            { "[feature]", true, true, "描述信息不能为空." },
            { "[feature]   \n ", true, true, "描述信息不能为空." },
            { "", true, true, "描述信息不能为空." },
            { "plain text", false, true, "需要选中相关TAGS标签" },
            { "[feature] text", true, false, "需要通过Swarm审核" },
            { "[feature] text", true, true, "" },
        };
        for (const Case& c : cases) {
            SCOPED_TRACE(c.description.toStdString());
            client.getTagModule()->setTag("feature", c.select_tag);
            reviews_.setCheckResult(change, c.review_passed);
            client.setDescription(c.description);
            QString reason = "untouched";
            EXPECT_EQ(client.validate(&reason), c.reason.isEmpty());
            EXPECT_EQ(reason, c.reason.isEmpty() ? QString("untouched") : c.reason);
            EXPECT_EQ(client.validate(nullptr), c.reason.isEmpty());
        }
    }

    TEST_F(ClientSettleTest, ReviewIsAskedOnlyWhenTextAndTagsPass)
    {
        const int change = depot_.addPendingChange("[fix] x", { depot_.file("r.c", 1) });
        P4VSubmitClient& client = startClient(QString::number(change));
        reviews_.clearRequests();
        client.setDescription("[fix]");
        client.validate(nullptr);
        EXPECT_TRUE(reviews_.requests().empty());
        client.setDescription("[fix] text");
        client.validate(nullptr);
        EXPECT_FALSE(reviews_.requests().empty());
    }

    TEST_F(ClientSettleTest, ClaimRunAdmitsOneRunAtATime)
    {
        const int change = depot_.addPendingChange("[fix] x", { depot_.file("c.c", 1) });
        P4VSubmitClient client(input(QString::number(change)), false);
        EXPECT_TRUE(client.claimRun(true));
        EXPECT_EQ(client.getSubmitState(), SubmitState::PreChecking);
        EXPECT_FALSE(client.claimRun(true));
        EXPECT_FALSE(client.claimRun(false));
    }

    TEST_F(ClientSettleTest, DestroyingDuringAnOpenCheckJoinsTheWorker)
    {
        const int change = depot_.addPendingChange("[fix] hang", { depot_.file("h.c", 1) });
        standin::CheckReplyScript script;
        script.never_answer = true;
        check_.setScript(script);
        startClient(QString::number(change));
        ASSERT_TRUE(trigger_->start(true));
        ASSERT_TRUE(waitFor([this] { return !check_.requests().empty(); }));
        // Must return: the worker is quit and joined while the reply is still open.
        client_.reset();
        EXPECT_EQ(check_.requests().size(), 1u);
    }

} // namespace
} // namespace velmora::testing
