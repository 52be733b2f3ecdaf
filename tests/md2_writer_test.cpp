// The model writer: new files, the update path and its refusals, and the
// frame-name import, all through the utility's operations on stand-in scenes.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "core/byte_order.h"
#include "core/quake_export_utility.h"
#include "standin/host/json_scene_loader.h"
#include "standin/host/standin_scene.h"
#include "support/quad_scene.h"
#include "support/test_files.h"

namespace {

using testing_files::FileExists;
using testing_files::ReadBytes;
using testing_files::TempDir;
using testing_files::WriteBytes;

int32_t Field(const std::vector<uint8_t>& file, size_t offset) { return GetI32(file.data() + offset); }

using Spoil = std::function<void(QuakeExportUtility&, standin::SceneNode&)>;

// A save that cannot write the whole model: how its utility or its quad is
// spoiled, what it saves, and why it fails.
struct Refusal {
    const char* what;
    Spoil spoil;
    int32_t start, end;
    uint32_t first;
    float scale;
    const char* reason;
};

// After host frame `after`, the quad gains a loose vertex, or loses its last face.
Spoil Reshape(int after, bool addVertex) {
    return [=](QuakeExportUtility&, standin::SceneNode& quad) {
        quad.deformAt = [=](TimeValue t, Mesh& m) {
            if (t <= after * GetTicksPerFrame()) return;
            if (addVertex) m.verts.emplace_back(1.0f, 2.0f, 3.0f);
            else m.faces.pop_back();
        };
    };
}

class Md2WriterTest : public ::testing::Test {
protected:
    void SetUp() override { testing_scenes::PrepareExport(utility, *quad.host); }

    // A writable path buffer naming base inside the temporary folder.
    char* PathOf(const std::string& base) {
        std::snprintf(path, sizeof path, "%s", (dir / base).c_str());
        return path;
    }
    int SaveAll(const std::string& base) { return utility.SaveModel(PathOf(base), 0, utility.frameCount - 1, 0, 1.0f); }
    std::vector<uint8_t> Model(const std::string& base) const { return ReadBytes(dir / (base + ".md2")); }
    // Saves to base through a fresh utility over a fresh quad, spoiled as the case says.
    int SaveSpoiled(const Refusal& c, const std::string& base) {
        testing_scenes::QuadScene scene;
        QuakeExportUtility u;
        testing_scenes::PrepareExport(u, *scene.host);
        if (c.spoil) c.spoil(u, *scene.quad);
        const int saved = u.SaveModel(PathOf(base), c.start, c.end, c.first, c.scale);
        EXPECT_NE(std::string(u.engine.errorText).find(c.reason), std::string::npos) << c.what << ": "
                                                                                     << u.engine.errorText;
        return saved;
    }

