#include "repository_fixture.h"

#include <atomic>
#include <cstdlib>
#include <functional>
#include <thread>

namespace velmora {
namespace {

    std::string failureOf(const std::function<void()>& call)
    {
        try {
            call();
        } catch (const std::exception& e) {
            return e.what();
        }
        return "(no exception)";
    }

    bool contains(const std::string& text, const std::string& part)
    {
        return text.find(part) != std::string::npos;
    }

    const std::string kMaxWait = "-vnet.maxwait=" + std::to_string(kP4NetMaxWaitSeconds);
    const std::string kGlobals = "p4 -p localhost:1666 -u tester -c tester-ws " + kMaxWait;

    TEST_F(RepositoryTest, UnknownChangeNamesTheCommand)
    {
        EXPECT_EQ(failureOf([&] { repo_.GetChangelist(99, true); }),
            "Change 99 unknown. [" + kGlobals + " -ztag -Mj describe -S -s 99]");
        EXPECT_EQ(failureOf([&] { repo_.GetChangelist(99); }),
            "Change 99 unknown. [" + kGlobals + " -ztag -Mj change -o 99]");
        EXPECT_EQ(failureOf([&] {
            repo_.ReopenFiles({ "-c", "99" }, { FileSpec(DepotPath("//streams/main/a.c"), 1) });
        }),
            "Change 99 unknown. [" + kGlobals + " -ztag -Mj reopen -c 99 //streams/main/a.c]");
        EXPECT_TRUE(contains(failureOf([&] {
            repo_.ShelveFiles({ "-c", "99" }, {});
        }),
            "Change 99 unknown."));
        EXPECT_EQ(failureOf([&] {
            repo_.GetOpenedFiles({ "-c", "abc" });
        }),
            "Invalid changelist number 'abc'. [" + kGlobals + " -ztag -Mj opened -c abc]");
        EXPECT_TRUE(contains(failureOf([&] {
            repo_.SubmitFiles({ "-e", "99" }, {});
        }),
            "Change 99 unknown."));
    }

    TEST_F(RepositoryTest, ShelveAndSubmitRefusals)
    {
        int change = depot_.addPendingChange("Refusals", { depot_.file("a.c", 1) });
        const std::string n = std::to_string(change);
        EXPECT_EQ(failureOf([&] {
            repo_.SubmitFiles({ "-e", n }, {});
        }),
            "Change " + n + " does not have shelved files --  cannot submit. [" + kGlobals
                + " -ztag -Mj submit -e " + n + "]");
        EXPECT_TRUE(contains(failureOf([&] {
            repo_.ShelveFiles({ "-d", "", "-c", n }, {});
        }),
            "No shelved files in changelist to delete."));

        repo_.ShelveFiles({ "-c", n }, {});
        EXPECT_TRUE(contains(failureOf([&] {
            repo_.ShelveFiles({ "-c", n }, {});
        }),
            "already has shelved files"));
        // The file is still opened in the change: the shelf cannot be submitted.
        std::string refused = failureOf([&] { repo_.SubmitFiles({ "-e", n }, {}); });
        EXPECT_TRUE(
            contains(refused, "Submit failed -- fix problems above then use 'p4 submit -e " + n + "'."))
            << refused;
        EXPECT_TRUE(depot_.submitted().empty());

        int empty = depot_.addPendingChange("Empty", {});
        EXPECT_TRUE(contains(failureOf([&] {
            repo_.ShelveFiles({ "-c", std::to_string(empty) }, {});
        }),
            "No files to shelve."));
    }

    // The stand-in refuses what a server refuses: no description, or p4's placeholder.
    TEST_F(RepositoryTest, ChangeFormsWithoutARealDescriptionAreRefused)
    {
        int change = depot_.addPendingChange("Real text", {});
        const std::vector<std::pair<std::string, std::string>> rows {
            { "<enter description here>",
                "Error in change specification.\nChange description missing.  You must enter one." },
            { "", "Error in change spec.\nMissing required field 'Description'." },
        };
        for (const auto& [text, refusal] : rows) {
            Changelist changelist = repo_.GetChangelist(change);
            changelist.SetDescription(text);
            try {
                changelist.Save();
                ADD_FAILURE() << "saved \"" << text << "\"";
            } catch (const P4Error& e) {
                EXPECT_EQ(e.message(), refusal);
            }
        }
        EXPECT_EQ(depot_.description(change), "Real text\n");
    }

