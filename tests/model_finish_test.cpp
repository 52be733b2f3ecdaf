// Finishing models for the game (finish/): the light-normal table against the
// shared one, single steps on a plug-in export, refused inputs left alone,
// and md2finish with the PCX skin's index 255.
#include "finish/model_finish.h"

#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

#include "finish/light_normals.h"
#include "support/child_process.h"
#include "support/game_model.h"
#include "support/scratch_folder.h"
#include "support/test_files.h"

namespace {

using Bytes = std::vector<uint8_t>;

TEST(LightNormals, AreTheProjectsTableAndEachIsItsOwnNearest) {
    std::ifstream csv(std::string(VORN_SOURCE_DIR) + "/data/quake2-light-normals.csv");
    ASSERT_TRUE(csv) << "data/quake2-light-normals.csv";
    std::string line;
    int rows = 0;
    while (std::getline(csv, line)) {
        int index;
        float x, y, z;
        if (std::sscanf(line.c_str(), "%d,%f,%f,%f", &index, &x, &y, &z) != 4) continue;
        ASSERT_EQ(index, rows++);
        EXPECT_FLOAT_EQ(finish::kLightNormals[index][0], x) << index;
        EXPECT_FLOAT_EQ(finish::kLightNormals[index][1], y) << index;
        EXPECT_FLOAT_EQ(finish::kLightNormals[index][2], z) << index;
    }
    EXPECT_EQ(rows, finish::kLightNormalCount);
    for (int i = 0; i < finish::kLightNormalCount; ++i) {
        const float* n = finish::kLightNormals[i];
        EXPECT_EQ(finish::NearestLightNormal(3 * n[0], 3 * n[1], 3 * n[2]), i);
    }
}

// The bundled character exported as it stands, then finished in place.
class FinishedCharacter : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        folder_ = new ScratchFolder;
        testing_process::ProcessOptions options;
        options.workingFolder = folder_->path();
        const auto r = testing_process::RunProcess(
            VORN_MD2EXPORT, {"-q", "--pcx", "--scale", "31", VORN_SOURCE_DIR "/examples/character/character.gltf",
                             "-o", "plain.md2"}, options);
        ASSERT_EQ(r.status, 0) << r.err;
    }
    static void TearDownTestSuite() { delete folder_; }
    static ScratchFolder* folder_;
};
ScratchFolder* FinishedCharacter::folder_ = nullptr;

// The whole finish is checked through md2export --game (game_export_test.cpp).
TEST_F(FinishedCharacter, EachStepAloneTouchesOnlyItsOwnPart) {
    const Bytes plain = folder_->Read("plain.md2");
    Bytes out;
    finish::FinishOptions trailerOnly;
    trailerOnly.dropTrailer = true;
    ASSERT_TRUE(finish::FinishModelBytes(plain, trailerOnly, out).ok);
    EXPECT_EQ(out, Bytes(plain.begin(), plain.begin() + game_model::Decode(plain).header[16]));
    ASSERT_TRUE(finish::FinishModelBytes(plain, {}, out).ok);
    EXPECT_EQ(out, plain);
    finish::FinishOptions normalsOnly;
    normalsOnly.normals = true;
    ASSERT_TRUE(finish::FinishModelBytes(plain, normalsOnly, out).ok);
    ASSERT_EQ(out.size(), plain.size());
    EXPECT_NE(out, plain);
    const auto h = game_model::Decode(plain).header;
    const size_t frames = h[14], glCommands = h[15], frameSize = h[4];
    for (size_t i = 0; i < out.size(); ++i) {
        const size_t inFrame = (i - frames) % frameSize;  // only a normal byte may change
        if (i >= frames && i < glCommands && inFrame >= 40 && inFrame % 4 == 3) continue;
        ASSERT_EQ(out[i], plain[i]) << i;
    }
}

TEST_F(FinishedCharacter, RefusesWhatDoesNotHoldTogetherAndLeavesTheFile) {
    const Bytes plain = folder_->Read("plain.md2");
    const auto h = game_model::Decode(plain).header;
    struct Spoil {
        const char* what;
        size_t at;
        uint8_t value;
        const char* said;
    } spoils[] = {
        {"ident", 0, 'X', "not a Quake II model"},
        {"triangle's vertex", static_cast<size_t>(h[13]) + 1, 0xFF, "triangle 0"},
        {"first GL count", static_cast<size_t>(h[15]), 2, "GL command at word 0"},
        {"ofs_end", 64 + 3, 0x7F, "ofs_end"},
    };
    finish::FinishOptions all;
    all.normals = all.shareSt = all.dropTrailer = true;
    for (const Spoil& s : spoils) {
        Bytes bad = plain;
        bad.at(s.at) = s.value;
        testing_files::WriteBytes(folder_->File("bad.md2"), bad);
        const finish::FinishResult r = finish::FinishModel(folder_->File("bad.md2"), all);
        EXPECT_FALSE(r.ok) << s.what;
        EXPECT_NE(r.message.find(s.said), std::string::npos) << s.what << ": " << r.message;
        EXPECT_EQ(folder_->Read("bad.md2"), bad) << s.what;
    }
    Bytes out;
    EXPECT_FALSE(finish::FinishModelBytes(Bytes(plain.begin(), plain.begin() + 60), all, out).ok);
    finish::FinishOptions longName;
    longName.skins = {std::string(64, 'a')};
    EXPECT_FALSE(finish::FinishModelBytes(plain, longName, out).ok);
}

TEST_F(FinishedCharacter, CommandFinishesModelAndSkin) {
    // Two pixel runs of index 255 in the written skin's first row.
    Bytes pcx = folder_->Read("tris.pcx");
    ASSERT_GT(pcx.size(), 132u);
    pcx[128] = 0xC5, pcx[129] = 255, pcx[130] = 0xC1, pcx[131] = 255;
    testing_files::WriteBytes(folder_->File("skin.pcx"), pcx);
    testing_files::WriteBytes(folder_->File("cmd.md2"), folder_->Read("plain.md2"));
    testing_process::ProcessOptions options;
    options.workingFolder = folder_->path();
    auto r = testing_process::RunProcess(VORN_MD2FINISH, {"--game", "--skin", "models/c/skin.pcx", "--pcx-no-255",
                                                          "skin.pcx", "cmd.md2"}, options);
    EXPECT_EQ(r.status, 0) << r.out << r.err;
    EXPECT_NE(r.out.find("6 pixels of index 255 moved"), std::string::npos) << r.out;
    const Bytes fixed = folder_->Read("skin.pcx");
    EXPECT_EQ(fixed.size(), pcx.size());
    EXPECT_NE(fixed[129], 255);
    EXPECT_EQ(fixed[129], fixed[131]);
    EXPECT_EQ(game_model::Decode(folder_->Read("cmd.md2")).skins, std::vector<std::string>{"models/c/skin.pcx"});

    r = testing_process::RunProcess(VORN_MD2FINISH, {"--skin", std::string(70, 'x'), "cmd.md2"}, options);
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("at most 63"), std::string::npos) << r.err;
}

}  // namespace
