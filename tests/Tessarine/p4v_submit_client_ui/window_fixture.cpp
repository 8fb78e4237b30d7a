#include "window_fixture.h"

#include "logger/logger.h"

#include <QApplication>
#include <QDesktopServices>
#include <QFile>
#include <QMessageBox>
#include <QTimer>

#include <cstdlib>

namespace {

const char* kLogName = "WindowTest";

} // namespace

namespace velmora::testing {

ModalBoxCloser::ModalBoxCloser() { poll(); }

void ModalBoxCloser::poll()
{
    if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
        boxes_ << Box { box->windowTitle(), box->text(), box->standardButtons() };
        box->done(QMessageBox::Ok);
    }
    // Bound to this object: the polling ends with it.
    QTimer::singleShot(10, this, &ModalBoxCloser::poll);
}

UrlRecorder::UrlRecorder()
{
    for (const char* scheme : { "http", "https", "file" })
        QDesktopServices::setUrlHandler(scheme, this, "open");
}

UrlRecorder::~UrlRecorder()
{
    for (const char* scheme : { "http", "https", "file" })
        QDesktopServices::unsetUrlHandler(scheme);
}

void WindowFixture::SetUp()
{
    ASSERT_TRUE(app_data_.isValid());
    setenv("LOCALAPPDATA", app_data_.path().toUtf8().constData(), 1);
    Logger::initialize(kLogName);

    tags_.replyWithTags({ { "feature", "新功能" }, { "fix", "修复" }, { "ui", "界面" }, { "docs", "文档" },
        { "perf", "性能" } });
    tags_.start(
        QUrl(build_config::kTagServiceUrl).port(), QUrl(build_config::kTagServiceUrl).host().toStdString());
    reviews_.setUsers({ { "tester", "Test Er", "" }, { "alice", "Alice", "" }, { "albert", "Albert", "" },
        { "Alex", "Alex", "" }, { "bob", "Bob", "" } });
    reviews_.start(QUrl(build_config::kSwarmUrl).port(), QUrl(build_config::kSwarmUrl).host().toStdString());
    check_.start(build_config::kCheckServerPort, build_config::kCheckServerHost);
}

void WindowFixture::TearDown()
{
    window_.reset();
    client_.reset();
    check_.stop();
    Logger::unInitialize();
    unsetenv("LOCALAPPDATA");
}

P4VSubmitClient& WindowFixture::openClient(const std::string& description)
{
    const int change = depot_.addPendingChange(description, { depot_.file("src/window.cpp", 2) });
    const P4VInputInfo input { QString::number(change), QString::fromStdString(depot_.port()),
        QString::fromStdString(depot_.client()), QString::fromStdString(depot_.user()), {} };
    client_ = std::make_unique<P4VSubmitClient>(input, false);
    client_->initialize();
    return *client_;
}

P4VSubmitClientUI& WindowFixture::openWindow(const std::string& description)
{
    window_ = std::make_unique<P4VSubmitClientUI>(&openClient(description), nullptr);
    return *window_;
}

QString WindowFixture::logText() const
{
    QFile file(QString::fromStdString(Logger::logFilePath(kLogName)));
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

} // namespace velmora::testing
