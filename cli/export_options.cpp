#include "cli/export_options.h"

#include "cli/player_folder.h"

#include <cmath>
#include <cstdlib>
#include <cstring>

namespace md2export {

namespace {

// The panel's text fields hold at most this many characters.
constexpr size_t kFieldCharacters = 255;

// Stores v into field, or refuses it with message: an empty value when one
// is needed, or one longer than limit characters.
bool Store(std::string& field, const std::string& v, bool needed, size_t limit, const char* message,
           std::string& error) {
    if ((needed && v.empty()) || v.size() > limit) {
        error = message;
        return false;
    }
    field = v;
    return true;
}

bool StoreNeeded(std::string& field, const std::string& v, const char* message, std::string& error) {
    return Store(field, v, true, std::string::npos, message, error);
}

bool StoreNeeded(std::optional<std::string>& field, const std::string& v, const char* message, std::string& error) {
    std::string value;
    if (!StoreNeeded(value, v, message, error)) return false;
    field = value;
    return true;
}

// The options only the asset-import library's scene files take note that
// they were given, so that a JSON scene can refuse them.
void NoteImportOption(ExportOptions& o, const char* name) {
    const std::string given = std::string("--") + name;
    for (const std::string& g : o.importOptionsGiven)
        if (g == given) return;
    o.importOptionsGiven.push_back(given);
}

bool AddSelect(ExportOptions& o, const std::string& v, std::string& error) {
    std::string pattern;
    if (!StoreNeeded(pattern, v, "--select needs a pattern", error)) return false;
    o.select.push_back(pattern);
    NoteImportOption(o, "select");
    return true;
}

bool SetFps(ExportOptions& o, const std::string& v, std::string& error) {
    char* end = nullptr;
    const double fps = v.empty() ? 0.0 : std::strtod(v.c_str(), &end);
    if (v.empty() || *end != '\0' || !std::isfinite(fps) || !(fps > 0.0)) {
        error = "--fps " + v + ": frames a second must be a number above 0";
        return false;
    }
    o.framesPerSecond = fps;
    NoteImportOption(o, "fps");
    return true;
}

bool AddSkinPath(ExportOptions& o, const std::string& v, std::string& error) {
    if (v.empty() || v.size() > 63) {
        error = "--skin-path needs a path of 1 to 63 characters, as the game looks the skin up";
        return false;
    }
    if (o.skinPaths.size() == 32) {
        error = "--skin-path: a model names at most 32 skins";
        return false;
    }
    o.skinPaths.push_back(v);
    return true;
}

// A number that is the whole text and finite.
bool ReadNumber(const std::string& text, double& value) {
    char* end = nullptr;
    value = text.empty() ? 0.0 : std::strtod(text.c_str(), &end);
    return !text.empty() && *end == '\0' && std::isfinite(value);
}

bool SetOffset(ExportOptions& o, const std::string& v, std::string& error) {
    std::array<double, 3> xyz{};
    size_t from = 0;
    for (int axis = 0; axis < 3; ++axis) {
        const size_t comma = v.find(',', from);
        const bool last = axis == 2;
        if ((comma == std::string::npos) != last ||
            !ReadNumber(v.substr(from, last ? std::string::npos : comma - from), xyz[axis])) {
            error = "--offset " + v + ": give three numbers, X,Y,Z";
            return false;
        }
        from = comma + 1;
    }
    o.offset = xyz;
    return true;
}

bool SetFeetAt(ExportOptions& o, const std::string& v, std::string& error) {
    double z;
    if (!ReadNumber(v, z)) {
        error = "--feet-at " + v + ": give a number";
        return false;
    }
    o.feetAt = z;
    return true;
}

bool AddMap(ExportOptions& o, const std::string& v, std::string& error) {
    const size_t equals = v.find('=');
    if (equals == std::string::npos || equals == 0 || equals + 1 == v.size()) {
        error = "--map " + v + ": not CLIP=FIRST-LAST";
        return false;
    }
    o.maps.push_back({v.substr(0, equals), v.substr(equals + 1)});
    NoteImportOption(o, "map");
    return true;
}

bool SetMaxTexture(ExportOptions& o, const std::string& v, std::string& error) {
    const bool digits = !v.empty() && v.size() < 6 && v.find_first_not_of("0123456789") == std::string::npos;
    if (!digits || std::stoi(v) < 1) {
        error = "--max-texture " + v + ": a texture side in pixels, 1 to 99999";
        return false;
    }
    o.maxTexture = std::stoi(v);
    NoteImportOption(o, "max-texture");
    return true;
}

bool SetPlayer(ExportOptions& o, const std::string& v, std::string& error) {
    error = player::CheckName("--player", v);
    o.player = v;
    return error.empty();
}

bool AddWeapon(ExportOptions& o, const std::string& v, std::string& error) {
    if (v.empty()) {
        error = "--weapon needs a pattern";
        return false;
    }
    o.weapon.push_back(v);
    NoteImportOption(o, "weapon");
    return true;
}

// --player's own checks, and what it sets for the passes.
bool CheckPlayerOptions(ExportOptions& options, std::string& error) {
    if (options.player.empty()) {
        if (!options.gameDir.empty() || !options.weapon.empty())
            error = std::string(options.gameDir.empty() ? "--weapon" : "--game-dir") + " goes with --player";
        return error.empty();
    }
    if (options.gameDir.empty()) {
        error = "--player needs --game-dir: the game's folder (baseq2, or a mod's) that players/ goes into";
        return false;
    }
    // The client draws players/NAME/weapon.md2 in the player's hand and, when
    // it is missing, silently draws male's weapon instead, which floats beside
    // any other figure's hand: a player folder without one is refused.
    if (options.weapon.empty()) {
        error =
            "--player needs --weapon PATTERN, the nodes of the weapon in the figure's hand (weapon.md2); "
            "without one the game draws the male model's weapon in the wrong place";
        return false;
    }
    const char* clash = !options.outputPath.empty()                                       ? "-o"
                        : !options.skinPaths.empty()                                      ? "--skin-path"
                        : options.saveBmp                                                 ? "--bmp"
                        : !options.maps.empty()                                           ? "--map"
                        : !options.framesModel.empty() || !options.frameNamesFile.empty() ? "a frame list"
                        : options.start || options.end                                    ? "--start and --end"
                        : options.listFrames || options.listNodes                         ? "a listing"
                                                                                          : nullptr;
    if (clash) {
        error = std::string("--player writes the whole frame list and names its files itself: ") + clash +
                " cannot go with it";
        return false;
    }
    error = player::CheckName("--skin-name", options.skinName);
    if (!error.empty()) return false;
    options.game = options.savePcx = true;
    if (!options.feetAt) options.feetAt = player::kFeetAt;
    return true;
}

// clang-format off
const std::vector<OptionRow> kOptions = {
    {"output", 'o', "PATH", "the answer to the Save As dialog: the model file\n"
                            "(default: the scene's base name, e.g. robot.md2)",
     [](ExportOptions& o, const std::string& v, std::string& e) {
         return StoreNeeded(o.outputPath, v, "--output needs a file name", e);
     }},
    {"skin-name", 0, "NAME", "typed into \"Skin Name:\" (default \"tris\"): the\n"
                             "skin files are NAME.bmp and NAME.pcx",
     [](ExportOptions& o, const std::string& v, std::string& e) {
         return Store(o.skinName, v, true, kFieldCharacters, "--skin-name needs a name of 1 to 255 characters", e);
     }},
    {"bmp", 0, nullptr, "tick \"Save BMP texture\"",
     [](ExportOptions& o, const std::string&, std::string&) { return o.saveBmp = true; }},
    {"pcx", 0, nullptr, "tick \"Save PCX texture\"",
     [](ExportOptions& o, const std::string&, std::string&) { return o.savePcx = true; }},
    {"scale", 0, "TEXT", "typed into \"Scale:\" (default \"1\"); the longest\n"
                         "leading number counts, text without one gives 0",
     [](ExportOptions& o, const std::string& v, std::string& e) {
         return Store(o.scaleText, v, false, kFieldCharacters, "--scale: \"Scale:\" holds at most 255 characters", e);
     }},
    {"first-frame", 0, "TEXT", "typed into \"First Frame:\" (default \"0\"): the\n"
                               "scene frame the start frame is sampled at; text\n"
                               "that is no number gives 0",
     [](ExportOptions& o, const std::string& v, std::string& e) {
         return Store(o.firstFrameText, v, false, kFieldCharacters,
                      "--first-frame: \"First Frame:\" holds at most 255 characters", e);
     }},
    {"start", 0, "FRAME", "the first frame to export: its index in the\n"
                          "frame list when all digits, else the first entry\n"
                          "of that name",
     [](ExportOptions& o, const std::string& v, std::string& e) {
         return StoreNeeded(o.start, v, "--start needs a frame name or index", e);
     }},
    {"end", 0, "FRAME", "the last frame to export, the same way",
     [](ExportOptions& o, const std::string& v, std::string& e) {
         return StoreNeeded(o.end, v, "--end needs a frame name or index", e);
     }},
    {"frames", 0, "MODEL", "press \"Import new frame list\" with MODEL first;\n"
                           "--start and --end then default to the whole\n"
                           "imported list",
     [](ExportOptions& o, const std::string& v, std::string& e) {
         return StoreNeeded(o.framesModel, v, "--frames needs a model file", e);
     }},
    {"frame-names", 0, "FILE", "replace the frame list with the names in FILE,\n"
                               "one a line (at most 256, each at most 15\n"
                               "characters), as \"Import new frame list\" does",
     [](ExportOptions& o, const std::string& v, std::string& e) {
         return StoreNeeded(o.frameNamesFile, v, "--frame-names needs a text file", e);
     }},
    {"replace", 0, nullptr, "write a new model even when one of the same\n"
                            "counts exists (which is otherwise updated)",
     [](ExportOptions& o, const std::string&, std::string&) { return o.replace = true; }},
    {"offset", 0, "X,Y,Z", "move the scene by X,Y,Z model units (after the\n"
                           "scale) before the export", SetOffset},
    {"feet-at", 0, "Z", "move the scene so that the lowest point of the\n"
                        "first exported frame lies at Z (a Quake II\n"
                        "player: -24)", SetFeetAt},
    {"game", 0, nullptr, "finish the model for the game: skin names,\n"
                         "light normals, shared texture coordinates with\n"
                         "strips and fans, nothing after ofs_end; also\n"
                         "writes the PCX skin, without palette index 255",
     [](ExportOptions& o, const std::string&, std::string&) { return o.game = o.savePcx = true; }},
    {"skin-path", 0, "PATH", "with --game: a skin name the model holds, as the\n"
                             "game looks it up (players/vorn/tris.pcx);\n"
                             "repeatable, at most 32", AddSkinPath},
    {"player", 0, "NAME", "write a whole Quake II player model into\n"
                          "GAME-DIR/players/NAME/: tris.md2 and its skin\n"
                          "finished as --game does, the skin's 32 x 32\n"
                          "icon, weapon.md2 and weapon.pcx; then checked\n"
                          "as the game loads them (skin name: --skin-name,\n"
                          "default \"skin\"; feet at -24 unless --feet-at)", SetPlayer},
    {"game-dir", 0, "DIR", "with --player: the game's folder (baseq2, or a\n"
                           "mod's folder beside it)",
     [](ExportOptions& o, const std::string& v, std::string& e) {
         return StoreNeeded(o.gameDir, v, "--game-dir needs a folder", e);
     }},
    {"weapon", 0, "PATTERN", "with --player: the nodes (shell-style, as\n"
                             "--select) exported as weapon.md2, the weapon\n"
                             "in the figure's hand, and left out of tris.md2;\n"
                             "repeatable", AddWeapon},
    {"list-frames", 0, nullptr, "print the frame list (after --frames) and stop;\n"
                                "SCENE may then be left out",
     [](ExportOptions& o, const std::string&, std::string&) { return o.listFrames = true; }},
    {"groups", 0, nullptr, "with --list-frames: print the animations of the\n"
                           "list with their ranges instead",
     [](ExportOptions& o, const std::string&, std::string&) { return o.listGroups = true; }},
    {"drive-c", 0, "DIR", "the folder where the plug-in's drive C: lands,\n"
                          "and with it the listing \"C:\\tris.asc\" (default:\n"
                          "the current directory)",
     [](ExportOptions& o, const std::string& v, std::string& e) {
         return StoreNeeded(o.driveC, v, "--drive-c needs a folder", e);
     }},
    {"select", 0, "PATTERN", "select the nodes whose names match the\n"
                             "shell-style PATTERN (*, ?, [...]); repeatable\n"
                             "(default: every node with a mesh)", AddSelect},
    {"fps", 0, "N", "scene frames a second (default 30): frame f\n"
                    "is the animation at f / N seconds from its\n"
                    "first key", SetFps},
    {"animation", 0, "NAME|INDEX", "the animation to play, by name or by index\n"
                                   "(default: the file's first)",
     [](ExportOptions& o, const std::string& v, std::string& e) {
         NoteImportOption(o, "animation");
         return StoreNeeded(o.animation, v, "--animation needs a name or an index", e);
     }},
    {"map", 0, "CLIP=FIRST-LAST", "export animation CLIP (name or index) into the\n"
                                  "frames FIRST to LAST (names or indices), from\n"
                                  "its first key on, its last pose held past its\n"
                                  "end; repeatable: one new model, each range\n"
                                  "updated in turn, the frames of no range in\n"
                                  "the first clip's first pose", AddMap},
    {"fit-clip", 0, nullptr, "with --map: stretch each clip over its range\n"
                             "instead of playing it at --fps",
     [](ExportOptions& o, const std::string&, std::string&) { return o.fitClip = true; }},
    {"list-nodes", 0, nullptr, "print the node tree (objects, materials,\n"
                               "textures and their conversions, what would\n"
                               "be exported) and stop",
     [](ExportOptions& o, const std::string&, std::string&) {
         NoteImportOption(o, "list-nodes");
         return o.listNodes = true;
     }},
    {"texture-cache", 0, "DIR", "where converted textures go (default:\n"
                                "SCENE-BASE.textures beside the model)",
     [](ExportOptions& o, const std::string& v, std::string& e) {
         NoteImportOption(o, "texture-cache");
         return StoreNeeded(o.textureCache, v, "--texture-cache needs a folder", e);
     }},
    {"max-texture", 0, "N", "shrink every texture whose larger side exceeds\n"
                            "N pixels to N", SetMaxTexture},
    {"no-fit", 0, nullptr, "do not shrink textures the 480 x 480 skin page\n"
                           "cannot hold (the plug-in then refuses them)",
     [](ExportOptions& o, const std::string&, std::string&) {
         NoteImportOption(o, "no-fit");
         o.fitToPage = false;
         return true;
     }},
    {"quiet", 'q', nullptr, "print only message boxes, warnings and errors",
     [](ExportOptions& o, const std::string&, std::string&) { return o.quiet = true; }},
    {"help", 'h', nullptr, "print this help",
     [](ExportOptions& o, const std::string&, std::string&) { return o.help = true; }},
    {"version", 0, nullptr, "print the version",
     [](ExportOptions& o, const std::string&, std::string&) { return o.version = true; }},
};
// clang-format on

const OptionRow* FindLong(const std::string& name) {
    for (const OptionRow& row : kOptions) {
        if (name == row.longName) return &row;
    }
    return nullptr;
}

const OptionRow* FindShort(char name) {
    for (const OptionRow& row : kOptions) {
        if (row.shortName != 0 && row.shortName == name) return &row;
    }
    return nullptr;
}

}  // namespace

const std::vector<OptionRow>& ExportOptionTable() { return kOptions; }

bool ParseExportOptions(int argc, const char* const* argv, ExportOptions& options, std::string& error) {
    std::vector<std::string> operands;
    bool optionsEnded = false;
    bool skinNameGiven = false;  // --player's skin is "skin" unless named
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (optionsEnded || arg.size() < 2 || arg[0] != '-') {
            operands.push_back(arg);
            continue;
        }
        if (arg == "--") {
            optionsEnded = true;
            continue;
        }

        const OptionRow* row = nullptr;
        std::optional<std::string> attached;  // a value given in the same argument
        std::string shown;                    // the option as the user wrote it, for messages
        if (arg[1] == '-') {
            const size_t equals = arg.find('=');
            const std::string name = arg.substr(2, equals == std::string::npos ? std::string::npos : equals - 2);
            if (equals != std::string::npos) attached = arg.substr(equals + 1);
            row = FindLong(name);
            shown = "--" + name;
        } else {
            row = FindShort(arg[1]);
            if (arg.size() > 2) attached = arg.substr(2);
            shown = arg.substr(0, 2);
        }
        if (!row) {
            error = "unknown option " + shown;
            return false;
        }

        std::string value;
        if (row->valueName) {
            if (attached) {
                value = *attached;
            } else if (i + 1 < argc) {
                value = argv[++i];
            } else {
                error = shown + " needs a value (" + row->valueName + ")";
                return false;
            }
        } else if (attached) {
            error = shown + " takes no value";
            return false;
        }
        if (!row->apply(options, value, error)) return false;
        skinNameGiven = skinNameGiven || std::strcmp(row->longName, "skin-name") == 0;
    }

