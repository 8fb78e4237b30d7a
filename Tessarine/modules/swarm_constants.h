#pragma once

// The review server's connection, compiled in from the build configuration and
// never changed at run time: the base URL (no trailing slash), the API user and
// its token (sent as HTTP Basic credentials on every request).
extern const char* const kSwarmUrl;
extern const char* const kSwarmUser;
extern const char* const kSwarmToken;
