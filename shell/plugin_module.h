// The module's state and its two static objects: the one utility object and
// the class description that hands it to the host.
#pragma once

#include <cstdint>

#include "core/quake_export_utility.h"
#include "platform/host_sdk.h"

// The plug-in's description; also the title of its rollup page.
extern const char kLibDescription[];

class QuakeExportClassDesc : public ClassDesc {
public:
    int IsPublic() override;
    void* Create(int loading = 0) override;
    int BeginCreate(Interface* ip) override;
    int EndCreate(Interface* ip) override;
    const char* ClassName() override;
    SClass_ID SuperClassID() override;
    Class_ID ClassID() override;
    const char* Category() override;
};

// The module's instance handle, stored by the entry point at every call.
HINSTANCE ModuleInstance();
// 1 once the entry point has initialised the control libraries.
int ControlsInitialised();

QuakeExportUtility& TheQuakeExportUtility();
QuakeExportClassDesc& TheQuakeExportClassDesc();

// The entry point's work, for every reason it is called with.
BOOL PluginEntryPoint(HINSTANCE instance, DWORD reason, LPVOID reserved);
