#include "repository_fixture.h"

#include <algorithm>

namespace velmora {
namespace {

    TEST_F(RepositoryTest, ConnectChecksTheLogin)
    {
        repo_.Connect();
        EXPECT_EQ(depot_.journal().back(), tagged({ "login", "-s" }));
    }

    TEST_F(RepositoryTest, TokenAndStream)
    {
        EXPECT_EQ(repo_.GetToken(), StandInDepot::kDefaultTicket);
        EXPECT_EQ(depot_.journal().back(), plain({ "tickets" }));

        depot_.setTickets({ { "other:1666", "tester", "OTHER" }, { "localhost:1666", "someone", "SOMEONE" },
            { "localhost:1666", "tester", "MINE" } });
        EXPECT_EQ(repo_.GetToken(), "MINE");
        depot_.setTickets({});
        EXPECT_EQ(repo_.GetToken(), "");

        EXPECT_EQ(repo_.GetStream(), "//streams/main");
        EXPECT_EQ(depot_.journal().back(), tagged({ "client", "-o", "tester-ws" }));
        depot_.setStream("");
        EXPECT_EQ(repo_.GetStream(), "");
    }

    TEST_F(RepositoryTest, OpenedFilesByChangeOrDefault)
    {
        EXPECT_TRUE(repo_.GetOpenedFiles({ "-c", "default" }).empty());
        EXPECT_EQ(lastCommand(), (Args { "opened", "-c", "default" }));

        depot_.openInDefault({ depot_.file("src/a.c", 3), depot_.file("src/new.c", 0, "add") });
        int change = depot_.addPendingChange("Work", { depot_.file("src/b.c", 7) });

        std::vector<FileSpec> in_default = repo_.GetOpenedFiles({ "-c", "default" });
        ASSERT_EQ(in_default.size(), 2u);
        EXPECT_EQ(in_default[0],
            FileSpec(
                DepotPath("//streams/main/src/a.c"), ClientPath("//tester-ws/src/a.c"), LocalPath(""), 3));
        EXPECT_EQ(in_default[1].GetRevision(), 0);

        // The change id goes to p4 as the user typed it.
        EXPECT_EQ(repo_.GetOpenedFiles({ "-c", "DeFault" }).size(), 2u);
        EXPECT_EQ(lastCommand(), (Args { "opened", "-c", "DeFault" }));

        std::vector<FileSpec> in_change = repo_.GetOpenedFiles({ "-c", std::to_string(change) });
        EXPECT_EQ(depotPaths(in_change), (std::vector<std::string> { "//streams/main/src/b.c" }));
        EXPECT_EQ(lastCommand(), (Args { "opened", "-c", std::to_string(change) }));
        EXPECT_EQ(depotPaths(repo_.GetChangelist(change, false)), depotPaths(in_change));
        EXPECT_TRUE(repo_.GetOpenedFiles({ "-c", "555" }).empty());
    }

    TEST_F(RepositoryTest, ChangelistAndItsShelf)
    {
        int change = depot_.addPendingChange("First line\nsecond line", { depot_.file("a.c", 2) },
            { depot_.file("a.c", 2), depot_.file("b@1.c", 0, "add") });
        Changelist changelist = repo_.GetChangelist(change);
        EXPECT_EQ(changelist.GetChangeId(), change);
        EXPECT_EQ(changelist.GetDescription(), "First line\nsecond line");
        EXPECT_EQ(lastCommand(), (Args { "change", "-o", std::to_string(change) }));

        std::vector<FileSpec> shelved = repo_.GetChangelist(change, true);
        EXPECT_EQ(lastCommand(), (Args { "describe", "-S", "-s", std::to_string(change) }));
        ASSERT_EQ(shelved.size(), 2u);
        EXPECT_EQ(shelved[0], FileSpec(DepotPath("//streams/main/a.c"), 2));
        EXPECT_EQ(shelved[1], FileSpec(DepotPath("//streams/main/b%401.c"), 0));

        int empty = depot_.addPendingChange("Nothing shelved", {});
        EXPECT_TRUE(repo_.GetChangelist(empty, true).empty());
    }

