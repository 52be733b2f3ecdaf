// The plug-in shell as the host meets it: the module's exports, the class
// description with its one utility object, the entry point, and the utility
// opening and closing its panel.
#include <string>
#include <vector>

#include "support/plugin_session.h"

namespace {

using vorn_test::PluginSessionTest;

class PluginShellTest : public PluginSessionTest {};

TEST_F(PluginShellTest, ExportsDescribeOneUtilityClass) {
    standin::PluginModule& module = Module();
    EXPECT_EQ(module.LibNumberClasses(), 1);
    EXPECT_EQ(module.LibVersion(), 0x0FA00800u);
    ASSERT_NE(module.LibDescription(), nullptr);
    EXPECT_EQ(std::string(module.LibDescription()).rfind("Vorn", 0), 0u) << module.LibDescription();
    for (int index : {1, -1, 2}) EXPECT_EQ(module.LibClassDesc(index), nullptr) << index;

    ClassDesc* desc = module.LibClassDesc(0);
    ASSERT_NE(desc, nullptr);
    EXPECT_EQ(module.LibClassDesc(0), desc);
    EXPECT_EQ(desc->IsPublic(), 1);
    EXPECT_STREQ(desc->ClassName(), "Vorn");
    EXPECT_STREQ(desc->Category(), "Quake Export");
    EXPECT_EQ(desc->SuperClassID(), 4128u);
    EXPECT_NE(desc->ClassID(), Class_ID(0, 0));
    EXPECT_EQ(desc->ClassID(), desc->ClassID());
    EXPECT_EQ(desc->BeginCreate(host.get()), 0);
    EXPECT_EQ(desc->EndCreate(host.get()), 0);
    EXPECT_EQ(desc->GetInterface(Interface_ID{}), nullptr);
}

TEST_F(PluginShellTest, EveryCreateHandsOutTheOneStaticObject) {
    ClassDesc* desc = Desc();
    void* first = desc->Create();
    EXPECT_EQ(desc->Create(1), first);
    EXPECT_EQ(desc->Create(0), first);

    // The host's delete and its other notifications leave the object as it is.
    UtilityObj* utility = Utility();
    utility->SelectionSetChanged(host.get(), &utilPanel);
    utility->SetStartupParam(CStr("-q"));
    utility->DeleteThis();
    EXPECT_EQ(desc->Create(), first);
    Open();
    EXPECT_EQ(ListEntries().size(), 198u);
    EXPECT_EQ(utilPanel.closeCalls, 0);
}

TEST_F(PluginShellTest, ControlsAreInitialisedOnceAcrossThreadAttaches) {
    const int commonBefore = standin::CommonControlInits();
    const int customBefore = standin::StandinHost::customControlInits;
    ReloadModule();
    EXPECT_EQ(standin::CommonControlInits(), commonBefore + 1);
    EXPECT_EQ(standin::StandinHost::customControlInits, customBefore + 1);

    for (int i = 0; i < 2; ++i) {
        EXPECT_TRUE(Module().ThreadAttach());
        EXPECT_TRUE(Module().ThreadDetach());
    }
    EXPECT_EQ(standin::CommonControlInits(), commonBefore + 1);
    EXPECT_EQ(standin::StandinHost::customControlInits, customBefore + 1);

    // The instance the entry point stored is still the module's: the panel's
    // template and picture come from it.
    Open();
    ASSERT_EQ(standin::Record().dialogsOpened.size(), 1u);
    EXPECT_EQ(standin::Record().dialogsOpened[0].module, Module().instance());
    ASSERT_EQ(standin::Record().bitmaps.size(), 1u);
    EXPECT_EQ(standin::Record().bitmaps[0].module, Module().instance());
}

TEST_F(PluginShellTest, OpeningAddsThePanelAsARollupPage) {
    Open();
    ASSERT_EQ(host->rollupCalls.size(), 1u);
    const standin::StandinHost::RollupCall& call = host->rollupCalls[0];
    EXPECT_EQ(call.title, Module().LibDescription());
    EXPECT_EQ(call.category, 4000);
    EXPECT_EQ(call.param, 0);
    EXPECT_EQ(call.flags, 0u);
    ASSERT_EQ(commandPanel->pages().size(), 1u);
    EXPECT_EQ(commandPanel->pages()[0].title, Module().LibDescription());

    ASSERT_EQ(standin::Record().dialogsOpened.size(), 1u);
    const standin::DialogOpened& opened = standin::Record().dialogsOpened[0];
    EXPECT_EQ(opened.window, Panel());
    EXPECT_EQ(opened.templateId, IDD_PANEL);
    EXPECT_EQ(opened.parent, commandPanel->window());
    EXPECT_FALSE(opened.modal);

    const QuakeExportUtility& utility = Exporter();
    EXPECT_EQ(utility.panelWindow, Panel());
    EXPECT_EQ(utility.hostInterface, host.get());
    EXPECT_EQ(utility.utilPanel, &utilPanel);

    // The fields as the panel opens.
    const struct {
        int id;
        const char* text;
    } fields[] = {{IDC_SCALE, "1"}, {IDC_SKIN_NAME, "tris"}, {IDC_FIRST_FRAME, "0"},
                  {IDC_START_NAME, ""}, {IDC_END_NAME, ""}};
    for (const auto& field : fields) EXPECT_EQ(Text(field.id), field.text) << field.id;
    for (int id : {IDC_SAVE_BMP, IDC_SAVE_PCX}) EXPECT_EQ(CheckState(id), static_cast<UINT>(BST_UNCHECKED)) << id;

    const HWND panel = Panel();
    Close();
    EXPECT_TRUE(commandPanel->pages().empty());
    EXPECT_FALSE(standin::IsLiveWindow(panel));
    EXPECT_EQ(utility.panelWindow, nullptr);
    EXPECT_EQ(utility.hostInterface, nullptr);
    EXPECT_EQ(utility.utilPanel, nullptr);
    // The picture went with the panel.
    ASSERT_EQ(standin::Record().bitmaps.size(), 1u);
    EXPECT_TRUE(standin::Record().bitmaps[0].deleted);
}

TEST_F(PluginShellTest, ReopeningKeepsTheFrameListAndResetsTheFields) {
    const std::vector<std::string> names = {"hover1", "hover2", "spin1"};
    PutFile("names.md2", vorn_test::Md2WithFrames(names, 3, 1));
    Open();
    ImportFrom("C:\\names.md2");
    ASSERT_EQ(ListEntries(), names);
    ASSERT_TRUE(SelectAndPress("hover2", IDC_START));
    Type(IDC_SCALE, "4");
    Type(IDC_SKIN_NAME, "other");
    Type(IDC_FIRST_FRAME, "9");
    Click(IDC_SAVE_BMP);
    Close();

    Open();
    EXPECT_EQ(ListEntries(), names);
    EXPECT_EQ(Text(IDC_START_NAME), "");
    EXPECT_EQ(Text(IDC_SCALE), "1");
    EXPECT_EQ(Text(IDC_SKIN_NAME), "tris");
    EXPECT_EQ(Text(IDC_FIRST_FRAME), "0");
    EXPECT_EQ(CheckState(IDC_SAVE_BMP), static_cast<UINT>(BST_UNCHECKED));
    Close();

    // Only unloading the module brings the player model's names back.
    ReloadModule();
    Open();
    ASSERT_EQ(ListEntries().size(), 198u);
    EXPECT_EQ(ListEntries().front(), "stand01");
}

}  // namespace
