// Writes the demo's depot for the stand-in p4 into DIR: one stream workspace
// rooted in DIR/ws with its files on disk, opened in a numbered pending
// changelist whose description already carries a tag, and a logged-in user.
// DIR/tessarine.args holds the assistant's command line for it, one argument
// a line.
//
//   standin_demo_depot DIR      (DIR must not hold a state.json yet)

#include "demo_scenario.h"
#include "standin_state.h"

#include <filesystem>
#include <fstream>
#include <iostream>
#include <string>

namespace {

namespace fs = std::filesystem;
using velmora::Json;
using velmora::demo::DemoFile;

// A 1x1 transparent PNG: the assets are real images, if small ones.
const unsigned char kPng[] = { 0x89, 0x50, 0x4E, 0x47, 0x0D, 0x0A, 0x1A, 0x0A, 0x00, 0x00, 0x00, 0x0D, 0x49,
    0x48, 0x44, 0x52, 0x00, 0x00, 0x00, 0x01, 0x00, 0x00, 0x00, 0x01, 0x08, 0x06, 0x00, 0x00, 0x00, 0x1F,
    0x15, 0xC4, 0x89, 0x00, 0x00, 0x00, 0x0A, 0x49, 0x44, 0x41, 0x54, 0x78, 0x9C, 0x63, 0x00, 0x01, 0x00,
    0x00, 0x05, 0x00, 0x01, 0x0D, 0x0A, 0x2D, 0xB4, 0x00, 0x00, 0x00, 0x00, 0x49, 0x45, 0x4E, 0x44, 0xAE,
    0x42, 0x60, 0x82 };

bool endsWith(const std::string& path, const std::string& suffix)
{
    return path.size() > suffix.size()
        && path.compare(path.size() - suffix.size(), suffix.size(), suffix) == 0;
}

std::string contentOf(const std::string& path)
{
    if (endsWith(path, ".png"))
        return std::string(reinterpret_cast<const char*>(kPng), sizeof kPng);
    if (endsWith(path, ".json"))
        return "{\n"
               "  \"screen\": \"MainMenu\",\n"
               "  \"background\": \"Assets/UI/主 界面.png\",\n"
               "  \"buttons\": [\n"
               "    { \"id\": \"StartButton\", \"image\": \"Assets/UI/Icons/btn_start.png\", \"onClick\": "
               "\"OnStartClicked\" }\n"
               "  ]\n"
               "}\n";
    if (endsWith(path, ".h"))
        return "#pragma once\n\n"
               "class MainMenuController {\n"
               "public:\n"
               "    void Show();\n"
               "    void OnStartClicked();\n"
               "};\n";
    return "#include \"MainMenuController.h\"\n\n"
           "void MainMenuController::Show()\n"
           "{\n"
           "    // 新增: 开始按钮\n"
           "    BindButton(\"StartButton\", &MainMenuController::OnStartClicked);\n"
           "}\n";
}

void writeFile(const fs::path& path, const std::string& content)
{
    fs::create_directories(path.parent_path());
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << content;
    if (!out)
        throw std::runtime_error("cannot write " + path.string());
}

Json demoState(const std::string& root)
{
    namespace demo = velmora::demo;
    Json state = velmora::StandInState::defaults(root);
    state["port"] = demo::kPort;
    state["user"] = demo::kUser;
    state["tickets"] = Json::array({ Json { { "port", demo::kPort }, { "user", demo::kUser },
        { "ticket", "4F1C8E2B7A9D3C6E0B5A8F2D1E7C4B9A" } } });
    state["client"] = Json { { "name", demo::kWorkspace }, { "root", root }, { "stream", demo::kStream },
        { "depot_prefix", std::string(demo::kStream) + "/" } };
    // No higher number yet: the change keeps its number when it is submitted.
    state["next_change"] = demo::kChange + 1;
    state["changes"]
        = Json::array({ Json { { "change", demo::kChange }, { "status", "pending" }, { "user", demo::kUser },
            { "client", demo::kWorkspace }, { "description", std::string(demo::kDescription) + "\n" },
            { "jobs", Json::array() }, { "shelved", Json::array() } } });

    velmora::StandInState paths(state);
    int last_change = 1187;
    for (const DemoFile& file : demo::demoFiles()) {
        const std::string depot = std::string(demo::kStream) + "/" + velmora::escapePath(file.path);
        // An add is opened at revision 1 and has no revision in the workspace yet.
        const bool added = file.action == "add";
        state["opened"].push_back(Json { { "depotFile", depot }, { "clientFile", paths.clientPathOf(depot) },
            { "localFile", paths.localPathOf(depot) }, { "rev", added ? 1 : file.head_rev },
            { "haveRev", file.head_rev }, { "action", file.action }, { "type", file.type },
            { "change", std::to_string(demo::kChange) } });
        if (!added) {
            state["head"][depot]
                = Json { { "rev", file.head_rev }, { "action", "edit" }, { "change", last_change } };
            state["have"][depot] = file.head_rev;
            last_change += 7;
        }
    }
    return state;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::cerr << "usage: " << argv[0] << " DIR\n";
        return 2;
    }
    try {
        const fs::path dir = fs::absolute(argv[1]).lexically_normal();
        if (fs::exists(dir / "state.json")) {
            std::cerr << "standin_demo_depot: " << (dir / "state.json").string()
                      << " exists; the demo depot goes into a fresh directory\n";
            return 1;
        }
        const fs::path root = dir / "ws";
        fs::create_directories(root);
        for (const DemoFile& file : velmora::demo::demoFiles())
            writeFile(root / fs::u8path(file.path), contentOf(file.path));
        velmora::StandInState::save(dir.string(), demoState(root.string()));
        namespace demo = velmora::demo;
        writeFile(dir / "tessarine.args",
            std::string("-u\n") + demo::kUser + "\n-p\n" + demo::kPort + "\n-C\n" + demo::kWorkspace
                + "\n-c\n" + std::to_string(demo::kChange) + "\n");

        std::cout << "Demo depot in " << dir.string() << "\n"
                  << "  server " << velmora::demo::kPort << ", user " << velmora::demo::kUser
                  << ", workspace " << velmora::demo::kWorkspace << " (" << velmora::demo::kStream
                  << ") rooted in " << root.string() << "\n"
                  << "  pending change " << velmora::demo::kChange << " \"" << velmora::demo::kDescription
                  << "\" with " << velmora::demo::demoFiles().size() << " opened files\n";
    } catch (const std::exception& e) {
        std::cerr << "standin_demo_depot: " << e.what() << "\n";
        return 1;
    } catch (const velmora::StandInError& e) {
        std::cerr << "standin_demo_depot: " << e.text << "\n";
        return 1;
    }
    return 0;
}
