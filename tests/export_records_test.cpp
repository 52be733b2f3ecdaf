// The export records: the error latch, buffer release, the frame table and
// output names.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "core/output_name.h"
#include "core/quake_export_utility.h"

namespace {

TEST(ErrorLatch, KeepsOnlyTheFirstReasonCutToItsFields) {
    ModelExporter engine;
    EXPECT_EQ(engine.errorSet, 0);
    EXPECT_STREQ(engine.errorText, "");
    const std::string text(300, 't');
    const std::string caption(600, 'c');
    engine.LatchError(text.c_str(), caption.c_str());
    engine.LatchError("Mesh range invalid", "Internal Parameter Error");
    EXPECT_EQ(engine.errorSet, 1);
    EXPECT_EQ(std::string(engine.errorText), text.substr(0, 255));
    EXPECT_EQ(std::string(engine.errorCaption), caption.substr(0, 511));
}

// The name is cut at its first dot, even one in a folder name; a result the
// buffer cannot hold leaves the name as it was.
TEST(OutputName, CutsAtTheFirstDotAnywhereAndRefusesWhatDoesNotFit) {
    const struct {
        const char* given;
        size_t capacity;
        const char* extension;
        int result;
        const char* expected;
    } cases[] = {
        {"C:\\models\\tris", 260, ".md2", 1, "C:\\models\\tris.md2"},
        {"model.old.md2", 260, ".md2", 1, "model.md2"},
        {"C:\\my.models\\tris", 260, ".md2", 1, "C:\\my.md2"},
        {"skin.old", 260, ".pcx", 1, "skin.pcx"},
        {"abcd", 9, ".md2", 1, "abcd.md2"},
        {"abcd", 8, ".md2", 0, "abcd"},
    };
    for (const auto& c : cases) {
        char buffer[260];
        std::strcpy(buffer, c.given);
        EXPECT_EQ(FormOutputName(buffer, c.capacity, c.extension), c.result) << c.given;
        EXPECT_STREQ(buffer, c.expected);
    }
}

}  // namespace
