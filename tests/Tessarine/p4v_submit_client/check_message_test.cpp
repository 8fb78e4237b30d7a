#include "check_message_compare.h"
#include "literal_decoder.h"

#include "p4v_submit_client/check_message.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QStringList>

#include <gtest/gtest.h>

#include <random>
#include <type_traits>
#include <vector>

using namespace velmora;
using check_test::group;
using check_test::item;
using check_test::message;
using check_test::result;

namespace {

struct MessageRow {
    const char* name;
    QByteArray json;
    CheckMessage expected;
};

void PrintTo(const MessageRow& row, std::ostream* out)
{
    *out << row.name;
}

QString u8(const char* text)
{
    return QString::fromUtf8(text);
}

const CheckMessage kDefaults;

std::vector<MessageRow> messageRows()
{
    const CheckResult result_a = result(false, {group("A", {})});
    return {
        // Frames that carry nothing usable.
        {"EmptyFrame", "", kDefaults},
        {"EmptyObject", "{}", kDefaults},
        {"LoneOpeningBrace", "{", kDefaults},
        {"NotJson", "hello, world", kDefaults},
        {"TopLevelArray", R"([{"IdentificationStr":"ServerInfo","Message":"m"}])", kDefaults},
        {"TopLevelString", R"("ServerInfo")", kDefaults},
        {"TrailingGarbage", R"({"IdentificationStr":"ServerInfo"} x)", kDefaults},
        {"InvalidUtf8InString", "{\"IdentificationStr\":\"ServerInfo\",\"Message\":\"a\xff\"}", kDefaults},
        {"NestingBeyondParserLimit", "{\"Cr\":" + QByteArray(5000, '[') + QByteArray(5000, ']') + "}", kDefaults},
        // RetCode: a whole number within int, else 0.
        {"RetCodeSeven", R"({"RetCode":7})", message({}, 7, {})},
        {"RetCodeMinusSeven", R"({"RetCode":-7})", message({}, -7, {})},
        {"RetCodeSevenPointZero", R"({"RetCode":7.0})", message({}, 7, {})},
        {"RetCodeExponent", R"({"RetCode":0.7e1})", message({}, 7, {})},
        {"RetCodeFraction", R"({"RetCode":7.5})", kDefaults},
        {"RetCodeIntMax", R"({"RetCode":2147483647})", message({}, 2147483647, {})},
        {"RetCodeIntMin", R"({"RetCode":-2147483648})", message({}, -2147483647 - 1, {})},
        {"RetCodeAboveIntMax", R"({"RetCode":2147483648})", kDefaults},
        {"RetCodeBelowIntMin", R"({"RetCode":-2147483649})", kDefaults},
        {"RetCodeString", R"({"RetCode":"7"})", kDefaults},
        {"RetCodeBool", R"({"RetCode":true})", kDefaults},
        {"RetCodeNull", R"({"RetCode":null})", kDefaults},
        // Strings: only JSON strings count; kinds and keys are case-sensitive.
        {"ServerInfoLine", R"({"IdentificationStr":"ServerInfo","Message":"[1]检查中..."})",
         message("ServerInfo", 0, u8("[1]检查中..."))},
        {"KindInLowerCaseKept", R"({"IdentificationStr":"serverinfo","Message":"m"})",
         message("serverinfo", 0, "m")},
        {"KeyInOtherCaseIgnored", R"({"identificationStr":"ServerInfo","message":"m"})", kDefaults},
        {"MessageNumber", R"({"IdentificationStr":"ServerInfo","Message":5})", message("ServerInfo", 0, {})},
        {"MessageNull", R"({"Message":null})", kDefaults},
        {"MessageObject", R"({"Message":{"a":"b"}})", kDefaults},
        {"EscapesAndNul", R"({"Message":"a\"b\\c\nd\u0000e\ud83d\ude00"})",
         message({}, 0, QString::fromUtf16(u"a\"b\\c\nd\0e\U0001F600", 11))},
        {"UnknownKeysIgnored", R"({"Extra":1,"IdentificationStr":"X","Other":{"Passed":true}})", message("X", 0, {})},
        // Passed: only a JSON bool.
        {"PassedTrue", R"({"Cr":{"Passed":true}})", message({}, 0, {}, result(true, {}))},
        {"PassedStringTrue", R"({"Cr":{"Passed":"true"}})", kDefaults},
        {"PassedNumberOne", R"({"Cr":{"Passed":1}})", kDefaults},
        {"PassedLowerCaseKey", R"({"Cr":{"passed":true}})", kDefaults},
        // Cr: only an object.
        {"CrArray", R"({"Cr":[{"Passed":true}]})", kDefaults},
        {"CrNull", R"({"Cr":null})", kDefaults},
        {"CrString", R"({"Cr":"{\"Passed\":true}"})", kDefaults},
        // Arrays: every element yields one entry; non-objects give defaults.
        {"ErrorGroupsObject", R"({"Cr":{"Passed":true,"ErrorGroups":{"CheckerTitle":"A"}}})",
         message({}, 0, {}, result(true, {}))},
        {"ErrorGroupsNumberThenObject", R"({"Cr":{"ErrorGroups":[1,{"CheckerTitle":"A"}]}})",
         message({}, 0, {}, result(false, {group({}, {}), group("A", {})}))},
        {"ErrorGroupsEveryNonObject", R"({"Cr":{"ErrorGroups":[null,"x",[],true]}})",
         message({}, 0, {}, result(false, {CheckerGroup{}, CheckerGroup{}, CheckerGroup{}, CheckerGroup{}}))},
        {"ErrsObjectIgnored", R"({"Cr":{"ErrorGroups":[{"CheckerTitle":"A","Errs":{"Message":"m"}}]}})",
         message({}, 0, {}, result_a)},
        {"ItemWithoutAssetPath", R"({"Cr":{"ErrorGroups":[{"CheckerTitle":"A","Errs":[{"Message":"m"}]}]}})",
         message({}, 0, {}, result(false, {group("A", {item({}, "m")})}))},
        {"ErrsMixed", R"({"Cr":{"ErrorGroups":[{"Errs":[null,{"AssetPath":"//a","Message":7},{"AssetPath":"//b"}]}]}})",
         message({}, 0, {}, result(false, {group({}, {CheckerItem{}, item("//a", {}), item("//b", {})})}))},
        {"FullResult",
         u8(R"({"IdentificationStr":"CheckResultInfo","RetCode":3,"Message":"done","Cr":{"Passed":false,
            "ErrorGroups":[{"CheckerTitle":"贴图检查","Errs":[{"AssetPath":"//资源/a.png","Message":"尺寸错误"},
            {"AssetPath":"","Message":"m2"}]},{"CheckerTitle":"B","Errs":[]}]}})").toUtf8(),
         message("CheckResultInfo", 3, "done",
                 result(false, {group(u8("贴图检查"), {item(u8("//资源/a.png"), u8("尺寸错误")), item("", "m2")}),
                                group("B", {})}))},
    };
}

