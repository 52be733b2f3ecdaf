// The panel the user drives every export from, and the About box.

#include <cctype>
#include <cfloat>
#include <charconv>
#include <cstring>
#include <system_error>

#include "core/quake_export_utility.h"
#include "shell/export_panel.h"
#include "shell/plugin_module.h"
#include "shell/resources/resource_ids.h"

namespace {

ExportPanelState g_panel;

constexpr int kRollupCategory = 4000;

void FillFrameList(HWND panel, const QuakeExportUtility& utility) {
    SendDlgItemMessageA(panel, IDC_FRAME_LIST, LB_RESETCONTENT, 0, 0);
    for (int32_t i = 0; i < utility.frameCount; ++i) {
        SendDlgItemMessageA(panel, IDC_FRAME_LIST, LB_ADDSTRING, 0,
                            reinterpret_cast<LPARAM>(utility.frameNames[i]));
    }
}

// "Start" and "End": the selected entry becomes the first or last frame.
void TakeSelectedFrame(HWND panel, int displayId, int32_t* index) {
    const LRESULT selected = SendDlgItemMessageA(panel, IDC_FRAME_LIST, LB_GETCURSEL, 0, 0);
    if (selected == LB_ERR) return;
    const LRESULT length = SendDlgItemMessageA(panel, IDC_FRAME_LIST, LB_GETTEXTLEN, static_cast<WPARAM>(selected), 0);
    if (length == LB_ERR || length >= kTextBufferSize) return;
    char name[kTextBufferSize];
    SendDlgItemMessageA(panel, IDC_FRAME_LIST, LB_GETTEXT, static_cast<WPARAM>(selected),
                        reinterpret_cast<LPARAM>(name));
    SetDlgItemTextA(panel, displayId, name);
    *index = static_cast<int32_t>(selected);
}

void ImportFrameList(HWND panel, QuakeExportUtility& utility) {
    char path[kPathBufferSize];
    if (!utility.AskSaveFileName(utility.panelWindow, path, kModelFileFilter, kSaveModelTitle)) return;
    if (!utility.ImportFrameNames(path)) {
        MessageBoxA(utility.panelWindow, "Cannot load new frame list", "File Error", MB_OK);
        utility.ReportLatchedReason();
    }
    FillFrameList(panel, utility);
}

INT_PTR SaveModelPressed(HWND panel, QuakeExportUtility& utility) {
    const int saveBmp = IsDlgButtonChecked(panel, IDC_SAVE_BMP) == BST_CHECKED ? 1 : 0;
    const int savePcx = IsDlgButtonChecked(panel, IDC_SAVE_PCX) == BST_CHECKED ? 1 : 0;
    char text[kTextBufferSize];
    GetDlgItemTextA(panel, IDC_SCALE, text, sizeof text);
    const float scale = ParseScaleText(text);
    BOOL translated = FALSE;
    const uint32_t firstFrame = GetDlgItemInt(panel, IDC_FIRST_FRAME, &translated, FALSE);
    if (g_panel.endFrame < g_panel.startFrame) {
        MessageBoxA(utility.panelWindow, "Last frame must be greater than first frame", "Input error", MB_OK);
        return FALSE;
    }
    // An import may have shortened the list under the chosen frames; exporting
    // them would name frames the list no longer has.
    if (g_panel.startFrame < 0 || g_panel.endFrame >= utility.frameCount) {
        MessageBoxA(utility.panelWindow,
                    "Start or end frame lies beyond the frame list.\nPress Start and End again.", "Input error",
                    MB_OK);
        return FALSE;
    }
    char skinName[kTextBufferSize];
    GetDlgItemTextA(panel, IDC_SKIN_NAME, skinName, sizeof skinName);
    utility.RunExport(skinName, saveBmp, savePcx, firstFrame, g_panel.startFrame, g_panel.endFrame, scale);
    return TRUE;
}

void Paint(HWND panel) {
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(panel, &ps);
    HDC memory = CreateCompatibleDC(dc);
    HGDIOBJ previous = SelectObject(memory, g_panel.panelBitmap);
    BitBlt(dc, 0, 0, PANEL_BITMAP_WIDTH, PANEL_BITMAP_HEIGHT, memory, 0, 0, SRCCOPY);
    SelectObject(memory, previous);
    DeleteDC(memory);
    EndPaint(panel, &ps);
}

bool IsDecimalDigit(char c) { return c >= '0' && c <= '9'; }

}  // namespace

ExportPanelState& TheExportPanelState() { return g_panel; }

