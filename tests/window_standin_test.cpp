// The stand-in window system: dialogs and controls, notifications, the
// scripted user, modal dialogs, message boxes, Save As and painting.
#include <gtest/gtest.h>

#include <cstring>
#include <iterator>
#include <string>
#include <vector>

#include "standin/windows/window_standin.h"

namespace {

using standin::Record;
using standin::WindowKind;
namespace user = standin::user;

const HINSTANCE kModule = reinterpret_cast<HINSTANCE>(0x7200);

constexpr int kForm = 200;
constexpr int kBox = 201;
constexpr int kEditA = 10, kEditB = 11, kCheck = 20, kPush = 30, kList = 40, kSortedList = 41, kText = 50,
              kSunken = 51;
constexpr WORD kBitmap = 300;

constexpr DWORD kTab = WS_TABSTOP | WS_CHILD | WS_VISIBLE;
const DialogItemTemplate kFormItems[] = {
    {"Edit", "", ES_AUTOHSCROLL | WS_BORDER | kTab, kEditA, 1, 2, 30, 14},
    {"Edit", "", ES_AUTOHSCROLL | WS_BORDER | kTab, kEditB, 1, 20, 30, 14},
    {"Button", "Tick", BS_AUTOCHECKBOX | kTab, kCheck, 1, 40, 50, 10},
    {"Button", "Push", BS_PUSHBUTTON | kTab, kPush, 1, 60, 50, 14},
    {"ListBox", "", LBS_NOTIFY | WS_VSCROLL | kTab, kList, 1, 80, 50, 40},
    {"ListBox", "", LBS_SORT | kTab, kSortedList, 60, 80, 50, 40},
    {"Static", "Label", SS_LEFT | WS_CHILD | WS_VISIBLE, kText, 60, 2, 30, 8},
    {"Static", "", SS_SUNKEN | WS_CHILD | WS_VISIBLE, kSunken, 60, 20, 30, 13},
    {"Button", "Frame", BS_GROUPBOX | WS_CHILD | WS_VISIBLE, -1, 0, 0, 120, 130},
    {"Button", "OK", BS_DEFPUSHBUTTON | kTab, IDOK, 60, 130, 40, 14},
};
const DialogItemTemplate kBoxItems[] = {
    {"Button", "Go", BS_PUSHBUTTON | kTab, kPush, 5, 5, 40, 14},
    {"Button", "OK", BS_DEFPUSHBUTTON | kTab, IDOK, 50, 5, 40, 14},
    {"Edit", "", WS_BORDER | kTab, kEditA, 5, 25, 40, 14},
};
const DialogTemplate kDialogs[] = {
    {kForm, DS_SETFONT | WS_CHILD | WS_VISIBLE, 0, 0, 120, 150, "", 8, "MS Sans Serif", kFormItems,
     std::size(kFormItems)},
    {kBox, DS_MODALFRAME | WS_POPUP | WS_CAPTION | WS_SYSMENU, 0, 0, 100, 50, "Box", 8, "MS Sans Serif", kBoxItems,
     std::size(kBoxItems)},
};
// A 2 x 3 8-bit BMP: headers, 256-entry palette, two 4-byte rows.
std::vector<BYTE> MakeBmp() {
    std::vector<BYTE> b(14 + 40 + 1024 + 3 * 4, 0);
    auto put32 = [&](size_t at, uint32_t v) {
        for (int i = 0; i < 4; ++i) b[at + i] = static_cast<BYTE>(v >> (8 * i));
    };
    b[0] = 'B';
    b[1] = 'M';
    put32(2, static_cast<uint32_t>(b.size()));
    put32(10, 14 + 40 + 1024);
    put32(14, 40);
    put32(18, 2);
    put32(22, 3);
    b[26] = 1;
    b[28] = 8;
    return b;
}
const std::vector<BYTE> kBmpBytes = MakeBmp();
const BitmapResource kBitmaps[] = {{kBitmap, kBmpBytes.data(), kBmpBytes.size()}};
const ModuleResources kResources = {kDialogs, std::size(kDialogs), kBitmaps, std::size(kBitmaps)};

// What the test dialog procedure does and saw.
struct Proc {
    bool endOnCancel = false;
    HBITMAP bitmap = nullptr;
    std::vector<std::string> events;
} g_proc;

std::string CommandText(WPARAM wParam) {
    static const std::pair<WORD, const char*> kCodes[] = {{BN_CLICKED, "clicked"},
                                                          {EN_SETFOCUS, "setfocus"},
                                                          {EN_KILLFOCUS, "killfocus"},
                                                          {EN_CHANGE, "change"}};
    std::string code = std::to_string(HIWORD(wParam));
    for (const auto& [value, name] : kCodes) {
        if (value == HIWORD(wParam)) code = name;
    }
    // LBN_SELCHANGE shares its number with nothing the form's edits send.
    if (LOWORD(wParam) == kList && HIWORD(wParam) == LBN_SELCHANGE) code = "selchange";
    return std::to_string(static_cast<int16_t>(LOWORD(wParam))) + ":" + code;
}

// Ends on OK with 7 (and on Cancel when asked); paints the module bitmap.
INT_PTR CALLBACK TestProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
    switch (message) {
        case WM_INITDIALOG:
            g_proc.events.push_back("init");
            g_proc.bitmap = LoadBitmapA(kModule, MAKEINTRESOURCE(kBitmap));
            return TRUE;
        case WM_DESTROY:
            g_proc.events.push_back("destroy");
            DeleteObject(g_proc.bitmap);
            return TRUE;
        case WM_PAINT: {
            PAINTSTRUCT ps;
            const HDC dc = BeginPaint(dialog, &ps);
            const HDC memory = CreateCompatibleDC(dc);
            const HGDIOBJ old = SelectObject(memory, g_proc.bitmap);
            BitBlt(dc, 0, 0, 2, 3, memory, 0, 0, SRCCOPY);
            SelectObject(memory, old);
            DeleteDC(memory);
            EndPaint(dialog, &ps);
            return TRUE;
        }
        case WM_SYSCOMMAND: g_proc.events.push_back("syscommand"); return FALSE;
        case WM_CLOSE: g_proc.events.push_back("close"); return FALSE;
        case WM_COMMAND:
            g_proc.events.push_back(CommandText(wParam));
            if (LOWORD(wParam) == IDOK || (g_proc.endOnCancel && LOWORD(wParam) == IDCANCEL)) {
                EndDialog(dialog, LOWORD(wParam) == IDOK ? 7 : 8);
            }
            return TRUE;
        default: return FALSE;
    }
}

