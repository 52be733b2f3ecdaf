// Real scene files loaded through the asset-import library, read back the way
// the exporter reads a scene: through the host interface alone. What Blender's
// own files hold at every frame is checked end to end in real_scene_export_test.
#include <gtest/gtest.h>

#include <sys/resource.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <memory>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <vector>

#include "standin/host/assimp_scene_loader.h"
#include "standin/host/texture_cache.h"
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

bool Near(const Point3& a, const Point3& b) {
    return std::fabs(a.x - b.x) < 1e-5 && std::fabs(a.y - b.y) < 1e-5 && std::fabs(a.z - b.z) < 1e-5;
}

// Whether the welded mesh has a vertex at p (exactly where the file put it).
bool HasVertex(const std::vector<Point3>& verts, const Point3& p) {
    for (const Point3& v : verts)
        if (Near(v, p)) return true;
    return false;
}

std::string MapName(Mtl* m) {
    Texmap* map = m ? m->GetSubTexmap(ID_DI) : nullptr;
    if (!map || map->ClassID() != bitmapTexClassID) return "";
    return static_cast<BitmapTex*>(map)->GetMapName();
}

// A plain TGA as the loader writes it (uncompressed, bottom-up, no image ID),
// decoded: its depth, and its rows top first of red, green, blue.
using Rows = std::vector<std::vector<std::array<int, 3>>>;
struct Picture {
    int depth = 0;
    Rows rows;
};

Picture ReadPlainTga(const std::string& path) {
    const std::vector<uint8_t> b = testing_files::ReadBytes(path);
    if (b.size() < 18 || b[0] != 0 || b[1] != 0 || b[2] != 2 || (b[17] & 0x30) != 0) return Picture{};
    const int width = b[12] | b[13] << 8, height = b[14] | b[15] << 8;
    const size_t bpp = static_cast<size_t>(b[16] / 8);
    if (b.size() != 18 + bpp * static_cast<size_t>(width * height)) return Picture{};
    Picture p{b[16], Rows(static_cast<size_t>(height))};
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const uint8_t* px = &b[18 + bpp * static_cast<size_t>(y * width + x)];
            p.rows[static_cast<size_t>(height - 1 - y)].push_back({px[2], px[1], px[0]});
        }
    return p;
}

// The fixtures' picture: top row red, green; bottom row blue, white.
const Rows kChecker = {{{{255, 0, 0}}, {{0, 255, 0}}}, {{{0, 0, 255}}, {{255, 255, 255}}}};

// --- Meshes and materials ---------------------------------------------------------

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
    ASSERT_EQ(mesh.tvFace.size(), 4u);
    Mtl* multi = box->GetMtl();
    ASSERT_NE(multi, nullptr);
    ASSERT_EQ(multi->NumSubMtls(), 2);
    EXPECT_STREQ(multi->GetSubMtl(0)->GetName().data(), "Red");
    EXPECT_STREQ(multi->GetSubMtl(1)->GetName().data(), "Blue");
    for (int f = 0; f < 4; ++f) EXPECT_EQ(mesh.faces[static_cast<size_t>(f)].getMatID(), f < 2 ? 0u : 1u) << f;
    // Faces 0 and 1 share the split corner's vertex but not its texture vertex;
    // face 2 (the other material) starts on face 0's second vertex.
    EXPECT_EQ(mesh.faces[0].v[0], mesh.faces[1].v[0]);
    EXPECT_NE(mesh.tvFace[0].t[0], mesh.tvFace[1].t[0]);
    EXPECT_EQ(mesh.faces[2].v[0], mesh.faces[0].v[1]);

    Loaded crate("crate.obj");
    ASSERT_EQ(crate.ok, 1) << crate.error;
    EXPECT_EQ(MeshOf(crate.Node("Crate"), 0).getNumVerts(), 6);
    const Mesh swatches = MeshOf(crate.Node("Swatches"), 0);
    EXPECT_EQ(swatches.getNumVerts(), 3);
    EXPECT_EQ(swatches.getNumFaces(), 10);
    EXPECT_EQ(crate.Node("Swatches")->GetMtl()->NumSubMtls(), 10);
}

