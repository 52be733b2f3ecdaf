// md2export, run as a process in a scratch folder on the fixture scenes of
// tests/data/cli: what it writes, what it prints, and its exit status.
//
// box.json is a textured quad rising 2 units a frame from frame 0 to 10, so
// the z translate of a written frame tells at which scene frame it was sampled.

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "cli/md2_check.h"
#include "support/child_process.h"
#include "support/test_files.h"

namespace {

using testing_process::ProcessOptions;
using testing_process::ProcessResult;
using Args = std::vector<std::string>;

const char kCannotSaveModel[] = "File Error: Cannot save model.\n(Is existing model of same vertex and face count?)\n";

class Md2Export : public ::testing::Test {
protected:
    void SetUp() override {
        for (const auto& entry : std::filesystem::directory_iterator(VORN_TEST_DATA_DIR "/cli"))
            std::filesystem::copy(entry.path(), folder_ / entry.path().filename().string());
    }

    ProcessResult Run(const Args& arguments, ProcessOptions options = {}) {
        options.workingFolder = folder_.path();
        options.unset.push_back("VORN_MODULE");
        return testing_process::RunProcess(VORN_MD2EXPORT, arguments, options);
    }

    std::string Path(const std::string& name) const { return folder_ / name; }
    bool Exists(const std::string& name) const { return testing_files::FileExists(Path(name)); }
    std::vector<uint8_t> Bytes(const std::string& name) const { return testing_files::ReadBytes(Path(name)); }

    // Every model a test writes goes through the checker.
    md2check::Md2Report Model(const std::string& name) const {
        const std::vector<uint8_t> bytes = Bytes(name);
        md2check::Md2Report report = md2check::CheckMd2Model(bytes.data(), bytes.size());
        EXPECT_TRUE(report.Passed()) << name;
        for (const md2check::Finding& f : report.findings)
            if (f.concern != md2check::Concern::Look) ADD_FAILURE() << name << ": " << f.where << ": " << f.message;
        return report;
    }

    // The scene frame a frame of box.json's model was sampled at (scale 1).
    static float SampledFrame(const md2check::Md2Report& report, size_t frame) {
        return report.frames.at(frame).translate[2] / 2.0f;
    }

