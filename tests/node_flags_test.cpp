// Vertex and face flags read from a node's "Vezo zi!" modifiers.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "export/model_exporter.h"
#include "standin/host/json_scene_loader.h"

namespace {

using standin::Scene;
using standin::SceneModifier;
using standin::SceneNode;

const std::string kScenes = std::string(VORN_TEST_DATA_DIR) + "/scenes";

constexpr const char* kVertexMismatch = "Mesh vertex count inconsistent throughout modifier stack..unable to get flags";
constexpr const char* kFaceMismatch = "Mesh face count inconsistent throughout modifier stack..unable to get flags";

struct Blocks {
    explicit Blocks(size_t vertexCount, size_t faceCount) : vertices(vertexCount), faces(faceCount) {}
    std::vector<FlagBlock> vertices;
    std::vector<FlagBlock> faces;
};

Blocks Read(ModelExporter& engine, INode* node, int32_t vertexCount, int32_t faceCount) {
    Blocks b(static_cast<size_t>(vertexCount), static_cast<size_t>(faceCount));
    engine.ReadNodeFlags(node, vertexCount, b.vertices.data(), faceCount, b.faces.data());
    return b;
}

bool AllZero(const std::vector<FlagBlock>& blocks, std::vector<size_t> except = {}) {
    for (size_t i = 0; i < blocks.size(); ++i) {
        if (std::find(except.begin(), except.end(), i) != except.end()) continue;
        if (blocks[i].flagMask) return false;
        for (uint32_t v : blocks[i].flagValues) {
            if (v) return false;
        }
    }
    return true;
}

class NodeFlags : public ::testing::Test {
protected:
    void SetUp() override {
        std::string error;
        ASSERT_TRUE(standin::LoadJsonScene(kScenes + "/flags.json", scene, error)) << error;
        node = scene.root->children[0].get();
    }
    Scene scene;
    SceneNode* node = nullptr;
    ModelExporter engine;
};

// flags.json, index 0 first: "Vezo zi!" vertices {5, 6} toggles 0 and 3,
// values[0] 1 and values[7] 256; "Edit Mesh" (all toggles, vertex 0);
// "Vezo zi!" vertex 5 toggle 1, values[0] 2; "Vezo zi!" at face level, face 2,
// toggle 31, values[6] 7, with vertices 0..2 selected too.
TEST_F(NodeFlags, OrsTheMarksOfEveryFlagModifier) {
    const Blocks b = Read(engine, node, 7, 3);
    EXPECT_EQ(engine.errorSet, 0);
    EXPECT_EQ(b.vertices[5].flagMask, 0b1011u);
    EXPECT_EQ(b.vertices[5].flagValues[0], 3u);
    EXPECT_EQ(b.vertices[5].flagValues[7], 256u);
    EXPECT_EQ(b.vertices[6].flagMask, 0b1001u);
    EXPECT_TRUE(AllZero(b.vertices, {5, 6}));  // not the face-level or "Edit Mesh" selections
    EXPECT_EQ(b.faces[2].flagMask, 0x80000000u);
    EXPECT_EQ(b.faces[2].flagValues[6], 7u);
    EXPECT_TRUE(AllZero(b.faces, {2}));
}

TEST_F(NodeFlags, StopsAtASizeMismatchKeepingWhatWasMarked) {
    const struct {
        int32_t vertexCount, faceCount;
        const char* text;
    } cases[] = {{6, 3, kVertexMismatch}, {7, 4, kFaceMismatch}};
    for (const auto& c : cases) {
        ModelExporter fresh;
        const Blocks b = Read(fresh, node, c.vertexCount, c.faceCount);
        EXPECT_STREQ(fresh.errorText, c.text);
        EXPECT_STREQ(fresh.errorCaption, "Scene Error");
        EXPECT_TRUE(AllZero(b.vertices));  // the last modifier, visited first, stopped it
        EXPECT_TRUE(AllZero(b.faces));
    }
    // A mismatch on the first modifier is met last: the others have marked by then.
    node->modifiers[0]->selection.vertSel.SetSize(8);
    const Blocks b = Read(engine, node, 7, 3);
    EXPECT_STREQ(engine.errorText, kVertexMismatch);
    EXPECT_EQ(b.vertices[5].flagMask, 0b10u);
    EXPECT_EQ(b.vertices[6].flagMask, 0u);
    EXPECT_EQ(b.faces[2].flagMask, 0x80000000u);
}

TEST_F(NodeFlags, MarksNothingAtOtherLevels) {
    for (auto& m : node->modifiers) m->level = 1;
    const Blocks b = Read(engine, node, 7, 3);
    EXPECT_TRUE(AllZero(b.vertices));
    EXPECT_TRUE(AllZero(b.faces));
}

TEST_F(NodeFlags, ShiftsEachToggleByItsNumber) {
    SceneModifier& m = *node->modifiers[3];
    for (int& t : m.toggles) t = 0;
    m.toggles[30] = 3;  // the host stores ints: every bit is shifted
    m.toggles[31] = 2;  // shifted out of the word
    m.toggles[0] = 4;
    const Blocks b = Read(engine, node, 7, 3);
    EXPECT_EQ(b.faces[2].flagMask, 0xC0000004u);
}

TEST(NodeFlagsStack, AnObjectWithoutStackOrFlagModifierLeavesBlocksZero) {
    Scene scene;
    std::string error;
    ASSERT_TRUE(standin::LoadJsonScene(kScenes + "/example.json", scene, error)) << error;
    SceneNode& box = *scene.root->children[0];
    ModelExporter engine;
    for (bool stack : {false, true}) {
        if (stack) {
            box.hasModifierStack = true;
            auto& m = *box.modifiers.emplace_back(std::make_unique<SceneModifier>());
            m.name = "vezo zi!";  // compared exactly
            m.level = 3;
            m.toggles[0] = 1;
            m.selection.vertSel.SetSize(4);
            m.selection.vertSel.Set(0);
            m.selection.faceSel.SetSize(2);
        }
        const Blocks b = Read(engine, &box, 4, 2);
        EXPECT_TRUE(AllZero(b.vertices)) << stack;
        EXPECT_TRUE(AllZero(b.faces)) << stack;
    }
    EXPECT_EQ(engine.errorSet, 0);
}

class NodeWithoutObject : public SceneNode {
public:
    Object* GetObjectRef() override { return nullptr; }
};

TEST(NodeFlagsStack, ANodeWithoutObjectReferenceIsReported) {
    NodeWithoutObject node;
    ModelExporter engine;
    const Blocks b = Read(engine, &node, 1, 1);
    EXPECT_STREQ(engine.errorText, "Could not get object reference for flag retrieval");
    EXPECT_STREQ(engine.errorCaption, "Internal Program Error");
    EXPECT_TRUE(AllZero(b.vertices));
}

}  // namespace
