// The check-result view in the console's result list.
#include "p4v_submit_client_ui/p4v_submit_client_ui.h"

namespace velmora {

void P4VSubmitClientUI::displayCheckResult(velmora::CheckResult check_result)
{
    // To come: the summary of a result (header row; one row per group when failed).
    Q_UNUSED(check_result);
}

void P4VSubmitClientUI::generateHeaderWidght(bool failed)
{
    // To come: clear the list and add the verdict's header row.
    Q_UNUSED(failed);
}

void P4VSubmitClientUI::generateErrorList(CheckResult check_result)
{
    // To come: one summary row per checker group with its count and "查看".
    Q_UNUSED(check_result);
}

void P4VSubmitClientUI::displayErrorsOfSpecifiedType(CheckResult check_result, int group_index)
{
    // To come: the detail view of one group, with "返回" and a row per error.
    Q_UNUSED(check_result);
    Q_UNUSED(group_index);
}

} // namespace velmora
