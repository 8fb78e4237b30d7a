#include "p4_connection.h"
#include "p4_output.h"
#include "path_arg.h"
#include "record_parser.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace velmora {
namespace {

    // Lines as `p4 -ztag -Mj` writes them.
    const char* const kOpenedLine
        = R"({"action":"edit","change":"123","client":"ws","clientFile":"//ws/a.c","depotFile":"//depot/a.c","haveRev":"3","rev":"3","type":"text","user":"al"})";
    const char* const kNotOpened
        = R"({"data":"File(s) not opened on this client.\n","generic":17,"severity":2})";

    TEST(OutputLines, SplitsRecordsInfosAndMessages)
    {
        std::string out = std::string(kOpenedLine) + "\n" + R"({"data":"Change 123 created.","level":0})"
            + "\n\n" + kNotOpened + "\n" + R"({"data":"Change 9 unknown.\n","generic":2,"severity":3})";
        P4Output output = parseOutputLines(out);
        ASSERT_EQ(output.records.size(), 1u);
        EXPECT_EQ(output.records[0]["depotFile"], "//depot/a.c");
        ASSERT_EQ(output.infos.size(), 1u);
        EXPECT_EQ(output.infos[0], "Change 123 created.");
        ASSERT_EQ(output.messages.size(), 2u);
        EXPECT_EQ(output.messages[0].severity, 2);
        EXPECT_EQ(output.messages[0].generic, 17);
        EXPECT_EQ(output.messages[0].text, "File(s) not opened on this client.");
        EXPECT_EQ(output.messages[1].text, "Change 9 unknown.");
    }

