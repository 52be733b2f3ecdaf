// Image files for reader tests, built byte by byte, scratch folders to put them
// in, and 24-bit skins for the skin writers.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

class QuakeExportUtility;

namespace vorn_test {

using Bytes = std::vector<uint8_t>;

Bytes Slurp(const std::string& path);
// A committed fixture under tests/data/images.
std::string ImageFixture(const char* name);
// A fresh, empty folder, kept until the next call; its path holds no ".".
std::string ScratchDir();
// Writes bytes to path, creating its folders; returns path.
std::string WriteFile(const std::string& path, const Bytes& bytes);

// A BMP file: headers, paletteEntries colours (entry i = i, i+1, i+2, 0), then pixels.
Bytes BmpFile(int32_t width, int32_t height, uint16_t bits, uint32_t coloursUsed, uint32_t paletteEntries,
              const Bytes& pixels, uint16_t signature = 0x4D42);

// A TGA file: 18-byte header, a colour map of mapLength entries of entryBits
// (byte k of entry i = i * (k + 1)), then the pixel bytes.
Bytes TgaFile(uint16_t width, uint16_t height, uint8_t depth, uint16_t mapLength, uint8_t entryBits,
              const Bytes& pixels);

// Where a TIM file's blocks lie in the frame buffer.
struct TimPlace {
    uint16_t imageX = 0, imageY = 0;
    uint16_t clutX = 0, clutY = 480;
};

// A TIM file of pixel mode `mode` with an optional CLUT, the image width in
// 16-bit units, its height, then the rows as stored (top row first).
Bytes TimFile(uint32_t mode, const std::vector<uint16_t>* clut, int16_t units, uint16_t height, const Bytes& rows,
              TimPlace place = TimPlace{});

// Gives utility a 24-bit skin width pixels wide of the colours (0xRRGGBB), row
// by row, top row first; the last row is filled up with black.
void SetSkin(QuakeExportUtility& utility, int32_t width, const std::vector<uint32_t>& colours);

}  // namespace vorn_test
