// md2export: exports a scene file as a Quake II model through the Vorn
// plug-in module, which it loads into the stand-in host and drives through its
// panel exactly as a user would.

#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cmath>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <iterator>
#include <limits>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "cli/dialog_paths.h"
#include "cli/export_options.h"
#include "cli/frame_progress.h"
#include "cli/frame_ranges.h"
#include "cli/md2_check.h"
#include "cli/panel_user.h"
#include "cli/player_folder.h"
#include "finish/model_finish.h"
#include "platform/export_report.h"
#include "platform/window_system.h"
#include "shell/resources/resource_ids.h"
#include "standin/host/assimp_scene_loader.h"
#include "standin/host/host_files.h"
#include "standin/host/json_scene_loader.h"
#include "standin/host/plugin_loader.h"

#ifndef VORN_VERSION
#define VORN_VERSION "unknown"
#endif

namespace {

using namespace md2export;

constexpr char kModuleFileName[] = "vorn.dlu";

void Warn(const std::string& text) { std::fprintf(stderr, "md2export: warning: %s\n", text.c_str()); }

void Complain(const std::string& text) { std::fprintf(stderr, "md2export: %s\n", text.c_str()); }

int UsageError(const std::string& text) {
    std::fprintf(stderr, "md2export: %s\n%s", text.c_str(), UsageLine());
    return kExitUsage;
}

bool IsDirectory(const std::string& path) {
    struct stat s;
    return stat(path.c_str(), &s) == 0 && S_ISDIR(s.st_mode);
}

bool IsRegularFile(const std::string& path) {
    struct stat s;
    return stat(path.c_str(), &s) == 0 && S_ISREG(s.st_mode);
}

std::string Quoted(const std::string& text) { return "\"" + text + "\""; }

// A local path as the user would write it.
std::string ForDisplay(const std::string& localPath) { return DropLeadingDotSlash(localPath); }

// --- Scene files ----------------------------------------------------------------

// What a scene reader gets besides the file.
struct SceneRequest {
    const ExportOptions& options;
    std::string modelPath;  // the local model file the export will write
    // Filled by the reader: why the plug-in will refuse the export, when it does.
    std::vector<std::string>& refusals;
};

// Scene file readers by extension (compared without regard to case); the row
// without an extension takes every other file. A reader that does not take
// the asset-import options refuses them.
struct SceneReader {
    const char* extension;  // null: any other
    const char* kind;       // for messages
    bool readsImportOptions;
    bool (*load)(const std::string& path, const SceneRequest& request, standin::Scene& scene, std::string& error);
};

bool LoadJson(const std::string& path, const SceneRequest&, standin::Scene& scene, std::string& error) {
    return standin::LoadJsonScene(path, scene, error);
}

// The names of the materials (with their sub-materials) of the nodes the export will take.
void CollectExportedMaterials(const standin::SceneNode& node, std::set<std::string>& out) {
    if (node.selected && node.hasMesh && node.material) {
        out.insert(node.material->name.data());
        for (const standin::SceneMaterial* sub : node.material->subMaterials)
            if (sub) out.insert(sub->name.data());
    }
    for (const auto& child : node.children) CollectExportedMaterials(*child, out);
}

// --- Faults inside the asset-import library ----------------------------------------

// The line a fault prints, formed before the library runs: the handler may
// only write it.
char gFaultLine[PATH_MAX + 128];
size_t gFaultLength = 0;
constexpr int kFaultSignals[] = {SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGABRT};

extern "C" void OnImportFault(int) {
    ssize_t ignored = write(STDERR_FILENO, gFaultLine, gFaultLength);
    (void)ignored;
    _exit(kExitUsage);
}

// While the library reads a scene file: a fault inside it (the library has
// some on malformed files) ends the run with one line naming the file, on a
// stack of its own so that running out of stack is caught too; and what the
// library prints goes to standard error, away from the listing and the
// written-files lines.
class ImportGuard {
public:
    explicit ImportGuard(const std::string& path) {
        const std::string line = "md2export: Cannot load scene file \"" + path +
                                 "\": the asset-import library failed on it (a fault inside the library)\n";
        gFaultLength = std::min(line.size(), sizeof gFaultLine);
        std::memcpy(gFaultLine, line.data(), gFaultLength);
        static char altStack[1 << 16];
        stack_t ss{};
        ss.ss_sp = altStack;
        ss.ss_size = sizeof altStack;
        sigaltstack(&ss, &previousStack_);
        struct sigaction fault{};
        fault.sa_handler = OnImportFault;
        fault.sa_flags = SA_ONSTACK;
        sigemptyset(&fault.sa_mask);
        for (size_t i = 0; i < std::size(kFaultSignals); ++i) sigaction(kFaultSignals[i], &fault, &previous_[i]);
        std::fflush(stdout);
        savedStdout_ = dup(STDOUT_FILENO);
        if (savedStdout_ >= 0) dup2(STDERR_FILENO, STDOUT_FILENO);
    }
    ~ImportGuard() {
        std::fflush(stdout);
        if (savedStdout_ >= 0) {
            dup2(savedStdout_, STDOUT_FILENO);
            close(savedStdout_);
        }
        for (size_t i = 0; i < std::size(kFaultSignals); ++i) sigaction(kFaultSignals[i], &previous_[i], nullptr);
        sigaltstack(&previousStack_, nullptr);
    }
    ImportGuard(const ImportGuard&) = delete;
    ImportGuard& operator=(const ImportGuard&) = delete;

private:
    int savedStdout_ = -1;
    struct sigaction previous_[std::size(kFaultSignals)] {};
    stack_t previousStack_{};
};

void Note(const std::string& text) { std::fprintf(stderr, "md2export: note: %s\n", text.c_str()); }

// What the asset-import library is asked for, from the options.
standin::AssimpLoadOptions ImportOptionsOf(const ExportOptions& options, const std::string& modelPath) {
    standin::AssimpLoadOptions load;
    load.framesPerSecond = options.framesPerSecond;
    load.animation = options.animation;
    load.select = options.select;
    load.exclude = options.exclude;
    load.textureFolder = options.textureCache;
    load.outputPath = modelPath;
    load.maxTexture = options.maxTexture;
    load.fitToPage = options.fitToPage;
    return load;
}

// Loads through the asset-import library; with --list-nodes prints the tree
// instead of going on. What was made of the textures the export will take
// (painted, shrunk) and their problems are the user's to know before the
// plug-in refuses them with its fixed message.
bool LoadWithAssetImport(const std::string& path, const SceneRequest& request, standin::Scene& scene,
                         std::string& error) {
    const ExportOptions& options = request.options;
    const standin::AssimpLoadOptions load = ImportOptionsOf(options, request.modelPath);
    standin::AssimpSceneReport report;
    {
        ImportGuard guard(path);
        if (!standin::LoadAssimpScene(path, load, scene, report, error)) return false;
    }
    if (options.listNodes) {
        std::ostringstream listing;
        standin::ListAssimpScene(scene, report, listing);
        std::fputs(listing.str().c_str(), stdout);
        return true;
    }
    std::set<std::string> exported;
    CollectExportedMaterials(*scene.root, exported);
    for (const standin::TextureNote& note : report.textures) {
        if (!exported.count(note.material)) continue;
        const std::string material = "material " + Quoted(note.material) + ": ";
        const std::string texture = note.source.empty() ? "" : "texture " + Quoted(note.source) + ": ";
        if (!note.problem.empty()) {
            Warn(material + texture + note.problem + (note.painted ? "; " + note.conversion : ""));
        } else if (note.painted && !options.quiet) {
            Note(material + (note.source.empty() && note.conversion.rfind("painted", 0) == 0 ? "no texture; " : "") +
                 note.conversion);
        }
    }
    if (!options.quiet)
        for (const std::string& line : report.notes) Note(line);
    request.refusals = report.refusals;
    return true;
}

const SceneReader kSceneReaders[] = {
    {".json", "JSON", false, LoadJson},
    {nullptr, "asset-import", true, LoadWithAssetImport},
};

bool HasExtension(const std::string& path, const char* extension) {
    const size_t n = std::strlen(extension);
    if (path.size() < n) return false;
    return std::equal(path.end() - static_cast<std::ptrdiff_t>(n), path.end(), extension, [](char a, char b) {
        return std::tolower(static_cast<unsigned char>(a)) == std::tolower(static_cast<unsigned char>(b));
    });
}

const SceneReader& ReaderFor(const std::string& path) {
    for (const SceneReader& reader : kSceneReaders) {
        if (!reader.extension || HasExtension(path, reader.extension)) return reader;
    }
    return kSceneReaders[std::size(kSceneReaders) - 1];
}

// Options the scene's reader does not take are a usage error.
bool CheckSceneOptions(const ExportOptions& options, std::string& error) {
    if (options.scenePath.empty()) {
        if (options.importOptionsGiven.empty()) return true;
        error = options.importOptionsGiven.front() + " needs a scene file";
        return false;
    }
    const SceneReader& reader = ReaderFor(options.scenePath);
    if (reader.readsImportOptions || options.importOptionsGiven.empty()) return true;
    error = options.importOptionsGiven.front() + " does not apply to " + reader.kind +
            " scene files, only to those read through the asset-import library";
    return false;
}

bool LoadScene(const ExportOptions& options, const std::string& modelPath, standin::Scene& scene,
               std::vector<std::string>& refusals, std::string& error) {
    return ReaderFor(options.scenePath)
        .load(options.scenePath, SceneRequest{options, modelPath, refusals}, scene, error);
}

// --- The plug-in module -------------------------------------------------------------

std::string ExecutableFolder() {
    char buffer[PATH_MAX];
    const ssize_t n = readlink("/proc/self/exe", buffer, sizeof buffer - 1);
    if (n <= 0) return ".";
    buffer[n] = '\0';
    return FolderOf(buffer);
}

// VORN_MODULE when set, else vorn.dlu next to this program (where the build
// puts both) or in its parent folder.
bool FindModule(std::string& path, std::string& error) {
    if (const char* named = std::getenv("VORN_MODULE"); named && *named) {
        path = named;
        return true;
    }
    const std::string folder = ExecutableFolder();
    std::string tried;
    for (const char* place : {"", "/.."}) {
        const std::string candidate = folder + place + "/" + kModuleFileName;
        if (IsRegularFile(candidate)) {
            path = candidate;
            return true;
        }
        tried += (tried.empty() ? "" : ", ") + candidate;
    }
    error = std::string("cannot find the plug-in module ") + kModuleFileName + " (looked for " + tried +
            "); set VORN_MODULE to its path";
    return false;
}

// The utility object of a loaded module: the one class it describes must be a utility.
UtilityObj* CreateUtility(const standin::PluginModule& module, std::string& error) {
    ClassDesc* description = module.LibNumberClasses() >= 1 ? module.LibClassDesc(0) : nullptr;
    if (!description || description->SuperClassID() != UTILITY_CLASS_ID) {
        error = module.path() + " describes no utility plug-in";
        return nullptr;
    }
    auto* utility = static_cast<UtilityObj*>(description->Create(0));
    if (!utility) error = module.path() + ": its utility could not be created";
    return utility;
}

// --- Names for the plug-in ------------------------------------------------------------

// A name the plug-in gets: a dialog's answer or the skin name. It must fit the
// plug-in's buffer (capacity characters with the terminating zero) with its extension.
bool CheckPluginName(const std::string& what, const std::string& name, const char* extension, size_t capacity,
                     std::string& error) {
    if (name.empty()) {
        error = what + " names no file";
        return false;
    }
    if (std::max(name.size(), IntendedFileName(name, extension).size()) + 1 > capacity) {
        error = what + " " + Quoted(name) + " is too long: the plug-in holds " + std::to_string(capacity - 1) +
                " characters";
        return false;
    }
    return true;
}

// The plug-in's name for a file: name up to its first "." (anywhere in it).
std::string CutAtFirstDot(const std::string& name) { return name.substr(0, name.find('.')); }

// -o must name a model file: a folder, or a name that the plug-in's cut at
// the first "." leaves without a file part, would give a hidden ".md2".
bool CheckModelIsAFile(const std::string& output, std::string& error) {
    std::string folder = output;
    while (!folder.empty() && (folder.back() == '/' || folder.back() == '\\')) folder.pop_back();
    if (folder.size() < output.size() || IsDirectory(standin::MapHostPath(output.c_str()))) {
        error = "-o " + output + ": a folder; name the model file in it, such as " + folder + "/model.md2";
        return false;
    }
    const std::string cut = CutAtFirstDot(output);
    if (!cut.empty() && cut.back() != '/' && cut.back() != '\\') return true;
    error = "-o " + output + ": the plug-in ends a file name at its first \".\", which leaves no file name here";
    return false;
}

// Outputs into a folder that does not exist fail; say why before the plug-in does.
void WarnAboutMissingFolder(const std::string& what, const std::string& localPath) {
    const std::string folder = FolderOf(localPath);
    if (!folder.empty() && !IsDirectory(folder)) Warn(what + ": the folder " + Quoted(folder) + " does not exist");
}

// --- Frames -------------------------------------------------------------------------------

void PrintMessages(const std::vector<ShownMessage>& shown) {
    for (const ShownMessage& m : shown) std::fprintf(stderr, "%s: %s\n", m.caption.c_str(), m.text.c_str());
}

void PrintNotes(PanelUser& user) {
    for (const std::string& note : user.TakeNotes()) Warn("window system: " + note);
}

// --- After the export ----------------------------------------------------------------------

// What the plug-in reported to the host's log during one press of a button.
struct PluginReport {
    struct File {
        const char* prefix;  // one of the kReport… prefixes
        std::string hostPath;
        std::string localPath;
    };
    std::vector<File> files;
    bool reasonSet = false;
    std::string caption;
    std::string text;

