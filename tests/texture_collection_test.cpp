// Texture collection over stand-in scenes: counting, merging, sorting, loading,
// the TIM position option and every latched reason.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "export/model_exporter.h"
#include "standin/host/host_files.h"
#include "support/drive_mapping.h"
#include "standin/host/standin_scene.h"
#include "support/image_files.h"

namespace {

using namespace vorn_test;
using standin::SceneMaterial;
using standin::SceneNode;

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
    void Nodes(std::vector<SceneMaterial*> materials) {
        std::free(engine.nodes);
        engine.nodes = static_cast<INode**>(std::malloc(materials.size() * sizeof(INode*) + 1));
        engine.nodeCount = static_cast<int32_t>(materials.size());
        for (size_t i = 0; i < materials.size(); ++i) {
            auto node = std::make_unique<SceneNode>();
            node->name = "node" + std::to_string(i);
            node->material = materials[i];
            engine.nodes[i] = scene.root->AddChild(std::move(node));
        }
    }
    int Collect(int32_t options) { return engine.CollectTextures(&records, &count, options); }
    std::vector<std::string> Names() const {
        std::vector<std::string> names;
        for (int32_t i = 0; i < count; ++i) names.emplace_back(records[i].fileName);
        return names;
    }
};

using Names = std::vector<std::string>;

TEST(TextureCollection, WithoutANodeListNothingIsCollected) {
    Collection c;
    EXPECT_EQ(c.Collect(COLLECT_SORT | COLLECT_MERGE | COLLECT_LOAD), 0);
    EXPECT_STREQ(c.engine.errorText, "No nodes selected to retrieve textures from");
    EXPECT_STREQ(c.engine.errorCaption, "Selection Error");
    EXPECT_EQ(c.records, nullptr);
    EXPECT_EQ(c.count, -7);
}

TEST(TextureCollection, NodesWithoutMaterialsLeaveBothSlotsAlone) {
    Collection c;
    c.Nodes({nullptr, nullptr});
    TextureRecord sentinel[1];
    TextureRecord* slot = sentinel;
    EXPECT_EQ(c.engine.CollectTextures(&slot, &c.count, COLLECT_SORT | COLLECT_MERGE | COLLECT_LOAD), 1);
    EXPECT_EQ(slot, sentinel);
    EXPECT_EQ(c.count, -7);
    EXPECT_EQ(c.engine.errorSet, 0);
}

TEST(TextureCollection, OneRecordPerMaterialAndSubMaterialInNodeOrder) {
    Collection c;
    SceneMaterial* plain = c.Bitmap("Plain", "plain.bmp");
    SceneMaterial* multi = c.Multi("Multi", {c.Bitmap("S0", "s0.bmp"), c.Bitmap("S1", "s1.bmp"),
                                             c.Bitmap("S2", "s2.bmp"), c.Bitmap("S3", "s3.bmp")});
    c.Nodes({plain, nullptr, multi, plain});
    ASSERT_EQ(c.Collect(0), 1);
    EXPECT_EQ(c.count, 6);
    EXPECT_EQ(c.Names(), (Names{"plain.bmp", "s0.bmp", "s1.bmp", "s2.bmp", "s3.bmp", "plain.bmp"}));
    // The names are the host's strings, not copies.
    EXPECT_EQ(c.records[0].fileName, static_cast<BitmapTex*>(plain->diffuse.get())->GetMapName());
    EXPECT_EQ(c.records[0].fileName, c.records[5].fileName);
}

