// A minimal plug-in module for the loader's tests. Like the plug-in, it builds
// a static object when loaded, keeps its instance handle in the entry point and
// initialises the controls once. Built three ways: complete,
// TEST_MODULE_WITHOUT_CLASS_DESC (lacks an export) and TEST_MODULE_REFUSES
// (its entry point refuses the process attach).
#include <cstring>
#include <string>

#include "platform/host_sdk.h"

#define MODULE_EXPORT extern "C" __attribute__((visibility("default")))

namespace {

// Events before the test hands over its log wait here.
char g_early[256];
std::string* g_log = nullptr;

void Event(const char* text) {
    if (g_log != nullptr) {
        *g_log += text;
    } else if (std::strlen(g_early) + std::strlen(text) < sizeof g_early) {
        std::strcat(g_early, text);
    }
}

struct ModuleObject {
    ModuleObject() { Event("construct;"); }
    ~ModuleObject() { Event("destroy;"); }
} g_object;

class TestClassDesc : public ClassDesc {
public:
    int IsPublic() override { return 1; }
    void* Create(int) override { return &g_object; }
    const char* ClassName() override { return "Loader test"; }
    SClass_ID SuperClassID() override { return UTILITY_CLASS_ID; }
    Class_ID ClassID() override { return Class_ID(0x1234, 0x5678); }
    const char* Category() override { return "Tests"; }
} g_classDesc;

HINSTANCE g_instance = nullptr;
int g_controlsInitialised = 0;

}  // namespace

MODULE_EXPORT BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
    static const char* const kReasons[] = {"process-detach;", "process-attach;", "thread-attach;", "thread-detach;"};
    Event(reason < 4 ? kReasons[reason] : "unknown;");
    g_instance = instance;
    if (!g_controlsInitialised) {
        g_controlsInitialised = 1;
        InitCustomControls(instance);
        InitCommonControls();
    }
#if defined(TEST_MODULE_REFUSES)
    return FALSE;
#else
    return TRUE;
#endif
}

MODULE_EXPORT const char* LibDescription() { return "Vorn loader test module"; }

MODULE_EXPORT int LibNumberClasses() { return 1; }

#if !defined(TEST_MODULE_WITHOUT_CLASS_DESC)
MODULE_EXPORT ClassDesc* LibClassDesc(int i) { return i == 0 ? &g_classDesc : nullptr; }
#endif

MODULE_EXPORT ULONG LibVersion() { return VERSION_3DSMAX; }

// For the tests: where the module's events go from now on, and its instance.
MODULE_EXPORT void TestModuleSetLog(std::string* log) {
    g_log = log;
    if (g_log != nullptr) *g_log += g_early;
}

MODULE_EXPORT HINSTANCE TestModuleInstance() { return g_instance; }
