// Windows, dialogs built from templates, their controls and the messages
// between them: the dialog manager's side of the stand-in window system.
#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>
#include <utility>

#include "standin/windows/window_state.h"

namespace standin::detail {

namespace {

// Handles of each kind come from their own range, so that a handle passed as
// the wrong kind is not found.
constexpr uintptr_t kWindowBase = 0x10000;
constexpr uintptr_t kHandleStep = 0x10;

bool SameText(const std::string& a, const char* b) {
    if (a.size() != std::strlen(b)) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    }
    return true;
}

WindowKind KindOf(const std::string& className, DWORD style) {
    if (SameText(className, "Button")) {
        switch (style & 0xF) {
            case BS_PUSHBUTTON: return WindowKind::PushButton;
            case BS_DEFPUSHBUTTON: return WindowKind::DefaultPushButton;
            case BS_AUTOCHECKBOX: return WindowKind::CheckBox;
            case BS_GROUPBOX: return WindowKind::GroupBox;
            default: return WindowKind::Unknown;
        }
    }
    if (SameText(className, "Edit")) return WindowKind::Edit;
    if (SameText(className, "ListBox")) return WindowKind::ListBox;
    if (SameText(className, "Static")) return (style & SS_SUNKEN) ? WindowKind::SunkenText : WindowKind::Text;
    return WindowKind::Unknown;
}

std::string TemplateName(LPCSTR name) {
    if (name == nullptr) return "(null)";
    if (IS_INTRESOURCE(name)) return std::to_string(reinterpret_cast<uintptr_t>(name));
    return std::string("\"") + name + "\"";
}

// A case-blind order for sorted list boxes, as the system's list boxes use.
bool ListBefore(const std::string& a, const std::string& b) {
    return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
        return std::tolower(static_cast<unsigned char>(x)) < std::tolower(static_cast<unsigned char>(y));
    });
}

LRESULT ListBoxMessage(Window& list, UINT message, WPARAM wParam, LPARAM lParam) {
    const auto count = static_cast<LRESULT>(list.items.size());
    switch (message) {
        case LB_ADDSTRING: {
            const char* text = reinterpret_cast<const char*>(lParam);
            std::string item = text ? text : "";
            auto at = list.items.end();
            if (list.style & LBS_SORT) {
                at = std::upper_bound(list.items.begin(), list.items.end(), item, ListBefore);
            }
            at = list.items.insert(at, std::move(item));
            return at - list.items.begin();
        }
        case LB_RESETCONTENT:
            list.items.clear();
            list.selection = -1;
            return 0;
        case LB_SETCURSEL: {
            // -1 clears the selection and, as on Windows, still answers LB_ERR.
            const auto index = static_cast<LRESULT>(static_cast<int>(wParam));
            if (index < 0 || index >= count) {
                list.selection = -1;
                return LB_ERR;
            }
            list.selection = static_cast<int>(index);
            return index;
        }
        case LB_GETCURSEL:
            return list.selection >= 0 ? list.selection : LB_ERR;
        case LB_GETTEXT:
        case LB_GETTEXTLEN: {
            const auto index = static_cast<LRESULT>(static_cast<int>(wParam));
            if (index < 0 || index >= count) return LB_ERR;
            const std::string& item = list.items[static_cast<size_t>(index)];
            if (message == LB_GETTEXT) {
                char* buffer = reinterpret_cast<char*>(lParam);
                if (buffer == nullptr) return LB_ERR;
                std::memcpy(buffer, item.c_str(), item.size() + 1);
            }
            return static_cast<LRESULT>(item.size());
        }
        case LB_GETCOUNT:
            return count;
        default:
            return 0;
    }
}

LRESULT ButtonMessage(Window& button, UINT message, WPARAM wParam) {
    if (button.kind != WindowKind::CheckBox) return 0;
    switch (message) {
        case BM_GETCHECK: return button.check;
        case BM_SETCHECK: button.check = wParam == BST_CHECKED ? BST_CHECKED : BST_UNCHECKED; return 0;
        default: return 0;
    }
}

// Sends an edit's focus notification to its dialog.
void NotifyEditFocus(HWND edit, WORD code) {
    Window* w = Find(edit);
    if (w == nullptr || w->kind != WindowKind::Edit) return;
    const HWND dialog = w->parent;
    const WPARAM wParam = MAKEWPARAM(static_cast<WORD>(w->id), code);
    DeliverToDialog(dialog, WM_COMMAND, wParam, reinterpret_cast<LPARAM>(edit));
}