TEST(TextureCollection, MergeKeepsTheFirstOfEachExactName) {
    Collection c;
    // Equal texts in different host strings merge; a difference in case does not.
    c.Nodes({c.Bitmap("A", "wall.bmp"), c.Bitmap("B", "Wall.bmp"), c.Bitmap("C", "wall.bmp"),
             c.Bitmap("D", "floor.bmp"), c.Bitmap("E", "Wall.bmp")});
    ASSERT_EQ(c.Collect(COLLECT_MERGE), 1);
    EXPECT_EQ(c.Names(), (Names{"wall.bmp", "Wall.bmp", "floor.bmp"}));
    for (int32_t i = 0; i < c.count; ++i) EXPECT_EQ(c.records[i].head.mergeIndex, -1) << i;
    // The left-over records behind the count keep their marks: the position
    // of the first record of their name.
    EXPECT_EQ(c.records[4].head.mergeIndex, 1);
}

// 500 nodes sharing a multi-material of 500 slots of one material: merged,
// they are one record, and they are taken once rather than 250,000 times.
TEST(TextureCollection, SharedMaterialsAreTakenOnceWhenMerging) {
    Collection c;
    SceneMaterial* wall = c.Bitmap("Wall", "wall.bmp");
    SceneMaterial* floor = c.Bitmap("Floor", "floor.bmp");
    std::vector<SceneMaterial*> slots(500, wall);
    slots[7] = floor;
    SceneMaterial* multi = c.Multi("Multi", slots);
    std::vector<SceneMaterial*> nodes(500, multi);
    nodes[3] = floor;
    c.Nodes(nodes);
    ASSERT_EQ(c.Collect(COLLECT_MERGE), 1);
    EXPECT_EQ(c.Names(), (Names{"wall.bmp", "floor.bmp"}));
}

TEST(TextureCollection, SortIsCaseInsensitiveAndKeepsTheFirstOfEqualNames) {
    const struct {
        Names nodeOrder;
        Names sorted;
    } cases[] = {
        {{"C.bmp", "a.bmp", "B.bmp"}, {"a.bmp", "B.bmp", "C.bmp"}},
        // The first exchange moves Wall.bmp behind its equal, and nothing moves it back.
        {{"Wall.bmp", "wall.bmp", "a.bmp"}, {"a.bmp", "wall.bmp", "Wall.bmp"}},
        {{"wall.bmp", "Wall.bmp", "a.bmp"}, {"a.bmp", "Wall.bmp", "wall.bmp"}},
        // Upper-case letters compare as lower-case: '_' comes before every letter.
        {{"b.bmp", "_z.bmp", "A.bmp"}, {"_z.bmp", "A.bmp", "b.bmp"}},
        // Moving "a" to the front carries ab.bmp behind its equal AB.bmp.
        {{"ab.bmp", "a.bmp", "AB.bmp", "a"}, {"a", "a.bmp", "AB.bmp", "ab.bmp"}},
    };
    for (const auto& k : cases) {
        Collection c;
        std::vector<SceneMaterial*> materials;
        for (const std::string& name : k.nodeOrder) materials.push_back(c.Bitmap("M", name));
        c.Nodes(materials);
        ASSERT_EQ(c.Collect(COLLECT_SORT | COLLECT_MERGE), 1);
        EXPECT_EQ(c.Names(), k.sorted) << k.nodeOrder[0] << " ...";
    }
}

TEST(TextureCollection, LoadReadsEveryFileInSortedOrder) {
    Collection c;
    const std::string tga = ImageFixture("tga8.tga");
    const std::string bmp = ImageFixture("bmp24.bmp");
    c.Nodes({c.Bitmap("T", tga), c.Bitmap("B", bmp), c.Bitmap("T2", tga)});
    ASSERT_EQ(c.Collect(COLLECT_SORT | COLLECT_MERGE | COLLECT_LOAD), 1);
    ASSERT_EQ(c.count, 2);
    EXPECT_EQ(c.Names(), (Names{bmp, tga}));
    EXPECT_STREQ(c.records[0].image.Name(), bmp.c_str());
    EXPECT_EQ(c.records[0].image.BitsPerPixel(), 24);
    EXPECT_EQ(c.records[1].image.Width(), 7);
    EXPECT_EQ(c.records[1].image.BitsPerPixel(), 8);
}

