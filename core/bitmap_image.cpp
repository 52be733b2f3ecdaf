#include "core/bitmap_image.h"

#include <cstdint>
#include <cstring>
#include <utility>

BitmapImage::BitmapImage() {
    baseName[0] = '\0';
    path[0] = '\0';
}

BitmapImage::~BitmapImage() { ReleasePixels(); }

BitmapImage::BitmapImage(BitmapImage&& other) noexcept { *this = std::move(other); }

BitmapImage& BitmapImage::operator=(BitmapImage&& other) noexcept {
    if (this != &other) {
        std::memcpy(baseName, other.baseName, sizeof baseName);
        std::memcpy(path, other.path, sizeof path);
        pixels = std::move(other.pixels);
        alpha = std::move(other.alpha);
        header = other.header;
        std::memcpy(palette, other.palette, sizeof palette);
    }
    return *this;
}

void BitmapImage::ReleasePixels() {
    pixels.reset();
    alpha.reset();
}

int64_t BitmapImage::StrideFor(int64_t width, uint16_t bitCount) {
    if (width <= 0) return 0;
    switch (bitCount) {
        case 4: return ((width + 7) / 2) & ~int64_t{3};
        case 8: return (width + 3) & ~int64_t{3};
        case 24:
        case 32: return (3 * width + 3) & ~int64_t{3};
        default: return 0;
    }
}

int32_t BitmapImage::Stride() const {
    const int64_t stride = StrideFor(header.width, header.bitCount);
    return stride <= INT32_MAX ? static_cast<int32_t>(stride) : 0;
}

namespace {

// Wraps c into 0 .. size-1 as if the picture tiled the plane (size > 0).
int64_t Wrap(int32_t c, int32_t size) {
    int32_t r = c % size;
    if (r < 0) r += size;
    return r;
}

}  // namespace

// An image without pixels, or of zero width or height, has no pixel to name:
// it answers index 255 and black, as an image of an unknown depth does.
uint8_t BitmapImage::PixelIndexAt(int x, int y) const {
    const int32_t stride = Stride();
    if (!pixels || header.width <= 0 || header.height <= 0 || stride <= 0) return 255;
    const int64_t col = Wrap(x, header.width);
    const uint8_t* row = pixels.get() + Wrap(y, header.height) * stride;
    switch (header.bitCount) {
        case 8: return row[col];
        case 4: return (col & 1) ? (row[col / 2] & 0x0F) : (row[col / 2] >> 4);
        default: return 255;
    }
}

PaletteEntry BitmapImage::PixelColorAt(int x, int y) const {
    const int32_t stride = Stride();
    if (!pixels || header.width <= 0 || header.height <= 0 || stride <= 0) return PaletteEntry{};
    switch (header.bitCount) {
        case 4:
        case 8: return palette[PixelIndexAt(x, y)];
        case 24:
        case 32: {
            const uint8_t* p = pixels.get() + Wrap(y, header.height) * stride + 3 * Wrap(x, header.width);
            PaletteEntry c;
            c.blue = p[0];
            c.green = p[1];
            c.red = p[2];
            return c;
        }
        default: return PaletteEntry{};
    }
}
