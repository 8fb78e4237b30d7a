#pragma once

#include "modules/swarm_module.h"

#include "review_server.h"

#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace velmora::testing {

// A review module talking to a fresh stand-in review server on a free port.
class SwarmServerTest : public ::testing::Test {
protected:
    using Route = standin::ReviewServer::Route;

    void SetUp() override
    {
        server_.setUsers({ { "bruno", "Bruno First", "" }, { "alice", "Alice 王", "" }, { "bruno", "Bruno Again", "" } });
        server_.start();
    }

    std::unique_ptr<SwarmModule> makeModule()
    {
        return std::make_unique<SwarmModule>(server_.baseUrl(), server_.apiUser(), server_.apiToken());
    }

    std::vector<std::string> targets() const
    {
        std::vector<std::string> result;
        for (const auto& request : server_.requests())
            result.push_back(request.method + " " + request.target);
        return result;
    }

    void addReview(int id, int change, const std::string& state, std::vector<std::string> participants = {})
    {
        standin::ReviewServer::Review review;
        review.id = id;
        review.author = "bruno";
        review.state = state;
        review.changes = { change };
        review.participants = std::move(participants);
        server_.addReview(std::move(review));
    }

    standin::ReviewServer server_;
};

} // namespace velmora::testing
