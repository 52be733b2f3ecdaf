// A Win32 stand-in for the modelling host: a main window with the scene on the
// left and the command panel on the right. It loads a utility plug-in module
// the way the host does (LoadLibrary, then the four exports), opens the utility
// so that its rollup page becomes a child dialog of the command panel, and
// answers the plug-in's scene queries from a JSON scene file.
//
//   vorn_host.exe scene.json [plugin.dlu]
//
// Without a module path it loads vorn.dlu from the program's own folder. The
// host's library functions (GetTicksPerFrame, the accelerator switches, ...)
// come from standin_host.dll, which the plug-in imports them from as well.
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "platform/host_sdk.h"
#include "standin/host/json_scene_loader.h"
#include "standin/host/standin_scene.h"

namespace {

constexpr char kMainClass[] = "VornStandinHost";
constexpr char kCommandPanelClass[] = "VornCommandPanel";

constexpr int kMargin = 6;
constexpr int kRollupTitleHeight = 22;
constexpr int kSceneListWidth = 300;
constexpr int kSceneListId = 100;

// What the host needs of a loaded utility module.
struct UtilityModule {
    HMODULE module = nullptr;
    const char* (*description)() = nullptr;
    int (*numberClasses)() = nullptr;
    ClassDesc* (*classDesc)(int) = nullptr;
    ULONG (*version)() = nullptr;
};

template <typename F>
bool FindExport(HMODULE module, const char* name, F* out, std::string& missing) {
    FARPROC proc = GetProcAddress(module, name);
    if (!proc) {
        if (missing.empty()) missing = name;
        return false;
    }
    *out = reinterpret_cast<F>(reinterpret_cast<void*>(proc));
    return true;
}

bool LoadUtilityModule(const std::string& path, UtilityModule& out, std::string& error) {
    HMODULE module = LoadLibraryA(path.c_str());
    if (!module) {
        error = "cannot load " + path + " (error " + std::to_string(GetLastError()) + ")";
        return false;
    }
    std::string missing;
    FindExport(module, "LibDescription", &out.description, missing);
    FindExport(module, "LibNumberClasses", &out.numberClasses, missing);
    FindExport(module, "LibClassDesc", &out.classDesc, missing);
    FindExport(module, "LibVersion", &out.version, missing);
    if (!missing.empty()) {
        error = path + ": not a plug-in module, it does not export " + missing;
    } else if (out.version() != VERSION_3DSMAX) {
        error = path + ": built for another host version";
    }
    if (!error.empty()) {
        FreeLibrary(module);
        return false;
    }
    out.module = module;
    return true;
}

// The command panel: the column on the right where rollup pages go, each under
// a title strip.
class CommandPanel : public standin::RollupArea {
public:
    void Create(HWND parent, HINSTANCE instance) {
        window_ = CreateWindowExA(WS_EX_CLIENTEDGE, kCommandPanelClass, "", WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN,
                                  0, 0, 0, 0, parent, nullptr, instance, this);
    }
    HWND window() const { return window_; }
    HWND page() const { return page_; }
    const std::string& title() const { return title_; }

    // The page's size in pixels, or the panel's width for no page.
    SIZE PageSize() const {
        RECT r = {0, 0, 0, 0};
        if (page_) GetWindowRect(page_, &r);
        return SIZE{r.right - r.left, r.bottom - r.top};
    }

    HWND AddPage(HINSTANCE module, LPCSTR dialogTemplate, DLGPROC proc, LPCSTR title, LPARAM param) override {
        if (page_) return nullptr;  // one utility at a time
        HWND page = CreateDialogParamA(module, dialogTemplate, window_, proc, param);
        if (!page) return nullptr;
        page_ = page;
        title_ = title ? title : "";
        SetWindowPos(page_, nullptr, 0, kRollupTitleHeight, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
        ShowWindow(page_, SW_SHOW);
        InvalidateRect(window_, nullptr, TRUE);
        return page_;
    }

    void DeletePage(HWND page) override {
        if (!page || page != page_) return;
        DestroyWindow(page_);
        page_ = nullptr;
        title_.clear();
        InvalidateRect(window_, nullptr, TRUE);
    }

    static LRESULT CALLBACK Proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
        if (message == WM_NCCREATE) {
            auto* create = reinterpret_cast<CREATESTRUCTA*>(lParam);
            SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
        }
        auto* self = reinterpret_cast<CommandPanel*>(GetWindowLongPtrA(window, GWLP_USERDATA));
        if (message == WM_PAINT && self) {
            self->PaintTitle(window);
            return 0;
        }
        return DefWindowProcA(window, message, wParam, lParam);
    }

private:
    void PaintTitle(HWND window) {
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(window, &ps);
        RECT client;
        GetClientRect(window, &client);
        RECT strip = {2, 2, client.right - 2, kRollupTitleHeight - 2};
        if (page_) {
            DrawEdge(dc, &strip, EDGE_RAISED, BF_RECT | BF_MIDDLE);
            SetBkMode(dc, TRANSPARENT);
            HGDIOBJ old = SelectObject(dc, GetStockObject(DEFAULT_GUI_FONT));
            DrawTextA(dc, ("- " + title_).c_str(), -1, &strip, DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_END_ELLIPSIS);
            SelectObject(dc, old);
        }
        EndPaint(window, &ps);
    }

