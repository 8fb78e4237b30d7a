#include "build_config.h"
#include "logger/logger.h"
#include "p4v_submit_client/p4v_input_info.h"
#include "p4v_submit_client/p4v_submit_client.h"
#include "p4v_submit_client_ui/p4v_submit_client_ui.h"
#include "termination_signals.h"
#include "updater/auto_updater.h"
#include "updater/cocoa_initializer.h"
#include "updater/sparkle_auto_updater.h"

#include <QApplication>
#include <QIcon>
#include <QMessageBox>
#include <QSharedMemory>
#include <QString>

#include <exception>
#include <stdexcept>

namespace {

const char* kApplicationKey = "P4VSubmitClient4QX31";

// Exit code when start-up ends because another instance runs.
constexpr int kAnotherInstanceExitCode = 2;

QSharedMemory singleInstanceMemory(QString::fromUtf8(kApplicationKey));

void logArguments(int argc, char** argv)
{
    for (int i = 0; i < argc; ++i)
        velmora::Logger::logInfo(QString("[Args][%1]{%2}").arg(i).arg(QString::fromUtf8(argv[i])));
}

bool checkSingleInstance()
{
    // A segment left by an instance that was killed holds no attachment:
    // detaching our own attach removes it, while a live owner keeps it alive.
    // The attach needs the key file in the temporary directory. When that file
    // was gone, create makes a new one, whose key (from its inode) can name a
    // segment left behind: so look once more, through the new file.
    for (int look = 0; look < 2; ++look) {
        if (singleInstanceMemory.attach(QSharedMemory::ReadWrite))
            singleInstanceMemory.detach();
        if (singleInstanceMemory.create(1, QSharedMemory::ReadWrite)
            || singleInstanceMemory.error() != QSharedMemory::AlreadyExists)
            return true;
    }
    QMessageBox::critical(
        nullptr, "提示", "当前已有窗口正在运行,请先关闭当前窗口", QMessageBox::Ok, QMessageBox::NoButton);
    return false;
}

void startAutoUpdater()
{
    CocoaInitializer initializer;
    // Lives until the process ends; a static keeps it reachable for leak checkers.
    static AutoUpdater* updater
        = new SparkleAutoUpdater(QString::fromUtf8(velmora::build_config::kUpdateFeedUrl));
    updater->checkForUpdates();
}

velmora::P4VInputInfo parseArguments(int argc, char** argv)
{
    velmora::P4VInputInfo info;
    QString* current_field = nullptr;
    bool current_is_files = false;
    for (int i = 0; i < argc; ++i) {
        const QString entry = QString::fromUtf8(argv[i]);
        if (entry.startsWith('-')) {
            if (entry == "-f") {
                current_field = nullptr;
                current_is_files = true;
            } else if (entry == "-u" || entry == "-p" || entry == "-C" || entry == "-c") {
                current_is_files = false;
                current_field = entry == "-u" ? &info.user_name
                    : entry == "-p"           ? &info.server_addr
                    : entry == "-C"           ? &info.workspace
                                              : &info.change_id;
            }
            continue;
        }
        if (current_is_files)
            info.files.append(entry);
        else if (current_field)
            *current_field = entry;
    }

    bool change_id_is_number = false;
    info.change_id.toInt(&change_id_is_number, 10);
    const bool invalid = info.user_name.isEmpty() || info.server_addr.isEmpty() || info.workspace.isEmpty()
        || (info.change_id.toLower() != "default" && !change_id_is_number && info.files.isEmpty());
    if (invalid) {
        throw std::runtime_error(
            QString("Invalid Arguments.[username:%1,serveraddr:%2,workspace:%3,changeid:%4,filesIsEmpty:%5]")
                // One pass: a value that itself holds "%2" must not be filled again.
                .arg(info.user_name, info.server_addr, info.workspace, info.change_id,
                    info.files.isEmpty() ? QString("1") : QString("0"))
                .toUtf8()
                .toStdString());
    }
    return info;
}

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    static QIcon* window_icon = new QIcon(":/Tessarine/Resource/logo.png");
    QApplication::setWindowIcon(*window_icon);
    velmora::TerminationSignals termination_signals;

    int exit_code = 0;
    try {
        velmora::Logger::initialize(kApplicationKey);
        logArguments(argc, argv);
        if (checkSingleInstance()) {
            startAutoUpdater();
            const velmora::P4VInputInfo info = parseArguments(argc, argv);
            velmora::P4VSubmitClient::setWindowFactory([](velmora::P4VSubmitClient* client) {
                return new velmora::P4VSubmitClientUI(client, nullptr);
            });
            velmora::P4VSubmitClient client(info, true);
            // A termination signal during start-up ends it where it stands.
            if (!velmora::TerminationSignals::requested())
                client.initialize();
            if (!velmora::TerminationSignals::requested())
                exit_code = QApplication::exec();
        } else {
            exit_code = kAnotherInstanceExitCode;
        }
    } catch (const std::exception& e) {
        velmora::Logger::logError(e.what());
        if (!velmora::TerminationSignals::requested())
            QMessageBox::warning(
                nullptr, "提示", QString::fromUtf8(e.what()), QMessageBox::Ok, QMessageBox::NoButton);
        exit_code = 1;
    } catch (...) {
        velmora::Logger::logError("other type of exception");
        exit_code = 1;
    }
    velmora::Logger::unInitialize();
    return exit_code;
}
