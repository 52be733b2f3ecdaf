// The Linux build's answer to the Windows GUI test: loads vorn.dlu through the
// stand-in loader, opens its panel in the stand-in command panel and takes the
// same steps as panel_driver does on Windows, so that both builds' files can
// be compared byte for byte.
//
//   panel_reference MODULE SCENE DRIVE_C_FOLDER START END FIRST_FRAME SCALE SKIN SAVE_AS_PATH
//
// Drive C lands in DRIVE_C_FOLDER; relative paths (the skin files) in the
// current folder, as for the Windows host. Exit status 1, with the reason on
// standard error, when a step fails or the plug-in shows a message box.
#include <cstdio>
#include <cstdlib>
#include <string>

#include "shell/resources/resource_ids.h"
#include "standin/host/host_files.h"
#include "standin/host/json_scene_loader.h"
#include "standin/host/plugin_loader.h"
#include "standin/windows/window_standin.h"

namespace {

[[noreturn]] void Fail(const std::string& why) {
    std::fprintf(stderr, "panel_reference: %s\n", why.c_str());
    std::exit(1);
}

void Require(bool done, const std::string& step) {
    if (!done) Fail(step + " failed");
}

class NoUtilityBranch : public IUtil {
public:
    void CloseUtility() override {}
};

}  // namespace

int main(int argc, char** argv) {
    if (argc != 10)
        Fail("usage: panel_reference MODULE SCENE DRIVE_C_FOLDER START END FIRST_FRAME SCALE SKIN SAVE_AS_PATH");
    const std::string start = argv[4], end = argv[5], firstFrame = argv[6], scale = argv[7], skin = argv[8];
    const std::string saveAs = argv[9];

    standin::Scene scene;
    std::string error;
    if (!standin::LoadJsonScene(argv[2], scene, error)) Fail(error);
    standin::SetDriveFolder('C', argv[3]);

    {
        standin::CommandPanel commandPanel;
        standin::StandinHost host(&scene, &commandPanel);
        standin::PluginModule module(argv[1]);
        if (!module.loaded()) Fail(module.error());
        ClassDesc* description = module.LibClassDesc(0);
        if (!description) Fail("the module has no class");
        auto* utility = static_cast<UtilityObj*>(description->Create(0));
        NoUtilityBranch branch;
        utility->BeginEditParams(&host, &branch);
        if (commandPanel.pages().empty()) Fail("the utility added no panel");
        HWND panel = commandPanel.pages().front().window;

        using namespace standin::user;
        Require(SelectListEntry(panel, IDC_FRAME_LIST, start), "selecting " + start);
        Require(ClickButton(panel, IDC_START), "Start");
        Require(SelectListEntry(panel, IDC_FRAME_LIST, end), "selecting " + end);
        Require(ClickButton(panel, IDC_END), "End");
        Require(TypeText(panel, IDC_FIRST_FRAME, firstFrame), "typing the first frame");
        Require(TypeText(panel, IDC_SCALE, scale), "typing the scale");
        Require(TypeText(panel, IDC_SKIN_NAME, skin), "typing the skin name");
        Require(ClickButton(panel, IDC_SAVE_BMP), "Save BMP texture");
        Require(ClickButton(panel, IDC_SAVE_PCX), "Save PCX texture");
        standin::QueueSaveAs(saveAs);
        Require(ClickButton(panel, IDC_SAVE_MD2), "Save md2");
        for (const standin::MessageBoxShown& box : standin::Record().messageBoxes)
            Fail("a message box came up: " + box.caption + ": " + box.text);
        if (standin::Record().saveAsDialogs.size() != 1) Fail("the Save As dialog did not come up once");

        utility->EndEditParams(&host, &branch);
        utility->DeleteThis();
    }
    return 0;
}
