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

struct ControlRow {
    int id;
    WindowKind kind;
    const char* text;
    int x, y, width, height;
};

// The panel, control by control, in template order.
const ControlRow kPanelRows[] = {
    {1017, WindowKind::PushButton, "About", 13, 148, 73, 14},
    {-1, WindowKind::GroupBox, "Frame List", 0, 167, 108, 117},
    {1003, WindowKind::ListBox, "", 16, 191, 75, 54},
    {1004, WindowKind::PushButton, "Import new frame list", 16, 252, 75, 14},
    {1014, WindowKind::PushButton, "Start", 16, 268, 30, 14},
    {1015, WindowKind::PushButton, "End", 61, 268, 30, 14},
    {-1, WindowKind::Text, "First Frame:", 12, 299, 37, 8},
    {1008, WindowKind::Edit, "", 57, 297, 26, 14},
    {-1, WindowKind::Text, "Start Frame:", 11, 318, 39, 8},
    {1013, WindowKind::SunkenText, "", 51, 316, 43, 13},
    {-1, WindowKind::Text, "End Frame:", 12, 335, 37, 8},
    {1016, WindowKind::SunkenText, "", 51, 333, 43, 13},
    {1005, WindowKind::CheckBox, "Save BMP texture", 10, 360, 73, 10},
    {1006, WindowKind::CheckBox, "Save PCX texture", 10, 371, 72, 10},
    {-1, WindowKind::Text, "Scale:", 19, 386, 21, 8},
    {1020, WindowKind::Edit, "", 44, 384, 33, 14},
    {-1, WindowKind::Text, "Skin Name:", 3, 403, 38, 8},
    {1021, WindowKind::Edit, "", 44, 401, 59, 14},
    {1009, WindowKind::PushButton, "Save md2", 15, 429, 74, 14},
};

INT_PTR CALLBACK Quiet(HWND, UINT message, WPARAM, LPARAM) { return message == WM_INITDIALOG; }

// The About box's procedure as the design has it: only OK ends it.
INT_PTR CALLBACK About(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
    if (message == WM_COMMAND && LOWORD(wParam) == IDOK) {
        EndDialog(dialog, 0);
        return TRUE;
    }
    return message == WM_INITDIALOG || message == WM_DESTROY;
}

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

    const DialogTemplate& Template(WORD id) {
        const ModuleResources* r = PluginResources();
        for (size_t i = 0; i < r->dialogCount; ++i) {
            if (r->dialogs[i].id == id) return r->dialogs[i];
        }
        ADD_FAILURE() << "no template " << id;
        return r->dialogs[0];
    }

    void ExpectControls(HWND dialog, const ControlRow* rows, size_t count) {
        const std::vector<HWND> children = standin::ChildWindows(dialog);
        ASSERT_EQ(children.size(), count);
        for (size_t i = 0; i < count; ++i) {
            const ControlRow& row = rows[i];
            const standin::WindowInfo c = standin::DescribeWindow(children[i]);
            SCOPED_TRACE("control " + std::to_string(i) + " \"" + row.text + "\" id " + std::to_string(row.id));
            EXPECT_EQ(c.id, row.id);
            EXPECT_EQ(c.kind, row.kind);
            EXPECT_EQ(c.text, row.text);
            EXPECT_EQ(c.x, row.x);
            EXPECT_EQ(c.y, row.y);
            EXPECT_EQ(c.width, row.width);
            EXPECT_EQ(c.height, row.height);
            EXPECT_EQ(c.style & (WS_CHILD | WS_VISIBLE), WS_CHILD | WS_VISIBLE);
            EXPECT_EQ(c.parent, dialog);
        }
    }
};

TEST_F(PluginResourcesTest, PanelTemplateHasEveryControlOfTheDesign) {
    const DialogTemplate& t = Template(IDD_PANEL);
    EXPECT_EQ(t.cx, 108);
    EXPECT_EQ(t.cy, 448);
    EXPECT_STREQ(t.faceName, "MS Sans Serif");
    EXPECT_EQ(t.pointSize, 8);
    EXPECT_STREQ(t.caption, "");
    EXPECT_EQ(t.style & (WS_CHILD | WS_POPUP | WS_CAPTION), WS_CHILD);

    standin::CommandPanel panel;
    const HWND page = panel.AddPage(kModule, MAKEINTRESOURCE(IDD_PANEL), Quiet, "Vorn", 0);
    ASSERT_NE(page, nullptr);
    EXPECT_EQ(standin::DescribeWindow(page).parent, panel.window());
    ExpectControls(page, kPanelRows, std::size(kPanelRows));
}

TEST_F(PluginResourcesTest, PanelControlStylesFollowTheDesign) {
    standin::CommandPanel panel;
    const HWND page = panel.AddPage(kModule, MAKEINTRESOURCE(IDD_PANEL), Quiet, "Vorn", 0);
    ASSERT_NE(page, nullptr);

    const DWORD list = standin::DescribeWindow(GetDlgItem(page, IDC_FRAME_LIST)).style;
    const DWORD listWants = LBS_NOTIFY | LBS_DISABLENOSCROLL | WS_VSCROLL | WS_BORDER | WS_TABSTOP;
    EXPECT_EQ(list & listWants, listWants);
    EXPECT_EQ(list & LBS_SORT, 0u);
    for (int id : {IDC_FIRST_FRAME, IDC_SCALE, IDC_SKIN_NAME}) {
        const DWORD edit = standin::DescribeWindow(GetDlgItem(page, id)).style;
        EXPECT_EQ(edit & (ES_AUTOHSCROLL | WS_BORDER | WS_TABSTOP), ES_AUTOHSCROLL | WS_BORDER | WS_TABSTOP) << id;
    }
    // The check boxes open unchecked.
    EXPECT_EQ(IsDlgButtonChecked(page, IDC_SAVE_BMP), BST_UNCHECKED);
    EXPECT_EQ(IsDlgButtonChecked(page, IDC_SAVE_PCX), BST_UNCHECKED);
}

