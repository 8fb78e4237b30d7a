#include "p4_connection.h"
#include "p4_output.h"
#include "path_arg.h"
#include "record_parser.h"

#include <gtest/gtest.h>

#include <functional>
#include <initializer_list>
#include <string>
#include <vector>

namespace velmora {
namespace {

    // Lines as `p4 -ztag -Mj` writes them.
    const std::string kOpened
        = R"({"action":"edit","change":"123","client":"ws","clientFile":"//ws/a.c","depotFile":"//depot/a.c","haveRev":"3","rev":"3","type":"text","user":"al"})";
    const std::string kNotOpened
        = R"({"data":"File(s) not opened on this client.\n","generic":17,"severity":2})";

    // Output lines as p4 writes them, one per line.
    P4Output output(std::initializer_list<std::string> lines)
    {
        std::string text;
        for (const std::string& line : lines)
            text += line + "\n";
        return parseOutputLines(text);
    }

    std::string warning(const std::string& text)
    {
        return R"({"data":")" + text + R"(\n","generic":0,"severity":2})";
    }

    TEST(OutputLines, SplitsRecordsInfosAndMessages)
    {
        P4Output split = output({ kOpened, R"({"data":"Change 123 created.","level":0})", "", kNotOpened,
            R"({"data":"Change 9 unknown.\n","generic":2,"severity":3})" });
        ASSERT_EQ(split.records.size(), 1u);
        EXPECT_EQ(split.records[0]["depotFile"], "//depot/a.c");
        EXPECT_EQ(split.infos, std::vector<std::string> { "Change 123 created." });
        ASSERT_EQ(split.messages.size(), 2u);
        EXPECT_EQ(split.messages[0].severity, 2);
        EXPECT_EQ(split.messages[0].generic, 17);
        EXPECT_EQ(split.messages[1].text, "Change 9 unknown.");

        for (const char* bad : { "Change 5 created.", "[1,2]", R"({"depotFile":)", "\"text\"",
                 R"({"data":"x","severity":"high"})", R"({"severity":3})" }) {
            EXPECT_THROW(output({ kOpened, bad }), P4OutputError) << bad;
        }
    }

    struct FailureRow {
        const char* name;
        std::string out;
        int exit_code;
        int signal;
        std::string err;
        std::optional<std::string> expected;
    };

    TEST(FailureText, DecidesBetweenEmptyResultAndFailure)
    {
        const std::vector<FailureRow> rows {
            { "nothing opened", kNotOpened, 0, 0, "", std::nullopt },
            { "empty warning by text", warning("//a.c - file(s) not opened on this client."), 0, 0, "",
                std::nullopt },
            { "up to date", warning("//a.c#3 - file(s) up-to-date."), 0, 0, "", std::nullopt },
            { "other warning fails", warning("//a.c - must resolve"), 0, 0, "", "//a.c - must resolve" },
            { "error record with exit 0", R"({"data":"No files to shelve.\n","generic":0,"severity":3})", 0,
                0, "", "No files to shelve." },
            { "two errors", R"({"data":"a\n","severity":3}
{"data":"b\n","severity":4})",
                1, 0, "", "a\nb" },
            { "stderr", "", 1, 0, "Perforce client error:\n\tConnect to server failed.\n",
                "Perforce client error:\n\tConnect to server failed." },
            { "bare exit code", kOpened, 1, 0, "", "p4 exited with code 1" },
            { "signal", "", -1, 9, "", "p4 was terminated by signal 9" },
            { "stderr ignored on success", kOpened, 0, 0, "note", std::nullopt },
        };
        for (const FailureRow& row : rows)
            EXPECT_EQ(
                failureText(parseOutputLines(row.out), row.exit_code, row.signal, row.err), row.expected)
                << row.name;
        EXPECT_EQ(textFailureText(1, 0, "", " Change 5 unknown.\n"), "Change 5 unknown.");
        EXPECT_EQ(textFailureText(1, 0, "Error in change spec.\n", ""), "Error in change spec.");
        EXPECT_EQ(textFailureText(0, 0, "Change 5 created.", "warn"), std::nullopt);
    }

