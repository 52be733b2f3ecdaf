#include "support/quad_scene.h"

namespace testing_scenes {

QuadScene::QuadScene() {
    auto node = std::make_unique<standin::SceneNode>();
    node->name = "Quad";
    node->selected = true;
    standin::SceneMaterial* material = scene.AddMaterial("Wall");
    material->diffuse = std::make_unique<standin::SceneBitmapTex>("wall.bmp");
    node->material = material;
    node->convertible = true;
    node->hasMesh = true;
    Mesh& m = node->mesh;
    m.verts = {{0, 0, 0}, {10, 0, 0}, {10, 20, 0}, {0, 20, 0}};
    m.faces.resize(2);
    m.faces[0].v[0] = 0, m.faces[0].v[1] = 1, m.faces[0].v[2] = 2;
    m.faces[1].v[0] = 0, m.faces[1].v[1] = 2, m.faces[1].v[2] = 3;
    m.tVerts = {{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0}};
    m.tvFace.resize(2);
    m.tvFace[0].t[0] = 0, m.tvFace[0].t[1] = 1, m.tvFace[0].t[2] = 2;
    m.tvFace[1].t[0] = 0, m.tvFace[1].t[1] = 2, m.tvFace[1].t[2] = 3;
    standin::TransformKey k0, k10;
    k10.frame = 10;
    k10.rows.row[3] = Point3(0, 0, 50);
    node->transformKeys = {k0, k10};
    quad = scene.root->AddChild(std::move(node));
    host = std::make_unique<standin::StandinHost>(&scene);
}

void PrepareExport(QuakeExportUtility& utility, standin::StandinHost& host) {
    utility.hostInterface = &host;
    utility.engine.CollectNodes(&host, NODE_SELECTED | NODE_HAS_MATERIAL);
    utility.engine.CaptureMeshes(0, static_cast<uint32_t>(utility.engine.nodeCount), &utility.vertices,
                                 &utility.faces, &utility.vertexCount, &utility.faceCount, CAPTURE_WORLD_SPACE, 0);
    utility.textures = new TextureRecord[1];
    utility.textureCount = 1;
    TextureRecord& r = utility.textures[0];
    r.image.header.width = 64;
    r.image.header.height = 32;
    r.uMax = 1;
    r.vMax = 1;
    r.placeX = 8;
    r.placeY = 4;
    r.placeWidth = 64;
    r.placeHeight = 32;
    for (int32_t i = 0; i < utility.faceCount; ++i) utility.faces[i].texture = &r;
    utility.skinWidth = 72;
    utility.skinHeight = 36;
}

}  // namespace testing_scenes
