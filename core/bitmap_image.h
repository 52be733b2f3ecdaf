// BitmapImage: one bitmap file (BMP, TGA or TIM) in memory, in one layout for
// every format: a Windows-style info header, a 256-entry palette and pixel rows
// stored bottom-up, padded to 4 bytes. Pixel access wraps around the edges.
#pragma once

#include <cstdint>
#include <memory>

// The 40-byte Windows info header, field by field.
struct BitmapInfoHeader {
    uint32_t size = 0;
    int32_t width = 0;
    int32_t height = 0;
    uint16_t planes = 0;
    uint16_t bitCount = 0;
    uint32_t compression = 0;
    uint32_t imageSize = 0;
    int32_t xPelsPerMeter = 0;
    int32_t yPelsPerMeter = 0;
    uint32_t clrUsed = 0;
    uint32_t clrImportant = 0;
};

// A palette entry or a colour: blue, green, red, reserved.
struct PaletteEntry {
    uint8_t blue = 0;
    uint8_t green = 0;
    uint8_t red = 0;
    uint8_t reserved = 0;
};

class BitmapImage {
public:
    static constexpr int kNameSize = 256;
    static constexpr int kPaletteSize = 256;

    BitmapImage();
    ~BitmapImage();
    BitmapImage(BitmapImage&&) noexcept;
    BitmapImage& operator=(BitmapImage&&) noexcept;
    BitmapImage(const BitmapImage&) = delete;
    BitmapImage& operator=(const BitmapImage&) = delete;

    // Picks the reader by the first of ".bmp", ".BMP", ".tga", ".TGA", ".tim",
    // ".TIM" found anywhere in the path; 0 when none is (no file is opened).
    int ReadImageFile(const char* path);
    int ReadBmpFile(const char* path);
    int ReadTgaFile(const char* path);
    int ReadTimFile(const char* path);

    int32_t Width() const { return header.width; }
    int32_t Height() const { return header.height; }
    uint16_t BitsPerPixel() const { return header.bitCount; }
    // The part of the path behind its last backslash.
    const char* Name() const { return baseName; }
    const char* Path() const { return path; }

    // Any x, y names a pixel: coordinates wrap as if the picture tiled the plane.
    uint8_t PixelIndexAt(int x, int y) const;
    PaletteEntry PixelColorAt(int x, int y) const;

    // Bytes per pixel row for this image's width and depth; 0 for a width of 0
    // or less, a depth other than 4, 8, 24 or 32, or rows too long for 32 bits.
    int32_t Stride() const;
    // The same rule for any width, in 64 bits so that no header can overflow it.
    static int64_t StrideFor(int64_t width, uint16_t bitCount);

    void ReleasePixels();

    char baseName[kNameSize];
    char path[kNameSize];
    std::unique_ptr<uint8_t[]> pixels;  // stride x height bytes, bottom row first
    std::unique_ptr<uint8_t[]> alpha;   // 32-bit TGA only: width bytes per row
    BitmapInfoHeader header;
    PaletteEntry palette[kPaletteSize];
};