class CheckMessageDecoding : public testing::TestWithParam<MessageRow> {};

TEST_P(CheckMessageDecoding, GivesExpectedValueWithoutThrowing)
{
    const MessageRow& row = GetParam();
    CheckMessage decoded;
    ASSERT_NO_THROW(decoded = CheckMessage::Deserialize(row.json));
    EXPECT_EQ(decoded, row.expected);
    // The product decoder hands nested objects down already parsed; it must
    // agree with writing them out and parsing them again.
    EXPECT_EQ(decoded, check_test::literalDecodeMessage(row.json));
}

INSTANTIATE_TEST_SUITE_P(Rows, CheckMessageDecoding, testing::ValuesIn(messageRows()),
                         [](const testing::TestParamInfo<MessageRow>& info) { return std::string(info.param.name); });

TEST(CheckMessageKinds, KindsCompareExactly)
{
    EXPECT_EQ(CheckMessage::Deserialize(R"({"IdentificationStr":"ServerInfo"})").IdentificationStr, kServerInfoKind);
    EXPECT_EQ(CheckMessage::Deserialize(R"({"IdentificationStr":"CheckResultInfo"})").IdentificationStr,
              kCheckResultInfoKind);
    EXPECT_NE(CheckMessage::Deserialize(R"({"IdentificationStr":"serverinfo"})").IdentificationStr, kServerInfoKind);
    EXPECT_NE(CheckMessage::Deserialize(R"({"IdentificationStr":"ServerInfo "})").IdentificationStr, kServerInfoKind);
}

