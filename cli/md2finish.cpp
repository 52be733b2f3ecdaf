// md2finish: rewrites a Quake II model in place with what the game needs and
// an exporter may leave out (skin names, light normals, shared texture
// coordinates with strips and fans, no bytes after ofs_end), and clears the
// transparent index from an 8-bit PCX skin. The result is checked as md2info does.
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "cli/md2_check.h"
#include "finish/model_finish.h"

#ifndef VORN_VERSION
#define VORN_VERSION "unknown"
#endif

namespace {

enum ExitCode { kExitDone = 0, kExitFailed = 1, kExitUsage = 2 };

const char kUsage[] =
    "usage: md2finish [--skin PATH]... [--normals] [--share-st] [--drop-trailer]\n"
    "                 [--pcx-no-255 SKIN.pcx] [MODEL.md2]\n"
    "       md2finish --game [--skin PATH]... MODEL.md2\n";

const char kHelp[] =
    "\n"
    "Rewrites MODEL.md2 in place (a new file renamed over it); every frame's\n"
    "vertex positions stay byte for byte, only light-normal bytes may change.\n"
    "\n"
    "  --skin PATH        a skin name, as the game looks it up (models/x/skin.pcx);\n"
    "                     repeatable, up to 32, each at most 63 characters; the\n"
    "                     names replace the model's skin list\n"
    "  --normals          light normals from each frame's own triangles\n"
    "  --share-st         one texture coordinate per distinct (s, t), GL commands\n"
    "                     rebuilt as strips and fans\n"
    "  --drop-trailer     nothing after ofs_end\n"
    "  --game             --normals --share-st --drop-trailer together\n"
    "  --pcx-no-255 FILE  move the pixels of index 255 (transparent to Quake II)\n"
    "                     of an 8-bit PCX to the nearest other palette colour\n"
    "  -h, --help, --version\n"
    "\n"
    "Exit status: 0 done (warnings of the check allowed), 1 a file was refused or\n"
    "the rewritten model has errors, 2 usage.\n";

}  // namespace

int main(int argc, char** argv) {
    finish::FinishOptions options;
    std::vector<std::string> models, pcx;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const bool hasValue = i + 1 < argc;
        if (arg == "-h" || arg == "--help") {
            std::printf("%s%s", kUsage, kHelp);
            return kExitDone;
        } else if (arg == "--version") {
            std::printf("md2finish (Vorn) %s\n", VORN_VERSION);
            return kExitDone;
        } else if ((arg == "--skin" || arg == "--pcx-no-255") && hasValue) {
            (arg == "--skin" ? options.skins : pcx).push_back(argv[++i]);
        } else if (arg == "--normals") {
            options.normals = true;
        } else if (arg == "--share-st") {
            options.shareSt = true;
        } else if (arg == "--drop-trailer") {
            options.dropTrailer = true;
        } else if (arg == "--game") {
            options.normals = options.shareSt = options.dropTrailer = true;
        } else if (arg.size() > 1 && arg[0] == '-') {
            std::fprintf(stderr, "md2finish: %s %s\n%s", hasValue ? "unknown option" : "option needs a value:",
                         arg.c_str(), kUsage);
            return kExitUsage;
        } else {
            models.push_back(arg);
        }
    }
    if (models.size() > 1 || (models.empty() && pcx.empty())) {
        std::fprintf(stderr, "md2finish: %s\n%s", models.empty() ? "nothing to finish" : "one model at a time",
                     kUsage);
        return kExitUsage;
    }
    if (options.skins.size() > static_cast<std::size_t>(finish::kMaxSkinNames)) {
        std::fprintf(stderr, "md2finish: %zu skin names; the engines hold at most %d\n", options.skins.size(),
                     finish::kMaxSkinNames);
        return kExitUsage;
    }
    for (const std::string& name : options.skins) {
        const std::string problem = finish::CheckSkinName(name);
        if (!problem.empty()) {
            std::fprintf(stderr, "md2finish: %s\n", problem.c_str());
            return kExitUsage;
        }
    }

    int status = kExitDone;
    for (const std::string& path : pcx) {
        const finish::FinishResult result = finish::RemovePaletteIndex255(path);
        std::fprintf(result.ok ? stdout : stderr, "%s%s\n", result.ok ? "" : "md2finish: ", result.message.c_str());
        if (!result.ok) status = kExitFailed;
    }
    if (models.empty()) return status;

    const finish::FinishResult result = finish::FinishModel(models[0], options);
    if (!result.ok) {
        std::fprintf(stderr, "md2finish: %s\n", result.message.c_str());
        return kExitFailed;
    }
    std::printf("%s\n", result.message.c_str());
    std::vector<uint8_t> bytes;
    std::string reason;
    if (!md2check::ReadModelFile(models[0], bytes, reason)) {
        std::fprintf(stderr, "md2finish: %s\n", reason.c_str());
        return kExitFailed;
    }
    const md2check::Md2Report report = md2check::CheckMd2Model(bytes.data(), bytes.size());
    for (const md2check::Finding& f : report.findings)
        std::printf("%s: %s: %s: %s\n", models[0].c_str(),
                    f.severity == md2check::Severity::Error ? "error" : "warning", f.where.c_str(),
                    f.message.c_str());
    return report.Passed() && status == kExitDone ? kExitDone : kExitFailed;
}
