#include "modules/swarm_constants.h"

#include "build_config.h"

// Constant-initialised from constexpr values, so safe to read during static
// initialisation of other files.
const char* const kSwarmUrl = velmora::build_config::kSwarmUrl;
const char* const kSwarmUser = velmora::build_config::kSwarmUser;
const char* const kSwarmToken = velmora::build_config::kSwarmToken;
