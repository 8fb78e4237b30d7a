#include "p4v_submit_client/check_message.h"
#include "p4v_submit_client/frame_reader.h"

#include <QStringList>
#include <QtEndian>

#include <climits>

#include <gtest/gtest.h>

namespace velmora {
namespace {

    // A decoded message on one line: kind|Message|pass or fail[title{path=message,...},...]
    std::string text(const CheckMessage& m)
    {
        QStringList groups;
        for (const CheckerGroup& group : m.Cr.ErrorGroups) {
            QStringList errs;
            for (const CheckerItem& item : group.Errs)
                errs << item.AssetPath + "=" + item.Message;
            groups << group.CheckerTitle + "{" + errs.join(',') + "}";
        }
        return (m.IdentificationStr + "|" + m.Message + "|" + (m.Cr.Passed ? "pass[" : "fail[")
            + groups.join(',') + "]")
            .toStdString();
    }

    TEST(CheckMessage, BadInputLeavesDefaultsAndNeverThrows)
    {
        const std::pair<QByteArray, std::string> rows[] = {
            { "", "||fail[]" },
            { R"([{"IdentificationStr":"ServerInfo"}])", "||fail[]" },
            { R"({"IdentificationStr":"serverinfo","Message":"检查中"})", "serverinfo|检查中|fail[]" },
            { R"({"identificationStr":"ServerInfo","Message":5})", "||fail[]" },
            { R"({"Cr":{"Passed":"true"}})", "||fail[]" },
            { R"({"Cr":{"Passed":true,"ErrorGroups":{"CheckerTitle":"A"}}})", "||pass[]" },
            { R"({"Cr":{"ErrorGroups":[1,{"CheckerTitle":"A"}]}})", "||fail[{},A{}]" },
            { R"({"Cr":{"ErrorGroups":[{"Errs":[null,{"AssetPath":"//a","Message":7},{"Message":"m"}]}]}})",
                "||fail[{=,//a=,=m}]" },
            { R"({"IdentificationStr":"CheckResultInfo","Message":"done","Extra":1,"Cr":{"ErrorGroups":[
                {"Errs":[{"AssetPath":"//资源/a.png","Message":"尺寸"}],"CheckerTitle":"贴图"},{"CheckerTitle":"B"}]}})",
                "CheckResultInfo|done|fail[贴图{//资源/a.png=尺寸},B{}]" },
        };
        for (const auto& [json, expected] : rows)
            EXPECT_EQ(text(CheckMessage::Deserialize(json)), expected) << json.toStdString();
    }

    QByteArray frame(const QByteArray& message, qint32 length = -1)
    {
        QByteArray field(4, '\0');
        qToLittleEndian<qint32>(length == -1 ? qint32(message.size()) : length, field.data());
        return field + message;
    }

    // Pieces are the client tests' business; here one buffer and the lengths at their bounds.
    TEST(FrameReader, CutsCompleteFramesOnly)
    {
        const QByteArray a = frame("alpha");
        const std::tuple<QByteArray, QList<QByteArray>, FrameCutEnd, qint64> rows[] = {
            { a.left(3), {}, FrameCutEnd::LengthPending, 0 },
            { a + frame("") + a + "xyz", { "alpha", "", "alpha" }, FrameCutEnd::LengthPending, 22 },
            { a + frame("beta").left(6), { "alpha" }, FrameCutEnd::FramePending, 9 },
            { a + frame("", -5) + a, { "alpha" }, FrameCutEnd::NegativeLength, 9 },
            { frame("abcd", INT_MIN), {}, FrameCutEnd::NegativeLength, 0 },
            { frame("abc", INT_MAX), {}, FrameCutEnd::FramePending, 0 },
        };
        for (const auto& [buffer, frames, end, offset] : rows) {
            qint64 at = 0;
            QList<QByteArray> cut;
            EXPECT_EQ(cutFrames(buffer, at,
                          [&](QByteArrayView bytes) {
                              EXPECT_EQ(bytes.data() + bytes.size(),
                                  buffer.constData() + at); // the offset is behind it
                              cut.append(bytes.toByteArray());
                          }),
                end);
            EXPECT_EQ(cut, frames);
            EXPECT_EQ(at, offset);
        }
    }

} // namespace
} // namespace velmora
