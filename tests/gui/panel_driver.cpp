// Drives the plug-in's panel in a running vorn_host.exe from another process,
// the way a user's clicks and keys reach it: the panel's own controls get the
// messages that Windows sends them for a click or for typing.
//
//   panel_driver wait
//   panel_driver fill START END FIRST_FRAME SCALE SKIN   (names of list entries)
//   panel_driver save PATH        "Save md2", then the Save As dialog answered with PATH
//   panel_driver about            opens the About box, checks Escape leaves it, closes it with "OK"
//   panel_driver close            closes the host
//
// Each step fails (exit status 1, with the reason on standard error) when a
// window does not appear, a control answers wrongly, or the plug-in shows a
// message box.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "shell/resources/resource_ids.h"

namespace {

constexpr DWORD kWaitMs = 60000;
constexpr char kSaveTitle[] = "Save Quake Model";
constexpr char kAboutCaption[] = "Quake2 Model Output Plugin";

[[noreturn]] void Fail(const std::string& why) {
    std::fprintf(stderr, "panel_driver: %s\n", why.c_str());
    std::exit(1);
}

// Polls until find() gives a window or the wait runs out.
template <typename Find>
HWND WaitFor(const char* what, Find find) {
    const DWORD start = GetTickCount();
    for (;;) {
        if (HWND w = find()) return w;
        if (GetTickCount() - start > kWaitMs) Fail(std::string("no ") + what + " appeared");
        Sleep(100);
    }
}

template <typename Gone>
void WaitUntil(const char* what, Gone gone) {
    const DWORD start = GetTickCount();
    while (!gone()) {
        if (GetTickCount() - start > kWaitMs) Fail(std::string("timed out waiting until ") + what);
        Sleep(100);
    }
}

HWND MainWindow() { return FindWindowA("VornStandinHost", nullptr); }

HWND Panel() {
    HWND commandPanel = FindWindowExA(MainWindow(), nullptr, "VornCommandPanel", nullptr);
    return commandPanel ? FindWindowExA(commandPanel, nullptr, "#32770", nullptr) : nullptr;
}

HWND Control(HWND dialog, int id) {
    HWND c = GetDlgItem(dialog, id);
    if (!c) Fail("control " + std::to_string(id) + " is missing");
    return c;
}

std::string TextOf(HWND window) {
    char text[512] = "";
    SendMessageA(window, WM_GETTEXT, sizeof text, reinterpret_cast<LPARAM>(text));
    return text;
}

// Returns once the window's thread has handled everything sent before: it
// is idle in its message loop (or in a modal one).
void RoundTrip(HWND window) {
    DWORD_PTR ignored;
    if (!SendMessageTimeoutA(window, WM_NULL, 0, 0, SMTO_NORMAL, kWaitMs, &ignored))
        Fail("the host does not answer");
}

DWORD HostProcess() {
    DWORD process = 0;
    GetWindowThreadProcessId(MainWindow(), &process);
    return process;
}

struct DialogSearch {
    DWORD process;
    HWND found;
};

BOOL CALLBACK CheckDialog(HWND w, LPARAM p) {
    auto* s = reinterpret_cast<DialogSearch*>(p);
    char cls[32] = "";
    GetClassNameA(w, cls, sizeof cls);
    DWORD process = 0;
    GetWindowThreadProcessId(w, &process);
    if (process != s->process || std::strcmp(cls, "#32770") != 0 || !IsWindowVisible(w)) return TRUE;
    s->found = w;
    return FALSE;
}

// A visible top-level dialog of the host process: with no step's dialog open,
// a message box.
HWND StrayDialog() {
    DialogSearch search = {HostProcess(), nullptr};
    EnumWindows(CheckDialog, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

// With VORN_DRIVER_HOLD_MS set, a dialog stays up that long before it is
// answered, so that a screenshot can catch it.
void Hold() {
    if (const char* ms = std::getenv("VORN_DRIVER_HOLD_MS")) Sleep(static_cast<DWORD>(std::atoi(ms)));
}

void FailOnMessageBox(const char* when) {
    if (HWND box = StrayDialog()) {
        std::string text = TextOf(box) + ": ";
        for (HWND c = GetWindow(box, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) {
            char cls[32] = "";
            GetClassNameA(c, cls, sizeof cls);
            if (std::strcmp(cls, "Static") == 0) text += TextOf(c);
        }
        Fail(std::string("a message box came up ") + when + ": " + text);
    }
}

// A click: the button takes it as from the mouse and tells its dialog.
void Click(HWND dialog, int id) {
    SendMessageA(Control(dialog, id), BM_CLICK, 0, 0);
}

// A click whose handler opens a modal dialog: posted, so the driver does not
// wait inside it.
void ClickIntoModal(HWND dialog, int id) {
    PostMessageA(Control(dialog, id), BM_CLICK, 0, 0);
}

void Type(HWND dialog, int id, const std::string& text) {
    HWND edit = Control(dialog, id);
    // The edit tells its dialog EN_CHANGE itself.
    SendMessageA(edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
    if (TextOf(edit) != text) Fail("control " + std::to_string(id) + " did not take \"" + text + "\"");
}

// Selects the list entry with this text as a click on it would.
void SelectEntry(HWND panel, const std::string& name) {
    HWND list = Control(panel, IDC_FRAME_LIST);
    const LRESULT index = SendMessageA(list, LB_FINDSTRINGEXACT, static_cast<WPARAM>(-1),
                                       reinterpret_cast<LPARAM>(name.c_str()));
    if (index == LB_ERR) Fail("the frame list has no entry " + name);
    SendMessageA(list, LB_SETCURSEL, static_cast<WPARAM>(index), 0);
    SendMessageA(panel, WM_COMMAND, MAKEWPARAM(IDC_FRAME_LIST, LBN_SELCHANGE), reinterpret_cast<LPARAM>(list));
}

void ExpectText(HWND dialog, int id, const std::string& want) {
    const std::string got = TextOf(Control(dialog, id));
    if (got != want) Fail("control " + std::to_string(id) + " shows \"" + got + "\", not \"" + want + "\"");
}

void Fill(HWND panel, char** args) {
    SelectEntry(panel, args[0]);
    Click(panel, IDC_START);
    ExpectText(panel, IDC_START_NAME, args[0]);
    SelectEntry(panel, args[1]);
    Click(panel, IDC_END);
    ExpectText(panel, IDC_END_NAME, args[1]);
    Type(panel, IDC_FIRST_FRAME, args[2]);
    Type(panel, IDC_SCALE, args[3]);
    Type(panel, IDC_SKIN_NAME, args[4]);
    for (int box : {IDC_SAVE_BMP, IDC_SAVE_PCX}) {
        Click(panel, box);
        if (SendMessageA(Control(panel, box), BM_GETCHECK, 0, 0) != BST_CHECKED)
            Fail("check box " + std::to_string(box) + " is not ticked");
    }
    RoundTrip(panel);
    FailOnMessageBox("while filling the panel");
}

// The Save As dialog's file name field: the combo box of the Explorer-style
// dialog, or the plain edit of the older one.
HWND FileNameField(HWND dialog) {
    if (HWND combo = GetDlgItem(dialog, 0x47C)) {
        if (HWND edit = FindWindowExA(combo, nullptr, "Edit", nullptr)) return edit;
        return combo;
    }
    if (HWND edit = GetDlgItem(dialog, 0x480)) return edit;
    Fail("the Save As dialog has no file name field");
}

void Save(HWND panel, const std::string& path) {
    ClickIntoModal(panel, IDC_SAVE_MD2);
    HWND dialog = WaitFor("Save As dialog", [] { return FindWindowA("#32770", kSaveTitle); });
    HWND field = FileNameField(dialog);
    SendMessageA(field, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(path.c_str()));
    if (TextOf(field) != path) Fail("the Save As dialog did not take the path");
    Hold();
    PostMessageA(Control(dialog, IDOK), BM_CLICK, 0, 0);
    WaitUntil("the Save As dialog closed", [dialog] { return !IsWindow(dialog); });
    // The export runs inside the click; the panel answers again once it is done.
    RoundTrip(panel);
    FailOnMessageBox("after the export");
}

void About(HWND panel) {
    ClickIntoModal(panel, IDC_ABOUT);
    HWND box = WaitFor("About box", [] { return FindWindowA("#32770", kAboutCaption); });
    if (!IsWindowVisible(box)) Fail("the About box is not visible");
    // Escape (IDCANCEL) must not close it.
    PostMessageA(box, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
    RoundTrip(box);
    if (!IsWindow(box)) Fail("Escape closed the About box");
    Hold();
    PostMessageA(Control(box, IDOK), BM_CLICK, 0, 0);
    WaitUntil("the About box closed", [box] { return !IsWindow(box); });
    RoundTrip(panel);
    FailOnMessageBox("after the About box");
}

}  // namespace

int main(int argc, char** argv) {
    const std::string step = argc > 1 ? argv[1] : "";
    if (step == "wait" && argc == 2) {
        WaitFor("panel", Panel);
        RoundTrip(Panel());
        return 0;
    }
    HWND panel = Panel();
    if (!panel) Fail("no host with an open panel is running");
    if (step == "fill" && argc == 7) {
        Fill(panel, argv + 2);
    } else if (step == "save" && argc == 3) {
        Save(panel, argv[2]);
    } else if (step == "about" && argc == 2) {
        About(panel);
    } else if (step == "close" && argc == 2) {
        HWND main = MainWindow();
        PostMessageA(main, WM_CLOSE, 0, 0);
        WaitUntil("the host closed", [main] { return !IsWindow(main); });
    } else {
        Fail("usage: panel_driver wait | fill START END FIRST_FRAME SCALE SKIN | save PATH | about | close");
    }
    return 0;
}