    TEST(OutputLines, RejectsWhatIsNotOneObjectPerLine)
    {
        for (const char* bad : { "Change 5 created.", "[1,2]", R"({"depotFile":)", "\"text\"",
                 R"({"data":"x","severity":"high"})", R"({"severity":3})" }) {
            EXPECT_THROW(parseOutputLines(std::string(kOpenedLine) + "\n" + bad), P4OutputError) << bad;
        }
        EXPECT_TRUE(parseOutputLines("").records.empty());
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
            { "empty warning by text",
                R"({"data":"//a.c - file(s) not opened on this client.\n","generic":0,"severity":2})", 0, 0,
                "", std::nullopt },
            { "revert not in change",
                R"({"data":"//a.c - file(s) not opened in that changelist.\n","generic":0,"severity":2})", 0,
                0, "", std::nullopt },
            { "up to date", R"({"data":"//a.c#3 - file(s) up-to-date.\n","generic":0,"severity":2})", 0, 0,
                "", std::nullopt },
            { "other warning fails",
                R"({"data":"//a.c - must resolve before submitting\n","generic":0,"severity":2})", 0, 0, "",
                std::string("//a.c - must resolve before submitting") },
            { "error record", R"({"data":"Change 99 unknown.\n","generic":2,"severity":3})", 1, 0, "",
                std::string("Change 99 unknown.") },
            { "error record with exit 0", R"({"data":"No files to shelve.\n","generic":0,"severity":3})", 0,
                0, "", std::string("No files to shelve.") },
            { "two errors",
                R"({"data":"a\n","generic":0,"severity":3})"
                "\n"
                R"({"data":"b\n","generic":0,"severity":4})",
                1, 0, "", std::string("a\nb") },
            { "connection failure on stderr", "", 1, 0,
                "Perforce client error:\n\tConnect to server failed; check $P4PORT.\n\tTCP connect to x:1 "
                "failed.\n",
                std::string("Perforce client error:\n\tConnect to server failed; check $P4PORT.\n\tTCP "
                            "connect to x:1 failed.") },
            { "bare exit code", kOpenedLine, 1, 0, "", std::string("p4 exited with code 1") },
            { "signal", "", -1, 9, "", std::string("p4 was terminated by signal 9") },
            { "stderr ignored on success", kOpenedLine, 0, 0, "note", std::nullopt },
        };
        for (const FailureRow& row : rows) {
            P4Output output = parseOutputLines(row.out);
            EXPECT_EQ(failureText(output, row.exit_code, row.signal, row.err), row.expected) << row.name;
        }
        EXPECT_EQ(textFailureText(1, 0, "", " Change 5 unknown.\n"),
            std::optional<std::string>("Change 5 unknown."));
        EXPECT_EQ(textFailureText(1, 0, "Error in change spec.\n", ""),
            std::optional<std::string>("Error in change spec."));
        EXPECT_EQ(textFailureText(0, 0, "Change 5 created.", "warn"), std::nullopt);
    }

    TEST(Revision, ParsesNumbersAndNone)
    {
        EXPECT_EQ(parseRevision("3"), 3);
        EXPECT_EQ(parseRevision("none"), 0);
        EXPECT_EQ(parseRevision(""), 0);
        for (const char* bad : { "abc", "-1", "3a", "12345678901", "head" })
            EXPECT_THROW(parseRevision(bad), P4OutputError) << bad;
    }

    TEST(FileRecords, ReadEachCommandsShape)
    {
        P4Output opened = parseOutputLines(kOpenedLine);
        std::vector<FileSpec> files = parseFileRecords(opened, true);
        ASSERT_EQ(files.size(), 1u);
        EXPECT_EQ(files[0], FileSpec(DepotPath("//depot/a.c"), ClientPath("//ws/a.c"), LocalPath(""), 3));

        // revert and sync report clientFile as a local path; reopen has workRev.
        P4Output mixed = parseOutputLines(
            R"({"action":"reverted","clientFile":"/home/al/ws/a b.c","depotFile":"//depot/a b.c","haveRev":"3","oldAction":"edit"})"
            "\n"
            R"({"action":"abandoned","clientFile":"/home/al/ws/n.c","depotFile":"//depot/n.c","haveRev":"none","oldAction":"add"})"
            "\n"
            R"({"action":"edit","change":"7","depotFile":"//depot/%40x.c","workRev":"5"})");
        files = parseFileRecords(mixed, true);
        ASSERT_EQ(files.size(), 3u);
        EXPECT_EQ(files[0],
            FileSpec(DepotPath("//depot/a b.c"), ClientPath(""), LocalPath("/home/al/ws/a b.c"), 3));
        EXPECT_EQ(files[1].GetRevision(), 0);
        EXPECT_EQ(files[2].GetDepotPath().GetPath(), "//depot/%40x.c");
        EXPECT_EQ(files[2].GetRevision(), 5);
    }

    TEST(FileRecords, RecordWithoutDepotFile)
    {
        P4Output output = parseOutputLines(R"({"change":"7","locked":"1"})"
                                           "\n"
            + std::string(kOpenedLine));
        EXPECT_THROW(parseFileRecords(output, true), P4OutputError);
        EXPECT_EQ(parseFileRecords(output, false).size(), 1u);
        EXPECT_THROW(
            parseFileRecords(parseOutputLines(R"({"depotFile":"//a","rev":"x1"})"), true), P4OutputError);
    }

    TEST(Describe, ReadsIndexedShelvedFiles)
    {
        P4Output output = parseOutputLines(
            R"({"action0":"edit","action1":"add","change":"42","changeType":"public","client":"ws","desc":"Fix\n","depotFile0":"//depot/a.c","depotFile1":"//depot/%23b.c","digest0":"D4","fileSize0":"10","rev0":"4","rev1":"1","shelved":"","status":"pending","time":"1704067200","type0":"text","type1":"text","user":"al"})");
        std::vector<FileSpec> files = parseShelvedFiles(output);
        ASSERT_EQ(files.size(), 2u);
        EXPECT_EQ(files[0], FileSpec(DepotPath("//depot/a.c"), 4));
        EXPECT_EQ(files[1], FileSpec(DepotPath("//depot/%23b.c"), 1));

        EXPECT_TRUE(parseShelvedFiles(parseOutputLines(R"({"change":"42","desc":"x\n","status":"pending"})"))
                        .empty());
        EXPECT_THROW(parseShelvedFiles(parseOutputLines("")), P4OutputError);
        EXPECT_THROW(
            parseShelvedFiles(parseOutputLines(R"({"desc":"x\n","depotFile0":"//a"})")), P4OutputError);
        EXPECT_THROW(
            parseShelvedFiles(parseOutputLines(R"({"change":"42","depotFile0":"//a","rev0":"four"})")),
            P4OutputError);
    }

    TEST(ChangeSpecRecord, ReadsFormFieldsAndLists)
    {
        P4Output output = parseOutputLines(
            R"({"Change":"42","Client":"ws","Date":"2024/01/01 00:00:00","Description":"Line 1\nLine 2\n","Files0":"//depot/a.c","Files1":"//depot/b.c","Jobs0":"job000001","Status":"pending","Type":"restricted","User":"al"})");
        ChangeSpec spec = parseChangeSpec(output);
        EXPECT_EQ(spec.change, 42);
        EXPECT_EQ(spec.client, "ws");
        EXPECT_EQ(spec.user, "al");
        EXPECT_EQ(spec.status, "pending");
        EXPECT_EQ(spec.type, "restricted");
        EXPECT_EQ(spec.description, "Line 1\nLine 2\n");
        EXPECT_EQ(spec.files, (std::vector<std::string> { "//depot/a.c", "//depot/b.c" }));
        EXPECT_EQ(spec.jobs, (std::vector<std::string> { "job000001" }));
        EXPECT_EQ(descriptionForDisplay(spec.description), "Line 1\nLine 2");
        EXPECT_EQ(descriptionForDisplay("keep\n\n"), "keep\n");

        EXPECT_THROW(
            parseChangeSpec(parseOutputLines(R"({"Change":"new","Description":"x\n"})")), P4OutputError);
        EXPECT_THROW(parseChangeSpec(parseOutputLines(R"({"Change":"42"})")), P4OutputError);
        EXPECT_THROW(parseChangeSpec(parseOutputLines("")), P4OutputError);
    }

    TEST(Submit, ReadsFinalNumberAndFiles)
    {
        P4Output output = parseOutputLines(R"({"change":"100","locked":"2"})"
                                           "\n"
                                           R"({"action":"edit","depotFile":"//depot/a.c","rev":"4"})"
                                           "\n"
                                           R"({"action":"add","depotFile":"//depot/n.c","rev":"1"})"
                                           "\n"
                                           R"({"submittedChange":"105"})");
        SubmitResult result = parseSubmitResult(output);
        EXPECT_EQ(result.submitted_change_id, 105);
        ASSERT_EQ(result.files.size(), 2u);
        EXPECT_EQ(result.files[0], FileSpec(DepotPath("//depot/a.c"), 4));
        EXPECT_EQ(result.files[1], FileSpec(DepotPath("//depot/n.c"), 1));

        // Without submittedChange nothing says the submit happened.
        EXPECT_THROW(parseSubmitResult(parseOutputLines(R"({"change":"100","locked":"2"})")), P4OutputError);
        EXPECT_THROW(parseSubmitResult(parseOutputLines(R"({"submittedChange":""})")), P4OutputError);
    }

    TEST(Stream, PresentOnlyForStreamWorkspaces)
    {
        EXPECT_EQ(parseStream(parseOutputLines(R"({"Client":"ws","Root":"/w","Stream":"//streams/main"})")),
            "//streams/main");
        EXPECT_EQ(parseStream(parseOutputLines(R"({"Client":"ws","Root":"/w"})")), "");
        EXPECT_THROW(parseStream(parseOutputLines("")), P4OutputError);
        EXPECT_THROW(parseStream(parseOutputLines(R"({"Root":"/w"})")), P4OutputError);
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
            { "host and port", many, "al", "perforce:1666", "CCCC" },
            { "protocol prefix", many, "al", "ssl:PERFORCE:1666", "CCCC" },
            { "other user", many, "bo", "perforce:1666", "BBBB" },
            { "address reported differently", many, "al", "p4.example.com:1777", "DDDD" },
            { "no ticket for that port", many, "al", "elsewhere:2000", "" },
            { "server id key", "MASTER (al) EEEE\n", "al", "perforce:1666", "EEEE" },
            { "user case folded", "perforce:1666 (Al) FFFF\n", "al", "perforce:1666", "FFFF" },
            { "no ticket", "", "al", "1666", "" },
            { "no line for user", many, "cy", "1666", "" },
            { "malformed lines skipped", "garbage\nlocalhost:1666 (al)\nlocalhost:1666 (al) GGGG\n", "al",
                "1666", "GGGG" },
        };
        for (const TicketRow& row : rows)
            EXPECT_EQ(parseTicket(row.text, row.user, row.port), row.expected) << row.name;
        EXPECT_EQ(ticketKeyForPort("tcp:host:1666"), "host:1666");
        EXPECT_EQ(ticketKeyForPort("1666"), "localhost:1666");
    }

    TEST(PathArgs, EscapeWhatP4Reads)
    {
        EXPECT_EQ(escapePathChars("a@b#c%d*e"), "a%40b%23c%25d%2Ae");
        EXPECT_EQ(escapePathChars("%40"), "%2540"); // % first, or it would read back as @
        EXPECT_EQ(escapePathChars("dir with blank/数据.txt"), "dir with blank/数据.txt");
        EXPECT_EQ(localFileArg("/ws/a@1.c"), "/ws/a%401.c");
        EXPECT_EQ(localFileArg("-n.c"), "./-n.c");
        EXPECT_THROW(localFileArg(""), std::invalid_argument);
        EXPECT_THROW(localFileArg("a\nb"), std::invalid_argument);
        EXPECT_THROW(localFileArg(std::string("a\0b", 3)), std::invalid_argument);
        EXPECT_EQ(depotFileArg(FileSpec(DepotPath("//d/a%40b.c"), 4), true), "//d/a%40b.c#4");
        EXPECT_EQ(depotFileArg(FileSpec(DepotPath("//d/a.c"), 4), false), "//d/a.c");
        EXPECT_EQ(depotFileArg(FileSpec(DepotPath("//d/a.c"), 0), true), "//d/a.c");
    }

    TEST(Options, FlagPairsBecomeArguments)
    {
        EXPECT_EQ(P4Connection::flagArgs({ "-c", "7" }), (std::vector<std::string> { "-c", "7" }));
        EXPECT_EQ(P4Connection::flagArgs({ "-d", "", "-c", "default" }),
            (std::vector<std::string> { "-d", "-c", "default" }));
        EXPECT_EQ(P4Connection::flagArgs({ "-f", "" }), (std::vector<std::string> { "-f" }));
        EXPECT_TRUE(P4Connection::flagArgs({}).empty());
        EXPECT_THROW(P4Connection::flagArgs({ "-c" }), std::invalid_argument);
        EXPECT_THROW(P4Connection::flagArgs({ "c", "7" }), std::invalid_argument);
        EXPECT_THROW(P4Connection::flagArgs({ "-", "7" }), std::invalid_argument);
    }

} // namespace
} // namespace velmora
