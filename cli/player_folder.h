// A Quake II player model's folder, players/NAME/ under the game's folder:
// the names it may have, its icon, what the client needs of it, and putting a
// folder built beside it in its place whole.
#pragma once

#include <string>
#include <vector>

namespace player {

constexpr double kFeetAt = -24;     // the floor of a player's box (-24 to 32)
constexpr int kIconSize = 32;       // the player setup menu draws a skin's icon 32 x 32
constexpr int kPlayerFrames = 198;  // stand01 .. death308, the frames the game plays

// "" when name can name a player model or skin, else why not (option names what gave it).
std::string CheckName(const std::string& option, const std::string& name);

// Draws the icon SKIN_i.pcx in folder: tris.md2's first frame with SKIN.pcx,
// head and shoulders from the front, in the Quake II palette.
bool WriteIcon(const std::string& folder, const std::string& skin, std::string& error);

// What the client would find missing or wrong in folder as players/NAME/ with
// skin SKIN and its weapon: one line each, empty when nothing. Warnings (what
// loads but may not be meant) go to notes.
std::vector<std::string> CheckFolder(const std::string& folder, const std::string& name, const std::string& skin,
                                     std::vector<std::string>& notes);

// Puts folder staged in the place of target, whole: an older target's files
// that staged lacks (other skins and their icons) are carried over first, and
// the older target is removed once staged stands in its place.
bool PutInPlace(const std::string& staged, const std::string& target, std::string& error);

}  // namespace player
