// The stand-in window system: an in-process Win32 for the plug-in's panel,
// About box, message boxes and Save As dialog, answered by a scripted user.
//
// It defines the functions declared by platform/window_system.h. Tests and the
// command line use this header to act as the user (standin::user), to queue
// the user's answers to modal dialogs, and to read back every call the
// plug-in made (standin::Record()).
//
// Everything runs on the caller's thread; a modal dialog runs its "message
// loop" by taking the queued answers in order, and never waits for anything.
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

#include "platform/window_system.h"
#include "standin/host/standin_scene.h"

namespace standin {

// --- What a window is -----------------------------------------------------------

enum class WindowKind {
    None,  // no such window (or destroyed)
    CommandPanel,
    Dialog,
    PushButton,
    DefaultPushButton,
    CheckBox,
    GroupBox,
    Edit,
    ListBox,
    Text,
    SunkenText,
    Unknown,  // a control class the stand-in does not know
};

struct WindowInfo {
    WindowKind kind = WindowKind::None;
    std::string className;
    int id = 0;
    DWORD style = 0;
    std::string text;  // caption of a dialog, text of a control
    // Position and size in dialog units, in the parent's client area.
    int x = 0, y = 0, width = 0, height = 0;
    HWND parent = nullptr;
    HINSTANCE module = nullptr;  // dialogs: the module of their template
    int templateId = 0;          // dialogs
    UINT check = BST_UNCHECKED;  // check boxes
    std::vector<std::string> items;  // list boxes, in display order
    int selection = -1;              // list boxes; -1 for none
};

// A snapshot of a live window; kind None when there is none.
WindowInfo DescribeWindow(HWND window);
// Live child windows in creation (template) order.
std::vector<HWND> ChildWindows(HWND window);
bool IsLiveWindow(HWND window);
// The window with the keyboard focus, or null.
HWND FocusedWindow();

// Client area of a dialog in pixels, as the stand-in lays dialog units out
// (a dialog unit is 6/4 pixels across and 13/8 down, for the 8-point font).
RECT ClientPixels(HWND window);

// --- The record of the plug-in's calls -----------------------------------------

// A message the dialog manager delivered to a dialog procedure.
struct DialogMessage {
    HWND window = nullptr;
    UINT message = 0;
    WPARAM wParam = 0;
    LPARAM lParam = 0;
    INT_PTR result = 0;
};

struct DialogOpened {
    HWND window = nullptr;
    HINSTANCE module = nullptr;
    int templateId = 0;
    HWND parent = nullptr;
    LPARAM param = 0;
    bool modal = false;
};

// How a modal dialog's loop ended.
struct ModalOutcome {
    HWND window = nullptr;
    int templateId = 0;
    INT_PTR result = 0;
    // False when the script left the dialog open and the stand-in closed it
    // (the call then returns -1).
    bool endedByDialog = false;
};

struct MessageBoxShown {
    HWND owner = nullptr;
    std::string text;
    std::string caption;
    UINT type = 0;
    int answer = 0;
    bool scripted = false;  // false: the stand-in pressed OK for the user
};

// What the Save As structure held when the dialog opened, and the answer.
struct SaveAsShown {
    DWORD structSize = 0;
    HWND owner = nullptr;
    bool hasFilter = false;
    std::string filter;  // the bytes up to and including the closing pair of NULs
    std::string initialFile;
    DWORD maxFile = 0;
    bool hasTitle = false;
    std::string title;
    DWORD flags = 0;
    // Members that should have been zero and were not, by name.
    std::vector<std::string> nonZeroMembers;
    bool chose = false;  // the dialog returned TRUE
    std::string answer;  // the path handed back when chose
    bool scripted = false;  // false: nobody answered and the stand-in cancelled
};

struct PaintCycle {
    HWND window = nullptr;
    HDC dc = nullptr;
    bool ended = false;
};

struct SelectCall {
    HDC dc = nullptr;
    HGDIOBJ object = nullptr;
    HGDIOBJ previous = nullptr;  // what the call returned
};

struct BlitCall {
    HDC destination = nullptr;
    HWND destinationWindow = nullptr;  // when the destination is a paint DC
    int x = 0, y = 0, width = 0, height = 0;
    HDC source = nullptr;
    HBITMAP sourceBitmap = nullptr;  // what the source DC had selected
    int sourceBitmapWidth = 0, sourceBitmapHeight = 0;
    int sourceX = 0, sourceY = 0;
    DWORD rop = 0;
};

struct BitmapLoad {
    HBITMAP handle = nullptr;
    HINSTANCE module = nullptr;
    int resourceId = 0;
    int width = 0, height = 0, bitsPerPixel = 0;
    bool deleted = false;
};

struct MemoryDC {
    HDC dc = nullptr;
    HDC compatibleWith = nullptr;
    bool deleted = false;
    HGDIOBJ selectedWhenDeleted = nullptr;
    bool stockSelectedWhenDeleted = false;  // the DC got its own bitmap back before it went
};

struct FocusChange {
    HWND from = nullptr;
    HWND to = nullptr;
};

struct WindowSystemRecord {
    std::vector<DialogOpened> dialogsOpened;
    std::vector<ModalOutcome> modalOutcomes;
    std::vector<DialogMessage> messages;
    std::vector<MessageBoxShown> messageBoxes;
    std::vector<SaveAsShown> saveAsDialogs;
    std::vector<PaintCycle> paints;
    std::vector<SelectCall> selects;
    std::vector<BlitCall> blits;
    std::vector<BitmapLoad> bitmaps;
    std::vector<MemoryDC> memoryDCs;
    std::vector<FocusChange> focusChanges;
    // What the stand-in had to decide or refuse: unanswered dialogs, calls
    // naming windows or objects that do not exist, and the like.
    std::vector<std::string> notes;
};

const WindowSystemRecord& Record();

// Messages the procedure of one window received, in order.
std::vector<DialogMessage> MessagesTo(HWND window);

// InitCommonControls calls since the process started.
int CommonControlInits();

// Destroys every window without messages, forgets every GDI object, the
// record and the queued answers. Module resource bindings stay: they belong
// to loaded modules.
void ResetWindowSystem();

// --- The scripted user's answers --------------------------------------------------
// Each modal dialog takes the first queued answer of its kind.

// Save As: choose this path (handed back as typed) or cancel. Unanswered, the
// stand-in cancels and notes it.
void QueueSaveAs(std::string path);
void QueueSaveAsCancel();

// Message boxes: the button pressed (IDOK, or IDCANCEL where the box has it).
// Unanswered, the stand-in presses OK.
void QueueMessageBoxAnswer(int answer = IDOK);

// A modal dialog from DialogBoxParamA: the action gets the open dialog and
// acts on it through standin::user. Actions are taken one after another until
// the dialog calls EndDialog; when none is left the stand-in closes the
// dialog, notes it and the call returns -1.
using DialogAction = std::function<void(HWND dialog)>;
void QueueDialogAction(DialogAction action);

// Answers of every kind still queued.
size_t UnusedAnswers();
void ClearAnswers();

// --- The command panel (where the host puts rollup pages) -------------------

class CommandPanel : public RollupArea {
public:
    CommandPanel();
    // Destroys the remaining pages (their procedures see WM_DESTROY) and the panel.
    ~CommandPanel() override;
    CommandPanel(const CommandPanel&) = delete;
    CommandPanel& operator=(const CommandPanel&) = delete;

