#include "change_form.h"
#include "p4_output.h"

#include <gtest/gtest.h>

#include <string>

namespace velmora {
namespace {

    TEST(ChangeFormText, NewChangeHasNoFilesField)
    {
        ChangeForm form;
        form.client = "ws";
        form.user = "al";
        form.status = "new";
        form.description = "<enter description here>";
        EXPECT_EQ(writeChangeForm(form),
            "Change:\tnew\n\nClient:\tws\n\nUser:\tal\n\nStatus:\tnew\n\n"
            "Description:\n\t<enter description here>\n\n");
    }

    TEST(ChangeFormText, ExistingChangeKeepsJobsAndFiles)
    {
        ChangeForm form;
        form.change = "42";
        form.status = "pending";
        form.description = "Fix";
        form.jobs = { "job000001" };
        form.files = { "//depot/a b.c", "//depot/%40x.c" };
        EXPECT_EQ(writeChangeForm(form),
            "Change:\t42\n\nStatus:\tpending\n\nDescription:\n\tFix\n\n"
            "Jobs:\n\tjob000001\n\nFiles:\n\t//depot/a b.c\n\t//depot/%40x.c\n\n");
    }

    struct DescriptionRow {
        const char* name;
        std::string description;
        std::string block; // the Description block as written
    };

    TEST(ChangeFormText, EveryDescriptionLineStaysInsideTheBlock)
    {
        const std::vector<DescriptionRow> rows {
            { "field names in column 0", "Fix\nFiles:\n\t//depot/x.c\nStatus: submitted\nChange: 1",
                "\tFix\n\tFiles:\n\t\t//depot/x.c\n\tStatus: submitted\n\tChange: 1\n" },
            { "comment marker", "#x\n# y", "\t#x\n\t# y\n" },
            { "blank lines kept", "a\n\n\nb", "\ta\n\t\n\t\n\tb\n" },
            { "CRLF and lone CR", "a\r\nb\rc", "\ta\n\tb\n\tc\n" },
            { "empty", "", "\t\n" },
            { "Chinese", "[功能] 修复提交\n第二行", "\t[功能] 修复提交\n\t第二行\n" },
        };
        for (const DescriptionRow& row : rows) {
            ChangeForm form;
            form.change = "7";
            form.description = row.description;
            EXPECT_EQ(writeChangeForm(form), "Change:\t7\n\nDescription:\n" + row.block + "\n") << row.name;
        }
    }

    TEST(ChangeFormText, OneLineFieldWithLineBreakIsRefused)
    {
        ChangeForm form;
        form.user = "al\nStatus:\tsubmitted";
        EXPECT_THROW(writeChangeForm(form), std::invalid_argument);
        ChangeForm files;
        files.files = { "//depot/a.c\nJobs:" };
        EXPECT_THROW(writeChangeForm(files), std::invalid_argument);
    }

    TEST(ChangeReply, ReadsTheNumber)
    {
        EXPECT_EQ(parseChangeReply("Change 123 created.\n", "created"), 123);
        EXPECT_EQ(parseChangeReply("Change 124 created with 2 open file(s).\n", "created"), 124);
        EXPECT_EQ(parseChangeReply("Change 7 updated.\n", "updated"), 7);
        EXPECT_THROW(parseChangeReply("Change 7 updated.\n", "created"), P4OutputError);
        EXPECT_THROW(parseChangeReply("", "created"), P4OutputError);
        EXPECT_THROW(parseChangeReply("Change new created.", "created"), P4OutputError);
        EXPECT_THROW(parseChangeReply("Change 99999999999 created.", "created"), P4OutputError);
    }

} // namespace
} // namespace velmora
