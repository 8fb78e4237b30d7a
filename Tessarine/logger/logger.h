#pragma once

#include <string>

#include <log4cplus/appender.h>
#include <log4cplus/logger.h>

class QString;

namespace log4cplus {
class Initializer;
}

namespace velmora {

// The program-wide logging facade: one logger "Wendlow_Qt" at INFO writing to
// standard output and to a daily rolling file "<data dir>/<app name>/log.txt".
// Callers pass finished text; the facade adds no formatting of its own.
class Logger {
public:
    static void initialize(const std::string& app_name);
    static void unInitialize();
    static Logger* Inst();

    static void logInfo(const char* text);
    static void logInfo(const std::string& text);
    static void logInfo(const QString& text);
    static void logWarning(const char* text);
    static void logWarning(const std::string& text);
    static void logWarning(const QString& text);
    static void logError(const char* text);
    static void logError(const std::string& text);
    static void logError(const QString& text);

    // The file the current name writes to; used by the constructor and by tests.
    static std::string logFilePath(const std::string& app_name);

    ~Logger();

private:
    Logger();
    Logger(const Logger&) = delete;
    Logger& operator=(const Logger&) = delete;

    static void log(int level, const std::string& text);

    static Logger* kLogger;
    static std::string kAppName;

    log4cplus::Initializer* initializer_ = nullptr;
    log4cplus::Logger* logger_ = nullptr;
    log4cplus::helpers::SharedObjectPtr<log4cplus::Appender> console_appender_;
    log4cplus::helpers::SharedObjectPtr<log4cplus::Appender> file_appender_;
};

} // namespace velmora