    // Creates the page as a child dialog of the panel; null when the template
    // is not found.
    HWND AddPage(HINSTANCE module, LPCSTR dialogTemplate, DLGPROC proc, LPCSTR title, LPARAM param) override;
    // Destroys a page of this panel; anything else is noted and left alone.
    void DeletePage(HWND page) override;

    struct Page {
        HWND window = nullptr;
        std::string title;
    };
    HWND window() const { return window_; }
    const std::vector<Page>& pages() const { return pages_; }

private:
    HWND window_ = nullptr;
    std::vector<Page> pages_;
};

// --- Acting as the user ----------------------------------------------------------
// Each returns false (and changes nothing) when the window or control does not
// exist or is not of a kind the action applies to.
namespace user {

// The control with this id in a dialog (GetDlgItem), or null.
HWND FindControl(HWND dialog, int id);

// Moves the keyboard focus to a control (null: away from every window), as
// Tab or a click would. An edit that loses or gains the focus tells its
// dialog with EN_KILLFOCUS / EN_SETFOCUS.
bool MoveFocus(HWND control);

// Focuses the edit, replaces its text and notifies EN_CHANGE. The focus
// stays until something moves it on.
bool TypeText(HWND dialog, int id, const std::string& text);

// Clicks a push button or a check box: it takes the focus, an automatic
// check box toggles, and the dialog gets BN_CLICKED.
bool ClickButton(HWND dialog, int id);

// Clicks a list entry: the list takes the focus, selects it, and notifies
// LBN_SELCHANGE if its style asks for notifications.
bool SelectListEntry(HWND dialog, int id, int index);
bool SelectListEntry(HWND dialog, int id, const std::string& text);

// Enter presses the focused push button, else the default push button, else
// sends IDOK; Escape sends IDCANCEL. Other keys are refused.
bool PressKey(HWND dialog, WPARAM key);

// The caption's close box: WM_SYSCOMMAND SC_CLOSE, which the dialog manager
// turns into WM_CLOSE and then IDCANCEL when the procedure leaves it. Only
// dialogs with a system menu have the box.
bool ClickCloseBox(HWND dialog);

// Mouse messages at a point of a dialog's client area (pixels).
bool MouseDown(HWND dialog, int x, int y);
bool MouseUp(HWND dialog, int x, int y);
bool MouseMove(HWND dialog, int x, int y, bool leftButtonDown = false);

// Sends WM_PAINT, as when the window is uncovered.
bool Repaint(HWND dialog);

}  // namespace user
}  // namespace standin
