// The export driver as "Save md2" runs it inside the loaded module: the Save As
// dialog, the files of a whole export, and the one message of each failure,
// raised by scenes made to fail at that step.
#include <filesystem>
#include <string>
#include <vector>

#include "support/image_files.h"
#include "support/plugin_session.h"
#include "support/test_files.h"

namespace {

class ExportDriverTest : public vorn_test::PluginSessionTest {
protected:
    void SetUp() override {
        PluginSessionTest::SetUp();
        LoadScene("pair.json");
        Open();
    }

    // Ticks the skin check boxes as asked and names the skin.
    void ChooseSkins(bool bmp, bool pcx, const std::string& skinName) {
        if ((Control(IDC_SAVE_BMP).check == BST_CHECKED) != bmp) Click(IDC_SAVE_BMP);
        if ((Control(IDC_SAVE_PCX).check == BST_CHECKED) != pcx) Click(IDC_SAVE_PCX);
        Type(IDC_SKIN_NAME, skinName);
    }

    // An 8-bit BMP outside drive C.
    std::string Texture(const char* name, int32_t width, int32_t height) {
        const vorn_test::Bytes pixels(static_cast<size_t>(((width + 3) & ~3) * height), 7);
        return vorn_test::WriteFile(textures / name, vorn_test::BmpFile(width, height, 8, 256, 256, pixels));
    }

