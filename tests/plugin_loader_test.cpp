// Loading plug-in modules as the host does, with small test modules.
#include <gtest/gtest.h>

#include <string>
#include <utility>

#include "standin/host/plugin_loader.h"

namespace {

using standin::PluginModule;

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
