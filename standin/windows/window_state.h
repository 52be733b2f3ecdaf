// The stand-in window system's own state, shared by its source files.
#pragma once

#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "standin/windows/window_standin.h"

namespace standin::detail {

struct Window {
    HWND handle = nullptr;
    HWND parent = nullptr;
    std::vector<HWND> children;
    WindowKind kind = WindowKind::Unknown;
    std::string className;
    int id = 0;
    DWORD style = 0;
    std::string text;
    int x = 0, y = 0, width = 0, height = 0;  // dialog units
    bool alive = true;

    // Dialogs
    DLGPROC proc = nullptr;
    HINSTANCE module = nullptr;
    int templateId = 0;
    bool modal = false;
    bool ended = false;
    INT_PTR result = 0;

    // Controls
    UINT check = BST_UNCHECKED;
    std::vector<std::string> items;
    int selection = -1;
};

enum class DCKind { Paint, Memory };

struct DeviceContext {
    DCKind kind = DCKind::Memory;
    HWND window = nullptr;
    HGDIOBJ selected = nullptr;
    bool alive = true;
    size_t recordIndex = 0;  // into Record().paints or Record().memoryDCs
};

enum class GdiKind { StockBitmap, Bitmap };

struct GdiObject {
    GdiKind kind = GdiKind::Bitmap;
    int width = 1, height = 1;
    bool alive = true;
    HDC selectedInto = nullptr;
    size_t recordIndex = 0;  // into Record().bitmaps
};

struct ScriptedAnswer {
    enum class Kind { SaveAs, SaveAsCancel, MessageBox, Dialog } kind;
    std::string path;
    int answer = 0;
    DialogAction action;
};

struct State {
    // Destroyed windows stay here until a reset, so that a handle held by a
    // caller (or by a procedure still on the stack) never names freed memory.
    std::map<HWND, std::unique_ptr<Window>> windows;
    std::map<HDC, DeviceContext> dcs;
    std::map<HGDIOBJ, GdiObject> objects;
    std::map<HINSTANCE, const ModuleResources*> modules;
    std::deque<ScriptedAnswer> answers;
    WindowSystemRecord record;
    HWND focus = nullptr;
    uintptr_t nextWindow = 0;
    uintptr_t nextDC = 0;
    uintptr_t nextObject = 0;
    HGDIOBJ stockBitmap = nullptr;
    int commonControlInits = 0;
};

State& Global();

// The live window, or null.
Window* Find(HWND handle);
HWND NewWindow(std::unique_ptr<Window> window);
void Note(std::string text);
std::string HandleText(const void* handle);

// Delivers a message to a dialog's procedure, with the dialog manager's
// default handling of what the procedure leaves; 0 for a window without one.
INT_PTR DeliverToDialog(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

// Moves the focus, notifying the edits that lose and gain it.
void ChangeFocus(HWND to);

// Creates a dialog and its controls from a module's template and sends
// WM_INITDIALOG; null when the template is not found.
HWND CreateDialogWindow(HINSTANCE module, LPCSTR dialogTemplate, HWND parent, DLGPROC proc,
                        LPARAM param, bool modal);
void DestroyWindowTree(HWND window);

const DialogTemplate* FindDialogTemplate(HINSTANCE module, LPCSTR name);
const BitmapResource* FindBitmapResource(HINSTANCE module, LPCSTR name);

// Takes the first queued answer of a kind; false when none is queued.
bool TakeAnswer(ScriptedAnswer::Kind kind, ScriptedAnswer& out);
bool TakeDialogAction(DialogAction& out);

}  // namespace standin::detail