    if (options.help || options.version) return true;
    if (!options.player.empty() && !skinNameGiven) options.skinName = "skin";
    if (!CheckPlayerOptions(options, error)) return false;
    if (operands.size() > 1) {
        error = "one scene at a time (got " + std::to_string(operands.size()) + ")";
        return false;
    }
    if (options.listNodes && options.listFrames) {
        error = "--list-nodes and --list-frames: one listing at a time";
        return false;
    }
    if (!options.frameNamesFile.empty() && !options.framesModel.empty()) {
        error = "--frames and --frame-names: one frame list at a time";
        return false;
    }
    if (!options.skinPaths.empty() && !options.game) {
        error = "--skin-path names the skins of a model finished with --game";
        return false;
    }
    if (options.listGroups && !options.listFrames) {
        error = "--groups goes with --list-frames";
        return false;
    }
    if (options.fitClip && options.maps.empty()) {
        error = "--fit-clip goes with --map";
        return false;
    }
    if (!options.maps.empty()) {
        const char* clash = options.start || options.end ? "--start and --end"
                            : !options.animation.empty() ? "--animation"
                            : options.firstFrameText != "0" ? "--first-frame"
                            : options.listFrames || options.listNodes ? "a listing"
                                                                      : nullptr;
        if (clash) {
            error = std::string("--map chooses the clips and frames itself: ") + clash + " cannot go with it";
            return false;
        }
    }
    if (operands.empty() && !options.listFrames) {
        error = "no scene file named";
        return false;
    }
    if (!operands.empty()) options.scenePath = operands[0];
    return true;
}