class WindowStandin : public ::testing::Test {
protected:
    void SetUp() override {
        standin::ResetWindowSystem();
        RegisterModuleResources(kModule, &kResources);
        g_proc = Proc{};
    }
    void TearDown() override {
        RegisterModuleResources(kModule, nullptr);
        standin::ResetWindowSystem();
    }
    HWND OpenForm() { return CreateDialogParamA(kModule, MAKEINTRESOURCE(kForm), nullptr, TestProc, 42); }
    // Runs the box modally with the given actions queued.
    INT_PTR RunBox(std::vector<standin::DialogAction> actions) {
        for (auto& a : actions) standin::QueueDialogAction(std::move(a));
        return DialogBoxParamA(kModule, MAKEINTRESOURCE(kBox), nullptr, TestProc, 0);
    }
    using Events = std::vector<std::string>;
};

// --- Dialogs and controls ----------------------------------------------------

TEST_F(WindowStandin, ControlKindsComeFromClassAndStyle) {
    const HWND form = OpenForm();
    ASSERT_NE(form, nullptr);
    const std::pair<int, WindowKind> expected[] = {
        {kEditA, WindowKind::Edit},       {kCheck, WindowKind::CheckBox},
        {kPush, WindowKind::PushButton},  {kList, WindowKind::ListBox},
        {kText, WindowKind::Text},        {kSunken, WindowKind::SunkenText},
        {-1, WindowKind::GroupBox},       {IDOK, WindowKind::DefaultPushButton},
    };
    for (const auto& [id, kind] : expected) {
        EXPECT_EQ(standin::DescribeWindow(GetDlgItem(form, id)).kind, kind) << id;
    }
    const standin::WindowInfo info = standin::DescribeWindow(form);
    EXPECT_EQ(info.kind, WindowKind::Dialog);
    EXPECT_EQ(info.templateId, kForm);
    EXPECT_EQ(info.module, kModule);
    EXPECT_EQ(GetDlgItem(form, 999), nullptr);
    const RECT pixels = standin::ClientPixels(form);
    EXPECT_EQ(pixels.right, 180);
    EXPECT_EQ(pixels.bottom, 243);
}