// The library's stand-in materials, materials without a texture and those whose
// texture is missing are painted; faces without coordinates cover their picture.
TEST(AssimpSceneLoader, MaterialsWithoutAUsableTextureArePainted) {
    Loaded rig("rig.gltf");
    ASSERT_EQ(rig.ok, 1) << rig.error;
    // Plain's vertex colours make a strip of one cell a face colour, the
    // corners inside the cell.
    const Mesh plain = MeshOf(rig.Node("Plain"), 0);
    const Picture strip = ReadPlainTga(MapName(rig.Node("Plain")->GetMtl()));
    ASSERT_EQ(strip.rows.size(), 4u);
    std::array<int, 3> average{};
    for (int k = 0; k < 3; ++k) {
        double sum = 0;
        for (uint32_t c : plain.vcFace[0].t) sum += (k == 0 ? plain.vertCol[c].x : k == 1 ? plain.vertCol[c].y : plain.vertCol[c].z) / 3;
        average[static_cast<size_t>(k)] = static_cast<int>(std::lround(sum * 255));
    }
    EXPECT_EQ(strip.rows[1][1], average);
    for (uint32_t t : plain.tvFace[0].t)
        EXPECT_TRUE(plain.tVerts[t].x > 0 && plain.tVerts[t].x < 1 && plain.tVerts[t].y > 0 && plain.tVerts[t].y < 1);

    const struct {
        const char* file;
        const char* node;
        int slot;  // -1: the node's own material
        std::array<int, 3> colour;
        const char* problem;
    } cases[] = {
        {"bare.obj", "Bare", -1, {153, 153, 153}, ""},               // the library's default material
        {"crate.obj", "Swatches", 0, {128, 128, 128}, ""},           // a diffuse colour alone
        {"crate.obj", "Swatches", 1, {153, 153, 153}, "missing"},    // its texture is nowhere
        {"rig.gltf", "Blob", -1, {255, 255, 255}, "missing"},
    };
    for (const auto& c : cases) {
        Loaded scene(c.file);
        ASSERT_EQ(scene.ok, 1) << scene.error;
        Mtl* m = scene.Node(c.node)->GetMtl();
        if (c.slot >= 0) m = m->GetSubMtl(c.slot);
        const Picture p = ReadPlainTga(MapName(m));
        ASSERT_FALSE(p.rows.empty()) << c.file << " " << c.node;
        EXPECT_EQ(p.rows[0][0], c.colour) << c.file << " " << c.node;
        for (const auto& note : scene.report.textures) {
            if (note.material != m->GetName().data()) continue;
            EXPECT_EQ(note.problem, c.problem) << c.node;
        }
    }
    Loaded bare("bare.obj");
    const Mesh mesh = MeshOf(bare.Node("Bare"), 0);
    ASSERT_EQ(mesh.tvFace.size(), 1u);
    EXPECT_TRUE(Near(mesh.tVerts[mesh.tvFace[0].t[1]], Point3(1, 0, 0)));
    EXPECT_TRUE(Near(mesh.tVerts[mesh.tvFace[0].t[2]], Point3(0, 1, 0)));
}

// --- Axes and units -------------------------------------------------------------

TEST(AssimpSceneLoader, ZUpCentimetreColladaArrivesInHostUnits) {
    for (const float unitsPerMetre : {1.0f, 2.0f}) {
        standin::AssimpLoadOptions options;
        options.unitsPerMetre = unitsPerMetre;
        Loaded dae("pyramid.dae", options);
        ASSERT_EQ(dae.ok, 1) << dae.error;
        INode* pyramid = dae.Node("Pyramid");  // the artist's name, not the file's id
        ASSERT_NE(pyramid, nullptr);
        const std::vector<Point3> w = World(pyramid, 0);
        // 100 cm up, turned a quarter about z by its parent "Stand".
        for (const Point3& p : {Point3(0, 0, 1), Point3(0, 1, 1), Point3(-1, 0, 1), Point3(0, 0, 2)}) {
            const Point3 scaled(p.x * unitsPerMetre, p.y * unitsPerMetre, p.z * unitsPerMetre);
            EXPECT_TRUE(HasVertex(w, scaled)) << scaled.x << ", " << scaled.y << ", " << scaled.z;
        }
    }
}

// --- Time -------------------------------------------------------------------------

// Blender's COLLADA file keeps one animation per object; the library combines
// those of one channel and hands the skeleton's over on its own. The pieces
// play together (Blender's positions show it), unless one is named.
TEST(AssimpSceneLoader, APieceOfAColladaFileWithoutClipsPlaysAloneWhenNamed) {
    Loaded whole("motion.dae");
    ASSERT_EQ(whole.ok, 1) << whole.error;
    ASSERT_EQ(whole.report.animations.size(), 2u);
    EXPECT_EQ(whole.report.animations[1].name, "Crate_Skeleton");
    EXPECT_EQ(whole.report.animation, "combinedAnim_0 + Crate_Skeleton");
    for (const char* piece : {"1", "Crate_Skeleton"}) {
        standin::AssimpLoadOptions options;
        options.animation = piece;
        Loaded skeleton("motion.dae", options);
        ASSERT_EQ(skeleton.ok, 1) << skeleton.error;
        EXPECT_EQ(skeleton.report.animation, "Crate_Skeleton");
        for (const char* node : {"Crate", "Body"}) {
            const Point3 first = World(skeleton.Node(node), 0)[0], last = World(skeleton.Node(node), 12 * kFrame)[0];
            EXPECT_EQ(std::fabs(first.x - last.x) + std::fabs(first.y - last.y) > 0.1, node == std::string("Body"))
                << piece << ": " << node;
        }
    }
}

