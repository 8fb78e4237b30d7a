// Construction, validation and the window's shelve against the stand-in depot.
#include "client_fixture.h"

#include "modules/tag_module.h"

#include <stdexcept>

namespace velmora::testing {
namespace {

    using ClientSettleTest = ClientFixture;

    // A file list (names with @ go to p4 escaped) or the default changelist in any case goes
    // into a new change, whose editor starts empty; the window's shelve shelves it once.
    TEST_F(ClientSettleTest, FileListAndDefaultGoIntoANewChange)
    {
        int change = 300;
        depot_.setNextChange(change);
        for (const QString typed : { "", "DEFAULT" }) {
            const StandInFile a = depot_.file("src/" + std::to_string(change) + "/a b.c", 2);
            const StandInFile b = depot_.file("src/" + std::to_string(change) + "/中文@1.c", 1);
            depot_.openInDefault({ a, b });
            const QList<QString> files { QString::fromStdString(a.local_path),
                QString::fromStdString(b.local_path) };
            startClient(typed, typed.isEmpty() ? files : QList<QString> {});
            const std::string number = std::to_string(change++);
            EXPECT_EQ(depot_.opened(number).size(), 2u);
            EXPECT_TRUE(client_->getDescription().isEmpty());
            client_->shelveFiles();
            client_->shelveFiles();
            EXPECT_EQ(lines_.count(QString("Shelve Changelist [%1] Completed.").arg(number.c_str())), 1);
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
    }

    // The text, then the tags, then the review server.
    TEST_F(ClientSettleTest, ValidateChecksTextThenTagsThenReview)
    {
        startClient(QString::number(depot_.addPendingChange("[feature] x", { depot_.file("v.c", 1) })));
        EXPECT_TRUE(client_->getTagModule()->getTag("feature"));
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