    const File* Find(const char* prefix) const {
        for (const File& f : files)
            if (f.prefix == prefix) return &f;
        return nullptr;
    }
};

bool StartsWith(const std::string& text, const char* prefix) { return text.rfind(prefix, 0) == 0; }

// The log entries from index first on.
PluginReport ReadReport(const standin::StandinHost& host, size_t first) {
    static const char* const kPrefixes[] = {kReportWroteModel, kReportUpdatedModel, kReportWroteBmpSkin,
                                            kReportWrotePcxSkin, kReportWroteListing};
    PluginReport report;
    const auto& entries = host.log.entries;
    for (size_t i = first; i < entries.size(); ++i) {
        const auto& entry = entries[i];
        if (entry.type == SYSLOG_ERROR) {
            report.reasonSet = true;
            report.caption = entry.title;
            report.text = entry.text;
            continue;
        }
        if (entry.type != SYSLOG_INFO || entry.title != kReportTitle) continue;
        for (const char* prefix : kPrefixes) {
            if (!StartsWith(entry.text, prefix)) continue;
            const std::string hostPath = entry.text.substr(std::strlen(prefix));
            report.files.push_back({prefix, hostPath, standin::MapHostPath(hostPath.c_str())});
            break;
        }
    }
    return report;
}

std::string DescribeModel(const std::string& path, bool updated, const std::vector<std::string>& list, int start,
                          int end) {
    if (updated) {
        return "updated " + ForDisplay(path) + ": rewrote frames " + std::to_string(start) + " to " +
               std::to_string(end) + " (" + list[static_cast<size_t>(start)] + " to " +
               list[static_cast<size_t>(end)] + ")";
    }
    std::vector<uint8_t> bytes;
    std::string reason;
    if (!md2check::ReadModelFile(path, bytes, reason)) return "wrote " + ForDisplay(path) + ": the model";
    const md2check::Md2Report report = md2check::CheckMd2Model(bytes.data(), bytes.size());
    const md2check::Md2Header& h = report.header;
    return "wrote " + ForDisplay(path) + ": the model, " + std::to_string(h.numFrames) + " frames, " +
           std::to_string(h.numXyz) + " vertices, " + std::to_string(h.numTris) + " triangles, skin " +
           std::to_string(h.skinWidth) + " x " + std::to_string(h.skinHeight);
}

void ListWrittenFiles(const PluginReport& report, const std::vector<std::string>& list, int start, int end) {
    for (const PluginReport::File& file : report.files) {
        const std::string shown = ForDisplay(file.localPath);
        if (file.prefix == kReportWroteModel || file.prefix == kReportUpdatedModel) {
            std::printf("%s\n",
                        DescribeModel(file.localPath, file.prefix == kReportUpdatedModel, list, start, end).c_str());
        } else if (file.prefix == kReportWroteBmpSkin) {
            std::printf("wrote %s: the skin, 24-bit BMP\n", shown.c_str());
        } else if (file.prefix == kReportWrotePcxSkin) {
            std::printf("wrote %s: the skin, 8-bit PCX in the Quake II palette\n", shown.c_str());
        } else {
            std::printf("wrote %s: the mesh listing (%s)\n", shown.c_str(), file.hostPath.c_str());
        }
    }
}

// md2check's findings on the written model. The file stays as the plug-in
// wrote it, but one that md2info calls an error (Quake II would refuse or
// misread it) fails the export; false then. How the plain model looks in the
// game is what --game is for, so only a finished model is judged on that.
bool CheckWrittenModel(const std::string& path, bool finished, const std::string& pcx) {
    std::vector<uint8_t> bytes;
    std::string reason;
    if (!md2check::ReadModelFile(path, bytes, reason)) {
        Warn("cannot check the model: " + reason);
        return true;
    }
    const md2check::Md2Report report = md2check::CheckMd2Model(bytes.data(), bytes.size());
    md2check::Md2Report checked = report;
    if (finished && !pcx.empty() && md2check::ReadModelFile(pcx, bytes, reason))
        md2check::CheckSkinPicture(bytes.data(), bytes.size(), ForDisplay(pcx), checked);
    for (const md2check::Finding& f : checked.findings) {
        if (!finished && f.concern == md2check::Concern::Look) continue;
        const std::string finding = ForDisplay(path) + ": " + f.where + ": " + f.message;
        if (f.severity == md2check::Severity::Error) Complain("error: " + finding);
        else Warn(finding);
    }
    if (report.Passed()) return true;
    const int errors = report.ErrorCount();
    Complain(ForDisplay(path) + " is written, but Quake II cannot use it: " + std::to_string(errors) +
             (errors == 1 ? " error" : " errors") + " above, as md2info reports them");
    return false;
}

// --- Before and after the save: what the panel does not offer ----------------------------------

// The frame names of a text file, one a line, as a model holding only frame
// names, which the plug-in's import then reads as it reads any model.
bool WriteFrameNameModel(const std::string& textPath, const std::string& modelPath, std::string& error) {
    std::vector<uint8_t> text;
    if (!finish::ReadWholeFile(textPath, text, error)) return false;
    std::vector<std::string> names;
    std::string line;
    for (size_t i = 0; i <= text.size(); ++i) {
        if (i < text.size() && text[i] != '\n') {
            if (text[i] != '\r') line += static_cast<char>(text[i]);
            continue;
        }
        if (i == text.size() && line.empty()) break;  // the end of the last line
        const std::string where = "--frame-names " + textPath + ": line " + std::to_string(names.size() + 1);
        if (line.empty() || line.size() > 15) {
            error = where + (line.empty() ? " is empty" : " holds more than 15 characters");
            return false;
        }
        names.push_back(line);
        line.clear();
    }
    if (names.empty() || names.size() > 256) {
        error = "--frame-names " + textPath + ": " + std::to_string(names.size()) +
                " names; the frame list holds 1 to 256";
        return false;
    }
    // Header: "IDP2", version 8, no vertices, the frames right behind it.
    std::vector<uint8_t> model;
    const auto put = [&model](uint32_t v) {
        for (int i = 0; i < 4; ++i) model.push_back(static_cast<uint8_t>(v >> (8 * i)));
    };
    const uint32_t count = static_cast<uint32_t>(names.size());
    const uint32_t end = 68 + 40 * count;
    for (uint32_t v : {0x32504449u, 8u, 0u, 0u, 40u, 0u, 0u, 0u, 0u, 0u, count, 68u, 68u, 68u, 68u, end, end}) put(v);
    for (const std::string& name : names) {
        model.insert(model.end(), 24, 0);
        model.insert(model.end(), name.begin(), name.end());
        model.insert(model.end(), 16 - name.size(), 0);
    }
    return finish::ReplaceFile(modelPath, model, error);
}

// The number the plug-in reads from "Scale:": the longest leading number.
double ScaleOf(const std::string& text) { return std::strtod(text.c_str(), nullptr); }

// Moves the scene as --offset and --feet-at ask, in model units: the plug-in
// turns the scene a quarter about z (x becomes y, y becomes -x) and scales it.
// lift, when not null, gets the lift --feet-at took (host units).
bool MoveScene(const ExportOptions& options, standin::Scene& scene, TimeValue firstFrameTime, float* lift,
               std::string& error) {
    if (!options.offset && !options.feetAt && !options.lift) return true;
    const double scale = ScaleOf(options.scaleText);
    if (!(scale > 0.0) || !std::isfinite(scale)) {
        error = "--offset and --feet-at need a scale above 0 (\"Scale:\" reads " + options.scaleText + ")";
        return false;
    }
    if (options.offset) {
        const auto& o = *options.offset;
        standin::TranslateScene(scene, Point3(static_cast<float>(o[1] / scale), static_cast<float>(-o[0] / scale),
                                              static_cast<float>(o[2] / scale)));
    }
    if (options.lift) {
        standin::TranslateScene(scene, Point3(0.0f, 0.0f, *options.lift));
    } else if (options.feetAt) {
        float lowest = 0.0f;
        if (!standin::LowestSelectedPoint(scene, firstFrameTime, lowest)) {
            error = "--feet-at: the selected objects have no vertices";
            return false;
        }
        const float z = static_cast<float>(*options.feetAt / scale - lowest);
        standin::TranslateScene(scene, Point3(0.0f, 0.0f, z));
        if (lift) *lift = z;
    }
    return true;
}

// The texture coordinates of every triangle corner, in triangle order, and
// the counts an update compares; false when the file is no readable model.
struct ModelShape {
    int32_t vertices = 0, triangles = 0, frames = 0, skinWidth = 0, skinHeight = 0;
    std::vector<uint32_t> corners;  // (s, t) as stored
};

bool ReadModelShape(const std::string& path, ModelShape& shape) {
    std::vector<uint8_t> b;
    std::string reason;
    if (!md2check::ReadModelFile(path, b, reason)) return false;
    const md2check::Md2Report report = md2check::CheckMd2Model(b.data(), b.size());
    if (!report.Passed()) return false;
    const md2check::Md2Header& h = report.header;
    shape = {h.numXyz, h.numTris, h.numFrames, h.skinWidth, h.skinHeight, {}};
    const auto u16 = [&b](size_t at) { return static_cast<uint32_t>(b[at] | b[at + 1] << 8); };
    for (int32_t i = 0; i < h.numTris; ++i) {
        for (int k = 0; k < 3; ++k) {
            const size_t st = static_cast<size_t>(h.ofsSt) + 4 * u16(static_cast<size_t>(h.ofsTris) + 12 * i + 6 + 2 * k);
            shape.corners.push_back(u16(st) | u16(st + 2) << 16);
        }
    }
    return true;
}

// An update keeps the model's texture coordinates: say so when a new model
// would get others. The new ones come from a save of the same panel to a
// scratch model in the current directory, which is then removed.
void CompareWithNewExport(PanelUser& user, const std::string& modelLocal) {
    ModelShape kept, fresh;
    if (!ReadModelShape(modelLocal, kept)) return;
    const size_t logged = user.host().log.entries.size();
    user.SaveModel("vorn-probe-" + std::to_string(getpid()));
    const PluginReport report = ReadReport(user.host(), logged);
    const PluginReport::File* probe = report.Find(kReportWroteModel);
    if (!probe) return;
    const bool read = ReadModelShape(probe->localPath, fresh);
    std::remove(probe->localPath.c_str());
    if (!read || fresh.vertices != kept.vertices || fresh.triangles != kept.triangles || fresh.frames != kept.frames)
        return;  // not an update: the save writes a new model anyway
    if (fresh.corners != kept.corners || fresh.skinWidth != kept.skinWidth || fresh.skinHeight != kept.skinHeight)
        Warn(ForDisplay(modelLocal) + " is updated and keeps its texture coordinates (skin " +
             std::to_string(kept.skinWidth) + " x " + std::to_string(kept.skinHeight) +
             "), but a new export would map the skin otherwise (skin " + std::to_string(fresh.skinWidth) + " x " +
             std::to_string(fresh.skinHeight) + "): the skin page or its layout changed; --replace writes a new model");
}

// A forgotten --scale shows as rewritten frames far larger or smaller than the kept ones.
void CompareFrameSizes(const std::string& path, int start, int end) {
    std::vector<uint8_t> bytes;
    std::string reason;
    if (!md2check::ReadModelFile(path, bytes, reason)) return;
    const md2check::Md2Report report = md2check::CheckMd2Model(bytes.data(), bytes.size());
    double sum[2] = {0, 0};
    int count[2] = {0, 0};
    for (size_t i = 0; i < report.frames.size(); ++i) {
        const md2check::FrameSummary& f = report.frames[i];
        if (!f.hasBounds) continue;
        double extent = 0;
        for (int a = 0; a < 3; ++a) extent = std::max(extent, static_cast<double>(f.max[a] - f.min[a]));
        const int updated = static_cast<int>(i) >= start && static_cast<int>(i) <= end;
        sum[updated] += extent;
        ++count[updated];
    }
    if (!count[0] || !count[1] || !(sum[0] > 0)) return;
    const double ratio = (sum[1] / count[1]) / (sum[0] / count[0]);
    if (ratio > 2.0 || ratio < 0.5) {
        char text[64];
        std::snprintf(text, sizeof text, "%.3g", ratio);
        Warn(ForDisplay(path) + ": the rewritten frames are " + text +
             " times the size of the kept ones: was --scale forgotten or changed?");
    }
}

// --game: the written model and PCX finished for the engines, then checked as
// the game will see them.
bool FinishForGame(const ExportOptions& options, const std::string& modelPath, const std::string& pcxPath) {
    finish::FinishOptions finishing;
    finishing.skins = options.skinPaths;
    finishing.normals = finishing.shareSt = finishing.dropTrailer = true;
    if (options.skinPaths.empty())
        Warn("--game without --skin-path: the model names no skin, so the game draws it only with a skin it sets");
    const finish::FinishResult model = finish::FinishModel(modelPath, finishing);
    if (!model.ok) {
        Complain("cannot finish the model for the game: " + model.message);
        return false;
    }
    if (!options.quiet) std::printf("finished %s\n", model.message.c_str());
    if (!pcxPath.empty()) {
        const finish::FinishResult pcx = finish::RemovePaletteIndex255(pcxPath);
        if (!pcx.ok) {
            Complain("cannot finish the skin for the game: " + pcx.message);
            return false;
        }
        if (!options.quiet) std::printf("finished %s\n", pcx.message.c_str());
    }
    return true;
}

// --- The run ---------------------------------------------------------------------------

// The names the plug-in gets, and where the user means its outputs to land.
struct PluginNames {
    std::string output;  // the Save As answer of "Save md2"
    std::string skinName;
    std::string framesModel;  // the Save As answer of "Import new frame list"; empty: no import
    std::string model;        // local path of the model the user means
};

bool PrepareNames(const ExportOptions& options, PluginNames& names, std::string& error) {
    names.output = DropLeadingDotSlash(
        options.outputPath.empty() ? BaseNameWithoutExtension(options.scenePath) + ".md2" : options.outputPath);
    names.skinName = DropLeadingDotSlash(options.skinName);
    names.framesModel = DropLeadingDotSlash(options.framesModel);
    if (!names.framesModel.empty() && !CheckPluginName("--frames", names.framesModel, ".md2", MAX_PATH, error))
        return false;
    names.model = standin::MapHostPath(IntendedFileName(names.output, ".md2").c_str());
    if (options.listFrames || options.listNodes) return true;
    if (!CheckPluginName("the model", names.output, ".md2", MAX_PATH, error) ||
        !CheckModelIsAFile(names.output, error) ||
        !CheckPluginName("the skin name", names.skinName, ".bmp", kPanelTextCapacity, error))
        return false;
    WarnAboutMissingFolder("the model", names.model);
    if (options.saveBmp || options.savePcx)
        WarnAboutMissingFolder("the skin", standin::MapHostPath(names.skinName.c_str()));
    return true;
}

// The plug-in ends every file name at its first "." (a folder's name
// included): say so where that moved a file away from where the user meant it.
void WarnAboutCutNames(const PluginReport& report, const PluginNames& names) {
    for (const PluginReport::File& file : report.files) {
        std::string what, given, meant;
        if (file.prefix == kReportWroteModel || file.prefix == kReportUpdatedModel) {
            what = "the model";
            given = names.output;
            meant = IntendedFileName(names.output, ".md2");
        } else if (file.prefix == kReportWroteBmpSkin || file.prefix == kReportWrotePcxSkin) {
            what = "the skin name";
            given = names.skinName;
            meant = IntendedFileName(names.skinName, file.prefix == kReportWroteBmpSkin ? ".bmp" : ".pcx");
        } else {
            continue;
        }
        if (standin::MapHostPath(meant.c_str()) == file.localPath) continue;
        Warn("the plug-in ends a file name at its first \".\": " + what + " " + Quoted(given) + " becomes " +
             Quoted(file.hostPath));
        if (what == "the skin name") break;  // both skins are cut alike
    }
}

// The detail of a failed export. The plug-in keeps only the first reason it
// noted, and a listing or BMP skin that failed earlier (a full disk fails them
// all) takes the place of the file whose failure stopped the export: that file
// is named then.
void ExplainFailure(const std::vector<ShownMessage>& shown, const PluginReport& report, const PluginNames& names) {
    if (!report.reasonSet) return;
    const std::string detail = report.caption + ": " + report.text;
    std::string stopped;
    for (const ShownMessage& m : shown) {
        if (StartsWith(m.text, "Cannot save model")) stopped = CutAtFirstDot(names.output) + ".md2";
        if (StartsWith(m.text, "Cannot save PCX image")) stopped = CutAtFirstDot(names.skinName) + ".pcx";
    }
    const std::string bmp = CutAtFirstDot(names.skinName) + ".bmp";
    const bool bystander =
        report.text.find("tris.asc") != std::string::npos || report.text.find(bmp) != std::string::npos;
    if (stopped.empty() || !bystander || report.text.find(stopped) != std::string::npos) {
        Complain("detail: " + detail);
        return;
    }
    Complain("detail: " + stopped + " was not written; the first problem the plug-in noted was " + detail);
}

// Everything from the open panel on: the frame list, the fields, "Save md2".
int WorkThePanel(const ExportOptions& options, const PluginNames& names, PanelUser& user,
                 const std::vector<std::string>& refusals, float* lift = nullptr) {
    std::string error;
    // A text list of names is imported through a model that holds only them,
    // written in the current directory (a name the plug-in takes whole) and
    // removed again.
    const std::string textAnswer = "vorn-frame-names-" + std::to_string(getpid());
    const std::string importAnswer = options.frameNamesFile.empty() ? names.framesModel : textAnswer;
    if (!options.frameNamesFile.empty() &&
        !WriteFrameNameModel(options.frameNamesFile, standin::MapHostPath((textAnswer + ".md2").c_str()), error))
        return UsageError(error);
    if (!importAnswer.empty()) {
        const size_t logged = user.host().log.entries.size();
        const std::vector<ShownMessage> shown = user.ImportFrameList(importAnswer);
        if (importAnswer == textAnswer) std::remove(standin::MapHostPath((textAnswer + ".md2").c_str()).c_str());
        PrintMessages(shown);
        const PluginReport report = ReadReport(user.host(), logged);
        if (!shown.empty() && report.reasonSet) Complain("detail: " + report.caption + ": " + report.text);
        PrintNotes(user);
        if (!shown.empty()) return kExitFailed;
    }
    const std::vector<std::string> list = user.FrameList();

    int start = 0;
    int end = static_cast<int>(list.size()) - 1;
    if ((options.start && !ResolveFrame("--start", *options.start, list, start, error)) ||
        (options.end && !ResolveFrame("--end", *options.end, list, end, error)))
        return UsageError(error);

    if (options.listFrames) {
        if (options.listGroups)
            std::fputs(DescribeFrameGroups(list).c_str(), stdout);
        else
            for (size_t i = 0; i < list.size(); ++i) std::printf("%3zu  %s\n", i, list[i].c_str());
        return kExitExported;
    }
    if (list.empty()) {
        Complain(names.framesModel + " holds no frames: there is nothing to export");
        return kExitFailed;
    }

    // The panel opens with the whole list chosen; an imported list is chosen
    // again, since the import leaves the old choice standing.
    const bool imported = !importAnswer.empty();
    if (options.start || imported) user.ChooseStart(start);
    if (options.end || imported) user.ChooseEnd(end);
    user.Type(IDC_FIRST_FRAME, options.firstFrameText);
    user.Type(IDC_SCALE, options.scaleText);
    user.Type(IDC_SKIN_NAME, names.skinName);
    if (options.saveBmp) user.Tick(IDC_SAVE_BMP);
    if (options.savePcx) user.Tick(IDC_SAVE_PCX);

    const TimeValue firstFrameTime =
        static_cast<TimeValue>(user.ReadNumber(IDC_FIRST_FRAME)) * user.host().scene->ticksPerFrame;
    if (!MoveScene(options, *user.host().scene, firstFrameTime, lift, error)) return UsageError(error);

    // --replace sets the old model aside, to be put back if the save fails.
    const std::string aside = names.model + ".replaced";
    const bool setAside = options.replace && IsRegularFile(names.model);
    if (setAside && std::rename(names.model.c_str(), aside.c_str()) != 0) {
        Complain("--replace: cannot set " + ForDisplay(names.model) + " aside: " + std::strerror(errno));
        return kExitFailed;
    }
    if (!options.replace && IsRegularFile(names.model)) CompareWithNewExport(user, names.model);
    const bool modelExisted = IsRegularFile(names.model);
    const bool showProgress = !options.quiet && isatty(STDERR_FILENO);
    FrameProgress progress(PlanFrameWrites(list, start, end, user.ReadNumber(IDC_FIRST_FRAME), modelExisted),
                           showProgress ? stderr : nullptr);
    user.host().transformObserver = [&progress](INode* node, TimeValue) { progress.NodeTransformed(node); };
    const size_t logged = user.host().log.entries.size();
    const std::vector<ShownMessage> shown = user.SaveModel(names.output);
    user.host().transformObserver = nullptr;
    progress.Finish();

    PrintMessages(shown);
    const PluginReport report = ReadReport(user.host(), logged);
    const PluginReport::File* model = report.Find(kReportWroteModel);
    if (!model) model = report.Find(kReportUpdatedModel);
    bool failed = !shown.empty();
    if (failed) {
        ExplainFailure(shown, report, names);
        // The scene's reader saw what the plug-in's fixed messages do not say.
        const bool placementOrNothing = std::any_of(shown.begin(), shown.end(), [](const ShownMessage& m) {
            return m.caption == "Buffer to small" || m.text.rfind("Nothing to save", 0) == 0;
        });
        if (placementOrNothing)
            for (const std::string& line : refusals) Complain("detail: " + line);
    } else if (!model) {
        Complain("the plug-in wrote no model");
        failed = true;
    } else if (report.reasonSet) {
        // A listing or BMP that could not be written does not stop an export,
        // and the panel says nothing about it.
        Warn("the plug-in noted a problem it does not show: " + report.caption + ": " + report.text);
    }
    PrintNotes(user);
    user.Close();
    if (setAside) {
        if (failed) std::rename(aside.c_str(), names.model.c_str());
        else std::remove(aside.c_str());
    }

    WarnAboutCutNames(report, names);
    if (!options.quiet) ListWrittenFiles(report, list, start, end);
    if (!failed && report.Find(kReportUpdatedModel)) CompareFrameSizes(model->localPath, start, end);
    const PluginReport::File* pcx = report.Find(kReportWrotePcxSkin);
    const std::string pcxPath = pcx ? pcx->localPath : "";
    if (!failed && options.game) failed = !FinishForGame(options, model->localPath, pcxPath);
    if (!failed && !CheckWrittenModel(model->localPath, options.game, pcxPath)) failed = true;
    return failed ? kExitFailed : kExitExported;
}

// --- Clips into frame ranges -----------------------------------------------------------

// The panel's frame list as it stands (after any import).
bool ReadFrameList(UtilityObj* utility, std::vector<std::string>& list) {
    standin::Scene empty;
    PanelUser user(empty);
    if (!user.Open(utility)) return false;
    list = user.FrameList();
    user.Close();
    return true;
}

// The scene of one mapped clip, played at options' fps, or stretched over
// frames first..last when fitClip; seconds is the clip's length.
bool LoadClip(ExportOptions& options, const std::string& modelPath, int first, int last, standin::Scene& scene,
              double& seconds, std::string& error) {
    standin::AssimpSceneReport report;
    if (!standin::LoadAssimpScene(options.scenePath, ImportOptionsOf(options, modelPath), scene, report, error))
        return false;
    seconds = report.ticksPerSecond > 0 ? (report.endTick - report.startTick) / report.ticksPerSecond : 0;
    if (!options.fitClip || !(seconds > 0) || last == first) return true;
    options.framesPerSecond = (last - first) / seconds;
    scene = standin::Scene();
    return standin::LoadAssimpScene(options.scenePath, ImportOptionsOf(options, modelPath), scene, report, error);
}

// Each --map clip into its range of one new model, written under a name of
// its own and put in place only when every range is in: a first save of the
// whole list with the first clip held at its first key, then an update of
// each range with its clip, each through the panel with a scene of its own.
int RunMapped(const ExportOptions& options, const PluginNames& names, UtilityObj* utility) {
    std::string error;
    PluginNames pass = names;
    pass.output = IntendedFileName(names.output, "-mapping");
    // The plug-in would cut the name at a dot and write the model elsewhere.
    if (pass.output.find('.') != std::string::npos)
        return UsageError("--map: the model's path " + Quoted(names.output) +
                          " has a \".\" before its extension, where the plug-in would cut it");
    if (!CheckPluginName("the model", pass.output, ".md2", MAX_PATH, error)) return UsageError(error);
    pass.model = standin::MapHostPath(IntendedFileName(pass.output, ".md2").c_str());
    std::remove(pass.model.c_str());
    auto fail = [&](const std::string& message, int status) {
        if (!message.empty()) Complain(message);
        std::remove(pass.model.c_str());
        return status;
    };

    ExportOptions still = options;
    still.quiet = true;
    still.animation = options.maps[0].clip;
    still.framesPerSecond = std::numeric_limits<double>::infinity();  // time stands at the first key
    {
        standin::Scene scene;
        std::vector<std::string> refusals;
        if (!LoadScene(still, pass.model, scene, refusals, error)) return fail(error, kExitUsage);
        PanelUser user(scene);
        if (!user.Open(utility)) return fail("opening the utility showed no panel", kExitUsage);
        const int status = WorkThePanel(still, pass, user, refusals);
        if (status != kExitExported) return fail("", status);
    }

    std::vector<std::string> list;
    if (!ReadFrameList(utility, list)) return fail("opening the utility showed no panel", kExitUsage);
    std::vector<std::pair<int, int>> ranges;
    for (const ClipMapping& map : options.maps) {
        int first = 0, last = 0;
        if (!ResolveFrameRange("--map " + map.clip + "=", map.range, list, first, last, error))
            return fail("", UsageError(error));
        ranges.emplace_back(first, last);
    }

    for (size_t i = 0; i < options.maps.size(); ++i) {
        const auto [first, last] = ranges[i];
        ExportOptions step = options;
        step.quiet = true;
        step.animation = options.maps[i].clip;
        step.framesModel.clear();
        step.saveBmp = step.savePcx = false;
        step.start = std::to_string(first);
        step.end = std::to_string(last);
        standin::Scene scene;
        double seconds = 0;
        if (!LoadClip(step, pass.model, first, last, scene, seconds, error)) return fail(error, kExitUsage);
        if (!options.quiet) {
            const bool held = seconds * step.framesPerSecond < last - first;
            std::printf("mapped %s into frames %d-%d (%s-%s): %.4g s at %.4g frames a second%s\n",
                        options.maps[i].clip.c_str(), first, last, list[static_cast<size_t>(first)].c_str(),
                        list[static_cast<size_t>(last)].c_str(), seconds, step.framesPerSecond,
                        held ? ", its last pose held to the end" : "");
        }
        PanelUser user(scene);
        if (!user.Open(utility)) return fail("opening the utility showed no panel", kExitUsage);
        const int status = WorkThePanel(step, pass, user, {});
        if (status != kExitExported) return fail("", status);
    }
    if (std::rename(pass.model.c_str(), names.model.c_str()) != 0)
        return fail("cannot put " + ForDisplay(pass.model) + " in place of " + ForDisplay(names.model) +
                        ": " + std::strerror(errno),
                    kExitFailed);
    if (!options.quiet) std::printf("%s\n", DescribeModel(names.model, false, list, 0, 0).c_str());
    return kExitExported;
}

// --- A player's folder -------------------------------------------------------------------

// The names of the mesh nodes, and how many of them the export takes.
size_t SelectedMeshNodes(const standin::SceneNode& node, std::vector<std::string>& meshNodes) {
    size_t selected = node.hasMesh && node.selected;
    if (node.hasMesh) meshNodes.push_back(node.name);
    for (const auto& child : node.children) selected += SelectedMeshNodes(*child, meshNodes);
    return selected;
}

std::string Joined(const std::vector<std::string>& names) {
    std::string text;
    for (size_t i = 0; i < names.size() && i < 10; ++i) text += (i ? ", " : "") + names[i];
    return text + (names.size() > 10 ? ", ..." : "");
}

// --player: the figure and then its weapon, each exported through the panel
// and finished for the game, into a folder of their own beside
// GAME-DIR/players/NAME, with the skin's icon drawn from the figure; checked
// as the client loads a player, and only then put in place whole. The plug-in
// gets bare file names in that folder (it cuts names at a "."), so the run
// works from inside it.
int RunPlayer(const ExportOptions& options, UtilityObj* utility) {
    namespace fs = std::filesystem;
    std::error_code ec;
    const fs::path players = fs::absolute(options.gameDir, ec) / "players";
    const fs::path target = players / options.player;
    // Made outside players/, so that a folder left by a killed run never
    // shows in the game's player menu, but on its disc, to be renamed in.
    const fs::path staged =
        fs::absolute(options.gameDir, ec) / ("vorn-" + options.player + "-partial-" + std::to_string(getpid()));
    const fs::path home = fs::current_path(ec);
    if (!IsDirectory(options.gameDir)) return UsageError("--game-dir " + options.gameDir + ": not a folder");
    fs::remove_all(staged, ec);  // left by a run of the same process number that was killed
    fs::create_directories(players, ec);
    if (!ec) fs::create_directories(staged, ec);
    if (ec) {
        Complain("cannot make a folder in " + players.string() + ": " + ec.message());
        return kExitFailed;
    }
    const auto fail = [&](const std::string& message, int status) {
        if (!message.empty()) Complain(message);
        std::error_code ignored;
        fs::current_path(home, ignored);
        fs::remove_all(staged, ignored);
        return status;
    };

    ExportOptions body = options;
    body.scenePath = fs::absolute(options.scenePath, ec).string();
    if (!options.textureCache.empty()) body.textureCache = fs::absolute(options.textureCache, ec).string();
    standin::SetDriveFolder('C', options.driveC.empty() ? staged.string() : fs::absolute(options.driveC, ec).string());
    body.quiet = true;
    body.outputPath = "tris";
    body.skinPaths = {"players/" + options.player + "/" + options.skinName + ".pcx"};
    body.exclude = options.weapon;
    ExportOptions weapon = body;
    weapon.skinName = "weapon";
    weapon.skinPaths = {"players/" + options.player + "/weapon.pcx"};
    weapon.outputPath = "weapon";
    weapon.select = options.weapon;
    weapon.exclude.clear();
    if (chdir(staged.c_str()) != 0)
        return fail("cannot work in " + staged.string() + ": " + std::strerror(errno), kExitFailed);

    float lift = 0;
    for (ExportOptions* pass : {&body, &weapon}) {
        if (pass == &weapon) weapon.lift = lift;  // the weapon moves as the figure moved
        std::string error;
        PluginNames names;
        if (!PrepareNames(*pass, names, error)) return fail("", UsageError(error));
        standin::Scene scene;
        std::vector<std::string> refusals, meshNodes;
        if (!LoadScene(*pass, names.model, scene, refusals, error)) return fail(error, kExitUsage);
        if (SelectedMeshNodes(*scene.root, meshNodes) == 0) {
            std::string patterns;
            for (const std::string& p : options.weapon) patterns += (patterns.empty() ? "" : " ") + Quoted(p);
            return fail(pass == &weapon ? "--weapon " + patterns + " matches no mesh node (they are " +
                                              Joined(meshNodes) + "); no player folder written"
                                        : "every mesh node the export would take is a --weapon node (" +
                                              Joined(meshNodes) + "); no player folder written",
                        kExitFailed);
        }
        PanelUser user(scene);
        if (!user.Open(utility)) return fail("opening the utility showed no panel", kExitUsage);
        const int status = WorkThePanel(*pass, names, user, refusals, &lift);
        if (status != kExitExported) return fail("no player folder written", status);
    }
    fs::current_path(home, ec);

    // The listing and converted textures have no place in the game's folder.
    const std::set<std::string> kept = {"tris.md2", options.skinName + ".pcx", "weapon.md2", "weapon.pcx"};
    std::vector<fs::path> extra;
    for (const fs::directory_entry& entry : fs::directory_iterator(staged, ec))
        if (!kept.count(entry.path().filename().string())) extra.push_back(entry.path());
    for (const fs::path& path : extra) fs::remove_all(path, ec);
    std::string error;
    if (!player::WriteIcon(staged.string(), options.skinName, error))
        return fail("cannot draw the skin's icon: " + error, kExitFailed);
    std::vector<std::string> notes;
    const std::vector<std::string> problems =
        player::CheckFolder(staged.string(), options.player, options.skinName, notes);
    for (const std::string& note : notes) Warn(note);
    if (!problems.empty()) {
        for (const std::string& problem : problems) Complain("players/" + options.player + ": " + problem);
        return fail("no player folder written: the game would not load it as it is", kExitFailed);
    }
    if (!player::PutInPlace(staged.string(), target.string(), error)) return fail(error, kExitFailed);
    if (!options.quiet) {
        const std::string folder = ForDisplay((fs::path(options.gameDir) / "players" / options.player).string()) + "/";
        const auto counts = [&folder](const char* model) {
            const std::string described = DescribeModel(folder + model, false, {}, 0, 0);
            const size_t at = described.find(": the model");
            return at == std::string::npos ? std::string() : described.substr(at + 11);
        };
        const char* skin = options.skinName.c_str();
        std::printf(
            "wrote %s, a Quake II player model:\n  tris.md2: the figure%s\n  %s.pcx: its skin\n"
            "  %s_i.pcx: the skin's 32 x 32 icon for the player setup menu\n  weapon.md2: the weapon%s\n"
            "  weapon.pcx: its skin\n",
            folder.c_str(), counts("tris.md2").c_str(), skin, skin, counts("weapon.md2").c_str());
    }
    return kExitExported;
}

int Run(const ExportOptions& options) {
    std::string error;
    if (!options.driveC.empty()) {
        if (!IsDirectory(options.driveC)) return UsageError("--drive-c " + options.driveC + ": not a folder");
        standin::SetDriveFolder('C', options.driveC);
    }
    PluginNames names;
    if (!CheckSceneOptions(options, error) || !PrepareNames(options, names, error)) return UsageError(error);

    standin::Scene scene;
    std::vector<std::string> refusals;
    if (!options.scenePath.empty() && options.maps.empty() && options.player.empty() &&
        !LoadScene(options, names.model, scene, refusals, error)) {
        Complain(error);
        return kExitUsage;
    }
    if (options.listNodes) return kExitExported;

    std::string modulePath;
    if (!FindModule(modulePath, error)) {
        Complain(error);
        return kExitUsage;
    }
    standin::PluginModule module(modulePath);
    if (!module.loaded()) {
        Complain("cannot load the plug-in module " + modulePath + ": " + module.error());
        return kExitUsage;
    }
    UtilityObj* utility = CreateUtility(module, error);
    if (!utility) {
        Complain(error);
        return kExitUsage;
    }

    if (!options.maps.empty()) return RunMapped(options, names, utility);
    if (!options.player.empty()) return RunPlayer(options, utility);

    // Closed before the module goes.
    PanelUser user(scene);
    if (!user.Open(utility)) {
        Complain(modulePath + ": opening the utility showed no panel");
        PrintNotes(user);
        return kExitUsage;
    }
    return WorkThePanel(options, names, user, refusals);
}

}  // namespace

int main(int argc, char** argv) {
    md2export::ExportOptions options;
    std::string error;
    if (!md2export::ParseExportOptions(argc, argv, options, error)) return UsageError(error);
    if (options.help) {
        std::fputs(md2export::HelpText().c_str(), stdout);
        return kExitExported;
    }
    if (options.version) {
        std::printf("md2export (Vorn) %s\n", VORN_VERSION);
        return kExitExported;
    }
    return Run(options);
}
