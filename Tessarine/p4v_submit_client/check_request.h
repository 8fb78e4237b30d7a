#pragma once

#include <QByteArray>
#include <QString>
#include <QUrl>

namespace velmora {

// The one header the client sets on the check request (no blank after ';').
inline constexpr char kCheckContentType[] = "application/json;charset=utf-8";
inline constexpr char kCheckRequestProtocol[] = "C2S_RequestSubmitCheck";

// http://<compiled-in host>:11111/, parsed in tolerant mode.
QUrl checkServerUrl();

// The POST body of a check: the indented JSON text of
// {"Content": <indented JSON text of the request object>, "Protocol": ...},
// keys in ascending order and non-ASCII written as UTF-8. The request object
// carries the four arguments, with "ShelvedID" as a JSON number.
QByteArray buildCheckRequestBody(
    const QString& user_name, int shelved_id, const QString& p4_server, const QString& stream_path);

} // namespace velmora
