// md2export's command line: what the user asks for, one field per panel
// control, read through a table of options so that a scene loader can add
// its own options (with their help lines) by adding rows.
#pragma once

#include <array>
#include <optional>
#include <string>
#include <vector>

namespace md2export {

enum ExitStatus { kExitExported = 0, kExitFailed = 1, kExitUsage = 2 };

// --map CLIP=FIRST-LAST as given: the clip by name or index, the range unresolved.
struct ClipMapping {
    std::string clip;
    std::string range;
};

struct ExportOptions {
    std::string scenePath;  // empty only with --list-frames
    std::string outputPath;  // the Save As answer; empty: the scene's base name + ".md2"
    std::string skinName = "tris";
    bool saveBmp = false;
    bool savePcx = false;
    std::string scaleText = "1";        // typed into "Scale:" as given
    std::string firstFrameText = "0";   // typed into "First Frame:" as given
    std::optional<std::string> start;  // a frame name or an index, for "Start"
    std::optional<std::string> end;    // the same for "End"
    std::string framesModel;  // a model whose frame names are imported first; empty: none
    bool listFrames = false;
    bool listGroups = false;  // --list-frames prints the animations with their ranges instead
    std::string driveC;  // where "C:\..." lands; empty: the current directory
    // Scene files read through the asset-import library (every one but JSON).
    std::vector<std::string> select;  // shell-style patterns on node names; empty: every mesh node
    double framesPerSecond = 30.0;
    std::string animation;     // a name or an index; empty: the file's first
    bool listNodes = false;    // print the node tree and stop
    std::string textureCache;  // where converted textures go; empty: beside the model
    std::vector<ClipMapping> maps;  // each clip into its range, in the order given
    bool fitClip = false;           // stretch each mapped clip over its range instead of playing it at fps
    int maxTexture = 0;        // above 0: the largest texture side kept
    bool fitToPage = true;     // shrink textures the skin page cannot hold
    std::vector<std::string> importOptionsGiven;  // those options as given, to refuse them for JSON
    // Finishing for the game (md2finish's steps on what the plug-in wrote).
    bool game = false;
    std::vector<std::string> skinPaths;  // skin names as the game looks them up
    // A move of the scene before the export, in model units (after the scale).
    std::optional<std::array<double, 3>> offset;
    std::optional<double> feetAt;  // the lowest point of the first exported frame at this z
    std::string frameNamesFile;    // one frame name a line, imported as a frame list
    bool replace = false;          // a new model even when one of the same counts exists
    // A whole Quake II player folder, GAME-DIR/players/PLAYER/.
    std::string player;
    std::string gameDir;
    std::vector<std::string> weapon;  // patterns on node names: the weapon's nodes
    // Set by the player folder's passes, not by options: mesh nodes to leave
    // out, and a lift (host units) to take in place of --feet-at's own, so
    // that the weapon moves exactly as the figure did.
    std::vector<std::string> exclude;
    std::optional<float> lift;
    bool quiet = false;
    bool help = false;
    bool version = false;
};

// One command-line option. A null valueName makes a flag; an option with a
// value may be given as "--name VALUE", "--name=VALUE", "-x VALUE" or
// "-xVALUE". apply stores the value; it returns false with error set when the
// value is not acceptable. Giving an option twice applies it twice, so a
// repeatable option is one whose apply appends.
struct OptionRow {
    const char* longName;   // without the leading "--"
    char shortName;         // 0: none
    const char* valueName;  // shown in the help; null for a flag
    const char* help;       // one line
    bool (*apply)(ExportOptions& options, const std::string& value, std::string& error);
};

// The options in the order the help lists them.
const std::vector<OptionRow>& ExportOptionTable();

// Reads argv[1 .. argc-1] into options. Returns false with error set (one
// line, without the program's name) on a usage error. --help and --version
// only set their fields; the caller decides what they print.
bool ParseExportOptions(int argc, const char* const* argv, ExportOptions& options, std::string& error);

// The one-line usage and the full help (with every option of the table, the
// outputs and the exit statuses).
const char* UsageLine();
std::string HelpText();

}  // namespace md2export
