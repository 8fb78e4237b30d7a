// The submit and pre-check buttons and the console.
#include "p4v_submit_client_ui/p4v_submit_client_ui.h"

#include "logger/logger.h"
#include "modules/tag_module.h"
#include "p4v_submit_client/p4v_submit_client.h"
#include "p4v_submit_client/submit_state.h"
#include "p4v_submit_client_ui/handler_guard.h"
#include "ui_brelling.h"

#include <QDesktopServices>
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

// What a press sees while a run holds the state; empty otherwise.
QString waitingText(int state)
{
    using namespace velmora;
    switch (state) {
    case SubmitState::Submitting:
        return "正在提交ing,请稍后...";
    case SubmitState::PreChecking:
        return "正在预检测ing,请稍后...";
    default:
        return {};
    }
}

// Why a press is refused in this state; empty when a run may start.
QString refusalText(int state)
{
    using namespace velmora;
    switch (state) {
    case SubmitState::SubmitError:
        return "提交遇到异常,请解决错误后重新打开UI";
    case SubmitState::Submitted:
        return "已提交完成";
    default:
        return waitingText(state);
    }
}

} // namespace

namespace velmora {

void P4VSubmitClientUI::onSubmitButton()
{
    runGuarded(this, [this] {
        handOverDescription();
        if (refuseInCurrentState())
            return;
        QString reason;
        if (!logic_client_->validate(&reason)) {
            showTip(this, reason);
            return;
        }
        claimRunAndEmit(false);
    });
}

void P4VSubmitClientUI::onPreSubmitButton()
{
    runGuarded(this, [this] {
        handOverDescription();
        if (refuseInCurrentState())
            return;
        claimRunAndEmit(true);
    });
}

bool P4VSubmitClientUI::refuseInCurrentState()
{
    const QString refusal = refusalText(logic_client_->getSubmitState());
    if (refusal.isEmpty())
        return false;
    showTip(this, refusal);
    return true;
}

bool P4VSubmitClientUI::refuseWhileRunning()
{
    const QString waiting = waitingText(logic_client_->getSubmitState());
    if (waiting.isEmpty())
        return false;
    showTip(this, waiting);
    return true;
}

void P4VSubmitClientUI::claimRunAndEmit(bool is_pre_check)
{
    // The worker sets the running state only when it picks the request up;
    // claiming it here, in one step, keeps a second press from asking for a
    // second run in between. Claimed last, so a refused press leaves it alone.
    if (!logic_client_->claimRun(is_pre_check)) {
        QString refusal = refusalText(logic_client_->getSubmitState());
        if (refusal.isEmpty()) // the run in the way has ended since
            refusal = waitingText(is_pre_check ? SubmitState::PreChecking : SubmitState::Submitting);
        showTip(this, refusal);
        return;
    }
    emit submitClicked(is_pre_check);
}

void P4VSubmitClientUI::appendConsoleInfo(QString line)
{
    runGuarded(this, [this, &line] {
        // The log keeps the line as it came; only the console's copy is rewritten.
        Logger::logInfo(line);
        ui_->console_text_browser_->append(consoleParagraph(std::move(line)));
    });
}

void P4VSubmitClientUI::appendConsoleError(QString line)
{
    runGuarded(this, [this, &line] {
        Logger::logError(line);
        ui_->console_text_browser_->append(consoleParagraph(std::move(line)));
    });
}

void P4VSubmitClientUI::openConsoleLink(const QUrl& url)
{
    // The console follows no link itself, so it keeps its lines.
    runGuarded(this, [&url] { QDesktopServices::openUrl(url); });
}

} // namespace velmora
