// Texture collection over stand-in scenes: counting, merging, sorting, loading,
// the TIM position option and every latched reason.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <tuple>
#include <vector>

#include "core/model_exporter.h"
#include "standin/host/host_files.h"
#include "support/drive_mapping.h"
#include "standin/host/standin_scene.h"
#include "support/image_files.h"

namespace {

using namespace vorn_test;
using standin::SceneMaterial;
using Names = std::vector<std::string>;

// A scene, an engine whose node list is set by hand, and the caller's slots.
struct Collection {
    standin::Scene scene;
    ModelExporter engine;
    TextureRecord* records = nullptr;
    int32_t count = -7;  // a value no collection writes

    ~Collection() { delete[] records; }

    SceneMaterial* Bitmap(const std::string& name, const std::string& file) {
        SceneMaterial* m = scene.AddMaterial(name);
        m->diffuse = std::make_unique<standin::SceneBitmapTex>(file);
        return m;
    }
    SceneMaterial* Multi(const std::string& name, std::vector<SceneMaterial*> subs) {
        SceneMaterial* m = scene.AddMaterial(name);
        m->subMaterials = std::move(subs);
        return m;
    }
    // One node per entry (null: a node without material), listed as collected.
    void Nodes(const std::vector<SceneMaterial*>& materials) {
        std::free(engine.nodes);
        engine.nodes = static_cast<INode**>(std::malloc(materials.size() * sizeof(INode*) + 1));
        engine.nodeCount = static_cast<int32_t>(materials.size());
        for (size_t i = 0; i < materials.size(); ++i) {
            auto node = std::make_unique<standin::SceneNode>();
            node->name = "node" + std::to_string(i);
            node->material = materials[i];
            engine.nodes[i] = scene.root->AddChild(std::move(node));
        }
    }
    // One node per file, each with a material of its own.
    void NodesOf(const Names& files) {
        std::vector<SceneMaterial*> materials;
        for (const std::string& file : files) materials.push_back(Bitmap("M", file));
        Nodes(materials);
    }
    int Collect(int32_t options) { return engine.CollectTextures(&records, &count, options); }
    Names Collected() const {
        Names names;
        for (int32_t i = 0; i < count; ++i) names.emplace_back(records[i].fileName);
        return names;
    }
};

// Plain is used by two nodes and by a slot of the multi-material: merging
// takes it once, and without merging every use is a record.
TEST(TextureCollection, OneRecordPerMaterialAndSubMaterialInNodeOrder) {
    for (int32_t options : {0, int32_t{COLLECT_MERGE}}) {
        Collection c;
        SceneMaterial* plain = c.Bitmap("Plain", "plain.bmp");
        c.Nodes({plain, nullptr, c.Multi("Multi", {c.Bitmap("S0", "s0.bmp"), plain, c.Bitmap("S1", "s1.bmp")}), plain});
        ASSERT_EQ(c.Collect(options), 1);
        EXPECT_EQ(c.Collected(), (options ? Names{"plain.bmp", "s0.bmp", "s1.bmp"}
                                          : Names{"plain.bmp", "s0.bmp", "plain.bmp", "s1.bmp", "plain.bmp"}));
    }
}

// Merging keeps the first record of each exact name; sorting ignores case.
TEST(TextureCollection, MergeKeepsTheFirstOfEachExactNameAndSortIgnoresCase) {
    const struct {
        int32_t options;
        Names nodeOrder;
        Names collected;
    } cases[] = {
        {COLLECT_MERGE,
         {"wall.bmp", "Wall.bmp", "wall.bmp", "floor.bmp", "Wall.bmp"},
         {"wall.bmp", "Wall.bmp", "floor.bmp"}},
        {COLLECT_SORT | COLLECT_MERGE, {"C.bmp", "a.bmp", "B.bmp"}, {"a.bmp", "B.bmp", "C.bmp"}},
        // The first exchange moves Wall.bmp behind its equal, and nothing moves it back.
        {COLLECT_SORT, {"Wall.bmp", "wall.bmp", "a.bmp"}, {"a.bmp", "wall.bmp", "Wall.bmp"}},
        {COLLECT_SORT, {"wall.bmp", "Wall.bmp", "a.bmp"}, {"a.bmp", "Wall.bmp", "wall.bmp"}},
        // Upper-case letters compare as lower-case: '_' comes before every letter.
        {COLLECT_SORT, {"b.bmp", "_z.bmp", "A.bmp"}, {"_z.bmp", "A.bmp", "b.bmp"}},
        // Moving "a" to the front carries ab.bmp behind its equal AB.bmp.
        {COLLECT_SORT, {"ab.bmp", "a.bmp", "AB.bmp", "a"}, {"a", "a.bmp", "AB.bmp", "ab.bmp"}},
    };
    for (const auto& k : cases) {
        Collection c;
        c.NodesOf(k.nodeOrder);
        ASSERT_EQ(c.Collect(k.options), 1);
        EXPECT_EQ(c.Collected(), k.collected) << k.nodeOrder[0] << " ...";
    }
}

TEST(TextureCollection, LoadReadsEveryFileInSortedOrder) {
    Collection c;
    const std::string tga = ImageFixture("tga8.tga");
    const std::string bmp = ImageFixture("bmp24.bmp");
    c.NodesOf({tga, bmp, tga});
    ASSERT_EQ(c.Collect(COLLECT_SORT | COLLECT_MERGE | COLLECT_LOAD), 1);
    ASSERT_EQ(c.Collected(), (Names{bmp, tga}));
    EXPECT_EQ(c.records[0].image.BitsPerPixel(), 24);
    EXPECT_EQ(c.records[1].image.BitsPerPixel(), 8);
}

SceneMaterial* WithOtherMap(Collection& c, const char* name, Class_ID id) {
    SceneMaterial* m = c.scene.AddMaterial(name);
    m->diffuse = std::make_unique<standin::SceneOtherTexmap>(id);
    return m;
}

// Every reason the collection latches, with the name it is about, cut to the
// message buffer. The array stays in the caller's slot; the count is not written.
TEST(TextureCollection, FailuresLatchAReasonNamingTheCulprit) {
    const std::string longName(300, 'n');
    const std::string noBitmap = "No Bitmap in diffuse slot of material:";
    const struct {
        std::function<SceneMaterial*(Collection&)> material;
        std::string text;
        const char* caption;
    } cases[] = {
        {[](Collection& c) { return c.Multi("Body", {c.Bitmap("Skin", "skin.bmp"), c.scene.AddMaterial("Glass")}); },
         noBitmap + "Glass", "Scene Error"},
        {[](Collection& c) { return c.Multi("Body", {c.Bitmap("Skin", "skin.bmp"), nullptr}); },
         "Empty sub-material slot 2 of material:Body", "Scene Error"},
        {[](Collection& c) { return WithOtherMap(c, "Noise", Class_ID(0x241, 0)); },
         "Material Noise is not a bitmap type", "Scene Error"},
        // The bitmap class differs from this one in its second part only.
        {[](Collection& c) { return WithOtherMap(c, "Almost", Class_ID(0x240, 1)); },
         "Material Almost is not a bitmap type", "Scene Error"},
        {[&](Collection& c) { return c.scene.AddMaterial(longName); }, (noBitmap + longName).substr(0, 255),
         "Scene Error"},
        {[&](Collection& c) { return c.Bitmap("M", longName + ".bmp"); }, ("Could not load " + longName).substr(0, 255),
         "File Error"},
    };
    for (const auto& k : cases) {
        Collection c;
        c.Nodes({c.Bitmap("Fine", ImageFixture("bmp4.bmp")), k.material(c)});
        EXPECT_EQ(c.Collect(COLLECT_SORT | COLLECT_MERGE | COLLECT_LOAD), 0) << k.text;
        EXPECT_EQ(std::string(c.engine.errorText), k.text);
        EXPECT_STREQ(c.engine.errorCaption, k.caption) << k.text;
        EXPECT_NE(c.records, nullptr) << k.text;
        EXPECT_EQ(c.count, -7) << k.text;
    }
}

TEST(TextureCollection, TimPositionGivesPageAndPlacement) {
    SKIP_WITHOUT_DRIVE_MAPPING();
    const std::string dir = ScratchDir();
    const std::vector<uint16_t> clut = {0x7FFF, 0x001F};
    WriteFile(dir + "/pages/page21.tim", TimFile(1, &clut, 2, 2, Bytes(8, 1), TimPlace{320, 256, 16, 481}));
    WriteFile(dir + "/pages/page5.tim", TimFile(0, nullptr, 1, 2, Bytes(4, 0x10), TimPlace{330, 10, 0, 0}));

    Collection c;
    SceneMaterial* low = c.Bitmap("Low", "W:\\pages\\page5.BMP");
    c.Nodes({low, c.Bitmap("High", "W:\\pages\\page21.bmp")});
    standin::SetDriveFolder('W', dir);
    ASSERT_EQ(c.Collect(COLLECT_SORT | COLLECT_MERGE | COLLECT_LOAD | COLLECT_TIM_POSITION), 1);
    standin::SetDriveFolder('W', "");
    ASSERT_EQ(c.Collected(), (Names{"W:\\pages\\page21.tim", "W:\\pages\\page5.tim"}));
    // Each record renamed a copy of its own; the host's string is as it was.
    EXPECT_STREQ(static_cast<BitmapTex*>(low->diffuse.get())->GetMapName(), "W:\\pages\\page5.BMP");

    // The page counts 64 frame-buffer units across and 256 rows down; the CLUT's x is in units too.
    auto fields = [](const TextureRecord& r) {
        return std::make_tuple(r.pageFlags(), r.placeX, r.placeY, r.clutX, r.clutY, r.image.BitsPerPixel());
    };
    EXPECT_EQ(fields(c.records[0]), std::make_tuple(21 | PAGE_PLACED, 0, 0, 32, 481, uint16_t(8)));
    EXPECT_EQ(fields(c.records[1]), std::make_tuple(5 | PAGE_PLACED, 20, 10, 0, 0, uint16_t(4)));
}

}  // namespace
