// The plug-in shell as the host meets it: the module's exports, the class
// description with its one utility object, the entry point, and the utility
// opening and closing its panel.
#include <string>
#include <vector>

#include "support/plugin_session.h"

namespace {

class PluginShellTest : public vorn_test::PluginSessionTest {
protected:
    void ExpectFreshFields() const {
        const struct {
            int id;
            const char* text;
        } fields[] = {{IDC_SCALE, "1"}, {IDC_SKIN_NAME, "tris"}, {IDC_FIRST_FRAME, "0"},
                      {IDC_START_NAME, ""}, {IDC_END_NAME, ""}};
        for (const auto& f : fields) EXPECT_EQ(Text(f.id), f.text) << f.id;
        for (int id : {IDC_SAVE_BMP, IDC_SAVE_PCX}) EXPECT_EQ(Control(id).check, UINT{BST_UNCHECKED}) << id;
    }
};

TEST_F(PluginShellTest, ExportsDescribeOneUtilityClassWithOneStaticObject) {
    standin::PluginModule& module = Module();
    EXPECT_EQ(module.LibNumberClasses(), 1);
    EXPECT_EQ(module.LibVersion(), 0x0FA00800u);
    EXPECT_STREQ(module.LibDescription(), "Vorn: Quake II model (.md2) export utility");
    for (int index : {1, -1}) EXPECT_EQ(module.LibClassDesc(index), nullptr) << index;

    ClassDesc* desc = Desc();
    ASSERT_NE(desc, nullptr);
    EXPECT_EQ(desc->IsPublic(), 1);
    EXPECT_STREQ(desc->ClassName(), "Vorn");
    EXPECT_STREQ(desc->Category(), "Quake Export");
    EXPECT_EQ(desc->SuperClassID(), 4128u);
    // Saved scenes name the utility by it.
    EXPECT_TRUE(desc->ClassID() == Class_ID(0x5A3C61E2, 0x1D9B4F07));
    EXPECT_EQ(desc->BeginCreate(host.get()), 0);
    EXPECT_EQ(desc->EndCreate(host.get()), 0);

    // The host's delete and its other notifications leave the one object as it is.
    UtilityObj* utility = Utility();
    EXPECT_EQ(desc->Create(1), utility);
    utility->SelectionSetChanged(host.get(), &utilPanel);
    utility->SetStartupParam(CStr("-q"));
    utility->DeleteThis();
    EXPECT_EQ(desc->Create(0), utility);
    Open();
    EXPECT_EQ(ListEntries().size(), 198u);
}

TEST_F(PluginShellTest, OpeningAddsAFreshPanelPageAndClosingTakesItAway) {
    Open();
    ASSERT_EQ(host->rollupCalls.size(), 1u);
    const standin::StandinHost::RollupCall& call = host->rollupCalls[0];
    EXPECT_EQ(call.title, Module().LibDescription());
    EXPECT_EQ(call.category, 4000);
    EXPECT_EQ(call.param, 0);
    EXPECT_EQ(call.flags, 0u);
    const standin::DialogOpened& opened = standin::Record().dialogsOpened.at(0);
    EXPECT_EQ(opened.templateId, IDD_PANEL);
    EXPECT_EQ(opened.parent, commandPanel->window());
    EXPECT_FALSE(opened.modal);
    ExpectFreshFields();

    const HWND panel = Panel();
    Close();
    EXPECT_TRUE(commandPanel->pages().empty());
    EXPECT_FALSE(standin::IsLiveWindow(panel));
    EXPECT_TRUE(standin::Record().bitmaps.at(0).deleted) << "the picture stays behind";
}

TEST_F(PluginShellTest, ReopeningKeepsTheFrameListAndResetsTheFields) {
    const std::vector<std::string> names = {"hover1", "hover2", "spin1"};
    PutFile("names.md2", vorn_test::Md2WithFrames(names, 3, 1));
    Open();
    ImportFrom("C:\\names.md2");
    ASSERT_TRUE(SelectAndPress("hover2", IDC_START));
    ASSERT_TRUE(SelectAndPress("spin1", IDC_END));
    for (int id : {IDC_SCALE, IDC_SKIN_NAME, IDC_FIRST_FRAME}) Type(id, "9");
    Click(IDC_SAVE_BMP);
    Click(IDC_SAVE_PCX);
    Close();

    Open();
    EXPECT_EQ(ListEntries(), names);
    ExpectFreshFields();
    Close();

    // Only unloading the module brings the player model's names back.
    ReloadModule();
    Open();
    EXPECT_EQ(ListEntries().size(), 198u);
}

}  // namespace
