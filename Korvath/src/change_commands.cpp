#include "change_commands.h"

namespace velmora {

ChangeForm readChange(const P4Connection& connection, int change_id)
{
    return connection.runTagged({ "change", { "-o", std::to_string(change_id) }, {} },
        [](const P4Output& output) { return parseChangeForm(output); });
}

int writeChange(const P4Connection& connection, const ChangeForm& form, const std::string& verb)
{
    // Forms go in as text: with -Mj p4 would expect JSON input and read an empty form.
    return connection.runText({ "change", { "-i" }, {} }, writeChangeForm(form),
        [&verb](const std::string& reply) { return parseChangeReply(reply, verb); });
}

} // namespace velmora
