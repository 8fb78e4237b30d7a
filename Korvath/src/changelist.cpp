#include "korvath/changelist.h"

#include "change_commands.h"
#include "korvath/p4_error.h"

#include <utility>

namespace velmora {

Changelist::Changelist() = default;

Changelist::Changelist(std::shared_ptr<const P4Connection> connection, int change_id, std::string description)
    : connection_(std::move(connection))
    , change_id_(change_id)
    , description_(std::move(description))
{
}

int Changelist::GetChangeId() const { return change_id_; }

std::string Changelist::GetDescription() const { return description_; }

void Changelist::SetDescription(const std::string& description) { description_ = description; }

Changelist Changelist::Save() const
{
    if (!connection_)
        throw P4Error("Cannot save changelist " + std::to_string(change_id_)
                + ": it was not read from a Perforce connection.",
            "");

    // The form is rewritten from the server's current one, so that its files and jobs stay:
    // a form without them would move the files to the default changelist and unfix the jobs.
    ChangeForm form = readChange(*connection_, change_id_);
    form.description = description_;
    int saved_id = writeChange(*connection_, form, "updated");

    ChangeForm saved = readChange(*connection_, saved_id);
    return Changelist(connection_, saved.change, descriptionForDisplay(saved.description));
}

} // namespace velmora
