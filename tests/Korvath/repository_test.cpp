#include "korvath/p4_limits.h"
#include "korvath/repository.h"
#include "standin_depot.h"

#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <string>
#include <thread>
#include <vector>

namespace velmora {
namespace {

    using Args = std::vector<std::string>;

    const std::string kMaxWait = "-vnet.maxwait=" + std::to_string(kP4NetMaxWaitSeconds);
    // The global options as an error shows them.
    const std::string kGlobals = "p4 -p localhost:1666 -u tester -c tester-ws " + kMaxWait;

    std::string failureOf(const std::function<void()>& call)
    {
        try {
            call();
        } catch (const std::exception& e) {
            return e.what();
        }
        return "(no exception)";
    }

    std::string pathOf(const FileSpec& file) { return file.GetDepotPath().GetPath(); }
    std::string pathOf(const StandInFile& file) { return file.depot_path; }
    template <class File> Args depotPaths(const std::vector<File>& files)
    {
        Args paths;
        for (const File& file : files)
            paths.push_back(pathOf(file));
        return paths;
    }

    std::string inStream(const std::string& relative) { return "//streams/main/" + relative; }
    FileSpec at(const std::string& relative, int rev) { return FileSpec(DepotPath(inStream(relative)), rev); }

    // A Repository on a fresh stand-in depot, as the program builds it (no password).
    class RepositoryTest : public ::testing::Test {
    protected:
        StandInDepot depot_;
        Repository repo_ { depot_.port().c_str(), depot_.user().c_str(), "", depot_.client().c_str() };

        // The whole argument vector of a command with the global options.
        static Args withGlobals(const Args& command)
        {
            Args argv { "-p", "localhost:1666", "-u", "tester", "-c", "tester-ws", kMaxWait };
            argv.insert(argv.end(), command.begin(), command.end());
            return argv;
        }
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
        Args lastCommand() const
        {
            auto commands = depot_.commands();
            return commands.empty() ? Args {} : commands.back();
        }
    };

    TEST_F(RepositoryTest, ConnectTokenAndStreamCarryTheGlobalOptions)
    {
        repo_.Connect();
        EXPECT_EQ(depot_.journal().back(), withGlobals({ "-ztag", "-Mj", "login", "-s" }));
        EXPECT_EQ(repo_.GetToken(), StandInDepot::kDefaultTicket);
        EXPECT_EQ(depot_.journal().back(), withGlobals({ "tickets" }));
        depot_.setTickets({ { "other:1666", "tester", "OTHER" }, { "localhost:1666", "tester", "MINE" } });
        EXPECT_EQ(repo_.GetToken(), "MINE");
        EXPECT_EQ(repo_.GetStream(), "//streams/main");
        EXPECT_EQ(lastCommand(), (Args { "client", "-o", "tester-ws" }));
        depot_.setStream("");
        EXPECT_EQ(repo_.GetStream(), "");

        // A password goes to p4 but never into an error.
        Repository with_password(depot_.port().c_str(), "tester", "s3cret", "tester-ws");
        with_password.Connect();
        EXPECT_EQ(depot_.journal().back(),
            (Args { "-p", "localhost:1666", "-u", "tester", "-c", "tester-ws", "-P", "s3cret", kMaxWait,
                "-ztag", "-Mj", "login", "-s" }));
        depot_.injectFault("opened", "Access denied.");
        EXPECT_EQ(failureOf([&] {
            with_password.GetOpenedFiles({ "-c", "default" });
        }),
            "Access denied. [p4 -p localhost:1666 -u tester -c tester-ws -P *** " + kMaxWait
                + " -ztag -Mj opened -c default]");
    }