    TEST_F(RepositoryTest, CreateChangelistLeavesTheDefaultChangelistAlone)
    {
        depot_.openInDefault({ depot_.file("a.c", 1) });
        Changelist created = repo_.CreateChangelist();
        // A real description: a server refuses p4's own placeholder as it refuses none.
        EXPECT_EQ(created.GetDescription(), "Pending description (created by Tessarine)");
        EXPECT_EQ(created.GetDescription(), kNewChangeDescription);
        EXPECT_EQ(depot_.changeStatus(created.GetChangeId()), "pending");
        EXPECT_EQ(depot_.description(created.GetChangeId()), "Pending description (created by Tessarine)\n");
        EXPECT_EQ(depot_.opened("default").size(), 1u);
        EXPECT_TRUE(depot_.opened(std::to_string(created.GetChangeId())).empty());
        EXPECT_EQ(depot_.journal().back(), plain({ "change", "-i" }));
        EXPECT_NE(repo_.CreateChangelist().GetChangeId(), created.GetChangeId());
    }

    struct DescriptionRow {
        const char* name;
        std::string text;
        std::string stored; // as p4 keeps it
        std::string read; // as GetDescription returns it afterwards
    };

    TEST_F(RepositoryTest, DescriptionsRoundTripAsText)
    {
        const std::vector<DescriptionRow> rows {
            { "one line", "[Fix] crash", "[Fix] crash\n", "[Fix] crash" },
            { "multi-line", "[Fix] a\n\nmore detail\n  indented", "[Fix] a\n\nmore detail\n  indented\n",
                "[Fix] a\n\nmore detail\n  indented" },
            { "Chinese", "[功能] 修复提交检查\n第二行说明", "[功能] 修复提交检查\n第二行说明\n",
                "[功能] 修复提交检查\n第二行说明" },
            { "form fields inside", "Text\nFiles:\n\t//streams/main/evil.c\nStatus: submitted\nChange: 1\n#x",
                "Text\nFiles:\n\t//streams/main/evil.c\nStatus: submitted\nChange: 1\n#x\n",
                "Text\nFiles:\n\t//streams/main/evil.c\nStatus: submitted\nChange: 1\n#x" },
            { "CRLF", "a\r\nb", "a\nb\n", "a\nb" },
        };
        depot_.openInDefault({ depot_.file("evil.c", 1) });
        int change = depot_.addPendingChange("Old", { depot_.file("kept.c", 4) });
        for (const DescriptionRow& row : rows) {
            Changelist changelist = repo_.GetChangelist(change);
            changelist.SetDescription(row.text);
            EXPECT_EQ(changelist.GetDescription(), row.text);
            Changelist saved = changelist.Save();
            EXPECT_EQ(saved.GetChangeId(), change) << row.name;
            EXPECT_EQ(saved.GetDescription(), row.read) << row.name;
            EXPECT_EQ(depot_.description(change), row.stored) << row.name;
            // The change keeps its file and status; the default changelist keeps its own.
            EXPECT_EQ(depotPaths(depot_.opened(std::to_string(change))),
                (std::vector<std::string> { "//streams/main/kept.c" }))
                << row.name;
            EXPECT_EQ(depot_.opened("default").size(), 1u) << row.name;
            EXPECT_EQ(depot_.changeStatus(change), "pending") << row.name;
        }
        auto commands = depot_.commands();
        ASSERT_GE(commands.size(), 3u);
        EXPECT_EQ(commands[commands.size() - 3], (Args { "change", "-o", std::to_string(change) }));
        EXPECT_EQ(commands[commands.size() - 2], (Args { "change", "-i" }));
        EXPECT_EQ(commands.back(), (Args { "change", "-o", std::to_string(change) }));
    }

    TEST_F(RepositoryTest, ReopenLocalPathsWithAwkwardNames)
    {
        const std::vector<std::string> names { "dir with blanks/a b.c", "数据/表格.xlsx", "odd/a@b#c%d*e.txt",
            "odd/%40.txt", "-dash.c" };
        std::vector<StandInFile> files;
        std::vector<LocalPath> locals;
        for (const std::string& name : names) {
            files.push_back(depot_.file(name, 2));
            locals.emplace_back(depot_.root() + "/" + name);
        }
        depot_.openInDefault(files);
        int change = repo_.CreateChangelist().GetChangeId();
        std::vector<FileSpec> reopened = repo_.ReopenFiles({ "-c", std::to_string(change) }, locals);
        EXPECT_EQ(depotPaths(reopened), depotPaths(files));
        EXPECT_EQ(depotPaths(depot_.opened(std::to_string(change))), depotPaths(files));
        EXPECT_TRUE(depot_.opened("default").empty());
        EXPECT_EQ(reopened[2].GetDepotPath().GetPath(), "//streams/main/odd/a%40b%23c%25d%2Ae.txt");

        Args expected { "reopen", "-c", std::to_string(change), depot_.root() + "/dir with blanks/a b.c",
            depot_.root() + "/数据/表格.xlsx", depot_.root() + "/odd/a%40b%23c%25d%2Ae.txt",
            depot_.root() + "/odd/%2540.txt", depot_.root() + "/-dash.c" };
        EXPECT_EQ(lastCommand(), expected);

        // Back to the default changelist by depot path, as p4 returned them.
        std::vector<FileSpec> back = repo_.ReopenFiles({ "-c", "default" }, reopened);
        EXPECT_EQ(depotPaths(back), depotPaths(files));
        EXPECT_EQ(depot_.opened("default").size(), names.size());
    }