Window* ControlOf(HWND dialog, int id, const char* caller) {
    Window* d = Find(dialog);
    if (d == nullptr) {
        Note(std::string(caller) + ": no window " + HandleText(dialog));
        return nullptr;
    }
    for (HWND child : d->children) {
        Window* c = Find(child);
        if (c != nullptr && c->id == id) return c;
    }
    return nullptr;
}

}  // namespace

State& Global() {
    static State state;
    return state;
}

Window* Find(HWND handle) {
    if (handle == nullptr) return nullptr;
    State& s = Global();
    auto it = s.windows.find(handle);
    return (it != s.windows.end() && it->second->alive) ? it->second.get() : nullptr;
}

HWND NewWindow(std::unique_ptr<Window> window) {
    State& s = Global();
    const HWND handle = reinterpret_cast<HWND>(kWindowBase + kHandleStep * ++s.nextWindow);
    window->handle = handle;
    if (Window* parent = Find(window->parent)) parent->children.push_back(handle);
    s.windows[handle] = std::move(window);
    return handle;
}

void Note(std::string text) { Global().record.notes.push_back(std::move(text)); }

std::string HandleText(const void* handle) {
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%#lx", static_cast<unsigned long>(reinterpret_cast<uintptr_t>(handle)));
    return buffer;
}

INT_PTR DeliverToDialog(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    Window* d = Find(dialog);
    if (d == nullptr || d->proc == nullptr) return 0;
    const DLGPROC proc = d->proc;
    State& s = Global();
    const size_t entry = s.record.messages.size();
    s.record.messages.push_back({dialog, message, wParam, lParam, 0});
    const INT_PTR result = proc(dialog, message, wParam, lParam);
    s.record.messages[entry].result = result;
    if (result != 0) return result;

    // What the dialog manager does with what the procedure leaves.
    if (message == WM_SYSCOMMAND && (wParam & 0xFFF0) == SC_CLOSE) {
        return DeliverToDialog(dialog, WM_CLOSE, 0, 0);
    }
    if (message == WM_CLOSE) {
        Window* cancel = Find(dialog) ? ControlOf(dialog, IDCANCEL, "WM_CLOSE") : nullptr;
        return DeliverToDialog(dialog, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED),
                               reinterpret_cast<LPARAM>(cancel ? cancel->handle : nullptr));
    }
    return 0;
}

void ChangeFocus(HWND to) {
    State& s = Global();
    const HWND from = s.focus;
    if (from == to) return;
    s.focus = to;
    s.record.focusChanges.push_back({from, to});
    NotifyEditFocus(from, EN_KILLFOCUS);
    // The old edit's dialog may have moved the focus again in its answer.
    if (s.focus == to) NotifyEditFocus(to, EN_SETFOCUS);
}

const DialogTemplate* FindDialogTemplate(HINSTANCE module, LPCSTR name) {
    State& s = Global();
    auto it = s.modules.find(module);
    if (it == s.modules.end() || it->second == nullptr || !IS_INTRESOURCE(name)) return nullptr;
    const ModuleResources& r = *it->second;
    const auto id = static_cast<WORD>(reinterpret_cast<uintptr_t>(name));
    for (size_t i = 0; i < r.dialogCount; ++i) {
        if (r.dialogs[i].id == id) return &r.dialogs[i];
    }
    return nullptr;
}

const BitmapResource* FindBitmapResource(HINSTANCE module, LPCSTR name) {
    State& s = Global();
    auto it = s.modules.find(module);
    if (it == s.modules.end() || it->second == nullptr || !IS_INTRESOURCE(name)) return nullptr;
    const ModuleResources& r = *it->second;
    const auto id = static_cast<WORD>(reinterpret_cast<uintptr_t>(name));
    for (size_t i = 0; i < r.bitmapCount; ++i) {
        if (r.bitmaps[i].id == id) return &r.bitmaps[i];
    }
    return nullptr;
}