float ParseScaleText(const char* text) {
    const char* p = text;
    while (std::isspace(static_cast<unsigned char>(*p))) ++p;
    const char* start = p;
    if (*p == '+' || *p == '-') ++p;
    const char* digits = p;
    while (IsDecimalDigit(*p)) ++p;
    bool any = p > digits;
    if (*p == '.') {
        ++p;
        const char* fraction = p;
        while (IsDecimalDigit(*p)) ++p;
        any = any || p > fraction;
    }
    if (!any) return 0.0f;
    if (*p == 'e' || *p == 'E') {
        const char* e = p + 1;
        if (*e == '+' || *e == '-') ++e;
        if (IsDecimalDigit(*e)) {
            while (IsDecimalDigit(*e)) ++e;
            p = e;
        }
    }
    // Read with a dot for the decimal point whatever the host process's locale.
    if (*start == '+') ++start;
    double value = 0.0;
    if (std::from_chars(start, p, value).ec != std::errc()) return 0.0f;
    // A value no float can hold is as unreadable as no number at all.
    if (!(value >= -FLT_MAX && value <= FLT_MAX)) return 0.0f;
    return static_cast<float>(value);
}

void QuakeExportUtility::BeginEditParams(Interface* ip, IUtil* iu) {
    utilPanel = iu;
    hostInterface = ip;
    panelWindow = ip->AddRollupPage(ModuleInstance(), MAKEINTRESOURCE(IDD_PANEL), ExportPanelProc,
                                    kLibDescription, 0, 0, kRollupCategory);
    SetDlgItemTextA(panelWindow, IDC_SCALE, "1");
    SetDlgItemTextA(panelWindow, IDC_SKIN_NAME, "tris");
}

void QuakeExportUtility::EndEditParams(Interface* ip, IUtil*) {
    utilPanel = nullptr;
    hostInterface = nullptr;
    ip->DeleteRollupPage(panelWindow);
    panelWindow = nullptr;
}

INT_PTR CALLBACK ExportPanelProc(HWND panel, UINT message, WPARAM wParam, LPARAM lParam) {
    QuakeExportUtility& utility = TheQuakeExportUtility();
    switch (message) {
        case WM_INITDIALOG:
            g_panel.panelBitmap = LoadBitmapA(ModuleInstance(), MAKEINTRESOURCE(IDB_PANEL));
            g_panel.startFrame = 0;
            g_panel.endFrame = utility.frameCount - 1;
            SetDlgItemInt(panel, IDC_FIRST_FRAME, 0, FALSE);
            FillFrameList(panel, utility);
            return TRUE;
        case WM_DESTROY:
            DeleteObject(g_panel.panelBitmap);
            g_panel.panelBitmap = nullptr;
            return TRUE;
        case WM_PAINT:
            Paint(panel);
            return TRUE;
        case WM_LBUTTONDOWN:
        case WM_LBUTTONUP:
        case WM_MOUSEMOVE:
            if (utility.hostInterface) utility.hostInterface->RollupMouseMessage(panel, message, wParam, lParam);
            return TRUE;
        case WM_COMMAND:
            switch (LOWORD(wParam)) {
                case IDC_IMPORT_FRAMES:
                    ImportFrameList(panel, utility);
                    return TRUE;
                case IDC_SAVE_MD2:
                    return SaveModelPressed(panel, utility);
                case IDC_START:
                    TakeSelectedFrame(panel, IDC_START_NAME, &g_panel.startFrame);
                    return TRUE;
                case IDC_END:
                    TakeSelectedFrame(panel, IDC_END_NAME, &g_panel.endFrame);
                    return TRUE;
                case IDC_ABOUT:
                    DialogBoxParamA(ModuleInstance(), MAKEINTRESOURCE(IDD_ABOUT), nullptr, AboutBoxProc, 0);
                    return TRUE;
                case IDC_SCALE:
                case IDC_SKIN_NAME:
                    // Typing into these must not trigger the host's keyboard shortcuts.
                    if (HIWORD(wParam) == EN_SETFOCUS) DisableAccelerators();
                    if (HIWORD(wParam) == EN_KILLFOCUS) EnableAccelerators();
                    return TRUE;
                default:
                    return TRUE;
            }
        default:
            return FALSE;
    }
}

INT_PTR CALLBACK AboutBoxProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
    switch (message) {
        case WM_INITDIALOG:
        case WM_DESTROY:
            return TRUE;
        case WM_PAINT: {
            PAINTSTRUCT ps;
            BeginPaint(dialog, &ps);
            EndPaint(dialog, &ps);
            return TRUE;
        }
        case WM_COMMAND:
            // Only "OK" closes the box (Enter presses it); Escape and the close box do not.
            if (LOWORD(wParam) == IDOK) {
                EndDialog(dialog, 0);
                return TRUE;
            }
            return FALSE;
        default:
            return FALSE;
    }
}
