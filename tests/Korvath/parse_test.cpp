#include "change_form.h"
#include "p4_connection.h"
#include "p4_output.h"
#include "path_arg.h"
#include "record_parser.h"

#include <gtest/gtest.h>

#include <functional>
#include <initializer_list>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

namespace velmora {
namespace {

    // Lines as `p4 -ztag -Mj` writes them.
    const std::string kOpened
        = R"({"action":"edit","clientFile":"//ws/a.c","depotFile":"//depot/a.c","rev":"3"})";
    const std::string kNotOpened
        = R"({"data":"File(s) not opened on this client.\n","generic":17,"severity":2})";

    P4Output output(std::initializer_list<std::string> lines)
    {
        std::string text;
        for (const std::string& line : lines)
            text += line + "\n";
        return parseOutputLines(text);
    }

    TEST(OutputLines, SplitsRecordsInfosAndMessages)
    {
        P4Output split = output({ kOpened, R"({"data":"Change 123 created.","level":0})", "", kNotOpened,
            R"({"data":"Change 9 unknown.\n","generic":2,"severity":3})" });
        ASSERT_EQ(split.records.size(), 1u);
        EXPECT_EQ(split.infos, std::vector<std::string> { "Change 123 created." });
        ASSERT_EQ(split.messages.size(), 2u);
        EXPECT_EQ(split.messages[0].severity * 100 + split.messages[0].generic, 217);
        EXPECT_EQ(split.messages[1].text, "Change 9 unknown.");
    }

    TEST(FailureText, DecidesBetweenEmptyResultAndFailure)
    {
        // Output, exit code, signal, standard error, and the failure reported.
        const std::vector<std::tuple<std::string, int, int, std::string, std::optional<std::string>>> rows {
            { kNotOpened, 0, 0, "", std::nullopt },
            { R"({"data":"//a.c#3 - file(s) up-to-date.\n","generic":0,"severity":2})", 0, 0, "",
                std::nullopt },
            { R"({"data":"//a.c - must resolve\n","generic":0,"severity":2})", 0, 0, "",
                "//a.c - must resolve" },
            { R"({"data":"No files to shelve.\n","generic":0,"severity":3})", 0, 0, "",
                "No files to shelve." },
            { "", 1, 0, "Perforce client error:\n\tConnect failed.\n",
                "Perforce client error:\n\tConnect failed." },
            { kOpened, 1, 0, "", "p4 exited with code 1" },
            { "", -1, 9, "", "p4 was terminated by signal 9" },
            { kOpened, 0, 0, "note", std::nullopt },
        };
        for (const auto& [out, exit_code, signal, err, expected] : rows)
            EXPECT_EQ(failureText(parseOutputLines(out), exit_code, signal, err), expected) << out << err;
        EXPECT_EQ(textFailureText(1, 0, "out", " Change 5 unknown.\n"), "Change 5 unknown.");
        EXPECT_EQ(textFailureText(1, 0, "Error in change spec.\n", ""), "Error in change spec.");
    }

    // The fields a saved form is rewritten from.
    TEST(Records, ChangeForm)
    {
        ChangeForm form = parseChangeForm(output(
            { R"({"Change":"42","Client":"ws","Description":"Line 1\n","Files0":"//a.c","Files1":"//b.c","Jobs0":"job1","Status":"pending","Type":"restricted","User":"al"})" }));
        EXPECT_EQ(std::to_string(form.change) + form.client + form.user + form.status + form.type,
            "42wsalpendingrestricted");
        EXPECT_EQ(form.files, (std::vector<std::string> { "//a.c", "//b.c" }));
        EXPECT_EQ(form.jobs, (std::vector<std::string> { "job1" }));
    }

    // Output that does not say what the caller relies on is a failure, never an empty result.
    TEST(Records, MalformedOutputIsRefused)
    {
        using Parse = std::function<void(const P4Output&)>;
        const std::vector<std::pair<Parse, std::vector<std::string>>> cases {
            { [](const P4Output& out) { parseFileRecords(out, true); },
                { "Change 5 created.", "[1,2]", R"({"data":"x","severity":"high"})", R"({"severity":3})",
                    R"({"change":"7","locked":"1"})", R"({"depotFile":"//a","rev":"x1"})",
                    R"({"depotFile":"//a","rev":"12345678901"})" } },
            { [](const P4Output& out) { parseShelvedFiles(out); },
                { R"({"desc":"x\n","depotFile0":"//a"})",
                    R"({"change":"42","depotFile0":"//a","rev0":"four"})" } },
            { [](const P4Output& out) { parseChangeForm(out); }, { R"({"Change":"42"})" } },
            { [](const P4Output& out) { parseSubmitResult(out); }, { R"({"change":"100","locked":"2"})" } },
            { [](const P4Output& out) { parseStream(out); }, { R"({"Root":"/w"})" } },
        };
        for (const auto& [parse, lines] : cases) {
            for (const std::string& line : lines)
                EXPECT_THROW(parse(output({ line })), P4OutputError) << line;
        }
    }

    TEST(Tickets, PicksThisUsersTicketForThisPort)
    {
        const std::string many = "localhost:1666 (al) AAAA\nperforce:1666 (bo) BBBB\n"
                                 "perforce:1666 (al) CCCC\n10.0.0.5:1777 (al) DDDD\n";
        // Ticket file, port, the ticket picked for user al.
        for (const auto& [text, port, expected] :
            std::vector<std::tuple<std::string, std::string, std::string>> { { many, "1666", "AAAA" },
                { many, "ssl:PERFORCE:1666", "CCCC" },
                { many, "p4.example.com:1777", "DDDD" }, // the address as the server reported it
                { many, "elsewhere:2000", "" },
                { "MASTER (al) EEEE\n", "perforce:1666", "EEEE" }, // the server's id
                { "perforce:1666 (Al) FFFF\n", "perforce:1666", "FFFF" },
                { "garbage\nlocalhost:1666 (al)\nlocalhost:1666 (al) GGGG\n", "1666", "GGGG" } })
            EXPECT_EQ(parseTicket(text, "al", port), expected) << port;
    }

    TEST(Arguments, PathsFlagsAndFormsAsP4ReadsThem)
    {
        EXPECT_EQ(escapePathChars("a@b#c%d*e%40"), "a%40b%23c%25d%2Ae%2540");
        EXPECT_EQ(localFileArg("-n.c"), "./-n.c");
        for (const std::string& bad : { std::string(), std::string("a\nb"), std::string("a\0b", 3) })
            EXPECT_THROW(localFileArg(bad), std::invalid_argument);
        EXPECT_EQ(P4Connection::flagArgs({ "-d", "", "-c", "default" }),
            (std::vector<std::string> { "-d", "-c", "default" }));
        EXPECT_THROW(P4Connection::flagArgs({ "-c" }), std::invalid_argument);
        EXPECT_THROW(P4Connection::flagArgs({ "c", "7" }), std::invalid_argument);

        // A line break in a one-line field or a list entry would start a field of its own.
        ChangeForm form;
        form.user = "al\nStatus:\tsubmitted";
        EXPECT_THROW(writeChangeForm(form), std::invalid_argument);
        form.user = "al";
        form.files = { "//depot/a.c\nJobs:" };
        EXPECT_THROW(writeChangeForm(form), std::invalid_argument);

        EXPECT_EQ(parseChangeReply("Change 124 created with 2 open file(s).\n", "created"), 124);
        for (const char* bad : { "Change 7 updated.", "Change new created.", "Change 99999999999 created." })
            EXPECT_THROW(parseChangeReply(bad, "created"), P4OutputError) << bad;
    }

} // namespace
} // namespace velmora