    TEST_F(RepositoryTest, OpenedFilesFormAndShelf)
    {
        EXPECT_TRUE(repo_.GetOpenedFiles({ "-c", "default" }).empty());
        depot_.openInDefault({ depot_.file("src/a.c", 3), depot_.file("src/new.c", 0, "add") });
        const int change = depot_.addPendingChange(
            "First line\nsecond line", { depot_.file("b.c", 7), depot_.file("c@1.c", 0, "add") });
        const std::string number = std::to_string(change);

        // The change id goes to p4 as the user typed it.
        std::vector<FileSpec> in_default = repo_.GetOpenedFiles({ "-c", "DeFault" });
        EXPECT_EQ(lastCommand(), (Args { "opened", "-c", "DeFault" }));
        ASSERT_EQ(in_default.size(), 2u);
        EXPECT_EQ(in_default[0],
            FileSpec(DepotPath(inStream("src/a.c")), ClientPath("//tester-ws/src/a.c"), LocalPath(""), 3));
        EXPECT_EQ(in_default[1].GetRevision(), 0);
        const std::vector<FileSpec> files { at("b.c", 7), at("c%401.c", 0) };
        EXPECT_EQ(depotPaths(repo_.GetChangelist(change, false)), depotPaths(files));
        EXPECT_EQ(lastCommand(), (Args { "opened", "-c", number }));
        Changelist changelist = repo_.GetChangelist(change);
        EXPECT_EQ(lastCommand(), (Args { "change", "-o", number }));
        EXPECT_EQ(changelist.GetChangeId(), change);
        EXPECT_EQ(changelist.GetDescription(), "First line\nsecond line");

        EXPECT_TRUE(repo_.GetChangelist(change, true).empty());
        EXPECT_EQ(repo_.ShelveFiles({ "-c", number }, {}), files);
        EXPECT_EQ(lastCommand(), (Args { "shelve", "-c", number }));
        EXPECT_EQ(repo_.GetChangelist(change, true), files);
        EXPECT_EQ(lastCommand(), (Args { "describe", "-S", "-s", number }));
        EXPECT_EQ(repo_.ShelveFiles({ "-f", "", "-c", number }, {}), files);
        EXPECT_EQ(lastCommand(), (Args { "shelve", "-f", "-c", number }));
        repo_.ShelveFiles({ "-d", "", "-c", number }, {});
        EXPECT_EQ(lastCommand(), (Args { "shelve", "-d", "-c", number }));
        EXPECT_TRUE(depot_.shelved(change).empty());
        EXPECT_EQ(depot_.opened(number).size(), 2u) << "deleting the shelf keeps the opened files";
    }

    struct DescriptionRow {
        const char* name;
        std::string text;
        std::string stored; // as p4 keeps it
    };

    TEST_F(RepositoryTest, CreateSaveAndDeleteLeaveEveryOtherFileAlone)
    {
        depot_.openInDefault({ depot_.file("default.c", 1) });
        Changelist created = repo_.CreateChangelist();
        EXPECT_EQ(depot_.journal().back(), withGlobals({ "change", "-i" }));
        // A real description: a server refuses p4's own placeholder as it refuses none.
        EXPECT_EQ(created.GetDescription(), kNewChangeDescription);
        EXPECT_EQ(depot_.description(created.GetChangeId()), std::string(kNewChangeDescription) + "\n");
        EXPECT_TRUE(depot_.opened(std::to_string(created.GetChangeId())).empty());
        repo_.DeleteChangelist(created.GetChangeId());
        EXPECT_EQ(lastCommand(), (Args { "change", "-d", std::to_string(created.GetChangeId()) }));
        EXPECT_FALSE(depot_.hasChange(created.GetChangeId()));

        const std::vector<DescriptionRow> rows {
            { "Chinese", "[功能] 修复提交检查\n第二行说明", "[功能] 修复提交检查\n第二行说明\n" },
            { "blank and indented lines", "[Fix] a\n\n  indented", "[Fix] a\n\n  indented\n" },
            { "form fields inside", "Text\nFiles:\n\t//streams/main/evil.c\nStatus: submitted\n#x",
                "Text\nFiles:\n\t//streams/main/evil.c\nStatus: submitted\n#x\n" },
            { "CRLF", "a\r\nb", "a\nb\n" },
        };
        const int change = depot_.addPendingChange("Old", { depot_.file("kept.c", 4) });
        const std::string number = std::to_string(change);
        for (const DescriptionRow& row : rows) {
            SCOPED_TRACE(row.name);
            Changelist changelist = repo_.GetChangelist(change);
            changelist.SetDescription(row.text);
            depot_.clearJournal();
            Changelist saved = changelist.Save();
            EXPECT_EQ(depot_.commands(),
                (std::vector<Args> {
                    { "change", "-o", number }, { "change", "-i" }, { "change", "-o", number } }));
            EXPECT_EQ(saved.GetChangeId(), change);
            EXPECT_EQ(depot_.description(change), row.stored);
            EXPECT_EQ(saved.GetDescription() + "\n", row.stored) << "read back as stored";
            EXPECT_EQ(depotPaths(depot_.opened(number)), Args { inStream("kept.c") });
            EXPECT_EQ(depot_.opened("default").size(), 1u);
            EXPECT_EQ(depot_.changeStatus(change), "pending");
        }
    }

