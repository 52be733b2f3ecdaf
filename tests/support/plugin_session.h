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
#include "export/quake_export_utility.h"
#include "shell/resources/resource_ids.h"
#include "standin/host/plugin_loader.h"
#include "standin/host/standin_scene.h"
#include "standin/windows/window_standin.h"
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

    // --- The module -----------------------------------------------------------
    standin::PluginModule& Module() { return *module_; }
    // Unloads the module (destroying its static objects) and loads it again.
    void ReloadModule();
    ClassDesc* Desc() const { return module_->LibClassDesc(0); }
    // What the host gets from the class description's create operation.
    UtilityObj* Utility() const { return static_cast<UtilityObj*>(Desc()->Create()); }
    // The module's utility object through the plug-in's own class, for what the
    // host cannot see: the export buffers and the frame table.
    QuakeExportUtility& Exporter() const { return *static_cast<QuakeExportUtility*>(Desc()->Create()); }
    // All five export buffers null, as between exports.
    bool BuffersReleased() const;

    // --- The scene ------------------------------------------------------------
    // Loads a scene of tests/data/panel into the host's scene.
    void LoadScene(const char* fixture);
    standin::SceneNode* Node(const char* name) const;
    // Points a node's material at another bitmap file.
    void SetBitmap(const char* node, const std::string& fileName);

    // --- The utility ------------------------------------------------------------
    // BeginEditParams / EndEditParams, as the host calls them when the user
    // opens and closes the utility.
    void Open();
    void Close();
    bool IsOpen() const { return panel_ != nullptr; }
    HWND Panel() const { return panel_; }

    // --- Acting on the panel ----------------------------------------------------
    bool Type(int id, const std::string& text) { return standin::user::TypeText(panel_, id, text); }
    bool Click(int id) { return standin::user::ClickButton(panel_, id); }
    bool Select(const std::string& entry) { return standin::user::SelectListEntry(panel_, IDC_FRAME_LIST, entry); }
    // Selects an entry and presses "Start" or "End".
    bool SelectAndPress(const std::string& entry, int button) { return Select(entry) && Click(button); }
    std::string Text(int id) const;
    std::vector<std::string> ListEntries() const;
    UINT CheckState(int id) const;
    // Presses "Save md2" and answers the Save As dialog with path.
    void ExportTo(const std::string& path);
    // Presses "Import new frame list" and answers the dialog with path.
    void ImportFrom(const std::string& path);

    // --- Files -------------------------------------------------------------------
    // Writes bytes to a file of the scratch folder (a "C:\\..." path for the plug-in).
    void PutFile(const std::string& name, const std::vector<uint8_t>& bytes) const;
    // Files in the scratch folder, relative, sorted, folders not listed.
    std::vector<std::string> FilesWritten() const;
    // The model file name in the scratch folder, read and checked.
    md2check::Md2Report Model(const std::string& name) const;
    const std::vector<standin::MessageBoxShown>& MessageBoxes() const { return standin::Record().messageBoxes; }
    const std::vector<standin::SaveAsShown>& SaveAsDialogs() const { return standin::Record().saveAsDialogs; }

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

// The 16-bit and 32-bit little-endian numbers of a file at an offset.
int32_t FileI16(const std::vector<unsigned char>& file, size_t offset);
int32_t FileI32(const std::vector<unsigned char>& file, size_t offset);

}  // namespace vorn_test
