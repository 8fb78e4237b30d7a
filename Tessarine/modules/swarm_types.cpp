#include "modules/swarm_types.h"

#include <nlohmann/json.hpp>

namespace velmora {

void from_json(const nlohmann::json& j, SwarmUserInfo& user)
{
    j.at("User").get_to(user.User);
    j.at("FullName").get_to(user.FullName);
}

} // namespace velmora
