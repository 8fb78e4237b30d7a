#include "p4v_submit_client/check_message.h"
#include "p4v_submit_client/frame_reader.h"

#include <QStringList>
#include <QtEndian>

#include <climits>

#include <gtest/gtest.h>

namespace velmora {
namespace {

    // A decoded value on one line, so that a row states a whole frame:
    // kind|RetCode|Message|pass or fail[title{path=message,...},...]
    std::string text(const CheckMessage& m)
    {
        QStringList groups;
        for (const CheckerGroup& group : m.Cr.ErrorGroups) {
            QStringList errs;
            for (const CheckerItem& item : group.Errs)
                errs << item.AssetPath + "=" + item.Message;
            groups << group.CheckerTitle + "{" + errs.join(',') + "}";
        }
        return (m.IdentificationStr + "|" + QString::number(m.RetCode) + "|" + m.Message + "|"
            + (m.Cr.Passed ? "pass[" : "fail[") + groups.join(',') + "]")
            .toStdString();
    }

    TEST(CheckMessage, BadInputLeavesDefaultsAndNeverThrows)
    {
        const char* const kNone = "|0||fail[]";
        const std::pair<QByteArray, std::string> rows[] = {
            { "", kNone },
            { R"([{"IdentificationStr":"ServerInfo"}])", kNone },
            { R"({"RetCode":7})", "|7||fail[]" },
            { R"({"RetCode":7.5})", kNone },
            { R"({"RetCode":2147483648})", kNone },
            { R"({"IdentificationStr":"serverinfo","Message":"检查中"})", "serverinfo|0|检查中|fail[]" },
            { R"({"identificationStr":"ServerInfo","Message":5})", kNone },
            { R"({"Cr":{"Passed":true}})", "|0||pass[]" },
            { R"({"Cr":{"Passed":"true"}})", kNone },
            { R"({"Cr":{"ErrorGroups":[1,{"CheckerTitle":"A"}]}})", "|0||fail[{},A{}]" },
            { R"({"Cr":{"ErrorGroups":[{"Errs":[null,{"AssetPath":"//a","Message":7},{"Message":"m"}]}]}})",
                "|0||fail[{=,//a=,=m}]" },
            { R"({"IdentificationStr":"CheckResultInfo","RetCode":3,"Message":"done","Extra":1,"Cr":{
                "ErrorGroups":[{"Errs":[{"AssetPath":"//资源/a.png","Message":"尺寸"}],"CheckerTitle":"贴图"},
                {"CheckerTitle":"B","Errs":[]}]}})",
                "CheckResultInfo|3|done|fail[贴图{//资源/a.png=尺寸},B{}]" },
        };
        for (const auto& [json, expected] : rows) {
            SCOPED_TRACE(json.toStdString());
            EXPECT_EQ(text(CheckMessage::Deserialize(json)), expected);
        }
    }

    QByteArray frame(const QByteArray& message, qint32 length = -1)
    {
        QByteArray field(4, '\0');
        qToLittleEndian<qint32>(length == -1 ? qint32(message.size()) : length, field.data());
        return field + message;
    }

    // Plays the client: appends each piece and cuts what is complete.
    struct Reader {
        QByteArray buffer;
        qint64 offset = 0;
        QList<QByteArray> frames;
        FrameCutEnd end = FrameCutEnd::LengthPending;

        void feed(const QByteArray& piece)
        {
            buffer.append(piece);
            end = cutFrames(buffer, offset, [this](QByteArrayView bytes) {
                EXPECT_EQ(bytes.data() + bytes.size(), buffer.constData() + offset);
                frames.append(bytes.toByteArray());
            });
        }
    };

    TEST(FrameReader, CutsCompleteFramesOnly)
    {
        const QByteArray a = frame("alpha");
        struct Row {
            const char* name;
            QList<QByteArray> pieces;
            QList<QByteArray> frames;
            FrameCutEnd end;
            qint64 offset;
        };
        const Row rows[] = {
            { "split inside the length", { a.left(2), a.mid(2) }, { "alpha" }, FrameCutEnd::LengthPending,
                9 },
            { "three in one piece", { a + frame("") + a }, { "alpha", "", "alpha" },
                FrameCutEnd::LengthPending, 22 },
            { "1 to 3 bytes left", { a + "xyz" }, { "alpha" }, FrameCutEnd::LengthPending, 9 },
            { "frame incomplete", { a + frame("beta").left(6) }, { "alpha" }, FrameCutEnd::FramePending, 9 },
            { "negative length stays stuck", { a + frame("", -5), a }, { "alpha" },
                FrameCutEnd::NegativeLength, 9 },
            { "lowest length", { frame("abcd", INT_MIN) }, {}, FrameCutEnd::NegativeLength, 0 },
            { "highest length waits", { frame("abc", INT_MAX) }, {}, FrameCutEnd::FramePending, 0 },
        };
        for (const Row& row : rows) {
            SCOPED_TRACE(row.name);
            Reader reader;
            for (const QByteArray& piece : row.pieces)
                reader.feed(piece);
            EXPECT_EQ(reader.frames, row.frames);
            EXPECT_EQ(reader.end, row.end);
            EXPECT_EQ(reader.offset, row.offset);
        }
    }

} // namespace
} // namespace velmora