// --- Textures -----------------------------------------------------------------------

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
        {2, "rle.tga", "run-length TGA"},     {3, "topdown.tga", "top-down TGA"},
        {4, "withid.tga", "TGA with an image ID"}, {6, "v5.bmp", "BMP with a 124-byte header"},
        {7, "rgba32.bmp", "32-bit BMP"},     {8, "topdown.bmp", "top-down BMP"},
        {9, "indexed.tga", ""},
    };
    for (const auto& c : cases) {
        Mtl* m = swatches->GetSubMtl(c.id);
        ASSERT_NE(m, nullptr) << c.source;
        const standin::TextureNote* note = nullptr;
        for (const auto& n : crate.report.textures)
            if (n.material == m->GetName().data()) note = &n;
        ASSERT_NE(note, nullptr) << c.source;
        EXPECT_EQ(note->source, kReal + c.source);
        EXPECT_EQ(note->conversion, c.reason);
        const std::string file = MapName(m);
        if (!*c.reason) {
            EXPECT_EQ(file, kReal + c.source);
            continue;
        }
        EXPECT_EQ(file.rfind(crate.textures.path() + "/", 0), 0u) << file;
        const Picture p = ReadPlainTga(file);
        EXPECT_EQ(p.depth, std::string(c.source) == "rgba32.bmp" ? 32 : 24) << c.source;
        EXPECT_EQ(p.rows, kChecker) << c.source;
    }
    // A grey-scale TGA keeps its greys.
    const Picture grey = ReadPlainTga(MapName(swatches->GetSubMtl(5)));
    ASSERT_EQ(grey.rows.size(), 2u);
    EXPECT_EQ(grey.rows[0][0], (std::array<int, 3>{85, 85, 85}));
    // The plain BMP stays where it is.
    EXPECT_EQ(MapName(crate.Node("Crate")->GetMtl()->GetSubMtl(0)), kReal + "wood.bmp");
}

TEST(AssimpSceneLoader, PngAndEmbeddedPicturesAreConvertedOnce) {
    Loaded rig("rig.gltf");
    ASSERT_EQ(rig.ok, 1) << rig.error;
    const std::string folder = rig.textures.path();
    Mtl* box = rig.Node("Box")->GetMtl();
    EXPECT_EQ(MapName(box->GetSubMtl(0)), folder + "/checker.tga");
    EXPECT_EQ(ReadPlainTga(folder + "/checker.tga").rows, kChecker);
    EXPECT_EQ(MapName(box->GetSubMtl(1)), kReal + "stripes.tga");
    EXPECT_EQ(MapName(rig.Node("Strip")->GetMtl()), folder + "/rig-embedded-0.tga");
    const Rows yellowMagentaCyanBlack = {{{{255, 255, 0}}, {{255, 0, 255}}}, {{{0, 255, 255}}, {{0, 0, 0}}}};
    EXPECT_EQ(ReadPlainTga(folder + "/rig-embedded-0.tga").rows, yellowMagentaCyanBlack);
    size_t written = 0;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) written += entry.is_regular_file();
    EXPECT_EQ(written, 4u);  // the stripes TGA is read where it is; Blob and Plain are painted
    // Blender's glTF names its embedded picture.
    Loaded figure("figure.gltf");
    ASSERT_EQ(figure.ok, 1) << figure.error;
    EXPECT_EQ(MapName(figure.Node("Figure")->GetMtl()), figure.textures / "checker.tga");
    EXPECT_EQ(ReadPlainTga(figure.textures / "checker.tga").rows, kChecker);
}

