#include "cli/player_folder.h"

#include <unistd.h>

#include <cstdint>
#include <filesystem>
#include <system_error>

#include "cli/md2_check.h"
#include "finish/palette_picture.h"
#include "preview/md2_model.h"
#include "preview/renderer.h"
#include "preview/skin_image.h"

namespace player {

namespace fs = std::filesystem;

namespace {

// A player's frames fill the picture's height; this top share of it is the
// head and shoulders of a figure of ordinary build.
constexpr float kPortraitShare = 0.3f;
// The icon's background, palette index 4: a dark grey the figures stand out on.
constexpr int kIconBackground = 4;

struct Pcx {
    bool read = false;
    int32_t width = 0, height = 0;
    bool quakePalette = false;
};

// An 8-bit PCX as the game reads it: its header and its palette. read is
// false when the file is missing or is no such picture (why goes to problem).
Pcx ReadPcx(const std::string& path, const std::string& shown, std::string& problem) {
    Pcx pcx;
    std::vector<uint8_t> bytes;
    std::string reason;
    if (!md2check::ReadModelFile(path, bytes, reason)) {
        problem = shown + " is missing";
        return pcx;
    }
    preview::RgbImage image;
    const bool eightBit = bytes.size() >= 128 + 769 && bytes[0] == 10 && bytes[3] == 8 && bytes[65] == 1 &&
                          bytes[bytes.size() - 769] == 12;
    if (!eightBit || !preview::ReadSkin(bytes.data(), bytes.size(), image, reason)) {
        problem = shown + " is no 8-bit PCX with a 256-colour palette" + (eightBit ? ": " + reason : "");
        return pcx;
    }
    pcx.read = true;
    pcx.width = image.width;
    pcx.height = image.height;
    pcx.quakePalette = true;
    const uint8_t* palette = &bytes[bytes.size() - 768];
    for (int i = 0; i < 256; ++i) {
        uint8_t rgb[3];
        finish::PaletteColour(i, rgb);
        for (int k = 0; k < 3; ++k) pcx.quakePalette = pcx.quakePalette && palette[3 * i + k] == rgb[k];
    }
    return pcx;
}

// A model of the folder checked as the engines load it, with the one skin
// name it must hold. The report's header stays empty when it is missing.
md2check::Md2Report CheckModel(const std::string& path, const std::string& shown, const std::string& skinPath,
                               std::vector<std::string>& problems) {
    std::vector<uint8_t> bytes;
    std::string reason;
    if (!md2check::ReadModelFile(path, bytes, reason)) {
        problems.push_back(shown + " is missing");
        return {};
    }
    md2check::Md2Report report = md2check::CheckMd2Model(bytes.data(), bytes.size());
    for (const md2check::Finding& f : report.findings)
        if (f.severity == md2check::Severity::Error) problems.push_back(shown + ": " + f.where + ": " + f.message);
    if (report.skinNames.size() != 1 || report.skinNames[0] != skinPath)
        problems.push_back(shown + " must name its one skin " + skinPath + ", as the game looks it up");
    return report;
}

}  // namespace

std::string CheckName(const std::string& option, const std::string& name) {
    // The menu shows 15 characters of a name; servers refuse other characters.
    if (name.empty() || name.size() > 15 ||
        name.find_first_not_of("abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789_-") != std::string::npos)
        return option + " " + name + ": a player's model and skin names are 1 to 15 letters, digits, '_' or '-'";
    if (option == "--skin-name" &&
        (name == "weapon" || (name.size() > 2 && name.compare(name.size() - 2, 2, "_i") == 0)))
        return option + " " + name + ": weapon.pcx is the weapon's skin and NAME_i.pcx a skin's icon";
    return "";
}

bool WriteIcon(const std::string& folder, const std::string& skin, std::string& error) {
    preview::Md2Model model;
    preview::RgbImage picture;
    if (!preview::LoadMd2(folder + "/tris.md2", model, error) ||
        !preview::LoadSkin(folder + "/" + skin + ".pcx", picture, error))
        return false;
    uint8_t background[3];
    finish::PaletteColour(kIconBackground, background);
    const preview::RgbImage icon = preview::RenderPortrait(model, &picture, 0, kIconSize, kPortraitShare, background);
    return finish::WritePalettePcx(folder + "/" + skin + "_i.pcx", icon.width, icon.height, icon.pixels, error);
}

std::vector<std::string> CheckFolder(const std::string& folder, const std::string& name, const std::string& skin,
                                     std::vector<std::string>& notes) {
    std::vector<std::string> problems;
    const std::string home = "players/" + name + "/";
    const auto file = [&folder](const std::string& n) { return folder + "/" + n; };

    const md2check::Md2Report tris = CheckModel(file("tris.md2"), "tris.md2", home + skin + ".pcx", problems);
    const md2check::Md2Report weapon = CheckModel(file("weapon.md2"), "weapon.md2", home + "weapon.pcx", problems);
    const size_t frames = tris.frames.size();
    if (tris.headerRead && frames < kPlayerFrames)
        problems.push_back("tris.md2 holds " + std::to_string(frames) +
                           " frames; the game plays a player's frames 0 to " + std::to_string(kPlayerFrames - 1) +
                           " (stand01 to death308)");
    if (tris.headerRead && weapon.headerRead && weapon.frames.size() != frames)
        problems.push_back("weapon.md2 holds " + std::to_string(weapon.frames.size()) + " frames, tris.md2 " +
                           std::to_string(frames) + ": the game draws the weapon in the player's frame");
    if (!tris.frames.empty() && tris.frames[0].hasBounds) {
        const float tall = tris.frames[0].max[2] - tris.frames[0].min[2];
        if (tall < 28 || tall > 112)
            notes.push_back("tris.md2 stands " + std::to_string(static_cast<int>(tall + 0.5f)) +
                            " units tall in its first frame; a Quake II player stands 56 (--scale)");
    }

    const struct {
        std::string file;
        const md2check::Md2Report* model;  // whose skin it is; null: the icon
    } pictures[] = {{skin + ".pcx", &tris}, {"weapon.pcx", &weapon}, {skin + "_i.pcx", nullptr}};
    for (const auto& p : pictures) {
        std::string problem;
        const Pcx pcx = ReadPcx(file(p.file), p.file, problem);
        if (!pcx.read) {
            problems.push_back(problem + (p.model ? "" : ": the player setup menu lists a skin only with its icon"));
            continue;
        }
        if (p.model && p.model->headerRead &&
            (pcx.width != p.model->header.skinWidth || pcx.height != p.model->header.skinHeight))
            problems.push_back(p.file + " is " + std::to_string(pcx.width) + " x " + std::to_string(pcx.height) +
                               ", but its model's skin is " + std::to_string(p.model->header.skinWidth) + " x " +
                               std::to_string(p.model->header.skinHeight));
        if (!p.model && (pcx.width != kIconSize || pcx.height != kIconSize))
            problems.push_back(p.file + " is " + std::to_string(pcx.width) + " x " + std::to_string(pcx.height) +
                               "; the menu draws an icon 32 x 32");
        if (!pcx.quakePalette)
            problems.push_back(p.file + " has a palette other than Quake II's, which the game draws it in");
    }
    return problems;
}

bool PutInPlace(const std::string& staged, const std::string& target, std::string& error) {
    std::error_code ec;
    // Beside staged, outside players/: a run killed here leaves nothing the menu lists.
    const std::string old = staged + "-replaced";
    if (fs::exists(target, ec)) {
        for (const fs::directory_entry& entry : fs::directory_iterator(target, ec)) {
            const fs::path carried = fs::path(staged) / entry.path().filename();
            std::error_code missing;
            if (fs::exists(carried, missing)) continue;
            fs::copy(entry.path(), carried, fs::copy_options::recursive, ec);
            if (ec) break;
        }
        if (!ec) fs::rename(target, old, ec);
        if (ec) {
            error = "cannot set " + target + " aside for the new folder: " + ec.message();
            return false;
        }
    }
    fs::rename(staged, target, ec);
    if (ec) {
        error = "cannot put the new folder in place of " + target + ": " + ec.message();
        std::error_code back;
        if (fs::exists(old, back)) fs::rename(old, target, back);
        return false;
    }
    fs::remove_all(old, ec);
    return true;
}

}  // namespace player
