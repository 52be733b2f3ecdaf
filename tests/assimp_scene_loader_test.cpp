// Real scene files loaded through the asset-import library, read back the way
// the exporter reads a scene: through the host interface alone.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "standin/host/assimp_scene_loader.h"
#include "support/test_files.h"

namespace {

const std::string kReal = std::string(VORN_TEST_DATA_DIR) + "/real/";
constexpr TimeValue kFrame = 160;  // ticks per frame

struct Loaded {
    explicit Loaded(const std::string& file, standin::AssimpLoadOptions options = {}) {
        if (options.textureFolder.empty()) options.textureFolder = textures.path();
        ok = standin::LoadAssimpScene(kReal + file, options, scene, report, error);
        host = std::make_unique<standin::StandinHost>(&scene);
    }
    INode* Node(const std::string& name) { return Find(host->GetRootNode(), name); }
    static INode* Find(INode* n, const std::string& name) {
        if (name == n->GetName()) return n;
        for (int i = 0; i < n->NumberOfChildren(); ++i)
            if (INode* found = Find(n->GetChildNode(i), name)) return found;
        return nullptr;
    }

    testing_files::TempDir textures;
    standin::Scene scene;
    standin::AssimpSceneReport report;
    std::string error;
    int ok = 0;
    std::unique_ptr<standin::StandinHost> host;
};

Mesh& MeshOf(INode* node, TimeValue t) {
    const ObjectState& os = node->EvalWorldState(t);
    EXPECT_TRUE(os.obj && os.obj->CanConvertToType(triObjectClassID));
    return static_cast<TriObject*>(os.obj->ConvertToType(0, triObjectClassID))->GetMesh();
}

// World positions as the mesh capture forms them.
std::vector<Point3> World(INode* node, TimeValue t) {
    const Mesh mesh = MeshOf(node, t);
    const Matrix3 tm = node->GetObjectTM(t);
    std::vector<Point3> out;
    for (const Point3& p : mesh.verts) {
        const Point3 q = VectorTransform(tm, p);
        out.emplace_back(q.x + tm.row[3].x, q.y + tm.row[3].y, q.z + tm.row[3].z);
    }
    return out;
}

// The host point of a glTF (Y-up) point.
Point3 Host(double x, double y, double z) {
    return Point3(static_cast<float>(x), static_cast<float>(-z), static_cast<float>(y));
}

void ExpectPoint(const Point3& got, const Point3& want, const std::string& what) {
    EXPECT_NEAR(got.x, want.x, 1e-5) << what;
    EXPECT_NEAR(got.y, want.y, 1e-5) << what;
    EXPECT_NEAR(got.z, want.z, 1e-5) << what;
}

// Whether the welded mesh has a vertex at p (exactly where the file put it).
bool HasVertex(const std::vector<Point3>& verts, const Point3& p) {
    for (const Point3& v : verts)
        if (std::fabs(v.x - p.x) < 1e-5 && std::fabs(v.y - p.y) < 1e-5 && std::fabs(v.z - p.z) < 1e-5) return true;
    return false;
}

std::string MapName(Mtl* m) {
    Texmap* map = m ? m->GetSubTexmap(ID_DI) : nullptr;
    if (!map || map->ClassID() != bitmapTexClassID) return "";
    return static_cast<BitmapTex*>(map)->GetMapName();
}

// A plain TGA as the loader writes it, decoded: rows top first, red green blue.
struct Picture {
    int width = 0, height = 0, depth = 0;
    std::vector<std::vector<std::array<int, 3>>> rows;
};

Picture ReadPlainTga(const std::string& path) {
    const std::vector<uint8_t> b = testing_files::ReadBytes(path);
    Picture p;
    if (b.size() < 18 || b[0] != 0 || b[1] != 0 || b[2] != 2 || (b[17] & 0x30) != 0) return p;
    p.width = b[12] | b[13] << 8;
    p.height = b[14] | b[15] << 8;
    p.depth = b[16];
    const size_t bpp = static_cast<size_t>(p.depth / 8);
    if (b.size() != 18 + bpp * static_cast<size_t>(p.width * p.height)) return Picture{};
    p.rows.resize(static_cast<size_t>(p.height));
    for (int y = 0; y < p.height; ++y)
        for (int x = 0; x < p.width; ++x) {
            const uint8_t* px = &b[18 + bpp * static_cast<size_t>(y * p.width + x)];
            p.rows[static_cast<size_t>(p.height - 1 - y)].push_back({px[2], px[1], px[0]});
        }
    return p;
}

using Rows = std::vector<std::vector<std::array<int, 3>>>;
// The fixtures' picture: top row red, green; bottom row blue, white.
const Rows kChecker = {{{{255, 0, 0}}, {{0, 255, 0}}}, {{{0, 0, 255}}, {{255, 255, 255}}}};

// --- Meshes ---------------------------------------------------------------------

TEST(AssimpSceneLoader, PiecesOfOneObjectBecomeOneWeldedMeshWithMaterialIds) {
    Loaded rig("rig.gltf");
    ASSERT_EQ(rig.ok, 1) << rig.error;
    INode* box = rig.Node("Box");
    ASSERT_NE(box, nullptr);
    const Mesh mesh = MeshOf(box, 0);
    // Two pieces of 5 and 4 vertices: corner 0 split by its texture
    // coordinate, and two positions shared across the material seam.
    ASSERT_EQ(mesh.getNumVerts(), 6);
    ASSERT_EQ(mesh.getNumFaces(), 4);
    Mtl* multi = box->GetMtl();
    ASSERT_NE(multi, nullptr);
    ASSERT_EQ(multi->NumSubMtls(), 2);
    EXPECT_STREQ(multi->GetSubMtl(0)->GetName().data(), "Red");
    EXPECT_STREQ(multi->GetSubMtl(1)->GetName().data(), "Blue");
    const uint32_t ids[4] = {0, 0, 1, 1};
    for (int f = 0; f < 4; ++f) EXPECT_EQ(mesh.faces[static_cast<size_t>(f)].getMatID(), ids[f]) << "face " << f;
    // Faces 0 and 1 share the split corner's vertex but not its texture vertex;
    // face 2 (the other material) starts on face 0's second vertex.
    EXPECT_EQ(mesh.faces[0].v[0], mesh.faces[1].v[0]);
    EXPECT_NE(mesh.tvFace[0].t[0], mesh.tvFace[1].t[0]);
    EXPECT_EQ(mesh.faces[2].v[0], mesh.faces[0].v[1]);
    // Texture vertices carry each corner's value, v = 0 at the image's bottom
    // row: glTF's (0, 0) is the top-left corner.
    ASSERT_EQ(mesh.tvFace.size(), 4u);
    const Point3 corner0 = mesh.tVerts[mesh.tvFace[0].t[0]];
    const Point3 split = mesh.tVerts[mesh.tvFace[1].t[0]];
    EXPECT_FLOAT_EQ(corner0.x, 0.0f);
    EXPECT_FLOAT_EQ(corner0.y, 1.0f);
    EXPECT_FLOAT_EQ(split.x, 0.5f);
    EXPECT_FLOAT_EQ(split.y, 0.5f);
    const Point3 blue = mesh.tVerts[mesh.tvFace[2].t[2]];  // file (0.25, 0.75)
    EXPECT_FLOAT_EQ(blue.x, 0.25f);
    EXPECT_FLOAT_EQ(blue.y, 0.25f);

    Loaded crate("crate.obj");
    ASSERT_EQ(crate.ok, 1) << crate.error;
    EXPECT_EQ(MeshOf(crate.Node("Crate"), 0).getNumVerts(), 6);
    const Mesh swatches = MeshOf(crate.Node("Swatches"), 0);
    EXPECT_EQ(swatches.getNumVerts(), 3);
    EXPECT_EQ(swatches.getNumFaces(), 10);
    EXPECT_EQ(crate.Node("Swatches")->GetMtl()->NumSubMtls(), 10);
}

TEST(AssimpSceneLoader, MaterialsTheLibraryInventsAreNoMaterials) {
    Loaded rig("rig.gltf");
    ASSERT_EQ(rig.ok, 1) << rig.error;
    INode* plain = rig.Node("Plain");
    ASSERT_NE(plain, nullptr);
    EXPECT_EQ(plain->GetMtl(), nullptr);
    // Its colours still reach the colour faces, corner by corner.
    const Mesh mesh = MeshOf(plain, 0);
    ASSERT_EQ(mesh.vcFace.size(), 1u);
    const Point3 c1 = mesh.vertCol[mesh.vcFace[0].t[1]];
    EXPECT_FLOAT_EQ(c1.x, 0.0f);
    EXPECT_FLOAT_EQ(c1.y, 1.0f);
    EXPECT_FLOAT_EQ(c1.z, 0.0f);
    EXPECT_EQ(mesh.getNumTVerts(), 0);

    Loaded bare("bare.obj");
    ASSERT_EQ(bare.ok, 1) << bare.error;
    ASSERT_NE(bare.Node("Bare"), nullptr);
    EXPECT_EQ(bare.Node("Bare")->GetMtl(), nullptr);
    EXPECT_TRUE(bare.scene.materials.empty());
}

TEST(AssimpSceneLoader, OnlyMeshNodesAreObjectsAndPatternsChooseTheSelection) {
    Loaded all("rig.gltf");
    ASSERT_EQ(all.ok, 1) << all.error;
    for (const char* name : {"Box", "Strip", "Blob", "Plain"}) {
        EXPECT_TRUE(all.Node(name)->Selected()) << name;
        EXPECT_TRUE(all.Node(name)->EvalWorldState(0).obj->CanConvertToType(triObjectClassID)) << name;
    }
    for (const char* name : {"ROOT", "Hips", "Spine"}) {
        EXPECT_FALSE(all.Node(name)->Selected()) << name;
        EXPECT_FALSE(all.Node(name)->EvalWorldState(0).obj->CanConvertToType(triObjectClassID)) << name;
    }
    EXPECT_STREQ(all.host->GetRootNode()->GetName(), "Scene Root");

    standin::AssimpLoadOptions options;
    options.select = {"B*", "Sp*"};
    Loaded some("rig.gltf", options);
    ASSERT_EQ(some.ok, 1) << some.error;
    EXPECT_TRUE(some.Node("Box")->Selected());
    EXPECT_TRUE(some.Node("Blob")->Selected());
    EXPECT_FALSE(some.Node("Strip")->Selected());
    EXPECT_FALSE(some.Node("Spine")->Selected());  // a bone, never an object
}

// --- Axes and units -----------------------------------------------------------------

TEST(AssimpSceneLoader, ZUpCentimetreColladaArrivesInHostMetres) {
    Loaded dae("pyramid.dae");
    ASSERT_EQ(dae.ok, 1) << dae.error;
    INode* pyramid = dae.Node("Pyramid");  // the artist's name, not the file's id
    ASSERT_NE(pyramid, nullptr);
    const std::vector<Point3> w = World(pyramid, 0);
    // 100 cm up, turned a quarter about z by its parent "Stand".
    EXPECT_TRUE(HasVertex(w, Point3(0, 0, 1)));
    EXPECT_TRUE(HasVertex(w, Point3(0, 1, 1)));
    EXPECT_TRUE(HasVertex(w, Point3(-1, 0, 1)));
    EXPECT_TRUE(HasVertex(w, Point3(0, 0, 2)));
}

TEST(AssimpSceneLoader, FbxAndGltfOfOneFigureGiveOneModelFacingFront) {
    Loaded fbx("figure.fbx");
    Loaded gltf("figure.gltf");
    ASSERT_EQ(fbx.ok, 1) << fbx.error;
    ASSERT_EQ(gltf.ok, 1) << gltf.error;
    INode* a = fbx.Node("Figure");
    INode* b = gltf.Node("Figure");
    ASSERT_TRUE(a && b);
    for (int frame : {0, 3, 5, 10}) {
        const std::vector<Point3> wa = World(a, frame * kFrame);
        const std::vector<Point3> wb = World(b, frame * kFrame);
        ASSERT_EQ(wa.size(), 6u);
        ASSERT_EQ(wb.size(), 6u);
        for (const Point3& p : wa) {
            bool found = false;
            for (const Point3& q : wb)
                found = found || (std::fabs(p.x - q.x) < 1e-4 && std::fabs(p.y - q.y) < 1e-4 && std::fabs(p.z - q.z) < 1e-4);
            EXPECT_TRUE(found) << "frame " << frame << ": FBX vertex (" << p.x << ", " << p.y << ", " << p.z << ")";
        }
    }
    // 1.8 m tall, the nose at the front (-y); moved from x = 0 to x = 1 over
    // frames 0..10 while the head turns a quarter.
    const std::vector<Point3> start = World(b, 0);
    EXPECT_TRUE(HasVertex(start, Point3(0, 0, 1.8f)));
    EXPECT_TRUE(HasVertex(start, Point3(0, -0.3f, 1.6f)));
    const std::vector<Point3> end = World(b, 10 * kFrame);
    EXPECT_TRUE(HasVertex(end, Point3(1, 0, 1.8f)));
    EXPECT_TRUE(HasVertex(end, Point3(1.3f, 0, 1.6f)));
    // The writer's quarter turn (x, y, z) -> (-y, x, z) puts the nose on +x.
    float noseX = 0, otherMax = -1;
    for (const Point3& p : start) {
        const float turned = -p.y;
        if (std::fabs(p.z - 1.6f) < 1e-4) noseX = turned;
        else otherMax = std::max(otherMax, turned);
    }
    EXPECT_GT(noseX, otherMax);
}

TEST(AssimpSceneLoader, UnitsPerMetreScalesEveryFormat) {
    standin::AssimpLoadOptions inches;
    inches.unitsPerMetre = 100.0 / 2.54;
    Loaded fbx("figure.fbx", inches);
    ASSERT_EQ(fbx.ok, 1) << fbx.error;
    float top = 0;
    for (const Point3& p : World(fbx.Node("Figure"), 0)) top = std::max(top, p.z);
    EXPECT_NEAR(top, 1.8 * 100 / 2.54, 1e-4);
}

// --- Time -----------------------------------------------------------------------------

// Where the Box's vertex (1, 0, 0) is at seconds s after the animation starts:
// keys at 0, 1 and 2 s translate (0,0,0) (2,0,0) (2,4,0), turn 0, 90, 180
// degrees about y and scale 1, 2, 1.
Point3 BoxCorner(double s) {
    const double u = s < 1 ? s : s - 1;
    const double tx = 2 * std::min(s, 1.0), ty = s < 1 ? 0 : 4 * u;
    const double angle = (s < 1 ? 90 * u : 90 + 90 * u) * M_PI / 180;
    const double scale = s < 1 ? 1 + u : 2 - u;
    return Host(tx + scale * std::cos(angle), ty, -scale * std::sin(angle));
}

TEST(AssimpSceneLoader, HostTimeRunsThroughTheAnimationFromItsFirstKey) {
    const struct {
        double fps;
        int frame;
        double seconds;
    } cases[] = {
        {30, 0, 0.0},  // frame 0 is the first key (at 1 s in the file), not the rest pose
        {30, 15, 0.5}, {30, 30, 1.0}, {30, 45, 1.5}, {30, 60, 2.0},
        {30, 90, 2.0},  // past the last key, the last key holds
        {30, 7, 7.0 / 30}, {15, 15, 1.0}, {24, 12, 0.5},
    };
    for (const auto& c : cases) {
        standin::AssimpLoadOptions options;
        options.framesPerSecond = c.fps;
        Loaded rig("rig.gltf", options);
        ASSERT_EQ(rig.ok, 1) << rig.error;
        const std::vector<Point3> w = World(rig.Node("Box"), c.frame * kFrame);
        ASSERT_EQ(w.size(), 6u);
        const std::string what = std::to_string(c.fps) + " fps, frame " + std::to_string(c.frame);
        ExpectPoint(w[1], BoxCorner(c.seconds), what);
        EXPECT_EQ(rig.report.animation, "Move");
    }
}

TEST(AssimpSceneLoader, AnAnimationIsChosenByNameOrIndex) {
    for (const char* which : {"Idle", "1"}) {
        standin::AssimpLoadOptions options;
        options.animation = which;
        Loaded rig("rig.gltf", options);
        ASSERT_EQ(rig.ok, 1) << rig.error;
        // "Idle" moves the Box from z = 7 to z = 9 over its one second.
        ExpectPoint(World(rig.Node("Box"), 0)[0], Host(0, 0, 7), which);
        ExpectPoint(World(rig.Node("Box"), 15 * kFrame)[0], Host(0, 0, 8), which);
    }
    standin::AssimpLoadOptions options;
    options.animation = "Walk";
    Loaded rig("rig.gltf", options);
    EXPECT_EQ(rig.ok, 0);
    EXPECT_NE(rig.error.find("rig.gltf"), std::string::npos) << rig.error;
    EXPECT_NE(rig.error.find("\"Walk\""), std::string::npos) << rig.error;
    EXPECT_NE(rig.error.find("\"Move\", \"Idle\""), std::string::npos) << rig.error;
}

// Blender's COLLADA file keeps one animation per object; the library combines
// those of one channel and hands the skeleton's over on its own.
TEST(AssimpSceneLoader, TheAnimationsOfAColladaFileWithoutClipsPlayTogether) {
    const auto moves = [](Loaded& scene, const char* node) {
        const std::vector<Point3> first = World(scene.Node(node), 0), last = World(scene.Node(node), 12 * kFrame);
        return std::fabs(first[0].x - last[0].x) + std::fabs(first[0].y - last[0].y) > 0.1;
    };
    Loaded whole("motion.dae");
    ASSERT_EQ(whole.ok, 1) << whole.error;
    EXPECT_EQ(whole.report.animations, (std::vector<std::string>{"combinedAnim_0", "Crate_Skeleton"}));
    EXPECT_EQ(whole.report.animation, "combinedAnim_0 + Crate_Skeleton");
    EXPECT_TRUE(moves(whole, "Crate"));
    EXPECT_TRUE(moves(whole, "Body"));
    // A piece named plays alone.
    for (const char* piece : {"1", "Crate_Skeleton"}) {
        standin::AssimpLoadOptions options;
        options.animation = piece;
        Loaded skeleton("motion.dae", options);
        ASSERT_EQ(skeleton.ok, 1) << skeleton.error;
        EXPECT_EQ(skeleton.report.animation, "Crate_Skeleton");
        EXPECT_FALSE(moves(skeleton, "Crate")) << piece;
        EXPECT_TRUE(moves(skeleton, "Body")) << piece;
    }
    // The glTF file's animations are alternatives: the first plays alone.
    Loaded rig("rig.gltf");
    ASSERT_EQ(rig.ok, 1) << rig.error;
    EXPECT_EQ(rig.report.animation, "Move");
}

// --- Skinning and morph targets ---------------------------------------------------------

// The strip's vertex (x, y, 0) at seconds s: Hips (the root joint) moves to
// (0, 0, 3 min(s, 1)); Spine (1 above Hips) turns 90 min(s, 1) degrees about z.
// Weights: row y = 0 Hips, y = 1 half each, y = 2 Spine; bind: Spine at y = 1.
Point3 StripVertex(double x, double y, double s) {
    const double k = std::min(s, 1.0);
    const double hz = 3 * k, a = 90 * k * M_PI / 180;
    const double hipsX = x, hipsY = y;  // Hips' bind is the identity
    const double ly = y - 1;            // into Spine's space
    const double spineX = x * std::cos(a) - ly * std::sin(a), spineY = 1 + x * std::sin(a) + ly * std::cos(a);
    const double w = y == 0 ? 0.0 : y == 1 ? 0.5 : 1.0;
    return Host((1 - w) * hipsX + w * spineX, (1 - w) * hipsY + w * spineY, hz);
}

TEST(AssimpSceneLoader, SkinnedVerticesFollowTheirBonesAndIgnoreTheirNode) {
    Loaded rig("rig.gltf");
    ASSERT_EQ(rig.ok, 1) << rig.error;
    INode* strip = rig.Node("Strip");
    ASSERT_NE(strip, nullptr);
    const Matrix3 tm = strip->GetObjectTM(30 * kFrame);
    for (int r = 0; r < 4; ++r) ExpectPoint(tm.row[r], Matrix3().row[r], "transform row " + std::to_string(r));
    const double file[6][2] = {{0, 0}, {1, 0}, {0, 1}, {1, 1}, {0, 2}, {1, 2}};
    for (int frame : {0, 15, 30, 45}) {
        const std::vector<Point3> w = World(strip, frame * kFrame);
        ASSERT_EQ(w.size(), 6u);
        for (int v = 0; v < 6; ++v)
            ExpectPoint(w[static_cast<size_t>(v)], StripVertex(file[v][0], file[v][1], frame / 30.0),
                        "frame " + std::to_string(frame) + ", vertex " + std::to_string(v));
    }
}

TEST(AssimpSceneLoader, MorphTargetsBlendByTheirWeightsAtThatTime) {
    Loaded rig("rig.gltf");
    ASSERT_EQ(rig.ok, 1) << rig.error;
    INode* blob = rig.Node("Blob");
    ASSERT_NE(blob, nullptr);
    // Target 0 lifts corner 2 by 1 in file z, target 1 moves corner 1 by 1 in
    // file x; weights (0, 0) (1, 0) (0.5, 0.5) at the three keys.
    const struct {
        int frame;
        double w0, w1;
    } cases[] = {{0, 0, 0}, {30, 1, 0}, {60, 0.5, 0.5}, {15, 0.5, 0}, {45, 0.75, 0.25}};
    for (const auto& c : cases) {
        const std::vector<Point3> w = World(blob, c.frame * kFrame);
        ASSERT_EQ(w.size(), 3u);
        const std::string what = "frame " + std::to_string(c.frame);
        ExpectPoint(w[0], Host(0, 0, 0), what);
        ExpectPoint(w[1], Host(1 + c.w1, 0, 0), what);
        ExpectPoint(w[2], Host(0, 1, c.w0), what);
    }
}

// --- Textures -----------------------------------------------------------------------------

TEST(AssimpSceneLoader, TexturesTheReadersWouldMisreadAreWrittenAsPlainTga) {
    Loaded crate("crate.obj");
    ASSERT_EQ(crate.ok, 1) << crate.error;
    Mtl* swatches = crate.Node("Swatches")->GetMtl();
    ASSERT_NE(swatches, nullptr);
    const struct {
        int id;
        const char* source;
        const char* reason;  // empty: taken as it is
    } cases[] = {
        {2, "rle.tga", "run-length TGA"},
        {3, "topdown.tga", "top-down TGA"},
        {4, "withid.tga", "TGA with an image ID"},
        {6, "v5.bmp", "BMP with a 124-byte header"},
        {7, "rgba32.bmp", "32-bit BMP"},
        {8, "topdown.bmp", "top-down BMP"},
        {9, "indexed.tga", ""},
    };
    for (const auto& c : cases) {
        Mtl* m = swatches->GetSubMtl(c.id);
        ASSERT_NE(m, nullptr) << c.source;
        const std::string file = MapName(m);
        const standin::TextureNote* note = nullptr;
        for (const auto& n : crate.report.textures)
            if (n.material == m->GetName().data()) note = &n;
        ASSERT_NE(note, nullptr) << c.source;
        EXPECT_EQ(note->source, kReal + c.source);
        EXPECT_EQ(note->conversion, c.reason);
        if (!*c.reason) {
            EXPECT_EQ(file, kReal + c.source);
            continue;
        }
        EXPECT_EQ(file.rfind(crate.textures.path() + "/", 0), 0u) << file;
        const Picture p = ReadPlainTga(file);
        EXPECT_EQ(p.depth, std::string(c.source) == "rgba32.bmp" ? 32 : 24) << c.source;
        EXPECT_EQ(p.rows, kChecker) << c.source;
    }
    // A grey-scale TGA keeps its greys; the texture-less material has an empty slot.
    const Picture grey = ReadPlainTga(MapName(swatches->GetSubMtl(5)));
    ASSERT_EQ(grey.rows.size(), 2u);
    EXPECT_EQ(grey.rows[0][0], (std::array<int, 3>{85, 85, 85}));
    EXPECT_EQ(swatches->GetSubMtl(0)->GetSubTexmap(ID_DI), nullptr);
    // The plain BMP stays where it is.
    EXPECT_EQ(MapName(crate.Node("Crate")->GetMtl()->GetSubMtl(0)), kReal + "wood.bmp");
}

TEST(AssimpSceneLoader, PngAndEmbeddedPicturesGoBesideTheOutputOnce) {
    testing_files::TempDir out;
    standin::AssimpLoadOptions options;
    options.outputPath = out / "player.md2";
    standin::Scene scene;
    standin::AssimpSceneReport report;
    std::string error;
    ASSERT_EQ(standin::LoadAssimpScene(kReal + "rig.gltf", options, scene, report, error), 1) << error;
    standin::StandinHost host(&scene);
    INode* box = Loaded::Find(host.GetRootNode(), "Box");
    INode* strip = Loaded::Find(host.GetRootNode(), "Strip");
    const std::string folder = out / "rig.textures";
    EXPECT_EQ(report.textureFolder, folder);
    const std::string png = MapName(box->GetMtl()->GetSubMtl(0));
    EXPECT_EQ(png, folder + "/checker.tga");
    EXPECT_EQ(ReadPlainTga(png).rows, kChecker);
    EXPECT_EQ(MapName(box->GetMtl()->GetSubMtl(1)), kReal + "stripes.tga");
    const std::string embedded = MapName(strip->GetMtl());
    EXPECT_EQ(embedded, folder + "/rig-embedded-0.tga");
    const Rows yellowMagentaCyanBlack = {{{{255, 255, 0}}, {{255, 0, 255}}}, {{{0, 255, 255}}, {{0, 0, 0}}}};
    EXPECT_EQ(ReadPlainTga(embedded).rows, yellowMagentaCyanBlack);
    size_t written = 0;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) written += entry.is_regular_file();
    EXPECT_EQ(written, 2u);  // the stripes TGA is read where it is
    // Blender's glTF names its embedded picture; the FBX beside it names the PNG.
    Loaded figure("figure.gltf");
    ASSERT_EQ(figure.ok, 1) << figure.error;
    EXPECT_EQ(MapName(figure.Node("Figure")->GetMtl()), figure.textures / "checker.tga");
    EXPECT_EQ(ReadPlainTga(figure.textures / "checker.tga").rows, kChecker);
}

