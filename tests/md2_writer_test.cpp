// The model writer: new files, the update path and its refusals, and the
// frame-name import, all through the utility's operations on stand-in scenes.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "export/byte_order.h"
#include "export/quake_export_utility.h"
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

class Md2WriterTest : public ::testing::Test {
protected:
    void SetUp() override { testing_scenes::PrepareExport(utility, *quad.host); }

    // A writable path buffer naming base inside the temporary folder.
    char* PathOf(const std::string& base) {
        std::snprintf(path, sizeof path, "%s", (dir / base).c_str());
        return path;
    }

    int SaveAll(const std::string& base, float scale = 1.0f) {
        return utility.SaveModel(PathOf(base), 0, utility.frameCount - 1, 0, scale);
    }

    TempDir dir;
    testing_scenes::QuadScene quad;
    QuakeExportUtility utility;
    char path[kPathBufferSize];
};

TEST_F(Md2WriterTest, HeaderOffsetsFollowFromTheCounts) {
    ASSERT_EQ(utility.vertexCount, 4);
    ASSERT_EQ(utility.faceCount, 2);
    ASSERT_EQ(SaveAll("model"), 1);
    const std::vector<uint8_t> file = ReadBytes(dir / "model.md2");
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

TEST_F(Md2WriterTest, TextureCoordinatesTrianglesAndFansPointIntoThePage) {
    ASSERT_EQ(SaveAll("model"), 1);
    const std::vector<uint8_t> file = ReadBytes(dir / "model.md2");
    // Face 0 is (0,0) (1,0) (1,1) on a 64 x 32 image placed at 8, 4; face 1 is (0,0) (1,1) (0,1).
    const int16_t st[6][2] = {{8, 4}, {72, 4}, {72, 36}, {8, 4}, {72, 36}, {8, 36}};
    for (int i = 0; i < 6; ++i) {
        EXPECT_EQ(static_cast<int16_t>(GetU16(file.data() + 68 + 4 * i)), st[i][0]) << "corner " << i;
        EXPECT_EQ(static_cast<int16_t>(GetU16(file.data() + 70 + 4 * i)), st[i][1]) << "corner " << i;
    }
    // Corners 0, 2, 1 in both the vertex and the texture-coordinate indices.
    const uint16_t tris[2][6] = {{0, 2, 1, 0, 2, 1}, {0, 3, 2, 3, 5, 4}};
    for (int i = 0; i < 2; ++i) {
        for (int k = 0; k < 6; ++k) EXPECT_EQ(GetU16(file.data() + 92 + 12 * i + 2 * k), tris[i][k]);
    }
    const size_t gl = static_cast<size_t>(Field(file, 60));
    EXPECT_EQ(Field(file, gl), -3);
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
    const std::vector<uint8_t> file = ReadBytes(dir / "model.md2");
    const size_t frame0 = 116;
    // Turned (x, y, z) -> (-y, x, z): x spans -20..0, y 0..10, z is flat.
    EXPECT_EQ(GetF32(file.data() + frame0 + 0), static_cast<float>(20.0f * 0.004));
    EXPECT_EQ(GetF32(file.data() + frame0 + 4), static_cast<float>(10.0f * 0.004));
    EXPECT_EQ(GetF32(file.data() + frame0 + 8), 0.0f);
    EXPECT_EQ(GetF32(file.data() + frame0 + 12), -20.0f);
    EXPECT_EQ(GetF32(file.data() + frame0 + 16), 0.0f);
    EXPECT_EQ(GetF32(file.data() + frame0 + 20), 0.0f);
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

TEST_F(Md2WriterTest, AScaleFactorChangesOnlyScaleAndTranslate) {
    ASSERT_EQ(SaveAll("one", 1.0f), 1);
    ASSERT_EQ(SaveAll("two", 2.0f), 1);
    const std::vector<uint8_t> one = ReadBytes(dir / "one.md2");
    const std::vector<uint8_t> two = ReadBytes(dir / "two.md2");
    ASSERT_EQ(one.size(), two.size());
    for (int f = 0; f < 198; ++f) {
        const size_t at = 116 + 56 * static_cast<size_t>(f);
        EXPECT_EQ(GetF32(two.data() + at), 2 * GetF32(one.data() + at));
        EXPECT_EQ(GetF32(two.data() + at + 12), 2 * GetF32(one.data() + at + 12));
        EXPECT_EQ(std::memcmp(one.data() + at + 24, two.data() + at + 24, 32), 0) << "frame " << f;
    }
}

TEST_F(Md2WriterTest, UpdateRewritesOnlyTheChosenRange) {
    ASSERT_EQ(SaveAll("model"), 1);
    const std::vector<uint8_t> before = ReadBytes(dir / "model.md2");
    // Frame 5 now takes host frame 10.
    ASSERT_EQ(utility.SaveModel(PathOf("model"), 5, 5, 10, 1.0f), 1);
    const std::vector<uint8_t> after = ReadBytes(dir / "model.md2");
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
        EXPECT_EQ(ReadBytes(dir / "reused.md2"), ReadBytes(dir / "captured.md2"));
    }
}

TEST_F(Md2WriterTest, ANewFileWithTheDefaultRangeCapturesEachFrameOnce) {
    quad.quad->evaluations = 0;
    ASSERT_EQ(SaveAll("model"), 1);
    // A capture evaluates the node twice: once to count, once to fill.
    EXPECT_EQ(quad.quad->evaluations, 2 * 198);
}

TEST_F(Md2WriterTest, ExistingModelKeepsItsSkinLayout) {
    ASSERT_EQ(SaveAll("model"), 1);
    const std::vector<uint8_t> before = ReadBytes(dir / "model.md2");
    utility.skinWidth = 128;
    utility.skinHeight = 64;
    utility.textures[0].placeX = 40;
    ASSERT_EQ(SaveAll("model"), 1);
    EXPECT_EQ(ReadBytes(dir / "model.md2"), before);
}

TEST_F(Md2WriterTest, ExistingModelWithOtherCountsIsRefusedUnchanged) {
    ASSERT_EQ(SaveAll("model"), 1);
    const std::vector<uint8_t> before = ReadBytes(dir / "model.md2");
    const struct {
        int32_t vertexDelta, faceDelta, frameDelta;
    } cases[] = {{1, 0, 0}, {-1, 0, 0}, {0, 1, 0}, {0, -1, 0}, {0, 0, 1}, {0, 0, -1}};
    for (const auto& c : cases) {
        QuakeExportUtility other;
        testing_scenes::PrepareExport(other, *quad.host);
        other.vertexCount += c.vertexDelta;
        other.faceCount += c.faceDelta;
        other.frameCount += c.frameDelta;
        EXPECT_EQ(other.SaveModel(PathOf("model"), 0, 0, 0, 1.0f), 0);
        EXPECT_EQ(ReadBytes(dir / "model.md2"), before);
    }
}

TEST_F(Md2WriterTest, OutputNameIsCutAtTheFirstDot) {
    ASSERT_EQ(utility.SaveModel(PathOf("model.old.md2"), 0, 0, 0, 1.0f), 1);
    EXPECT_TRUE(FileExists(dir / "model.md2"));
    EXPECT_STREQ(path, (dir / "model.md2").c_str());
    std::filesystem::create_directory(dir / "my.models");
    ASSERT_EQ(utility.SaveModel(PathOf("my.models/tris"), 0, 0, 0, 1.0f), 1);
    EXPECT_TRUE(FileExists(dir / "my.md2"));
    EXPECT_FALSE(FileExists(dir / "my.models/tris.md2"));
}

TEST_F(Md2WriterTest, EndBeyondTheFrameListIsRefusedBeforeWriting) {
    utility.frameCount = 64;
    EXPECT_EQ(utility.SaveModel(PathOf("model"), 60, 70, 0, 1.0f), 0);
    EXPECT_FALSE(FileExists(dir / "model.md2"));
    EXPECT_EQ(utility.engine.errorSet, 1);
}

TEST_F(Md2WriterTest, NameTooLongForItsExtensionIsRefused) {
    std::memset(path, 'a', kPathBufferSize - 3);
    path[kPathBufferSize - 3] = '\0';
    EXPECT_EQ(utility.SaveModel(path, 0, 0, 0, 1.0f), 0);
    EXPECT_EQ(std::strlen(path), static_cast<size_t>(kPathBufferSize - 3));
}

// A node whose mesh loses a vertex after host frame 0.
class ShrinkingNode : public standin::SceneNode {
public:
    const ObjectState& EvalWorldState(TimeValue t, int) override {
        Mesh m = mesh;
        if (t > 0) {
            m.verts.pop_back();
            m.faces.pop_back();
        }
        object_ = std::make_unique<standin::SceneTriObject>(m, 16, false);
        state_ = ObjectState(object_.get());
        return state_;
    }

private:
    std::unique_ptr<standin::SceneTriObject> object_;
    ObjectState state_;
};

TEST(Md2WriterChangingMesh, NewFileIsNotLeftBehindAndExistingFileIsUntouched) {
    testing_scenes::QuadScene quad;
    auto shrinking = std::make_unique<ShrinkingNode>();
    shrinking->name = "Shrinking";
    shrinking->selected = true;
    shrinking->material = quad.quad->material;
    shrinking->convertible = shrinking->hasMesh = true;
    shrinking->mesh = quad.quad->mesh;
    standin::SceneNode* node = quad.scene.root->AddChild(std::move(shrinking));
    TempDir dir;
    char path[kPathBufferSize];

    QuakeExportUtility utility;
    testing_scenes::PrepareExport(utility, *quad.host);
    std::snprintf(path, sizeof path, "%s", (dir / "model").c_str());
    EXPECT_EQ(utility.SaveModel(path, 0, 3, 0, 1.0f), 0);
    EXPECT_FALSE(FileExists(dir / "model.md2"));
    EXPECT_NE(std::string(utility.engine.errorText).find("Mesh changed"), std::string::npos);

    // The same counts written by a scene without the shrinking node, then updated with it.
    node->selected = false;
    QuakeExportUtility steady;
    testing_scenes::PrepareExport(steady, *quad.host);
    std::snprintf(path, sizeof path, "%s", (dir / "model").c_str());
    ASSERT_EQ(steady.SaveModel(path, 0, 0, 0, 1.0f), 1);
    const std::vector<uint8_t> before = ReadBytes(dir / "model.md2");
    node->selected = true;
    quad.quad->selected = false;
    QuakeExportUtility update;
    testing_scenes::PrepareExport(update, *quad.host);
    std::snprintf(path, sizeof path, "%s", (dir / "model").c_str());
    EXPECT_EQ(update.SaveModel(path, 2, 5, 3, 1.0f), 0);
    EXPECT_EQ(ReadBytes(dir / "model.md2"), before);
}

TEST(Md2WriterZeros, AMinimumOfZeroIsTheFirstZeroWithItsSign) {
    // Turned, x is -y: a world y of +0.0 gives -0.0 and one of -0.0 gives
    // +0.0 (a translation of -0.0 keeps the sign of a y made of -0.0 terms).
    // The box is that of a scan from the first vertex taking only strictly
    // smaller values, so the translate is the first zero met: -0.0.
    testing_scenes::QuadScene quad;
    quad.quad->transformKeys[0].rows.row[3] = Point3(0, -0.0f, 0);
    Mesh& m = quad.quad->mesh;
    m.verts = {{1, -7, 0}, {2, -3, 0}, {3, 0, 0}, {4, -4, 0}, {5, -5, 0}, {-6, -0.0f, -1}};
    m.faces.resize(2);
    m.faces[1].v[0] = 3, m.faces[1].v[1] = 4, m.faces[1].v[2] = 5;
    m.tvFace[1].t[0] = 0, m.tvFace[1].t[1] = 1, m.tvFace[1].t[2] = 2;
    QuakeExportUtility utility;
    testing_scenes::PrepareExport(utility, *quad.host);
    std::vector<uint8_t> frame;
    ASSERT_EQ(utility.EncodeFrame(0, "zero", 1.0f, frame), 1);
    EXPECT_EQ(GetU32(frame.data() + 12), 0x80000000u);  // translate x: -0.0
    EXPECT_EQ(GetF32(frame.data() + 0), static_cast<float>(7.0f * 0.004));
}

TEST(Md2WriterEmptyMesh, AFrameOfNoVerticesHasZeroScaleAndTranslate) {
    testing_scenes::QuadScene quad;
    quad.quad->mesh = Mesh();
    QuakeExportUtility utility;
    testing_scenes::PrepareExport(utility, *quad.host);
    std::vector<uint8_t> frame;
    ASSERT_EQ(utility.EncodeFrame(0, "empty", 1.0f, frame), 1);
    ASSERT_EQ(frame.size(), 40u);
    for (int i = 0; i < 6; ++i) EXPECT_EQ(GetF32(frame.data() + 4 * i), 0.0f);
}

// Models no reader can use: no triangles, or frames whose box the floats
// cannot hold. Neither leaves a new file behind nor touches an existing one.
TEST(Md2WriterUnusableModel, EmptyMeshesAndInfiniteFramesAreRefused) {
    const struct {
        const char* what;
        bool emptyMesh;
        float scale;
        const char* reason;
    } cases[] = {
        {"no vertices", true, 1.0f, "Nothing to write"},
        {"scaled past the float range", false, 3e38f, "beyond the float range"},
    };
    for (const auto& c : cases) {
        testing_scenes::QuadScene quad;
        if (c.emptyMesh) quad.quad->mesh = Mesh();
        QuakeExportUtility utility;
        testing_scenes::PrepareExport(utility, *quad.host);
        TempDir dir;
        char path[kPathBufferSize];
        std::snprintf(path, sizeof path, "%s", (dir / "model").c_str());
        EXPECT_EQ(utility.SaveModel(path, 0, 0, 0, c.scale), 0) << c.what;
        EXPECT_FALSE(FileExists(dir / "model.md2")) << c.what;
        EXPECT_NE(std::string(utility.engine.errorText).find(c.reason), std::string::npos) << c.what;

        if (c.emptyMesh) continue;
        QuakeExportUtility steady;
        testing_scenes::PrepareExport(steady, *quad.host);
        std::snprintf(path, sizeof path, "%s", (dir / "model").c_str());
        ASSERT_EQ(steady.SaveModel(path, 0, 0, 0, 1.0f), 1);
        const std::vector<uint8_t> before = ReadBytes(dir / "model.md2");
        std::snprintf(path, sizeof path, "%s", (dir / "model").c_str());
        EXPECT_EQ(utility.SaveModel(path, 1, 4, 0, c.scale), 0) << c.what;
        EXPECT_EQ(ReadBytes(dir / "model.md2"), before) << c.what;
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

class FrameImportTest : public Md2WriterTest {
protected:
    // A minimal model file: header with the given fields and frames of no vertices.
    void WriteModel(const std::string& base, const char* ident, int32_t frames, const std::vector<std::string>& names,
                    size_t cutAt = SIZE_MAX) {
        std::vector<uint8_t> bytes(ident, ident + 4);
        const int32_t fields[16] = {8, 8, 8, 40, 0, 0, 0, 0, 1, frames, 68, 68, 68, 68, 68, 68};
        for (int32_t f : fields) PutI32(bytes, f);
        for (const std::string& name : names) {
            for (int i = 0; i < 24; ++i) bytes.push_back(0);
            std::vector<uint8_t> field(16, 0);
            std::memcpy(field.data(), name.data(), std::min<size_t>(name.size(), 16));
            bytes.insert(bytes.end(), field.begin(), field.end());
        }
        if (cutAt < bytes.size()) bytes.resize(cutAt);
        WriteBytes(dir / (base + ".md2"), bytes);
    }
};

TEST_F(FrameImportTest, NamesAnExportWroteComeBackInOrder) {
    std::strcpy(utility.frameNames[3], "custom");
    ASSERT_EQ(SaveAll("model"), 1);
    QuakeExportUtility fresh;
    ASSERT_EQ(fresh.ImportFrameNames(PathOf("model.whatever")), 1);
    ASSERT_EQ(fresh.frameCount, 198);
    for (int i = 0; i < 198; ++i) EXPECT_STREQ(fresh.frameNames[i], utility.frameNames[i]) << i;
}

TEST_F(FrameImportTest, ShorterListsReplaceTheFirstSlots) {
    WriteModel("zero", "IDP2", 0, {});
    ASSERT_EQ(utility.ImportFrameNames(PathOf("zero")), 1);
    EXPECT_EQ(utility.frameCount, 0);
    EXPECT_STREQ(utility.frameNames[0], "stand01");  // slots past the count keep their old names

    WriteModel("two", "IDP2", 2, {"walk1", "walk2"});
    ASSERT_EQ(utility.ImportFrameNames(PathOf("two")), 1);
    EXPECT_EQ(utility.frameCount, 2);
    EXPECT_STREQ(utility.frameNames[1], "walk2");
    EXPECT_STREQ(utility.frameNames[2], "stand03");
}

TEST_F(FrameImportTest, RefusedFilesLeaveTheListAsItWas) {
    WriteModel("ident", "IDP3", 1, {"a"});
    WriteModel("negative", "IDP2", -1, {});
    WriteModel("toomany", "IDP2", 257, {});
    WriteModel("short", "IDP2", 1, {"a"}, 40);
    for (const char* base : {"ident", "negative", "toomany", "short", "missing"}) {
        EXPECT_EQ(utility.ImportFrameNames(PathOf(base)), 0) << base;
        EXPECT_EQ(utility.frameCount, 198) << base;
        EXPECT_STREQ(utility.frameNames[0], "stand01") << base;
    }
}

TEST_F(FrameImportTest, UnterminatedNamesAndMissingFramesStaySafe) {
    WriteModel("long", "IDP2", 2, {"abcdefghijklmnopqrstuvwxyz", "second"}, 68 + 40 + 20);
    ASSERT_EQ(utility.ImportFrameNames(PathOf("long")), 1);
    EXPECT_EQ(utility.frameCount, 2);
    EXPECT_STREQ(utility.frameNames[0], "abcdefghijklmno");
    EXPECT_STREQ(utility.frameNames[1], "");
}

}  // namespace