    HWND window_ = nullptr;
    HWND page_ = nullptr;
    std::string title_;
};

// The host interface. The plug-in's mouse messages would scroll the real
// host's panel; this one does not scroll, so they are ignored.
class Win32Host : public standin::StandinHost {
public:
    Win32Host(standin::Scene* scene, CommandPanel* panel) : StandinHost(scene, panel) {}
    void RollupMouseMessage(HWND, UINT, WPARAM, LPARAM) override {}
};

class UtilityBranch : public IUtil {
public:
    void CloseUtility() override {
        if (mainWindow) PostMessageA(mainWindow, WM_CLOSE, 0, 0);
    }
    HWND mainWindow = nullptr;
};

struct HostState {
    CommandPanel panel;
    HWND sceneList = nullptr;
    // The open utility, closed before the window goes as the host closes it.
    UtilityObj* utility = nullptr;
    Interface* host = nullptr;
    IUtil* branch = nullptr;
};
HostState* g_state = nullptr;

// Lays out the scene list and the command panel, and sizes the window to
// show the whole page.
void Layout(HWND window) {
    RECT client;
    GetClientRect(window, &client);
    const SIZE page = g_state->panel.PageSize();
    const int panelWidth = page.cx + 4 + GetSystemMetrics(SM_CXEDGE) * 2;
    MoveWindow(g_state->sceneList, kMargin, kMargin, kSceneListWidth, client.bottom - 2 * kMargin, TRUE);
    MoveWindow(g_state->panel.window(), kMargin * 2 + kSceneListWidth, kMargin, panelWidth,
               client.bottom - 2 * kMargin, TRUE);
}

void FitWindowToPage(HWND window) {
    const SIZE page = g_state->panel.PageSize();
    RECT want = {0, 0, kMargin * 3 + kSceneListWidth + page.cx + 4 + GetSystemMetrics(SM_CXEDGE) * 2,
                 kMargin * 2 + kRollupTitleHeight + page.cy + 4 + GetSystemMetrics(SM_CYEDGE) * 2};
    AdjustWindowRectEx(&want, WS_OVERLAPPEDWINDOW, FALSE, 0);
    SetWindowPos(window, nullptr, 0, 0, want.right - want.left, want.bottom - want.top, SWP_NOMOVE | SWP_NOZORDER);
    Layout(window);
}

LRESULT CALLBACK MainProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_SIZE:
            if (g_state) Layout(window);
            return 0;
        case WM_CLOSE:
            if (g_state && g_state->utility) {
                g_state->utility->EndEditParams(g_state->host, g_state->branch);
                g_state->utility = nullptr;
            }
            DestroyWindow(window);
            return 0;
        case WM_DESTROY:
            PostQuitMessage(0);
            return 0;
        default:
            return DefWindowProcA(window, message, wParam, lParam);
    }
}

void ListNodes(HWND list, INode* node, int depth) {
    for (int i = 0; i < node->NumberOfChildren(); ++i) {
        INode* child = node->GetChildNode(i);
        std::string line(static_cast<size_t>(depth) * 4, ' ');
        line += child->Selected() ? "[x] " : "[ ] ";
        line += child->GetName();
        if (Mtl* m = child->GetMtl()) line += std::string("  (") + m->GetName().data() + ")";
        SendMessageA(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(line.c_str()));
        ListNodes(list, child, depth + 1);
    }
}

// Names every bitmap by its full path, as the host does: the Save As dialog
// moves the current folder, and a relative name would then point elsewhere.
void UseFullBitmapPaths(standin::Scene& scene) {
    for (const auto& material : scene.materials) {
        if (!material->diffuse || material->diffuse->ClassID() != bitmapTexClassID) continue;
        auto* bitmap = static_cast<standin::SceneBitmapTex*>(material->diffuse.get());
        char full[MAX_PATH];
        const DWORD n = GetFullPathNameA(bitmap->fileName.c_str(), MAX_PATH, full, nullptr);
        if (n > 0 && n < MAX_PATH) bitmap->fileName = full;
    }
}