TEST(AssimpSceneLoader, MissingTexturesKeepTheirResolvedNameAndAreReported) {
    Loaded rig("rig.gltf");
    ASSERT_EQ(rig.ok, 1) << rig.error;
    EXPECT_EQ(MapName(rig.Node("Blob")->GetMtl()), kReal + "missing.png");
    Loaded crate("crate.obj");
    ASSERT_EQ(crate.ok, 1) << crate.error;
    EXPECT_EQ(MapName(crate.Node("Swatches")->GetMtl()->GetSubMtl(1)), kReal + "nowhere/missing.bmp");
    int missing = 0;
    for (const auto& n : crate.report.textures) missing += n.problem == "missing";
    EXPECT_EQ(missing, 1);
}

// --- Listing and failures -------------------------------------------------------------------

TEST(AssimpSceneLoader, TheListingShowsWhatWouldBeExported) {
    Loaded rig("rig.gltf");
    ASSERT_EQ(rig.ok, 1) << rig.error;
    std::ostringstream out;
    standin::ListAssimpScene(rig.scene, rig.report, out);
    const std::string text = out.str();
    for (const std::string& line : {
             std::string("    Box [mesh, 6 vertices, 4 faces] - exported\n"),
             std::string("    Plain [mesh, 3 vertices, 1 faces] - not exported: no material\n"),
             std::string("    Hips [bone]\n"),
             std::string("(converted from \"" + kReal + "checker.png\": PNG image, which the exporter does not read)"),
             std::string("texture \"" + kReal + "missing.png\" [missing]"),
             std::string("Animation \"Move\": ticks 1000 to 3000 at 1000 a second\n"),
         })
        EXPECT_NE(text.find(line), std::string::npos) << line << "\nin:\n" << text;
}

