// SkinPalette: the fixed 256-colour table of the PCX skin. The quantizer
// matches every skin pixel against it and the PCX writer stores it in the file.
#pragma once

#include <array>
#include <cstdint>

struct SkinColor {
    uint8_t red;
    uint8_t green;
    uint8_t blue;
};

constexpr int kSkinPaletteSize = 256;

extern const std::array<SkinColor, kSkinPaletteSize> SkinPalette;
