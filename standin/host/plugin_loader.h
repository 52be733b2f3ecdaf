// Loads a plug-in module (.dlu) the way the host does: open the library, run
// its entry point for the process attach, and find its four exports. The
// module is a shared object here; its entry point is an exported
// DllMain(HINSTANCE, DWORD reason, LPVOID), the stand-in for the PE entry
// point, and its instance handle is the library handle.
#pragma once

#include <string>

#include "platform/host_sdk.h"

namespace standin {

class PluginModule {
public:
    PluginModule() = default;
    // Loads the module; on failure it is left unloaded and error() says why.
    explicit PluginModule(const std::string& path);
    // Unloads a loaded module.
    ~PluginModule();
    PluginModule(PluginModule&& other) noexcept;
    PluginModule& operator=(PluginModule&& other) noexcept;
    PluginModule(const PluginModule&) = delete;
    PluginModule& operator=(const PluginModule&) = delete;

    bool loaded() const { return library_ != nullptr; }
    // Why the last load or unload failed; empty when it did not.
    const std::string& error() const { return error_; }
    const std::string& path() const { return path_; }
    HINSTANCE instance() const { return static_cast<HINSTANCE>(library_); }

    // The exports; an unloaded module answers null / 0.
    const char* LibDescription() const;
    int LibNumberClasses() const;
    ClassDesc* LibClassDesc(int i) const;
    ULONG LibVersion() const;

    // Any other export of the module, or null.
    void* Symbol(const char* name) const;

    // Runs the entry point as the system does when a thread of the process
    // starts or ends; the caller's thread stands for it. False when unloaded
    // or when the module has no entry point.
    bool ThreadAttach();
    bool ThreadDetach();

    // Runs the entry point for the process detach and closes the library,
    // which destroys the module's static objects. False (with error()) when
    // the library cannot be closed; it counts as unloaded either way.
    bool Unload();

private:
    using EntryPoint = BOOL (*)(HINSTANCE, DWORD, LPVOID);

    bool CallEntry(DWORD reason);

    std::string path_;
    std::string error_;
    HINSTANCE__* library_ = nullptr;
    EntryPoint entry_ = nullptr;
    const char* (*description_)() = nullptr;
    int (*numberClasses_)() = nullptr;
    ClassDesc* (*classDesc_)(int) = nullptr;
    ULONG (*version_)() = nullptr;
};

}  // namespace standin