    struct NotOpenedRow {
        const char* name;
        std::vector<std::string> opened; // below the root
        std::vector<std::string> named;
        std::vector<std::string> missing; // p4's lines for the files that are not opened
    };

    // A move must be whole: files that are not opened are found before anything moves.
    TEST_F(RepositoryTest, ReopenRefusesFilesThatAreNotOpened)
    {
        const std::string root = depot_.root();
        const std::vector<NotOpenedRow> rows {
            { "one of two", { "r1/a.c" }, { "r1/a.c", "r1/b@1.c" },
                { root + "/r1/b%401.c - file(s) not opened on this client." } },
            { "none opened", {}, { "r2/a.c", "r2/b.c" },
                { root + "/r2/a.c - file(s) not opened on this client.",
                    root + "/r2/b.c - file(s) not opened on this client." } },
        };
        for (const NotOpenedRow& row : rows) {
            SCOPED_TRACE(row.name);
            std::vector<StandInFile> opened;
            for (const std::string& name : row.opened)
                opened.push_back(depot_.file(name, 1));
            depot_.openInDefault(opened);
            const size_t in_default = depot_.opened("default").size();
            const int change = repo_.CreateChangelist().GetChangeId();
            std::vector<LocalPath> named;
            for (const std::string& name : row.named)
                named.emplace_back(root + "/" + name);
            depot_.clearJournal();
            try {
                repo_.ReopenFiles({ "-c", std::to_string(change) }, named);
                ADD_FAILURE() << "no exception";
            } catch (const P4FilesNotOpenedError& e) {
                EXPECT_EQ(e.lines(), row.missing);
                EXPECT_NE(e.command().find(" opened "), std::string::npos) << e.command();
            }
            EXPECT_EQ(depot_.opened("default").size(), in_default) << "nothing may move";
            EXPECT_EQ(depot_.commands().size(), 1u) << "no reopen after the check";
        }

        // A depot-path move that finds a file gone says so too.
        int change = depot_.addPendingChange("Target", {});
        EXPECT_THROW(repo_.ReopenFiles({ "-c", std::to_string(change) },
                         std::vector<FileSpec> { FileSpec(DepotPath("//streams/main/gone.c"), 1) }),
            P4FilesNotOpenedError);

        size_t calls = depot_.journal().size();
        EXPECT_TRUE(repo_.ReopenFiles({ "-c", std::to_string(change) }, std::vector<LocalPath> {}).empty());
        EXPECT_TRUE(repo_.RevertFiles({ "-c", std::to_string(change) }, {}).empty());
        EXPECT_TRUE(repo_.SyncFiles({ "-f", "" }, {}).empty());
        EXPECT_TRUE(repo_.WhereFiles({}).empty());
        EXPECT_EQ(depot_.journal().size(), calls)
            << "an empty file list must not reach p4 (sync would take every file)";
    }

    TEST_F(RepositoryTest, DeleteChangelistOnlyWhenEmpty)
    {
        const int empty = repo_.CreateChangelist().GetChangeId();
        repo_.DeleteChangelist(empty);
        EXPECT_EQ(lastCommand(), (Args { "change", "-d", std::to_string(empty) }));
        EXPECT_FALSE(depot_.hasChange(empty));

        const int with_open
            = depot_.addPendingChange("Open", { depot_.file("a.c", 1), depot_.file("b.c", 1) });
        const int with_shelf = depot_.addPendingChange("Shelf", {}, { depot_.file("c.c", 1) });
        const int submitted = depot_.addPendingChange("Done", {}, { depot_.file("d.c", 1) });
        repo_.SubmitFiles({ "-e", std::to_string(submitted) }, {});
        const std::vector<std::pair<int, std::string>> refusals {
            { with_open,
                "Change " + std::to_string(with_open)
                    + " has 2 open file(s) associated with it and can't be deleted." },
            { with_shelf,
                "Change " + std::to_string(with_shelf)
                    + " has shelved files associated with it and can't be deleted." },
            { submitted, "Change " + std::to_string(submitted) + " is already committed." },
            { 999, "Change 999 unknown." },
        };
        for (const auto& [change, message] : refusals) {
            try {
                repo_.DeleteChangelist(change);
                ADD_FAILURE() << "deleted " << change;
            } catch (const P4Error& e) {
                EXPECT_EQ(e.message(), message);
            }
        }
        EXPECT_TRUE(depot_.hasChange(with_open) && depot_.hasChange(with_shelf));
    }