    TEST_F(RepositoryTest, ReopenLocalPathsWithAwkwardNamesAndBack)
    {
        const Args names { "dir with blanks/a b.c", "数据/表格.xlsx", "odd/a@b#c%d*e.txt", "odd/%40.txt",
            "-dash.c" };
        const std::string change = std::to_string(repo_.CreateChangelist().GetChangeId());
        std::vector<FileSpec> reopened = repo_.ReopenFiles({ "-c", change }, openLocally(names));
        const std::string root = depot_.root();
        EXPECT_EQ(lastCommand(),
            (Args { "reopen", "-c", change, root + "/dir with blanks/a b.c", root + "/数据/表格.xlsx",
                root + "/odd/a%40b%23c%25d%2Ae.txt", root + "/odd/%2540.txt", root + "/-dash.c" }));
        EXPECT_EQ(reopened[2].GetDepotPath().GetPath(), inStream("odd/a%40b%23c%25d%2Ae.txt"));
        EXPECT_EQ(depotPaths(depot_.opened(change)), depotPaths(reopened));
        ASSERT_EQ(reopened.size(), names.size());

        // Back to the default changelist by depot path, as p4 returned them.
        EXPECT_EQ(depotPaths(repo_.ReopenFiles({ "-c", "default" }, reopened)), depotPaths(reopened));
        EXPECT_EQ(depot_.opened("default").size(), names.size());

        // A list longer than an argument vector takes goes through an argument file.
        Args many;
        for (int i = 0; i < 1000; ++i)
            many.push_back("deeply/nested/directory/with/a/long/name/file_" + std::to_string(i) + ".cpp");
        EXPECT_EQ(repo_.ReopenFiles({ "-c", change }, openLocally(many)).size(), many.size());
        EXPECT_EQ(depot_.opened(change).size(), many.size());
        const Args argv = depot_.journal().back();
        ASSERT_EQ(argv.size(), 14u); // the global options, -x FILE, -ztag -Mj reopen -c N
        EXPECT_EQ(argv[7], "-x");
        EXPECT_EQ(lastCommand(), (Args { "reopen", "-c", change }));
    }

    // A move must be whole: files that are not opened are found before anything moves.
    TEST_F(RepositoryTest, ReopenMovesAllOrNothing)
    {
        const std::string change = std::to_string(repo_.CreateChangelist().GetChangeId());
        std::vector<LocalPath> named = openLocally({ "a.c" });
        named.emplace_back(depot_.root() + "/b@1.c");
        named.emplace_back(depot_.root() + "/c.c");
        depot_.clearJournal();
        try {
            repo_.ReopenFiles({ "-c", change }, named);
            ADD_FAILURE() << "no exception";
        } catch (const P4FilesNotOpenedError& e) {
            EXPECT_EQ(e.lines(),
                (Args { depot_.root() + "/b%401.c - file(s) not opened on this client.",
                    depot_.root() + "/c.c - file(s) not opened on this client." }));
        }
        EXPECT_EQ(depot_.opened("default").size(), 1u) << "nothing may move";
        EXPECT_EQ(depot_.commands().size(), 1u) << "no reopen after the check";
        EXPECT_THROW(repo_.ReopenFiles({ "-c", change }, std::vector<FileSpec> { at("gone.c", 1) }),
            P4FilesNotOpenedError);

        // No file argument would mean every file (sync) or a usage error.
        depot_.clearJournal();
        EXPECT_TRUE(repo_.ReopenFiles({ "-c", change }, std::vector<LocalPath> {}).empty());
        EXPECT_TRUE(repo_.RevertFiles({ "-c", change }, {}).empty());
        EXPECT_TRUE(repo_.SyncFiles({ "-f", "" }, {}).empty());
        EXPECT_TRUE(repo_.WhereFiles({}).empty());
        EXPECT_TRUE(depot_.journal().empty());
    }

