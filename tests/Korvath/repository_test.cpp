#include "korvath/p4_limits.h"
#include "korvath/repository.h"
#include "standin_depot.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

namespace velmora {
namespace {

    using Args = std::vector<std::string>;
    using ::testing::AllOf;
    using ::testing::HasSubstr;
    using ::testing::StartsWith;
    using ::testing::ThrowsMessage;

    const std::string kMaxWait = "-vnet.maxwait=" + std::to_string(kP4NetMaxWaitSeconds);
    // The global options as an error shows them.
    const std::string kGlobals = "p4 -p localhost:1666 -u tester -c tester-ws " + kMaxWait;

    Args depotPaths(const std::vector<FileSpec>& files)
    {
        Args paths;
        for (const FileSpec& file : files)
            paths.push_back(file.GetDepotPath().GetPath());
        return paths;
    }

    std::string inStream(const std::string& relative) { return "//streams/main/" + relative; }
    FileSpec at(const std::string& relative, int rev) { return FileSpec(DepotPath(inStream(relative)), rev); }

    // A Repository on a fresh stand-in depot, as the program builds it (no password).
    class RepositoryTest : public ::testing::Test {
    protected:
        StandInDepot depot_;
        Repository repo_ { depot_.port().c_str(), depot_.user().c_str(), "", depot_.client().c_str() };

        // Opens the files below the workspace root in the default changelist; their local paths.
        std::vector<LocalPath> openLocally(const Args& names)
        {
            std::vector<StandInFile> files;
            std::vector<LocalPath> locals;
            for (const std::string& name : names) {
                files.push_back(depot_.file(name, 1));
                locals.emplace_back(depot_.root() + "/" + name);
            }
            depot_.openInDefault(files);
            return locals;
        }
        std::string newChange() { return std::to_string(repo_.CreateChangelist().GetChangeId()); }
    };

    // What a run reads and shelves; deleting the shelf keeps the opened files.
    TEST_F(RepositoryTest, OpenedFilesChangeAndShelf)
    {
        EXPECT_TRUE(repo_.GetOpenedFiles({ "-c", "default" }).empty());
        depot_.openInDefault({ depot_.file("src/a.c", 3) });
        const int change = depot_.addPendingChange(
            "First line\nsecond line", { depot_.file("b.c", 7), depot_.file("c@1.c", 0, "add") });
        const std::string number = std::to_string(change);

        EXPECT_EQ(repo_.GetOpenedFiles({ "-c", "default" }),
            std::vector<FileSpec> { FileSpec(
                DepotPath(inStream("src/a.c")), ClientPath("//tester-ws/src/a.c"), LocalPath(""), 3) });
        const std::vector<FileSpec> files { at("b.c", 7), at("c%401.c", 0) };
        EXPECT_EQ(depotPaths(repo_.GetChangelist(change, false)), depotPaths(files));
        EXPECT_EQ(repo_.GetChangelist(change).GetDescription(), "First line\nsecond line");

        EXPECT_TRUE(repo_.GetChangelist(change, true).empty());
        EXPECT_EQ(repo_.ShelveFiles({ "-c", number }, {}), files);
        EXPECT_EQ(repo_.GetChangelist(change, true), files);
        repo_.ShelveFiles({ "-d", "", "-c", number }, {});
        EXPECT_TRUE(depot_.shelved(change).empty());
        EXPECT_EQ(depot_.opened(number).size(), 2u);
    }

    TEST_F(RepositoryTest, CreateSaveAndDeleteLeaveEveryOtherFileAlone)
    {
        depot_.openInDefault({ depot_.file("default.c", 1) });
        Changelist created = repo_.CreateChangelist();
        // A real description: a server refuses p4's own placeholder as it refuses none.
        EXPECT_EQ(created.GetDescription(), kNewChangeDescription);
        EXPECT_TRUE(depot_.opened(std::to_string(created.GetChangeId())).empty());
        repo_.DeleteChangelist(created.GetChangeId());
        EXPECT_FALSE(depot_.hasChange(created.GetChangeId()));

        const int change = depot_.addPendingChange("Old", { depot_.file("kept.c", 4) });
        // The text, and as p4 keeps it: no description line may become a field of the form.
        for (const auto& [text, stored] : std::vector<std::pair<std::string, std::string>> {
                 { "[功能] 修复\n第二行说明", "[功能] 修复\n第二行说明\n" },
                 { "T\n\n  x\nFiles:\n\t//streams/main/evil.c\nStatus: submitted\n#x",
                     "T\n\n  x\nFiles:\n\t//streams/main/evil.c\nStatus: submitted\n#x\n" },
                 { "a\r\nb", "a\nb\n" } }) {
            Changelist changelist = repo_.GetChangelist(change);
            changelist.SetDescription(text);
            Changelist saved = changelist.Save();
            EXPECT_EQ(depot_.description(change), stored);
            EXPECT_EQ(saved.GetDescription() + "\n", stored) << "read back as stored";
            EXPECT_EQ(depot_.opened(std::to_string(change)).at(0).depot_path, inStream("kept.c"));
            EXPECT_EQ(depot_.opened("default").size(), 1u);
        }
    }