std::string ProgramFolder() {
    char path[MAX_PATH];
    const DWORD n = GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string s(path, n < MAX_PATH ? n : 0);
    const size_t slash = s.find_last_of("\\/");
    return slash == std::string::npos ? std::string(".") : s.substr(0, slash);
}

// Errors go to the standard error stream when there is one, else to a box.
int Fail(const std::string& text) {
    if (GetStdHandle(STD_ERROR_HANDLE)) {
        std::fprintf(stderr, "vorn_host: %s\n", text.c_str());
    } else {
        MessageBoxA(nullptr, text.c_str(), "Vorn stand-in host", MB_OK | MB_ICONERROR);
    }
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2 || argc > 3) return Fail("usage: vorn_host scene.json [plugin.dlu]");
    const std::string scenePath = argv[1];
    const std::string modulePath = argc > 2 ? argv[2] : ProgramFolder() + "\\vorn.dlu";

    standin::Scene scene;
    std::string error;
    if (!standin::LoadJsonScene(scenePath, scene, error)) return Fail(error);
    UseFullBitmapPaths(scene);

    HINSTANCE instance = GetModuleHandleA(nullptr);
    WNDCLASSA mainClass = {};
    mainClass.lpfnWndProc = MainProc;
    mainClass.hInstance = instance;
    mainClass.hCursor = LoadCursor(nullptr, IDC_ARROW);
    mainClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    mainClass.lpszClassName = kMainClass;
    WNDCLASSA panelClass = {};
    panelClass.lpfnWndProc = CommandPanel::Proc;
    panelClass.hInstance = instance;
    panelClass.hCursor = LoadCursor(nullptr, IDC_ARROW);
    panelClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    panelClass.lpszClassName = kCommandPanelClass;
    if (!RegisterClassA(&mainClass) || !RegisterClassA(&panelClass)) return Fail("cannot register the window classes");

    HostState state;
    g_state = &state;
    const std::string caption = "Vorn stand-in host - " + scenePath;
    HWND mainWindow = CreateWindowExA(0, kMainClass, caption.c_str(), WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN,
                                      0, 0, 640, 480, nullptr, nullptr, instance, nullptr);
    if (!mainWindow) return Fail("cannot create the main window");
    state.sceneList = CreateWindowExA(WS_EX_CLIENTEDGE, "ListBox", "",
                                      WS_CHILD | WS_VISIBLE | WS_VSCROLL | LBS_NOINTEGRALHEIGHT | LBS_NOSEL, 0, 0, 0,
                                      0, mainWindow, reinterpret_cast<HMENU>(static_cast<INT_PTR>(kSceneListId)),
                                      instance, nullptr);
    SendMessageA(state.sceneList, WM_SETFONT, reinterpret_cast<WPARAM>(GetStockObject(DEFAULT_GUI_FONT)), FALSE);
    const std::string sceneLine = "Scene: " + scenePath;
    SendMessageA(state.sceneList, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(sceneLine.c_str()));
    ListNodes(state.sceneList, scene.root.get(), 0);
    state.panel.Create(mainWindow, instance);

    Win32Host host(&scene, &state.panel);
    UtilityBranch branch;
    branch.mainWindow = mainWindow;

    UtilityModule plugin;
    if (!LoadUtilityModule(modulePath, plugin, error)) return Fail(error);
    ClassDesc* description = plugin.numberClasses() > 0 ? plugin.classDesc(0) : nullptr;
    if (!description || description->SuperClassID() != UTILITY_CLASS_ID) {
        FreeLibrary(plugin.module);
        return Fail(modulePath + ": provides no utility class");
    }
    auto* utility = static_cast<UtilityObj*>(description->Create(0));
    utility->BeginEditParams(&host, &branch);
    state.utility = utility;
    state.host = &host;
    state.branch = &branch;
    if (!state.panel.page()) {
        FreeLibrary(plugin.module);
        return Fail(modulePath + ": the utility added no panel");
    }

    FitWindowToPage(mainWindow);
    ShowWindow(mainWindow, SW_SHOW);
    UpdateWindow(mainWindow);

    MSG msg;
    BOOL got;
    while ((got = GetMessageA(&msg, nullptr, 0, 0)) != 0 && got != -1) {
        // Tab, Enter and the arrow keys work in the panel as in any dialog.
        if (state.panel.page() && IsDialogMessageA(state.panel.page(), &msg)) continue;
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }

    if (state.utility) utility->EndEditParams(&host, &branch);
    utility->DeleteThis();
    FreeLibrary(plugin.module);
    g_state = nullptr;
    return 0;
}
