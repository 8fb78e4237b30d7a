#pragma once

#include "change_form.h"
#include "p4_connection.h"
#include "record_parser.h"

namespace velmora {

// The two round trips shared by Repository and Changelist: reading a change's form
// (`change -o N`, tagged) and writing one (`change -i`, text form on standard input).

ChangeForm readChange(const P4Connection& connection, int change_id);

// Returns the change number p4 reports; verb is "created" for a new change, else "updated".
int writeChange(const P4Connection& connection, const ChangeForm& form, const std::string& verb);

} // namespace velmora