TEST_F(PluginResourcesTest, AboutTemplateHasItsCaptionButtonAndTexts) {
    const DialogTemplate& t = Template(IDD_ABOUT);
    EXPECT_EQ(t.cx, 238);
    EXPECT_EQ(t.cy, 119);
    EXPECT_STREQ(t.caption, "Quake2 Model Output Plugin");
    EXPECT_STREQ(t.faceName, "MS Sans Serif");
    EXPECT_EQ(t.pointSize, 8);
    EXPECT_EQ(t.style & (WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | WS_CHILD),
              WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME);

    HWND about = nullptr;
    standin::QueueDialogAction([&](HWND dialog) {
        about = dialog;
        const std::vector<HWND> children = standin::ChildWindows(dialog);
        ASSERT_EQ(children.size(), 3u);
        const standin::WindowInfo ok = standin::DescribeWindow(children[0]);
        EXPECT_EQ(ok.id, IDOK);
        EXPECT_EQ(ok.kind, WindowKind::DefaultPushButton);
        EXPECT_EQ(ok.text, "OK");
        EXPECT_EQ((std::vector<int>{ok.x, ok.y, ok.width, ok.height}), (std::vector<int>{7, 98, 224, 14}));
        const standin::WindowInfo credits = standin::DescribeWindow(children[1]);
        EXPECT_EQ(credits.kind, WindowKind::Text);
        EXPECT_EQ((std::vector<int>{credits.x, credits.y, credits.width, credits.height}),
                  (std::vector<int>{15, 17, 203, 39}));
        EXPECT_NE(credits.text.find("Vorn"), std::string::npos);
        const standin::WindowInfo product = standin::DescribeWindow(children[2]);
        EXPECT_EQ(product.kind, WindowKind::Text);
        EXPECT_EQ((std::vector<int>{product.x, product.y, product.width, product.height}),
                  (std::vector<int>{13, 68, 209, 18}));
        EXPECT_EQ(product.text.rfind("Vorn", 0), 0u);
        EXPECT_EQ(standin::DescribeWindow(dialog).text, "Quake2 Model Output Plugin");
        standin::user::PressKey(dialog, VK_RETURN);
    });
    EXPECT_EQ(DialogBoxParamA(kModule, MAKEINTRESOURCE(IDD_ABOUT), nullptr, About, 0), 0);
    ASSERT_EQ(standin::Record().modalOutcomes.size(), 1u);
    EXPECT_TRUE(standin::Record().modalOutcomes[0].endedByDialog);
    EXPECT_FALSE(standin::IsLiveWindow(about));
}

TEST_F(PluginResourcesTest, AboutBoxClosesOnlyOnOk) {
    standin::QueueDialogAction([](HWND dialog) {
        EXPECT_TRUE(standin::user::PressKey(dialog, VK_ESCAPE));
        EXPECT_TRUE(standin::user::ClickCloseBox(dialog));
        EXPECT_TRUE(standin::IsLiveWindow(dialog));
    });
    standin::QueueDialogAction([](HWND dialog) { standin::user::ClickButton(dialog, IDOK); });
    EXPECT_EQ(DialogBoxParamA(kModule, MAKEINTRESOURCE(IDD_ABOUT), nullptr, About, 0), 0);
    EXPECT_TRUE(standin::Record().modalOutcomes.at(0).endedByDialog);
    EXPECT_EQ(standin::UnusedAnswers(), 0u);
}

TEST_F(PluginResourcesTest, PanelBitmapIs156By224With256Colours) {
    const HBITMAP bitmap = LoadBitmapA(kModule, MAKEINTRESOURCE(IDB_PANEL));
    ASSERT_NE(bitmap, nullptr);
    const standin::BitmapLoad& load = standin::Record().bitmaps.at(0);
    EXPECT_EQ(load.resourceId, IDB_PANEL);
    EXPECT_EQ(load.width, PANEL_BITMAP_WIDTH);
    EXPECT_EQ(load.height, PANEL_BITMAP_HEIGHT);
    EXPECT_EQ((std::vector<int>{load.width, load.height, load.bitsPerPixel}), (std::vector<int>{156, 224, 8}));
    EXPECT_TRUE(DeleteObject(bitmap));

    // The module carries the committed file as it stands: an uncompressed
    // 8-bit BMP with a full palette.
    const ModuleResources* r = PluginResources();
    ASSERT_EQ(r->bitmapCount, 1u);
    const BitmapResource& resource = r->bitmaps[0];
    std::ifstream file(VORN_SOURCE_DIR "/shell/resources/panel.bmp", std::ios::binary);
    const std::vector<char> committed{std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
    ASSERT_EQ(resource.size, committed.size());
    EXPECT_TRUE(std::equal(committed.begin(), committed.end(), reinterpret_cast<const char*>(resource.bytes)));
    auto le32 = [&](size_t at) {
        const BYTE* p = resource.bytes + at;
        return static_cast<uint32_t>(p[0] | p[1] << 8 | p[2] << 16 | p[3] << 24);
    };
    EXPECT_EQ(le32(2), resource.size);           // file size
    EXPECT_EQ(le32(10), 14u + 40u + 256u * 4u);  // pixels after the palette
    EXPECT_EQ(le32(30), 0u);                     // no compression
    EXPECT_TRUE(le32(46) == 0 || le32(46) == 256);
    EXPECT_EQ(resource.size, le32(10) + 156u * 224u);
}

}  // namespace
