// Scene files: the input is the JSON text. A scene that loads must keep the
// loader's promises (every index inside its array, vertex keys as long as the
// mesh, nodes no deeper than the cap); it is then collected and captured as
// an export would, with every capture option and at two times, and its
// textures collected and matched without reading any file.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>

#include "core/model_exporter.h"
#include "fuzz/harness/fuzz_support.h"
#include "standin/host/json_scene_loader.h"
#include "standin/host/standin_scene.h"

namespace {

void CheckMesh(const Mesh& mesh) {
    const size_t vertices = mesh.verts.size();
    for (const Face& f : mesh.faces) {
        for (uint32_t v : f.v) vorn_fuzz::Require(v < vertices, "a loaded face names a vertex the mesh lacks");
    }
    const struct {
        const std::vector<TVFace>& faces;
        size_t limit;
    } channels[] = {{mesh.tvFace, mesh.tVerts.size()}, {mesh.vcFace, mesh.vertCol.size()}};
    for (const auto& c : channels) {
        if (c.limit == 0) continue;
        vorn_fuzz::Require(c.faces.size() == mesh.faces.size(), "a loaded mesh lacks corner faces");
        for (const TVFace& f : c.faces) {
            for (uint32_t t : f.t) vorn_fuzz::Require(t < c.limit, "a loaded corner face is out of range");
        }
    }
}

void CheckNode(const standin::SceneNode& node, int depth) {
    vorn_fuzz::Require(depth <= standin::kMaxSceneDepth, "a loaded node lies deeper than the cap");
    CheckMesh(node.mesh);
    for (const standin::VertexKey& k : node.vertexKeys) {
        vorn_fuzz::Require(k.vertices.size() == node.mesh.verts.size(), "a vertex key of another length");
    }
    for (const auto& child : node.children) CheckNode(*child, depth + 1);
}

void Capture(standin::Scene& scene) {
    standin::StandinHost host(&scene);
    ModelExporter engine;
    engine.CollectNodes(&host, NODE_SELECTED | NODE_HAS_MATERIAL);
    const uint32_t count = static_cast<uint32_t>(engine.nodeCount);
    const int32_t allOptions = CAPTURE_SPLIT_CORNERS | CAPTURE_WORLD_SPACE | CAPTURE_FACE_FLAGS |
                               CAPTURE_VERTEX_FLAGS | CAPTURE_CLAMP_UV | CAPTURE_SNAP_UV;
    const TimeValue later = static_cast<TimeValue>(std::min<int64_t>(3 * int64_t{scene.ticksPerFrame} + 1, INT32_MAX));
    const TimeValue times[] = {0, later};
    const int32_t options[] = {CAPTURE_WORLD_SPACE, allOptions};
    for (TimeValue t : times) {
        for (int32_t o : options) {
            ExportVertex* vertices = nullptr;
            ExportFace* faces = nullptr;
            int32_t vertexCount = 0, faceCount = 0;
            const int ok = engine.CaptureMeshes(0, count, &vertices, &faces, &vertexCount, &faceCount, o, t);
            if (ok) {
                vorn_fuzz::Require(vertexCount >= 0 && faceCount >= 0, "a capture with negative counts");
                for (int32_t i = 0; i < faceCount; ++i) {
                    for (uint32_t v : faces[i].vertexIndex) {
                        vorn_fuzz::Require(v < static_cast<uint32_t>(vertexCount), "a captured face outside the vertices");
                    }
                }
                if (t == 0 && o == CAPTURE_WORLD_SPACE) {
                    TextureRecord* records = nullptr;
                    int32_t recordCount = 0;
                    if (engine.CollectTextures(&records, &recordCount, COLLECT_SORT | COLLECT_MERGE)) {
                        engine.MatchFaceTextures(records, recordCount, faces, faceCount, MATCH_UV_RANGE);
                    }
                    delete[] records;
                }
            }
            delete[] vertices;
            delete[] faces;
        }
    }
}

}  // namespace

std::string vorn_fuzz::CheckJsonSceneInput(const uint8_t* data, size_t size) {
    return Answer([&] {
        const std::string text(reinterpret_cast<const char*>(data), size);
        standin::Scene scene;
        standin::SceneNode* const rootBefore = scene.root.get();
        std::string error;
        const bool loaded = standin::LoadJsonSceneText(text, std::string("C:"), scene, error, "fuzz.json");
        if (!loaded) {
            vorn_fuzz::Require(!error.empty(), "a refused scene without a reason");
            vorn_fuzz::Require(scene.root.get() == rootBefore && scene.materials.empty(), "a refused scene changed the scene");
            return;
        }
        vorn_fuzz::Require(error.empty(), "a loaded scene with an error");
        vorn_fuzz::Require(scene.ticksPerFrame > 0, "a loaded scene without ticks per frame");
        if (scene.root) CheckNode(*scene.root, 1);
        Capture(scene);
        return;
    });
}