    TEST_F(RepositoryTest, ReopenMovesAwkwardNamesWholeOrNothing)
    {
        const Args names { "dir with blanks/数据.xlsx", "odd/a@b#c%d*e.txt" };
        const std::string change = newChange();
        std::vector<FileSpec> reopened = repo_.ReopenFiles({ "-c", change }, openLocally(names));
        EXPECT_EQ(reopened.at(1).GetDepotPath().GetPath(), inStream("odd/a%40b%23c%25d%2Ae.txt"));
        EXPECT_EQ(depot_.opened(change).size(), names.size());
        // Back to the default changelist by depot path, as p4 returned them.
        EXPECT_EQ(depotPaths(repo_.ReopenFiles({ "-c", "default" }, reopened)), depotPaths(reopened));
        EXPECT_EQ(depot_.opened("default").size(), names.size());

        // Files that are not opened are found before anything moves.
        std::vector<LocalPath> named = openLocally({ "a.c" });
        named.emplace_back(depot_.root() + "/b@1.c");
        try {
            repo_.ReopenFiles({ "-c", change }, named);
            ADD_FAILURE() << "no exception";
        } catch (const P4FilesNotOpenedError& e) {
            EXPECT_EQ(e.lines(), Args { depot_.root() + "/b%401.c - file(s) not opened on this client." });
        }
        EXPECT_TRUE(depot_.opened(change).empty()) << "nothing may move";
        EXPECT_THROW(repo_.ReopenFiles({ "-c", change }, std::vector<FileSpec> { at("gone.c", 1) }),
            P4FilesNotOpenedError);

        // No file argument would mean every file (sync) or a usage error.
        depot_.clearJournal();
        EXPECT_TRUE(repo_.ReopenFiles({ "-c", change }, std::vector<LocalPath> {}).empty());
        EXPECT_TRUE(repo_.RevertFiles({ "-c", change }, {}).empty());
        EXPECT_TRUE(repo_.SyncFiles({ "-f", "" }, {}).empty());
        EXPECT_TRUE(depot_.journal().empty());

        // A list longer than an argument vector takes goes through an argument file.
        Args many;
        for (int i = 0; i < 1000; ++i)
            many.push_back("deeply/nested/directory/with/a/long/name/file_" + std::to_string(i) + ".cpp");
        EXPECT_EQ(repo_.ReopenFiles({ "-c", change }, openLocally(many)).size(), many.size());
        EXPECT_EQ(depot_.opened(change).size(), many.size());
        EXPECT_EQ(depot_.journal().back().at(7), "-x"); // after the global options
    }

    // The end of a passed check: the opened files reverted, the shelf submitted, those revisions synced.
    TEST_F(RepositoryTest, RevertSubmitTheShelfAndSyncWhatWasSubmitted)
    {
        const StandInFile other = depot_.file("other.c", 1);
        depot_.openInDefault({ other });
        EXPECT_EQ(repo_.WhereFiles({ FileSpec(DepotPath(other.depot_path), 1),
                      FileSpec(DepotPath("//other/outside.c"), 1) }),
            std::vector<FileSpec> { FileSpec(
                DepotPath(other.depot_path), ClientPath(other.client_path), LocalPath(other.local_path), 1) })
            << "a file outside the view has no local path";

        const int change = depot_.addPendingChange("Submit me", { depot_.file("a.c", 3) },
            { depot_.file("a.c", 3), depot_.file("new@1.c", 0, "add") });
        const std::string number = std::to_string(change);
        EXPECT_EQ(repo_.RevertFiles({ "-c", number }, { at("a.c", 3), at("other.c", 1) }),
            std::vector<FileSpec> {
                FileSpec(DepotPath(inStream("a.c")), ClientPath(""), LocalPath(depot_.root() + "/a.c"), 3) });
        EXPECT_EQ(depot_.opened("default").size(), 1u) << "a file of another change stays opened";

        const int newer = repo_.CreateChangelist().GetChangeId();
        SubmitResult result = repo_.SubmitFiles({ "-e", number }, {});
        EXPECT_GT(result.submitted_change_id, newer) << "p4 renames a change submitted after a newer one";
        EXPECT_EQ(result.files, (std::vector<FileSpec> { at("a.c", 4), at("new%401.c", 1) }));

        depot_.setHeadRevision(inStream("a.c"), 6); // someone submitted since
        std::vector<FileSpec> synced = repo_.SyncFiles({ "-f", "" }, result.files);
        EXPECT_EQ(synced.at(1).GetLocalPath().GetPath(), depot_.root() + "/new@1.c");
        EXPECT_EQ(depot_.haveRevision(inStream("a.c")), 4);
    }

