// md2info: prints a Quake II model's header, frame names and per-frame bounds,
// and checks the file the way the engine's loaders would.
#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "cli/md2_check.h"
#include "preview/contact_sheet.h"

#ifndef VORN_VERSION
#define VORN_VERSION "unknown"
#endif

namespace {

using md2check::Md2Report;
using md2check::Severity;

enum ExitCode { kExitPassed = 0, kExitProblems = 1, kExitUsage = 2 };

const char kUsage[] =
    "usage: md2info [--quiet] [--pcx SKIN.pcx]... MODEL.md2\n"
    "       md2info --preview OUT.png [--skin FILE] [--view VIEW] [--yaw DEG] [--ortho]\n"
    "               [--frames all|A-B|LIST] [--cell PIXELS] MODEL.md2\n"
    "       md2info --help | --version\n";

const char kHelp[] =
    "usage: md2info [--quiet] [--pcx SKIN.pcx]... MODEL.md2\n"
    "       md2info --preview OUT.png [preview options] MODEL.md2\n"
    "\n"
    "Prints a Quake II model's header (all 17 fields), its skin names, its frame\n"
    "names with each frame's bounds (the decoded minimum and maximum of x, y and z,\n"
    "byte * scale + translate), a count of its GL commands, and every problem found.\n"
    "\n"
    "Options:\n"
    "  -q, --quiet   print only the problems\n"
    "      --pcx F   check the 8-bit skin F too; the model's own .pcx skins are\n"
    "                looked for by their file name beside the model\n"
    "  -h, --help    print this help\n"
    "      --version print the version\n"
    "\n"
    "Preview (draws the model instead of checking it, in software):\n"
    "  --preview OUT.png  write a contact sheet of frames as PNG, each cell labelled\n"
    "                     with its frame number and name\n"
    "  --skin FILE        the skin, 8-bit PCX or 24-bit BMP; else the first PCX or BMP\n"
    "                     the model names (beside the model, or by the path it names\n"
    "                     from there), else MODEL.pcx or MODEL.bmp beside the model;\n"
    "                     without one the model is drawn grey\n"
    "  --view VIEW        front (default), side, three-quarter or top\n"
    "  --yaw DEG          turn the model about its up axis first (the light stays)\n"
    "  --ortho            orthographic instead of perspective\n"
    "  --frames SEL       all, A-B, or a list \"0,5,run1-run6\" of frame numbers\n"
    "                     and names; default the first frame of each animation\n"
    "  --cell PIXELS      the side of each square cell, 32 to 2048 (default 160)\n"
    "Shading follows the light-normal indices as Quake II's GL renderer does;\n"
    "a model whose indices are all 0 is drawn in its skin's own colours.\n"
    "\n"
    "Errors (the model fails): what id's Quake II loaders refuse, what would make them\n"
    "read or write out of bounds, and corruption of the layout:\n"
    "  - ident other than \"IDP2\", version other than 8;\n"
    "  - num_xyz, num_st, num_tris, num_frames or num_glcmds of 0 or less;\n"
    "  - more than 2048 vertices (MAX_VERTS), which the loaders refuse;\n"
    "  - num_skins below 0 or above 32 (MAX_MD2SKINS, the loaders' skin table);\n"
    "  - skinheight above 480 (MAX_LBM_HEIGHT), which the loaders refuse;\n"
    "  - framesize other than 40 + 4 * num_xyz;\n"
    "  - an offset outside the file or not 4-byte aligned, a section inside the\n"
    "    header, past the end of the file or past ofs_end, or two sections overlapping;\n"
    "  - a skin name not terminated within 64 bytes, a frame name not terminated\n"
    "    within 16 bytes, a frame scale or translate that is not a finite number;\n"
    "  - a triangle vertex index not below num_xyz or st index not below num_st;\n"
    "  - a light-normal index not below 162 (the size of the engine's normal table);\n"
    "  - a GL command list that does not end in 0, a strip or fan of fewer than 3\n"
    "    vertices or running past the list, a GL vertex index not below num_xyz.\n"
    "\n"
    "Warnings (the model still passes): limits the format is made for but that the\n"
    "loaders do not enforce, and oddities that do no harm to the engine:\n"
    "  - more than 4096 triangles (MAX_TRIANGLES), more than 512 frames (MAX_FRAMES),\n"
    "    more than 2048 texture coordinates (MAX_VERTS);\n"
    "  - a skin size of 0 or less, or texture coordinates outside the skin;\n"
    "  - GL commands that draw another number of triangles than num_tris, words\n"
    "    behind the terminating 0, GL texture coordinates that are not finite.\n"
    "Warnings naming a modern client: what its loader refuses or drops:\n"
    "  - q2pro: more than 4096 triangles (\"too many tris\"), 512 frames (\"too many\n"
    "    frames\"), 4096 distinct corners (vertex, s, t) (\"too many verts\"), a skin\n"
    "    wider than 640 (\"bad skin width\"); fewer than 3 vertices or texture\n"
    "    coordinates load as an empty model; its earlier releases refused more than\n"
    "    2048 texture coordinates (\"too many st\").\n"
    "Look warnings: the model loads but does not look right in the game:\n"
    "  - no skin name (the engines register skins only from the header);\n"
    "  - every light-normal index 0 (one brightness for the whole model);\n"
    "  - a skin page over 131072 pixels (id's GL renderer stops uploading it);\n"
    "  - palette index 255 in an 8-bit skin (transparent to Quake II);\n"
    "  - bytes after ofs_end (strict loaders refuse the file).\n"
    "The skin width has no limit in id's loaders: only the height is checked.\n"
    "\n"
    "Exit status: 0 when the model passes every check (warnings allowed), 1 when\n"
    "it has errors, 2 for a usage error or a file that cannot be read.\n";

const char* SeverityName(Severity severity) { return severity == Severity::Error ? "error" : "warning"; }

void PrintFindings(const std::string& path, const Md2Report& report) {
    for (const md2check::Finding& f : report.findings)
        std::printf("%s: %s: %s: %s\n", path.c_str(), SeverityName(f.severity), f.where.c_str(),
                    f.message.c_str());
}

void PrintReport(const std::string& path, const Md2Report& report) {
    const md2check::Md2Header& h = report.header;
    std::printf("%s: %zu bytes", path.c_str(), report.fileSize);
    if (report.headerRead && h.ofsEnd >= 0 && static_cast<std::size_t>(h.ofsEnd) < report.fileSize)
        std::printf(", %zu after ofs_end (not loaded)", report.fileSize - static_cast<std::size_t>(h.ofsEnd));
    std::printf("\n");

    if (report.headerRead) {
        std::printf("header\n");
        for (const md2check::Md2HeaderField& field : md2check::kMd2HeaderFields) {
            if (field.member == &md2check::Md2Header::ident)
                std::printf("  %-11s \"%s\"\n", field.name, md2check::DescribeIdent(h.ident).c_str());
            else
                std::printf("  %-11s %d\n", field.name, h.*field.member);
        }
    }

    if (!report.skinNames.empty()) {
        std::printf("skins (%zu)\n", report.skinNames.size());
        for (std::size_t i = 0; i < report.skinNames.size(); ++i)
            std::printf("  %3zu  %s\n", i, report.skinNames[i].c_str());
    }

    if (!report.frames.empty()) {
        std::printf("frames (%zu)\n  %5s  %-16s", report.frames.size(), "#", "name");
        for (const char* axis : {"x", "y", "z"}) std::printf("  %5s min %5s max", axis, axis);
        std::printf("\n");
        for (std::size_t i = 0; i < report.frames.size(); ++i) {
            const md2check::FrameSummary& frame = report.frames[i];
            std::printf("  %5zu  %-16s", i, frame.name.c_str());
            if (frame.hasBounds) {
                for (int axis = 0; axis < 3; ++axis)
                    std::printf("  %9.3f %9.3f", frame.min[axis], frame.max[axis]);
            }
            std::printf("\n");
        }
    }

    if (report.glFans || report.glStrips)
        std::printf("GL commands: %d fans, %d strips, %lld triangles\n", report.glFans, report.glStrips,
                    static_cast<long long>(report.glTriangles));

    PrintFindings(path, report);
    std::printf("%s: %s (%d errors, %d warnings)\n", path.c_str(), report.Passed() ? "passed" : "FAILED",
                report.ErrorCount(), report.WarningCount());
}

// The model's own .pcx skins, by their file name beside the model, and those named.
void CheckSkins(const std::string& modelPath, std::vector<std::string> files, Md2Report& report) {
    const std::size_t slash = modelPath.find_last_of("/\\");
    const std::string folder = slash == std::string::npos ? "" : modelPath.substr(0, slash + 1);
    for (const std::string& name : report.skinNames) {
        const std::string base = name.substr(name.find_last_of('/') + 1);
        std::string extension = base.size() > 4 ? base.substr(base.size() - 4) : "";
        for (char& c : extension) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        std::FILE* file = extension == ".pcx" ? std::fopen((folder + base).c_str(), "rb") : nullptr;
        if (file) {
            std::fclose(file);
            if (std::find(files.begin(), files.end(), folder + base) == files.end()) files.push_back(folder + base);
        }
    }
    for (const std::string& path : files) {
        std::vector<uint8_t> bytes;
        std::string reason;
        if (md2check::ReadModelFile(path, bytes, reason))
            md2check::CheckSkinPicture(bytes.data(), bytes.size(), path, report);
        else
            report.findings.push_back({Severity::Warning, path, reason, md2check::Concern::Look});
    }
}

struct PreviewRequest {
    std::string output;
    std::string skin;
    std::string frames;
    preview::SheetOptions sheet;
};

std::string FolderOf(const std::string& path) {
    const std::size_t slash = path.find_last_of("/\\");
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

std::string Lower(std::string text) {
    for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

bool EndsWith(const std::string& text, const char* end) {
    const std::size_t n = std::strlen(end);
    return text.size() >= n && Lower(text.substr(text.size() - n)) == end;
}

bool Readable(const std::string& path) {
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (file) std::fclose(file);
    return file != nullptr;
}

// The skin the model is drawn with, in the order the help gives; "" for none.
std::string FindSkin(const std::string& modelPath, const preview::Md2Model& model) {
    const std::string folder = FolderOf(modelPath);
    for (const std::string& name : model.skinNames) {
        if (!EndsWith(name, ".pcx") && !EndsWith(name, ".bmp")) continue;
        for (const std::string& candidate : {folder + name, folder + name.substr(FolderOf(name).size())})
            if (Readable(candidate)) return candidate;
    }
    std::string base = modelPath.substr(folder.size());
    if (EndsWith(base, ".md2")) base.resize(base.size() - 4);
    for (const char* extension : {".pcx", ".bmp", ".PCX", ".BMP"})
        if (Readable(folder + base + extension)) return folder + base + extension;
    return "";
}

int WritePreview(const std::string& modelPath, PreviewRequest& request) {
    preview::Md2Model model;
    std::string error;
    if (!preview::LoadMd2(modelPath, model, error)) {
        std::fprintf(stderr, "md2info: %s\n", error.c_str());
        return kExitProblems;
    }
    if (request.frames.empty())
        request.sheet.frames = preview::AnimationStarts(model);
    else if (!preview::SelectFrames(model, request.frames, request.sheet.frames, error)) {
        std::fprintf(stderr, "md2info: --frames: %s\n", error.c_str());
        return kExitUsage;
    }
    const std::string skinPath = request.skin.empty() ? FindSkin(modelPath, model) : request.skin;
    preview::RgbImage skin;
    if (!skinPath.empty() && !preview::LoadSkin(skinPath, skin, error)) {
        std::fprintf(stderr, "md2info: %s\n", error.c_str());
        return kExitProblems;
    }
    preview::RgbImage sheet;
    if (!preview::RenderSheet(model, skinPath.empty() ? nullptr : &skin, request.sheet, sheet, error)) {
        std::fprintf(stderr, "md2info: --preview: %s\n", error.c_str());
        return kExitUsage;
    }
    if (skinPath.empty())
        std::fprintf(stderr, "md2info: no skin named or found beside %s: drawn grey\n", modelPath.c_str());
    if (!preview::SavePng(request.output, sheet, error)) {
        std::fprintf(stderr, "md2info: %s\n", error.c_str());
        return kExitProblems;
    }
    std::printf("wrote %s: %zu frames, %d x %d pixels, skin %s\n", request.output.c_str(),
                request.sheet.frames.size(), sheet.width, sheet.height,
                skinPath.empty() ? "none" : skinPath.c_str());
    return kExitPassed;
}

// Reads the value of a preview option; false with a message when it is bad.
bool ReadPreviewOption(const char* option, const char* value, PreviewRequest& request) {
    const std::string name = option;
    char* end = nullptr;
    if (name == "--preview") {
        request.output = value;
    } else if (name == "--skin") {
        request.skin = value;
    } else if (name == "--frames") {
        request.frames = value;
    } else if (name == "--view") {
        if (preview::ParseView(value, request.sheet.view.view)) return true;
        std::fprintf(stderr, "md2info: --view %s: not front, side, three-quarter or top\n", value);
        return false;
    } else if (name == "--yaw") {
        const double yaw = std::strtod(value, &end);
        if (*value && !*end && std::fabs(yaw) <= 36000) {
            request.sheet.view.yawDegrees = static_cast<float>(yaw);
            return true;
        }
        std::fprintf(stderr, "md2info: --yaw %s: not a number of degrees\n", value);
        return false;
    } else if (name == "--cell") {
        const long cell = std::strtol(value, &end, 10);
        if (*value && !*end && cell >= preview::kMinCell && cell <= preview::kMaxCell) {
            request.sheet.cell = static_cast<int32_t>(cell);
            return true;
        }
        std::fprintf(stderr, "md2info: --cell %s: not a whole number of pixels from 32 to 2048\n", value);
        return false;
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    bool quiet = false;
    bool optionsEnded = false;
    bool previewOptions = false;
    PreviewRequest request;
    std::vector<std::string> paths, skins;
    for (int i = 1; i < argc; ++i) {
        const char* arg = argv[i];
        if (optionsEnded || arg[0] != '-' || arg[1] == '\0') {
            paths.push_back(arg);
        } else if (!std::strcmp(arg, "--")) {
            optionsEnded = true;
        } else if (!std::strcmp(arg, "-h") || !std::strcmp(arg, "--help")) {
            std::fputs(kHelp, stdout);
            return kExitPassed;
        } else if (!std::strcmp(arg, "--version")) {
            std::printf("md2info (Vorn) %s\n", VORN_VERSION);
            return kExitPassed;
        } else if (!std::strcmp(arg, "--pcx") && i + 1 < argc) {
            skins.push_back(argv[++i]);
        } else if (!std::strcmp(arg, "-q") || !std::strcmp(arg, "--quiet")) {
            quiet = true;
        } else if (!std::strcmp(arg, "--ortho")) {
            request.sheet.view.orthographic = previewOptions = true;
        } else if (!std::strcmp(arg, "--preview") || !std::strcmp(arg, "--skin") || !std::strcmp(arg, "--view") ||
                   !std::strcmp(arg, "--yaw") || !std::strcmp(arg, "--frames") || !std::strcmp(arg, "--cell")) {
            if (i + 1 == argc) {
                std::fprintf(stderr, "md2info: %s wants a value\n%s", arg, kUsage);
                return kExitUsage;
            }
            if (!ReadPreviewOption(arg, argv[++i], request)) return kExitUsage;
            previewOptions = true;
        } else {
            std::fprintf(stderr, "md2info: unknown option %s\n%s", arg, kUsage);
            return kExitUsage;
        }
    }
    if (paths.size() != 1) {
        std::fprintf(stderr, "md2info: %s\n%s", paths.empty() ? "no model named" : "one model at a time",
                     kUsage);
        return kExitUsage;
    }

    if (previewOptions && request.output.empty()) {
        std::fprintf(stderr, "md2info: the preview's options want --preview OUT.png\n%s", kUsage);
        return kExitUsage;
    }
    if (!request.output.empty()) return WritePreview(paths[0], request);

    std::vector<uint8_t> bytes;
    std::string reason;
    if (!md2check::ReadModelFile(paths[0], bytes, reason)) {
        std::fprintf(stderr, "md2info: %s\n", reason.c_str());
        return kExitUsage;
    }
    Md2Report report = md2check::CheckMd2Model(bytes.data(), bytes.size());
    CheckSkins(paths[0], skins, report);
    if (quiet)
        PrintFindings(paths[0], report);
    else
        PrintReport(paths[0], report);
    return report.Passed() ? kExitPassed : kExitProblems;
}