// Names as Windows programs write them: another case, backslashes, a path of
// another machine (found beside the scene file, or in a folder beside it).
TEST(AssimpSceneLoader, TexturesAreFoundAsWindowsFindsThem) {
    Loaded names("windows/names.obj");
    ASSERT_EQ(names.ok, 1) << names.error;
    const struct {
        const char* material;
        const char* source;
        const char* found;
    } cases[] = {
        {"Upper", "windows/Maps/Checker.PNG", "as named, letters in another case"},
        {"Foreign", "windows/WOOD.BMP", "by its base name beside the scene file"},
        {"Away", "windows/Maps/Checker.PNG", "by its base name in Maps/"},
    };
    for (const auto& c : cases) {
        const auto note = std::find_if(names.report.textures.begin(), names.report.textures.end(),
                                       [&](const standin::TextureNote& n) { return n.material == c.material; });
        ASSERT_NE(note, names.report.textures.end()) << c.material;
        EXPECT_EQ(note->source, kReal + c.source) << c.material;
        EXPECT_EQ(note->found, c.found) << c.material;
        EXPECT_EQ(note->problem, "") << c.material;
    }
    EXPECT_EQ(MapName(names.Node("Names")->GetMtl()->GetSubMtl(1)), kReal + "windows/WOOD.BMP");
    // Embedded pictures named by a Windows path are cached under their base name, without dots.
    EXPECT_EQ(standin::SafeStem("..\\..\\..\\3DS\\m_rifl.tga"), "m_rifl");
    EXPECT_EQ(standin::SafeStem("C:/maps/skin.bmp.png"), "skin_bmp");
}

// Pictures are sized from their headers and refused beyond 16384 a side or
// 64 M pixels before a byte is decoded; nodes nest at most 256 deep.
TEST(AssimpSceneLoader, HostileFilesAreRefusedInBoundedMemory) {
    rusage before{}, after{};
    getrusage(RUSAGE_SELF, &before);
    Loaded bomb("bomb.obj");
    getrusage(RUSAGE_SELF, &after);
    ASSERT_EQ(bomb.ok, 1) << bomb.error;
    EXPECT_LT(after.ru_maxrss - before.ru_maxrss, 100 * 1024);  // kilobytes
    ASSERT_EQ(bomb.report.textures.size(), 2u);
    for (const auto& note : bomb.report.textures) {
        EXPECT_EQ(note.problem.rfind("picture of 20000 x 20000 pixels", 0), 0u) << note.problem;
        EXPECT_TRUE(note.painted) << note.source;
    }

    // A chain of 20000 nodes, which the library would walk down to a stack overflow.
    testing_files::TempDir folder;
    nlohmann::json nodes = nlohmann::json::array();
    for (int i = 0; i < 20000; ++i) nodes.push_back(i + 1 < 20000 ? nlohmann::json{{"children", {i + 1}}} : nlohmann::json::object());
    const nlohmann::json deep = {{"asset", {{"version", "2.0"}}}, {"scene", 0}, {"scenes", {{{"nodes", {0}}}}}, {"nodes", nodes}};
    std::ofstream(folder / "deep.gltf") << deep.dump();
    standin::Scene scene;
    standin::AssimpSceneReport report;
    std::string error;
    EXPECT_EQ(standin::LoadAssimpScene(folder / "deep.gltf", {}, scene, report, error), 0);
    EXPECT_NE(error.find("its nodes nest deeper than 256 levels"), std::string::npos) << error;
}

TEST(AssimpSceneLoader, UnnamedAnimationsAreChosenByIndex) {
    testing_files::TempDir folder;
    nlohmann::json rig = nlohmann::json::parse(std::ifstream(kReal + "rig.gltf"));
    for (auto& a : rig["animations"]) a.erase("name");
    std::ofstream(folder / "unnamed.gltf") << rig.dump();
    standin::AssimpLoadOptions options;
    options.textureFolder = folder / "cache";
    options.animation = "1";
    standin::Scene scene;
    standin::AssimpSceneReport report;
    std::string error;
    ASSERT_EQ(standin::LoadAssimpScene(folder / "unnamed.gltf", options, scene, report, error), 1) << error;
    EXPECT_EQ(report.animation, "#1");
    std::ostringstream out;
    standin::ListAssimpScene(scene, report, out);
    for (const char* line : {"Animation \"#1\": ticks 0 to 1000 at 1000 a second\n", "  0 (unnamed): ticks 1000 to 3000",
                             "  1 (unnamed): ticks 0 to 1000"})
        EXPECT_NE(out.str().find(line), std::string::npos) << line << "\nin:\n" << out.str();
}

// --- Listing and failures ----------------------------------------------------------
// (md2export --list-nodes shows the other kinds of line.)

TEST(AssimpSceneLoader, FilesTheLibraryCannotReadAreRefusedWithItsReason) {
    const struct {
        const char* file;
        const char* reason;
    } cases[] = {{"broken.gltf", "No suitable reader"}, {"nowhere.gltf", "Unable to open file"}};
    for (const auto& c : cases) {
        Loaded bad(c.file);
        EXPECT_EQ(bad.ok, 0) << c.file;
        EXPECT_EQ(bad.error.rfind("Cannot load scene file \"" + kReal + c.file + "\": ", 0), 0u) << bad.error;
        EXPECT_NE(bad.error.find(c.reason), std::string::npos) << bad.error;
        EXPECT_EQ(bad.scene.root->NumberOfChildren(), 0) << c.file;
    }
}

}  // namespace
