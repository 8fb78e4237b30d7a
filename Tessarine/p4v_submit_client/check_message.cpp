#include "p4v_submit_client/check_message.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonValue>

#include <exception>
#include <stdexcept>

namespace velmora {
namespace {

    constexpr char kMessageFailure[] = "[Deserialize]To CheckMessage Fail.";
    constexpr char kResultFailure[] = "[Deserialize]To CheckResult Fail.";
    constexpr char kGroupFailure[] = "[Deserialize]To CheckerGroup Fail.";
    constexpr char kItemFailure[] = "[Deserialize]To CheckerItem Fail.";

    // Every level reports its own failure text, whatever a nested level threw, so a
    // caller of the outermost decoder only ever sees that decoder's text.
    template <typename Decode> auto guarded(const char* failure_text, Decode&& decode) -> decltype(decode())
    {
        try {
            return decode();
        } catch (const std::exception&) {
            throw std::runtime_error(failure_text);
        }
    }

    // Invalid JSON, empty input and a top-level array all end up without keys.
    QJsonObject parseObject(const QByteArray& json) { return QJsonDocument::fromJson(json).object(); }

    void readString(const QJsonObject& object, QLatin1String key, QString& field)
    {
        const QJsonValue value = object.value(key);
        if (value.isString())
            field = value.toString();
    }

    // Every element yields one entry; one that is not an object decodes as {}.
    template <typename T, typename FromObject>
    void readList(const QJsonObject& object, QLatin1String key, QList<T>& list, FromObject from_object)
    {
        const QJsonValue value = object.value(key);
        if (!value.isArray())
            return;
        const QJsonArray array = value.toArray();
        list.reserve(array.size());
        for (qsizetype i = 0, n = array.size(); i < n; ++i)
            list.append(from_object(array.at(i).toObject()));
    }

    // The nested objects are handed down as parsed objects: writing each one back to
    // text for the level below to parse again cost several parses of a large frame.
    CheckerItem itemFromObject(const QJsonObject& object)
    {
        return guarded(kItemFailure, [&] {
            CheckerItem item;
            readString(object, QLatin1String("AssetPath"), item.AssetPath);
            readString(object, QLatin1String("Message"), item.Message);
            return item;
        });
    }

    CheckerGroup groupFromObject(const QJsonObject& object)
    {
        return guarded(kGroupFailure, [&] {
            CheckerGroup group;
            readString(object, QLatin1String("CheckerTitle"), group.CheckerTitle);
            readList(object, QLatin1String("Errs"), group.Errs, itemFromObject);
            return group;
        });
    }

    CheckResult resultFromObject(const QJsonObject& object)
    {
        return guarded(kResultFailure, [&] {
            CheckResult result;
            const QJsonValue passed = object.value(QLatin1String("Passed"));
            if (passed.isBool())
                result.Passed = passed.toBool();
            readList(object, QLatin1String("ErrorGroups"), result.ErrorGroups, groupFromObject);
            return result;
        });
    }

    CheckMessage messageFromObject(const QJsonObject& object)
    {
        return guarded(kMessageFailure, [&] {
            CheckMessage message;
            readString(object, QLatin1String("IdentificationStr"), message.IdentificationStr);
            const QJsonValue ret_code = object.value(QLatin1String("RetCode"));
            if (ret_code.isDouble())
                message.RetCode = ret_code.toInt(0); // a fraction or an out-of-range number gives 0
            readString(object, QLatin1String("Message"), message.Message);
            const QJsonValue cr = object.value(QLatin1String("Cr"));
            if (cr.isObject())
                message.Cr = resultFromObject(cr.toObject());
            return message;
        });
    }

} // namespace

CheckerItem CheckerItem::Deserialize(QByteArray json)
{
    return guarded(kItemFailure, [&] { return itemFromObject(parseObject(json)); });
}

CheckerGroup CheckerGroup::Deserialize(QByteArray json)
{
    return guarded(kGroupFailure, [&] { return groupFromObject(parseObject(json)); });
}

CheckResult CheckResult::Deserialize(QByteArray json)
{
    return guarded(kResultFailure, [&] { return resultFromObject(parseObject(json)); });
}

CheckMessage CheckMessage::Deserialize(QByteArray json)
{
    return guarded(kMessageFailure, [&] { return messageFromObject(parseObject(json)); });
}

} // namespace velmora
