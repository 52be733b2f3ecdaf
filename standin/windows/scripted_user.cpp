// The scripted user: what a person does to the stand-in's windows, turned
// into the notifications Windows would send.
#include "standin/windows/window_state.h"

namespace standin::user {

namespace {

using detail::Find;
using detail::Window;

constexpr WPARAM kLeftButton = 0x0001;  // MK_LBUTTON

bool IsDialog(HWND dialog) {
    const Window* d = Find(dialog);
    return d != nullptr && d->kind == WindowKind::Dialog;
}

Window* Control(HWND dialog, int id, std::initializer_list<WindowKind> kinds) {
    if (!IsDialog(dialog)) return nullptr;
    Window* c = Find(GetDlgItem(dialog, id));
    if (c == nullptr) return nullptr;
    for (WindowKind k : kinds) {
        if (c->kind == k) return c;
    }
    return nullptr;
}

void Command(HWND dialog, int id, WORD code, HWND control) {
    detail::DeliverToDialog(dialog, WM_COMMAND, MAKEWPARAM(static_cast<WORD>(id), code),
                            reinterpret_cast<LPARAM>(control));
}

LPARAM Point(int x, int y) {
    return static_cast<LPARAM>((static_cast<DWORD>(y & 0xFFFF) << 16) | static_cast<DWORD>(x & 0xFFFF));
}

bool Mouse(HWND dialog, UINT message, WPARAM keys, int x, int y) {
    if (!IsDialog(dialog)) return false;
    detail::DeliverToDialog(dialog, message, keys, Point(x, y));
    return true;
}

}  // namespace

HWND FindControl(HWND dialog, int id) { return IsDialog(dialog) ? GetDlgItem(dialog, id) : nullptr; }

bool MoveFocus(HWND control) {
    if (control != nullptr && Find(control) == nullptr) return false;
    detail::ChangeFocus(control);
    return true;
}

bool TypeText(HWND dialog, int id, const std::string& text) {
    Window* edit = Control(dialog, id, {WindowKind::Edit});
    if (edit == nullptr) return false;
    const HWND handle = edit->handle;
    detail::ChangeFocus(handle);
    edit = Find(handle);
    if (edit == nullptr) return true;  // the dialog went away as the focus arrived
    edit->text = text;
    Command(dialog, id, EN_CHANGE, handle);
    return true;
}

bool ClickButton(HWND dialog, int id) {
    Window* button = Control(dialog, id, {WindowKind::PushButton, WindowKind::DefaultPushButton, WindowKind::CheckBox});
    if (button == nullptr) return false;
    const HWND handle = button->handle;
    detail::ChangeFocus(handle);
    button = Find(handle);
    if (button == nullptr) return true;
    if (button->kind == WindowKind::CheckBox) button->check = button->check == BST_CHECKED ? BST_UNCHECKED : BST_CHECKED;
    Command(dialog, id, BN_CLICKED, handle);
    return true;
}

bool SelectListEntry(HWND dialog, int id, int index) {
    Window* list = Control(dialog, id, {WindowKind::ListBox});
    if (list == nullptr || index < 0 || static_cast<size_t>(index) >= list->items.size()) return false;
    const HWND handle = list->handle;
    detail::ChangeFocus(handle);
    list = Find(handle);
    if (list == nullptr) return true;
    list->selection = index;
    if (list->style & LBS_NOTIFY) Command(dialog, id, LBN_SELCHANGE, handle);
    return true;
}

bool SelectListEntry(HWND dialog, int id, const std::string& text) {
    const Window* list = Control(dialog, id, {WindowKind::ListBox});
    if (list == nullptr) return false;
    for (size_t i = 0; i < list->items.size(); ++i) {
        if (list->items[i] == text) return SelectListEntry(dialog, id, static_cast<int>(i));
    }
    return false;
}

bool PressKey(HWND dialog, WPARAM key) {
    if (!IsDialog(dialog)) return false;
    if (key == VK_ESCAPE) {
        Command(dialog, IDCANCEL, BN_CLICKED, GetDlgItem(dialog, IDCANCEL));
        return true;
    }
    if (key != VK_RETURN) return false;
    const Window* focused = Find(detail::Global().focus);
    if (focused != nullptr && focused->parent == dialog &&
        (focused->kind == WindowKind::PushButton || focused->kind == WindowKind::DefaultPushButton)) {
        Command(dialog, focused->id, BN_CLICKED, focused->handle);
        return true;
    }
    for (HWND child : ChildWindows(dialog)) {
        const Window* c = Find(child);
        if (c != nullptr && c->kind == WindowKind::DefaultPushButton) {
            Command(dialog, c->id, BN_CLICKED, child);
            return true;
        }
    }
    Command(dialog, IDOK, BN_CLICKED, GetDlgItem(dialog, IDOK));
    return true;
}

bool ClickCloseBox(HWND dialog) {
    const Window* d = Find(dialog);
    if (d == nullptr || d->kind != WindowKind::Dialog || !(d->style & WS_SYSMENU)) return false;
    detail::DeliverToDialog(dialog, WM_SYSCOMMAND, SC_CLOSE, 0);
    return true;
}

bool MouseDown(HWND dialog, int x, int y) { return Mouse(dialog, WM_LBUTTONDOWN, kLeftButton, x, y); }

bool MouseUp(HWND dialog, int x, int y) { return Mouse(dialog, WM_LBUTTONUP, 0, x, y); }

bool MouseMove(HWND dialog, int x, int y, bool leftButtonDown) {
    return Mouse(dialog, WM_MOUSEMOVE, leftButtonDown ? kLeftButton : 0, x, y);
}

bool Repaint(HWND dialog) {
    if (!IsDialog(dialog)) return false;
    detail::DeliverToDialog(dialog, WM_PAINT, 0, 0);
    return true;
}

}  // namespace standin::user
