// The stand-in window system: dialogs and controls, notifications, the
// scripted user, modal dialogs, message boxes, Save As and GDI misuse. The
// painting and mouse records are read through the plug-in's own panel
// (export_panel_test), which uses every call they record.
#include <gtest/gtest.h>

#include <cstring>
#include <iterator>
#include <string>
#include <tuple>
#include <vector>

#include "standin/windows/window_standin.h"
#include "support/image_files.h"

namespace {

using standin::Record;
using standin::WindowKind;
namespace user = standin::user;
using Events = std::vector<std::string>;

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
const vorn_test::Bytes kBmpBytes = vorn_test::BmpFile(2, 3, 8, 256, 256, vorn_test::Bytes(3 * 4, 0));
const BitmapResource kBitmaps[] = {{kBitmap, kBmpBytes.data(), kBmpBytes.size()}};
const ModuleResources kResources = {kDialogs, std::size(kDialogs), kBitmaps, std::size(kBitmaps)};

// What the test dialog procedure does and saw.
struct Proc {
    bool endOnCancel = false;
    Events events;
} g_proc;

std::string CommandText(WPARAM wParam) {
    static const std::pair<WORD, const char*> kCodes[] = {
        {BN_CLICKED, "clicked"}, {EN_SETFOCUS, "setfocus"}, {EN_KILLFOCUS, "killfocus"}, {EN_CHANGE, "change"}};
    std::string code = std::to_string(HIWORD(wParam));
    for (const auto& [value, name] : kCodes) {
        if (value == HIWORD(wParam)) code = name;
    }
    // LBN_SELCHANGE shares its number with nothing the form's edits send.
    if (LOWORD(wParam) == kList && HIWORD(wParam) == LBN_SELCHANGE) code = "selchange";
    return std::to_string(static_cast<int16_t>(LOWORD(wParam))) + ":" + code;
}

// Ends on OK with 7, and on Cancel with 8 when asked.
INT_PTR CALLBACK TestProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
    switch (message) {
        case WM_INITDIALOG: g_proc.events.push_back("init"); return TRUE;
        case WM_DESTROY: g_proc.events.push_back("destroy"); return TRUE;
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
    LRESULT ToList(HWND form, UINT message, WPARAM wParam = 0, LPARAM lParam = 0) {
        return SendDlgItemMessageA(form, kList, message, wParam, lParam);
    }
};

// --- Dialogs and controls ----------------------------------------------------

// The kinds of controls, and templates, are read back in resources_test.
TEST_F(WindowStandin, InitComesFirstAndDestroyLast) {
    const HWND form = OpenForm();
    const HWND edit = GetDlgItem(form, kEditA);
    EXPECT_EQ(GetDlgItem(form, 999), nullptr);
    const RECT pixels = standin::ClientPixels(form);
    EXPECT_EQ((std::vector<LONG>{pixels.right, pixels.bottom}), (std::vector<LONG>{180, 243}));
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
    EXPECT_EQ(standin::DescribeWindow(GetDlgItem(form, kEditA)).text, "2.5");
    EXPECT_EQ(Record().focusChanges.size(), 3u);

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
    user::ClickButton(form, kCheck);
    EXPECT_EQ(IsDlgButtonChecked(form, kCheck), BST_UNCHECKED);
    EXPECT_TRUE(CheckDlgButton(form, kCheck, BST_CHECKED));
    EXPECT_EQ(standin::DescribeWindow(GetDlgItem(form, kCheck)).check, BST_CHECKED);
    EXPECT_EQ(g_proc.events, (Events{"20:clicked", "20:clicked"}));
    EXPECT_EQ(IsDlgButtonChecked(form, kPush), BST_UNCHECKED);  // push buttons have no state
}

TEST_F(WindowStandin, ListBoxesKeepOrSortTheirEntriesAndSelectOne) {
    const HWND form = OpenForm();
    for (const char* name : {"stand01", "run1", "Attack1", "death308"}) {
        ToList(form, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(name));
        SendDlgItemMessageA(form, kSortedList, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(name));
    }
    EXPECT_EQ(standin::DescribeWindow(GetDlgItem(form, kList)).items, (Events{"stand01", "run1", "Attack1", "death308"}));
    EXPECT_EQ(standin::DescribeWindow(GetDlgItem(form, kSortedList)).items,
              (Events{"Attack1", "death308", "run1", "stand01"}));
    EXPECT_EQ(ToList(form, LB_GETCOUNT), 4);
    char text[16] = "";
    EXPECT_EQ(ToList(form, LB_GETTEXTLEN, 1), 4);
    EXPECT_EQ(ToList(form, LB_GETTEXT, 1, reinterpret_cast<LPARAM>(text)), 4);
    EXPECT_STREQ(text, "run1");
    EXPECT_EQ(ToList(form, LB_GETTEXT, 4, reinterpret_cast<LPARAM>(text)), LB_ERR);
    EXPECT_EQ(ToList(form, LB_GETTEXTLEN, static_cast<WPARAM>(-1)), LB_ERR);

    EXPECT_EQ(ToList(form, LB_GETCURSEL), LB_ERR);
    EXPECT_EQ(ToList(form, LB_SETCURSEL, 2), 2);
    EXPECT_EQ(ToList(form, LB_GETCURSEL), 2);
    EXPECT_EQ(ToList(form, LB_SETCURSEL, 4), LB_ERR);
    EXPECT_EQ(ToList(form, LB_GETCURSEL), LB_ERR);
    g_proc.events.clear();
    EXPECT_TRUE(user::SelectListEntry(form, kList, "run1"));
    EXPECT_EQ(ToList(form, LB_GETCURSEL), 1);
    EXPECT_EQ(standin::FocusedWindow(), GetDlgItem(form, kList));
    EXPECT_FALSE(user::SelectListEntry(form, kList, "z"));
    EXPECT_FALSE(user::SelectListEntry(form, kList, 4));
    // A list without LBS_NOTIFY keeps quiet.
    EXPECT_TRUE(user::SelectListEntry(form, kSortedList, 0));
    EXPECT_EQ(g_proc.events, (Events{"40:selchange"}));
    ToList(form, LB_RESETCONTENT);
    EXPECT_EQ(ToList(form, LB_GETCOUNT), 0);
    EXPECT_EQ(ToList(form, LB_GETCURSEL), LB_ERR);
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

    g_proc.events.clear();
    EXPECT_TRUE(SetDlgItemInt(form, kEditA, 4294967295u, FALSE));
    EXPECT_EQ(g_proc.events, (Events{"10:change"}));  // as typing does
    EXPECT_EQ(standin::DescribeWindow(GetDlgItem(form, kEditA)).text, "4294967295");
    EXPECT_TRUE(SetDlgItemInt(form, kEditA, static_cast<UINT>(-12), TRUE));
    EXPECT_EQ(standin::DescribeWindow(GetDlgItem(form, kEditA)).text, "-12");
}

TEST_F(WindowStandin, GetDlgItemIntTakesOnlyAWholeNumber) {
    const HWND form = OpenForm();
    const struct {
        const char* text;
        BOOL isSigned;
        UINT value;
        BOOL translated;
    } cases[] = {
        {"0", FALSE, 0, TRUE},         {" 42 ", FALSE, 42, TRUE},  {"4294967295", FALSE, 4294967295u, TRUE},
        {"4294967296", FALSE, 0, FALSE}, {"3x", FALSE, 0, FALSE},   {"-5", FALSE, 0, FALSE},
        {"", FALSE, 0, FALSE},          {"   ", FALSE, 0, FALSE},   {"4 2", FALSE, 0, FALSE},
        {"-5", TRUE, static_cast<UINT>(-5), TRUE}, {"-2147483648", TRUE, 0x80000000u, TRUE},
        {"2147483648", TRUE, 0, FALSE}, {"-", TRUE, 0, FALSE},
    };
    for (const auto& c : cases) {
        SetDlgItemTextA(form, kEditA, c.text);
        BOOL translated = 2;
        EXPECT_EQ(GetDlgItemInt(form, kEditA, &translated, c.isSigned), c.value) << '"' << c.text << '"';
        EXPECT_EQ(translated, c.translated) << '"' << c.text << '"';
    }
    SetDlgItemTextA(form, kEditA, "7");
    EXPECT_EQ(GetDlgItemInt(form, kEditA, nullptr, FALSE), 7u);
}

// --- Modal dialogs -------------------------------------------------------------

TEST_F(WindowStandin, AModalDialogTakesActionsUntilItEndsItself) {
    using Action = standin::DialogAction;
    const Action enter = [](HWND box) { EXPECT_TRUE(user::PressKey(box, VK_RETURN)); };
    const Action escape = [](HWND box) { EXPECT_TRUE(user::PressKey(box, VK_ESCAPE)); };
    const Action closeBox = [](HWND box) { EXPECT_TRUE(user::ClickCloseBox(box)); };
    const Action focusEdit = [](HWND box) {
        // The box opened with the focus on its first tab stop.
        EXPECT_EQ(standin::FocusedWindow(), GetDlgItem(box, kPush));
        user::MoveFocus(GetDlgItem(box, kEditA));
    };
    const Action focusOk = [](HWND box) { user::MoveFocus(GetDlgItem(box, IDOK)); };
    const struct {
        const char* name;
        bool endOnCancel;
        std::vector<Action> actions;
        INT_PTR result;  // -1: left open, the stand-in closed it and said so
        Events events;
    } cases[] = {
        {"Enter in an edit presses the default button", false, {[&](HWND box) { focusEdit(box), enter(box); }}, 7,
         {"init", "10:setfocus", "1:clicked", "10:killfocus", "destroy"}},
        {"Enter presses the focused push button", false, {enter, [&](HWND box) { focusOk(box), enter(box); }}, 7,
         {"init", "30:clicked", "1:clicked", "destroy"}},
        {"Escape is Cancel", true, {escape}, 8, {"init", "2:clicked", "destroy"}},
        {"the close box becomes Cancel", true, {closeBox}, 8, {"init", "syscommand", "close", "2:clicked", "destroy"}},
        {"Cancel ignored", false, {escape, closeBox}, -1,
         {"init", "2:clicked", "syscommand", "close", "2:clicked", "destroy"}},
        {"unscripted", false, {}, -1, {"init", "destroy"}},
    };
    for (const auto& c : cases) {
        standin::ResetWindowSystem();
        g_proc = Proc{c.endOnCancel, {}};
        EXPECT_EQ(RunBox(c.actions), c.result) << c.name;
        EXPECT_EQ(g_proc.events, c.events) << c.name;
        EXPECT_TRUE(Record().dialogsOpened.at(0).modal);
        ASSERT_EQ(Record().modalOutcomes.size(), 1u) << c.name;
        EXPECT_EQ(Record().modalOutcomes[0].templateId, kBox);
        EXPECT_EQ(Record().modalOutcomes[0].result, c.result) << c.name;
        EXPECT_EQ(Record().modalOutcomes[0].endedByDialog, c.result != -1) << c.name;
        EXPECT_EQ(Record().notes.size(), c.result == -1 ? 1u : 0u) << c.name;
    }
    EXPECT_EQ(DialogBoxParamA(kModule, MAKEINTRESOURCE(999), nullptr, TestProc, 0), -1);
}

TEST_F(WindowStandin, ActionsLeftWhenTheDialogEndsWaitForTheNext) {
    int calls = 0;
    RunBox({[&](HWND dialog) { ++calls, user::ClickButton(dialog, kPush); },
            [&](HWND dialog) { ++calls, user::ClickButton(dialog, IDOK); },
            [&](HWND) { ++calls; }});
    EXPECT_EQ(calls, 2);
    EXPECT_EQ(standin::UnusedAnswers(), 1u);
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

    std::vector<std::tuple<HWND, std::string, std::string, UINT, bool>> seen;
    for (const auto& b : Record().messageBoxes) seen.emplace_back(b.owner, b.text, b.caption, b.type, b.scripted);
    EXPECT_EQ(seen, (decltype(seen){{owner, "Cannot load new frame list", "File Error", MB_OK, false},
                                    {nullptr, "Continue?", "Question", MB_OKCANCEL, true},
                                    {owner, "Only OK", "Error", MB_OK | MB_ICONERROR, true}}));
}

// What the dialog records of the request is read back in export_driver_test,
// from the plug-in's own requests.
class SaveAsTest : public WindowStandin {
protected:
    OPENFILENAMEA Request() {
        OPENFILENAMEA ofn;
        std::memset(&ofn, 0, sizeof ofn);
        ofn.lStructSize = OPENFILENAME_SIZE_VERSION_400A;
        ofn.lpstrFilter = "Quake models (*.md2)\0*.md2\0";
        path[0] = '\0';
        ofn.lpstrFile = path;
        ofn.nMaxFile = sizeof path;
        return ofn;
    }
    char path[MAX_PATH];
};

TEST_F(SaveAsTest, HandsTheAnswerBackWhereItsNameAndExtensionBegin) {
    standin::QueueSaveAs("C:\\models\\tris.md2");
    OPENFILENAMEA ofn = Request();
    std::strcpy(path, "old");
    ASSERT_TRUE(GetSaveFileNameA(&ofn));
    EXPECT_STREQ(path, "C:\\models\\tris.md2");
    EXPECT_EQ(ofn.nFileOffset, 10);
    EXPECT_EQ(ofn.nFileExtension, 15);
    const standin::SaveAsShown& shown = Record().saveAsDialogs.at(0);
    EXPECT_EQ(shown.initialFile, "old");
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
        OPENFILENAMEA ofn = Request();
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
    OPENFILENAMEA ofn = Request();
    ofn.Flags = 2;
    ofn.lpstrDefExt = "md2";
    ofn.nFilterIndex = 1;
    ofn.FlagsEx = 1;  // beyond the version-400 size, so not looked at
    EXPECT_TRUE(GetSaveFileNameA(&ofn));
    const standin::SaveAsShown& shown = Record().saveAsDialogs.at(0);
    EXPECT_EQ(shown.flags, 2u);
    EXPECT_EQ(shown.nonZeroMembers, (Events{"nFilterIndex", "lpstrDefExt"}));
}

// --- GDI objects and the command panel ---------------------------------------------

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

TEST_F(WindowStandin, TheCommandPanelPassesPagesTheirParamAndTakesTheRestWithIt) {
    HWND kept = nullptr;
    {
        standin::CommandPanel panel;
        standin::Scene scene;
        standin::StandinHost host(&scene, &panel);
        const HWND page = host.AddRollupPage(kModule, MAKEINTRESOURCE(kForm), TestProc, "Vorn", 5);
        EXPECT_EQ(standin::DescribeWindow(page).parent, panel.window());
        EXPECT_EQ(panel.pages().at(0).title, "Vorn");
        EXPECT_EQ(standin::MessagesTo(page).at(0).lParam, 5);
        host.DeleteRollupPage(page);
        EXPECT_TRUE(panel.pages().empty());
        host.DeleteRollupPage(page);
        EXPECT_EQ(Record().notes.size(), 1u) << "a page deleted twice";

        kept = panel.AddPage(kModule, MAKEINTRESOURCE(kForm), TestProc, "Again", 0);
        g_proc.events.clear();
    }
    EXPECT_FALSE(standin::IsLiveWindow(kept));
    EXPECT_EQ(g_proc.events, (Events{"destroy"}));
}

}  // namespace
