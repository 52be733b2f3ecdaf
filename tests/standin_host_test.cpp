// The stand-in host through the SDK surface, where collection and capture do
// not already try it: lists, key sampling, conversions, modifier stacks, the
// live host and its observers.
#include <gtest/gtest.h>

#include <cstring>
#include <limits>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "platform/file_access.h"
#include "standin/host/host_files.h"
#include "standin/host/json_scene_loader.h"
#include "support/scratch_folder.h"

namespace {

using standin::Scene;
using standin::SceneNode;
using standin::SceneTriObject;
using standin::StandinHost;

const std::string kScenes = std::string(VORN_TEST_DATA_DIR) + "/scenes";

void Load(Scene& scene, const std::string& file) {
    std::string error;
    ASSERT_TRUE(standin::LoadJsonScene(kScenes + "/" + file, scene, error)) << error;
}

uint32_t Bits(float f) {
    uint32_t u;
    std::memcpy(&u, &f, sizeof u);
    return u;
}

Mesh& EvaluatedMesh(INode* node, TimeValue t) {
    Object* obj = node->EvalWorldState(t).obj;
    auto* tri = dynamic_cast<TriObject*>(obj);
    EXPECT_NE(tri, nullptr);
    return tri->GetMesh();
}

// What collection and capture do not ask: children and sub-materials outside
// their lists, and maps outside the diffuse slot.
TEST(StandinHost, AnswersNothingOutsideItsLists) {
    Scene scene;
    Load(scene, "tree.json");
    StandinHost host(&scene);
    INode* root = host.GetRootNode();
    ASSERT_NE(root, nullptr);
    EXPECT_STREQ(root->GetName(), "Scene Root");
    ASSERT_EQ(root->NumberOfChildren(), 3);
    EXPECT_EQ(root->GetChildNode(3), nullptr);
    EXPECT_EQ(root->GetChildNode(-1), nullptr);

    Scene materials;
    Load(materials, "materials.json");  // Multi [Wood, empty, Stone], Wood, Noise, Stone, Plain
    Mtl* multi = materials.materials[0].get();
    EXPECT_STREQ(multi->GetName().data(), "Multi");
    ASSERT_EQ(multi->NumSubMtls(), 3);
    EXPECT_EQ(multi->GetSubMtl(3), nullptr);
    EXPECT_EQ(multi->GetSubMtl(-1), nullptr);
    Texmap* wood = materials.materials[1]->GetSubTexmap(ID_DI);
    ASSERT_NE(wood, nullptr);
    EXPECT_EQ(std::string(static_cast<BitmapTex*>(wood)->GetMapName()), kScenes + "/wood.bmp");
    EXPECT_EQ(materials.materials[1]->GetSubTexmap(0), nullptr);
    Texmap* noise = materials.materials[2]->GetSubTexmap(ID_DI);
    ASSERT_NE(noise, nullptr);
    EXPECT_EQ(noise->ClassID(), Class_ID(0x1234, 0));
}

// Keys at frames 0, 3 and 6 (the last as the one before), given out of order.
TEST(StandinHost, SamplesKeysAtAndBetweenKeysInSinglePrecision) {
    Scene scene;
    std::string error;
    ASSERT_TRUE(standin::LoadJsonSceneText(R"({ "format": "md2-scene", "version": 1, "root": { "children": [ {
        "mesh": { "vertices": [[9,9,9],[5,5,5]] },
        "vertexKeys": [ { "frame": 3, "vertices": [[-2.9, 4, 0],[1,1,1]] }, { "frame": 6, "vertices": [[-2.9, 4, 0],[1,1,1]] },
                        { "frame": 0, "vertices": [[1.3, 4, 0],[1,1,1]] } ],
        "transformKeys": [ { "frame": 0, "rows": [[1,0,0],[0,1,0],[0,0,1],[1.3,0,0]] },
                           { "frame": 3, "rows": [[1,0,0],[0,1,0],[0,0,1],[-2.9,0,10]] },
                           { "frame": 6, "rows": [[1,0,0],[0,1,0],[0,0,1],[-2.9,0,10]] } ] } ] } })",
                                           std::nullopt, scene, error))
        << error;
    INode* node = scene.root->GetChildNode(0);
    // Between keys: f = 137 / 160 in double, s = f / 3 rounded to single, then
    // v0 + (v1 - v0) * s in single, which differs from the double blend. On a
    // key, that key holds as it stands: blending up to it would miss -2.9.
    const struct {
        TimeValue t;
        float x, z;
    } samples[] = {
        {-500, 1.3f, 0.0f}, {0, 1.3f, 0.0f}, {137, 0x1.9eb86p-4f, 0x1.6d5554p+1f}, {480, -2.9f, 10.0f}, {10000, -2.9f, 10.0f},
    };
    for (const auto& s : samples) {
        const Mesh& mesh = EvaluatedMesh(node, s.t);
        EXPECT_EQ(Bits(mesh.verts[0].x), Bits(s.x)) << "t=" << s.t;
        EXPECT_EQ(mesh.verts[0].y, 4.0f);
        EXPECT_EQ(mesh.verts[1].x, 1.0f);
        const Matrix3 tm = node->GetObjectTM(s.t);
        EXPECT_EQ(Bits(tm.row[3].x), Bits(s.x)) << "t=" << s.t;
        EXPECT_EQ(Bits(tm.row[3].z), Bits(s.z)) << "t=" << s.t;
        EXPECT_EQ(tm.row[0].x, 1.0f);
    }
}