    // Every command carries the global options; a failure names the command, never the password.
    TEST_F(RepositoryTest, ConnectionAndFailures)
    {
        repo_.Connect();
        EXPECT_EQ(depot_.journal().back(),
            (Args { "-p", "localhost:1666", "-u", "tester", "-c", "tester-ws", kMaxWait, "-ztag", "-Mj",
                "login", "-s" }));
        depot_.setTickets({ { "other:1666", "tester", "OTHER" }, { "localhost:1666", "tester", "MINE" } });
        EXPECT_EQ(repo_.GetToken(), "MINE");
        EXPECT_EQ(repo_.GetStream(), "//streams/main");
        depot_.setStream("");
        EXPECT_EQ(repo_.GetStream(), "");

        Repository with_password(depot_.port().c_str(), "tester", "s3cret", "tester-ws");
        depot_.injectFault("opened", "Access denied.");
        EXPECT_THAT(
            [&] {
                with_password.GetOpenedFiles({ "-c", "default" });
            },
            ThrowsMessage<P4Error>("Access denied. [p4 -p localhost:1666 -u tester -c tester-ws -P *** "
                + kMaxWait + " -ztag -Mj opened -c default]"));

        struct Row {
            std::string out, err;
            int exit_code;
            std::string expected;
        };
        const auto opened = [this] { repo_.GetOpenedFiles({ "-c", "default" }); };
        for (const Row& row : std::vector<Row> {
                 { "//depot/a.c#1 - edit (text)\n", "", 0, "p4 wrote output that is not machine-readable" },
                 // A failed command's own text says more than the parse error.
                 { "Perforce client error:\n", "\tConnect to server failed.\n", 1,
                     "Connect to server failed." },
                 { "", "", 1, "p4 exited with code 1" } }) {
            depot_.injectRawOutput("opened", row.out, row.err, row.exit_code);
            EXPECT_THAT(
                opened, ThrowsMessage<P4Error>(AllOf(StartsWith(row.expected), HasSubstr(" [" + kGlobals))));
        }

        EXPECT_THROW(Changelist().Save(), P4Error);
        EXPECT_THROW(
            Repository(nullptr, nullptr, nullptr, nullptr).GetOpenedFiles({ "-c", "default" }), P4Error);
        depot_.setLoggedIn(false);
        EXPECT_THAT([this] { repo_.Connect(); },
            ThrowsMessage<P4Error>(
                "Perforce password (P4PASSWD) invalid or unset. [" + kGlobals + " -ztag -Mj login -s]"));
    }

    // The client calls from the window's thread and from its worker at once.
    TEST_F(RepositoryTest, TwoThreadsAtOnce)
    {
        const int change
            = depot_.addPendingChange("Threads", { depot_.file("a.c", 2) }, { depot_.file("a.c", 2) });
        std::atomic<int> failures { 0 };
        std::thread gui([&] {
            for (int i = 0; i < 10; ++i)
                failures
                    += repo_.GetChangelist(change, true).size() != 1 || repo_.GetStream() != "//streams/main";
        });
        std::thread worker([&] {
            Changelist changelist = repo_.GetChangelist(change);
            for (int i = 0; i < 10; ++i) {
                changelist.SetDescription("Round " + std::to_string(i));
                failures += changelist.Save().GetDescription() != "Round " + std::to_string(i);
            }
        });
        gui.join();
        worker.join();
        EXPECT_EQ(failures.load(), 0);
        EXPECT_EQ(depot_.description(change), "Round 9\n");
    }

} // namespace
} // namespace velmora