    testing_files::TempDir folder_;
};

TEST_F(Md2Export, ExportsBothSkinsAndSaysWhatItWrote) {
    const ProcessResult r = Run({"--bmp", "--pcx", "box.json"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(r.out,
              "wrote tris.asc: the mesh listing (C:\\tris.asc)\n"
              "wrote box.md2: the model, 198 frames, 4 vertices, 2 triangles, skin 16 x 8\n"
              "wrote tris.bmp: the skin, 24-bit BMP\n"
              "wrote tris.pcx: the skin, 8-bit PCX in the Quake II palette\n");
    const md2check::Md2Report model = Model("box.md2");
    EXPECT_EQ(model.frames.front().name, "stand01");
    EXPECT_EQ(model.frames.back().name, "death308");
    EXPECT_EQ(SampledFrame(model, 5), 5.0f);
    EXPECT_EQ(Bytes("tris.bmp").size(), 54u + 16 * 8 * 3);
    EXPECT_FALSE(Bytes("tris.pcx").empty());
}

// Each failure of the export that a scene or a name can provoke: the message
// box as the plug-in showed it, then the reason it latched, if any.
TEST_F(Md2Export, ShowsEveryFailureAndStopsWithStatusOne) {
    ASSERT_EQ(Run({"-q", "-o", "taken.md2", "box.json"}).status, 0);
    Model("taken.md2");
    const std::vector<uint8_t> taken = Bytes("taken.md2");
    std::filesystem::create_directory(Path("full"));
    for (const char* name : {"full.md2", "full/tris.asc"}) std::filesystem::create_symlink("/dev/full", Path(name));
    struct Case {
        Args arguments;
        std::string err;
    };
    const Case cases[] = {
        {{"no_mesh.json"},
         "Scene Error: Cannot get mesh\n"
         "md2export: detail: Internal Parameter Error: Unable to get mesh from node pointer\n"},
        {{"unselected.json"}, "Scene Error: Nothing to save. \n(Are all objects to save selected and mapped?)\n"},
        {{"missing_texture.json"},
         "Scene Error: Cannot load all Textures...\nAre they all .BMP?\n"
         "md2export: detail: File Error: Could not load no_such_texture.bmp\n"},
        {{"flat_uv.json"}, "Buffer to small: Unable to place all textures in specified texture size\n"},
        {{"-o", "taken.md2", "two_boxes.json"},
         std::string(kCannotSaveModel) +
             "md2export: detail: File Error: Existing model has 2 triangles, 4 vertices and 198 frames; "
             "the export has 4, 8 and 198\n"},
        {{"-o", "nowhere/box.md2", "box.json"},
         "md2export: warning: the model: the folder \"nowhere\" does not exist\n" + std::string(kCannotSaveModel) +
             "md2export: detail: File Error: Could not open nowhere/box.md2 for writing: No such file or directory\n"},
        // A full disk: the model's own reason, or, when the listing failed
        // first and its reason is the one the plug-in keeps, the model named.
        {{"-o", "full.md2", "box.json"},
         std::string(kCannotSaveModel) +
             "md2export: detail: File Error: Could not write the model file full.md2: No space left on device\n"},
        {{"--drive-c", "full", "-o", "full.md2", "box.json"},
         std::string(kCannotSaveModel) +
             "md2export: detail: full.md2 was not written; the first problem the plug-in noted was File Error: "
             "Could not write C:\\tris.asc: No space left on device\n"},
        {{"--pcx", "--skin-name", "nowhere/skin", "-o", "skinless.md2", "box.json"},
         "md2export: warning: the skin: the folder \"nowhere\" does not exist\nFile Error: Cannot save PCX image\n"
         "md2export: detail: File Error: Could not open nowhere/skin.pcx for writing: No such file or directory\n"},
    };
    for (const Case& c : cases) {
        Args arguments = c.arguments;
        arguments.insert(arguments.begin(), "-q");
        const ProcessResult r = Run(arguments);
        EXPECT_EQ(r.status, 1) << c.err;
        EXPECT_EQ(r.err, c.err);
        EXPECT_EQ(r.out, "");
    }
    EXPECT_EQ(Bytes("taken.md2"), taken);  // refused, and left as it was
    for (const char* never : {"no_mesh.md2", "unselected.md2", "missing_texture.md2", "flat_uv.md2"})
        EXPECT_FALSE(Exists(never)) << never;
    Model("skinless.md2");  // written before the skin failed, and kept
}

TEST_F(Md2Export, KeepsThePanelsInputRules) {
    const ProcessResult reversed = Run({"--start", "5", "--end", "2", "box.json"});
    EXPECT_EQ(reversed.status, 1);
    EXPECT_EQ(reversed.err, "Input error: Last frame must be greater than first frame\n");
    EXPECT_FALSE(Exists("box.md2"));
    EXPECT_FALSE(Exists("tris.asc"));

    // The quad spans 10 units in x and y; the quarter turn puts x at -10 .. 0.
    ASSERT_EQ(Run({"-q", "--scale", "2.5", "-o", "scaled.md2", "box.json"}).status, 0);
    const md2check::Md2Report scaled = Model("scaled.md2");
    EXPECT_FLOAT_EQ(scaled.frames[0].translate[0], -25.0f);
    EXPECT_FLOAT_EQ(scaled.frames[0].scale[1], static_cast<float>(25.0 * 0.004));
}

TEST_F(Md2Export, PicksStartAndEndByNameOrIndex) {
    ASSERT_EQ(Run({"-q", "--start", "run1", "--end", "run6", "-o", "named.md2", "box.json"}).status, 0);
    ASSERT_EQ(Run({"-q", "--start", "40", "--end", "045", "-o", "counted.md2", "box.json"}).status, 0);
    EXPECT_EQ(Bytes("named.md2"), Bytes("counted.md2"));
    const md2check::Md2Report model = Model("named.md2");
    EXPECT_EQ(SampledFrame(model, 39), 10.0f);  // stand40, at its own frame (the quad stops at 10)
    EXPECT_EQ(SampledFrame(model, 40), 0.0f);   // run1, sampled at the first frame
    EXPECT_EQ(SampledFrame(model, 45), 5.0f);   // run6

    // Again into the model that is there: only the range is rewritten.
    const ProcessResult update = Run({"--start", "run2", "--end", "run2", "--first-frame", "9", "-o", "named.md2",
                                      "box.json"});
    EXPECT_EQ(update.status, 0);
    EXPECT_NE(update.out.find("updated named.md2: rewrote frames 41 to 41 (run2 to run2)\n"), std::string::npos)
        << update.out;
    const md2check::Md2Report updated = Model("named.md2");
    EXPECT_EQ(SampledFrame(updated, 41), 9.0f);
    EXPECT_EQ(SampledFrame(updated, 42), 2.0f);
}

TEST_F(Md2Export, ImportsFrameNamesFirst) {
    for (const char* bad : {"not_a_model.md2", "no_such_model.md2"}) {
        const ProcessResult r = Run({"--frames", bad, "-o", "never.md2", "box.json"});
        EXPECT_EQ(r.status, 1) << bad;
        EXPECT_EQ(r.err, "File Error: Cannot load new frame list\n");
        EXPECT_FALSE(Exists("never.md2"));
        EXPECT_FALSE(Exists("tris.asc"));
    }

    const ProcessResult list = Run({"--frames", "frames.md2", "--list-frames"});
    EXPECT_EQ(list.status, 0);
    EXPECT_EQ(list.out, "  0  wave1\n  1  wave2\n  2  wave3\n  3  wave2\n");
    const ProcessResult defaults = Run({"--list-frames", "box.json"});
    EXPECT_EQ(defaults.status, 0);
    EXPECT_EQ(defaults.out.rfind("  0  stand01\n", 0), 0u);
    EXPECT_NE(defaults.out.find("\n197  death308\n"), std::string::npos);
    EXPECT_FALSE(Exists("tris.asc"));

    // The whole imported list is exported; "wave2" is its first entry of that name.
    ASSERT_EQ(Run({"-q", "--frames", "frames.md2", "-o", "waves.md2", "box.json"}).status, 0);
    const md2check::Md2Report waves = Model("waves.md2");
    ASSERT_EQ(waves.frames.size(), 4u);
    EXPECT_EQ(waves.frames[3].name, "wave2");
    ASSERT_EQ(Run({"-q", "--frames", "./frames.md2", "--start", "wave2", "--first-frame", "8", "-o", "late.md2",
                   "box.json"})
                  .status,
              0);
    const md2check::Md2Report late = Model("late.md2");
    EXPECT_EQ(SampledFrame(late, 0), 0.0f);
    EXPECT_EQ(SampledFrame(late, 1), 8.0f);
    EXPECT_EQ(SampledFrame(late, 3), 10.0f);
}

TEST_F(Md2Export, RefusesBadUsageWithStatusTwo) {
    struct Case {
        Args arguments;
        const char* says;
    };
    const Case cases[] = {
        {{"--start", "198", "box.json"}, "--start 198: the frame list has 198 entries, 0 to 197"},
        {{"--end", "nosuch", "box.json"}, "--end nosuch: no frame of that name"},
        {{"--frames", "frames.md2", "--end", "4", "box.json"}, "--end 4: the frame list has 4 entries, 0 to 3"},
        {{"--frames", "frames.md2", "--start", "stand01", "box.json"}, "--start stand01: no frame of that name"},
        {{"--start"}, "--start needs a value (FRAME)"},
        {{"--bmp=yes", "box.json"}, "--bmp takes no value"},
        {{"--frobnicate", "box.json"}, "unknown option --frobnicate"},
        {{}, "no scene file named"},
        {{"box.json", "two_boxes.json"}, "one scene at a time"},
        {{"--drive-c", "no_such_folder", "box.json"}, "--drive-c no_such_folder: not a folder"},
        {{"checker.bmp"}, "checker.bmp\": No suitable reader found"},
        {{"--fps", "24", "box.json"}, "--fps does not apply to JSON scene files"},
        {{"--list-nodes", "box.json"}, "--list-nodes does not apply to JSON scene files"},
        {{"--fps", "0", "box.gltf"}, "--fps 0: frames a second must be a number above 0"},
        {{"--fps", "30x", "box.gltf"}, "--fps 30x: frames a second must be a number above 0"},
        {{"--select", "Box", "--list-frames"}, "--select needs a scene file"},
        {{"--list-nodes", "--list-frames", "box.gltf"}, "one listing at a time"},
        {{"broken.json"}, "root.children[0].selceted: unknown key \"selceted\""},
        {{"no_such_scene.json"}, "no_such_scene.json"},
        {{"-o", "models/", "box.json"}, "-o models/: a folder; name the model file in it, such as models/model.md2"},
        {{"-o", ".", "box.json"}, "-o .: a folder"},
        {{"-o", "models/.box.md2", "box.json"}, "first \".\", which leaves no file name here"},
    };
    for (const Case& c : cases) {
        const ProcessResult r = Run(c.arguments);
        EXPECT_EQ(r.status, 2) << c.says;
        EXPECT_NE(r.err.find(c.says), std::string::npos) << r.err;
        EXPECT_EQ(r.out, "");
    }
    EXPECT_FALSE(Exists("box.md2"));
    EXPECT_FALSE(Exists("tris.asc"));

    ProcessOptions elsewhere;
    elsewhere.environment.push_back({"VORN_MODULE", Path("no_such_module.dlu")});
    const ProcessResult r = Run({"box.json"}, elsewhere);
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("cannot load the plug-in module"), std::string::npos) << r.err;

    const ProcessResult help = Run({"--help"});
    EXPECT_EQ(help.status, 0);
    for (const char* text : {"--drive-c DIR", "--list-frames", "tris.asc", "VORN_MODULE", "Exit status", "glTF",
                             "--select PATTERN", "--fps N", "--animation NAME|INDEX", "--list-nodes",
                             "--texture-cache DIR"})
        EXPECT_NE(help.out.find(text), std::string::npos) << text;
    const ProcessResult version = Run({"--version"});
    EXPECT_EQ(version.status, 0);
    EXPECT_EQ(version.out.rfind("md2export (Vorn) ", 0), 0u);
}

TEST_F(Md2Export, PutsNamesWhereThePluginLetsThem) {
    std::filesystem::create_directories(Path("models"));
    std::filesystem::create_directories(Path("drive"));
    std::filesystem::create_directories(Path("out.d"));

    // "./" would leave the plug-in an empty name; md2export drops it.
    const ProcessResult dotSlash = Run({"-o", "./models/box.md2", "--drive-c", "drive", "box.json"});
    EXPECT_EQ(dotSlash.status, 0);
    EXPECT_EQ(dotSlash.err, "");
    EXPECT_NE(dotSlash.out.find("wrote drive/tris.asc: the mesh listing"), std::string::npos) << dotSlash.out;
    Model("models/box.md2");
    EXPECT_TRUE(Exists("drive/tris.asc"));
    EXPECT_FALSE(Exists("tris.asc"));
    EXPECT_FALSE(Exists(".md2"));

    // A dot in a folder name cuts the path there: warned, and done as the plug-in does.
    const ProcessResult dotted = Run({"-q", "-o", "out.d/box.md2", "box.json"});
    EXPECT_EQ(dotted.status, 0);
    EXPECT_EQ(dotted.err,
              "md2export: warning: the plug-in ends a file name at its first \".\": "
              "the model \"out.d/box.md2\" becomes \"out.md2\"\n");
    Model("out.md2");
    EXPECT_TRUE(std::filesystem::is_empty(Path("out.d")));
}

// A model past what Quake II loads is still written, with md2check's findings,
// and fails the export where md2info calls one an error: 2100 vertices (an
// error) and 4100 triangles (a warning) over the imported four frames.
TEST_F(Md2Export, WarnsAboutModelsQuakeCannotLoad) {
    std::string vertices, faces, tfaces;
    for (int i = 0; i < 2100; ++i)
        vertices += (i ? ",[" : "[") + std::to_string(i % 50) + "," + std::to_string(i / 50) + ",0]";
    for (int i = 0; i < 4100; ++i) {
        const int a = i % 2098;
        faces += (i ? ",{\"v\":[" : "{\"v\":[") + std::to_string(a) + "," + std::to_string(a + 1) + "," +
                 std::to_string(a + 2) + "]}";
        tfaces += i ? ",[0,1,2]" : "[0,1,2]";
    }
    const std::string scene = "{\"format\":\"md2-scene\",\"version\":1,"
                              "\"materials\":[{\"diffuse\":{\"bitmap\":\"checker.bmp\"}}],"
                              "\"root\":{\"children\":[{\"selected\":true,\"material\":0,\"mesh\":{\"vertices\":[" +
                              vertices + "],\"faces\":[" + faces + "],\"tverts\":[[0,0],[1,0],[0,1]],\"tfaces\":[" +
                              tfaces + "]}}]}}";
    testing_files::WriteBytes(Path("big.json"), std::vector<uint8_t>(scene.begin(), scene.end()));

    const ProcessResult r = Run({"-q", "--frames", "frames.md2", "big.json"});
    EXPECT_EQ(r.status, 1);
    for (const char* warning : {"md2export: error: big.md2: header: num_xyz is 2100: more vertices than Quake II's "
                                "2048 (MAX_VERTS); the engine refuses the model\n",
                                "md2export: warning: big.md2: header: num_tris is 4100: more triangles than Quake "
                                "II's 4096 (MAX_TRIANGLES); q2pro refuses the model (\"too many tris\")\n",
                                "md2export: big.md2 is written, but Quake II cannot use it: 1 error above"})
        EXPECT_NE(r.err.find(warning), std::string::npos) << r.err;
    const std::vector<uint8_t> big = Bytes("big.md2");
    const md2check::Md2Report report = md2check::CheckMd2Model(big.data(), big.size());
    ASSERT_EQ(report.frames.size(), 4u);
    // Only the sizes; how the plain model looks is left to --game.
    for (const md2check::Finding& f : report.findings) {
        if (f.concern == md2check::Concern::Look) continue;
        EXPECT_TRUE(f.where == "header" || f.where == "triangles") << f.message;
        EXPECT_NE(r.err.find(f.message), std::string::npos) << f.message;
    }
}

TEST_F(Md2Export, ShowsProgressOnlyOnATerminal) {
    ProcessOptions terminal;
    terminal.stderrOnTerminal = true;
    // A new model takes the chosen range from the frames it was just given.
    const ProcessResult shown = Run({"-o", "one.md2", "box.json"}, terminal);
    EXPECT_EQ(shown.status, 0);
    for (const char* line : {"md2export: writing frame 1 of 198: stand01", "writing frame 198 of 198: death308"})
        EXPECT_NE(shown.err.find(line), std::string::npos) << line;
    EXPECT_EQ(shown.err.find("rewriting"), std::string::npos) << shown.err;
    // An existing model has only the range written again.
    const ProcessResult again = Run({"-o", "one.md2", "--start", "run1", "--end", "run6", "box.json"}, terminal);
    EXPECT_EQ(again.status, 0);
    EXPECT_NE(again.err.find("rewriting frame 6 of 6: run6"), std::string::npos) << again.err;
    EXPECT_EQ(again.err.find("writing frame 1 of 198"), std::string::npos) << again.err;

    const ProcessResult quiet = Run({"-q", "-o", "two.md2", "box.json"}, terminal);
    EXPECT_EQ(quiet.status, 0);
    EXPECT_EQ(quiet.err.find("frame"), std::string::npos) << quiet.err;
    EXPECT_EQ(Run({"-o", "three.md2", "box.json"}).err, "");  // not a terminal
    for (const char* name : {"one.md2", "two.md2", "three.md2"}) Model(name);
}

}  // namespace