// Every reason the collection latches, with the name it is about. The array
// stays in the caller's slot; the count is not written.
TEST(TextureCollection, FailuresLatchAReasonNamingTheCulprit) {
    const std::string longName(300, 'n');
    const std::string missing = ScratchDir() + "/missing.bmp";
    struct Case {
        const char* what;
        std::function<SceneMaterial*(Collection&)> material;
        std::string text;
        const char* caption;
    } cases[] = {
        {"empty diffuse slot", [](Collection& c) { return c.scene.AddMaterial("Brick"); },
         "No Bitmap in diffuse slot of material:Brick", "Scene Error"},
        {"sub-material without a bitmap",
         [](Collection& c) { return c.Multi("Body", {c.Bitmap("Skin", "skin.bmp"), c.scene.AddMaterial("Glass")}); },
         "No Bitmap in diffuse slot of material:Glass", "Scene Error"},
        {"empty sub-material slot",
         [](Collection& c) { return c.Multi("Body", {c.Bitmap("Skin", "skin.bmp"), nullptr}); },
         "Empty sub-material slot 2 of material:Body", "Scene Error"},
        {"procedural map",
         [](Collection& c) {
             SceneMaterial* m = c.scene.AddMaterial("Noise");
             m->diffuse = std::make_unique<standin::SceneOtherTexmap>(Class_ID(0x241, 0));
             return m;
         },
         "Material Noise is not a bitmap type", "Scene Error"},
        {"class id differing in its second part",
         [](Collection& c) {
             SceneMaterial* m = c.scene.AddMaterial("Almost");
             m->diffuse = std::make_unique<standin::SceneOtherTexmap>(Class_ID(0x240, 1));
             return m;
         },
         "Material Almost is not a bitmap type", "Scene Error"},
        {"missing file", [&](Collection& c) { return c.Bitmap("M", missing); }, "Could not load " + missing,
         "File Error"},
        {"no reader for the extension", [](Collection& c) { return c.Bitmap("M", "wall.png"); },
         "Could not load wall.png", "File Error"},
        {"long material name", [&](Collection& c) { return c.scene.AddMaterial(longName); },
         ("No Bitmap in diffuse slot of material:" + longName).substr(0, 255), "Scene Error"},
        {"long file name", [&](Collection& c) { return c.Bitmap("M", longName + ".bmp"); },
         ("Could not load " + longName).substr(0, 255), "File Error"},
    };
    for (const Case& k : cases) {
        Collection c;
        c.Nodes({c.Bitmap("Fine", ImageFixture("bmp4.bmp")), k.material(c)});
        EXPECT_EQ(c.Collect(COLLECT_SORT | COLLECT_MERGE | COLLECT_LOAD), 0) << k.what;
        EXPECT_EQ(std::string(c.engine.errorText), k.text) << k.what;
        EXPECT_STREQ(c.engine.errorCaption, k.caption) << k.what;
        EXPECT_NE(c.records, nullptr) << k.what;
        EXPECT_EQ(c.count, -7) << k.what;
    }
}

TEST(ReplaceExtension, CutsAtTheFirstDotAnywhere) {
    const struct {
        const char* name;
        size_t capacity;
        int result;
        const char* after;
    } cases[] = {
        {"wall.bmp", 32, 1, "wall.tim"},
        {"wall", 32, 1, "wall.tim"},
        {"wall.", 32, 1, "wall.tim"},
        {"C:\\my.maps\\wall.bmp", 32, 1, "C:\\my.tim"},
        {"wall.bmp", 9, 1, "wall.tim"},   // exactly fits with its zero
        {"wall.bmp", 8, 0, "wall.bmp"},   // would not: unchanged
        {"longname", 9, 0, "longname"},
        {"", 5, 1, ".tim"},
    };
    for (const auto& k : cases) {
        char buffer[64];
        std::strcpy(buffer, k.name);
        EXPECT_EQ(ModelExporter::ReplaceExtension(buffer, k.capacity, "tim"), k.result) << k.name;
        EXPECT_STREQ(buffer, k.after) << k.name;
    }
    EXPECT_EQ(ModelExporter::ReplaceExtension(nullptr, 8, "tim"), 0);
}