    TEST_F(RepositoryTest, WhereAndRevert)
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

        const int change = depot_.addPendingChange(
            "Revert", { depot_.file("a.c", 3), depot_.file("n.c", 0, "add"), depot_.file("keep.c", 1) });
        depot_.openInDefault({ depot_.file("other.c", 1) });
        const std::string number = std::to_string(change);
        std::vector<FileSpec> reverted
            = repo_.RevertFiles({ "-c", number }, { at("a.c", 3), at("n.c", 0), at("other.c", 1) });
        EXPECT_EQ(lastCommand(),
            (Args { "revert", "-c", number, inStream("a.c"), inStream("n.c"), inStream("other.c") }));
        ASSERT_EQ(reverted.size(), 2u);
        EXPECT_EQ(reverted[0],
            FileSpec(DepotPath(inStream("a.c")), ClientPath(""), LocalPath(depot_.root() + "/a.c"), 3));
        EXPECT_EQ(depotPaths(depot_.opened(number)), Args { inStream("keep.c") });
        EXPECT_EQ(depot_.opened("default").size(), 1u) << "a file of another change stays opened";
    }

    TEST_F(RepositoryTest, SubmitTheShelfUnderItsNewNumberThenSyncThoseRevisions)
    {
        const int change = depot_.addPendingChange(
            "Submit me", {}, { depot_.file("a.c", 3), depot_.file("new@1.c", 0, "add") });
        depot_.setHeadRevision(inStream("a.c"), 3);
        const int newer = repo_.CreateChangelist().GetChangeId();
        SubmitResult result = repo_.SubmitFiles({ "-e", std::to_string(change) }, {});
        EXPECT_EQ(lastCommand(), (Args { "submit", "-e", std::to_string(change) }));
        EXPECT_GT(result.submitted_change_id, newer) << "p4 renames a change submitted after a newer one";
        EXPECT_EQ(result.files, (std::vector<FileSpec> { at("a.c", 4), at("new%401.c", 1) }));

        depot_.setHeadRevision(inStream("a.c"), 6); // someone submitted since
        std::vector<FileSpec> synced = repo_.SyncFiles({ "-f", "" }, result.files);
        EXPECT_EQ(lastCommand(), (Args { "sync", "-f", inStream("a.c#4"), inStream("new%401.c#1") }));
        ASSERT_EQ(synced.size(), 2u);
        EXPECT_EQ(synced[0],
            FileSpec(DepotPath(inStream("a.c")), ClientPath(""), LocalPath(depot_.root() + "/a.c"), 4));
        EXPECT_EQ(synced[1].GetLocalPath().GetPath(), depot_.root() + "/new@1.c");
        EXPECT_EQ(depot_.haveRevision(inStream("a.c")), 4);
    }

    struct BadOutputRow {
        const char* name;
        const char* command;
        std::string out;
        std::string err;
        int exit_code;
        std::string expected; // what the error starts with; the command follows
        std::function<void(Repository&)> call;
    };

