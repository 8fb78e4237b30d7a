#include "logger/logger.h"

#include <QStandardPaths>
#include <QString>

#include <cstdio>
#include <cstdlib>

#include <log4cplus/consoleappender.h>
#include <log4cplus/fileappender.h>
#include <log4cplus/initializer.h>
#include <log4cplus/layout.h>
#include <log4cplus/loggingmacros.h>

namespace velmora {

Logger* Logger::kLogger = nullptr;
std::string Logger::kAppName;

namespace {

    // log4cplus::Initializer is reference-counted and cannot be created again
    // once its last instance is gone, so one lives for the whole process; after
    // unInitialize has deinitialised the library, it is brought back with the
    // plain initialize().
    log4cplus::Initializer* processInitializer()
    {
        static auto* initializer = new log4cplus::Initializer();
        return initializer;
    }

    bool library_deinitialized = false;

} // namespace

std::string Logger::logFilePath(const std::string& app_name)
{
    // Without LOCALAPPDATA (Linux, macOS) the bare path would lie under the
    // file-system root, which a normal user cannot create: use the per-user
    // data directory instead.
    const char* local_app_data = std::getenv("LOCALAPPDATA");
    const QString base = local_app_data
        ? QString::fromUtf8(local_app_data)
        : QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    return QString("%1/%2/log.txt")
        .arg(base, 0, QChar(' '))
        .arg(QString::fromStdString(app_name), 0, QChar(' '))
        .toStdString();
}

Logger::Logger()
{
    initializer_ = processInitializer();
    if (library_deinitialized) {
        log4cplus::initialize();
        library_deinitialized = false;
    }
    console_appender_ = new log4cplus::ConsoleAppender(false, false);
    file_appender_ = new log4cplus::DailyRollingFileAppender(
        logFilePath(kAppName), log4cplus::DAILY, true, 30, true, true, "");
    console_appender_->setName("console");
    console_appender_->setLayout(std::make_unique<log4cplus::SimpleLayout>());
    file_appender_->setName("file");
    file_appender_->setLayout(std::make_unique<log4cplus::PatternLayout>("%D %-5p - %m%n"));
    logger_ = new log4cplus::Logger(log4cplus::Logger::getInstance("Wendlow_Qt"));
    logger_->setLogLevel(log4cplus::INFO_LOG_LEVEL);
    logger_->addAppender(console_appender_);
    logger_->addAppender(file_appender_);
}

Logger::~Logger()
{
    if (logger_) {
        delete logger_;
        logger_ = nullptr;
    }
    file_appender_ = nullptr;
    console_appender_ = nullptr;
}

void Logger::initialize(const std::string& app_name)
{
    if (kLogger)
        unInitialize();
    kAppName = app_name;
    kLogger = new Logger();
}

void Logger::unInitialize()
{
    if (kLogger) {
        delete kLogger;
        kLogger = nullptr;
        kAppName = "";
    }
    log4cplus::Logger::shutdown();
    log4cplus::deinitialize();
    library_deinitialized = true;
}

Logger* Logger::Inst() { return kLogger; }

void Logger::log(int level, const std::string& text)
{
    Logger* instance = Inst();
    if (!instance) {
        // No logger (before initialize or after unInitialize): keep the line visible.
        std::fprintf(stderr, "%s\n", text.c_str());
        return;
    }
    log4cplus::Logger& logger = *instance->logger_;
    if (!logger.isEnabledFor(level))
        return;
    switch (level) {
    case log4cplus::WARN_LOG_LEVEL:
        LOG4CPLUS_WARN(logger, text);
        break;
    case log4cplus::ERROR_LOG_LEVEL:
        LOG4CPLUS_ERROR(logger, text);
        break;
    default:
        LOG4CPLUS_INFO(logger, text);
        break;
    }
}

void Logger::logInfo(const char* text) { log(log4cplus::INFO_LOG_LEVEL, text ? text : ""); }
void Logger::logInfo(const std::string& text) { log(log4cplus::INFO_LOG_LEVEL, text); }
void Logger::logInfo(const QString& text) { log(log4cplus::INFO_LOG_LEVEL, text.toStdString()); }
void Logger::logWarning(const char* text) { log(log4cplus::WARN_LOG_LEVEL, text ? text : ""); }
void Logger::logWarning(const std::string& text) { log(log4cplus::WARN_LOG_LEVEL, text); }
void Logger::logWarning(const QString& text) { log(log4cplus::WARN_LOG_LEVEL, text.toStdString()); }
void Logger::logError(const char* text) { log(log4cplus::ERROR_LOG_LEVEL, text ? text : ""); }
void Logger::logError(const std::string& text) { log(log4cplus::ERROR_LOG_LEVEL, text); }
void Logger::logError(const QString& text) { log(log4cplus::ERROR_LOG_LEVEL, text.toStdString()); }

} // namespace velmora