const char* UsageLine() {
    return "usage: md2export [options] SCENE\n"
           "       md2export --list-frames [--frames MODEL] [SCENE]\n"
           "       md2export --list-nodes [options] SCENE\n"
           "       md2export --player NAME --game-dir DIR --weapon PATTERN [options] SCENE\n"
           "       md2export --help | --version\n";
}

std::string HelpText() {
    std::string help = UsageLine();
    help +=
        "\n"
        "Exports the selected, texture-mapped objects of a scene file as one animated\n"
        "Quake II model. SCENE is a JSON scene file (.json) or any scene file the Open\n"
        "Asset Import Library reads: glTF, FBX, COLLADA, OBJ and more. md2export loads\n"
        "the Vorn plug-in module (vorn.dlu) into a stand-in of its modelling host and\n"
        "works the plug-in's panel as a user would: it types the options into the\n"
        "fields, picks the frames with \"Start\" and \"End\", ticks the check boxes,\n"
        "presses \"Save md2\" and answers the Save As dialog.\n"
        "\n"
        "Options:\n";
    constexpr size_t kColumn = 26;
    for (const OptionRow& row : kOptions) {
        std::string left = row.shortName ? std::string("  -") + row.shortName + ", " : std::string("      ");
        left += std::string("--") + row.longName;
        if (row.valueName) left += std::string(" ") + row.valueName;
        // A long option and value take a line of their own.
        if (left.size() < kColumn) left.resize(kColumn, ' ');
        else left += "\n" + std::string(kColumn, ' ');
        help += left;
        for (const char* p = row.help; *p; ++p) {
            help += *p;
            if (*p == '\n') help += std::string(kColumn, ' ');
        }
        help += '\n';
    }
    help +=
        "\n"
        "Scene files other than JSON: every node with a mesh is an object (the pieces\n"
        "of one node welded into one mesh) and is selected unless --select says\n"
        "otherwise. The file's axes and units become the host's (Z up, metres, the\n"
        "front towards -Y), so a figure facing its file's front faces +X in the model.\n"
        "Frame 0 is the animation's first key; the animations of a COLLADA file\n"
        "without clips play together unless --animation names one. Textures the\n"
        "plug-in cannot read as they are (PNG, JPEG, embedded pictures, run-length or\n"
        "top-down TGA, ...) are converted to plain TGA files in the texture cache,\n"
        "by --list-nodes too; so are textures shrunk until the skin page holds\n"
        "them, and the pictures painted for materials without a usable texture (in\n"
        "their colour, or their mesh's vertex colours). Texture names are matched\n"
        "as Windows matches them (any case, '\\' separators), a path of another\n"
        "machine by its base name beside the scene file or in a folder beside it.\n"
        "--select, --fps, --animation, --list-nodes, --texture-cache, --max-texture,\n"
        "--no-fit, --map and --weapon apply only to these files.\n"
        "\n"
        "Clips into frame ranges: each --map CLIP=FIRST-LAST loads the scene again\n"
        "with that animation and updates its range of one new model through the\n"
        "panel, after a first save of the whole list with the first clip held at\n"
        "its first key. The model is made as MODEL-mapping.md2 and renamed over\n"
        "MODEL.md2 when every range is in. --list-frames --groups shows the ranges.\n"
        "\n"
        "Outputs, relative to the current directory unless a path says otherwise:\n"
        "  MODEL.md2   the model: the --output path up to its first \".\", plus \".md2\".\n"
        "              A model of the same vertex, triangle and frame counts that\n"
        "              exists already is updated: only --start to --end are rewritten.\n"
        "  NAME.bmp    with --bmp: the skin page, 24-bit (NAME from --skin-name)\n"
        "  NAME.pcx    with --pcx: the skin page, 8-bit in the Quake II palette\n"
        "              With --replace it is written anew instead.\n"
        "  tris.asc    always: a text listing of the mesh, written to the plug-in's\n"
        "              fixed path \"C:\\tris.asc\", which lands in the --drive-c folder\n"
        "The plug-in ends every file name at its first \".\" and adds its own\n"
        "extension, so a dot in a folder name cuts the path there: md2export drops a\n"
        "leading \"./\" and warns about any other dot before the file name.\n"
        "\n"
        "Messages, on standard error: every message box of the plug-in as\n"
        "\"CAPTION: TEXT\"; after a failed export, the first reason the plug-in noted as\n"
        "\"md2export: detail: CAPTION: TEXT\"; every problem that md2check finds in the\n"
        "written model as a warning, sizes beyond what Quake II loads included (2048\n"
        "vertices, 4096 triangles, 512 frames, a skin taller than 480 pixels). On a\n"
        "terminal a progress line shows the frame being written. An update says when\n"
        "the model keeps texture coordinates other than a new export would write\n"
        "(the skin page changed: --replace), and when its rewritten frames are more\n"
        "than twice or less than half the size of the kept ones (a forgotten --scale).\n"
        "\n"
        "With --game the written model is finished for Quake II as md2finish does it:\n"
        "the --skin-path names, light normals, shared texture coordinates drawn as\n"
        "strips and fans, nothing after ofs_end, and no palette index 255 in the PCX;\n"
        "every frame's vertex positions stay as the plug-in wrote them. Then md2check's\n"
        "look warnings (no skin name, normals, bytes after ofs_end, index 255) apply.\n"
        "\n"
        "With --player NAME --game-dir DIR the figure (the selected nodes but the\n"
        "--weapon ones) and its weapon are exported in turn, both finished as --game\n"
        "does and moved alike (feet at -24 unless --feet-at says otherwise), into\n"
        "DIR/players/NAME/: tris.md2, SKIN.pcx, SKIN_i.pcx (the skin's 32 x 32 icon\n"
        "for the player setup menu, drawn from the first frame), weapon.md2 and\n"
        "weapon.pcx. The folder is built in DIR, outside players/, and checked as\n"
        "the game loads a player; only then does it take its place, keeping the\n"
        "files of an older one that it does not replace. A folder with problems is\n"
        "not put in place: each problem is named, and the exit status is 1. DIR\n"
        "must exist.\n"
        "\n"
        "The plug-in module is looked for next to md2export and in its parent folder;\n"
        "the environment variable VORN_MODULE names another.\n"
        "\n"
        "Exit status:\n"
        "  0  the export ran to its end (warnings allowed); --list-frames,\n"
        "     --list-nodes, --help, --version\n"
        "  1  the export failed: the plug-in showed a message box (the panel's \"Last\n"
        "     frame must be greater than first frame\" included), --frames could\n"
        "     not be imported or imported no frames, or the written model has errors\n"
        "     by md2info's checker (it stays written); --player: a folder the\n"
        "     game would not load as it is (none is written)\n"
        "  2  a usage error, a scene file that cannot be loaded (the reason follows\n"
        "     its name; a fault inside the asset-import library included), or a\n"
        "     plug-in module that cannot be found or loaded\n";
    return help;
}

}  // namespace md2export
