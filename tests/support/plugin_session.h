// The end-to-end fixture: loads the built plug-in module through its exported
// functions as the host does, opens its utility in a command panel over a
// stand-in scene, and acts on the panel as the user would. Drive C is the
// test's scratch folder, so "C:\tris.asc" and every "C:\..." answer land there.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "cli/md2_check.h"
#include "core/quake_export_utility.h"
#include "shell/resources/resource_ids.h"
#include "standin/host/plugin_loader.h"
#include "standin/host/standin_scene.h"
#include "standin/windows/window_standin.h"
#include "support/image_files.h"
#include "support/scratch_folder.h"

namespace vorn_test {

// The host's utility-panel interface; the plug-in only keeps it.
class StandinUtilPanel : public IUtil {
public:
    void CloseUtility() override { ++closeCalls; }
    int closeCalls = 0;
};

class PluginSessionTest : public ::testing::Test {
protected:
    // Every test gets the module freshly loaded (its static utility object as
    // the host first sees it), an empty window system and an empty scene.
    void SetUp() override;
    void TearDown() override;

    standin::PluginModule& Module() { return *module_; }
    // Unloads the module (destroying its static objects) and loads it again.
    void ReloadModule();
    ClassDesc* Desc() const { return module_->LibClassDesc(0); }
    UtilityObj* Utility() const { return static_cast<UtilityObj*>(Desc()->Create()); }
    // All five export buffers of the module's utility object null, as between exports.
    bool BuffersReleased() const;

    // Loads a scene of tests/data/panel into the host's scene.
    void LoadScene(const char* fixture);
    standin::SceneNode* Node(const char* name) const;
    // Points a node's material at another bitmap file.
    void SetBitmap(const char* node, const std::string& fileName);

    // BeginEditParams / EndEditParams, as the host calls them when the user
    // opens and closes the utility.
    void Open();
    void Close();
    HWND Panel() const { return panel_; }

    bool Type(int id, const std::string& text) { return standin::user::TypeText(panel_, id, text); }
    bool Click(int id) { return standin::user::ClickButton(panel_, id); }
    bool Select(const std::string& entry) { return standin::user::SelectListEntry(panel_, IDC_FRAME_LIST, entry); }
    bool SelectAndPress(const std::string& entry, int button) { return Select(entry) && Click(button); }
    standin::WindowInfo Control(int id) const { return standin::DescribeWindow(standin::user::FindControl(panel_, id)); }
    std::string Text(int id) const { return Control(id).text; }
    std::vector<std::string> ListEntries() const { return Control(IDC_FRAME_LIST).items; }
    // Presses "Save md2" or "Import new frame list" and answers Save As with path.
    void ExportTo(const std::string& path);
    void ImportFrom(const std::string& path);

    // Writes bytes to a file of the scratch folder (a "C:\\..." path for the plug-in).
    void PutFile(const std::string& name, const std::vector<uint8_t>& bytes) const {
        vorn_test::WriteFile(scratch.File(name), bytes);
    }
    // Files in the scratch folder, relative, sorted, folders not listed.
    std::vector<std::string> FilesWritten() const;
    md2check::Md2Report Model(const std::string& name) const;
    const std::vector<standin::MessageBoxShown>& MessageBoxes() const { return standin::Record().messageBoxes; }
    const std::vector<standin::SaveAsShown>& SaveAsDialogs() const { return standin::Record().saveAsDialogs; }
    // count boxes so far, the last an OK box of the panel with this text and caption.
    void ExpectBoxes(size_t count, const std::string& text, const std::string& caption) const;

    ScratchFolder scratch;
    standin::Scene scene;
    std::unique_ptr<standin::CommandPanel> commandPanel;
    std::unique_ptr<standin::StandinHost> host;
    StandinUtilPanel utilPanel;
    // Window-system notes the test expects (unanswered dialogs and the like);
    // any other note fails the test when it ends.
    size_t expectedNotes = 0;

private:
    void Load();

    std::unique_ptr<standin::PluginModule> module_;
    HWND panel_ = nullptr;
};

// A Quake II model that holds only what the frame-name import and the model
// updater read: its header and frames of vertexCount vertices named names.
std::vector<uint8_t> Md2WithFrames(const std::vector<std::string>& names, int32_t vertexCount, int32_t triangleCount);

}  // namespace vorn_test
