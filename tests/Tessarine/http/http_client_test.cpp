#include "http/http_client.h"

#include "standin_server.h"

#include <chrono>
#include <cstdlib>

#include <gtest/gtest.h>

namespace velmora {
namespace {

    using namespace std::chrono_literals;

    class HttpClientTest : public ::testing::Test {
    protected:
        void SetUp() override
        {
            // Answers with the status in the path and the request's body, or a text without one.
            const auto echo = [](const httplib::Request& request, httplib::Response& response) {
                response.status = std::stoi(request.matches[1]);
                response.set_content(request.body.empty() ? "需要通过Swarm审核" : request.body, "text/plain");
            };
            server_.http().Get("/echo/(\\d+)", echo);
            server_.http().Post("/echo/(\\d+)", echo);
            // The status line and part of the body, then nothing.
            server_.http().Get("/stalled", [this](const httplib::Request&, httplib::Response& response) {
                response.set_content_provider(
                    100, "text/plain", [this](size_t offset, size_t, httplib::DataSink& sink) {
                        return offset == 0 ? sink.write("0123456789", 10)
                                           : server_.sleepUnlessStopping(30s) && false;
                    });
            });
            server_.start();
        }

        http::Request request(const std::string& path) const
        {
            return { server_.baseUrl() + path, {}, {}, {} };
        }

        standin::StandInServer server_;
    };

    TEST_F(HttpClientTest, GetAndPostAsSent)
    {
        const auto got = http::get(request("/echo/404"));
        EXPECT_EQ(got.status_code, 404);
        EXPECT_EQ(got.text, "需要通过Swarm审核");
        EXPECT_TRUE(got.error.empty()) << got.error;
        EXPECT_EQ(server_.requests().back().method, "GET");
        EXPECT_TRUE(server_.requests().back().header("Authorization").empty());

        auto post = request("/echo/201?change[]=5");
        post.headers = { { "Content-Type", "application/json" } };
        post.auth = http::BasicAuth { "swarm", "0123456789ABCDEF" };
        post.body = R"({"change":1234,"description":"描述"})";
        const auto posted = http::post(post);
        EXPECT_EQ(posted.status_code, 201);
        EXPECT_EQ(posted.text, post.body);
        const auto recorded = server_.requests().back();
        EXPECT_EQ(recorded.method, "POST");
        EXPECT_EQ(recorded.target, "/echo/201?change[]=5");
        EXPECT_EQ(recorded.header("Content-Type"), "application/json");
        EXPECT_EQ(recorded.header("Authorization"),
            "Basic c3dhcm06MDEyMzQ1Njc4OUFCQ0RFRg=="); // swarm:0123456789ABCDEF
    }

    // No complete answer is no answer: status 0 and the reason, never part of a body taken for all of it.
    TEST_F(HttpClientTest, FailuresHaveStatusZeroAndAReason)
    {
        standin::StandInServer closed;
        const int port = closed.start();
        closed.stop();
        const auto refused = http::get({ "http://127.0.0.1:" + std::to_string(port) + "/", {}, {}, {} });
        EXPECT_EQ(refused.status_code, 0);
        EXPECT_FALSE(refused.error.empty());

        auto bounded = request("/stalled");
        bounded.total_timeout = 300ms;
        const auto stalled = http::get(bounded);
        EXPECT_EQ(stalled.status_code, 0);
        EXPECT_NE(stalled.error.find("timed out"), std::string::npos) << stalled.error;
    }

    // Once interrupted, a request that waits on a stalled server ends and every later one fails
    // at once: in a child process, since there is no way back.
    TEST_F(HttpClientTest, InterruptEndsRunningAndLaterRequests)
    {
        GTEST_FLAG_SET(death_test_style, "threadsafe");
        EXPECT_EXIT(
            {
                server_.setObserver([](const standin::RecordedRequest&) { http::interruptRequests(); });
                const auto waiting = http::get(request("/stalled"));
                const auto later = http::get(request("/echo/200"));
                std::_Exit(waiting.status_code == 0 && later.status_code == 0
                            && waiting.error == "The request was stopped: the program is ending."
                            && later.error == waiting.error
                        ? 3
                        : 4);
            },
            ::testing::ExitedWithCode(3), "");
    }

} // namespace
} // namespace velmora
