// Small pictures in the Quake II palette for the game's menus (a player
// skin's 32 x 32 icon): quantised to the palette the skins use and written as
// 8-bit run-length PCX files.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace finish {

// The nearest palette entry of a colour by squared distance, the lowest index
// on a tie, never 255 (transparent to the game's picture drawing).
int NearestOpaqueIndex(uint8_t red, uint8_t green, uint8_t blue);

// The colour of palette entry index (0 to 255), as r, g, b.
void PaletteColour(int index, uint8_t rgb[3]);

// Writes width x height pixels (r, g, b per pixel, rows from the top) as an
// 8-bit PCX in the palette, replacing path whole; false with reason set when
// the size is not 1 to 65535 a side or the file cannot be written.
bool WritePalettePcx(const std::string& path, int32_t width, int32_t height, const std::vector<uint8_t>& rgb,
                     std::string& reason);

}  // namespace finish
