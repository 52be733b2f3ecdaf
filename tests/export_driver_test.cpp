// The export driver as "Save md2" runs it inside the loaded module: the Save As
// dialog, the files of a whole export, and the one message of each failure,
// raised by scenes made to fail at that step.
#include <algorithm>
#include <filesystem>
#include <ostream>
#include <string>
#include <vector>

#include "support/image_files.h"
#include "support/plugin_session.h"
#include "support/test_files.h"

namespace {

using vorn_test::PluginSessionTest;

class ExportDriverTest : public PluginSessionTest {
protected:
    void SetUp() override {
        PluginSessionTest::SetUp();
        LoadScene("pair.json");
        Open();
    }

    // Ticks the skin check boxes as asked and names the skin.
    void ChooseSkins(bool bmp, bool pcx, const std::string& skinName) {
        if ((CheckState(IDC_SAVE_BMP) == BST_CHECKED) != bmp) Click(IDC_SAVE_BMP);
        if ((CheckState(IDC_SAVE_PCX) == BST_CHECKED) != pcx) Click(IDC_SAVE_PCX);
        Type(IDC_SKIN_NAME, skinName);
    }

    // An 8-bit BMP outside drive C, of a size the page cannot hold.
    std::string BigTexture(const char* name, int32_t width, int32_t height) {
        const vorn_test::Bytes pixels(static_cast<size_t>(((width + 3) & ~3) * height), 7);
        return vorn_test::WriteFile(textures / name, vorn_test::BmpFile(width, height, 8, 256, 256, pixels));
    }

    testing_files::TempDir textures;
};

void ExpectOneOkBoxOwnedBy(const std::vector<standin::MessageBoxShown>& boxes, HWND owner, const char* text,
                           const char* caption) {
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, text);
    EXPECT_EQ(boxes[0].caption, caption);
    EXPECT_EQ(boxes[0].owner, owner);
    EXPECT_EQ(boxes[0].type, static_cast<UINT>(MB_OK));
}

TEST_F(ExportDriverTest, AFullExportWritesTheModelTheDumpAndTheSkins) {
    ChooseSkins(true, true, "C:\\skin");
    ExportTo("C:\\pair.md2");

    EXPECT_TRUE(MessageBoxes().empty());
    EXPECT_TRUE(BuffersReleased());
    EXPECT_EQ(FilesWritten(), (std::vector<std::string>{"pair.md2", "skin.bmp", "skin.pcx", "tris.asc"}));

    const md2check::Md2Report model = Model("pair.md2");
    EXPECT_EQ(model.Passed(), 1) << (model.findings.empty() ? "" : model.findings[0].message);
    EXPECT_EQ(model.header.numXyz, 8);
    EXPECT_EQ(model.header.numTris, 4);
    ASSERT_EQ(model.header.numFrames, 198);
    ASSERT_EQ(model.frames.size(), 198u);
    EXPECT_EQ(model.frames[0].name, "stand01");
    EXPECT_EQ(model.frames[197].name, "death308");
    // Each frame is the scene at its own frame: the quads rise one unit a frame.
    for (int i : {0, 1, 100, 197}) EXPECT_FLOAT_EQ(model.frames[static_cast<size_t>(i)].translate[2], i) << i;

    // Both skins are the page the model's texture coordinates point into.
    const int32_t width = model.header.skinWidth;
    const int32_t height = model.header.skinHeight;
    EXPECT_GT(width, 0);
    EXPECT_EQ(width % 4, 0);
    EXPECT_GT(height, 0);
    const std::vector<unsigned char> bmp = scratch.Read("skin.bmp");
    EXPECT_EQ(vorn_test::FileI16(bmp, 0), 0x4D42);
    EXPECT_EQ(vorn_test::FileI32(bmp, 18), width);
    EXPECT_EQ(vorn_test::FileI32(bmp, 22), height);
    EXPECT_EQ(vorn_test::FileI16(bmp, 28), 24);
    const std::vector<unsigned char> pcx = scratch.Read("skin.pcx");
    ASSERT_GT(pcx.size(), 128u + 769u);
    EXPECT_EQ(pcx[0], 0x0A);
    EXPECT_EQ(vorn_test::FileI16(pcx, 8), width - 1);
    EXPECT_EQ(vorn_test::FileI16(pcx, 10), height - 1);

    const std::vector<unsigned char> dump = scratch.Read("tris.asc");
    const std::string text(dump.begin(), dump.end());
    EXPECT_NE(text.find("Vertices: 8"), std::string::npos) << text;
}