TEST_F(WindowStandin, InitComesFirstAndDestroyLast) {
    const HWND form = OpenForm();
    const HWND edit = GetDlgItem(form, kEditA);
    ASSERT_TRUE(DestroyWindow(form));
    EXPECT_EQ(g_proc.events, (Events{"init", "destroy"}));
    const std::vector<standin::DialogMessage> messages = standin::MessagesTo(form);
    ASSERT_EQ(messages.size(), 2u);
    EXPECT_EQ(messages[0].message, WM_INITDIALOG);
    EXPECT_EQ(messages[0].lParam, 42);
    EXPECT_EQ(messages[0].wParam, reinterpret_cast<WPARAM>(edit));  // the first tab stop
    EXPECT_EQ(messages[1].message, WM_DESTROY);
    EXPECT_FALSE(standin::IsLiveWindow(form));
    EXPECT_FALSE(standin::IsLiveWindow(edit));
    EXPECT_FALSE(DestroyWindow(form));
    EXPECT_EQ(GetDlgItem(form, kEditA), nullptr);
    EXPECT_EQ(CreateDialogParamA(kModule, MAKEINTRESOURCE(999), nullptr, TestProc, 0), nullptr);
    EXPECT_EQ(CreateDialogParamA(nullptr, MAKEINTRESOURCE(kForm), nullptr, TestProc, 0), nullptr);
    // The second destroy, the lookup in a dead dialog and two missing templates.
    EXPECT_EQ(Record().notes.size(), 4u);
}

TEST_F(WindowStandin, EditsReportGainingAndLosingTheFocus) {
    const HWND form = OpenForm();
    g_proc.events.clear();
    EXPECT_TRUE(user::TypeText(form, kEditA, "2.5"));
    EXPECT_TRUE(user::TypeText(form, kEditB, "tris"));
    EXPECT_TRUE(user::ClickButton(form, kPush));
    EXPECT_EQ(g_proc.events, (Events{"10:setfocus", "10:change", "10:killfocus", "11:setfocus", "11:change",
                                     "11:killfocus", "30:clicked"}));
    EXPECT_EQ(standin::FocusedWindow(), GetDlgItem(form, kPush));
    char text[8];
    EXPECT_EQ(GetDlgItemTextA(form, kEditA, text, sizeof text), 3u);
    EXPECT_STREQ(text, "2.5");
    ASSERT_EQ(Record().focusChanges.size(), 3u);
    EXPECT_EQ(Record().focusChanges[0].from, nullptr);
    EXPECT_EQ(Record().focusChanges[2].to, GetDlgItem(form, kPush));

    // Destroying the dialog with an edit focused still tells it, first.
    EXPECT_TRUE(user::TypeText(form, kEditB, "x"));
    g_proc.events.clear();
    DestroyWindow(form);
    EXPECT_EQ(g_proc.events, (Events{"11:killfocus", "destroy"}));
    EXPECT_EQ(standin::FocusedWindow(), nullptr);
    EXPECT_FALSE(user::TypeText(form, kEditA, "gone"));
    EXPECT_FALSE(user::TypeText(nullptr, kEditA, "none"));
}

TEST_F(WindowStandin, UserActionsRefuseTheWrongKindOfControl) {
    const HWND form = OpenForm();
    EXPECT_FALSE(user::TypeText(form, kPush, "x"));
    EXPECT_FALSE(user::ClickButton(form, kText));
    EXPECT_FALSE(user::ClickButton(form, -1));  // the group box
    EXPECT_FALSE(user::SelectListEntry(form, kEditA, 0));
    EXPECT_FALSE(user::PressKey(form, 'A'));
    EXPECT_FALSE(user::ClickCloseBox(form));  // a child page has no caption
    EXPECT_FALSE(user::PressKey(GetDlgItem(form, kPush), VK_RETURN));
    EXPECT_EQ(g_proc.events, (Events{"init"}));
}

TEST_F(WindowStandin, CheckBoxesToggleWhenClickedAndNotifyOnlyThen) {
    const HWND form = OpenForm();
    g_proc.events.clear();
    EXPECT_EQ(IsDlgButtonChecked(form, kCheck), BST_UNCHECKED);
    user::ClickButton(form, kCheck);
    EXPECT_EQ(IsDlgButtonChecked(form, kCheck), BST_CHECKED);
    EXPECT_EQ(SendDlgItemMessageA(form, kCheck, BM_GETCHECK, 0, 0), static_cast<LRESULT>(BST_CHECKED));
    user::ClickButton(form, kCheck);
    EXPECT_EQ(IsDlgButtonChecked(form, kCheck), BST_UNCHECKED);
    EXPECT_TRUE(CheckDlgButton(form, kCheck, BST_CHECKED));
    EXPECT_EQ(standin::DescribeWindow(GetDlgItem(form, kCheck)).check, BST_CHECKED);
    EXPECT_EQ(g_proc.events, (Events{"20:clicked", "20:clicked"}));
    EXPECT_EQ(IsDlgButtonChecked(form, kPush), BST_UNCHECKED);  // push buttons have no state
}

