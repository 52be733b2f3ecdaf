#include "shell/resources/plugin_resources.h"

#if !defined(_WIN32)

#include <iterator>

#include "shell/resources/panel_templates.h"
#include "shell/resources/resource_ids.h"

namespace {

// The resource compiler's CONTROL statement makes every control a visible child.
#define VORN_TEMPLATE_ITEM(id, cls, text, style, x, y, w, h) \
    {cls, text, static_cast<DWORD>((style) | WS_CHILD | WS_VISIBLE), id, x, y, w, h},

const DialogItemTemplate kPanelItems[] = {VORN_PANEL_CONTROLS(VORN_TEMPLATE_ITEM)};
const DialogItemTemplate kAboutItems[] = {VORN_ABOUT_CONTROLS(VORN_TEMPLATE_ITEM)};

#undef VORN_TEMPLATE_ITEM

const DialogTemplate kDialogs[] = {
    {IDD_PANEL, VORN_PANEL_STYLE, VORN_PANEL_X, VORN_PANEL_Y, VORN_PANEL_WIDTH, VORN_PANEL_HEIGHT, "",
     VORN_DIALOG_POINT_SIZE, VORN_DIALOG_FACE_NAME, kPanelItems, std::size(kPanelItems)},
    {IDD_ABOUT, VORN_ABOUT_STYLE, VORN_ABOUT_X, VORN_ABOUT_Y, VORN_ABOUT_WIDTH, VORN_ABOUT_HEIGHT,
     VORN_ABOUT_CAPTION, VORN_DIALOG_POINT_SIZE, VORN_DIALOG_FACE_NAME, kAboutItems, std::size(kAboutItems)},
};

// shell/resources/panel.bmp, turned into bytes by the build.
const BYTE kPanelBitmap[] = {
#include "shell/resources/panel_bmp.inc"
};

const BitmapResource kBitmaps[] = {{IDB_PANEL, kPanelBitmap, sizeof kPanelBitmap}};

const ModuleResources kResources = {kDialogs, std::size(kDialogs), kBitmaps, std::size(kBitmaps)};

}  // namespace

const ModuleResources* PluginResources() { return &kResources; }

#endif