TEST(TextureCollection, TimPositionGivesPageAndPlacement) {
    SKIP_WITHOUT_DRIVE_MAPPING();
    const std::string dir = ScratchDir();
    standin::SetDriveFolder('W', dir);
    const std::vector<uint16_t> clut = {0x7FFF, 0x001F};
    TimPlace high;
    high.imageX = 320;
    high.imageY = 256;
    high.clutX = 16;
    high.clutY = 481;
    TimPlace low;
    low.imageX = 330;
    low.imageY = 10;
    WriteFile(dir + "/pages/page21.tim", TimFile(1, &clut, 2, 2, Bytes(8, 1), high));
    WriteFile(dir + "/pages/page5.tim", TimFile(0, nullptr, 1, 2, Bytes(4, 0x10), low));

    Collection c;
    SceneMaterial* lowMaterial = c.Bitmap("Low", "W:\\pages\\page5.BMP");
    c.Nodes({lowMaterial, c.Bitmap("High", "W:\\pages\\page21.bmp")});
    ASSERT_EQ(c.Collect(COLLECT_SORT | COLLECT_MERGE | COLLECT_LOAD | COLLECT_TIM_POSITION), 1);
    standin::SetDriveFolder('W', "");
    ASSERT_EQ(c.Names(), (Names{"W:\\pages\\page21.tim", "W:\\pages\\page5.tim"}));
    // Each record renamed its own copy; the host's string is as it was.
    for (int32_t i = 0; i < c.count; ++i) EXPECT_EQ(c.records[i].fileName, c.records[i].ownedFileName.get());
    EXPECT_STREQ(static_cast<BitmapTex*>(lowMaterial->diffuse.get())->GetMapName(), "W:\\pages\\page5.BMP");

    const struct {
        uint32_t page;
        int32_t placeX, placeY, clutX, clutY;
        uint16_t bits;
    } want[] = {{21, 0, 0, 32, 481, 8}, {5, 20, 10, 0, 0, 4}};
    for (int i = 0; i < 2; ++i) {
        const TextureRecord& r = c.records[i];
        EXPECT_EQ(r.PageNumber(), want[i].page) << i;
        EXPECT_TRUE(r.IsPlaced()) << i;
        EXPECT_EQ(r.pageFlags() & ~(PAGE_NUMBER_MASK | PAGE_PLACED), 0u) << i;
        EXPECT_EQ(r.placeX, want[i].placeX) << i;
        EXPECT_EQ(r.placeY, want[i].placeY) << i;
        EXPECT_EQ(r.clutX, want[i].clutX) << i;
        EXPECT_EQ(r.clutY, want[i].clutY) << i;
        EXPECT_EQ(r.image.BitsPerPixel(), want[i].bits) << i;
    }
}

TEST(TextureCollection, TimPositionOfAFileThatEndsEarlyFails) {
    SKIP_WITHOUT_DRIVE_MAPPING();
    const std::string dir = ScratchDir();
    standin::SetDriveFolder('W', dir);
    Bytes cut = TimFile(1, nullptr, 1, 1, {1, 2});
    cut.resize(14);  // inside the image block's head
    WriteFile(dir + "/short.tim", cut);
    Collection c;
    c.Nodes({c.Bitmap("S", "W:\\short.bmp")});
    EXPECT_EQ(c.Collect(COLLECT_LOAD | COLLECT_TIM_POSITION), 0);
    standin::SetDriveFolder('W', "");
    EXPECT_STREQ(c.engine.errorText, "Could not load W:\\short.tim");
    TextureRecord record;
    record.fileName = "W:\\nowhere.tim";
    EXPECT_EQ(c.engine.ReadTimPosition(&record), 0);
}

}  // namespace