    TempDir dir;
    testing_scenes::QuadScene quad;
    QuakeExportUtility utility;
    char path[kPathBufferSize];
};

TEST_F(Md2WriterTest, HeaderOffsetsFollowFromTheCounts) {
    ASSERT_EQ(SaveAll("model"), 1);
    const std::vector<uint8_t> file = Model("model");
    ASSERT_GE(file.size(), 68u);
    EXPECT_EQ(std::memcmp(file.data(), "IDP2", 4), 0);
    const struct {
        size_t offset;
        int32_t value;
    } fields[] = {{4, 8},     {8, 72},   {12, 36},  {16, 56},     {20, 0},     {24, 4},
                  {28, 6},    {32, 2},   {36, 21},  {40, 198},    {44, 68},    {48, 68},
                  {52, 92},   {56, 116}, {60, 11204}, {64, 11288}};
    for (const auto& f : fields) EXPECT_EQ(Field(file, f.offset), f.value) << "offset " << f.offset;
    EXPECT_EQ(file.size(), 11288u + 5 + 126);
    const uint8_t trailer[5] = {0x52, 0x00, 0x27, 0x00, 0x52};
    EXPECT_EQ(std::memcmp(file.data() + 11288, trailer, 5), 0);
    const std::string credit(file.begin() + 11293, file.end());
    EXPECT_NE(credit.find("Vorn"), std::string::npos);
    for (char c : credit) EXPECT_TRUE(c >= 0x20 && c < 0x7F);
}

// The texture coordinates and triangles are read back in md2_readback_test.
TEST_F(Md2WriterTest, GlCommandsFanEachFaceOverThePage) {
    ASSERT_EQ(SaveAll("model"), 1);
    const std::vector<uint8_t> file = Model("model");
    const size_t gl = static_cast<size_t>(Field(file, 60));
    EXPECT_EQ(Field(file, gl), -3);
    // Face 0 is (0,0) (1,0) (1,1) on a 64 x 32 image placed at 8, 4 of a 72 x 36 page; corners 0, 2, 1.
    const float fan0[3][2] = {{8.0f / 72, 4.0f / 36}, {72.0f / 72, 36.0f / 36}, {72.0f / 72, 4.0f / 36}};
    const int32_t fanVertices[3] = {0, 2, 1};
    for (int k = 0; k < 3; ++k) {
        EXPECT_FLOAT_EQ(GetF32(file.data() + gl + 4 + 12 * k), fan0[k][0]);
        EXPECT_FLOAT_EQ(GetF32(file.data() + gl + 8 + 12 * k), fan0[k][1]);
        EXPECT_EQ(Field(file, gl + 12 + 12 * k), fanVertices[k]);
    }
    EXPECT_EQ(Field(file, gl + 40), -3);
    EXPECT_EQ(Field(file, gl + 80), 0);
}

TEST_F(Md2WriterTest, FramesAreTurnedBoxedAndQuantised) {
    ASSERT_EQ(SaveAll("model"), 1);
    const std::vector<uint8_t> file = Model("model");
    const size_t frame0 = 116;
    // Turned (x, y, z) -> (-y, x, z): x spans -20..0, y 0..10, z is flat.
    const float box[6] = {static_cast<float>(20.0f * 0.004), static_cast<float>(10.0f * 0.004), 0, -20, 0, 0};
    for (int i = 0; i < 6; ++i) EXPECT_EQ(GetF32(file.data() + frame0 + 4 * i), box[i]) << "scale, translate " << i;
    EXPECT_STREQ(reinterpret_cast<const char*>(file.data() + frame0 + 24), "stand01");
    // Vertex 0 at (0, 0) -> x 250, y 0; vertex 2 at (-20, 10) -> x 0, y 250. The flat axis gives 0.
    const uint8_t expected[4][4] = {{250, 0, 0, 0}, {250, 250, 0, 0}, {0, 250, 0, 0}, {0, 0, 0, 0}};
    for (int v = 0; v < 4; ++v) {
        for (int a = 0; a < 4; ++a) EXPECT_EQ(file[frame0 + 40 + 4 * v + a], expected[v][a]) << v << "," << a;
    }
    // Frame 10 is sampled at host frame 10, where the quad has risen to z = 50.
    const size_t frame10 = frame0 + 10 * 56;
    EXPECT_EQ(GetF32(file.data() + frame10 + 20), 50.0f);
    EXPECT_EQ(GetF32(file.data() + frame10 + 8), 0.0f);
    EXPECT_STREQ(reinterpret_cast<const char*>(file.data() + frame10 + 24), "stand11");
}

// An update writes frames and nothing else: not even a skin layout that changed.
TEST_F(Md2WriterTest, UpdateRewritesOnlyTheChosenRange) {
    ASSERT_EQ(SaveAll("model"), 1);
    const std::vector<uint8_t> before = Model("model");
    utility.skinWidth = 128;
    utility.skinHeight = 64;
    utility.textures[0].placeX = 40;
    // Frame 5 now takes host frame 10.
    ASSERT_EQ(utility.SaveModel(PathOf("model"), 5, 5, 10, 1.0f), 1);
    const std::vector<uint8_t> after = Model("model");
    ASSERT_EQ(before.size(), after.size());
    const size_t frame5 = 116 + 5 * 56;
    const size_t frame10 = 116 + 10 * 56;
    EXPECT_EQ(std::memcmp(after.data() + frame5 + 24, "stand06", 8), 0);
    EXPECT_EQ(std::memcmp(after.data() + frame5, before.data() + frame10, 24), 0);
    for (size_t i = 0; i < after.size(); ++i) {
        if (i >= frame5 && i < frame5 + 56) continue;
        ASSERT_EQ(after[i], before[i]) << "byte " << i;
    }
}

TEST_F(Md2WriterTest, ANewFileGetsTheBytesOfAWrittenThenUpdatedOne) {
    // A new file's update takes the frames it already holds for the same host
    // times; it must come out as if every frame had been captured again.
    const struct {
        int32_t start, end;
        uint32_t first;
    } ranges[] = {{0, 197, 0}, {5, 20, 5}, {0, 197, 3}, {5, 20, 10}, {190, 197, 0}, {3, 3, 250}, {10, 12, 4294967295u}};
    for (const auto& r : ranges) {
        SCOPED_TRACE(::testing::Message() << r.start << ".." << r.end << " from " << r.first);
        std::filesystem::remove(dir / "reused.md2");
        ASSERT_EQ(utility.SaveModel(PathOf("reused"), r.start, r.end, r.first, 1.0f), 1);
        ASSERT_EQ(utility.WriteNewModel(PathOf("captured"), 1.0f), 1);
        ASSERT_EQ(utility.SaveModel(PathOf("captured"), r.start, r.end, r.first, 1.0f), 1);
        EXPECT_EQ(Model("reused"), Model("captured"));
    }
}

TEST_F(Md2WriterTest, RefusedSavesLeaveNoNewFileBehind) {
    const Refusal cases[] = {
        {"end at the list's end", [](QuakeExportUtility& u, standin::SceneNode&) { u.frameCount = 64; }, 60, 64, 0,
         1.0f, "Frame range 60 to 64 lies outside"},
        {"no vertices", [](QuakeExportUtility& u, standin::SceneNode&) { u.vertexCount = 0; }, 0, 0, 0, 1.0f,
         "Nothing to write"},
        {"no skin page", [](QuakeExportUtility& u, standin::SceneNode&) { u.skinHeight = 0; }, 0, 0, 0, 1.0f,
         "Nothing to write"},
        {"past the float range", nullptr, 0, 0, 0, 3e38f, "beyond the float range"},
        {"a vertex more while writing", Reshape(0, true), 0, 3, 0, 1.0f, "Mesh changed"},
        // The new file is whole before its first frame is sampled again.
        {"a face less once written", Reshape(197, false), 0, 0, 300, 1.0f, "4 vertices and 1 faces instead of 4 and 2"},
    };
    for (const Refusal& c : cases) {
        EXPECT_EQ(SaveSpoiled(c, "model"), 0) << c.what;
        EXPECT_FALSE(FileExists(dir / "model.md2")) << c.what;
    }
    const Refusal noFolder = {"a folder that is not there", nullptr, 0, 0, 0, 1.0f, "Could not open"};
    EXPECT_EQ(SaveSpoiled(noFolder, "no_such_folder/model"), 0);
}

TEST_F(Md2WriterTest, RefusedUpdatesLeaveTheExistingFileUntouched) {
    ASSERT_EQ(SaveAll("model"), 1);
    const std::vector<uint8_t> before = Model("model");
    std::vector<Refusal> cases = {
        {"past the float range", nullptr, 1, 4, 0, 3e38f, "beyond the float range"},
        {"a mesh that changes", Reshape(0, true), 2, 5, 3, 1.0f, "Mesh changed"},
    };
    for (int32_t QuakeExportUtility::*count :
         {&QuakeExportUtility::vertexCount, &QuakeExportUtility::faceCount, &QuakeExportUtility::frameCount}) {
        for (int delta : {-1, 1})
            cases.push_back({"other counts", [=](QuakeExportUtility& u, standin::SceneNode&) { u.*count += delta; },
                             0, 0, 0, 1.0f, "Existing model has"});
    }
    for (const Refusal& c : cases) {
        EXPECT_EQ(SaveSpoiled(c, "model"), 0) << c.what;
        EXPECT_EQ(Model("model"), before) << c.what;
    }

    // A model cut short, or whose header points past its end, is damaged:
    // never updated, even where the range itself is there.
    std::vector<uint8_t> pastTheEnd = before;
    pastTheEnd[56 + 1] = 0x2C;  // ofs_frames 116 -> 11380 (0x2C74)
    const struct {
        std::vector<uint8_t> bytes;
        const char* reason;
    } damaged[] = {
        {pastTheEnd, "its frame section, bytes 11380 to 22468, is cut by the end of the file at 11419"},
        {std::vector<uint8_t>(before.begin(), before.begin() + 40), "it is shorter than its 68-byte header (40 bytes)"},
        {std::vector<uint8_t>(before.begin(), before.begin() + 500), "its GL command offset 11204 lies outside"},
    };
    for (const auto& d : damaged) {
        WriteBytes(dir / "model.md2", d.bytes);
        QuakeExportUtility u;
        testing_scenes::PrepareExport(u, *quad.host);
        EXPECT_EQ(u.SaveModel(PathOf("model"), 0, 0, 0, 1.0f), 0);
        EXPECT_NE(std::string(u.engine.errorText).find(std::string("is damaged: ") + d.reason), std::string::npos)
            << u.engine.errorText;
        EXPECT_EQ(Model("model"), d.bytes);
    }
}

// The frames of the bundled robot, byte for byte as an x86-64 build encodes
// them: single-precision arithmetic with no excess precision, whatever the
// build's target. VORN_UPDATE_REFERENCES=1 writes the file again instead.
TEST(Md2WriterReferenceFrames, TheRobotsFramesAreTheReferenceBytes) {
    const std::string reference = std::string(VORN_TEST_DATA_DIR) + "/frames/robot_frames.bin";
    standin::Scene scene;
    std::string error;
    ASSERT_TRUE(standin::LoadJsonScene(std::string(VORN_SOURCE_DIR) + "/examples/robot.json", scene, error))
        << error;
    standin::StandinHost host(&scene);
    QuakeExportUtility utility;
    utility.hostInterface = &host;
    utility.engine.CollectNodes(&host, NODE_SELECTED | NODE_HAS_MATERIAL);
    ASSERT_EQ(utility.engine.CaptureMeshes(0, static_cast<uint32_t>(utility.engine.nodeCount), &utility.vertices,
                                           &utility.faces, &utility.vertexCount, &utility.faceCount,
                                           CAPTURE_WORLD_SPACE, 0),
              1);
    constexpr int kFrames = 54;  // stand1 through attack8
    std::vector<uint8_t> frames;
    for (int f = 0; f < kFrames; ++f) {
        ASSERT_EQ(utility.EncodeFrame(f * GetTicksPerFrame(), utility.frameNames[f], 0.8f, frames), 1) << f;
    }
    if (std::getenv("VORN_UPDATE_REFERENCES")) {
        WriteBytes(reference, frames);
        GTEST_SKIP() << "wrote " << reference;
    }
    const std::vector<uint8_t> expected = ReadBytes(reference);
    ASSERT_EQ(frames.size(), expected.size());
    const size_t frameSize = frames.size() / kFrames;
    for (size_t i = 0; i < frames.size(); ++i) {
        if (frames[i] == expected[i]) continue;
        const size_t at = i % frameSize;
        ADD_FAILURE() << "frame " << i / frameSize << ": first difference at byte " << at
                      << (at < 24 ? " (scale or translate)" : at < 40 ? " (name)" : " (a vertex)");
        break;
    }
}

// --- Frame-name import -------------------------------------------------------

TEST_F(Md2WriterTest, ImportedFrameNamesAreThoseAnExportWrote) {
    std::strcpy(utility.frameNames[3], "custom");
    ASSERT_EQ(SaveAll("model"), 1);
    QuakeExportUtility fresh;
    ASSERT_EQ(fresh.ImportFrameNames(PathOf("model.whatever")), 1);
    ASSERT_EQ(fresh.frameCount, 198);
    for (int i = 0; i < 198; ++i) EXPECT_STREQ(fresh.frameNames[i], utility.frameNames[i]) << i;
}

// Header fields and 16-byte names of frames of no vertices, cut at cutAt bytes.
std::vector<uint8_t> NamesModel(const char* ident, int32_t frames, const std::vector<std::string>& names,
                                size_t cutAt = SIZE_MAX) {
    std::vector<uint8_t> bytes(ident, ident + 4);
    for (int32_t f : {8, 8, 8, 40, 0, 0, 0, 0, 1, frames, 68, 68, 68, 68, 68, 68}) PutI32(bytes, f);
    for (const std::string& name : names) {
        std::vector<uint8_t> frame(40, 0);
        std::memcpy(frame.data() + 24, name.data(), std::min<size_t>(name.size(), 16));
        bytes.insert(bytes.end(), frame.begin(), frame.end());
    }
    if (cutAt < bytes.size()) bytes.resize(cutAt);
    return bytes;
}

// A shorter list replaces the first slots; a refused file leaves the list of
// 198 as it was; a name without a zero gives 15 characters, a cut frame none.
TEST_F(Md2WriterTest, ImportedNamesReplaceTheFirstSlotsOrNothing) {
    const struct {
        const char* base;
        std::vector<uint8_t> file;
        int result;
        int32_t count;
        std::vector<std::string> first;
    } cases[] = {
        {"zero", NamesModel("IDP2", 0, {}), 1, 0, {"stand01"}},
        {"two", NamesModel("IDP2", 2, {"walk1", "walk2"}), 1, 2, {"walk1", "walk2", "stand03"}},
        {"long", NamesModel("IDP2", 2, {"abcdefghijklmnopqrstuvwxyz", "second"}, 68 + 40 + 20), 1, 2,
         {"abcdefghijklmno", "", "stand03"}},
        {"ident", NamesModel("IDP3", 1, {"a"}), 0, 198, {"stand01"}},
        {"negative", NamesModel("IDP2", -1, {}), 0, 198, {"stand01"}},
        {"toomany", NamesModel("IDP2", 257, {}), 0, 198, {"stand01"}},
        {"short", NamesModel("IDP2", 1, {"a"}, 40), 0, 198, {"stand01"}},
        {"missing", {}, 0, 198, {"stand01"}},
    };
    for (const auto& c : cases) {
        QuakeExportUtility u;
        if (!c.file.empty()) WriteBytes(dir / (std::string(c.base) + ".md2"), c.file);
        EXPECT_EQ(u.ImportFrameNames(PathOf(c.base)), c.result) << c.base;
        EXPECT_EQ(u.frameCount, c.count) << c.base;
        for (size_t i = 0; i < c.first.size(); ++i) EXPECT_STREQ(u.frameNames[i], c.first[i].c_str()) << c.base;
    }
}

}  // namespace