    TEST_F(RepositoryTest, WhereGivesLocalPathsOfTheWorkspace)
    {
        const StandInFile plain = depot_.file("src/a.c", 3);
        const StandInFile odd = depot_.file("数据/a@b#c.txt", 1);
        std::vector<FileSpec> located = repo_.WhereFiles({ FileSpec(DepotPath(plain.depot_path), 3),
            FileSpec(DepotPath("//other/outside.c"), 1), FileSpec(DepotPath(odd.depot_path), 1) });
        EXPECT_EQ(lastCommand(), (Args { "where", plain.depot_path, "//other/outside.c", odd.depot_path }));
        ASSERT_EQ(located.size(), 2u) << "a file outside the view has no local path";
        EXPECT_EQ(located[0],
            FileSpec(
                DepotPath(plain.depot_path), ClientPath(plain.client_path), LocalPath(plain.local_path), 3));
        EXPECT_EQ(located[1].GetLocalPath().GetPath(), depot_.root() + "/数据/a@b#c.txt");
    }

    TEST_F(RepositoryTest, ShelveReplaceAndDelete)
    {
        int change
            = depot_.addPendingChange("Shelve me", { depot_.file("a.c", 3), depot_.file("b.c", 0, "add") });
        const std::string number = std::to_string(change);
        std::vector<FileSpec> shelved = repo_.ShelveFiles({ "-c", number }, {});
        EXPECT_EQ(lastCommand(), (Args { "shelve", "-c", number }));
        ASSERT_EQ(shelved.size(), 2u);
        EXPECT_EQ(shelved[0], FileSpec(DepotPath("//streams/main/a.c"), 3));
        EXPECT_EQ(depotPaths(depot_.shelved(change)), depotPaths(shelved));
        EXPECT_EQ(depotPaths(repo_.GetChangelist(change, true)), depotPaths(shelved));

        EXPECT_EQ(repo_.ShelveFiles({ "-f", "", "-c", number }, {}).size(), 2u);
        EXPECT_EQ(lastCommand(), (Args { "shelve", "-f", "-c", number }));

        repo_.ShelveFiles({ "-d", "", "-c", number }, {});
        EXPECT_EQ(lastCommand(), (Args { "shelve", "-d", "-c", number }));
        EXPECT_TRUE(depot_.shelved(change).empty());
        EXPECT_EQ(depot_.opened(number).size(), 2u) << "deleting the shelf keeps the opened files";
    }

    TEST_F(RepositoryTest, RevertOnlyTheNamedFilesOfTheChange)
    {
        int change = depot_.addPendingChange(
            "Revert", { depot_.file("a.c", 3), depot_.file("n.c", 0, "add"), depot_.file("keep.c", 1) });
        depot_.openInDefault({ depot_.file("other.c", 1) });
        const std::string number = std::to_string(change);
        std::vector<FileSpec> reverted = repo_.RevertFiles({ "-c", number },
            { FileSpec(DepotPath("//streams/main/a.c"), 3), FileSpec(DepotPath("//streams/main/n.c"), 0),
                FileSpec(DepotPath("//streams/main/other.c"), 1) });
        EXPECT_EQ(lastCommand(),
            (Args { "revert", "-c", number, "//streams/main/a.c", "//streams/main/n.c",
                "//streams/main/other.c" }));
        ASSERT_EQ(reverted.size(), 2u);
        EXPECT_EQ(reverted[0],
            FileSpec(DepotPath("//streams/main/a.c"), ClientPath(""), LocalPath(depot_.root() + "/a.c"), 3));
        EXPECT_EQ(depotPaths(depot_.opened(number)), (std::vector<std::string> { "//streams/main/keep.c" }));
        EXPECT_EQ(depot_.opened("default").size(), 1u) << "a file of another change stays opened";
    }

