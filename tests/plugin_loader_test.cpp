// Loading plug-in modules as the host does, with small test modules.
#include <gtest/gtest.h>

#include <string>
#include <utility>

#include "standin/host/plugin_loader.h"

namespace {

using standin::PluginModule;

// Hands the module the test's log, which receives what it logged so far.
void AttachLog(const PluginModule& module, std::string* log) {
    void* symbol = module.Symbol("TestModuleSetLog");
    ASSERT_NE(symbol, nullptr);
    reinterpret_cast<void (*)(std::string*)>(symbol)(log);
}

TEST(PluginLoader, LoadsAModuleFindsItsExportsAndUnloadsIt) {
    PluginModule module(VORN_TEST_MODULE_COMPLETE);
    ASSERT_TRUE(module.loaded()) << module.error();
    EXPECT_EQ(module.error(), "");
    EXPECT_STREQ(module.LibDescription(), "Vorn loader test module");
    EXPECT_EQ(module.LibNumberClasses(), 1);
    ASSERT_NE(module.LibClassDesc(0), nullptr);
    EXPECT_STREQ(module.LibClassDesc(0)->ClassName(), "Loader test");
    EXPECT_EQ(module.LibVersion(), VERSION_3DSMAX);

    // Statics first, then the entry point for the process, with the instance.
    std::string log;
    AttachLog(module, &log);
    ASSERT_NE(module.instance(), nullptr);
    EXPECT_EQ(reinterpret_cast<HINSTANCE (*)()>(module.Symbol("TestModuleInstance"))(), module.instance());
    EXPECT_TRUE(module.ThreadAttach());
    EXPECT_TRUE(module.ThreadDetach());
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

TEST(PluginLoader, TheLastOwnerUnloadsTheModule) {
    std::string log;
    {
        PluginModule module(VORN_TEST_MODULE_COMPLETE);
        ASSERT_TRUE(module.loaded()) << module.error();
        AttachLog(module, &log);
        PluginModule moved(std::move(module));
        EXPECT_FALSE(module.loaded());  // NOLINT: checking the moved-from state
        EXPECT_TRUE(moved.loaded());
    }
    EXPECT_EQ(log, "construct;process-attach;process-detach;destroy;");
}

TEST(PluginLoader, ReportsWhyAModuleDoesNotLoad) {
    const std::pair<const char*, const char*> cases[] = {
        {"/nonexistent/vorn.dlu", "cannot load /nonexistent/vorn.dlu"},
        {VORN_TEST_MODULE_WITHOUT_CLASS_DESC, "does not export LibClassDesc"},
        {VORN_TEST_MODULE_REFUSES, "refused the process attach"},
    };
    for (const auto& [path, reason] : cases) {
        PluginModule module(path);
        EXPECT_FALSE(module.loaded()) << path;
        EXPECT_NE(module.error().find(reason), std::string::npos) << module.error();
        EXPECT_EQ(module.LibDescription(), nullptr);
    }
}

}  // namespace
