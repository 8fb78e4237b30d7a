#pragma once

#include <string>
#include <vector>

#include <nlohmann/json_fwd.hpp>

// Names of the review states, indexed by a ReviewState value.
inline constexpr const char* kReviewStateNames[6] = {
    "UnCreate",
    "NeedReview",
    "NeedRevision",
    "Approved",
    "Reject",
    "Unknow",
};

namespace velmora {

using ::kReviewStateNames;

// The review state is carried as a plain int (ReviewInfo::state); these are its values.
namespace ReviewState {
    enum Value : int {
        UnCreate = 0, // the change has no review
        NeedReview = 1, // "needsReview"
        NeedRevision = 2, // "needsRevision"
        Approved = 3, // "approved"
        Reject = 4, // "rejected"
        Unknow = 5, // any other state the server reports
    };
    inline constexpr int kCount = 6;
} // namespace ReviewState

// One user of the review server.
struct SwarmUserInfo {
    std::string User;
    std::string FullName;
};

// The review that belongs to a changelist; id -1 while it has none.
struct ReviewInfo {
    int id = -1;
    std::vector<std::string> reviewers;
    int state = ReviewState::UnCreate;
};

// One comment of a review (replies to comments are not kept).
struct SwarmComment {
    std::string user;
    std::string body;
};

// Found by the JSON library through argument-dependent lookup, so a whole user
// list decodes with get<std::vector<SwarmUserInfo>>(). Both members are
// required strings; anything else throws the library's own error.
void from_json(const nlohmann::json& j, SwarmUserInfo& user);

} // namespace velmora
