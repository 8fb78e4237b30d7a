#include "p4v_submit_client_ui/handler_guard.h"

#include "logger/logger.h"

#include <QMessageBox>
#include <QString>
#include <QWidget>

namespace velmora {

void reportHandlerFailure(QWidget* window, const char* what)
{
    Logger::logError(what);
    QMessageBox::warning(window, "提示", QString::fromUtf8(what), QMessageBox::Ok, QMessageBox::NoButton);
}

} // namespace velmora
