// The window-system surface the plug-in is written against: the Win32 calls,
// types, messages and structures that its panel, About box, message boxes and
// Save As dialog use.
//
// On Windows this is <windows.h> itself. Elsewhere the same names are declared
// here and defined by the in-process stand-in under standin/windows.
#pragma once

#if defined(_WIN32)

#include <windows.h>
#include <commctrl.h>
#include <commdlg.h>

#else

#include <cstddef>
#include <cstdint>

using BOOL = int;
using BYTE = uint8_t;
using WORD = uint16_t;
using DWORD = uint32_t;
using UINT = unsigned int;
using LONG = int32_t;
using ULONG = uint32_t;
using INT_PTR = intptr_t;
using UINT_PTR = uintptr_t;
using LONG_PTR = intptr_t;
using WPARAM = UINT_PTR;
using LPARAM = LONG_PTR;
using LRESULT = LONG_PTR;
using LPSTR = char*;
using LPCSTR = const char*;
using LPVOID = void*;
using COLORREF = DWORD;

struct HWND__;
struct HINSTANCE__;
struct HDC__;
struct HGDIOBJ__;
using HWND = HWND__*;
using HINSTANCE = HINSTANCE__*;
using HMODULE = HINSTANCE;
using HDC = HDC__*;
using HGDIOBJ = HGDIOBJ__*;
using HBITMAP = HGDIOBJ;

#define CALLBACK
#define WINAPI

constexpr BOOL TRUE = 1;
constexpr BOOL FALSE = 0;

using DLGPROC = INT_PTR (*)(HWND, UINT, WPARAM, LPARAM);

inline WORD LOWORD(uintptr_t v) { return static_cast<WORD>(v & 0xFFFF); }
inline WORD HIWORD(uintptr_t v) { return static_cast<WORD>((v >> 16) & 0xFFFF); }
inline uintptr_t MAKEWPARAM(WORD lo, WORD hi) { return static_cast<uintptr_t>(lo) | (static_cast<uintptr_t>(hi) << 16); }
// A resource named by its number.
inline LPCSTR MAKEINTRESOURCEA(WORD id) { return reinterpret_cast<LPCSTR>(static_cast<uintptr_t>(id)); }
#define MAKEINTRESOURCE MAKEINTRESOURCEA
inline bool IS_INTRESOURCE(LPCSTR r) { return (reinterpret_cast<uintptr_t>(r) >> 16) == 0; }

// Messages
constexpr UINT WM_DESTROY = 0x0002;
constexpr UINT WM_SETFOCUS = 0x0007;
constexpr UINT WM_KILLFOCUS = 0x0008;
constexpr UINT WM_PAINT = 0x000F;
constexpr UINT WM_CLOSE = 0x0010;
constexpr UINT WM_KEYDOWN = 0x0100;
constexpr UINT WM_INITDIALOG = 0x0110;
constexpr UINT WM_COMMAND = 0x0111;
constexpr UINT WM_SYSCOMMAND = 0x0112;
constexpr UINT WM_MOUSEMOVE = 0x0200;
constexpr UINT WM_LBUTTONDOWN = 0x0201;
constexpr UINT WM_LBUTTONUP = 0x0202;

// Notification codes carried in the high word of a command's wParam
constexpr WORD BN_CLICKED = 0;
constexpr WORD EN_SETFOCUS = 0x0100;
constexpr WORD EN_KILLFOCUS = 0x0200;
constexpr WORD EN_CHANGE = 0x0300;
constexpr WORD LBN_SELCHANGE = 1;

// Dialog and control ids
constexpr int IDOK = 1;
constexpr int IDCANCEL = 2;
constexpr int IDC_STATIC = -1;

// Keys
constexpr WPARAM VK_RETURN = 0x0D;
constexpr WPARAM VK_ESCAPE = 0x1B;
constexpr WPARAM SC_CLOSE = 0xF060;

