#include "standin/host/plugin_loader.h"

#include <dlfcn.h>

#include <cstring>

#include <utility>

namespace standin {

namespace {

std::string LastDlError(const char* fallback) {
    const char* e = dlerror();
    return e ? e : fallback;
}

// A pointer to function from a symbol address, as dlsym's contract allows.
template <typename F>
F FunctionAt(void* symbol) {
    F f;
    static_assert(sizeof f == sizeof symbol, "function and data pointers differ in size");
    std::memcpy(&f, &symbol, sizeof f);
    return f;
}

}  // namespace

PluginModule::PluginModule(const std::string& path) : path_(path) {
    dlerror();
    // Each module keeps its own symbols, as a DLL does.
    void* library = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (library == nullptr) {
        error_ = "cannot load " + path + ": " + LastDlError("unknown error");
        return;
    }
    library_ = static_cast<HINSTANCE__*>(library);
    entry_ = FunctionAt<EntryPoint>(dlsym(library, "DllMain"));
    if (!CallEntry(DLL_PROCESS_ATTACH)) {
        error_ = path + ": its entry point refused the process attach";
        dlclose(library);
        library_ = nullptr;
        entry_ = nullptr;
        return;
    }

    const char* missing = nullptr;
    auto find = [&](const char* name) {
        void* symbol = dlsym(library, name);
        if (symbol == nullptr && missing == nullptr) missing = name;
        return symbol;
    };
    description_ = FunctionAt<const char* (*)()>(find("LibDescription"));
    numberClasses_ = FunctionAt<int (*)()>(find("LibNumberClasses"));
    classDesc_ = FunctionAt<ClassDesc* (*)(int)>(find("LibClassDesc"));
    version_ = FunctionAt<ULONG (*)()>(find("LibVersion"));
    if (missing != nullptr) {
        const std::string reason = path + ": not a plug-in module, it does not export " + missing;
        Unload();
        error_ = reason;
    }
}

PluginModule::~PluginModule() {
    if (loaded()) Unload();
}

PluginModule::PluginModule(PluginModule&& other) noexcept { *this = std::move(other); }

PluginModule& PluginModule::operator=(PluginModule&& other) noexcept {
    if (this != &other) {
        if (loaded()) Unload();
        path_ = std::move(other.path_);
        error_ = std::move(other.error_);
        library_ = std::exchange(other.library_, nullptr);
        entry_ = std::exchange(other.entry_, nullptr);
        description_ = std::exchange(other.description_, nullptr);
        numberClasses_ = std::exchange(other.numberClasses_, nullptr);
        classDesc_ = std::exchange(other.classDesc_, nullptr);
        version_ = std::exchange(other.version_, nullptr);
    }
    return *this;
}

const char* PluginModule::LibDescription() const { return description_ ? description_() : nullptr; }

int PluginModule::LibNumberClasses() const { return numberClasses_ ? numberClasses_() : 0; }

ClassDesc* PluginModule::LibClassDesc(int i) const { return classDesc_ ? classDesc_(i) : nullptr; }

ULONG PluginModule::LibVersion() const { return version_ ? version_() : 0; }

void* PluginModule::Symbol(const char* name) const { return library_ ? dlsym(library_, name) : nullptr; }

bool PluginModule::CallEntry(DWORD reason) {
    // A module without an entry point loads as a DLL without one does.
    if (entry_ == nullptr) return true;
    return entry_(instance(), reason, nullptr) != FALSE;
}

bool PluginModule::ThreadAttach() { return loaded() && entry_ != nullptr && CallEntry(DLL_THREAD_ATTACH); }

bool PluginModule::ThreadDetach() { return loaded() && entry_ != nullptr && CallEntry(DLL_THREAD_DETACH); }

bool PluginModule::Unload() {
    if (!loaded()) return true;
    CallEntry(DLL_PROCESS_DETACH);
    void* library = library_;
    library_ = nullptr;
    entry_ = nullptr;
    description_ = nullptr;
    numberClasses_ = nullptr;
    classDesc_ = nullptr;
    version_ = nullptr;
    error_.clear();
    dlerror();
    if (dlclose(library) != 0) {
        error_ = "cannot unload " + path_ + ": " + LastDlError("unknown error");
        return false;
    }
    return true;
}

}  // namespace standin