TEST_F(ExportDriverTest, OnlyTheTickedSkinsAreWritten) {
    const struct {
        bool bmp, pcx;
        const char* skin;
        std::vector<std::string> files;
    } cases[] = {
        {false, false, "none", {}},
        {true, false, "bmp", {"bmp.bmp"}},
        {false, true, "pcx", {"pcx.pcx"}},
        {true, true, "both", {"both.bmp", "both.pcx"}},
    };
    for (const auto& c : cases) {
        const std::string folder = std::string("C:\\") + c.skin + "\\";
        std::filesystem::create_directories(scratch.File(c.skin));
        ChooseSkins(c.bmp, c.pcx, folder + c.skin);
        ExportTo(folder + "model.md2");
        std::vector<std::string> expected = {std::string(c.skin) + "/model.md2"};
        for (const std::string& f : c.files) expected.push_back(std::string(c.skin) + "/" + f);
        std::vector<std::string> written;
        for (const std::string& f : FilesWritten()) {
            if (f.rfind(std::string(c.skin) + "/", 0) == 0) written.push_back(f);
        }
        std::sort(expected.begin(), expected.end());
        EXPECT_EQ(written, expected) << c.skin;
    }
    EXPECT_TRUE(MessageBoxes().empty());
    EXPECT_TRUE(scratch.Exists("tris.asc"));
}

TEST_F(ExportDriverTest, AnExportAfterAFailedOneStartsFromTheSameState) {
    ChooseSkins(true, true, "C:\\first");
    ExportTo("C:\\first.md2");
    ASSERT_TRUE(MessageBoxes().empty());
    EXPECT_TRUE(BuffersReleased());
    const std::vector<unsigned char> dump = scratch.Read("tris.asc");

    // Fails at the placement, with every buffer but the skins' allocated.
    SetBitmap("Wall", BigTexture("wide.bmp", 484, 2));
    ExportTo("C:\\failed.md2");
    ASSERT_EQ(MessageBoxes().size(), 1u);
    EXPECT_TRUE(BuffersReleased());

    LoadScene("pair.json");
    Type(IDC_SKIN_NAME, "C:\\second");
    ExportTo("C:\\second.md2");
    EXPECT_EQ(MessageBoxes().size(), 1u);
    EXPECT_TRUE(BuffersReleased());
    EXPECT_EQ(scratch.Read("second.md2"), scratch.Read("first.md2"));
    EXPECT_EQ(scratch.Read("second.bmp"), scratch.Read("first.bmp"));
    EXPECT_EQ(scratch.Read("second.pcx"), scratch.Read("first.pcx"));
    EXPECT_EQ(scratch.Read("tris.asc"), dump);
}

TEST_F(ExportDriverTest, CancellingSaveAsWritesAndShowsNothing) {
    ChooseSkins(true, true, "C:\\skin");
    standin::QueueSaveAsCancel();
    Click(IDC_SAVE_MD2);
    ASSERT_EQ(SaveAsDialogs().size(), 1u);
    EXPECT_FALSE(SaveAsDialogs()[0].chose);
    EXPECT_TRUE(MessageBoxes().empty());
    EXPECT_TRUE(FilesWritten().empty());
    EXPECT_TRUE(BuffersReleased());
}

TEST_F(ExportDriverTest, TheChosenPathReachesTheWriterCutAtItsFirstDot) {
    std::filesystem::create_directories(scratch.File("models"));
    std::filesystem::create_directories(scratch.File("my.models"));
    const struct {
        const char* answer;
        const char* written;
    } cases[] = {
        {"C:\\models\\tris.md2", "models/tris.md2"},
        {"C:\\models\\plain", "models/plain.md2"},
        {"C:\\my.models\\tris.md2", "my.md2"},
        {"C:\\twice.md2.md2", "twice.md2"},
    };
    for (const auto& c : cases) {
        ExportTo(c.answer);
        EXPECT_TRUE(scratch.Exists(c.written)) << c.answer;
        EXPECT_EQ(Model(c.written).Passed(), 1) << c.answer;
    }
    EXPECT_FALSE(scratch.Exists("my.models/tris.md2"));
    EXPECT_TRUE(MessageBoxes().empty());
}

