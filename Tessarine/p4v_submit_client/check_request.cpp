#include "p4v_submit_client/check_request.h"

#include "build_config.h"

#include <QJsonDocument>
#include <QJsonObject>

namespace velmora {

QUrl checkServerUrl()
{
    const QString text = QStringLiteral("http://%1:%2/")
                             .arg(QString::fromUtf8(build_config::kCheckServerHost))
                             .arg(build_config::kCheckServerPort);
    return QUrl(text, QUrl::TolerantMode);
}

QByteArray buildCheckRequestBody(
    const QString& user_name, int shelved_id, const QString& p4_server, const QString& stream_path)
{
    QJsonObject request;
    request.insert(QLatin1String("UserName"), user_name);
    request.insert(QLatin1String("ShelvedID"), shelved_id);
    request.insert(QLatin1String("P4Server"), p4_server);
    request.insert(QLatin1String("StreamPath"), stream_path);

    // The server expects the request as a string holding its own JSON text,
    // not as a nested object.
    QJsonObject envelope;
    envelope.insert(QLatin1String("Protocol"), QLatin1String(kCheckRequestProtocol));
    envelope.insert(
        QLatin1String("Content"), QString::fromUtf8(QJsonDocument(request).toJson(QJsonDocument::Indented)));
    return QJsonDocument(envelope).toJson(QJsonDocument::Indented);
}

} // namespace velmora
