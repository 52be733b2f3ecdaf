// The rollup panel and the About box: their dialog procedures and the panel's
// state beside the utility object.
#pragma once

#include <cstdint>

#include "platform/window_system.h"

struct ExportPanelState {
    HBITMAP panelBitmap = nullptr;
    int32_t startFrame = 0;  // list index of the first frame to export
    int32_t endFrame = 0;    // list index of the last
};

ExportPanelState& TheExportPanelState();

INT_PTR CALLBACK ExportPanelProc(HWND panel, UINT message, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK AboutBoxProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

// "Scale:" as typed: leading white space, then the longest leading decimal
// number (sign, digits, fraction, exponent); anything after it is ignored, and
// text without one gives 0.
float ParseScaleText(const char* text);
