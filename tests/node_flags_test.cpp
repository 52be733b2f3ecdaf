// Vertex and face flags read from a node's "Vezo zi!" modifiers.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/model_exporter.h"
#include "standin/host/json_scene_loader.h"

namespace {

using standin::Scene;
using standin::SceneModifier;
using standin::SceneNode;
using Masks = std::vector<uint32_t>;

const std::string kScenes = std::string(VORN_TEST_DATA_DIR) + "/scenes";

constexpr const char* kVertexMismatch = "Mesh vertex count inconsistent throughout modifier stack..unable to get flags";
constexpr const char* kFaceMismatch = "Mesh face count inconsistent throughout modifier stack..unable to get flags";

struct Blocks {
    std::vector<FlagBlock> vertices, faces;
};

Blocks Read(ModelExporter& engine, INode* node, int32_t vertexCount, int32_t faceCount) {
    Blocks b{std::vector<FlagBlock>(static_cast<size_t>(vertexCount)), std::vector<FlagBlock>(static_cast<size_t>(faceCount))};
    engine.ReadNodeFlags(node, vertexCount, b.vertices.data(), faceCount, b.faces.data());
    return b;
}

Masks MasksOf(const std::vector<FlagBlock>& blocks) {
    Masks masks;
    for (const FlagBlock& b : blocks) masks.push_back(b.flagMask);
    return masks;
}

// flags.json, index 0 first: "Vezo zi!" vertices {5, 6} toggles 0 and 3,
// values[0] 1 and values[7] 256; "Edit Mesh" (all toggles, vertex 0);
// "Vezo zi!" vertex 5 toggle 1, values[0] 2; "Vezo zi!" at face level, face 2,
// toggle 31, values[6] 7, with vertices 0..2 selected too. 7 vertices, 3 faces.
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

TEST_F(NodeFlags, OrsTheMarksOfEveryFlagModifier) {
    const Blocks b = Read(engine, node, 7, 3);
    EXPECT_EQ(engine.errorSet, 0);
    // Not the face-level modifier's vertices, nor "Edit Mesh"'s.
    EXPECT_EQ(MasksOf(b.vertices), (Masks{0, 0, 0, 0, 0, 0b1011, 0b1001}));
    EXPECT_EQ(MasksOf(b.faces), (Masks{0, 0, 0x80000000u}));
    EXPECT_EQ(b.vertices[5].flagValues[0], 3u);
    EXPECT_EQ(b.vertices[5].flagValues[7], 256u);
    EXPECT_EQ(b.faces[2].flagValues[6], 7u);
    EXPECT_EQ(b.vertices[4].flagValues[0] | b.vertices[4].flagValues[7], 0u);  // values go with the marks
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
        // The last modifier, visited first, stopped it.
        EXPECT_EQ(MasksOf(b.vertices), Masks(static_cast<size_t>(c.vertexCount), 0));
        EXPECT_EQ(MasksOf(b.faces), Masks(static_cast<size_t>(c.faceCount), 0));
    }
    // A mismatch on the first modifier is met last: the others have marked by then.
    node->modifiers[0]->selection.vertSel.SetSize(8);
    const Blocks b = Read(engine, node, 7, 3);
    EXPECT_STREQ(engine.errorText, kVertexMismatch);
    EXPECT_EQ(MasksOf(b.vertices), (Masks{0, 0, 0, 0, 0, 0b10, 0}));
    EXPECT_EQ(MasksOf(b.faces), (Masks{0, 0, 0x80000000u}));
}

TEST_F(NodeFlags, ShiftsEachToggleByItsNumber) {
    SceneModifier& m = *node->modifiers[3];
    for (int& t : m.toggles) t = 0;
    m.toggles[30] = 3;  // the host stores ints: every bit is shifted
    m.toggles[31] = 2;  // shifted out of the word
    m.toggles[0] = 4;
    EXPECT_EQ(Read(engine, node, 7, 3).faces[2].flagMask, 0xC0000004u);
}

// Only modifiers named exactly "Vezo zi!", at vertex or face level, in a
// modifier stack, mark anything.
TEST_F(NodeFlags, MarksNothingWithoutAFlagModifierAtAMarkingLevel) {
    for (int change = 0; change < 3; ++change) {
        SetUp();
        node->hasModifierStack = change != 0;
        for (auto& m : node->modifiers) {
            if (change == 1) m->name = "vezo zi!";
            if (change == 2) m->level = 1;
        }
        const Blocks b = Read(engine, node, 7, 3);
        EXPECT_EQ(MasksOf(b.vertices), Masks(7, 0)) << change;
        EXPECT_EQ(MasksOf(b.faces), Masks(3, 0)) << change;
    }
    EXPECT_EQ(engine.errorSet, 0);
}

class NodeWithoutObject : public SceneNode {
public:
    Object* GetObjectRef() override { return nullptr; }
};

}  // namespace