TEST_F(WindowStandin, ListBoxesKeepOrSortTheirEntries) {
    const HWND form = OpenForm();
    const char* names[] = {"stand01", "run1", "Attack1", "death308"};
    for (const char* name : names) {
        SendDlgItemMessageA(form, kList, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(name));
        SendDlgItemMessageA(form, kSortedList, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(name));
    }
    EXPECT_EQ(standin::DescribeWindow(GetDlgItem(form, kList)).items,
              (std::vector<std::string>{"stand01", "run1", "Attack1", "death308"}));
    EXPECT_EQ(standin::DescribeWindow(GetDlgItem(form, kSortedList)).items,
              (std::vector<std::string>{"Attack1", "death308", "run1", "stand01"}));
    EXPECT_EQ(SendDlgItemMessageA(form, kList, LB_GETCOUNT, 0, 0), 4);

    char text[16] = "";
    EXPECT_EQ(SendDlgItemMessageA(form, kList, LB_GETTEXTLEN, 1, 0), 4);
    EXPECT_EQ(SendDlgItemMessageA(form, kList, LB_GETTEXT, 1, reinterpret_cast<LPARAM>(text)), 4);
    EXPECT_STREQ(text, "run1");
    EXPECT_EQ(SendDlgItemMessageA(form, kList, LB_GETTEXT, 4, reinterpret_cast<LPARAM>(text)), LB_ERR);
    EXPECT_EQ(SendDlgItemMessageA(form, kList, LB_GETTEXTLEN, static_cast<WPARAM>(-1), 0), LB_ERR);
}

TEST_F(WindowStandin, ListSelectionBySetCurSelAndByTheUser) {
    const HWND form = OpenForm();
    for (const char* name : {"a", "b", "c"}) {
        SendDlgItemMessageA(form, kList, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(name));
    }
    EXPECT_EQ(SendDlgItemMessageA(form, kList, LB_GETCURSEL, 0, 0), LB_ERR);
    EXPECT_EQ(SendDlgItemMessageA(form, kList, LB_SETCURSEL, 2, 0), 2);
    EXPECT_EQ(SendDlgItemMessageA(form, kList, LB_GETCURSEL, 0, 0), 2);
    EXPECT_EQ(SendDlgItemMessageA(form, kList, LB_SETCURSEL, 3, 0), LB_ERR);
    EXPECT_EQ(SendDlgItemMessageA(form, kList, LB_GETCURSEL, 0, 0), LB_ERR);

    g_proc.events.clear();
    EXPECT_TRUE(user::SelectListEntry(form, kList, "b"));
    EXPECT_EQ(SendDlgItemMessageA(form, kList, LB_GETCURSEL, 0, 0), 1);
    EXPECT_EQ(standin::FocusedWindow(), GetDlgItem(form, kList));
    EXPECT_FALSE(user::SelectListEntry(form, kList, "z"));
    EXPECT_FALSE(user::SelectListEntry(form, kList, 3));
    EXPECT_EQ(g_proc.events, (Events{"40:selchange"}));

    // A list without LBS_NOTIFY keeps quiet.
    SendDlgItemMessageA(form, kSortedList, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>("x"));
    EXPECT_TRUE(user::SelectListEntry(form, kSortedList, 0));
    EXPECT_EQ(g_proc.events.size(), 1u);

    SendDlgItemMessageA(form, kList, LB_RESETCONTENT, 0, 0);
    EXPECT_EQ(SendDlgItemMessageA(form, kList, LB_GETCOUNT, 0, 0), 0);
    EXPECT_EQ(SendDlgItemMessageA(form, kList, LB_GETCURSEL, 0, 0), LB_ERR);
}

TEST_F(WindowStandin, TextsAreCutToTheCallersBuffer) {
    const HWND form = OpenForm();
    EXPECT_TRUE(SetDlgItemTextA(form, kSunken, "stand01"));
    char text[4] = "xyz";
    EXPECT_EQ(GetDlgItemTextA(form, kSunken, text, sizeof text), 3u);
    EXPECT_STREQ(text, "sta");
    EXPECT_EQ(GetDlgItemTextA(form, 999, text, sizeof text), 0u);
    EXPECT_STREQ(text, "");
    EXPECT_EQ(GetDlgItemTextA(form, kSunken, text, 0), 0u);
    EXPECT_FALSE(SetDlgItemTextA(form, 999, "x"));

    EXPECT_TRUE(SetDlgItemInt(form, kEditA, 4294967295u, FALSE));
    EXPECT_EQ(standin::DescribeWindow(GetDlgItem(form, kEditA)).text, "4294967295");
    EXPECT_TRUE(SetDlgItemInt(form, kEditA, static_cast<UINT>(-12), TRUE));
    EXPECT_EQ(standin::DescribeWindow(GetDlgItem(form, kEditA)).text, "-12");
}

