#include "p4v_submit_client/check_request.h"

#include "build_config.h"

#include <QJsonDocument>
#include <QJsonObject>

#include <gtest/gtest.h>

#include <climits>

using namespace velmora;

namespace {

struct BodyRow {
    const char* name;
    const char* user_name;
    int shelved_id;
    const char* p4_server;
    const char* stream_path;
    const char* expected;
};

void PrintTo(const BodyRow& row, std::ostream* out)
{
    *out << row.name;
}

// Expected bodies written out by hand: the inner object's text, with its quotes,
// backslashes and line breaks escaped, is the value of "Content".
const BodyRow kBodyRows[] = {
    {"Ascii", "alice", 4711, "ssl:perforce:1666", "//game/main",
     R"({
    "Content": "{\n    \"P4Server\": \"ssl:perforce:1666\",\n    \"ShelvedID\": 4711,\n    \"StreamPath\": \"//game/main\",\n    \"UserName\": \"alice\"\n}\n",
    "Protocol": "C2S_RequestSubmitCheck"
}
)"},
    {"ChineseAsUtf8", "张三", 12, "p4.velmora:1666", "//游戏/主干",
     R"({
    "Content": "{\n    \"P4Server\": \"p4.velmora:1666\",\n    \"ShelvedID\": 12,\n    \"StreamPath\": \"//游戏/主干\",\n    \"UserName\": \"张三\"\n}\n",
    "Protocol": "C2S_RequestSubmitCheck"
}
)"},
    {"EscapesTwice", "a\"b", -1, "p4\t1", "//x\\y",
     R"({
    "Content": "{\n    \"P4Server\": \"p4\\t1\",\n    \"ShelvedID\": -1,\n    \"StreamPath\": \"//x\\\\y\",\n    \"UserName\": \"a\\\"b\"\n}\n",
    "Protocol": "C2S_RequestSubmitCheck"
}
)"},
    {"EmptyTextsAndIntMax", "", INT_MAX, "", "",
     R"({
    "Content": "{\n    \"P4Server\": \"\",\n    \"ShelvedID\": 2147483647,\n    \"StreamPath\": \"\",\n    \"UserName\": \"\"\n}\n",
    "Protocol": "C2S_RequestSubmitCheck"
}
)"},
    {"IntMin", "u", INT_MIN, "s", "t",
     R"({
    "Content": "{\n    \"P4Server\": \"s\",\n    \"ShelvedID\": -2147483648,\n    \"StreamPath\": \"t\",\n    \"UserName\": \"u\"\n}\n",
    "Protocol": "C2S_RequestSubmitCheck"
}
)"},
};

class CheckRequestBody : public testing::TestWithParam<BodyRow> {};

TEST_P(CheckRequestBody, IsByteForByteTheIndentedEnvelope)
{
    const BodyRow& row = GetParam();
    const QByteArray body = buildCheckRequestBody(QString::fromUtf8(row.user_name), row.shelved_id,
                                                  QString::fromUtf8(row.p4_server), QString::fromUtf8(row.stream_path));
    EXPECT_EQ(body.toStdString(), std::string(row.expected));
}

INSTANTIATE_TEST_SUITE_P(Rows, CheckRequestBody, testing::ValuesIn(kBodyRows),
                         [](const testing::TestParamInfo<BodyRow>& info) { return std::string(info.param.name); });

TEST(CheckRequestBodyShape, ContentIsTextAndShelvedIdANumber)
{
    const QByteArray body = buildCheckRequestBody(QString::fromUtf8("李四"), 99, "p4:1666", QString::fromUtf8("//流/dev"));
    const QJsonObject envelope = QJsonDocument::fromJson(body).object();
    ASSERT_EQ(envelope.keys(), QStringList({"Content", "Protocol"}));
    ASSERT_TRUE(envelope.value("Content").isString());
    const QString content = envelope.value("Content").toString();
    EXPECT_TRUE(content.startsWith("{\n"));

    const QJsonObject request = QJsonDocument::fromJson(content.toUtf8()).object();
    ASSERT_TRUE(request.value("ShelvedID").isDouble());
    EXPECT_EQ(request.value("ShelvedID").toInt(), 99);
    EXPECT_EQ(request.value("UserName").toString(), QString::fromUtf8("李四"));
    EXPECT_EQ(request.value("StreamPath").toString(), QString::fromUtf8("//流/dev"));
    EXPECT_EQ(request.value("P4Server").toString(), "p4:1666");
    // Non-ASCII travels as UTF-8, never as \u escapes.
    EXPECT_FALSE(body.contains("\\u"));
    EXPECT_TRUE(body.contains("李四"));
}

TEST(CheckServerUrl, IsHttpOnPort11111AtRoot)
{
    const QUrl url = checkServerUrl();
    ASSERT_TRUE(url.isValid()) << url.errorString().toStdString();
    EXPECT_EQ(url.scheme(), "http");
    EXPECT_EQ(url.host(), QString::fromUtf8(build_config::kCheckServerHost).toLower());
    EXPECT_EQ(url.port(), 11111);
    EXPECT_EQ(url.path(), "/");
    EXPECT_FALSE(url.hasQuery());
    EXPECT_STREQ(kCheckContentType, "application/json;charset=utf-8");
}

} // namespace
