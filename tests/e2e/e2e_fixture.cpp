#include "e2e_fixture.h"

#include "build_config.h"
#include "window_layout.h"

#include <QUrl>

namespace velmora::e2e {

std::unique_ptr<testing::XvfbDisplay> ProgramTest::display_;
std::unique_ptr<WindowDriver> ProgramTest::driver_;

void ProgramTest::SetUpTestSuite()
{
    display_ = std::make_unique<testing::XvfbDisplay>();
    driver_ = std::make_unique<WindowDriver>(display_->name());
}

void ProgramTest::TearDownTestSuite()
{
    driver_.reset();
    display_.reset();
}

void ProgramTest::SetUp() { ASSERT_TRUE(display_->isRunning()) << "Xvfb did not start"; }

QString ProgramTest::display() { return display_->name(); }

const WindowDriver& ProgramTest::driver() { return *driver_; }

SceneTest::SceneTest()
    : review_(build_config::kSwarmUser, build_config::kSwarmToken)
{
}

void SceneTest::SetUp()
{
    ProgramTest::SetUp();
    tags_.replyWithTags(layout::sixTags());
    const QUrl tag_url(build_config::kTagServiceUrl);
    const QUrl review_url(build_config::kSwarmUrl);
    tags_.start(tag_url.port(), tag_url.host().toStdString());
    review_.start(review_url.port(), review_url.host().toStdString());
    check_.start(build_config::kCheckServerPort, build_config::kCheckServerHost);
}

QStringList SceneTest::argumentsFor(const QString& change_id) const
{
    return { "-u", QString::fromStdString(depot_.user()), "-p", QString::fromStdString(depot_.port()), "-C",
        QString::fromStdString(depot_.client()), "-c", change_id };
}

QString SceneTest::startWindow(ProgramRun& run, const QStringList& arguments) const
{
    if (!run.start(arguments))
        return {};
    QString window;
    bool box = false;
    run.waitWhileRunning([&] {
        window = driver().findWindow(kWindowTitle);
        box = driver().hasWindow(kBoxTitle);
        return !window.isEmpty() || box;
    });
    if (box) {
        ADD_FAILURE() << "start-up showed a box: " << driver().readAndCloseBox(kBoxTitle).toStdString();
        return {};
    }
    // The widgets' places hold for the window as it opens: its fixed size at 0,0.
    if (!window.isEmpty() && driver().geometry(window) != QRect(QPoint(0, 0), layout::kWindowSize)) {
        ADD_FAILURE() << "the window opened elsewhere or in another size";
        return {};
    }
    return window;
}

std::vector<std::string> SceneTest::requestLines(const standin::StandInServer& server)
{
    std::vector<std::string> lines;
    for (const auto& request : server.requests())
        lines.push_back(request.method + " " + request.target);
    return lines;
}

std::vector<std::vector<std::string>> SceneTest::commandsNamed(const std::string& name) const
{
    std::vector<std::vector<std::string>> named;
    for (auto& command : depot_.commands()) {
        if (!command.empty() && command.front() == name)
            named.push_back(std::move(command));
    }
    return named;
}

} // namespace velmora::e2e