TEST(StandinHost, KeySpanOfANaNFrameIsTheFirstKey) {
    const standin::KeySpan span = standin::FindKeySpan({0.0, 1.0, 2.0}, std::numeric_limits<double>::quiet_NaN());
    EXPECT_EQ(span.a, 0u);
    EXPECT_EQ(span.b, 0u);
}

// A primitive converts by creating a new triangle mesh, of the mesh as
// evaluated, that the caller releases; a triangle mesh converts to itself.
TEST(StandinHost, AConvertingObjectCreatesWhatTheCallerReleases) {
    Scene scene;
    auto node = std::make_unique<SceneNode>();
    node->hasMesh = node->convertible = node->conversionCreates = true;
    node->mesh.verts = {Point3(1, 2, 3)};
    node->vertexKeys.push_back({0.0, {Point3(1, 2, 3)}});
    node->vertexKeys.push_back({1.0, {Point3(3, 2, 1)}});
    SceneNode* n = scene.root->AddChild(std::move(node));
    Object* obj = n->EvalWorldState(160).obj;  // frame 1
    ASSERT_NE(obj, nullptr);
    EXPECT_EQ(dynamic_cast<TriObject*>(obj), nullptr);
    EXPECT_EQ(obj->CanConvertToType(Class_ID(1, 2)), 0);
    Object* converted = obj->ConvertToType(0, triObjectClassID);
    ASSERT_NE(converted, nullptr);
    EXPECT_NE(converted, obj);
    EXPECT_EQ(SceneTriObject::liveConversions, 1);
    EXPECT_EQ(static_cast<TriObject*>(converted)->GetMesh().verts[0].x, 3.0f);
    converted->DeleteThis();
    EXPECT_EQ(SceneTriObject::liveConversions, 0);

    n->hasMesh = false;  // convertible, but nothing to convert
    EXPECT_EQ(n->EvalWorldState(0).obj->ConvertToType(0, triObjectClassID), nullptr);
    n->hasMesh = true;  // a triangle mesh already, of nothing else
    n->conversionCreates = false;
    obj = n->EvalWorldState(0).obj;
    EXPECT_EQ(obj->CanConvertToType(Class_ID(1, 2)), 0);
    EXPECT_EQ(obj->ConvertToType(480, triObjectClassID), obj);
    n->vertexKeys.clear();
    obj = n->EvalWorldState(0).obj;
    EXPECT_EQ(obj->CanConvertToType(Class_ID(1, 2)), 0);
    EXPECT_EQ(obj->ConvertToType(480, triObjectClassID), obj);
    EXPECT_EQ(SceneTriObject::liveConversions, 0);
}

TEST(StandinHost, GivesTheModifierStackOfNodesThatHaveOne) {
    Scene scene;
    Load(scene, "flags.json");
    auto* stack = dynamic_cast<IDerivedObject*>(scene.root->GetChildNode(0)->GetObjectRef());
    ASSERT_NE(stack, nullptr);
    EXPECT_EQ(stack->SuperClassID(), GEN_DERIVOB_CLASS_ID);
    ASSERT_EQ(stack->NumModifiers(), 4);
    EXPECT_EQ(stack->GetModifier(4), nullptr);
    EXPECT_EQ(stack->GetModContext(-1), nullptr);

    Scene plain;
    Load(plain, "example.json");
    Object* base = plain.root->GetChildNode(0)->GetObjectRef();
    ASSERT_NE(base, nullptr);
    EXPECT_EQ(base->SuperClassID(), 16u);
}

TEST(StandinHost, ASubtreeAttachedLaterTakesTheTreesTicks) {
    Scene scene;
    scene.SetTicksPerFrame(10);
    auto parent = std::make_unique<SceneNode>();
    parent->AddChild(std::make_unique<SceneNode>());  // built at the default ticks
    SceneNode* attached = scene.root->AddChild(std::move(parent));
    EXPECT_EQ(attached->ticksPerFrame, 10);
    EXPECT_EQ(attached->children[0]->ticksPerFrame, 10);
}

TEST(StandinHost, TheLatestLiveHostAnswersWhateverOrderHostsGoIn) {
    Scene a, b, c;
    a.ticksPerFrame = 1;
    b.ticksPerFrame = 2;
    c.ticksPerFrame = 3;
    auto first = std::make_unique<StandinHost>(&a);
    auto second = std::make_unique<StandinHost>(&b);
    auto third = std::make_unique<StandinHost>(&c);
    EXPECT_EQ(GetTicksPerFrame(), 3);
    second.reset();  // out of order
    EXPECT_EQ(GetTicksPerFrame(), 3);
    third.reset();
    EXPECT_EQ(StandinHost::Active(), first.get());
    EXPECT_EQ(GetTicksPerFrame(), 1);
    first.reset();
    EXPECT_EQ(GetTicksPerFrame(), standin::kDefaultTicksPerFrame);
}

// What a command follows an export's progress by: the transforms asked for.
TEST(StandinHost, TellsItsObserverWhatThePluginAsks) {
    SKIP_WITHOUT_DRIVE_MAPPING();
    Scene scene;
    Load(scene, "example.json");
    INode* box = scene.root->GetChildNode(0);
    StandinHost host(&scene);
    std::vector<std::pair<INode*, TimeValue>> asked;
    host.transformObserver = [&asked](INode* node, TimeValue t) { asked.push_back({node, t}); };
    box->EvalWorldState(160);
    box->GetObjectTM(320);
    ASSERT_EQ(asked.size(), 1u);
    EXPECT_EQ(asked[0].first, box);
    EXPECT_EQ(asked[0].second, 320);
}

}  // namespace
