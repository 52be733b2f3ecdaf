// Pixel access shared by every image format: rows bottom-up, padded to 4 bytes,
// coordinates wrapping around the edges as if the picture tiled the plane.
#include "skin/bitmap_image.h"

#include <cstddef>

namespace {

// The same as adding size while v is negative and then taking v modulo size,
// without looping for far-away coordinates.
int32_t WrapCoordinate(int v, int32_t size) {
    int32_t r = v % size;
    return r < 0 ? r + size : r;
}

bool HasPixels(const BitmapImage& image) {
    return image.pixels && image.Width() > 0 && image.Height() > 0;
}

const uint8_t* RowAt(const BitmapImage& image, int32_t y) {
    return image.pixels.get() + static_cast<size_t>(y) * static_cast<size_t>(image.Stride());
}

}  // namespace

int32_t BitmapImage::Stride() const {
    const int64_t w = header.width;
    switch (header.bitCount) {
    case 4:
        return static_cast<int32_t>(((w + 7) / 2) & ~int64_t{3});
    case 8:
        return static_cast<int32_t>((w + 3) & ~int64_t{3});
    case 24:
    case 32:
        return static_cast<int32_t>((3 * w + 3) & ~int64_t{3});
    default:
        return 0;
    }
}

// An image without pixels (zero width or height, nothing read) answers 255.
uint8_t BitmapImage::PixelIndexAt(int x, int y) const {
    const int bits = BitsPerPixel();
    if ((bits != 4 && bits != 8) || !HasPixels(*this)) return 255;
    const int32_t column = WrapCoordinate(x, Width());
    const uint8_t* row = RowAt(*this, WrapCoordinate(y, Height()));
    if (bits == 8) return row[column];
    const uint8_t pair = row[column / 2];
    return (column % 2 == 0) ? static_cast<uint8_t>(pair >> 4) : static_cast<uint8_t>(pair & 15);
}

// An image without pixels answers black.
PaletteEntry BitmapImage::PixelColorAt(int x, int y) const {
    const int bits = BitsPerPixel();
    if (bits == 4 || bits == 8) {
        if (!HasPixels(*this)) return PaletteEntry{};
        return palette[PixelIndexAt(x, y)];
    }
    if ((bits != 24 && bits != 32) || !HasPixels(*this)) return PaletteEntry{};
    const uint8_t* pixel = RowAt(*this, WrapCoordinate(y, Height())) + 3 * static_cast<size_t>(WrapCoordinate(x, Width()));
    PaletteEntry colour;
    colour.blue = pixel[0];
    colour.green = pixel[1];
    colour.red = pixel[2];
    return colour;
}
