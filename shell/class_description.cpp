// The two static objects, in the order they must be built: the utility object
// first, then the class description; they are destroyed the other way round.

#include "shell/plugin_module.h"
#include "shell/resources/plugin_resources.h"

const char kLibDescription[] = "Vorn: Quake II model (.md2) export utility";

namespace {

HINSTANCE g_moduleInstance = nullptr;
int g_controlsInitialised = 0;

// Our own class id; no other plug-in uses it.
constexpr Class_ID kQuakeExportClassId(0x5A3C61E2, 0x1D9B4F07);

QuakeExportUtility g_utility;
QuakeExportClassDesc g_classDesc;

}  // namespace

int QuakeExportClassDesc::IsPublic() { return 1; }

// Always the one static object; the loading flag does not matter.
void* QuakeExportClassDesc::Create(int) { return &g_utility; }

int QuakeExportClassDesc::BeginCreate(Interface*) { return 0; }
int QuakeExportClassDesc::EndCreate(Interface*) { return 0; }
const char* QuakeExportClassDesc::ClassName() { return "Vorn"; }
SClass_ID QuakeExportClassDesc::SuperClassID() { return UTILITY_CLASS_ID; }
Class_ID QuakeExportClassDesc::ClassID() { return kQuakeExportClassId; }
const char* QuakeExportClassDesc::Category() { return "Quake Export"; }

HINSTANCE ModuleInstance() { return g_moduleInstance; }
int ControlsInitialised() { return g_controlsInitialised; }
QuakeExportUtility& TheQuakeExportUtility() { return g_utility; }
QuakeExportClassDesc& TheQuakeExportClassDesc() { return g_classDesc; }

BOOL PluginEntryPoint(HINSTANCE instance, DWORD reason, LPVOID) {
    g_moduleInstance = instance;
#if !defined(_WIN32)
    // Windows finds a DLL's resources by its handle; the stand-in is told.
    if (reason == DLL_PROCESS_ATTACH) RegisterModuleResources(instance, PluginResources());
    if (reason == DLL_PROCESS_DETACH) RegisterModuleResources(instance, nullptr);
#else
    (void)reason;
#endif
    if (!g_controlsInitialised) {
        g_controlsInitialised = 1;
        InitCustomControls(instance);
        InitCommonControls();
    }
    return TRUE;
}
