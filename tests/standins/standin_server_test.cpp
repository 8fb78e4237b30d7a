// The stand-in servers hold their ports as a real server does.
#include "standin_server.h"

#include <stdexcept>

#include <gtest/gtest.h>
#include <httplib.h>

namespace velmora::standin {
namespace {

    TEST(StandInServerTest, APortThatAServerListensOnIsRefusedAndFreeAgainOnceItStops)
    {
        StandInServer first;
        first.http().Get("/", [](const httplib::Request&, httplib::Response& response) {
            response.set_content("first", "text/plain");
        });
        const int port = first.start(0, "127.0.0.1");
        // A connection served, so that the port has one in TIME_WAIT after the stop.
        httplib::Client client("127.0.0.1", port);
        const auto reply = client.Get("/");
        ASSERT_TRUE(reply);
        EXPECT_EQ(reply->body, "first");

        StandInServer second;
        EXPECT_THROW(second.start(port, "127.0.0.1"), std::runtime_error);
        EXPECT_EQ(first.requests().size(), 1u);

        first.stop();
        StandInServer third;
        EXPECT_EQ(third.start(port, "127.0.0.1"), port);
    }

} // namespace
} // namespace velmora::standin
