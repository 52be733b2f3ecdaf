/* Resource and control ids of the panel and the About box. Read by the
   resource script as well as by C++, so plain preprocessor numbers. */
#ifndef VORN_RESOURCE_IDS_H
#define VORN_RESOURCE_IDS_H

/* Resources */
#define IDD_PANEL 101
#define IDB_PANEL 107
#define IDD_ABOUT 108

/* Panel controls */
#define IDC_FRAME_LIST 1003
#define IDC_IMPORT_FRAMES 1004
#define IDC_SAVE_BMP 1005
#define IDC_SAVE_PCX 1006
#define IDC_FIRST_FRAME 1008
#define IDC_SAVE_MD2 1009
#define IDC_START_NAME 1013
#define IDC_START 1014
#define IDC_END 1015
#define IDC_END_NAME 1016
#define IDC_ABOUT 1017
#define IDC_SCALE 1020
#define IDC_SKIN_NAME 1021

/* Labels and frames that no code addresses */
#define IDC_LABEL (-1)

/* Size of the panel picture in pixels */
#define PANEL_BITMAP_WIDTH 156
#define PANEL_BITMAP_HEIGHT 224

#endif