TEST_F(WindowStandin, GetDlgItemIntTakesOnlyAWholeNumber) {
    const HWND form = OpenForm();
    struct Case {
        const char* text;
        BOOL isSigned;
        UINT value;
        BOOL translated;
    };
    const Case cases[] = {
        {"0", FALSE, 0, TRUE},
        {" 42 ", FALSE, 42, TRUE},
        {"4294967295", FALSE, 4294967295u, TRUE},
        {"4294967296", FALSE, 0, FALSE},
        {"3x", FALSE, 0, FALSE},
        {"-5", FALSE, 0, FALSE},
        {"", FALSE, 0, FALSE},
        {"   ", FALSE, 0, FALSE},
        {"4 2", FALSE, 0, FALSE},
        {"-5", TRUE, static_cast<UINT>(-5), TRUE},
        {"-2147483648", TRUE, 0x80000000u, TRUE},
        {"2147483648", TRUE, 0, FALSE},
        {"-", TRUE, 0, FALSE},
    };
    for (const Case& c : cases) {
        SetDlgItemTextA(form, kEditA, c.text);
        BOOL translated = 2;
        EXPECT_EQ(GetDlgItemInt(form, kEditA, &translated, c.isSigned), c.value) << '"' << c.text << '"';
        EXPECT_EQ(translated, c.translated) << '"' << c.text << '"';
    }
    SetDlgItemTextA(form, kEditA, "7");
    EXPECT_EQ(GetDlgItemInt(form, kEditA, nullptr, FALSE), 7u);
}

// --- Modal dialogs -------------------------------------------------------------

TEST_F(WindowStandin, EnterPressesTheDefaultButtonAndEndsTheDialog) {
    HWND box = nullptr;
    const INT_PTR result = RunBox({[&](HWND dialog) {
        box = dialog;
        // The dialog opened with the focus on its first tab stop.
        EXPECT_EQ(standin::FocusedWindow(), GetDlgItem(dialog, kPush));
        user::MoveFocus(GetDlgItem(dialog, kEditA));
        EXPECT_TRUE(user::PressKey(dialog, VK_RETURN));
    }});
    EXPECT_EQ(result, 7);
    EXPECT_EQ(g_proc.events, (Events{"init", "10:setfocus", "1:clicked", "10:killfocus", "destroy"}));
    EXPECT_FALSE(standin::IsLiveWindow(box));
    ASSERT_EQ(Record().modalOutcomes.size(), 1u);
    EXPECT_TRUE(Record().modalOutcomes[0].endedByDialog);
    EXPECT_EQ(Record().modalOutcomes[0].result, 7);
    EXPECT_EQ(Record().modalOutcomes[0].templateId, kBox);
    EXPECT_TRUE(Record().dialogsOpened.at(0).modal);
    EXPECT_TRUE(Record().notes.empty());
}

TEST_F(WindowStandin, EnterPressesAFocusedPushButtonInstead) {
    RunBox({[](HWND dialog) { user::PressKey(dialog, VK_RETURN); },
            [](HWND dialog) {
                user::MoveFocus(GetDlgItem(dialog, IDOK));
                user::PressKey(dialog, VK_RETURN);
            }});
    EXPECT_EQ(g_proc.events, (Events{"init", "30:clicked", "1:clicked", "destroy"}));
}

TEST_F(WindowStandin, EscapeAndTheCloseBoxDoNotEndADialogThatIgnoresCancel) {
    const INT_PTR result = RunBox({[](HWND dialog) {
        EXPECT_TRUE(user::PressKey(dialog, VK_ESCAPE));
        EXPECT_TRUE(user::ClickCloseBox(dialog));
    }});
    // Left open by the script: closed by the stand-in, which says so.
    EXPECT_EQ(result, -1);
    EXPECT_EQ(g_proc.events, (Events{"init", "2:clicked", "syscommand", "close", "2:clicked", "destroy"}));
    ASSERT_EQ(Record().modalOutcomes.size(), 1u);
    EXPECT_FALSE(Record().modalOutcomes[0].endedByDialog);
    ASSERT_EQ(Record().notes.size(), 1u);
    EXPECT_NE(Record().notes[0].find("left open"), std::string::npos);
}

TEST_F(WindowStandin, TheCloseBoxBecomesCancel) {
    g_proc.endOnCancel = true;
    EXPECT_EQ(RunBox({[](HWND dialog) { user::ClickCloseBox(dialog); }}), 8);
    g_proc.events.clear();
    EXPECT_EQ(RunBox({[](HWND dialog) { user::PressKey(dialog, VK_ESCAPE); }}), 8);
    EXPECT_EQ(g_proc.events, (Events{"init", "2:clicked", "destroy"}));
}

