// md2export --player on the armed example figure, run as a process: the
// folder read back as the Quake II client loads a player (names, skins, the
// menu's icon), the weapon following the hand through every frame, and a
// weapon that matches nothing leaving no folder behind.

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "preview/skin_image.h"
#include "skin/skin_palette.h"
#include "support/child_process.h"
#include "support/game_model.h"
#include "support/scratch_folder.h"

namespace {

namespace fs = std::filesystem;
using Args = std::vector<std::string>;
using Bytes = std::vector<uint8_t>;

const std::string kArmed = std::string(VORN_SOURCE_DIR) + "/examples/character/armed.gltf";

testing_process::ProcessResult Export(const ScratchFolder& folder, Args args) {
    testing_process::ProcessOptions options;
    options.workingFolder = folder.path();
    options.unset.push_back("VORN_MODULE");
    for (const char* a : {"--game-dir", "out", "--scale", "31", "--animation", "player"}) args.push_back(a);
    args.push_back(kArmed);
    return testing_process::RunProcess(VORN_MD2EXPORT, args, options);
}

std::set<std::string> Entries(const std::string& folder) {
    std::set<std::string> names;
    std::error_code ec;
    for (const auto& e : fs::directory_iterator(folder, ec)) names.insert(e.path().filename().string());
    return names;
}

// Vertex v of frame f as the game decodes it, and the frame's step on each axis.
std::array<float, 3> At(const game_model::Decoded& m, size_t f, size_t v) {
    std::array<float, 3> p;
    for (int a = 0; a < 3; ++a) p[a] = m.vertices[f][4 * v + a] * m.boxes[f][a] + m.boxes[f][3 + a];
    return p;
}

TEST(PlayerFolder, HoldsWhatTheClientLoadsWithTheWeaponInTheHand) {
    ScratchFolder folder;
    // A skin of an earlier export stays beside the new files.
    fs::create_directories(folder.File("out/players/vorn"));
    testing_files::WriteBytes(folder.File("out/players/vorn/red.pcx"), {1, 2, 3});
    const auto r = Export(folder, {"-q", "--player", "vorn", "--weapon", "Gun*"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(Entries(folder.File("out")), std::set<std::string>{"players"});  // nothing staged is left
    EXPECT_EQ(Entries(folder.File("out/players")), std::set<std::string>{"vorn"});
    EXPECT_EQ(Entries(folder.File("out/players/vorn")),
              (std::set<std::string>{"red.pcx", "skin.pcx", "skin_i.pcx", "tris.md2", "weapon.md2", "weapon.pcx"}));

    const auto tris = game_model::Decode(folder.Read("out/players/vorn/tris.md2"));
    const auto gun = game_model::Decode(folder.Read("out/players/vorn/weapon.md2"));
    EXPECT_EQ(tris.skins, std::vector<std::string>{"players/vorn/skin.pcx"});
    EXPECT_EQ(gun.skins, std::vector<std::string>{"players/vorn/weapon.pcx"});
    ASSERT_EQ(tris.vertices.size(), 198u);
    ASSERT_EQ(gun.vertices.size(), 198u);
    const size_t bodyVertices = tris.vertices[0].size() / 4, gunVertices = gun.vertices[0].size() / 4;
    EXPECT_EQ(bodyVertices, 56u);  // the figure without its gun

    // The icon: 32 x 32, 8 bits in the Quake II palette, the figure on more
    // than a quarter of it (its corner is the background).
    const Bytes icon = folder.Read("out/players/vorn/skin_i.pcx");
    ASSERT_GT(icon.size(), 128u + 769u);
    EXPECT_EQ(icon[3], 8);
    for (size_t i = 0; i < 256; ++i) {
        const uint8_t* p = &icon[icon.size() - 768 + 3 * i];
        EXPECT_EQ(std::vector<int>({p[0], p[1], p[2]}),
                  std::vector<int>({SkinPalette[i].red, SkinPalette[i].green, SkinPalette[i].blue}));
    }
    preview::RgbImage picture;
    std::string error;
    ASSERT_TRUE(preview::ReadSkin(icon.data(), icon.size(), picture, error)) << error;
    ASSERT_EQ(picture.width, 32);
    ASSERT_EQ(picture.height, 32);
    int figure = 0;
    for (int32_t y = 0; y < 32; ++y)
        for (int32_t x = 0; x < 32; ++x)
            figure += !std::equal(picture.At(x, y), picture.At(x, y) + 3, picture.At(0, 0));
    EXPECT_GT(figure, 32 * 32 / 4);

    // The gun's corner in the hand: the pair of a gun and a figure vertex
    // nearest in the first frame stays together, within a step of each
    // model's quantisation, in every frame, the feet at -24 in the first.
    size_t g = 0, b = 0;
    float nearest = 1e30f;
    for (size_t i = 0; i < gunVertices; ++i)
        for (size_t j = 0; j < bodyVertices; ++j) {
            float d = 0;
            for (int a = 0; a < 3; ++a)
                d += (At(gun, 0, i)[a] - At(tris, 0, j)[a]) * (At(gun, 0, i)[a] - At(tris, 0, j)[a]);
            if (d < nearest) nearest = d, g = i, b = j;
        }
    float lowest = 1e30f;
    for (size_t j = 0; j < bodyVertices; ++j) lowest = std::min(lowest, At(tris, 0, j)[2]);
    EXPECT_NEAR(lowest, -24.0f, tris.boxes[0][2]);
    for (size_t f = 0; f < 198; ++f)
        for (int a = 0; a < 3; ++a)
            ASSERT_NEAR(At(gun, f, g)[a], At(tris, f, b)[a], std::max(gun.boxes[f][a], tris.boxes[f][a]) + 1e-4f)
                << "frame " << f << ", axis " << a;
}

TEST(PlayerFolder, RefusesAWeaponOfNothingAndLeavesTheFolderAsItWas) {
    ScratchFolder folder;
    fs::create_directories(folder.File("out/players/vorn"));
    testing_files::WriteBytes(folder.File("out/players/vorn/red.pcx"), {1, 2, 3});
    auto r = Export(folder, {"--player", "vorn", "--weapon", "Sword*"});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("--weapon \"Sword*\" matches no mesh node (they are Figure, Gun)"), std::string::npos)
        << r.err;
    EXPECT_EQ(Entries(folder.File("out")), std::set<std::string>{"players"});  // nothing staged is left
    EXPECT_EQ(Entries(folder.File("out/players")), std::set<std::string>{"vorn"});
    EXPECT_EQ(Entries(folder.File("out/players/vorn")), std::set<std::string>{"red.pcx"});

    r = Export(folder, {"--player", "vorn"});
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("--player needs --weapon PATTERN"), std::string::npos) << r.err;
    r = Export(folder, {"--player", "vorn", "--weapon", "Gun", "--skin-name", "red_i"});
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("NAME_i.pcx a skin's icon"), std::string::npos) << r.err;
}

}  // namespace
