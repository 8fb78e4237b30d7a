#include "demo_check_scenario.h"

#include "demo_scenario.h"

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

#include <nlohmann/json.hpp>

namespace velmora::demo {
namespace {

    using standin::CheckServer;

    struct CheckRequest {
        std::string user;
        long long change = 0;
        std::string stream;
    };

    // The envelope carries the request object as JSON text in "Content".
    bool parseRequest(const std::string& body, CheckRequest& request, std::string& problem)
    {
        const nlohmann::json envelope = nlohmann::json::parse(body, nullptr, false);
        if (!envelope.is_object()
            || envelope.value("Protocol", nlohmann::json()) != "C2S_RequestSubmitCheck") {
            problem = "not a C2S_RequestSubmitCheck envelope";
            return false;
        }
        const auto content = envelope.find("Content");
        const nlohmann::json inner = content != envelope.end() && content->is_string()
            ? nlohmann::json::parse(content->get<std::string>(), nullptr, false)
            : nlohmann::json();
        if (!inner.is_object()) {
            problem = "Content is not the JSON text of an object";
            return false;
        }
        for (const char* key : { "UserName", "P4Server", "StreamPath" }) {
            if (!inner.contains(key) || !inner[key].is_string()) {
                problem = std::string(key) + " missing or not a string";
                return false;
            }
        }
        if (!inner.contains("ShelvedID") || !inner["ShelvedID"].is_number_integer()) {
            problem = "ShelvedID missing or not an integer";
            return false;
        }
        request.user = inner["UserName"].get<std::string>();
        request.change = inner["ShelvedID"].get<long long>();
        request.stream = inner["StreamPath"].get<std::string>();
        return true;
    }

    std::vector<CheckServer::Group> failedGroups()
    {
        const std::string layout = "Config/UI/main_menu_layout.json";
        std::vector<CheckServer::Group> groups;
        groups.push_back({ "资源命名检查",
            { { "Assets/UI/主 界面.png",
                "文件名含有空格和中文字符, 资源名只能使用小写字母、数字和下划线" } } });

        CheckServer::Group references { "UI 引用检查", {} };
        const std::vector<std::pair<int, const char*>> missing { { 23, "btn_settings" }, { 31, "btn_exit" },
            { 38, "btn_help" }, { 46, "btn_shop" }, { 52, "btn_mail" }, { 57, "btn_friends" },
            { 63, "btn_rank" }, { 70, "btn_event" }, { 78, "btn_bag" }, { 85, "btn_task" },
            { 91, "icon_vip" } };
        for (const auto& [line, icon] : missing)
            references.errors.emplace_back(layout,
                "第 " + std::to_string(line) + " 行: 引用的图片 Assets/UI/Icons/" + icon + ".png 不存在");
        references.errors.emplace_back(
            layout, "第 104 行: 按钮 StartButton 的点击事件 OnStartClicked 未在代码中注册");
        references.errors.emplace_back(
            "Assets/UI/Icons/btn_start.png", "图集 MainMenu 中缺少该图片, 请重新打包图集");
        groups.push_back(std::move(references));

        groups.push_back({ "编译检查",
            { { "Source/UI/MainMenuController.cpp",
                  "第 142 行: error C2065: “OnStartClicked”: 未声明的标识符" },
                { "", "Win64 Development 编译失败 (1 个错误), 请修正后再提交" } } });
        return groups;
    }

    std::vector<std::string> progressLines(const CheckRequest& request, bool passes)
    {
        const auto& files = demoFiles();
        const auto textures = std::count_if(files.begin(), files.end(), [](const DemoFile& file) {
            return file.path.size() > 4 && file.path.compare(file.path.size() - 4, 4, ".png") == 0;
        });
        const std::string change = std::to_string(request.change);
        std::vector<std::string> lines {
            "Check request accepted: shelved change " + change + " by " + request.user + " (" + request.stream
                + ")",
            "Unshelving change " + change + " into a clean check workspace...",
            "Checking " + std::to_string(files.size()) + " files...",
            "[NamingRules] " + std::to_string(files.size())
                + " files checked: " + (passes ? "OK" : "1 problem"),
            "[TextureFormat] " + std::to_string(textures) + " textures checked: OK",
            "[UiReferences] resolving 48 references in Config/UI/main_menu_layout.json...",
            std::string("[UiReferences] ") + (passes ? "48 references resolved: OK" : "13 problems"),
            "[Compile] building Win64 Development...",
            std::string("[Compile] ") + (passes ? "0 errors, 0 warnings" : "1 error, 2 warnings"),
            passes ? "Check finished in 5.9 s: all 4 checkers passed"
                   : "Check finished in 6.4 s: 3 of 4 checkers reported problems",
        };
        return lines;
    }

} // namespace

DemoCheckScenario::DemoCheckScenario(std::chrono::milliseconds pace, Report report)
    : pace_(pace)
    , report_(std::move(report))
{
}

standin::CheckReplyScript DemoCheckScenario::scriptFor(const httplib::Request& request)
{
    standin::CheckReplyScript script;
    CheckRequest check;
    std::string problem;
    if (!parseRequest(request.body, check, problem)) {
        script.status = 400;
        script.content_type = "text/plain";
        script.pieces = { "bad check request: " + problem };
        report_("check server: refused a request that is not a check request (" + problem + ")");
        return script;
    }
    const int number = ++checks_;
    const bool passes = number > 1;
    report_("check server: check " + std::to_string(number) + " of change " + std::to_string(check.change)
        + (passes ? " answers PASSED" : " answers FAILED with 3 checker groups"));
    script.delay = pace_;
    for (const std::string& line : progressLines(check, passes))
        script.pieces.push_back(CheckServer::frame(CheckServer::serverInfo(line)));
    script.pieces.push_back(CheckServer::frame(
        CheckServer::checkResult(passes, passes ? std::vector<CheckServer::Group> {} : failedGroups())));
    return script;
}

} // namespace velmora::demo
