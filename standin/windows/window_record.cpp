// Looking into the stand-in window system: window snapshots, the record of
// the plug-in's calls, and starting afresh.
#include "standin/windows/window_state.h"

namespace standin {

WindowInfo DescribeWindow(HWND window) {
    WindowInfo info;
    const detail::Window* w = detail::Find(window);
    if (w == nullptr) return info;
    info.kind = w->kind;
    info.className = w->className;
    info.id = w->id;
    info.style = w->style;
    info.text = w->text;
    info.x = w->x;
    info.y = w->y;
    info.width = w->width;
    info.height = w->height;
    info.parent = w->parent;
    info.module = w->module;
    info.templateId = w->templateId;
    info.check = w->check;
    info.items = w->items;
    info.selection = w->selection;
    return info;
}

std::vector<HWND> ChildWindows(HWND window) {
    const detail::Window* w = detail::Find(window);
    return w ? w->children : std::vector<HWND>{};
}

bool IsLiveWindow(HWND window) { return detail::Find(window) != nullptr; }

HWND FocusedWindow() { return detail::Global().focus; }

const WindowSystemRecord& Record() { return detail::Global().record; }

std::vector<DialogMessage> MessagesTo(HWND window) {
    std::vector<DialogMessage> messages;
    for (const DialogMessage& m : detail::Global().record.messages) {
        if (m.window == window) messages.push_back(m);
    }
    return messages;
}

void ResetWindowSystem() {
    detail::State& s = detail::Global();
    // Handle counters go on, so that a handle from before never names a new window.
    s.windows.clear();
    s.dcs.clear();
    s.objects.clear();
    s.stockBitmap = nullptr;
    s.answers.clear();
    s.record = WindowSystemRecord{};
    s.focus = nullptr;
}

CommandPanel::CommandPanel() {
    auto panel = std::make_unique<detail::Window>();
    panel->kind = WindowKind::CommandPanel;
    panel->className = "CommandPanel";
    panel->text = "Utilities";
    window_ = detail::NewWindow(std::move(panel));
}

CommandPanel::~CommandPanel() {
    for (const Page& page : pages_) detail::DestroyWindowTree(page.window);
    detail::DestroyWindowTree(window_);
}

HWND CommandPanel::AddPage(HINSTANCE module, LPCSTR dialogTemplate, DLGPROC proc, LPCSTR title, LPARAM param) {
    const HWND page = CreateDialogParamA(module, dialogTemplate, window_, proc, param);
    if (page != nullptr) pages_.push_back({page, title ? title : ""});
    return page;
}

void CommandPanel::DeletePage(HWND page) {
    for (auto it = pages_.begin(); it != pages_.end(); ++it) {
        if (it->window == page) {
            pages_.erase(it);
            detail::DestroyWindowTree(page);
            return;
        }
    }
    detail::Note("DeletePage: " + detail::HandleText(page) + " is not a page of the command panel");
}

}  // namespace standin
