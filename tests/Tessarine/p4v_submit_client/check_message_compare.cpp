#include "check_message_compare.h"

namespace velmora {

bool operator==(const CheckerItem& a, const CheckerItem& b)
{
    return a.AssetPath == b.AssetPath && a.Message == b.Message;
}

bool operator==(const CheckerGroup& a, const CheckerGroup& b)
{
    return a.Errs == b.Errs && a.CheckerTitle == b.CheckerTitle;
}

bool operator==(const CheckResult& a, const CheckResult& b)
{
    return a.Passed == b.Passed && a.ErrorGroups == b.ErrorGroups;
}

bool operator==(const CheckMessage& a, const CheckMessage& b)
{
    return a.IdentificationStr == b.IdentificationStr && a.RetCode == b.RetCode && a.Message == b.Message
        && a.Cr == b.Cr;
}

void PrintTo(const CheckerItem& item, std::ostream* out)
{
    *out << "{AssetPath=\"" << item.AssetPath.toStdString() << "\" Message=\"" << item.Message.toStdString()
         << "\"}";
}

void PrintTo(const CheckerGroup& group, std::ostream* out)
{
    *out << "{CheckerTitle=\"" << group.CheckerTitle.toStdString() << "\" Errs=[";
    for (const CheckerItem& item : group.Errs)
        PrintTo(item, out);
    *out << "]}";
}

void PrintTo(const CheckResult& result, std::ostream* out)
{
    *out << "{Passed=" << result.Passed << " ErrorGroups=[";
    for (const CheckerGroup& group : result.ErrorGroups)
        PrintTo(group, out);
    *out << "]}";
}

void PrintTo(const CheckMessage& message, std::ostream* out)
{
    *out << "{IdentificationStr=\"" << message.IdentificationStr.toStdString() << "\" RetCode=" << message.RetCode
         << " Message=\"" << message.Message.toStdString() << "\" Cr=";
    PrintTo(message.Cr, out);
    *out << "}";
}

} // namespace velmora

namespace check_test {

velmora::CheckerItem item(const QString& asset_path, const QString& message)
{
    velmora::CheckerItem value;
    value.AssetPath = asset_path;
    value.Message = message;
    return value;
}

velmora::CheckerGroup group(const QString& title, const QList<velmora::CheckerItem>& errs)
{
    velmora::CheckerGroup value;
    value.CheckerTitle = title;
    value.Errs = errs;
    return value;
}

velmora::CheckResult result(bool passed, const QList<velmora::CheckerGroup>& groups)
{
    velmora::CheckResult value;
    value.Passed = passed;
    value.ErrorGroups = groups;
    return value;
}

velmora::CheckMessage message(const QString& kind, int ret_code, const QString& text, const velmora::CheckResult& cr)
{
    velmora::CheckMessage value;
    value.IdentificationStr = kind;
    value.RetCode = ret_code;
    value.Message = text;
    value.Cr = cr;
    return value;
}

} // namespace check_test