    TEST_F(RepositoryTest, LoginAndConnectionFailures)
    {
        depot_.setLoggedIn(false);
        EXPECT_EQ(failureOf([&] { repo_.Connect(); }),
            "Perforce password (P4PASSWD) invalid or unset. [" + kGlobals + " -ztag -Mj login -s]");

        Repository elsewhere("perforce.example.com:1666", "tester", "", "tester-ws");
        std::string text = failureOf([&] { elsewhere.Connect(); });
        EXPECT_EQ(text,
            "Perforce client error:\n\tConnect to server failed; check $P4PORT.\n\tTCP connect to "
            "perforce.example.com:1666 failed."
            " [p4 -p perforce.example.com:1666 -u tester -c tester-ws "
                + kMaxWait + " -ztag -Mj login -s]");
        EXPECT_TRUE(contains(failureOf([&] {
            elsewhere.GetOpenedFiles({ "-c", "default" });
        }),
            "Connect to server failed"));

        Repository wrong_client(depot_.port().c_str(), "tester", "", "nobody-ws");
        EXPECT_TRUE(contains(failureOf([&] {
            wrong_client.GetOpenedFiles({ "-c", "default" });
        }),
            "Client 'nobody-ws' unknown"));
    }

    TEST_F(RepositoryTest, PasswordIsPassedButNeverShown)
    {
        Repository with_password(depot_.port().c_str(), "tester", "s3cret", "tester-ws");
        with_password.Connect();
        EXPECT_EQ(depot_.journal().back(),
            (Args { "-p", "localhost:1666", "-u", "tester", "-c", "tester-ws", "-P", "s3cret", maxWait(),
                "-ztag", "-Mj", "login", "-s" }));
        depot_.injectFault("opened", "Access denied.");
        std::string text = failureOf([&] { with_password.GetOpenedFiles({ "-c", "default" }); });
        EXPECT_FALSE(contains(text, "s3cret")) << text;
        EXPECT_EQ(text,
            "Access denied. [p4 -p localhost:1666 -u tester -c tester-ws -P *** " + kMaxWait
                + " -ztag -Mj opened -c default]");
    }

    struct FaultRow {
        const char* command;
        std::function<void(const Repository&, int)> call;
    };

    TEST_F(RepositoryTest, InjectedFaultFailsEveryOperation)
    {
        int change = depot_.addPendingChange("Faults", { depot_.file("a.c", 1) }, { depot_.file("a.c", 1) });
        const FileSpec file(DepotPath("//streams/main/a.c"), 1);
        const std::vector<FaultRow> rows {
            { "login", [](const Repository& r, int) { const_cast<Repository&>(r).Connect(); } },
            { "tickets", [](const Repository& r, int) { r.GetToken(); } },
            { "client", [](const Repository& r, int) { r.GetStream(); } },
            { "opened",
                [](const Repository& r, int) {
                    r.GetOpenedFiles({ "-c", "default" });
                } },
            { "describe", [](const Repository& r, int c) { r.GetChangelist(c, true); } },
            { "change", [](const Repository& r, int c) { r.GetChangelist(c); } },
            { "change", [](const Repository& r, int) { r.CreateChangelist(); } },
            { "reopen",
                [&](const Repository& r, int c) {
                    r.ReopenFiles({ "-c", std::to_string(c) }, { file });
                } },
            { "shelve",
                [](const Repository& r, int c) {
                    r.ShelveFiles({ "-f", "", "-c", std::to_string(c) }, {});
                } },
            { "revert",
                [&](const Repository& r, int c) {
                    r.RevertFiles({ "-c", std::to_string(c) }, { file });
                } },
            { "submit",
                [](const Repository& r, int c) {
                    r.SubmitFiles({ "-e", std::to_string(c) }, {});
                } },
            { "sync",
                [&](const Repository& r, int) {
                    r.SyncFiles({ "-f", "" }, { file });
                } },
        };
        for (const FaultRow& row : rows) {
            depot_.injectFault(row.command, "Injected failure of " + std::string(row.command) + ".");
            std::string text = failureOf([&] { row.call(repo_, change); });
            EXPECT_EQ(text.rfind("Injected failure of " + std::string(row.command) + ". [p4 ", 0), 0u)
                << text;
            EXPECT_TRUE(contains(text, " " + std::string(row.command))) << text;
            depot_.clearFaults();
        }
        Changelist changelist = repo_.GetChangelist(change);
        depot_.injectFault("change", "Injected failure of change.");
        changelist.SetDescription("new text");
        EXPECT_TRUE(contains(failureOf([&] { changelist.Save(); }), "Injected failure of change."));
        EXPECT_EQ(depot_.description(change), "Faults\n");
    }

    struct BadOutputRow {
        const char* name;
        const char* command;
        std::string out;
        std::string err;
        int exit_code;
        std::string expected_part;
        std::function<void(const Repository&)> call;
    };

