// Real scene files: a small glTF or OBJ scene (with its MTL) and one texture
// file, made from the input, through the asset-import loader and the whole
// export. Byte 0 picks the kind of scene, the texture's extension and the
// fit options; then come the scene text and the MTL text, each after a
// two-byte length; the rest is the texture file.
//
// The library is Debian's build, not ours: a file it crashes on is first
// found in a child process and left alone (md2export reports such a file in
// one line). Everything else must keep the loader's promises (a refusal
// with a reason naming the file, or a scene whose nodes nest no deeper than
// the cap, whose faces index their arrays, and whose bitmaps name files that
// exist or whose notes say what is wrong) and the export's (success with a
// model the checker passes, or exactly one of the driver's messages), writing
// nothing but the outputs and the texture cache.
#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>
#include <unordered_map>

#include <assimp/Importer.hpp>

#include "cli/md2_check.h"
#include "core/quake_export_utility.h"
#include "fuzz/harness/fuzz_support.h"
#include "standin/host/assimp_scene_loader.h"
#include "standin/host/standin_scene.h"
#include "standin/windows/window_standin.h"

namespace {

using vorn_fuzz::Bytes;
using vorn_fuzz::Require;

// Whether the library reads the file without a fault (or an endless loop),
// asked in a child once for each scene text (the library reads no picture of
// these files), since a child costs more than the rest of a run.
bool LibrarySurvives(const std::string& path, const std::string& key) {
    static std::unordered_map<std::string, bool> known;
    if (auto it = known.find(key); it != known.end()) return it->second;
    if (known.size() > 100000) known.clear();
    bool& survives = known[key];
    const pid_t child = fork();
    if (child < 0) return false;
    if (child == 0) {
        // The child dies of the library's faults as any program would: the
        // fuzzer's and the sanitizer's handlers would report them as ours.
        for (int sig : {SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGABRT, SIGALRM}) signal(sig, SIG_DFL);
        alarm(5);  // a file the library never finishes counts as one it fails on
        const int quiet = open("/dev/null", O_WRONLY);
        if (quiet >= 0) dup2(quiet, STDERR_FILENO);
        Assimp::Importer importer;
        importer.ReadFile(path, standin::AssimpReadSteps());
        _exit(0);
    }
    int status = 0;
    while (waitpid(child, &status, 0) < 0) {
    }
    survives = WIFEXITED(status) && WEXITSTATUS(status) == 0;
    return survives;
}

void CheckNode(standin::SceneNode& node, int depth) {
    Require(depth <= 258, "a loaded node lies deeper than the cap");
    const Mesh& mesh = node.mesh;
    for (const Face& f : mesh.faces)
        for (uint32_t v : f.v) Require(v < mesh.verts.size(), "a loaded face names a vertex the mesh lacks");
    for (const auto& [faces, limit] : {std::make_pair(&mesh.tvFace, mesh.tVerts.size()),
                                       std::make_pair(&mesh.vcFace, mesh.vertCol.size())}) {
        if (limit == 0) continue;
        Require(faces->size() == mesh.faces.size(), "a loaded mesh lacks corner faces");
        for (const TVFace& f : *faces)
            for (uint32_t t : f.t) Require(t < limit, "a loaded corner face is out of range");
    }
    for (auto& child : node.children) CheckNode(*child, depth + 1);
}

void CheckBitmaps(standin::Scene& scene, const standin::AssimpSceneReport& report) {
    for (const auto& m : scene.materials) {
        Texmap* map = m->GetSubTexmap(ID_DI);
        if (!map) continue;
        const std::string file = static_cast<BitmapTex*>(map)->GetMapName();
        if (vorn_fuzz::FileExists(file)) continue;
        const bool told = std::any_of(report.textures.begin(), report.textures.end(), [&](const standin::TextureNote& n) {
            return n.material == m->name.data() && !n.problem.empty();
        });
        Require(told, "a bitmap names a file that is not there, unannounced", file);
    }
}

const char* const kDriverMessages[] = {
    "Cannot get mesh",
    "Nothing to save. \n(Are all objects to save selected and mapped?)",
    "Cannot load all Textures...\nAre they all .BMP?",
    "Unable to place all textures in specified texture size",
    "Cannot save model.\n(Is existing model of same vertex and face count?)",
    "Cannot allocate memory for texture buffer",
    "Cannot allocate memory for PCX buffer",
    "Cannot save PCX image",
};

void Export(standin::Scene& scene) {
    standin::StandinHost host(&scene);
    QuakeExportUtility utility;
    utility.hostInterface = &host;
    utility.frameCount = 2;
    for (int32_t i = 0; i < utility.frameCount; ++i)
        std::snprintf(utility.frameNames[i], kFrameNameSize, "frame%d", static_cast<int>(i));
    standin::ResetWindowSystem();
    standin::QueueSaveAs("C:\\model.md2");
    char skinName[kTextBufferSize] = "C:\\tris";
    const int result = utility.RunExport(skinName, 1, 1, 0, 0, 1, 1.0f);
    const auto& boxes = standin::Record().messageBoxes;
    if (result) {
        Require(boxes.empty(), "a successful export showed a message");
        Bytes model;
        Require(vorn_fuzz::ReadBytes(vorn_fuzz::ScratchFile("model.md2"), model), "the model is missing");
        Require(md2check::CheckMd2Model(model.data(), model.size()).Passed(), "the written model is not well-formed");
        return;
    }
    Require(boxes.size() == 1, "a failed export did not show exactly one message");
    Require(std::find(std::begin(kDriverMessages), std::end(kDriverMessages), boxes[0].text) != std::end(kDriverMessages),
            "a failure the driver does not have", boxes[0].text);
}

}  // namespace

