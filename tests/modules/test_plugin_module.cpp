// A minimal plug-in module for the loader's refusals. Built two ways:
// TEST_MODULE_WITHOUT_CLASS_DESC (lacks an export) and TEST_MODULE_REFUSES
// (its entry point refuses the process attach).
#include "platform/host_sdk.h"

#define MODULE_EXPORT extern "C" __attribute__((visibility("default")))

namespace {

class TestClassDesc : public ClassDesc {
public:
    int IsPublic() override { return 1; }
    void* Create(int) override { return nullptr; }
    const char* ClassName() override { return "Loader test"; }
    SClass_ID SuperClassID() override { return UTILITY_CLASS_ID; }
    Class_ID ClassID() override { return Class_ID(0x1234, 0x5678); }
    const char* Category() override { return "Tests"; }
} g_classDesc;

}  // namespace

MODULE_EXPORT BOOL WINAPI DllMain(HINSTANCE, DWORD, LPVOID) {
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