HWND CreateDialogWindow(HINSTANCE module, LPCSTR dialogTemplate, HWND parent, DLGPROC proc,
                        LPARAM param, bool modal) {
    const DialogTemplate* t = FindDialogTemplate(module, dialogTemplate);
    if (t == nullptr) {
        Note("dialog template " + TemplateName(dialogTemplate) + " not found in module " + HandleText(module));
        return nullptr;
    }
    auto dialog = std::make_unique<Window>();
    dialog->parent = Find(parent) ? parent : nullptr;
    dialog->kind = WindowKind::Dialog;
    dialog->className = "#32770";
    dialog->style = t->style;
    dialog->text = t->caption ? t->caption : "";
    dialog->x = t->x;
    dialog->y = t->y;
    dialog->width = t->cx;
    dialog->height = t->cy;
    dialog->proc = proc;
    dialog->module = module;
    dialog->templateId = t->id;
    dialog->modal = modal;
    const HWND handle = NewWindow(std::move(dialog));

    HWND firstTabStop = nullptr;
    for (size_t i = 0; i < t->itemCount; ++i) {
        const DialogItemTemplate& item = t->items[i];
        auto control = std::make_unique<Window>();
        control->parent = handle;
        control->className = item.className ? item.className : "";
        control->style = item.style;
        control->kind = KindOf(control->className, item.style);
        control->id = item.id;
        control->text = item.text ? item.text : "";
        control->x = item.x;
        control->y = item.y;
        control->width = item.cx;
        control->height = item.cy;
        const HWND c = NewWindow(std::move(control));
        if (firstTabStop == nullptr && (item.style & WS_TABSTOP)) firstTabStop = c;
    }

    Global().record.dialogsOpened.push_back({handle, module, t->id, parent, param, modal});
    const INT_PTR focusDefault = DeliverToDialog(handle, WM_INITDIALOG, reinterpret_cast<WPARAM>(firstTabStop), param);
    // A modal dialog starts with the focus on its first tab stop unless its
    // procedure placed the focus itself; pages of the command panel do not
    // take the focus from what the user is doing.
    if (modal && focusDefault && Find(handle) && firstTabStop) ChangeFocus(firstTabStop);
    return Find(handle) ? handle : nullptr;
}

void DestroyWindowTree(HWND window) {
    State& s = Global();
    if (Find(window) == nullptr) return;
    // A focused window inside goes first, so that an edit still tells its dialog.
    for (HWND f = s.focus; f != nullptr; f = Find(f) ? Find(f)->parent : nullptr) {
        if (f == window) {
            ChangeFocus(nullptr);
            break;
        }
    }
    if (Find(window) == nullptr) return;
    DeliverToDialog(window, WM_DESTROY, 0, 0);
    Window* w = Find(window);
    if (w == nullptr) return;
    const std::vector<HWND> children = w->children;
    for (HWND child : children) DestroyWindowTree(child);
    w = Find(window);
    if (w == nullptr) return;
    w->alive = false;
    if (Window* parent = Find(w->parent)) {
        auto& siblings = parent->children;
        siblings.erase(std::remove(siblings.begin(), siblings.end(), window), siblings.end());
    }
}

}  // namespace standin::detail

using standin::WindowKind;
using standin::detail::Find;
using standin::detail::Note;
using standin::detail::Window;

HWND GetDlgItem(HWND dialog, int id) {
    Window* c = standin::detail::ControlOf(dialog, id, "GetDlgItem");
    return c ? c->handle : nullptr;
}

BOOL SetDlgItemTextA(HWND dialog, int id, LPCSTR text) {
    Window* c = standin::detail::ControlOf(dialog, id, "SetDlgItemTextA");
    if (c == nullptr) return FALSE;
    c->text = text ? text : "";
    // Setting an edit's text notifies its dialog as typing does.
    if (c->kind == WindowKind::Edit) {
        standin::detail::DeliverToDialog(dialog, WM_COMMAND, MAKEWPARAM(static_cast<WORD>(id), EN_CHANGE),
                                         reinterpret_cast<LPARAM>(c->handle));
    }
    return TRUE;
}

UINT GetDlgItemTextA(HWND dialog, int id, LPSTR text, int maxCount) {
    if (text == nullptr || maxCount <= 0) return 0;
    text[0] = '\0';
    Window* c = standin::detail::ControlOf(dialog, id, "GetDlgItemTextA");
    if (c == nullptr) return 0;
    const size_t n = std::min(c->text.size(), static_cast<size_t>(maxCount - 1));
    std::memcpy(text, c->text.data(), n);
    text[n] = '\0';
    return static_cast<UINT>(n);
}

