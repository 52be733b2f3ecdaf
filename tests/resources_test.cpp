// The plug-in's resources as the stand-in builds them: both templates against
// the design's tables, and the panel bitmap.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "shell/resources/plugin_resources.h"
#include "shell/resources/resource_ids.h"
#include "standin/windows/window_standin.h"

namespace {

using standin::WindowKind;

const HINSTANCE kModule = reinterpret_cast<HINSTANCE>(0x7100);

constexpr DWORD kEditStyle = ES_AUTOHSCROLL | WS_BORDER | WS_TABSTOP;

struct ControlRow {
    int id;
    WindowKind kind;
    const char* text;
    int x, y, width, height;
    DWORD style = 0;  // bits it must have besides WS_CHILD | WS_VISIBLE
};

// Control by control, in template order.
const ControlRow kPanelRows[] = {
    {1017, WindowKind::PushButton, "About", 13, 148, 73, 14},
    {-1, WindowKind::GroupBox, "Frame List", 0, 167, 108, 117},
    {1003, WindowKind::ListBox, "", 16, 191, 75, 54, LBS_NOTIFY | LBS_DISABLENOSCROLL | WS_VSCROLL | WS_BORDER | WS_TABSTOP},
    {1004, WindowKind::PushButton, "Import new frame list", 16, 252, 75, 14},
    {1014, WindowKind::PushButton, "Start", 16, 268, 30, 14},
    {1015, WindowKind::PushButton, "End", 61, 268, 30, 14},
    {-1, WindowKind::Text, "First Frame:", 12, 299, 37, 8},
    {1008, WindowKind::Edit, "", 57, 297, 26, 14, kEditStyle},
    {-1, WindowKind::Text, "Start Frame:", 11, 318, 39, 8},
    {1013, WindowKind::SunkenText, "", 51, 316, 43, 13},
    {-1, WindowKind::Text, "End Frame:", 12, 335, 37, 8},
    {1016, WindowKind::SunkenText, "", 51, 333, 43, 13},
    {1005, WindowKind::CheckBox, "Save BMP texture", 10, 360, 73, 10},
    {1006, WindowKind::CheckBox, "Save PCX texture", 10, 371, 72, 10},
    {-1, WindowKind::Text, "Scale:", 19, 386, 21, 8},
    {1020, WindowKind::Edit, "", 44, 384, 33, 14, kEditStyle},
    {-1, WindowKind::Text, "Skin Name:", 3, 403, 38, 8},
    {1021, WindowKind::Edit, "", 44, 401, 59, 14, kEditStyle},
    {1009, WindowKind::PushButton, "Save md2", 15, 429, 74, 14},
};
const ControlRow kAboutRows[] = {
    {IDOK, WindowKind::DefaultPushButton, "OK", 7, 98, 224, 14},
    {-1, WindowKind::Text,
     "Programmed and designed by the Vorn team. Please send comments and bug reports to vorn-team@example.org.", 15,
     17, 203, 39},
    {-1, WindowKind::Text, "Vorn 0.1 - animated MD2 models with BMP and PCX skins", 13, 68, 209, 18},
};

INT_PTR CALLBACK Quiet(HWND, UINT message, WPARAM, LPARAM) { return message == WM_INITDIALOG; }

class PluginResourcesTest : public ::testing::Test {
protected:
    void SetUp() override {
        standin::ResetWindowSystem();
        RegisterModuleResources(kModule, PluginResources());
    }
    void TearDown() override {
        RegisterModuleResources(kModule, nullptr);
        standin::ResetWindowSystem();
    }

    // Opens a template as a dialog and checks its controls against rows.
    template <size_t N>
    standin::WindowInfo OpenAndExpect(WORD id, const ControlRow (&rows)[N]) {
        const HWND dialog = CreateDialogParamA(kModule, MAKEINTRESOURCE(id), nullptr, Quiet, 0);
        const std::vector<HWND> children = standin::ChildWindows(dialog);
        EXPECT_EQ(children.size(), N);
        for (size_t i = 0; i < std::min(N, children.size()); ++i) {
            const ControlRow& row = rows[i];
            const standin::WindowInfo c = standin::DescribeWindow(children[i]);
            SCOPED_TRACE("control " + std::to_string(i) + " \"" + row.text + "\"");
            EXPECT_EQ(c.id, row.id);
            EXPECT_EQ(c.kind, row.kind);
            EXPECT_EQ(c.text, row.text);
            EXPECT_EQ((std::vector<int>{c.x, c.y, c.width, c.height}),
                      (std::vector<int>{row.x, row.y, row.width, row.height}));
            const DWORD wanted = row.style | WS_CHILD | WS_VISIBLE;
            EXPECT_EQ(c.style & wanted, wanted);
        }
        return standin::DescribeWindow(dialog);
    }
};

TEST_F(PluginResourcesTest, PanelTemplateIsAChildPageWithEveryControlOfTheDesign) {
    const standin::WindowInfo page = OpenAndExpect(IDD_PANEL, kPanelRows);
    EXPECT_EQ((std::vector<int>{page.width, page.height}), (std::vector<int>{108, 448}));
    EXPECT_EQ(page.text, "");
    EXPECT_EQ(page.style & (WS_CHILD | WS_POPUP | WS_CAPTION), DWORD{WS_CHILD});
    const ModuleResources* r = PluginResources();
    ASSERT_EQ(r->dialogCount, 2u);
    for (const DialogTemplate* t = r->dialogs; t != r->dialogs + r->dialogCount; ++t) {
        EXPECT_STREQ(t->faceName, "MS Sans Serif");
        EXPECT_EQ(t->pointSize, 8);
    }
}

TEST_F(PluginResourcesTest, AboutTemplateIsAModalBoxWithItsCaptionButtonAndTexts) {
    const standin::WindowInfo box = OpenAndExpect(IDD_ABOUT, kAboutRows);
    EXPECT_EQ((std::vector<int>{box.width, box.height}), (std::vector<int>{238, 119}));
    EXPECT_EQ(box.text, "Quake2 Model Output Plugin");
    const DWORD wanted = WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME;
    EXPECT_EQ(box.style & (wanted | WS_CHILD), wanted);
}

TEST_F(PluginResourcesTest, PanelBitmapIsTheCommittedUncompressedPicture) {
    const ModuleResources* r = PluginResources();
    ASSERT_EQ(r->bitmapCount, 1u);
    const BitmapResource& resource = r->bitmaps[0];
    EXPECT_EQ(resource.id, IDB_PANEL);
    std::ifstream file(VORN_SOURCE_DIR "/shell/resources/panel.bmp", std::ios::binary);
    const std::vector<char> committed{std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
    ASSERT_EQ(resource.size, committed.size());
    EXPECT_TRUE(std::equal(committed.begin(), committed.end(), reinterpret_cast<const char*>(resource.bytes)));
    // 156 x 224 pixels of one byte each, right after the headers and a full palette.
    const BYTE* offset = resource.bytes + 10;
    EXPECT_EQ(offset[0] | offset[1] << 8 | offset[2] << 16 | offset[3] << 24, 14 + 40 + 256 * 4);
    EXPECT_EQ(resource.size, 14u + 40u + 256u * 4u + 156u * 224u);
}

}  // namespace