    TEST_F(RepositoryTest, SubmitShelfThenSyncAtSubmittedRevisions)
    {
        int change = depot_.addPendingChange(
            "Submit me", {}, { depot_.file("a.c", 3), depot_.file("new@1.c", 0, "add") });
        depot_.setHeadRevision("//streams/main/a.c", 3);
        const std::string number = std::to_string(change);
        SubmitResult result = repo_.SubmitFiles({ "-e", number }, {});
        EXPECT_EQ(lastCommand(), (Args { "submit", "-e", number }));
        EXPECT_EQ(result.submitted_change_id, change);
        ASSERT_EQ(result.files.size(), 2u);
        EXPECT_EQ(result.files[0], FileSpec(DepotPath("//streams/main/a.c"), 4));
        EXPECT_EQ(result.files[1], FileSpec(DepotPath("//streams/main/new%401.c"), 1));
        EXPECT_EQ(depot_.headRevision("//streams/main/a.c"), 4);

        depot_.setHeadRevision("//streams/main/a.c", 6); // someone submitted since
        std::vector<FileSpec> synced = repo_.SyncFiles({ "-f", "" }, result.files);
        EXPECT_EQ(
            lastCommand(), (Args { "sync", "-f", "//streams/main/a.c#4", "//streams/main/new%401.c#1" }));
        ASSERT_EQ(synced.size(), 2u);
        EXPECT_EQ(synced[0],
            FileSpec(DepotPath("//streams/main/a.c"), ClientPath(""), LocalPath(depot_.root() + "/a.c"), 4));
        EXPECT_EQ(synced[1].GetLocalPath().GetPath(), depot_.root() + "/new@1.c");
        EXPECT_EQ(depot_.haveRevision("//streams/main/a.c"), 4);
    }

    TEST_F(RepositoryTest, SubmitReportsTheRenamedNumber)
    {
        int change = depot_.addPendingChange("Older", {}, { depot_.file("a.c", 1) });
        int newer = repo_.CreateChangelist().GetChangeId();
        SubmitResult result = repo_.SubmitFiles({ "-e", std::to_string(change) }, {});
        EXPECT_GT(result.submitted_change_id, newer);
        ASSERT_EQ(depot_.submitted().size(), 1u);
        EXPECT_EQ(depot_.submitted()[0].change, result.submitted_change_id);
        EXPECT_EQ(depot_.submitted()[0].submitted_from, change);
    }

    // The client's road for a change with opened and shelved files: move the opened files to
    // a new change with the same description, submit the shelf, sync what was submitted.
    TEST_F(RepositoryTest, SubmitRoadForOpenedAndShelvedChange)
    {
        int change = depot_.addPendingChange(
            "[Feature] 提交", { depot_.file("work.c", 2) }, { depot_.file("shelved.c", 5) });
        depot_.setHeadRevision("//streams/main/shelved.c", 5);
        std::vector<FileSpec> opened = repo_.GetChangelist(change, false);
        Changelist moved = repo_.CreateChangelist();
        moved.SetDescription(repo_.GetChangelist(change).GetDescription());
        moved = moved.Save();
        repo_.ReopenFiles({ "-c", std::to_string(moved.GetChangeId()) }, opened);
        SubmitResult result = repo_.SubmitFiles({ "-e", std::to_string(change) }, {});
        repo_.SyncFiles({ "-f", "" }, result.files);

        EXPECT_EQ(depot_.description(moved.GetChangeId()), "[Feature] 提交\n");
        EXPECT_EQ(depotPaths(depot_.opened(std::to_string(moved.GetChangeId()))),
            (std::vector<std::string> { "//streams/main/work.c" }));
        EXPECT_EQ(depot_.headRevision("//streams/main/shelved.c"), 6);
        EXPECT_EQ(depot_.haveRevision("//streams/main/shelved.c"), 6);
    }

    TEST_F(RepositoryTest, ThousandsOfFilesGoThroughAnArgumentFile)
    {
        const std::string long_dir = "deeply/nested/directory/with/a/rather/long/name/for/testing/";
        std::vector<StandInFile> files;
        std::vector<LocalPath> locals;
        for (int i = 0; i < 3000; ++i) {
            std::string name = long_dir + "file_" + std::to_string(i) + ".cpp";
            files.push_back(depot_.file(name, 1));
            locals.emplace_back(depot_.root() + "/" + name);
        }
        depot_.openInDefault(files);
        int change = repo_.CreateChangelist().GetChangeId();
        std::vector<FileSpec> reopened = repo_.ReopenFiles({ "-c", std::to_string(change) }, locals);
        EXPECT_EQ(reopened.size(), files.size());
        EXPECT_EQ(depot_.opened(std::to_string(change)).size(), files.size());
        Args argv = depot_.journal().back();
        EXPECT_NE(std::find(argv.begin(), argv.end(), "-x"), argv.end());
        EXPECT_LT(argv.size(), 20u);
        EXPECT_EQ(lastCommand(), (Args { "reopen", "-c", std::to_string(change) }));
    }

} // namespace
} // namespace velmora
