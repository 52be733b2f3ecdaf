// The export records: the error latch, buffer release and the frame table.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "export/output_name.h"
#include "export/quake_export_utility.h"

namespace {

TEST(ErrorLatch, KeepsOnlyTheFirstReason) {
    ModelExporter engine;
    EXPECT_EQ(engine.errorSet, 0);
    EXPECT_STREQ(engine.errorText, "");
    engine.LatchError("Could not get memory for bitmap placement", "Memory error");
    engine.LatchError("Mesh range invalid", "Internal Parameter Error");
    EXPECT_EQ(engine.errorSet, 1);
    EXPECT_STREQ(engine.errorText, "Could not get memory for bitmap placement");
    EXPECT_STREQ(engine.errorCaption, "Memory error");
}

TEST(ErrorLatch, CutsLongTextsToTheirFields) {
    ModelExporter engine;
    const std::string text(300, 't');
    const std::string caption(600, 'c');
    engine.LatchError(text.c_str(), caption.c_str());
    EXPECT_EQ(std::string(engine.errorText), text.substr(0, 255));
    EXPECT_EQ(std::string(engine.errorCaption), caption.substr(0, 511));
}

TEST(ExportBuffers, ReleaseEmptiesBuffersAndKeepsTheRest) {
    QuakeExportUtility utility;
    utility.vertices = new ExportVertex[3]();
    utility.faces = new ExportFace[2]();
    utility.textures = new TextureRecord[4];
    utility.skinBuffer = new uint8_t[12];
    utility.skinIndexBuffer = new uint8_t[4];
    utility.vertexCount = 3;
    utility.faceCount = 2;
    utility.textureCount = 1;
    utility.skinWidth = 4;
    utility.skinHeight = 1;
    utility.ReleaseExportBuffers();
    EXPECT_EQ(utility.vertices, nullptr);
    EXPECT_EQ(utility.faces, nullptr);
    EXPECT_EQ(utility.textures, nullptr);
    EXPECT_EQ(utility.skinBuffer, nullptr);
    EXPECT_EQ(utility.skinIndexBuffer, nullptr);
    EXPECT_EQ(utility.vertexCount, 3);
    EXPECT_EQ(utility.faceCount, 2);
    EXPECT_EQ(utility.textureCount, 1);
    EXPECT_EQ(utility.skinWidth, 4);
    EXPECT_EQ(utility.skinHeight, 1);
    EXPECT_EQ(utility.frameCount, 198);
    EXPECT_STREQ(utility.frameNames[0], "stand01");
    utility.ReleaseExportBuffers();  // a second release finds nothing to free
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
    size_t longest = 0;
    for (int i = 0; i < utility.frameCount; ++i) longest = std::max(longest, std::strlen(utility.frameNames[i]));
    EXPECT_EQ(longest, 8u);
}

TEST(OutputName, CutsAtTheFirstDotAnywhere) {
    const struct {
        const char* given;
        const char* extension;
        const char* expected;
    } cases[] = {
        {"C:\\models\\tris", ".md2", "C:\\models\\tris.md2"},
        {"model.old.md2", ".md2", "model.md2"},
        {"C:\\my.models\\tris", ".md2", "C:\\my.md2"},
        {"skin.old", ".pcx", "skin.pcx"},
        {"tris", ".bmp", "tris.bmp"},
    };
    for (const auto& c : cases) {
        char buffer[260];
        std::strcpy(buffer, c.given);
        ASSERT_EQ(FormOutputName(buffer, sizeof buffer, c.extension), 1) << c.given;
        EXPECT_STREQ(buffer, c.expected);
    }
}

TEST(OutputName, RefusesANameTheBufferCannotHold) {
    char buffer[8] = "abcdef";
    EXPECT_EQ(FormOutputName(buffer, sizeof buffer, ".md2"), 0);
    EXPECT_STREQ(buffer, "abcdef");
    char fits[9] = "abcd";
    EXPECT_EQ(FormOutputName(fits, sizeof fits, ".md2"), 1);
    EXPECT_STREQ(fits, "abcd.md2");
}

}  // namespace