TEST_F(WindowStandin, AnUnscriptedDialogDoesNotHang) {
    EXPECT_EQ(RunBox({}), -1);
    EXPECT_EQ(g_proc.events, (Events{"init", "destroy"}));
    EXPECT_EQ(Record().notes.size(), 1u);
    EXPECT_EQ(DialogBoxParamA(kModule, MAKEINTRESOURCE(999), nullptr, TestProc, 0), -1);
}

TEST_F(WindowStandin, ActionsAreTakenUntilTheDialogEnds) {
    int calls = 0;
    RunBox({[&](HWND dialog) { ++calls, user::ClickButton(dialog, kPush); },
            [&](HWND dialog) { ++calls, user::ClickButton(dialog, IDOK); },
            [&](HWND) { ++calls; }});
    EXPECT_EQ(calls, 2);
    EXPECT_EQ(standin::UnusedAnswers(), 1u);  // left for the next dialog
    standin::ClearAnswers();
    EXPECT_EQ(standin::UnusedAnswers(), 0u);
}

TEST_F(WindowStandin, FocusReturnsWhereItWasWhenAModalDialogCloses) {
    const HWND form = OpenForm();
    user::TypeText(form, kEditA, "1");
    g_proc.events.clear();
    RunBox({[](HWND dialog) { user::ClickButton(dialog, IDOK); }});
    EXPECT_EQ(standin::FocusedWindow(), GetDlgItem(form, kEditA));
    EXPECT_EQ(g_proc.events, (Events{"init", "10:killfocus", "1:clicked", "destroy", "10:setfocus"}));
}

// --- Message boxes and Save As ---------------------------------------------------

TEST_F(WindowStandin, MessageBoxesAreRecordedAndAnswered) {
    const HWND owner = OpenForm();
    EXPECT_EQ(MessageBoxA(owner, "Cannot load new frame list", "File Error", MB_OK), IDOK);
    standin::QueueMessageBoxAnswer(IDCANCEL);
    EXPECT_EQ(MessageBoxA(nullptr, "Continue?", "Question", MB_OKCANCEL), IDCANCEL);
    standin::QueueMessageBoxAnswer(IDCANCEL);
    EXPECT_EQ(MessageBoxA(owner, "Only OK", nullptr, MB_OK | MB_ICONERROR), IDOK);

    const auto& boxes = Record().messageBoxes;
    ASSERT_EQ(boxes.size(), 3u);
    EXPECT_EQ(boxes[0].owner, owner);
    EXPECT_EQ(boxes[0].text, "Cannot load new frame list");
    EXPECT_EQ(boxes[0].caption, "File Error");
    EXPECT_EQ(boxes[0].type, MB_OK);
    EXPECT_FALSE(boxes[0].scripted);
    EXPECT_TRUE(boxes[1].scripted);
    EXPECT_EQ(boxes[2].caption, "Error");
    EXPECT_EQ(boxes[2].type, MB_OK | MB_ICONERROR);
}

class SaveAsTest : public WindowStandin {
protected:
    static constexpr char kFilter[] = "Quake models (*.md2)\0*.md2\0";
    OPENFILENAMEA Request(HWND owner) {
        OPENFILENAMEA ofn;
        std::memset(&ofn, 0, sizeof ofn);
        ofn.lStructSize = OPENFILENAME_SIZE_VERSION_400A;
        ofn.hwndOwner = owner;
        ofn.lpstrFilter = kFilter;
        path[0] = '\0';
        ofn.lpstrFile = path;
        ofn.nMaxFile = sizeof path;
        ofn.lpstrTitle = "Save Quake Model";
        return ofn;
    }
    char path[MAX_PATH];
};

