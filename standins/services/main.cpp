// The demo's services in one process: the submit-check server, the review
// server and the tag service on the endpoints compiled into the build, until
// SIGINT or SIGTERM.
//
//   tessarine_demo_services [--pace-ms N]   N: pause before each progress line (default 400)

#include "demo_services.h"

#include <chrono>
#include <csignal>
#include <iostream>
#include <mutex>
#include <string>

#include <pthread.h>

namespace {

void say(const std::string& line)
{
    static std::mutex mutex;
    std::lock_guard<std::mutex> lock(mutex);
    std::cout << line << std::endl;
}

} // namespace

int main(int argc, char** argv)
{
    long pace_ms = 400;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--pace-ms" && i + 1 < argc) {
            pace_ms = std::strtol(argv[++i], nullptr, 10);
        } else {
            std::cerr << "usage: " << argv[0] << " [--pace-ms N]\n";
            return 2;
        }
    }

    // The server threads inherit this mask, so the signals reach only sigwait
    // below. A shell starts background jobs with SIGINT ignored: undo that.
    std::signal(SIGINT, SIG_DFL);
    std::signal(SIGTERM, SIG_DFL);
    sigset_t stop_signals;
    sigemptyset(&stop_signals);
    sigaddset(&stop_signals, SIGINT);
    sigaddset(&stop_signals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stop_signals, nullptr);

    velmora::demo::DemoServices services(std::chrono::milliseconds(pace_ms), say);
    try {
        services.start();
    } catch (const std::exception& e) {
        std::cerr << "tessarine_demo_services: " << e.what() << std::endl;
        return 1;
    }
    say("Tessarine demo services");
    for (const std::string& line : services.summary())
        say("  " + line);
    say("Ready. SIGINT (Ctrl-C) or SIGTERM ends the services.");

    int received = 0;
    sigwait(&stop_signals, &received);
    say(std::string("Stopping on ") + (received == SIGINT ? "SIGINT" : "SIGTERM") + ".");
    services.stop();
    say("Stopped: all ports closed.");
    return 0;
}