// Both users of the dialog, the export and the frame-name import, show the
// same Save As: a version-400 structure owned by the panel, the model filter
// and title, an empty 260-character name, no flags.
TEST_F(ExportDriverTest, TheSaveAsDialogIsTheModelDialog) {
    for (int button : {IDC_SAVE_MD2, IDC_IMPORT_FRAMES}) {
        standin::QueueSaveAsCancel();
        Click(button);
    }
    ASSERT_EQ(SaveAsDialogs().size(), 2u);
    const std::string filter("Quake models (*.md2)\0*.md2\0\0", 28);
    for (const standin::SaveAsShown& shown : SaveAsDialogs()) {
        EXPECT_EQ(shown.structSize, 76u);
        EXPECT_EQ(shown.owner, Panel());
        ASSERT_TRUE(shown.hasFilter);
        EXPECT_EQ(shown.filter, filter);
        EXPECT_EQ(shown.initialFile, "");
        EXPECT_EQ(shown.maxFile, 260u);
        ASSERT_TRUE(shown.hasTitle);
        EXPECT_EQ(shown.title, "Save Quake Model");
        EXPECT_EQ(shown.flags, 0u);
        EXPECT_TRUE(shown.nonZeroMembers.empty()) << shown.nonZeroMembers.front();
    }
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

void PrintTo(const FailureCase& c, std::ostream* out) { *out << c.name; }

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
            standin::SceneNode* lawn = Node("Lawn");
            lawn->hasMesh = false;
            lawn->convertible = false;
        }
        if (traps & kNothingSelected) {
            for (const char* node : {"Wall", "Lawn"}) Node(node)->selected = false;
        }
        if (traps & kNoMaterials) {
            for (const char* node : {"Wall", "Lawn"}) Node(node)->material = nullptr;
        }
        if (traps & kMissingTexture) SetBitmap("Lawn", "C:\\missing.bmp");
        if (traps & kWideTexture) SetBitmap("Wall", BigTexture("wide.bmp", 484, 2));
        if (traps & kTallTexture) SetBitmap("Wall", BigTexture("tall.bmp", 2, 484));
        if (traps & kFlatTexture) {
            for (Point3& uv : Node("Wall")->mesh.tVerts) uv.x = 0.5f;
        }
        if (traps & kOtherModel) {
            const std::vector<std::string> names(198, "frame");
            PutFile("pair.md2", vorn_test::Md2WithFrames(names, 3, 1));
        }
        if (traps & kPcxBlocked) std::filesystem::create_directories(scratch.File("skin.pcx"));
    }
};

TEST_P(DriverFailureTest, ShowsItsMessageAndWritesNothingItShouldNot) {
    const FailureCase& c = GetParam();
    Arm(c.traps);
    const std::vector<unsigned char> existing = scratch.Read("pair.md2");
    ChooseSkins(true, true, "C:\\skin");
    ExportTo("C:\\pair.md2");

    ExpectOneOkBoxOwnedBy(MessageBoxes(), Panel(), c.text, c.caption);
    EXPECT_EQ(SaveAsDialogs().size(), 1u);
    EXPECT_EQ(FilesWritten(), c.filesAfter);
    if (c.traps & kOtherModel) {
        EXPECT_EQ(scratch.Read("pair.md2"), existing) << "the existing model changed";
    } else if (scratch.Exists("pair.md2")) {
        EXPECT_EQ(Model("pair.md2").Passed(), 1) << "a model written before a later failure stays whole";
    }
    EXPECT_TRUE(BuffersReleased());
}

INSTANTIATE_TEST_SUITE_P(Each, DriverFailureTest, ::testing::ValuesIn(kFailureCases),
                         [](const ::testing::TestParamInfo<FailureCase>& info) { return info.param.name; });

}  // namespace
