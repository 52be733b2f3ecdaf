// Pictures for the preview: the skins it reads (8-bit PCX with its own
// palette, 24-bit or 8-bit BMP) and the pictures it draws, as 8-bit RGB rows
// from the top.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace preview {

struct RgbImage {
    int32_t width = 0;
    int32_t height = 0;
    std::vector<uint8_t> pixels;  // r, g, b per pixel, rows from the top

    RgbImage() = default;
    RgbImage(int32_t w, int32_t h, const uint8_t rgb[3]);
    uint8_t* At(int32_t x, int32_t y) { return &pixels[3 * (static_cast<std::size_t>(y) * width + x)]; }
    const uint8_t* At(int32_t x, int32_t y) const { return &pixels[3 * (static_cast<std::size_t>(y) * width + x)]; }
};

// Decodes an 8-bit run-length PCX (one plane, with the 256-colour palette at
// its end) or an uncompressed 24-bit or 8-bit BMP, told apart by their first
// bytes. On failure the error names what is wrong.
bool ReadSkin(const uint8_t* data, std::size_t size, RgbImage& image, std::string& error);

// Reads the skin file at path; the error then starts with the path.
bool LoadSkin(const std::string& path, RgbImage& image, std::string& error);

// Encodes the picture as PNG and replaces path with it whole.
bool SavePng(const std::string& path, const RgbImage& image, std::string& error);

}  // namespace preview
