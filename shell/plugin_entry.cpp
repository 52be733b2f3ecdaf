// The module's exported functions, under plain names, and its entry point.

#include "shell/plugin_module.h"

#if defined(_WIN32)
// vorn.def names the exports: dllexport would decorate them on 32-bit Windows
// and export the entry point too, which the system finds without it.
#define PLUGIN_EXPORT extern "C"
#define PLUGIN_ENTRY extern "C"
#else
#define PLUGIN_EXPORT extern "C" __attribute__((visibility("default")))
// The stand-in loader looks the entry point up like an export.
#define PLUGIN_ENTRY PLUGIN_EXPORT
#endif

PLUGIN_EXPORT const char* LibDescription() { return kLibDescription; }

PLUGIN_EXPORT int LibNumberClasses() { return 1; }

PLUGIN_EXPORT ClassDesc* LibClassDesc(int i) { return i == 0 ? &TheQuakeExportClassDesc() : nullptr; }

PLUGIN_EXPORT ULONG LibVersion() { return VERSION_3DSMAX; }

PLUGIN_ENTRY BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) {
    return PluginEntryPoint(instance, reason, reserved);
}