TEST_F(SaveAsTest, RecordsTheRequestAndCopiesTheAnswer) {
    const HWND owner = OpenForm();
    standin::QueueSaveAs("C:\\models\\tris.md2");
    OPENFILENAMEA ofn = Request(owner);
    ASSERT_TRUE(GetSaveFileNameA(&ofn));
    EXPECT_STREQ(path, "C:\\models\\tris.md2");
    EXPECT_EQ(ofn.nFileOffset, 10);
    EXPECT_EQ(ofn.nFileExtension, 15);

    ASSERT_EQ(Record().saveAsDialogs.size(), 1u);
    const standin::SaveAsShown& shown = Record().saveAsDialogs[0];
    EXPECT_EQ(shown.structSize, 76u);
    EXPECT_EQ(shown.owner, owner);
    EXPECT_TRUE(shown.hasFilter);
    EXPECT_EQ(shown.filter, std::string(kFilter, sizeof kFilter));
    EXPECT_EQ(shown.initialFile, "");
    EXPECT_EQ(shown.maxFile, 260u);
    EXPECT_EQ(shown.title, "Save Quake Model");
    EXPECT_EQ(shown.flags, 0u);
    EXPECT_TRUE(shown.nonZeroMembers.empty());
    EXPECT_TRUE(shown.chose);
    EXPECT_TRUE(shown.scripted);
    EXPECT_EQ(shown.answer, "C:\\models\\tris.md2");
    EXPECT_TRUE(Record().notes.empty());
}

TEST_F(SaveAsTest, CancelAndTroubleReturnFalseAndLeaveTheBuffer) {
    struct Case {
        const char* name;
        void (*script)();
        void (*spoil)(OPENFILENAMEA&);
        bool noted;
    };
    const Case cases[] = {
        {"cancel", [] { standin::QueueSaveAsCancel(); }, [](OPENFILENAMEA&) {}, false},
        {"unanswered", [] {}, [](OPENFILENAMEA&) {}, true},
        {"answer too long", [] { standin::QueueSaveAs(std::string(MAX_PATH, 'a')); }, [](OPENFILENAMEA&) {}, true},
        {"unknown size", [] { standin::QueueSaveAs("x"); }, [](OPENFILENAMEA& o) { o.lStructSize = 88; }, true},
    };
    for (const Case& c : cases) {
        standin::ResetWindowSystem();
        c.script();
        OPENFILENAMEA ofn = Request(nullptr);
        c.spoil(ofn);
        EXPECT_FALSE(GetSaveFileNameA(&ofn)) << c.name;
        EXPECT_STREQ(path, "") << c.name;
        ASSERT_EQ(Record().saveAsDialogs.size(), 1u) << c.name;
        EXPECT_FALSE(Record().saveAsDialogs[0].chose) << c.name;
        EXPECT_EQ(Record().notes.size(), c.noted ? 1u : 0u) << c.name;
        standin::ClearAnswers();
    }
}

TEST_F(SaveAsTest, NamesTheMembersThatShouldBeZero) {
    standin::QueueSaveAs("x");
    OPENFILENAMEA ofn = Request(nullptr);
    ofn.Flags = 2;
    ofn.lpstrDefExt = "md2";
    ofn.nFilterIndex = 1;
    ofn.FlagsEx = 1;  // beyond the version-400 size, so not looked at
    EXPECT_TRUE(GetSaveFileNameA(&ofn));
    const standin::SaveAsShown& shown = Record().saveAsDialogs.at(0);
    EXPECT_EQ(shown.flags, 2u);
    EXPECT_EQ(shown.nonZeroMembers, (std::vector<std::string>{"nFilterIndex", "lpstrDefExt"}));
}

// --- Painting ---------------------------------------------------------------------

TEST_F(WindowStandin, PaintingIsRecordedCallByCall) {
    const HWND form = OpenForm();
    ASSERT_NE(g_proc.bitmap, nullptr);
    EXPECT_TRUE(user::Repaint(form));

    ASSERT_EQ(Record().paints.size(), 1u);
    EXPECT_EQ(Record().paints[0].window, form);
    EXPECT_TRUE(Record().paints[0].ended);
    ASSERT_EQ(Record().blits.size(), 1u);
    const standin::BlitCall& blit = Record().blits[0];
    EXPECT_EQ(blit.destination, Record().paints[0].dc);
    EXPECT_EQ(blit.destinationWindow, form);
    EXPECT_EQ(blit.sourceBitmap, g_proc.bitmap);
    EXPECT_EQ((std::vector<int>{blit.x, blit.y, blit.width, blit.height, blit.sourceX, blit.sourceY}),
              (std::vector<int>{0, 0, 2, 3, 0, 0}));
    EXPECT_EQ((std::vector<int>{blit.sourceBitmapWidth, blit.sourceBitmapHeight}), (std::vector<int>{2, 3}));
    EXPECT_EQ(blit.rop, SRCCOPY);

    ASSERT_EQ(Record().selects.size(), 2u);
    EXPECT_EQ(Record().selects[1].object, Record().selects[0].previous);  // the DC's own bitmap went back
    ASSERT_EQ(Record().memoryDCs.size(), 1u);
    EXPECT_EQ(Record().memoryDCs[0].compatibleWith, Record().paints[0].dc);
    EXPECT_TRUE(Record().memoryDCs[0].deleted);
    EXPECT_TRUE(Record().memoryDCs[0].stockSelectedWhenDeleted);

    ASSERT_EQ(Record().bitmaps.size(), 1u);
    EXPECT_EQ(Record().bitmaps[0].resourceId, kBitmap);
    EXPECT_EQ(Record().bitmaps[0].bitsPerPixel, 8);
    EXPECT_FALSE(Record().bitmaps[0].deleted);
    DestroyWindow(form);
    EXPECT_TRUE(Record().bitmaps[0].deleted);
    EXPECT_TRUE(Record().notes.empty());
}

