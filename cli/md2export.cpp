// md2export: exports a scene file as a Quake II model through the Vorn
// plug-in module, which it loads into the stand-in host and drives through its
// panel exactly as a user would.

#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "cli/dialog_paths.h"
#include "cli/export_options.h"
#include "cli/frame_progress.h"
#include "cli/md2_check.h"
#include "cli/panel_user.h"
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

// Loads through the asset-import library; with --list-nodes prints the tree
// instead of going on. What was made of the textures the export will take
// (painted, shrunk) and their problems are the user's to know before the
// plug-in refuses them with its fixed message.
bool LoadWithAssetImport(const std::string& path, const SceneRequest& request, standin::Scene& scene,
                         std::string& error) {
    const ExportOptions& options = request.options;
    standin::AssimpLoadOptions load;
    load.framesPerSecond = options.framesPerSecond;
    load.animation = options.animation;
    load.select = options.select;
    load.textureFolder = options.textureCache;
    load.outputPath = request.modelPath;
    load.maxTexture = options.maxTexture;
    load.fitToPage = options.fitToPage;
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

// --start and --end: all digits is an index, anything else the first entry of
// that name.
bool ResolveFrame(const char* option, const std::string& value, const std::vector<std::string>& list,
                  int& index, std::string& error) {
    const std::string range = list.empty() ? "the frame list is empty"
                                           : "the frame list has " + std::to_string(list.size()) +
                                                 " entries, 0 to " + std::to_string(list.size() - 1);
    if (std::all_of(value.begin(), value.end(), [](char c) { return c >= '0' && c <= '9'; })) {
        const size_t digits = value.find_first_not_of('0');
        const std::string significant = digits == std::string::npos ? "0" : value.substr(digits);
        if (significant.size() > 9 || std::stoul(significant) >= list.size()) {
            error = std::string(option) + " " + value + ": " + range;
            return false;
        }
        index = static_cast<int>(std::stoul(significant));
        return true;
    }
    const auto found = std::find(list.begin(), list.end(), value);
    if (found == list.end()) {
        error = std::string(option) + " " + value + ": no frame of that name (" + range + ")";
        return false;
    }
    index = static_cast<int>(found - list.begin());
    return true;
}

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
// misread it) fails the export; false then.
bool CheckWrittenModel(const std::string& path) {
    std::vector<uint8_t> bytes;
    std::string reason;
    if (!md2check::ReadModelFile(path, bytes, reason)) {
        Warn("cannot check the model: " + reason);
        return true;
    }
    const md2check::Md2Report report = md2check::CheckMd2Model(bytes.data(), bytes.size());
    for (const md2check::Finding& f : report.findings) {
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
                 const std::vector<std::string>& refusals) {
    std::string error;
    if (!names.framesModel.empty()) {
        const size_t logged = user.host().log.entries.size();
        const std::vector<ShownMessage> shown = user.ImportFrameList(names.framesModel);
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
        for (size_t i = 0; i < list.size(); ++i) std::printf("%3zu  %s\n", i, list[i].c_str());
        return kExitExported;
    }
    if (list.empty()) {
        Complain(names.framesModel + " holds no frames: there is nothing to export");
        return kExitFailed;
    }

    // The panel opens with the whole list chosen; an imported list is chosen
    // again, since the import leaves the old choice standing.
    const bool imported = !names.framesModel.empty();
    if (options.start || imported) user.ChooseStart(start);
    if (options.end || imported) user.ChooseEnd(end);
    user.Type(IDC_FIRST_FRAME, options.firstFrameText);
    user.Type(IDC_SCALE, options.scaleText);
    user.Type(IDC_SKIN_NAME, names.skinName);
    if (options.saveBmp) user.Tick(IDC_SAVE_BMP);
    if (options.savePcx) user.Tick(IDC_SAVE_PCX);

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

    WarnAboutCutNames(report, names);
    if (!options.quiet) ListWrittenFiles(report, list, start, end);
    if (!failed && !CheckWrittenModel(model->localPath)) failed = true;
    return failed ? kExitFailed : kExitExported;
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
    if (!options.scenePath.empty() && !LoadScene(options, names.model, scene, refusals, error)) {
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
