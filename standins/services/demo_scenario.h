#pragma once

// The demo's one story, shared by the demo depot (what the workspace holds) and
// the demo services (what the check server finds in it): a developer with a
// pending changelist that adds a button to the main menu.

#include <string>
#include <vector>

namespace velmora::demo {

inline constexpr const char* kPort = "localhost:1666";
inline constexpr const char* kUser = "zhangwei";
inline constexpr const char* kUserFullName = "张伟";
inline constexpr const char* kWorkspace = "zhangwei-marlow-main";
inline constexpr const char* kStream = "//Marlow/main";
inline constexpr int kChange = 1234;
inline constexpr const char* kDescription = "[feature] 新增主界面按钮";

struct DemoFile {
    std::string path; // below the workspace root, plain
    std::string action; // "edit" or "add"
    int head_rev; // the workspace has it too; 0 for an add
    std::string type; // p4 file type
};

inline const std::vector<DemoFile>& demoFiles()
{
    static const std::vector<DemoFile> files {
        { "Source/UI/MainMenuController.cpp", "edit", 7, "text" },
        { "Source/UI/MainMenuController.h", "edit", 3, "text" },
        { "Config/UI/main_menu_layout.json", "edit", 12, "text" },
        { "Assets/UI/主 界面.png", "add", 0, "binary+F" },
        { "Assets/UI/Icons/btn_start.png", "add", 0, "binary+F" },
    };
    return files;
}

} // namespace velmora::demo
