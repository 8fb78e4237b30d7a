// The check-result view and the console on the real window, offscreen: the
// detail view of one large group, the summary of many groups, and console
// lines appended. Each measure ends when the view is ready to be seen: the
// rows are in, the previous view's widgets are gone and the list is painted.
//
// Needs the build's loopback endpoints free: it starts the stand-in tag and
// review services there, and a stand-in depot for the client.
#include "build_config.h"
#include "logger/logger.h"
#include "p4v_submit_client/p4v_submit_client.h"
#include "p4v_submit_client_ui/p4v_submit_client_ui.h"
#include "review_server.h"
#include "standin_depot.h"
#include "tag_server.h"

#include <QApplication>
#include <QListWidget>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTextBrowser>
#include <QUrl>

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdlib>
#include <memory>

namespace {

using namespace velmora;

P4VSubmitClient* g_client = nullptr;
P4VSubmitClientUI* g_window = nullptr;

// Paths and messages as a texture and naming checker reports them: some short,
// some long enough to wrap, some without a path.
CheckerItem error(int i)
{
    CheckerItem item;
    if (i % 10 != 9)
        item.AssetPath
            = QString("//streams/main/Game/Content/Characters/角色_%1/Textures/T_Hero_%2_Diffuse.uasset")
                  .arg(i % 37)
                  .arg(i, 5, 10, QLatin1Char('0'));
    switch (i % 3) {
    case 0:
        item.Message = QString("贴图尺寸 %1x%1 不是 2 的幂").arg(1000 + i % 24);
        break;
    case 1:
        item.Message = QString("Texture group 'World' exceeds its streaming budget by %1 KB; lower the "
                               "maximum size or move the asset to a streamed group.")
                           .arg(i % 512);
        break;
    default:
        item.Message = QString("命名不符合规范：资源名必须以 T_ 开头，并以 _D、_N 或 _M 结尾（第 %1 项）。"
                               "请在提交前修改资源名，并更新所有引用它的材质。")
                           .arg(i);
        break;
    }
    return item;
}

CheckResult failedResult(int groups, int errors_per_group)
{
    CheckResult result;
    for (int g = 0; g < groups; ++g) {
        CheckerGroup group;
        group.CheckerTitle = QString("TextureChecker_%1 贴图检查").arg(g);
        for (int i = 0; i < errors_per_group; ++i)
            group.Errs << error(i);
        result.ErrorGroups << group;
    }
    return result;
}

QListWidget* resultList() { return g_window->findChild<QListWidget*>("console_text_result_info_"); }

// What stands between the call and the user seeing the view.
void settle()
{
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QCoreApplication::processEvents();
    resultList()->viewport()->repaint();
}

void BM_DetailView(benchmark::State& state)
{
    const CheckResult result = failedResult(1, static_cast<int>(state.range(0)));
    for (auto _ : state) {
        g_window->displayErrorsOfSpecifiedType(result, 0);
        settle();
    }
    if (resultList()->count() != state.range(0) + 1)
        state.SkipWithError("wrong number of rows");
    state.SetComplexityN(state.range(0));
    state.counters["rows_per_s"] = benchmark::Counter(
        static_cast<double>(state.range(0) * state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_DetailView)->Arg(100)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond)->Complexity();

// Scrolling a fresh detail view to its end a page at a time, each page
// painted: the rows that come into view are built on the way.
void BM_ScrollDetailView(benchmark::State& state)
{
    const CheckResult result = failedResult(1, static_cast<int>(state.range(0)));
    QScrollBar* bar = resultList()->verticalScrollBar();
    int pages = 0;
    std::chrono::steady_clock::duration scrolling {};
    for (auto _ : state) {
        state.PauseTiming();
        g_window->displayErrorsOfSpecifiedType(result, 0);
        settle();
        state.ResumeTiming();
        const auto start = std::chrono::steady_clock::now();
        for (; bar->value() < bar->maximum(); ++pages) {
            bar->setValue(bar->value() + bar->pageStep());
            settle();
        }
        scrolling += std::chrono::steady_clock::now() - start;
    }
    state.counters["pages"] = pages / static_cast<double>(state.iterations());
    state.counters["ms_per_page"] = std::chrono::duration<double, std::milli>(scrolling).count() / pages;
}
BENCHMARK(BM_ScrollDetailView)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond);

void BM_Summary(benchmark::State& state)
{
    const CheckResult result = failedResult(static_cast<int>(state.range(0)), 5);
    for (auto _ : state) {
        g_window->displayCheckResult(result);
        settle();
    }
    if (resultList()->count() != state.range(0) + 1)
        state.SkipWithError("wrong number of rows");
    state.SetComplexityN(state.range(0));
}
BENCHMARK(BM_Summary)->Arg(200)->Arg(2000)->Unit(benchmark::kMillisecond)->Complexity();

void BM_ConsoleAppend(benchmark::State& state)
{
    auto* console = g_window->findChild<QTextBrowser*>("console_text_browser_");
    for (auto _ : state) {
        state.PauseTiming();
        console->clear();
        state.ResumeTiming();
        for (int i = 0; i < state.range(0); ++i) {
            if (i % 50 == 49)
                emit g_client->errorMessageOutput(
                    QString("<font color='#ff0000'>p4 shelve failed for change %1\r\nretrying</font>")
                        .arg(i));
            else
                emit g_client->processInfoOutput(
                    QString("[%1]检查 //streams/main/Game/Content/Maps/Level_%1.umap ... ok").arg(i));
        }
        console->viewport()->repaint();
    }
    state.SetComplexityN(state.range(0));
}
BENCHMARK(BM_ConsoleAppend)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond)->Complexity();

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);

    QTemporaryDir app_data;
    setenv("LOCALAPPDATA", app_data.path().toUtf8().constData(), 1);
    Logger::initialize("CheckResultViewBench");
    {
        StandInDepot depot;
        standin::TagServer tags;
        tags.replyWithTags({ { "feature", "新功能" }, { "fix", "修复" } });
        tags.start(QUrl(build_config::kTagServiceUrl).port(),
            QUrl(build_config::kTagServiceUrl).host().toStdString());
        standin::ReviewServer reviews { build_config::kSwarmUser, build_config::kSwarmToken };
        reviews.setUsers({ { "tester", "Test Er", "" } });
        reviews.start(
            QUrl(build_config::kSwarmUrl).port(), QUrl(build_config::kSwarmUrl).host().toStdString());

        const int change = depot.addPendingChange("[feature] bench", { depot.file("src/bench.cpp", 1) });
        auto client = std::make_unique<P4VSubmitClient>(
            P4VInputInfo { QString::number(change), QString::fromStdString(depot.port()),
                QString::fromStdString(depot.client()), QString::fromStdString(depot.user()), {} },
            false);
        client->initialize();
        auto window = std::make_unique<P4VSubmitClientUI>(client.get(), nullptr);
        g_client = client.get();
        g_window = window.get();
        QCoreApplication::processEvents();

        benchmark::RunSpecifiedBenchmarks();
        benchmark::Shutdown();
        window.reset();
        client.reset();
    }
    Logger::unInitialize();
    return 0;
}
