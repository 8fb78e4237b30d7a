// The submit and pre-check buttons and the console.
#include "p4v_submit_client_ui/p4v_submit_client_ui.h"

#include "logger/logger.h"
#include "ui_brelling.h"

#include <QRegularExpression>
#include <QUrl>

namespace {

// One console paragraph: each run of line breaks becomes a single "<br />".
QString consoleParagraph(QString line)
{
    static const QRegularExpression line_breaks("[\\r\\n]+");
    line.replace(line_breaks, "<br />");
    return QString("<div>%1</div>").arg(line);
}

} // namespace

namespace velmora {

void P4VSubmitClientUI::onSubmitButton()
{
    // To come: hand the description over, refuse by submit state, validate, emit submitClicked(false).
}

void P4VSubmitClientUI::onPreSubmitButton()
{
    // To come: hand the description over, refuse by submit state, emit submitClicked(true).
}

void P4VSubmitClientUI::appendConsoleInfo(QString line)
{
    // The log keeps the line as it came; only the console's copy is rewritten.
    Logger::logInfo(line);
    ui_->console_text_browser_->append(consoleParagraph(std::move(line)));
}

void P4VSubmitClientUI::appendConsoleError(QString line)
{
    Logger::logError(line);
    ui_->console_text_browser_->append(consoleParagraph(std::move(line)));
}

void P4VSubmitClientUI::openConsoleLink(const QUrl& url)
{
    // To come: open the clicked link in the desktop browser.
    Q_UNUSED(url);
}

} // namespace velmora
