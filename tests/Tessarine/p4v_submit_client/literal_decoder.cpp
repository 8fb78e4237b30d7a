#include "literal_decoder.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace check_test {
namespace {

QJsonObject parse(const QByteArray& json)
{
    return QJsonDocument::fromJson(json).object();
}

QByteArray text(const QJsonObject& object)
{
    return QJsonDocument(object).toJson(QJsonDocument::Indented);
}

QString stringOr(const QJsonObject& object, const char* key, const QString& fallback)
{
    const QJsonValue value = object.value(QLatin1String(key));
    return value.isString() ? value.toString() : fallback;
}

} // namespace

velmora::CheckerItem literalDecodeItem(const QByteArray& json)
{
    const QJsonObject object = parse(json);
    velmora::CheckerItem item;
    item.AssetPath = stringOr(object, "AssetPath", item.AssetPath);
    item.Message = stringOr(object, "Message", item.Message);
    return item;
}

velmora::CheckerGroup literalDecodeGroup(const QByteArray& json)
{
    const QJsonObject object = parse(json);
    velmora::CheckerGroup group;
    group.CheckerTitle = stringOr(object, "CheckerTitle", group.CheckerTitle);
    if (object.value(QLatin1String("Errs")).isArray()) {
        for (const QJsonValue& element : object.value(QLatin1String("Errs")).toArray())
            group.Errs.append(literalDecodeItem(text(element.toObject())));
    }
    return group;
}

velmora::CheckResult literalDecodeResult(const QByteArray& json)
{
    const QJsonObject object = parse(json);
    velmora::CheckResult result;
    if (object.value(QLatin1String("Passed")).isBool())
        result.Passed = object.value(QLatin1String("Passed")).toBool();
    if (object.value(QLatin1String("ErrorGroups")).isArray()) {
        for (const QJsonValue& element : object.value(QLatin1String("ErrorGroups")).toArray())
            result.ErrorGroups.append(literalDecodeGroup(text(element.toObject())));
    }
    return result;
}

velmora::CheckMessage literalDecodeMessage(const QByteArray& json)
{
    const QJsonObject object = parse(json);
    velmora::CheckMessage message;
    message.IdentificationStr = stringOr(object, "IdentificationStr", message.IdentificationStr);
    if (object.value(QLatin1String("RetCode")).isDouble())
        message.RetCode = object.value(QLatin1String("RetCode")).toInt(0);
    message.Message = stringOr(object, "Message", message.Message);
    if (object.value(QLatin1String("Cr")).isObject())
        message.Cr = literalDecodeResult(text(object.value(QLatin1String("Cr")).toObject()));
    return message;
}

} // namespace check_test