// The library (5.2) never frees some of what it builds for malformed files;
// its own leaks are not ours to find.
extern "C" const char* __lsan_default_suppressions() { return "leak:libassimp.so\n"; }

std::string vorn_fuzz::CheckRealSceneInput(const uint8_t* data, size_t size) {
    return Answer([&] {
        vorn_fuzz::ByteSource in(data, size);
        vorn_fuzz::ClearScratchFolder();
        const uint8_t mode = in.Byte();
        const bool obj = mode & 1;
        const char* const extensions[] = {"png", "tga", "bmp", "jpg"};
        const std::string texture = std::string("tex.") + extensions[(mode >> 1) & 3];
        const Bytes sceneText = in.Take(static_cast<size_t>(in.Int(0, 8192)));
        const Bytes mtlText = in.Take(static_cast<size_t>(in.Int(0, 2048)));
        const Bytes picture = in.Take(in.Remaining());
        const std::string scenePath = ScratchFile(obj ? "scene.obj" : "scene.gltf");
        WriteBytes(scenePath, sceneText.data(), sceneText.size());
        if (obj) WriteBytes(ScratchFile("scene.mtl"), mtlText.data(), mtlText.size());
        WriteBytes(ScratchFile(texture), picture.data(), picture.size());
        const std::string key = std::string(1, static_cast<char>(mode & 1)) + std::string(sceneText.begin(), sceneText.end()) +
                                '\0' + std::string(mtlText.begin(), mtlText.end());
        if (!LibrarySurvives(scenePath, key)) return;

        standin::AssimpLoadOptions options;
        options.textureFolder = ScratchFile("cache");
        options.fitToPage = !(mode & 8);
        options.maxTexture = (mode & 16) ? 64 : 0;
        standin::Scene scene;
        standin::AssimpSceneReport report;
        std::string error;
        if (!standin::LoadAssimpScene(scenePath, options, scene, report, error)) {
            Require(error.find(scenePath) != std::string::npos, "a refusal that does not name the file", error);
            return;
        }
        CheckNode(*scene.root, 0);
        CheckBitmaps(scene, report);
        Export(scene);
    });
}
