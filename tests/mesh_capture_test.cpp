// Mesh capture: offsets across nodes, shared and split corners, world space at
// the capture time, materials, UVs, flags, every failure, and hosts whose
// meshes are bad or change between the two passes.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "core/model_exporter.h"
#include "standin/host/json_scene_loader.h"

namespace {

using standin::Scene;
using standin::SceneBitmapTex;
using standin::SceneNode;
using standin::SceneTriObject;
using standin::StandinHost;

const std::string kScenes = std::string(VORN_TEST_DATA_DIR) + "/scenes";
constexpr const char* kNoMesh = "Unable to get mesh from node pointer";
constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();
constexpr float kInf = std::numeric_limits<float>::infinity();

// The engine's list set directly, as a collection would leave it.
void SetNodes(ModelExporter& engine, const std::vector<INode*>& list) {
    std::free(engine.nodes);
    engine.nodes = static_cast<INode**>(std::malloc(sizeof(INode*) * std::max<size_t>(list.size(), 1)));
    std::copy(list.begin(), list.end(), engine.nodes);
    engine.nodeCount = static_cast<int32_t>(list.size());
    engine.nodeCapacity = engine.nodeCount;
}

// One capture of nodes[first .. first+count-1], owning the arrays it got. The
// out-parameters start at sentinels, so that a test can tell what was written.
struct Capture {
    ExportVertex vertexSentinel;
    ExportFace faceSentinel;
    ExportVertex* vertices = &vertexSentinel;
    ExportFace* faces = &faceSentinel;
    int32_t vertexCount = 77, faceCount = 88;
    int result;
    Capture(ModelExporter& engine, int32_t first, uint32_t count, int32_t options, TimeValue t = 0)
        : result(engine.CaptureMeshes(first, count, &vertices, &faces, &vertexCount, &faceCount, options, t)) {}
    Capture(ModelExporter& engine, int32_t options, TimeValue t = 0)
        : Capture(engine, 0, static_cast<uint32_t>(engine.nodeCount), options, t) {}
    Capture(const Capture&) = delete;
    ~Capture() {
        if (vertices != &vertexSentinel) delete[] vertices;
        if (faces != &faceSentinel) delete[] faces;
    }
    bool ArraysUntouched() const { return vertices == &vertexSentinel && faces == &faceSentinel; }
};

// A node whose vertex j is (j, 10 j, 100 j) + offset; face i has smoothing group i + 1.
std::unique_ptr<SceneNode> MeshNode(const std::string& name, int vertexCount,
                                    const std::vector<std::array<uint32_t, 3>>& faces, float offset = 0.0f) {
    auto node = std::make_unique<SceneNode>();
    node->name = name;
    node->selected = node->hasMesh = node->convertible = true;
    for (int j = 0; j < vertexCount; ++j) {
        node->mesh.verts.emplace_back(offset + j, offset + 10.0f * j, offset + 100.0f * j);
    }
    for (const auto& f : faces) {
        Face face;
        std::copy(f.begin(), f.end(), face.v);
        face.smGroup = static_cast<uint32_t>(node->mesh.faces.size() + 1);
        node->mesh.faces.push_back(face);
    }
    return node;
}

void LoadScene(Scene& scene, const std::string& file) {
    std::string error;
    ASSERT_TRUE(standin::LoadJsonScene(kScenes + "/" + file, scene, error)) << error;
}

TEST(MeshCapture, PutsNodesOneAfterAnotherWithSharedOrSplitCorners) {
    Scene scene;
    SceneNode* a = scene.root->AddChild(MeshNode("A", 8, {{0, 1, 2}, {2, 3, 4}, {5, 6, 7}}));
    SceneNode* b = scene.root->AddChild(MeshNode("B", 6, {{0, 1, 5}, {3, 4, 2}}, 0.5f));
    a->transform.row[3] = Point3(0, 0, 1000);
    ModelExporter engine;
    SetNodes(engine, {a, b});
    Capture shared(engine, 0);
    ASSERT_EQ(shared.result, 1);
    ASSERT_EQ(shared.vertexCount, 14);
    ASSERT_EQ(shared.faceCount, 5);
    EXPECT_EQ(shared.vertices[7].z, 700.0f);  // object space: A's transform left out
    EXPECT_EQ(shared.vertices[8].x, 0.5f);    // B's vertex 0
    EXPECT_EQ(shared.vertices[13].z, 500.5f);
    const uint32_t corners[5][3] = {{0, 1, 2}, {2, 3, 4}, {5, 6, 7}, {8, 9, 13}, {11, 12, 10}};
    for (int f = 0; f < 5; ++f) {
        for (int k = 0; k < 3; ++k) EXPECT_EQ(shared.faces[f].vertexIndex[k], corners[f][k]) << f << "," << k;
    }
    EXPECT_EQ(shared.faces[2].smoothGroup, 3u);
    EXPECT_EQ(shared.faces[3].smoothGroup, 1u);

    // Split, every corner is a vertex of its own: a copy of the shared one, here
    // in world space, where a transform without keys holds at any time.
    Capture split(engine, CAPTURE_SPLIT_CORNERS | CAPTURE_WORLD_SPACE, 4800);
    ASSERT_EQ(split.result, 1);
    ASSERT_EQ(split.vertexCount, 15);
    ASSERT_EQ(split.faceCount, 5);
    for (int f = 0; f < 5; ++f) {
        for (int k = 0; k < 3; ++k) {
            const ExportVertex& corner = split.vertices[3 * f + k];
            const ExportVertex& vertex = shared.vertices[corners[f][k]];
            EXPECT_EQ(split.faces[f].vertexIndex[k], static_cast<uint32_t>(3 * f + k));
            EXPECT_EQ(corner.x, vertex.x) << f << "," << k;
            EXPECT_EQ(corner.z, vertex.z + (f < 3 ? 1000.0f : 0.0f)) << f << "," << k;
        }
    }

    // Vertices only: the same positions and counts, and no faces.
    for (const Capture* full : {&shared, &split}) {
        const int32_t options = full == &split ? CAPTURE_SPLIT_CORNERS | CAPTURE_WORLD_SPACE : 0;
        Capture positions(engine, options | CAPTURE_VERTICES_ONLY, 4800);
        ASSERT_EQ(positions.result, 1);
        EXPECT_EQ(positions.faces, nullptr);
        EXPECT_EQ(positions.faceCount, 5);
        ASSERT_EQ(positions.vertexCount, full->vertexCount);
        for (int32_t i = 0; i < full->vertexCount; ++i) {
            EXPECT_EQ(positions.vertices[i].y, full->vertices[i].y) << options << ": " << i;
            EXPECT_EQ(positions.vertices[i].z, full->vertices[i].z) << options << ": " << i;
        }
    }

    Capture second(engine, 1, 1, 0);  // B alone: its indices start at 0
    ASSERT_EQ(second.result, 1);
    EXPECT_EQ(second.vertexCount, 6);
    EXPECT_EQ(second.faces[0].vertexIndex[2], 5u);
    EXPECT_EQ(second.vertices[0].x, 0.5f);
    EXPECT_EQ(engine.errorSet, 0);
}

TEST(MeshCapture, CarriesPositionsIntoWorldSpaceAtTheCaptureTime) {
    Scene scene;
    SceneNode* node = scene.root->AddChild(MeshNode("Turned", 0, {}));
    node->mesh.verts = {Point3(1, 0, 0), Point3(0, 2, 0)};
    Matrix3 turned;  // a quarter turn about z, then 10 along x
    turned.row[0] = Point3(0, 1, 0);
    turned.row[1] = Point3(-1, 0, 0);
    turned.row[3] = Point3(10, 0, 0);
    Matrix3 raised = turned;
    raised.row[3].z = 20.0f;
    node->transformKeys = {{0.0, turned}, {10.0, raised}};  // frames 0 and 10, 160 ticks each
    ModelExporter engine;
    SetNodes(engine, {node});
    for (const auto& [t, z] : {std::pair<TimeValue, float>{0, 0.0f}, {800, 10.0f}, {1600, 20.0f}, {4000, 20.0f}}) {
        Capture world(engine, CAPTURE_WORLD_SPACE, t);
        ASSERT_EQ(world.result, 1);
        const float expected[2][3] = {{10, 1, z}, {8, 0, z}};
        for (int i = 0; i < 2; ++i) {
            EXPECT_EQ(world.vertices[i].x, expected[i][0]) << "t=" << t;
            EXPECT_EQ(world.vertices[i].y, expected[i][1]) << "t=" << t;
            EXPECT_EQ(world.vertices[i].z, expected[i][2]) << "t=" << t;
        }
    }
}

TEST(MeshCapture, CopiesColourCornersAndLeavesMissingChannelsZero) {
    Scene scene;
    LoadScene(scene, "example.json");
    SceneNode* box = scene.root->children[0].get();
    SceneNode* painted = scene.root->AddChild(MeshNode("Painted", 3, {{2, 1, 0}}));
    painted->mesh.vertCol = {Point3(1, 0.5f, 0.25f), Point3(0, 1, 0)};
    painted->mesh.vcFace = {TVFace{{1, 0, 1}}};
    ModelExporter engine;
    SetNodes(engine, {box, painted});
    Capture c(engine, 0);
    ASSERT_EQ(c.result, 1);
    ASSERT_EQ(c.faceCount, 3);
    const ExportFace& p = c.faces[2];
    const float red[3] = {0, 1, 0}, green[3] = {1, 0.5f, 1}, blue[3] = {0, 0.25f, 0};
    for (int k = 0; k < 3; ++k) {
        EXPECT_EQ(c.faces[1].v[k], k ? 1.0f : 0.0f);  // the box's texture face [0, 2, 3]
        EXPECT_EQ(c.faces[1].red[k], 0.0f);         // and no colours
        EXPECT_EQ(p.red[k], red[k]);
        EXPECT_EQ(p.green[k], green[k]);
        EXPECT_EQ(p.blue[k], blue[k]);
        EXPECT_EQ(p.u[k], 0.0f);  // nor the painted node texture vertices
        EXPECT_EQ(p.v[k], 0.0f);
    }
    EXPECT_EQ(c.vertices[2].u, 0.0f);  // shared corners keep coordinates on faces only
}

TEST(MeshCapture, FindsEachFacesBitmapThroughItsMaterial) {
    Scene scene;
    LoadScene(scene, "materials.json");
    StandinHost host(&scene);
    ModelExporter engine;
    ASSERT_EQ(engine.CollectNodes(&host, NODE_SELECTED), 1);
    ASSERT_EQ(engine.nodeCount, 5);
    Capture c(engine, CAPTURE_WORLD_SPACE);
    ASSERT_EQ(c.result, 1);
    ASSERT_EQ(c.faceCount, 9);
    const char* wood = static_cast<SceneBitmapTex*>(scene.materials[1]->diffuse.get())->GetMapName();
    const char* stone = static_cast<SceneBitmapTex*>(scene.materials[3]->diffuse.get())->GetMapName();
    // Multi (sub-materials Wood, empty, Stone) with ids 0, 1, 5, 65535, 4; Wood with id 7;
    // then a non-bitmap map, a material without a map, a node without a material.
    const char* expected[9] = {wood, nullptr, stone, wood, nullptr, wood, nullptr, nullptr, nullptr};
    for (int f = 0; f < 9; ++f) EXPECT_EQ(c.faces[f].fileName, expected[f]) << "face " << f;  // the host's own string

    const char* name = "untouched";
    EXPECT_EQ(engine.GetFaceMapName(engine.nodes[0], 1, &name), 0);
    EXPECT_STREQ(name, "untouched");
    EXPECT_EQ(engine.GetFaceMapName(engine.nodes[0], 2, &name), 1);
    EXPECT_EQ(name, stone);
    EXPECT_EQ(engine.errorSet, 0);
}

TEST(MeshCapture, ClampsThenSnapsTextureCoordinates) {
    // Face 0's corners (u, v): (1.3, -0.2) (1.0, 0.0) (NaN, 0.5);
    // face 1's: (0.51, 0.49) (inf, -inf) (-0.0, 0.75).
    Scene scene;
    SceneNode* node = scene.root->AddChild(MeshNode("UV", 3, {{0, 1, 2}, {2, 1, 0}}));
    node->mesh.tVerts = {Point3(1.3f, -0.2f, 9), Point3(1.0f, 0.0f, 9), Point3(kNaN, 0.5f, 9),
                         Point3(0.51f, 0.49f, 9), Point3(kInf, -kInf, 9), Point3(-0.0f, 0.75f, 9)};
    node->mesh.tvFace = {TVFace{{0, 1, 2}}, TVFace{{3, 4, 5}}};
    ModelExporter engine;
    SetNodes(engine, {node});
    using Twelve = std::array<float, 12>;  // u0 v0 u1 v1 u2 v2 of face 0, then face 1
    const Twelve snapped = {1, 0, 1, 0, 0, 0, 1, 0, 1, 0, 0, 1};
    const struct {
        int32_t options;
        Twelve expected;
    } cases[] = {
        {0, Twelve{1.3f, -0.2f, 1.0f, 0.0f, kNaN, 0.5f, 0.51f, 0.49f, kInf, -kInf, -0.0f, 0.75f}},
        {CAPTURE_CLAMP_UV, Twelve{1.0f, 0.0f, 1.0f, 0.0f, 0.0f, 0.5f, 0.51f, 0.49f, 1.0f, 0.0f, -0.0f, 0.75f}},
        {CAPTURE_SNAP_UV, snapped},
        {CAPTURE_CLAMP_UV | CAPTURE_SNAP_UV, snapped},
    };
    const auto same = [](float got, float want) {
        return std::isnan(want) ? std::isnan(got) : (got == want && std::signbit(got) == std::signbit(want));
    };
    for (const auto& c : cases) {
        for (int32_t split : {0, int32_t{CAPTURE_SPLIT_CORNERS}}) {
            Capture cap(engine, c.options | split);
            ASSERT_EQ(cap.result, 1);
            for (int i = 0; i < 6; ++i) {
                const int f = i / 3, k = i % 3;
                const float u = c.expected[2 * i], v = c.expected[2 * i + 1];
                SCOPED_TRACE(testing::Message() << "options " << (c.options | split) << " face " << f << " corner " << k);
                EXPECT_TRUE(same(cap.faces[f].u[k], u));
                EXPECT_TRUE(same(cap.faces[f].v[k], v));
                if (split) {
                    EXPECT_TRUE(same(cap.vertices[i].u, u));
                    EXPECT_TRUE(same(cap.vertices[i].v, v));
                }
            }
        }
    }
}

TEST(MeshCapture, CopiesFlagsOnlyWhenAsked) {
    Scene scene;
    LoadScene(scene, "flags.json");
    ModelExporter engine;
    SetNodes(engine, {scene.root->children[0].get()});
    // Vertex 5 and face 2 carry marks; face 2 is (4, 5, 6).
    const struct {
        int32_t options;
        uint32_t vertexMask, faceMask;
    } cases[] = {
        {CAPTURE_VERTEX_FLAGS, 0b1011u, 0},
        {CAPTURE_FACE_FLAGS, 0, 0x80000000u},
    };
    for (const auto& k : cases) {
        Capture c(engine, k.options);
        ASSERT_EQ(c.result, 1);
        EXPECT_EQ(c.vertices[5].head.flagMask, k.vertexMask) << k.options;
        EXPECT_EQ(c.faces[2].head.flagMask, k.faceMask) << k.options;
    }
    // Split, face 2's corners carry the marks of vertices 4, 5, 6.
    Capture split(engine, CAPTURE_VERTEX_FLAGS | CAPTURE_FACE_FLAGS | CAPTURE_SPLIT_CORNERS);
    ASSERT_EQ(split.result, 1);
    EXPECT_EQ(split.vertices[7].head.flagMask, 0b1011u);
    EXPECT_EQ(split.vertices[7].head.flagValues[7], 256u);
    EXPECT_EQ(split.vertices[8].head.flagMask, 0b1001u);
    EXPECT_EQ(split.faces[2].head.flagMask, 0x80000000u);
    EXPECT_EQ(split.faces[2].head.flagValues[6], 7u);
    EXPECT_EQ(engine.errorSet, 0);
}

// Empty ranges and empty meshes succeed with zero counts; a range beyond the
// list fails before any node is evaluated or any out-parameter written.
TEST(MeshCaptureFailure, ChecksTheRangeBeforeTouchingAnything) {
    Scene scene;
    SceneNode* empty = scene.root->AddChild(MeshNode("Empty", 0, {}));
    ModelExporter engine;
    SetNodes(engine, {empty, empty});
    const struct {
        int32_t first;
        uint32_t count;
        int result;
    } ranges[] = {{0, 0, 1}, {0, 2, 1}, {2, 0, 1}, {0, 3, 0}, {2, 1, 0}, {3, 0, 0}, {-1, 1, 0}, {-1, 0, 0}, {1, 0xFFFFFFFFu, 0}};
    for (const auto& r : ranges) {
        SCOPED_TRACE(testing::Message() << r.first << " + " << r.count);
        const int evaluations = empty->evaluations;
        Capture c(engine, r.first, r.count, CAPTURE_WORLD_SPACE | CAPTURE_SPLIT_CORNERS | CAPTURE_VERTEX_FLAGS);
        EXPECT_EQ(c.result, r.result);
        if (r.result) {
            EXPECT_EQ(c.vertexCount, 0);
            EXPECT_EQ(c.faceCount, 0);
        } else {
            EXPECT_TRUE(c.ArraysUntouched());
            EXPECT_EQ(c.vertexCount, 77);
            EXPECT_EQ(c.faceCount, 88);
            EXPECT_EQ(empty->evaluations, evaluations);
        }
    }
    EXPECT_STREQ(engine.errorText, "Mesh range invalid");
    EXPECT_STREQ(engine.errorCaption, "Internal Parameter Error");
    ModelExporter none;  // no list at all
    EXPECT_EQ(Capture(none, 0, 0, CAPTURE_WORLD_SPACE).result, 1);
    EXPECT_EQ(none.errorSet, 0);
}

// --- A host of the test's own --------------------------------------------------

// Each evaluation gives the next mesh of the script (the last one repeats); a
// missing mesh is an object that cannot become a triangle mesh. The times of
// evaluations and conversions are kept.
class ScriptedNode : public SceneNode {
public:
    explicit ScriptedNode(std::vector<std::optional<Mesh>> script) : script_(std::move(script)) {}
    const ObjectState& EvalWorldState(TimeValue t, int) override {
        evaluationTimes.push_back(t);
        const auto& next = script_[std::min(evaluationTimes.size(), script_.size()) - 1];
        object_.convertible = next.has_value();
        object_.mesh = next.value_or(Mesh());
        state_ = ObjectState(&object_);
        return state_;
    }
    std::vector<TimeValue> evaluationTimes, conversionTimes;

private:
    struct Scripted : TriObject {
        explicit Scripted(ScriptedNode* node) : node(node) {}
        SClass_ID SuperClassID() override { return 16; }
        int CanConvertToType(Class_ID type) override { return convertible && type == triObjectClassID; }
        Object* ConvertToType(TimeValue t, Class_ID type) override {
            node->conversionTimes.push_back(t);
            return CanConvertToType(type) ? this : nullptr;
        }
        void DeleteThis() override {}
        Mesh& GetMesh() override { return mesh; }
        ScriptedNode* node;
        bool convertible = false;
        Mesh mesh;
    } object_{this};
    std::vector<std::optional<Mesh>> script_;
    ObjectState state_;
};

Mesh Triangles(int vertexCount, int faceCount) {
    Mesh m;
    for (int j = 0; j < vertexCount; ++j) m.verts.emplace_back(static_cast<float>(j), 0.0f, 0.0f);
    for (int f = 0; f < faceCount; ++f) {
        Face face;
        for (int k = 0; k < 3; ++k) face.v[k] = static_cast<uint32_t>((f + k) % vertexCount);
        m.faces.push_back(face);
    }
    return m;
}

// The arrays are sized by the counting pass; whatever the second evaluation
// gives, nothing is written beyond them (the sanitizer build checks), and what
// was filled is left to the caller.
TEST(MeshCaptureFailure, MeshesThatChangeBetweenThePassesFailTheCapture) {
    const struct {
        Mesh counted;
        std::optional<Mesh> filled;
        int32_t options;
        int32_t filledFaces;
    } cases[] = {
        {Triangles(3, 1), std::nullopt, 0, 2},
        {Triangles(3, 1), Triangles(4, 1), 0, 2},
        {Triangles(3, 1), Triangles(3, 2), 0, 2},
        {Triangles(3, 2), Triangles(3, 1), 0, 3},
        {Triangles(4, 1), Triangles(3, 1), CAPTURE_VERTEX_FLAGS | CAPTURE_FACE_FLAGS, 3},
        {Triangles(5, 2), Triangles(9, 4), CAPTURE_SPLIT_CORNERS | CAPTURE_VERTEX_FLAGS, 2},
    };
    for (const auto& k : cases) {
        Scene scene;
        SceneNode* before = scene.root->AddChild(MeshNode("Before", 4, {{0, 1, 2}, {1, 2, 3}}));
        ScriptedNode changing({k.counted, k.filled});
        ModelExporter engine;
        SetNodes(engine, {before, &changing});
        Capture c(engine, k.options);
        EXPECT_EQ(c.result, 0);
        EXPECT_STREQ(engine.errorText, kNoMesh);
        EXPECT_STREQ(engine.errorCaption, "Internal Parameter Error");
        ASSERT_NE(c.vertices, nullptr);
        ASSERT_NE(c.faces, nullptr);
        EXPECT_EQ(c.faceCount, k.filledFaces);
        const uint32_t corner = c.faces[1].vertexIndex[2];  // Before's vertex 3
        EXPECT_EQ(corner, k.options & CAPTURE_SPLIT_CORNERS ? 5u : 3u);
        EXPECT_EQ(c.vertices[corner].x, 3.0f);
    }
}

TEST(MeshCaptureFailure, ABadHostMeshFailsInsteadOfReadingOutOfBounds) {
    const struct {
        const char* name;
        void (*spoil)(Mesh& m);  // of two faces over three vertices
        const char* expected;
    } cases[] = {
        {"Vertex", [](Mesh& m) { m.faces[1].v[2] = 3; }, "Face 1 of node Vertex has a vertex index out of range"},
        {"Texture", [](Mesh& m) { m.tVerts.resize(2); m.tvFace = {TVFace{{0, 1, 1}}, TVFace{{0, 2, 1}}}; },
         "Face 1 of node Texture has a texture vertex index out of range"},
        {"FewTextureFaces", [](Mesh& m) { m.tVerts.resize(1); m.tvFace.resize(1); },
         "Node FewTextureFaces has fewer texture faces than faces"},
        {"Colour", [](Mesh& m) { m.vertCol.resize(1); m.vcFace = {TVFace{}, TVFace{{0, 0, 0xFFFFFFFFu}}}; },
         "Face 1 of node Colour has a colour vertex index out of range"},
    };
    for (const auto& c : cases) {
        for (int32_t split : {0, int32_t{CAPTURE_SPLIT_CORNERS}}) {
            Scene scene;
            SceneNode* node = scene.root->AddChild(MeshNode(c.name, 3, {{0, 1, 2}, {2, 1, 0}}));
            c.spoil(node->mesh);
            ModelExporter engine;
            SetNodes(engine, {node});
            EXPECT_EQ(Capture(engine, CAPTURE_WORLD_SPACE | split).result, 0);
            EXPECT_STREQ(engine.errorText, c.expected);
            EXPECT_STREQ(engine.errorCaption, "Scene Error");
        }
    }
}

TEST(MeshCaptureHost, ReleasesEveryObjectAConversionCreated) {
    Scene scene;
    SceneNode* made = scene.root->AddChild(MeshNode("Made", 3, {{0, 1, 2}}));
    made->conversionCreates = true;
    SceneNode* plain = scene.root->AddChild(MeshNode("Plain", 3, {{0, 1, 2}}));
    ModelExporter engine;
    {
        NodeMesh held = engine.GetNodeMesh(made, 0);
        ASSERT_TRUE(held);
        EXPECT_EQ(held->getNumFaces(), 1);
        EXPECT_EQ(SceneTriObject::liveConversions, 1);
        NodeMesh moved = std::move(held);
        NodeMesh itself = engine.GetNodeMesh(plain, 0);  // already a triangle mesh: nothing created
        EXPECT_EQ(SceneTriObject::liveConversions, 1);
    }
    EXPECT_EQ(SceneTriObject::liveConversions, 0);

    SetNodes(engine, {made, plain, made});
    for (int32_t options : {int32_t{CAPTURE_WORLD_SPACE}, CAPTURE_SPLIT_CORNERS | CAPTURE_VERTEX_FLAGS}) {
        EXPECT_EQ(Capture(engine, options).result, 1);
        EXPECT_EQ(SceneTriObject::liveConversions, 0);
    }
    made->mesh.faces[0].v[0] = 9;  // a fill-pass failure after a conversion
    EXPECT_EQ(Capture(engine, CAPTURE_WORLD_SPACE).result, 0);
    EXPECT_EQ(SceneTriObject::liveConversions, 0);
}

}  // namespace
