// md2export --game and the options that serve it, run as a process: each
// bundled example and test scene exported plain and finished, the finished
// one compared with the plain one and checked as the engines will see it;
// the scene moved, frame names from text, and what an update now says.

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "cli/md2_check.h"
#include "support/child_process.h"
#include "support/game_model.h"
#include "support/scratch_folder.h"
#include "support/test_files.h"

namespace {

using Args = std::vector<std::string>;
using Bytes = std::vector<uint8_t>;

const std::string kSource = VORN_SOURCE_DIR;
const std::string kData = VORN_TEST_DATA_DIR;

testing_process::ProcessResult Export(const ScratchFolder& folder, Args args) {
    testing_process::ProcessOptions options;
    options.workingFolder = folder.path();
    options.unset.push_back("VORN_MODULE");
    return testing_process::RunProcess(VORN_MD2EXPORT, args, options);
}

std::string Describe(const md2check::Md2Report& report) {
    std::string text;
    for (const md2check::Finding& f : report.findings) text += f.where + ": " + f.message + "\n";
    return text;
}

struct Scene {
    std::string path;
    Args options;
};

TEST(GameExport, FinishesEveryBundledSceneAndKeepsItsVertices) {
    const std::vector<std::string> skins = {"players/vorn/tris.pcx", "players/vorn/pain.pcx"};
    const Scene scenes[] = {
        {kSource + "/examples/character/character.gltf", {"--scale", "31"}},
        {kSource + "/examples/robot.json", {}},
        {kData + "/cli/box.json", {}},
        {kData + "/cli/two_boxes.json", {}},
        {kData + "/real/pyramid.dae", {}},
        {kData + "/real/motion.gltf", {}},
    };
    for (const Scene& scene : scenes) {
        SCOPED_TRACE(scene.path);
        ScratchFolder folder;
        Args plain = scene.options, game = scene.options;
        for (const char* option : {"-q", "--pcx", "-o", "plain.md2"}) plain.push_back(option);
        for (const char* option : {"-q", "--game", "--skin-path", "players/vorn/tris.pcx", "--skin-path",
                                   "players/vorn/pain.pcx", "--skin-name", "game", "-o", "game.md2"})
            game.push_back(option);
        plain.push_back(scene.path);
        game.push_back(scene.path);
        const auto p = Export(folder, plain);
        ASSERT_EQ(p.status, 0) << p.err;
        const auto g = Export(folder, game);
        ASSERT_EQ(g.status, 0) << g.err;
        EXPECT_EQ(g.err, "");  // no warning: nothing left for the game to mind

        const Bytes model = folder.Read("game.md2"), pcx = folder.Read("game.pcx");
        md2check::Md2Report report = md2check::CheckMd2Model(model.data(), model.size());
        md2check::CheckSkinPicture(pcx.data(), pcx.size(), "game.pcx", report);
        EXPECT_EQ(Describe(report), "");
        game_model::ExpectFinished(folder.Read("plain.md2"), model, skins, folder.File("tris.asc"));
    }
}

TEST(GameExport, MovesTheSceneTheWayAsked) {
    ScratchFolder folder;
    const std::string character = kSource + "/examples/character/character.gltf";
    auto r = Export(folder, {"-q", "--game", "--skin-path", "players/vorn/tris.pcx", "--feet-at", "-24", "--scale",
                             "31", character, "-o", "feet.md2"});
    ASSERT_EQ(r.status, 0) << r.err;
    const Bytes feet = folder.Read("feet.md2");
    const md2check::Md2Report moved = md2check::CheckMd2Model(feet.data(), feet.size());
    ASSERT_FALSE(moved.frames.empty());
    EXPECT_NEAR(moved.frames[0].min[2], -24.0f, moved.frames[0].scale[2]);

    // An offset moves every frame by as much, in model units.
    r = Export(folder, {"-q", "--scale", "31", character, "-o", "plain.md2"});
    ASSERT_EQ(r.status, 0) << r.err;
    r = Export(folder, {"-q", "--scale", "31", "--offset", "1.5,-2,3", character, "-o", "offset.md2"});
    ASSERT_EQ(r.status, 0) << r.err;
    const auto plain = game_model::Decode(folder.Read("plain.md2")), offset = game_model::Decode(folder.Read("offset.md2"));
    ASSERT_EQ(plain.boxes.size(), offset.boxes.size());
    for (size_t f = 0; f < plain.boxes.size(); f += 37)
        for (int a = 0; a < 3; ++a) EXPECT_NEAR(offset.boxes[f][3 + a], plain.boxes[f][3 + a] + (a == 0 ? 1.5 : a == 1 ? -2 : 3), 1e-3);

    for (const Args& bad : {Args{"--offset", "1,2"}, Args{"--feet-at", "low"}, Args{"--skin-path", "a.pcx"},
                            Args{"--game", "--skin-path", std::string(64, 'x')}})
    {
        Args args = bad;
        args.push_back(character);
        EXPECT_EQ(Export(folder, args).status, 2) << bad[0];
    }
}

TEST(GameExport, TakesFrameNamesFromTextAndSaysWhatAnUpdateKeeps) {
    ScratchFolder folder;
    for (const char* file : {"box.json", "checker.bmp"})
        testing_files::WriteBytes(folder.File(file), testing_files::ReadBytes(kData + "/cli/" + file));
    const std::string names = "idle\r\nwalk1\nwalk2\n";
    testing_files::WriteBytes(folder.File("names.txt"), Bytes(names.begin(), names.end()));
    auto r = Export(folder, {"-q", "--frame-names", "names.txt", "--scale", "3", "box.json", "-o", "box.md2"});
    ASSERT_EQ(r.status, 0) << r.err;
    md2check::Md2Report report;
    const auto check = [&] {
        const Bytes bytes = folder.Read("box.md2");
        report = md2check::CheckMd2Model(bytes.data(), bytes.size());
    };
    check();
    ASSERT_EQ(report.frames.size(), 3u);
    EXPECT_EQ(report.frames[1].name, "walk1");

    // The same counts from an unscaled scene whose corners sit elsewhere on the page.
    const Bytes box = folder.Read("box.json");
    std::string moved(box.begin(), box.end());
    moved.replace(moved.find("[[0,0],[1,0],[1,1],[0,1]]"), 25, "[[0,0],[0.5,0],[0.5,0.5],[0,0.5]]");
    testing_files::WriteBytes(folder.File("moved.json"), Bytes(moved.begin(), moved.end()));
    r = Export(folder, {"-q", "--frame-names", "names.txt", "--start", "walk2", "moved.json", "-o", "box.md2"});
    EXPECT_EQ(r.status, 0);
    EXPECT_NE(r.err.find("keeps its texture coordinates"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("--replace writes a new model"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("times the size of the kept ones"), std::string::npos) << r.err;
    r = Export(folder, {"-q", "--replace", "--frame-names", "names.txt", "moved.json", "-o", "box.md2"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "");
    check();
    EXPECT_EQ(report.frames.size(), 3u);
    EXPECT_FALSE(folder.Exists("box.md2.replaced"));

    for (const char* bad : {"sixteen_letters_", "", "a\n\nb"}) {
        testing_files::WriteBytes(folder.File("bad.txt"), Bytes(bad, bad + std::strlen(bad)));
        r = Export(folder, {"--frame-names", "bad.txt", "box.json"});
        EXPECT_EQ(r.status, 2) << bad;
        EXPECT_NE(r.err.find("--frame-names bad.txt"), std::string::npos) << r.err;
    }
}

}  // namespace
