#include "p4v_submit_client_ui/handler_guard.h"

#include "logger/logger.h"

#include <QMessageBox>
#include <QString>
#include <QWidget>

namespace velmora {

void showTip(QWidget* window, const QString& text)
{
    QMessageBox::warning(window, "提示", text, QMessageBox::Ok, QMessageBox::NoButton);
}

void reportHandlerFailure(QWidget* window, const char* what)
{
    Logger::logError(what);
    showTip(window, QString::fromUtf8(what));
}

} // namespace velmora
