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

TEST(FrameTable, HoldsThePlayerModelNamesInOrder) {
    QuakeExportUtility utility;
    ASSERT_EQ(utility.frameCount, 198);
    const struct {
        int index;
        const char* name;
    } spots[] = {{0, "stand01"},   {39, "stand40"},   {40, "run1"},      {46, "attack1"},
                 {54, "pain101"},  {58, "pain201"},   {65, "pain304"},   {66, "jump1"},
                 {72, "flip01"},   {84, "salute01"},  {95, "taunt01"},   {112, "wave01"},
                 {123, "point01"}, {135, "crstnd01"}, {154, "crwalk1"},  {160, "crattak1"},
                 {169, "crpain1"}, {173, "crdeath1"}, {178, "death101"}, {184, "death201"},
                 {190, "death301"}, {197, "death308"}};
    for (const auto& spot : spots) {
        EXPECT_STREQ(utility.frameNames[spot.index], spot.name) << "slot " << spot.index;
    }
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
