// Loading plug-in modules as the host does, with small test modules.
#include <gtest/gtest.h>

#include <string>
#include <utility>

#include "standin/host/plugin_loader.h"
#include "standin/host/standin_scene.h"
#include "standin/windows/window_standin.h"

namespace {

using standin::PluginModule;

using SetLog = void (*)(std::string*);
using InstanceOf = HINSTANCE (*)();

// Hands the module the test's log, which receives what it logged so far.
void AttachLog(const PluginModule& module, std::string* log) {
    void* symbol = module.Symbol("TestModuleSetLog");
    ASSERT_NE(symbol, nullptr);
    reinterpret_cast<SetLog>(symbol)(log);
}

TEST(PluginLoader, LoadsAModuleAndFindsItsExports) {
    const int controlInits = standin::CommonControlInits();
    const int customInits = standin::StandinHost::customControlInits;
    PluginModule module(VORN_TEST_MODULE_COMPLETE);
    ASSERT_TRUE(module.loaded()) << module.error();
    EXPECT_EQ(module.error(), "");
    EXPECT_STREQ(module.LibDescription(), "Vorn loader test module");
    EXPECT_EQ(module.LibNumberClasses(), 1);
    ASSERT_NE(module.LibClassDesc(0), nullptr);
    EXPECT_STREQ(module.LibClassDesc(0)->ClassName(), "Loader test");
    EXPECT_EQ(module.LibClassDesc(1), nullptr);
    EXPECT_EQ(module.LibVersion(), VERSION_3DSMAX);

    // Statics first, then the entry point for the process, with the instance.
    std::string log;
    AttachLog(module, &log);
    EXPECT_EQ(log, "construct;process-attach;");
    ASSERT_NE(module.instance(), nullptr);
    EXPECT_EQ(reinterpret_cast<InstanceOf>(module.Symbol("TestModuleInstance"))(), module.instance());
    EXPECT_EQ(standin::CommonControlInits(), controlInits + 1);
    EXPECT_EQ(standin::StandinHost::customControlInits, customInits + 1);

    // Threads run the entry point again; the controls stay initialised once.
    EXPECT_TRUE(module.ThreadAttach());
    EXPECT_TRUE(module.ThreadDetach());
    EXPECT_EQ(log, "construct;process-attach;thread-attach;thread-detach;");
    EXPECT_EQ(standin::CommonControlInits(), controlInits + 1);

    // Unloading detaches the process, then the statics go.
    EXPECT_TRUE(module.Unload());
    EXPECT_EQ(log, "construct;process-attach;thread-attach;thread-detach;process-detach;destroy;");
    EXPECT_FALSE(module.loaded());
    EXPECT_EQ(module.LibDescription(), nullptr);
    EXPECT_EQ(module.LibClassDesc(0), nullptr);
    EXPECT_EQ(module.LibNumberClasses(), 0);
    EXPECT_FALSE(module.ThreadAttach());
    EXPECT_TRUE(module.Unload());  // a second unload is harmless
}

TEST(PluginLoader, DestructionUnloads) {
    std::string log;
    {
        PluginModule module(VORN_TEST_MODULE_COMPLETE);
        ASSERT_TRUE(module.loaded()) << module.error();
        AttachLog(module, &log);
        PluginModule moved(std::move(module));
        EXPECT_FALSE(module.loaded());  // NOLINT: checking the moved-from state
        EXPECT_TRUE(moved.loaded());
        EXPECT_EQ(log, "construct;process-attach;");
    }
    EXPECT_EQ(log, "construct;process-attach;process-detach;destroy;");
}

TEST(PluginLoader, ReportsWhyAModuleDoesNotLoad) {
    struct Case {
        const char* path;
        const char* expectedInError;
    };
    const Case cases[] = {
        {"/nonexistent/vorn.dlu", "/nonexistent/vorn.dlu"},
        {VORN_TEST_MODULE_WITHOUT_CLASS_DESC, "does not export LibClassDesc"},
        {VORN_TEST_MODULE_REFUSES, "refused the process attach"},
    };
    for (const Case& c : cases) {
        PluginModule module(c.path);
        EXPECT_FALSE(module.loaded()) << c.path;
        EXPECT_NE(module.error().find(c.expectedInError), std::string::npos) << module.error();
        EXPECT_EQ(module.LibDescription(), nullptr);
        EXPECT_EQ(module.instance(), nullptr);
    }
}

}  // namespace
