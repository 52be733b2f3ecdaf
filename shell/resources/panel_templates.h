/* The panel and About box templates, written once as rows that both the
   resource script (vorn.rc) and the stand-in's resource table
   (plugin_resources.cpp) expand. Resource compilers join no adjacent
   strings, so every text is one literal. Include resource_ids.h and the window
   system's style names first.

   Positions and sizes are in dialog units. A control row is
   ROW(id, class, text, style, x, y, width, height); its window is a visible
   child as well, as for the resource compiler's CONTROL statement. */
#ifndef VORN_PANEL_TEMPLATES_H
#define VORN_PANEL_TEMPLATES_H

#define VORN_DIALOG_POINT_SIZE 8
#define VORN_DIALOG_FACE_NAME "MS Sans Serif"

/* Panel, template 101: a rollup page, so a child without a caption. */
#define VORN_PANEL_STYLE (DS_SETFONT | WS_CHILD | WS_VISIBLE)
#define VORN_PANEL_X 0
#define VORN_PANEL_Y 0
#define VORN_PANEL_WIDTH 108
#define VORN_PANEL_HEIGHT 448

#define VORN_PANEL_EDIT_STYLE (ES_LEFT | ES_AUTOHSCROLL | WS_BORDER | WS_TABSTOP)

#define VORN_PANEL_CONTROLS(ROW) \
    ROW(IDC_ABOUT, "Button", "About", BS_PUSHBUTTON | WS_TABSTOP, 13, 148, 73, 14) \
    ROW(IDC_LABEL, "Button", "Frame List", BS_GROUPBOX, 0, 167, 108, 117) \
    ROW(IDC_FRAME_LIST, "ListBox", "", \
        LBS_NOTIFY | LBS_DISABLENOSCROLL | WS_VSCROLL | WS_BORDER | WS_TABSTOP, 16, 191, 75, 54) \
    ROW(IDC_IMPORT_FRAMES, "Button", "Import new frame list", BS_PUSHBUTTON | WS_TABSTOP, 16, 252, 75, 14) \
    ROW(IDC_START, "Button", "Start", BS_PUSHBUTTON | WS_TABSTOP, 16, 268, 30, 14) \
    ROW(IDC_END, "Button", "End", BS_PUSHBUTTON | WS_TABSTOP, 61, 268, 30, 14) \
    ROW(IDC_LABEL, "Static", "First Frame:", SS_LEFT | WS_GROUP, 12, 299, 37, 8) \
    ROW(IDC_FIRST_FRAME, "Edit", "", VORN_PANEL_EDIT_STYLE, 57, 297, 26, 14) \
    ROW(IDC_LABEL, "Static", "Start Frame:", SS_LEFT | WS_GROUP, 11, 318, 39, 8) \
    ROW(IDC_START_NAME, "Static", "", SS_LEFT | SS_SUNKEN | WS_GROUP, 51, 316, 43, 13) \
    ROW(IDC_LABEL, "Static", "End Frame:", SS_LEFT | WS_GROUP, 12, 335, 37, 8) \
    ROW(IDC_END_NAME, "Static", "", SS_LEFT | SS_SUNKEN | WS_GROUP, 51, 333, 43, 13) \
    ROW(IDC_SAVE_BMP, "Button", "Save BMP texture", BS_AUTOCHECKBOX | WS_TABSTOP, 10, 360, 73, 10) \
    ROW(IDC_SAVE_PCX, "Button", "Save PCX texture", BS_AUTOCHECKBOX | WS_TABSTOP, 10, 371, 72, 10) \
    ROW(IDC_LABEL, "Static", "Scale:", SS_LEFT | WS_GROUP, 19, 386, 21, 8) \
    ROW(IDC_SCALE, "Edit", "", VORN_PANEL_EDIT_STYLE, 44, 384, 33, 14) \
    ROW(IDC_LABEL, "Static", "Skin Name:", SS_LEFT | WS_GROUP, 3, 403, 38, 8) \
    ROW(IDC_SKIN_NAME, "Edit", "", VORN_PANEL_EDIT_STYLE, 44, 401, 59, 14) \
    ROW(IDC_SAVE_MD2, "Button", "Save md2", BS_PUSHBUTTON | WS_TABSTOP, 15, 429, 74, 14)

/* About box, template 108: a modal pop-up with a caption and a system menu. */
#define VORN_ABOUT_STYLE (DS_MODALFRAME | DS_SETFONT | WS_POPUP | WS_CAPTION | WS_SYSMENU)
#define VORN_ABOUT_X 0
#define VORN_ABOUT_Y 0
#define VORN_ABOUT_WIDTH 238
#define VORN_ABOUT_HEIGHT 119
#define VORN_ABOUT_CAPTION "Quake2 Model Output Plugin"

#define VORN_ABOUT_CONTROLS(ROW) \
    ROW(IDOK, "Button", "OK", BS_DEFPUSHBUTTON | WS_TABSTOP, 7, 98, 224, 14) \
    ROW(IDC_LABEL, "Static", \
        "Programmed and designed by the Vorn team. Please send comments and bug reports to vorn-team@example.org.", \
        SS_LEFT | WS_GROUP, 15, 17, 203, 39) \
    ROW(IDC_LABEL, "Static", "Vorn 0.1 - animated MD2 models with BMP and PCX skins", \
        SS_LEFT | WS_GROUP, 13, 68, 209, 18)

#endif
