// The JSON scene loader: bitmap paths joined to the scene's folder, and every
// kind of bad file named by file, path and what was expected.
#include <gtest/gtest.h>

#include <string>

#include "standin/host/json_scene_loader.h"

namespace {

using standin::LoadJsonScene;
using standin::LoadJsonSceneText;
using standin::Scene;
using standin::SceneBitmapTex;
using standin::SceneNode;

const std::string kScenes = std::string(VORN_TEST_DATA_DIR) + "/scenes";

// A document with the given text after the format and version.
std::string Doc(const std::string& rest) {
    return R"({"format": "md2-scene", "version": 1)" + (rest.empty() ? "" : ", " + rest) + "}";
}

// A document whose root has the one child node given.
std::string OneNode(const std::string& node, const std::string& materials = "") {
    return Doc((materials.empty() ? "" : "\"materials\": " + materials + ", ") + R"("root": { "children": [ )" +
               node + " ] }");
}

TEST(JsonSceneLoader, JoinsRelativeBitmapPathsToTheSceneFolder) {
    const struct {
        std::optional<std::string> folder;
        const char* bitmap;
        const char* expected;
    } cases[] = {
        {std::string("scenes"), "crate.tga", "scenes/crate.tga"},
        {std::string("scenes"), "../maps/./crate.tga", "scenes/../maps/./crate.tga"},  // no normalisation
        {std::string(""), "crate.tga", "/crate.tga"},  // a scene at "/x.json"
        {std::nullopt, "maps/crate.tga", "maps/crate.tga"},
        {std::string("scenes"), "/textures/crate.tga", "/textures/crate.tga"},
        {std::string("scenes"), "C:\\textures\\crate.tga", "C:\\textures\\crate.tga"},
        {std::string("scenes"), "d:crate.tga", "d:crate.tga"},
        {std::string("scenes"), "\\\\server\\crate.tga", "\\\\server\\crate.tga"},
    };
    for (const auto& c : cases) {
        Scene scene;
        std::string error;
        std::string bitmap;
        for (const char* p = c.bitmap; *p; ++p) bitmap += (*p == '\\') ? std::string("\\\\") : std::string(1, *p);
        const std::string text = Doc(R"("materials": [ { "diffuse": { "bitmap": ")" + bitmap + R"(" } } ])");
        ASSERT_TRUE(LoadJsonSceneText(text, c.folder, scene, error)) << error;
        auto* tex = dynamic_cast<SceneBitmapTex*>(scene.materials.at(0)->diffuse.get());
        ASSERT_NE(tex, nullptr);
        EXPECT_EQ(tex->fileName, c.expected) << c.bitmap;
    }
    EXPECT_EQ(standin::SceneFolderOf("dir/sub/x.json"), std::optional<std::string>("dir/sub"));
    EXPECT_EQ(standin::SceneFolderOf("/x.json"), std::optional<std::string>(""));
    EXPECT_EQ(standin::SceneFolderOf("x.json"), std::nullopt);
}

// The message names the file, the JSON path of the offending value, what was
// expected and the node it is in; a failed load leaves the scene as it was.
TEST(JsonSceneLoader, RejectsBadFilesNamingFileAndPath) {
    const struct {
        const char* file;
        const char* expected;
    } cases[] = {
        {"no such scene.json", ": cannot open the file"},
        {"bad/syntax_error.json", ": not valid JSON: parse error at line 2"},
        {"bad/unknown_key.json", ": root.children[0].mesh.facse: unknown key \"facse\""},
        {"bad/missing_tfaces.json",
         ": root.children[0].mesh.tfaces: missing: the mesh has tverts, so it needs one texture face per face"},
    };
    for (const auto& c : cases) {
        Scene scene;
        scene.root->name = "untouched";
        std::string error;
        const std::string path = kScenes + "/" + c.file;
        EXPECT_FALSE(LoadJsonScene(path, scene, error)) << c.file;
        EXPECT_EQ(error.rfind(path + c.expected, 0), 0u) << error;
        EXPECT_EQ(scene.root->name, "untouched");
    }
}

TEST(JsonSceneLoader, RejectsEveryBrokenRule) {
    const std::string triangle = R"("vertices": [[0,0,0],[1,0,0],[0,1,0]], "faces": [ { "v": [0,1,2] } ])";
    // One material; a node with a triangle and more mesh keys; a node with one
    // face of the given keys over one vertex; a triangle node with more node
    // keys, or with one modifier "M".
    const auto material = [](const std::string& m) { return Doc(R"("materials": [ )" + m + " ]"); };
    const auto mesh = [&](const std::string& keys) { return OneNode(R"({ "mesh": { )" + triangle + keys + " } }"); };
    const auto face = [](const std::string& keys) {
        return OneNode(R"({ "mesh": { "vertices": [[0,0,0]], "faces": [ { )" + keys + " } ] } }");
    };
    const auto node = [&](const std::string& keys) { return OneNode(R"({ "mesh": { )" + triangle + " }" + keys + " }"); };
    const auto modifier = [&](const std::string& keys) { return node(R"(, "modifiers": [ { "name": "M", )" + keys + " } ]"); };
    const struct {
        std::string text;
        const char* expected;
    } cases[] = {
        {"[]", "top level: expected an object, found an array"},
        {R"({ "version": 1 })", "format: missing"},
        {R"({ "format": "md2-scene", "version": 2 })", "version: unsupported version 2: expected 1"},
        {Doc(R"("ticksPerFrame": 0)"), "ticksPerFrame: expected ticks per frame from 1 to"},
        {Doc(R"("Root": {})"), "Root: unknown key \"Root\" (expected one of: format, version, ticksPerFrame"},
        {Doc(R"("materials": {})"), "materials: expected an array of materials, found an object"},
        {material(R"({ "subMaterials": [0, 1] })"),
         "materials[0].subMaterials[1]: material index 1 is out of range: the scene has 1 material"},
        {material(R"({ "diffuse": { "bitmap": "" } })"), "materials[0].diffuse.bitmap: expected a bitmap path"},
        {material(R"({ "diffuse": { "classId": [576, 0] } })"), "materials[0].diffuse.classId: the bitmap texture's class id"},
        {material(R"({ "diffuse": { "classId": [1] } })"),
         "materials[0].diffuse.classId: expected an array of 2 integers, found 1 element"},
        {OneNode(R"({ "name": 5 })"), "root.children[0].name: expected a string, found an integer"},
        {OneNode(R"({ "transform": [[1,0,0],[0,1,0],[0,0,1]] })"),
         "root.children[0].transform: expected 4 rows of 3 numbers, found 3 elements"},
        {OneNode(R"({ "transformKeys": [ { "frame": 0 } ] })"), "root.children[0].transformKeys[0].rows: missing"},
        {OneNode(R"({ "mesh": { "vertices": [[3.5e38, 0, 0]] } })"),
         "root.children[0].mesh.vertices[0][0]: expected a number within single-precision range"},
        {face(R"("v": [0, 0, -1])"), "mesh.faces[0].v[2]: vertex index -1 is out of range: the mesh has 1 vertex"},
        {face(R"("v": [0, 0, 0.0])"), "mesh.faces[0].v[2]: expected an integer vertex index"},
        {face(R"("v": [0, 0, 0], "matId": 65536)"),
         "root.children[0].mesh.faces[0].matId: expected a material id from 0 to 65535, found 65536"},
        {mesh(R"(, "tverts": [[0,0,0,0]], "tfaces": [[0,0,0]])"),
         "mesh.tverts[0]: expected an array of 2 or 3 numbers, found 4 elements"},
        {mesh(R"(, "tverts": [[0,0]], "tfaces": [])"), "mesh.tfaces: expected one texture face per face (1 face), found 0"},
        {mesh(R"(, "tverts": [[0,0]], "tfaces": [[0,0,1]])"),
         "mesh.tfaces[0][2]: texture vertex index 1 is out of range: the mesh has 1 tverts"},
        {mesh(R"(, "cverts": [[1,1,1]], "cfaces": [[0,2,0]])"),
         "mesh.cfaces[0][1]: colour vertex index 2 is out of range: the mesh has 1 cverts"},
        {OneNode(R"({ "vertexKeys": [ { "frame": 0, "vertices": [] } ] })"),
         "root.children[0].vertexKeys: vertex keys need a mesh to animate"},
        {node(R"(, "modifiers": [ { "level": 3 } ])"), "root.children[0].modifiers[0].name: missing"},
        {modifier(R"("toggles": [0])"), "modifiers[0].toggles: expected an array of 32 integers, found 1 element"},
        {modifier(R"("vertexSelection": { "set": [3] })"),
         "modifiers[0].vertexSelection.set[0]: vertex index 3 is out of range: the selection has 3 vertices"},
        // The mesh's count and at most 64 more: a short file cannot ask for vast selections.
        {modifier(R"("vertexSelection": { "size": 68 })"),
         "modifiers[0].vertexSelection.size: expected a selection size from 0 to 67, found 68"},
    };
    for (const auto& c : cases) {
        Scene scene;
        std::string error;
        EXPECT_FALSE(LoadJsonSceneText(c.text, std::nullopt, scene, error, "t.json")) << c.text;
        EXPECT_EQ(error.rfind("t.json: ", 0), 0u) << error;
        EXPECT_NE(error.find(c.expected), std::string::npos) << "got: " << error << "\nwanted: " << c.expected;
    }
}

}  // namespace
