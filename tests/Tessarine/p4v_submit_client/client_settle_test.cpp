// Construction, validation and the window's shelve against the stand-in depot.
#include "client_fixture.h"

#include "modules/tag_module.h"

#include <stdexcept>

namespace velmora::testing {
namespace {

    using ClientSettleTest = ClientFixture;

    // A file list or the default changelist (in any case) goes into a new change, whose
    // editor starts empty; the window's shelve shelves it once.
    TEST_F(ClientSettleTest, FileListAndDefaultGoIntoANewChange)
    {
        int change = 300;
        depot_.setNextChange(change);
        for (const QString typed : { "", "Default", "DEFAULT" }) {
            SCOPED_TRACE(typed.toStdString());
            const StandInFile a = depot_.file("src/" + std::to_string(change) + "/a b.c", 2);
            const StandInFile b = depot_.file("src/" + std::to_string(change) + "/中文@1.c", 1);
            depot_.openInDefault({ a, b });
            depot_.clearJournal();
            const QList<QString> files { QString::fromStdString(a.local_path),
                QString::fromStdString(b.local_path) };
            startClient(typed, typed.isEmpty() ? files : QList<QString> {});
            const std::string number = std::to_string(change++);
            std::string escaped = b.local_path; // p4 takes @ # % * in file arguments as %40 %23 %25 %2A
            escaped.replace(escaped.find('@'), 1, "%40");
            if (typed.isEmpty())
                EXPECT_TRUE(ran({ "reopen", "-c", number, a.local_path, escaped }));
            else
                EXPECT_TRUE(ran({ "opened", "-c", typed.toStdString() }));
            EXPECT_EQ(depot_.opened(number).size(), 2u);
            EXPECT_TRUE(depot_.opened("default").empty());
            QString reason;
            EXPECT_TRUE(client_->getDescription().isEmpty());
            EXPECT_FALSE(client_->validate(&reason));
            EXPECT_EQ(reason, "描述信息不能为空.");
            clear();
            client_->shelveFiles();
            client_->shelveFiles();
            EXPECT_EQ(
                lines(), QStringList { QString("Shelve Changelist [%1] Completed.").arg(number.c_str()) });
            EXPECT_EQ(depot_.shelved(std::stoi(number)).size(), 2u);
        }
    }

    // Start-up ends with the message and leaves nothing behind: a change made for a file
    // list is taken away again.
    TEST_F(ClientSettleTest, NothingToWorkOnEndsStartUp)
    {
        const int empty_change = depot_.addPendingChange("nothing here", {});
        const StandInFile opened = depot_.file("l/a.c", 1);
        const QString not_opened = QString::fromStdString(depot_.root() + "/l/b.c");
        const std::pair<P4VInputInfo, std::string> rows[] = {
            { input("Default"), "在Default中未找到Opened文件" },
            { input(QString::number(empty_change)),
                "在" + std::to_string(empty_change) + "中未找到Opened文件或Shelved文件" },
            { input("", { QString::fromStdString(opened.local_path), not_opened }),
                "在工作区" + depot_.client() + "中未找到Opened文件:\n" + not_opened.toStdString()
                    + " - file(s) not opened on this client." },
        };
        depot_.setNextChange(600);
        for (const auto& [info, message] : rows) {
            if (info.change_id.isEmpty())
                depot_.openInDefault({ opened });
            SCOPED_TRACE(message);
            try {
                P4VSubmitClient client(info, false);
                ADD_FAILURE() << "start-up went on";
            } catch (const std::runtime_error& e) {
                EXPECT_EQ(e.what(), message);
            }
        }
        EXPECT_FALSE(depot_.hasChange(600));
        EXPECT_EQ(depot_.opened("default").size(), 1u);
        EXPECT_TRUE(fileCommands().empty());
        const P4VInputInfo info = input("default");
        depot_.setPort("elsewhere:1666");
        EXPECT_THROW(P4VSubmitClient(info, false), std::exception);
    }

    // A change with a shelf of its own is checked as it stands: the window never shelves it.
    TEST_F(ClientSettleTest, NumberedChangeSettlesByItsFiles)
    {
        const int opened = depot_.addPendingChange("opened", { depot_.file("o.c", 1) });
        const int shelved = depot_.addPendingChange("shelved", {}, { depot_.file("s.c", 1) });
        const int both
            = depot_.addPendingChange("both", { depot_.file("b1.c", 1) }, { depot_.file("b2.c", 1) });
        for (int change : { opened, shelved, both }) {
            P4VSubmitClient client(input(QString::number(change)), false);
            depot_.clearJournal();
            client.shelveFiles();
            EXPECT_EQ(fileCommands().size(), change == opened ? 1u : 0u) << change;
        }
    }

    TEST_F(ClientSettleTest, ValidateChecksTextThenTagsThenReview)
    {
        startClient(QString::number(depot_.addPendingChange("[feature] x", { depot_.file("v.c", 1) })));
        EXPECT_TRUE(client_->getTagModule()->getTag("feature"));
        struct Row {
            QString description;
            bool tag;
            bool review;
            QString reason;
        };
        const Row rows[] = {
            { "[feature]", true, true, "描述信息不能为空." },
            { "[feature]   \n ", true, true, "描述信息不能为空." },
            { "plain text", false, false, "需要选中相关TAGS标签" },
            { "[feature] text", true, false, "需要通过Swarm审核" },
            { "[feature] text", true, true, "" },
        };
        for (const Row& row : rows) {
            SCOPED_TRACE(row.description.toStdString());
            client_->getTagModule()->setTag("feature", row.tag);
            reviews_.setCheckResult(100, row.review);
            reviews_.clearRequests();
            client_->setDescription(row.description);
            QString reason = "untouched";
            EXPECT_EQ(client_->validate(&reason), row.reason.isEmpty());
            EXPECT_EQ(reason, row.reason.isEmpty() ? "untouched" : row.reason);
            EXPECT_EQ(client_->validate(nullptr), row.reason.isEmpty());
            // The review server is asked only once the text and the tags pass.
            EXPECT_EQ(reviews_.requests().empty(), !row.tag || row.reason == "描述信息不能为空.");
        }
    }

} // namespace
} // namespace velmora::testing