    TEST_F(RepositoryTest, MalformedOutputIsAnError)
    {
        const std::vector<BadOutputRow> rows {
            { "not JSON", "opened", "//depot/a.c#1 - edit default change (text)\n", "", 0,
                "not machine-readable",
                [](const Repository& r) {
                    r.GetOpenedFiles({ "-c", "default" });
                } },
            { "no depotFile", "opened",
                R"({"clientFile":"//ws/a.c","rev":"1"})"
                "\n",
                "", 0, "without \"depotFile\"",
                [](const Repository& r) {
                    r.GetOpenedFiles({ "-c", "default" });
                } },
            { "submit without submittedChange", "submit",
                R"({"change":"5","locked":"1"})"
                "\n"
                R"({"action":"edit","depotFile":"//a.c","rev":"2"})"
                "\n",
                "", 0, "did not report a submitted change",
                [](const Repository& r) {
                    r.SubmitFiles({ "-e", "5" }, {});
                } },
            { "describe without record", "describe", "", "", 0, "wrote no change record",
                [](const Repository& r) { r.GetChangelist(5, true); } },
            { "change -i without number", "change", "Something odd.\n", "", 0,
                "did not report the change as created", [](const Repository& r) { r.CreateChangelist(); } },
            { "exit 1 with nothing", "opened", "", "", 1, "p4 exited with code 1",
                [](const Repository& r) {
                    r.GetOpenedFiles({ "-c", "default" });
                } },
            { "stderr text", "opened", "", "  Something broke.\n", 1, "Something broke. [p4 ",
                [](const Repository& r) {
                    r.GetOpenedFiles({ "-c", "default" });
                } },
            { "tickets failing", "tickets", "", "Can't read ticket file.\n", 1, "Can't read ticket file.",
                [](const Repository& r) { r.GetToken(); } },
            { "client spec missing", "client",
                R"({"data":"ok","level":0})"
                "\n",
                "", 0, "wrote no client spec", [](const Repository& r) { r.GetStream(); } },
        };
        for (const BadOutputRow& row : rows) {
            depot_.injectRawOutput(row.command, row.out, row.err, row.exit_code);
            std::string text = failureOf([&] { row.call(repo_); });
            EXPECT_TRUE(contains(text, row.expected_part)) << row.name << ": " << text;
            EXPECT_TRUE(contains(text, "[p4 -p localhost:1666")) << row.name << ": " << text;
            depot_.clearFaults();
        }
    }

    TEST_F(RepositoryTest, P4MissingFromPath)
    {
        std::string old_path = std::getenv("PATH");
        ::setenv("PATH", "/nonexistent/bin:/also/missing", 1);
        std::string text = failureOf([&] { repo_.GetStream(); });
        ::setenv("PATH", old_path.c_str(), 1);
        EXPECT_TRUE(contains(text, "p4 not found")) << text;
        EXPECT_TRUE(contains(text, "/nonexistent/bin, /also/missing")) << text;
        EXPECT_TRUE(contains(text, "[" + kGlobals + " -ztag -Mj client -o tester-ws]")) << text;
    }

    TEST_F(RepositoryTest, BadArgumentsAreRefusedBeforeRunning)
    {
        EXPECT_THROW(repo_.GetOpenedFiles({ "-c" }), std::invalid_argument);
        EXPECT_THROW(repo_.ReopenFiles({ "-c", "1" }, std::vector<LocalPath> { LocalPath("a\nb.c") }),
            std::invalid_argument);
        EXPECT_THROW(Changelist().Save(), P4Error);
        EXPECT_TRUE(depot_.journal().empty());
        Repository null_args(nullptr, nullptr, nullptr, nullptr);
        EXPECT_THROW(null_args.GetOpenedFiles({ "-c", "default" }), P4Error);
    }

    TEST_F(RepositoryTest, TwoThreadsAtOnce)
    {
        int change = depot_.addPendingChange("Threads", { depot_.file("a.c", 2) }, { depot_.file("a.c", 2) });
        std::atomic<int> failures { 0 };
        std::atomic<bool> go { false };
        auto reader = [&] {
            while (!go) { }
            for (int i = 0; i < 15; ++i) {
                try {
                    if (repo_.GetChangelist(change, true).size() != 1
                        || repo_.GetOpenedFiles({ "-c", std::to_string(change) }).size() != 1
                        || repo_.GetStream() != "//streams/main")
                        ++failures;
                } catch (const std::exception&) {
                    ++failures;
                }
            }
        };
        auto writer = [&] {
            while (!go) { }
            Changelist changelist = repo_.GetChangelist(change);
            for (int i = 0; i < 15; ++i) {
                try {
                    changelist.SetDescription("Round " + std::to_string(i));
                    if (changelist.Save().GetDescription() != "Round " + std::to_string(i))
                        ++failures;
                } catch (const std::exception&) {
                    ++failures;
                }
            }
        };
        std::thread gui(reader);
        std::thread worker(writer);
        go = true;
        gui.join();
        worker.join();
        EXPECT_EQ(failures.load(), 0);
        EXPECT_EQ(depot_.description(change), "Round 14\n");
        EXPECT_EQ(depot_.opened(std::to_string(change)).size(), 1u);
    }

} // namespace
} // namespace velmora