    testing_files::TempDir textures;
};

// The little-endian number of `bytes` bytes at offset, signed.
int32_t FileInt(const std::vector<unsigned char>& file, size_t offset, int bytes) {
    uint32_t v = 0;
    for (int i = bytes - 1; i >= 0; --i) v = v << 8 | file.at(offset + static_cast<size_t>(i));
    return bytes == 2 ? static_cast<int16_t>(v) : static_cast<int32_t>(v);
}

TEST_F(ExportDriverTest, AFullExportWritesTheModelTheDumpAndTheSkins) {
    SetBitmap("Lawn", Texture("odd.bmp", 6, 8));  // the page's used width is no multiple of 4
    ChooseSkins(true, true, "C:\\skin");
    ExportTo("C:\\pair.md2");
    EXPECT_TRUE(MessageBoxes().empty());
    EXPECT_TRUE(BuffersReleased());
    EXPECT_EQ(FilesWritten(), (std::vector<std::string>{"pair.md2", "skin.bmp", "skin.pcx", "tris.asc"}));

    const md2check::Md2Report model = Model("pair.md2");
    EXPECT_EQ(model.Passed(), 1) << (model.findings.empty() ? "" : model.findings[0].message);
    EXPECT_EQ((std::vector<int32_t>{model.header.numXyz, model.header.numTris, model.header.numFrames}),
              (std::vector<int32_t>{8, 4, 198}));

    // Both skins are the page the model's texture coordinates point into.
    const int32_t width = model.header.skinWidth;
    const int32_t height = model.header.skinHeight;
    EXPECT_TRUE(width > 0 && width % 4 == 0 && height > 0) << width << " x " << height;
    const std::vector<unsigned char> bmp = scratch.Read("skin.bmp");
    EXPECT_EQ((std::vector<int32_t>{FileInt(bmp, 0, 2), FileInt(bmp, 18, 4), FileInt(bmp, 22, 4), FileInt(bmp, 28, 2)}),
              (std::vector<int32_t>{0x4D42, width, height, 24}));
    const std::vector<unsigned char> pcx = scratch.Read("skin.pcx");
    EXPECT_EQ((std::vector<int32_t>{pcx.at(0), FileInt(pcx, 8, 2), FileInt(pcx, 10, 2)}),
              (std::vector<int32_t>{0x0A, width - 1, height - 1}));

    const std::vector<unsigned char> dump = scratch.Read("tris.asc");
    EXPECT_NE(std::string(dump.begin(), dump.end()).find("Vertices: 8"), std::string::npos);
}

TEST_F(ExportDriverTest, OnlyTheTickedSkinsAreWritten) {
    const struct {
        bool bmp, pcx;
        std::vector<std::string> files;
    } cases[] = {
        {false, false, {"m.md2", "tris.asc"}},
        {true, false, {"m.md2", "skin.bmp", "tris.asc"}},
        {false, true, {"m.md2", "skin.pcx", "tris.asc"}},
    };
    for (const auto& c : cases) {
        for (const auto& entry : std::filesystem::directory_iterator(scratch.path())) std::filesystem::remove(entry);
        ChooseSkins(c.bmp, c.pcx, "C:\\skin");
        ExportTo("C:\\m.md2");
        EXPECT_EQ(FilesWritten(), c.files) << c.bmp << c.pcx;
    }
    EXPECT_TRUE(MessageBoxes().empty());
}

TEST_F(ExportDriverTest, AnExportAfterAFailedOneStartsFromTheSameState) {
    ChooseSkins(true, true, "C:\\first");
    ExportTo("C:\\first.md2");
    ASSERT_TRUE(MessageBoxes().empty());
    const std::vector<unsigned char> dump = scratch.Read("tris.asc");

    // Fails at the placement, with every buffer but the skins' allocated.
    SetBitmap("Wall", Texture("wide.bmp", 484, 2));
    ExportTo("C:\\failed.md2");
    ASSERT_EQ(MessageBoxes().size(), 1u);
    EXPECT_TRUE(BuffersReleased());

    LoadScene("pair.json");
    Type(IDC_SKIN_NAME, "C:\\second");
    ExportTo("C:\\second.md2");
    EXPECT_EQ(MessageBoxes().size(), 1u);
    for (const char* extension : {".md2", ".bmp", ".pcx"}) {
        EXPECT_EQ(scratch.Read(std::string("second") + extension), scratch.Read(std::string("first") + extension));
    }
    EXPECT_EQ(scratch.Read("tris.asc"), dump);
}

TEST_F(ExportDriverTest, TheChosenPathReachesTheWriterCutAtItsFirstDot) {
    for (const char* folder : {"models", "my.models"}) std::filesystem::create_directories(scratch.File(folder));
    for (const char* answer : {"C:\\models\\tris.md2", "C:\\models\\plain", "C:\\my.models\\tris.md2"}) {
        ExportTo(answer);
    }
    EXPECT_EQ(FilesWritten(), (std::vector<std::string>{"models/plain.md2", "models/tris.md2", "my.md2", "tris.asc"}));
    EXPECT_TRUE(MessageBoxes().empty());
}

// Both users of the dialog, the export and the frame-name import, show the
// same Save As: a version-400 structure owned by the panel, the model filter
// and title, an empty 260-character name, no flags. Cancelled, it leaves all be.
TEST_F(ExportDriverTest, TheSaveAsDialogIsTheModelDialogAndCancellingItDoesNothing) {
    ChooseSkins(true, true, "C:\\skin");
    for (int button : {IDC_SAVE_MD2, IDC_IMPORT_FRAMES}) {
        standin::QueueSaveAsCancel();
        Click(button);
    }
    ASSERT_EQ(SaveAsDialogs().size(), 2u);
    for (const standin::SaveAsShown& shown : SaveAsDialogs()) {
        EXPECT_EQ(shown.structSize, 76u);
        EXPECT_EQ(shown.owner, Panel());
        EXPECT_EQ(shown.filter, std::string("Quake models (*.md2)\0*.md2\0\0", 28));
        EXPECT_EQ(shown.initialFile, "");
        EXPECT_EQ(shown.maxFile, 260u);
        EXPECT_EQ(shown.title, "Save Quake Model");
        EXPECT_EQ(shown.flags, 0u);
        EXPECT_EQ(shown.nonZeroMembers, std::vector<std::string>{});
    }
    EXPECT_TRUE(MessageBoxes().empty());
    EXPECT_TRUE(FilesWritten().empty());
    EXPECT_TRUE(BuffersReleased());
}

// --- Each failure, from a scene made to cause it ---------------------------------

// What a failure case does to the scene and the drive. Every case also arms
// the traps of the later steps, so the message shows the earliest step fails.
enum Trap : unsigned {
    kMeshlessNode = 1,       // "Lawn" loses its mesh
    kNothingSelected = 2,    // no node selected
    kNoMaterials = 4,        // the selected nodes have no material
    kMissingTexture = 8,     // "Lawn"'s bitmap does not exist
    kWideTexture = 16,       // "Wall"'s bitmap is 484 pixels wide
    kTallTexture = 32,       // "Wall"'s bitmap is 484 pixels tall
    kFlatTexture = 64,       // "Wall"'s faces all use one column of its bitmap
    kOtherModel = 128,       // the chosen model exists with other counts
    kPcxBlocked = 256,       // a folder stands where the PCX skin goes
};

struct FailureCase {
    const char* name;
    unsigned traps;
    const char* text;
    const char* caption;
    std::vector<std::string> filesAfter;
};

const char kNothingToSave[] = "Nothing to save. \n(Are all objects to save selected and mapped?)";
const char kCannotPlace[] = "Unable to place all textures in specified texture size";

const FailureCase kFailureCases[] = {
    {"MeshlessNode", kMeshlessNode | kMissingTexture | kWideTexture | kOtherModel | kPcxBlocked, "Cannot get mesh",
     "Scene Error", {"pair.md2"}},
    {"NothingSelected", kNothingSelected | kMissingTexture | kOtherModel | kPcxBlocked, kNothingToSave,
     "Scene Error", {"pair.md2"}},
    {"SelectedWithoutMaterial", kNoMaterials | kOtherModel | kPcxBlocked, kNothingToSave, "Scene Error",
     {"pair.md2"}},
    {"MissingTexture", kMissingTexture | kWideTexture | kOtherModel | kPcxBlocked,
     "Cannot load all Textures...\nAre they all .BMP?", "Scene Error", {"pair.md2"}},
    {"TextureWiderThanThePage", kWideTexture | kOtherModel | kPcxBlocked, kCannotPlace, "Buffer to small",
     {"pair.md2"}},
    {"TextureTallerThanThePage", kTallTexture | kOtherModel | kPcxBlocked, kCannotPlace, "Buffer to small",
     {"pair.md2"}},
    {"TextureOfNoWidth", kFlatTexture | kOtherModel | kPcxBlocked, kCannotPlace, "Buffer to small", {"pair.md2"}},
    {"ExistingModelOfOtherCounts", kOtherModel | kPcxBlocked,
     "Cannot save model.\n(Is existing model of same vertex and face count?)", "File Error",
     {"pair.md2", "tris.asc"}},
    {"UnwritablePcxPath", kPcxBlocked, "Cannot save PCX image", "File Error",
     {"pair.md2", "skin.bmp", "tris.asc"}},
};

class DriverFailureTest : public ExportDriverTest, public ::testing::WithParamInterface<FailureCase> {
protected:
    void Arm(unsigned traps) {
        if (traps & kMeshlessNode) {
            Node("Lawn")->hasMesh = false;
            Node("Lawn")->convertible = false;
        }
        for (const char* node : {"Wall", "Lawn"}) {
            if (traps & kNothingSelected) Node(node)->selected = false;
            if (traps & kNoMaterials) Node(node)->material = nullptr;
        }
        if (traps & kMissingTexture) SetBitmap("Lawn", "C:\\missing.bmp");
        if (traps & kWideTexture) SetBitmap("Wall", Texture("wide.bmp", 484, 2));
        if (traps & kTallTexture) SetBitmap("Wall", Texture("tall.bmp", 2, 484));
        if (traps & kFlatTexture) {
            for (Point3& uv : Node("Wall")->mesh.tVerts) uv.x = 0.5f;
        }
        if (traps & kOtherModel) PutFile("pair.md2", vorn_test::Md2WithFrames(std::vector<std::string>(198, "f"), 3, 1));
        if (traps & kPcxBlocked) std::filesystem::create_directories(scratch.File("skin.pcx"));
    }
};

TEST_P(DriverFailureTest, ShowsItsMessageAndWritesNothingItShouldNot) {
    const FailureCase& c = GetParam();
    Arm(c.traps);
    const std::vector<unsigned char> existing = scratch.Read("pair.md2");
    ChooseSkins(true, true, "C:\\skin");
    ExportTo("C:\\pair.md2");

    ExpectBoxes(1, c.text, c.caption);
    EXPECT_EQ(FilesWritten(), c.filesAfter);
    if (c.traps & kOtherModel) {
        EXPECT_EQ(scratch.Read("pair.md2"), existing) << "the existing model changed";
    } else {
        EXPECT_EQ(Model("pair.md2").Passed(), 1) << "a model written before a later failure stays whole";
    }
    EXPECT_TRUE(BuffersReleased());
}

INSTANTIATE_TEST_SUITE_P(Each, DriverFailureTest, ::testing::ValuesIn(kFailureCases),
                         [](const ::testing::TestParamInfo<FailureCase>& info) { return info.param.name; });

}  // namespace
