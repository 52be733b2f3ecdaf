// Node collection: pre-order over the host's tree, each request bit, and each
// tested node evaluated once a pass.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "core/model_exporter.h"
#include "standin/host/json_scene_loader.h"

namespace {

using standin::Scene;
using standin::SceneNode;
using standin::StandinHost;

const std::string kScenes = std::string(VORN_TEST_DATA_DIR) + "/scenes";

std::vector<std::string> Names(const ModelExporter& engine) {
    std::vector<std::string> names;
    for (int32_t i = 0; i < engine.nodeCount; ++i) names.push_back(engine.nodes[i]->GetName());
    return names;
}

class NodeCollection : public ::testing::Test {
protected:
    void SetUp() override {
        std::string error;
        ASSERT_TRUE(standin::LoadJsonScene(kScenes + "/tree.json", scene, error)) << error;
    }
    Scene scene;
    ModelExporter engine;
};

// tree.json: Scene Root { A, B (super-class 0x30, no mesh) { C, Unselected },
// NoMaterial (selected) { Root { root } } }; every node but NoMaterial has the material.
TEST_F(NodeCollection, TakesEachRequestedPropertyInPreOrder) {
    StandinHost host(&scene);
    using V = std::vector<std::string>;
    const struct {
        int32_t bits;
        V expected;
    } cases[] = {
        {0, V{"A", "B", "C", "Unselected", "NoMaterial", "root"}},
        {NODE_SELECTED, V{"A", "B", "C", "NoMaterial", "root"}},
        {NODE_HAS_MATERIAL, V{"A", "B", "C", "Unselected", "root"}},
        {NODE_TRI_MESH, V{"A", "C", "Unselected", "NoMaterial", "root"}},
        {NODE_SUPER_CLASS_MATCH, V{"B"}},
        {NODE_SELECTED | NODE_HAS_MATERIAL, V{"A", "B", "C", "root"}},
        {NODE_SELECTED | NODE_HAS_MATERIAL | NODE_TRI_MESH, V{"A", "C", "root"}},
        {NODE_SELECTED | NODE_HAS_MATERIAL | NODE_STORE, V{"A", "B", "C", "root"}},
        {NODE_SUPER_CLASS_MATCH | NODE_TRI_MESH, V{}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(engine.CollectNodes(&host, c.bits), 1);
        EXPECT_EQ(Names(engine), c.expected) << "bits " << c.bits;
    }
    EXPECT_EQ(engine.errorSet, 0);
}

TEST_F(NodeCollection, EvaluatesEveryTestedNodeOnceInEachPassAndTheRootNever) {
    StandinHost host(&scene);
    ASSERT_EQ(engine.CollectNodes(&host, 12), 1);
    EXPECT_EQ(scene.root->evaluations, 0);
    EXPECT_EQ(scene.root->children[0]->evaluations, 2);
    EXPECT_EQ(scene.root->children[2]->children[0]->evaluations, 0);  // "Root"
}

// A node that is selected only from its given evaluation on.
class LateSelectedNode : public SceneNode {
public:
    explicit LateSelectedNode(int selectedFrom) : selectedFrom_(selectedFrom) {}
    int Selected() override { return ++asked_ >= selectedFrom_ ? 1 : 0; }

private:
    int selectedFrom_;
    int asked_ = 0;
};

}  // namespace