// List box messages and answers
constexpr UINT LB_ADDSTRING = 0x0180;
constexpr UINT LB_RESETCONTENT = 0x0184;
constexpr UINT LB_SETCURSEL = 0x0186;
constexpr UINT LB_GETCURSEL = 0x0188;
constexpr UINT LB_GETTEXT = 0x0189;
constexpr UINT LB_GETTEXTLEN = 0x018A;
constexpr UINT LB_GETCOUNT = 0x018B;
constexpr LRESULT LB_ERR = -1;

// Button messages and states
constexpr UINT BM_GETCHECK = 0x00F0;
constexpr UINT BM_SETCHECK = 0x00F1;
constexpr UINT BST_UNCHECKED = 0;
constexpr UINT BST_CHECKED = 1;

// Window and control styles used by the templates
constexpr DWORD WS_CHILD = 0x40000000;
constexpr DWORD WS_VISIBLE = 0x10000000;
constexpr DWORD WS_POPUP = 0x80000000;
constexpr DWORD WS_CAPTION = 0x00C00000;
constexpr DWORD WS_SYSMENU = 0x00080000;
constexpr DWORD WS_BORDER = 0x00800000;
constexpr DWORD WS_VSCROLL = 0x00200000;
constexpr DWORD WS_TABSTOP = 0x00010000;
constexpr DWORD WS_GROUP = 0x00020000;
constexpr DWORD DS_MODALFRAME = 0x80;
constexpr DWORD DS_SETFONT = 0x40;
constexpr DWORD BS_PUSHBUTTON = 0x0;
constexpr DWORD BS_DEFPUSHBUTTON = 0x1;
constexpr DWORD BS_AUTOCHECKBOX = 0x3;
constexpr DWORD BS_GROUPBOX = 0x7;
constexpr DWORD ES_LEFT = 0x0;
constexpr DWORD ES_AUTOHSCROLL = 0x80;
constexpr DWORD LBS_NOTIFY = 0x1;
constexpr DWORD LBS_SORT = 0x2;
constexpr DWORD LBS_NOINTEGRALHEIGHT = 0x100;
constexpr DWORD LBS_DISABLENOSCROLL = 0x1000;
constexpr DWORD SS_LEFT = 0x0;
constexpr DWORD SS_SUNKEN = 0x1000;

// Message boxes
constexpr UINT MB_OK = 0x0;
constexpr UINT MB_OKCANCEL = 0x1;
constexpr UINT MB_ICONERROR = 0x10;

// Raster operation of a plain copy
constexpr DWORD SRCCOPY = 0x00CC0020;

struct RECT {
    LONG left = 0, top = 0, right = 0, bottom = 0;
};

struct PAINTSTRUCT {
    HDC hdc = nullptr;
    BOOL fErase = 0;
    RECT rcPaint;
    BOOL fRestore = 0;
    BOOL fIncUpdate = 0;
    BYTE rgbReserved[32] = {};
};

using LPOFNHOOKPROC = UINT_PTR (*)(HWND, UINT, WPARAM, LPARAM);

// The Save As dialog's structure, members in the Windows order.
struct OPENFILENAMEA {
    DWORD lStructSize;
    HWND hwndOwner;
    HINSTANCE hInstance;
    LPCSTR lpstrFilter;
    LPSTR lpstrCustomFilter;
    DWORD nMaxCustFilter;
    DWORD nFilterIndex;
    LPSTR lpstrFile;
    DWORD nMaxFile;
    LPSTR lpstrFileTitle;
    DWORD nMaxFileTitle;
    LPCSTR lpstrInitialDir;
    LPCSTR lpstrTitle;
    DWORD Flags;
    WORD nFileOffset;
    WORD nFileExtension;
    LPCSTR lpstrDefExt;
    LPARAM lCustData;
    LPOFNHOOKPROC lpfnHook;
    LPCSTR lpTemplateName;
    // Members later Windows versions added; the version-400 size leaves them out.
    void* pvReserved;
    DWORD dwReserved;
    DWORD FlagsEx;
};

// The size of the structure as the host's era knew it (32-bit Windows).
constexpr DWORD OPENFILENAME_SIZE_VERSION_400A = 76;

constexpr int MAX_PATH = 260;