// The nested decoders are public too and follow the same rules on their own.
TEST(NestedDecoders, DecodeTheirOwnObjects)
{
    EXPECT_EQ(CheckResult::Deserialize(R"({"Passed":true,"ErrorGroups":[{"CheckerTitle":"A"}]})"),
              result(true, {group("A", {})}));
    EXPECT_EQ(CheckResult::Deserialize(R"([{"Passed":true}])"), CheckResult{});
    EXPECT_EQ(CheckResult::Deserialize(""), CheckResult{});

    // CheckerTitle is read before Errs although Errs is declared first; both land.
    EXPECT_EQ(CheckerGroup::Deserialize(R"({"Errs":[{"AssetPath":"p","Message":"m"},2],"CheckerTitle":"T"})"),
              group("T", {item("p", "m"), CheckerItem{}}));
    EXPECT_EQ(CheckerGroup::Deserialize(R"({"CheckerTitle":["T"]})"), CheckerGroup{});

    EXPECT_EQ(CheckerItem::Deserialize(R"({"AssetPath":"//depot/x y.txt","Message":"m"})"),
              item("//depot/x y.txt", "m"));
    EXPECT_EQ(CheckerItem::Deserialize(R"({"AssetPath":null,"Message":"m"})"), item({}, "m"));
    EXPECT_EQ(CheckerItem::Deserialize("{"), CheckerItem{});
}

TEST(ValueTypes, DefaultsAndPlainValueSemantics)
{
    static_assert(std::is_nothrow_move_constructible_v<CheckResult>);
    static_assert(std::is_copy_assignable_v<CheckMessage>);
    static_assert(!std::is_polymorphic_v<CheckMessage>);
    static_assert(std::is_aggregate_v<CheckerGroup>);

    const CheckMessage message;
    EXPECT_TRUE(message.IdentificationStr.isEmpty());
    EXPECT_EQ(message.RetCode, 0);
    EXPECT_TRUE(message.Message.isEmpty());
    EXPECT_FALSE(message.Cr.Passed);
    EXPECT_TRUE(message.Cr.ErrorGroups.isEmpty());

    // A copy is independent of the original once either side changes.
    CheckResult original = result(false, {group("A", {item("p", "m")})});
    const CheckResult copy = original;
    original.ErrorGroups[0].Errs[0].Message = "changed";
    original.Passed = true;
    EXPECT_EQ(copy, result(false, {group("A", {item("p", "m")})}));
}

// Random documents from a small grammar that mixes the right keys with wrong
// types, nulls and odd strings, checked against the re-parsing decoder.
class RandomDocuments {
public:
    explicit RandomDocuments(unsigned seed) : random_(seed) {}

    QByteArray next()
    {
        QJsonObject frame = object({"IdentificationStr", "RetCode", "Message", "Cr", "cr", "Extra"}, 0);
        return QJsonDocument(frame).toJson(pick(2) ? QJsonDocument::Compact : QJsonDocument::Indented);
    }

private:
    QJsonValue scalar()
    {
        switch (pick(9)) {
        case 0: return QJsonValue();
        case 1: return QJsonValue(pick(2) == 0);
        case 2: return QJsonValue(int(random_()) % 1000);
        case 3: return QJsonValue(double(random_() % 100000) / 8.0);
        case 4: return QJsonValue(3e10);
        case 5: return QString::fromUtf16(u"\xd800 lone");
        case 6: return QString::fromUtf8("检查 \"q\" \\ \t");
        case 7: return QString();
        default: return QStringLiteral("s%1").arg(random_() % 100);
        }
    }

    QJsonValue valueFor(const QString& key, int depth)
    {
        if (depth > 4 || pick(5) == 0)
            return scalar();
        if (key == "Cr" || pick(6) == 0)
            return pick(5) ? QJsonValue(object({"Passed", "ErrorGroups", "passed"}, depth + 1)) : scalar();
        if (key == "ErrorGroups" || key == "Errs")
            return array(key == "Errs" ? QStringList{"AssetPath", "Message"} : QStringList{"CheckerTitle", "Errs"},
                         depth + 1);
        return scalar();
    }

    QJsonObject object(const QStringList& keys, int depth)
    {
        QJsonObject object;
        for (const QString& key : keys) {
            if (pick(4) != 0)
                object.insert(key, valueFor(key, depth));
        }
        return object;
    }

    QJsonArray array(const QStringList& element_keys, int depth)
    {
        QJsonArray array;
        for (unsigned i = 0, n = pick(5); i < n; ++i)
            array.append(pick(4) ? QJsonValue(object(element_keys, depth)) : scalar());
        return array;
    }

    unsigned pick(unsigned n) { return random_() % n; }

    std::mt19937 random_;
};

TEST(CheckMessageDecoding, AgreesWithReparsingDecoderOnRandomDocuments)
{
    RandomDocuments documents(20240611);
    for (int i = 0; i < 3000; ++i) {
        const QByteArray json = documents.next();
        ASSERT_EQ(CheckMessage::Deserialize(json), check_test::literalDecodeMessage(json)) << json.constData();
        // Cut short, the same text must still decode the same way (to defaults).
        const QByteArray truncated = json.left(json.size() / 2);
        ASSERT_EQ(CheckMessage::Deserialize(truncated), check_test::literalDecodeMessage(truncated));
    }
}

} // namespace