BOOL SetDlgItemInt(HWND dialog, int id, UINT value, BOOL isSigned) {
    char buffer[16];
    if (isSigned) {
        std::snprintf(buffer, sizeof buffer, "%d", static_cast<int>(static_cast<int32_t>(value)));
    } else {
        std::snprintf(buffer, sizeof buffer, "%u", value);
    }
    return SetDlgItemTextA(dialog, id, buffer);
}

// The whole text, apart from spaces around it, must be a decimal number
// (with a minus sign only when signed) that fits 32 bits.
UINT GetDlgItemInt(HWND dialog, int id, BOOL* translated, BOOL isSigned) {
    if (translated) *translated = FALSE;
    Window* c = standin::detail::ControlOf(dialog, id, "GetDlgItemInt");
    if (c == nullptr) return 0;
    const std::string& text = c->text;
    size_t begin = text.find_first_not_of(' ');
    if (begin == std::string::npos) return 0;
    const size_t end = text.find_last_not_of(' ') + 1;
    bool negative = false;
    if (isSigned && text[begin] == '-') {
        negative = true;
        ++begin;
    }
    if (begin == end) return 0;
    uint64_t value = 0;
    const uint64_t limit = isSigned ? (negative ? 0x80000000ull : 0x7FFFFFFFull) : 0xFFFFFFFFull;
    for (size_t i = begin; i < end; ++i) {
        const char ch = text[i];
        if (ch < '0' || ch > '9') return 0;
        value = value * 10 + static_cast<uint64_t>(ch - '0');
        if (value > limit) return 0;
    }
    if (translated) *translated = TRUE;
    return negative ? static_cast<UINT>(0u - static_cast<uint32_t>(value)) : static_cast<UINT>(value);
}

UINT IsDlgButtonChecked(HWND dialog, int id) {
    Window* c = standin::detail::ControlOf(dialog, id, "IsDlgButtonChecked");
    return c ? static_cast<UINT>(SendMessageA(c->handle, BM_GETCHECK, 0, 0)) : BST_UNCHECKED;
}

BOOL CheckDlgButton(HWND dialog, int id, UINT check) {
    Window* c = standin::detail::ControlOf(dialog, id, "CheckDlgButton");
    if (c == nullptr) return FALSE;
    SendMessageA(c->handle, BM_SETCHECK, check, 0);
    return TRUE;
}

LRESULT SendMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    Window* w = Find(window);
    if (w == nullptr) {
        Note("SendMessageA: no window " + standin::detail::HandleText(window));
        return 0;
    }
    switch (w->kind) {
        case WindowKind::Dialog:
            return standin::detail::DeliverToDialog(window, message, wParam, lParam);
        case WindowKind::ListBox:
            return standin::detail::ListBoxMessage(*w, message, wParam, lParam);
        case WindowKind::CheckBox:
        case WindowKind::PushButton:
        case WindowKind::DefaultPushButton:
            return standin::detail::ButtonMessage(*w, message, wParam);
        default:
            return 0;
    }
}

LRESULT SendDlgItemMessageA(HWND dialog, int id, UINT message, WPARAM wParam, LPARAM lParam) {
    Window* c = standin::detail::ControlOf(dialog, id, "SendDlgItemMessageA");
    return c ? SendMessageA(c->handle, message, wParam, lParam) : 0;
}

HWND CreateDialogParamA(HINSTANCE module, LPCSTR dialogTemplate, HWND parent, DLGPROC proc, LPARAM param) {
    return standin::detail::CreateDialogWindow(module, dialogTemplate, parent, proc, param, false);
}

BOOL EndDialog(HWND dialog, INT_PTR result) {
    Window* d = Find(dialog);
    if (d == nullptr || d->kind != WindowKind::Dialog) {
        Note("EndDialog: no dialog " + standin::detail::HandleText(dialog));
        return FALSE;
    }
    d->ended = true;
    d->result = result;
    return TRUE;
}

BOOL DestroyWindow(HWND window) {
    if (Find(window) == nullptr) {
        Note("DestroyWindow: no window " + standin::detail::HandleText(window));
        return FALSE;
    }
    standin::detail::DestroyWindowTree(window);
    return TRUE;
}

void RegisterModuleResources(HINSTANCE module, const ModuleResources* resources) {
    auto& modules = standin::detail::Global().modules;
    if (resources == nullptr) {
        modules.erase(module);
    } else {
        modules[module] = resources;
    }
}
