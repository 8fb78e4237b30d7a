#include "change_form.h"
#include "p4_output.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace velmora {
namespace {

    TEST(ChangeFormText, FieldsInOrderAndNoFilesForANewChange)
    {
        ChangeForm created;
        created.client = "ws";
        created.user = "al";
        created.status = "new";
        created.description = "Pending";
        EXPECT_EQ(writeChangeForm(created),
            "Change:\tnew\n\nClient:\tws\n\nUser:\tal\n\nStatus:\tnew\n\nDescription:\n\tPending\n\n");

        ChangeForm existing;
        existing.change = 42;
        existing.status = "pending";
        existing.description = "Fix";
        existing.jobs = { "job000001" };
        existing.files = { "//depot/a b.c", "//depot/%40x.c" };
        EXPECT_EQ(writeChangeForm(existing),
            "Change:\t42\n\nStatus:\tpending\n\nDescription:\n\tFix\n\n"
            "Jobs:\n\tjob000001\n\nFiles:\n\t//depot/a b.c\n\t//depot/%40x.c\n\n");

        // A line break in a one-line field or a list entry would start a field of its own.
        existing.user = "al\nStatus:\tsubmitted";
        EXPECT_THROW(writeChangeForm(existing), std::invalid_argument);
        created.files = { "//depot/a.c\nJobs:" };
        EXPECT_THROW(writeChangeForm(created), std::invalid_argument);
    }

    struct DescriptionRow {
        const char* name;
        std::string description;
        std::string block; // the Description block as written
    };

    TEST(ChangeFormText, EveryDescriptionLineStaysInsideTheBlock)
    {
        const std::vector<DescriptionRow> rows {
            { "field names in column 0", "Fix\nFiles:\n\t//depot/x.c\nStatus: submitted",
                "\tFix\n\tFiles:\n\t\t//depot/x.c\n\tStatus: submitted\n" },
            { "comment marker", "#x", "\t#x\n" },
            { "blank lines kept", "a\n\nb", "\ta\n\t\n\tb\n" },
            { "CRLF and lone CR", "a\r\nb\rc", "\ta\n\tb\n\tc\n" },
            { "empty", "", "\t\n" },
        };
        for (const DescriptionRow& row : rows) {
            ChangeForm form;
            form.change = 7;
            form.description = row.description;
            EXPECT_EQ(writeChangeForm(form), "Change:\t7\n\nDescription:\n" + row.block + "\n") << row.name;
        }
    }

    TEST(ChangeReply, ReadsTheNumber)
    {
        EXPECT_EQ(parseChangeReply("Change 124 created with 2 open file(s).\n", "created"), 124);
        EXPECT_EQ(parseChangeReply("Change 7 updated.\n", "updated"), 7);
        for (const char* bad :
            { "Change 7 updated.", "", "Change new created.", "Change 99999999999 created." })
            EXPECT_THROW(parseChangeReply(bad, "created"), P4OutputError) << bad;
    }

} // namespace
} // namespace velmora