    TEST_F(RepositoryTest, FailuresNameTheCommand)
    {
        // Bad arguments are refused before anything runs.
        EXPECT_THROW(repo_.GetOpenedFiles({ "-c" }), std::invalid_argument);
        EXPECT_THROW(repo_.ReopenFiles({ "-c", "1" }, std::vector<LocalPath> { LocalPath("a\nb.c") }),
            std::invalid_argument);
        EXPECT_THROW(Changelist().Save(), P4Error);
        EXPECT_TRUE(depot_.journal().empty());
        Repository null_args(nullptr, nullptr, nullptr, nullptr);
        EXPECT_THROW(null_args.GetOpenedFiles({ "-c", "default" }), P4Error);

        Repository elsewhere("perforce.example.com:1666", "tester", "", "tester-ws");
        EXPECT_EQ(failureOf([&] { elsewhere.Connect(); }),
            "Perforce client error:\n\tConnect to server failed; check $P4PORT.\n\tTCP connect to "
            "perforce.example.com:1666 failed. [p4 -p perforce.example.com:1666 -u tester -c tester-ws "
                + kMaxWait + " -ztag -Mj login -s]");
        EXPECT_EQ(failureOf([&] { repo_.GetChangelist(99, true); }),
            "Change 99 unknown. [" + kGlobals + " -ztag -Mj describe -S -s 99]");
        EXPECT_EQ(failureOf([&] {
            repo_.ReopenFiles({ "-c", "99" }, { at("a.c", 1) });
        }),
            "Change 99 unknown. [" + kGlobals + " -ztag -Mj reopen -c 99 //streams/main/a.c]");

        const auto opened = [](Repository& r) { r.GetOpenedFiles({ "-c", "default" }); };
        const auto submit = [](Repository& r) { r.SubmitFiles({ "-e", "5" }, {}); };
        const auto create = [](Repository& r) { r.CreateChangelist(); };
        const auto token = [](Repository& r) { r.GetToken(); };
        const auto stream = [](Repository& r) { r.GetStream(); };
        const std::vector<BadOutputRow> rows {
            { "not JSON", "opened", "//depot/a.c#1 - edit default change (text)\n", "", 0,
                "p4 wrote output that is not machine-readable", opened },
            // A failed command's own text says more than the parse error.
            { "plain text on failure", "opened", "Perforce client error:\n", "\tConnect to server failed.\n",
                1, "Connect to server failed.", opened },
            { "no depotFile", "opened", R"({"clientFile":"//ws/a.c","rev":"1"})", "", 0,
                "p4 file listing wrote a record without \"depotFile\"", opened },
            { "exit 1 with nothing", "opened", "", "", 1, "p4 exited with code 1", opened },
            { "submit not reported", "submit", R"({"change":"5","locked":"1"})", "", 0,
                "p4 submit did not report a submitted change", submit },
            { "change -i without number", "change", "Something odd.\n", "", 0,
                "p4 change -i did not report the change as created", create },
            { "tickets failing", "tickets", "", "Can't read ticket file.\n", 1, "Can't read ticket file.",
                token },
            { "client spec missing", "client", R"({"data":"ok","level":0})", "", 0,
                "p4 client -o wrote no client spec", stream },
        };
        for (const BadOutputRow& row : rows) {
            depot_.injectRawOutput(row.command, row.out, row.err, row.exit_code);
            const std::string text = failureOf([&] { row.call(repo_); });
            EXPECT_EQ(text.rfind(row.expected, 0), 0u) << row.name << ": " << text;
            EXPECT_NE(text.find(" [" + kGlobals), std::string::npos) << row.name << ": " << text;
            depot_.clearFaults();
        }

        // A refused save leaves the description as it was.
        const int change = depot_.addPendingChange("Kept", {});
        Changelist changelist = repo_.GetChangelist(change);
        changelist.SetDescription("new text");
        depot_.injectFault("change", "Injected failure of change.");
        EXPECT_EQ(failureOf([&] { changelist.Save(); }).rfind("Injected failure of change. [", 0), 0u);
        EXPECT_EQ(depot_.description(change), "Kept\n");

        depot_.setLoggedIn(false);
        EXPECT_EQ(failureOf([&] { repo_.Connect(); }),
            "Perforce password (P4PASSWD) invalid or unset. [" + kGlobals + " -ztag -Mj login -s]");
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
