// Times one launch: from starting a program to the X server mapping its window, seen as
// the MapNotify of a top-level window with the given title (no window manager needed).
// Prints the microseconds, then ends the program with SIGTERM, at once or, with --linger,
// that many milliseconds later (so that what it does after the window shows gets done).
//
//   launch_timer [--linger MS] TITLE TIMEOUT_MS PROGRAM [ARGUMENT...]
//
// Exit code 0 with the time on stdout; 1 when no such window came in time or the program
// ended first; 2 on a usage or X error.

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>
#include <xcb/xcb.h>

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;

std::string windowName(xcb_connection_t* connection, xcb_window_t window)
{
    const xcb_get_property_cookie_t cookie
        = xcb_get_property(connection, 0, window, XCB_ATOM_WM_NAME, XCB_GET_PROPERTY_TYPE_ANY, 0, 256);
    xcb_get_property_reply_t* reply = xcb_get_property_reply(connection, cookie, nullptr);
    if (!reply)
        return {};
    const std::string name(static_cast<const char*>(xcb_get_property_value(reply)),
        static_cast<size_t>(xcb_get_property_value_length(reply)));
    std::free(reply);
    return name;
}

// Waits for the map of a top-level window titled `title`; false on timeout or when the
// program ended first (then `ended` is set: it has been reaped).
bool waitForMap(xcb_connection_t* connection, const std::string& title, pid_t child,
    Clock::time_point deadline, bool& ended)
{
    const int fd = xcb_get_file_descriptor(connection);
    for (;;) {
        while (xcb_generic_event_t* event = xcb_poll_for_event(connection)) {
            const bool mapped = (event->response_type & 0x7f) == XCB_MAP_NOTIFY;
            const xcb_window_t window = reinterpret_cast<xcb_map_notify_event_t*>(event)->window;
            std::free(event);
            if (mapped && windowName(connection, window) == title)
                return true;
        }
        ended = ::waitpid(child, nullptr, WNOHANG) == child;
        if (ended || xcb_connection_has_error(connection))
            return false;
        const auto left
            = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
        if (left <= 0)
            return false;
        pollfd wake { fd, POLLIN, 0 };
        ::poll(&wake, 1, static_cast<int>(std::min<long long>(left, 50)));
    }
}

// SIGTERM, and SIGKILL when the program has not ended 10 s later.
void stop(pid_t child)
{
    ::kill(child, SIGTERM);
    const Clock::time_point deadline = Clock::now() + std::chrono::seconds(10);
    while (::waitpid(child, nullptr, WNOHANG) != child) {
        if (Clock::now() > deadline) {
            ::kill(child, SIGKILL);
            ::waitpid(child, nullptr, 0);
            return;
        }
        ::usleep(5000);
    }
}

} // namespace

int main(int argc, char** argv)
{
    long linger_ms = 0;
    if (argc > 2 && std::string(argv[1]) == "--linger") {
        linger_ms = std::strtol(argv[2], nullptr, 10);
        argv += 2;
        argc -= 2;
    }
    if (argc < 4) {
        std::fprintf(stderr, "usage: launch_timer [--linger MS] TITLE TIMEOUT_MS PROGRAM [ARGUMENT...]\n");
        return 2;
    }
    const std::string title = argv[1];
    const long timeout_ms = std::strtol(argv[2], nullptr, 10);

    xcb_connection_t* connection = xcb_connect(nullptr, nullptr);
    if (xcb_connection_has_error(connection)) {
        std::fprintf(stderr, "launch_timer: cannot open the display\n");
        return 2;
    }
    const xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(connection)).data;
    const uint32_t events = XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
    xcb_void_cookie_t selected
        = xcb_change_window_attributes_checked(connection, screen->root, XCB_CW_EVENT_MASK, &events);
    if (xcb_generic_error_t* error = xcb_request_check(connection, selected)) {
        std::free(error);
        std::fprintf(stderr, "launch_timer: cannot watch the root window\n");
        return 2;
    }

    const Clock::time_point start = Clock::now();
    // The program's own output would mix with the time on stdout.
    posix_spawn_file_actions_t quiet;
    ::posix_spawn_file_actions_init(&quiet);
    ::posix_spawn_file_actions_addopen(&quiet, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    ::posix_spawn_file_actions_addopen(&quiet, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    pid_t child = -1;
    const int spawned = ::posix_spawn(&child, argv[3], &quiet, nullptr, argv + 3, environ);
    ::posix_spawn_file_actions_destroy(&quiet);
    if (spawned != 0) {
        std::fprintf(stderr, "launch_timer: cannot start %s: %s\n", argv[3], std::strerror(spawned));
        return 2;
    }
    bool ended = false;
    const bool mapped
        = waitForMap(connection, title, child, start + std::chrono::milliseconds(timeout_ms), ended);
    const auto elapsed = std::chrono::duration_cast<std::chrono::microseconds>(Clock::now() - start).count();

    if (mapped && linger_ms > 0 && !ended) {
        const Clock::time_point until = Clock::now() + std::chrono::milliseconds(linger_ms);
        while (!ended && Clock::now() < until) {
            ended = ::waitpid(child, nullptr, WNOHANG) == child;
            ::usleep(5000);
        }
    }
    if (!ended)
        stop(child);
    xcb_disconnect(connection);
    if (!mapped) {
        std::fprintf(
            stderr, "launch_timer: no window titled \"%s\" within %ld ms\n", title.c_str(), timeout_ms);
        return 1;
    }
    std::printf("%lld\n", static_cast<long long>(elapsed));
    return 0;
}
