#pragma once

#include <QList>
#include <QString>

namespace velmora {

// The parsed command line.
struct P4VInputInfo {
    QString change_id; // "-c": a changelist number or "default"; may stay empty
    QString server_addr; // "-p"
    QString workspace; // "-C"
    QString user_name; // "-u"
    QList<QString> files; // every value after "-f", in order
};

} // namespace velmora