// Windows and dialogs
HWND GetDlgItem(HWND dialog, int id);
BOOL SetDlgItemTextA(HWND dialog, int id, LPCSTR text);
UINT GetDlgItemTextA(HWND dialog, int id, LPSTR text, int maxCount);
BOOL SetDlgItemInt(HWND dialog, int id, UINT value, BOOL isSigned);
UINT GetDlgItemInt(HWND dialog, int id, BOOL* translated, BOOL isSigned);
UINT IsDlgButtonChecked(HWND dialog, int id);
BOOL CheckDlgButton(HWND dialog, int id, UINT check);
LRESULT SendMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT SendDlgItemMessageA(HWND dialog, int id, UINT message, WPARAM wParam, LPARAM lParam);
HWND CreateDialogParamA(HINSTANCE module, LPCSTR dialogTemplate, HWND parent, DLGPROC proc, LPARAM param);
INT_PTR DialogBoxParamA(HINSTANCE module, LPCSTR dialogTemplate, HWND parent, DLGPROC proc, LPARAM param);
BOOL EndDialog(HWND dialog, INT_PTR result);
BOOL DestroyWindow(HWND window);
int MessageBoxA(HWND owner, LPCSTR text, LPCSTR caption, UINT type);

// Painting
HBITMAP LoadBitmapA(HINSTANCE module, LPCSTR name);
BOOL DeleteObject(HGDIOBJ object);
HDC BeginPaint(HWND window, PAINTSTRUCT* paint);
BOOL EndPaint(HWND window, const PAINTSTRUCT* paint);
HDC CreateCompatibleDC(HDC dc);
BOOL DeleteDC(HDC dc);
HGDIOBJ SelectObject(HDC dc, HGDIOBJ object);
BOOL BitBlt(HDC dst, int x, int y, int width, int height, HDC src, int srcX, int srcY, DWORD rop);

// Common dialogs and controls
BOOL GetSaveFileNameA(OPENFILENAMEA* ofn);
void InitCommonControls();

// Reasons a module's entry point is called for
constexpr DWORD DLL_PROCESS_DETACH = 0;
constexpr DWORD DLL_PROCESS_ATTACH = 1;
constexpr DWORD DLL_THREAD_ATTACH = 2;
constexpr DWORD DLL_THREAD_DETACH = 3;

// A module's resources. Windows finds them inside the DLL by its instance
// handle; here the module hands its table to the window system instead, and
// the loaders (CreateDialogParamA, DialogBoxParamA, LoadBitmapA) look it up by
// the same handle.

// One control of a dialog template; position and size in dialog units.
struct DialogItemTemplate {
    const char* className;  // "Button", "Edit", "ListBox", "Static"
    const char* text;
    DWORD style;
    int id;
    short x, y, cx, cy;
};

struct DialogTemplate {
    WORD id;
    DWORD style;
    short x, y, cx, cy;
    const char* caption;  // "" for none
    WORD pointSize;
    const char* faceName;
    const DialogItemTemplate* items;
    size_t itemCount;
};

// A bitmap resource: the bytes of a whole .bmp file.
struct BitmapResource {
    WORD id;
    const BYTE* bytes;
    size_t size;
};

struct ModuleResources {
    const DialogTemplate* dialogs;
    size_t dialogCount;
    const BitmapResource* bitmaps;
    size_t bitmapCount;
};

// Binds a module's resource table (which must outlive the binding) to its
// instance handle; null unbinds.
void RegisterModuleResources(HINSTANCE module, const ModuleResources* resources);

#define SetDlgItemText SetDlgItemTextA
#define GetDlgItemText GetDlgItemTextA
#define SendMessage SendMessageA
#define SendDlgItemMessage SendDlgItemMessageA
#define DialogBoxParam DialogBoxParamA
#define CreateDialogParam CreateDialogParamA
#define MessageBox MessageBoxA
#define LoadBitmap LoadBitmapA
#define GetSaveFileName GetSaveFileNameA
#define OPENFILENAME OPENFILENAMEA

#endif
