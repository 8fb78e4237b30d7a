#pragma once

#include <QByteArray>
#include <QLatin1String>
#include <QList>
#include <QString>

namespace velmora {

// The frame kinds the client acts on; any other kind is ignored.
inline constexpr QLatin1String kServerInfoKind("ServerInfo");
inline constexpr QLatin1String kCheckResultInfoKind("CheckResultInfo");

// One problem that a checker found. Filled from JSON only by Deserialize; bad
// input leaves fields at their defaults, and the only failure is a
// std::runtime_error "[Deserialize]To CheckerItem Fail.".
struct CheckerItem {
    QString AssetPath;
    QString Message;

    static CheckerItem Deserialize(QByteArray json);
};

// The problems of one checker, in the server's order.
struct CheckerGroup {
    QList<CheckerItem> Errs;
    QString CheckerTitle;

    static CheckerGroup Deserialize(QByteArray json);
};

// The verdict of a check. Travels by value through queued signals to the GUI
// thread; its Qt members are implicitly shared, so copies are cheap.
struct CheckResult {
    bool Passed = false;
    QList<CheckerGroup> ErrorGroups;

    static CheckResult Deserialize(QByteArray json);
};

// One frame of the check server's reply: a progress line ("ServerInfo") or the
// check's result ("CheckResultInfo").
struct CheckMessage {
    QString IdentificationStr;
    int RetCode = 0;
    QString Message;
    CheckResult Cr;

    static CheckMessage Deserialize(QByteArray json);
};

} // namespace velmora
