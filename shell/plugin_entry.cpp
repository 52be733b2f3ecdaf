// The module's exported functions, under plain names, and its entry point.

#include "shell/plugin_module.h"

#if defined(_WIN32)
#define PLUGIN_EXPORT extern "C" __declspec(dllexport)
#else
#define PLUGIN_EXPORT extern "C" __attribute__((visibility("default")))
#endif

PLUGIN_EXPORT const char* LibDescription() { return kLibDescription; }

PLUGIN_EXPORT int LibNumberClasses() { return 1; }

PLUGIN_EXPORT ClassDesc* LibClassDesc(int i) { return i == 0 ? &TheQuakeExportClassDesc() : nullptr; }

PLUGIN_EXPORT ULONG LibVersion() { return VERSION_3DSMAX; }

PLUGIN_EXPORT BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) {
    return PluginEntryPoint(instance, reason, reserved);
}
