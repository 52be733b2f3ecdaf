// The stand-in host through the SDK surface, where collection and capture do
// not already try it: key sampling and conversions.
#include <gtest/gtest.h>

#include <cstring>
#include <limits>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "standin/host/json_scene_loader.h"

namespace {

using standin::Scene;
using standin::SceneNode;
using standin::SceneTriObject;
using standin::StandinHost;

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

}  // namespace