TEST_F(WindowStandin, GdiMisuseIsRefusedAndNoted) {
    const HBITMAP bitmap = LoadBitmapA(kModule, MAKEINTRESOURCE(kBitmap));
    const HDC memory = CreateCompatibleDC(nullptr);
    SelectObject(memory, bitmap);
    EXPECT_FALSE(DeleteObject(bitmap));  // still selected
    const HDC other = CreateCompatibleDC(nullptr);
    EXPECT_EQ(SelectObject(other, bitmap), nullptr);  // one DC at a time
    EXPECT_TRUE(DeleteDC(memory));
    EXPECT_FALSE(Record().memoryDCs[0].stockSelectedWhenDeleted);
    EXPECT_TRUE(DeleteObject(bitmap));
    EXPECT_FALSE(DeleteObject(bitmap));
    EXPECT_FALSE(DeleteDC(memory));
    EXPECT_EQ(LoadBitmapA(kModule, MAKEINTRESOURCE(1)), nullptr);
    EXPECT_EQ(LoadBitmapA(kModule, "named"), nullptr);
    EXPECT_FALSE(BitBlt(other, 0, 0, 1, 1, memory, 0, 0, SRCCOPY));
    EXPECT_EQ(Record().notes.size(), 7u);
}

// --- Mouse, command panel, common controls -------------------------------------------

TEST_F(WindowStandin, MouseMessagesCarryThePointAndButton) {
    const HWND form = OpenForm();
    user::MouseDown(form, 12, 34);
    user::MouseMove(form, 13, 35, true);
    user::MouseUp(form, 14, 36);
    const std::vector<standin::DialogMessage> m = standin::MessagesTo(form);
    ASSERT_EQ(m.size(), 4u);
    EXPECT_EQ(m[1].message, WM_LBUTTONDOWN);
    EXPECT_EQ(m[1].lParam, (34 << 16) | 12);
    EXPECT_EQ(m[1].wParam, 1u);
    EXPECT_EQ(m[2].message, WM_MOUSEMOVE);
    EXPECT_EQ(m[2].wParam, 1u);
    EXPECT_EQ(m[3].message, WM_LBUTTONUP);
    EXPECT_EQ(m[3].lParam, (36 << 16) | 14);
    EXPECT_EQ(m[3].wParam, 0u);
}

TEST_F(WindowStandin, CommandPanelHoldsRollupPages) {
    HWND kept = nullptr;
    {
        standin::CommandPanel panel;
        standin::Scene scene;
        standin::StandinHost host(&scene, &panel);
        const HWND page = host.AddRollupPage(kModule, MAKEINTRESOURCE(kForm), TestProc, "Vorn", 5);
        ASSERT_NE(page, nullptr);
        EXPECT_EQ(standin::DescribeWindow(page).parent, panel.window());
        EXPECT_EQ(standin::ChildWindows(panel.window()), (std::vector<HWND>{page}));
        ASSERT_EQ(panel.pages().size(), 1u);
        EXPECT_EQ(panel.pages()[0].title, "Vorn");
        EXPECT_EQ(standin::MessagesTo(page).at(0).lParam, 5);

        host.DeleteRollupPage(page);
        EXPECT_FALSE(standin::IsLiveWindow(page));
        EXPECT_TRUE(panel.pages().empty());
        EXPECT_EQ(g_proc.events, (Events{"init", "destroy"}));
        host.DeleteRollupPage(page);
        EXPECT_EQ(Record().notes.size(), 1u);

        kept = panel.AddPage(kModule, MAKEINTRESOURCE(kForm), TestProc, "Again", 0);
        g_proc.events.clear();
    }
    // The panel takes its remaining pages with it.
    EXPECT_FALSE(standin::IsLiveWindow(kept));
    EXPECT_EQ(g_proc.events, (Events{"destroy"}));
}

TEST_F(WindowStandin, CommonControlInitsAreCounted) {
    const int before = standin::CommonControlInits();
    InitCommonControls();
    InitCommonControls();
    EXPECT_EQ(standin::CommonControlInits(), before + 2);
}

}  // namespace