TEST(AssimpSceneLoader, FilesTheLibraryCannotReadAreRefusedWithItsReason) {
    const struct {
        const char* file;
        const char* reason;
    } cases[] = {
        {"broken.gltf", "No suitable reader"},
        {"nowhere.gltf", "Unable to open file"},
    };
    for (const auto& c : cases) {
        Loaded bad(c.file);
        EXPECT_EQ(bad.ok, 0) << c.file;
        EXPECT_NE(bad.error.find(std::string("\"") + kReal + c.file + "\""), std::string::npos) << bad.error;
        EXPECT_NE(bad.error.find(c.reason), std::string::npos) << bad.error;
        EXPECT_EQ(bad.scene.root->NumberOfChildren(), 0) << c.file;
    }
}

}  // namespace

// --- The bundled example ------------------------------------------------------------------

namespace {

const std::string kCharacter = std::string(VORN_SOURCE_DIR) + "/examples/character/character.gltf";

std::vector<Point3> CharacterAt(const std::string& animation, int frame) {
    standin::AssimpLoadOptions options;
    options.animation = animation;
    testing_files::TempDir textures;
    options.textureFolder = textures.path();
    standin::Scene scene;
    standin::AssimpSceneReport report;
    std::string error;
    EXPECT_EQ(standin::LoadAssimpScene(kCharacter, options, scene, report, error), 1) << error;
    standin::StandinHost host(&scene);
    INode* figure = Loaded::Find(host.GetRootNode(), "Figure");
    return figure ? World(figure, frame * kFrame) : std::vector<Point3>{};
}

TEST(AssimpSceneLoaderExample, TheCharacterFillsTheStandardFramesFromItsRuns) {
    const std::vector<Point3> rest = CharacterAt("stand", 0);
    ASSERT_EQ(rest.size(), 56u);  // seven boxes of eight corners
    // The "player" animation holds each run at its place in the standard frame list.
    const struct {
        const char* run;
        int first;  // index of its first frame name (stand01 = 0, run1 = 40, ...)
        int count;
    } runs[] = {{"stand", 0, 40}, {"run", 40, 6}, {"jump", 66, 6}, {"death1", 178, 6}};
    for (const auto& r : runs) {
        for (int i : {0, r.count / 2, r.count - 1}) {
            const std::vector<Point3> own = CharacterAt(r.run, i);
            const std::vector<Point3> player = CharacterAt("player", r.first + i);
            ASSERT_EQ(own.size(), player.size());
            for (size_t v = 0; v < own.size(); ++v)
                ExpectPoint(player[v], own[v], std::string(r.run) + " frame " + std::to_string(i));
        }
    }
    // Its two textures are plain TGA files the exporter reads as they are.
    testing_files::TempDir textures;
    standin::AssimpLoadOptions options;
    options.textureFolder = textures.path();
    Loaded character("../../../examples/character/character.gltf", options);
    ASSERT_EQ(character.ok, 1) << character.error;
    ASSERT_EQ(character.report.textures.size(), 2u);
    for (const auto& note : character.report.textures) EXPECT_EQ(note.conversion, "") << note.source;
}

}  // namespace