    TEST(Records, ReadWhatEachCommandWrites)
    {
        // opened has client syntax; revert and sync report a local path; reopen has workRev.
        std::vector<FileSpec> files = parseFileRecords(
            output({ kOpened, R"({"clientFile":"/ws/a b.c","depotFile":"//depot/a b.c","haveRev":"none"})",
                R"({"action":"edit","depotFile":"//depot/%40x.c","workRev":"5"})" }),
            true);
        ASSERT_EQ(files.size(), 3u);
        EXPECT_EQ(files[0], FileSpec(DepotPath("//depot/a.c"), ClientPath("//ws/a.c"), LocalPath(""), 3));
        EXPECT_EQ(files[1], FileSpec(DepotPath("//depot/a b.c"), ClientPath(""), LocalPath("/ws/a b.c"), 0));
        EXPECT_EQ(files[2], FileSpec(DepotPath("//depot/%40x.c"), 5));
        // Headers and totals are skipped where files are not every record.
        EXPECT_EQ(parseFileRecords(output({ R"({"change":"7","locked":"1"})", kOpened }), false).size(), 1u);

        EXPECT_EQ(
            parseShelvedFiles(output(
                { R"({"change":"42","depotFile0":"//depot/a.c","depotFile1":"//depot/%23b.c","rev0":"4","rev1":"1"})" })),
            (std::vector<FileSpec> {
                FileSpec(DepotPath("//depot/a.c"), 4), FileSpec(DepotPath("//depot/%23b.c"), 1) }));
        EXPECT_TRUE(parseShelvedFiles(output({ R"({"change":"42","desc":"x\n"})" })).empty());

        ChangeForm form = parseChangeForm(output(
            { R"({"Change":"42","Client":"ws","Description":"Line 1\nLine 2\n","Files0":"//a.c","Files1":"//b.c","Jobs0":"job1","Status":"pending","Type":"restricted","User":"al"})" }));
        EXPECT_EQ(form.change, 42);
        EXPECT_EQ(
            form.client + " " + form.user + " " + form.status + " " + form.type, "ws al pending restricted");
        EXPECT_EQ(form.files, (std::vector<std::string> { "//a.c", "//b.c" }));
        EXPECT_EQ(form.jobs, (std::vector<std::string> { "job1" }));
        EXPECT_EQ(descriptionForDisplay(form.description), "Line 1\nLine 2");
        EXPECT_EQ(descriptionForDisplay("keep\n\n"), "keep\n");

        SubmitResult result = parseSubmitResult(output({ R"({"change":"100","locked":"2"})",
            R"({"action":"add","depotFile":"//depot/n.c","rev":"1"})", R"({"submittedChange":"105"})" }));
        EXPECT_EQ(result.submitted_change_id, 105);
        EXPECT_EQ(result.files, std::vector<FileSpec> { FileSpec(DepotPath("//depot/n.c"), 1) });

        EXPECT_EQ(parseStream(output({ R"({"Client":"ws","Stream":"//streams/main"})" })), "//streams/main");
        EXPECT_EQ(parseStream(output({ R"({"Client":"ws","Root":"/w"})" })), "");
    }

    struct MalformedRow {
        const char* name;
        std::function<void(const P4Output&)> parse;
        std::string out;
    };

    TEST(Records, MalformedRecordsAreRefused)
    {
        const auto files = [](const P4Output& output) { parseFileRecords(output, true); };
        const auto shelved = [](const P4Output& output) { parseShelvedFiles(output); };
        const auto spec = [](const P4Output& output) { parseChangeForm(output); };
        const auto submit = [](const P4Output& output) { parseSubmitResult(output); };
        const auto stream = [](const P4Output& output) { parseStream(output); };
        const std::vector<MalformedRow> rows {
            { "file without depotFile", files, R"({"change":"7","locked":"1"})" },
            { "revision not a number", files, R"({"depotFile":"//a","rev":"x1"})" },
            { "revision too long", files, R"({"depotFile":"//a","rev":"12345678901"})" },
            { "describe without record", shelved, "" },
            { "describe without change", shelved, R"({"desc":"x\n","depotFile0":"//a"})" },
            { "shelved revision", shelved, R"({"change":"42","depotFile0":"//a","rev0":"four"})" },
            { "new change form", spec, R"({"Change":"new","Description":"x\n"})" },
            { "form without description", spec, R"({"Change":"42"})" },
            // Without submittedChange nothing says the submit happened.
            { "submit not reported", submit, R"({"change":"100","locked":"2"})" },
            { "no client spec", stream, "" },
            { "client spec without Client", stream, R"({"Root":"/w"})" },
        };
        for (const MalformedRow& row : rows)
            EXPECT_THROW(row.parse(output({ row.out })), P4OutputError) << row.name;
    }

    struct TicketRow {
        const char* name;
        std::string text;
        std::string user;
        std::string port;
        std::string expected;
    };

    TEST(Tickets, PicksThisUsersTicketForThisPort)
    {
        const std::string many = "localhost:1666 (al) AAAA\n"
                                 "perforce:1666 (bo) BBBB\n"
                                 "perforce:1666 (al) CCCC\n"
                                 "10.0.0.5:1777 (al) DDDD\n";
        const std::vector<TicketRow> rows {
            { "bare port is localhost", many, "al", "1666", "AAAA" },
            { "protocol prefix", many, "al", "ssl:PERFORCE:1666", "CCCC" },
            { "other user", many, "bo", "perforce:1666", "BBBB" },
            { "address reported differently", many, "al", "p4.example.com:1777", "DDDD" },
            { "no ticket for that port", many, "al", "elsewhere:2000", "" },
            { "server id key", "MASTER (al) EEEE\n", "al", "perforce:1666", "EEEE" },
            { "user case folded", "perforce:1666 (Al) FFFF\n", "al", "perforce:1666", "FFFF" },
            { "no line for user", many, "cy", "1666", "" },
            { "malformed lines skipped", "garbage\nlocalhost:1666 (al)\nlocalhost:1666 (al) GGGG\n", "al",
                "1666", "GGGG" },
        };
        for (const TicketRow& row : rows)
            EXPECT_EQ(parseTicket(row.text, row.user, row.port), row.expected) << row.name;
    }

    TEST(Arguments, PathsAndFlagsAsP4ReadsThem)
    {
        EXPECT_EQ(escapePathChars("a@b#c%d*e"), "a%40b%23c%25d%2Ae");
        EXPECT_EQ(escapePathChars("%40"), "%2540"); // % first, or it would read back as @
        EXPECT_EQ(localFileArg("/ws/数据 a@1.c"), "/ws/数据 a%401.c");
        EXPECT_EQ(localFileArg("-n.c"), "./-n.c");
        for (const std::string& bad : { std::string(), std::string("a\nb"), std::string("a\0b", 3) })
            EXPECT_THROW(localFileArg(bad), std::invalid_argument);
        EXPECT_EQ(depotFileArg(FileSpec(DepotPath("//d/a%40b.c"), 4), true), "//d/a%40b.c#4");
        EXPECT_EQ(depotFileArg(FileSpec(DepotPath("//d/a.c"), 4), false), "//d/a.c");
        EXPECT_EQ(depotFileArg(FileSpec(DepotPath("//d/a.c"), 0), true), "//d/a.c");

        EXPECT_EQ(P4Connection::flagArgs({ "-d", "", "-c", "default" }),
            (std::vector<std::string> { "-d", "-c", "default" }));
        EXPECT_THROW(P4Connection::flagArgs({ "-c" }), std::invalid_argument);
        EXPECT_THROW(P4Connection::flagArgs({ "c", "7" }), std::invalid_argument);
    }

} // namespace
} // namespace velmora
