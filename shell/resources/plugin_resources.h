// The plug-in module's resources as the stand-in window system reads them.
// On Windows the resource compiler links vorn.rc into the DLL instead.
#pragma once

#include "platform/window_system.h"

#if !defined(_WIN32)

// The panel (101) and About (108) templates and the panel bitmap (107), from
// the same rows as vorn.rc. The module's entry point binds them to its
// instance handle with RegisterModuleResources.
const ModuleResources* PluginResources();

#endif
