#pragma once

#include <exception>
#include <utility>

class QString;
class QWidget;

namespace velmora {

// The window's one kind of message: a "提示" warning box with an Ok button.
void showTip(QWidget* window, const QString& text);

// Logs a handler's failure at ERROR and shows it in a "提示" warning box over
// the window; the window goes on.
void reportHandlerFailure(QWidget* window, const char* what);

// Runs the body of a Qt handler. Qt does not let an exception pass through its
// event loop, so a failure of a module, the client or the Perforce layer stops
// at the handler's edge and is reported instead.
template <typename Body> void runGuarded(QWidget* window, Body&& body)
{
    try {
        std::forward<Body>(body)();
    } catch (const std::exception& e) {
        reportHandlerFailure(window, e.what());
    } catch (...) {
        reportHandlerFailure(window, "other type of exception");
    }
}

} // namespace velmora
