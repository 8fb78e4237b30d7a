#pragma once

#include <QObject>
#include <QString>

namespace velmora {

// A service module that may refuse a submit; the client asks each in turn.
class IModule : public QObject {
    Q_OBJECT
public:
    explicit IModule(QObject* parent = nullptr);
    ~IModule() override;

    // Whether the submit may go ahead; on a refusal the reason goes to *error
    // when error is not null. The answer never depends on the pointer.
    virtual bool isValid(QString* error) = 0;
};

} // namespace velmora
