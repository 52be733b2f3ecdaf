// Bitmap files as the materials name them: the first byte picks the reader
// (by the extension the file is given) and the destination format of the
// composition; the rest is the file. Every image that reads is then walked
// pixel by pixel, with coordinates one beyond each edge to exercise the
// wrap-around, and copied into a heap buffer of exactly the size its region
// needs, so that AddressSanitizer sees any write past it.
//
// Images of more than kMaxPixels pixels (counting a border of one pixel) are
// read but not walked or copied: the walk would only make the run slow, and
// the readers have already refused any size the file cannot hold.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>

#include "core/model_exporter.h"
#include "fuzz/harness/fuzz_support.h"
#include "core/bitmap_image.h"

namespace {

constexpr int64_t kMaxPixels = int64_t{1} << 16;

const char* const kExtensions[] = {".bmp", ".tga", ".tim", ".BMP", ".TGA", ".TIM"};
const int32_t kFormats[] = {BLIT_BGR24, BLIT_RGB24, BLIT_INDEX8, BLIT_INDEX4};

volatile uint32_t g_sink;

// Bytes per destination row of a region w pixels wide in a format.
int64_t DestinationStride(int32_t format, int64_t w) {
    switch (format) {
        case BLIT_INDEX8: return w;
        case BLIT_INDEX4: return (w + 1) / 2;
        default: return 3 * w;
    }
}

// checked: the image read, so its pixels must agree with its palette and depth.
void WalkPixels(const BitmapImage& image, bool checked) {
    const int32_t w = image.Width();
    const int32_t h = image.Height();
    const uint16_t bits = image.BitsPerPixel();
    uint32_t sum = 0;
    for (int32_t y = -1; y <= h; ++y) {
        for (int32_t x = -1; x <= w; ++x) {
            const uint8_t index = image.PixelIndexAt(x, y);
            const PaletteEntry colour = image.PixelColorAt(x, y);
            sum += index + colour.blue + colour.green + colour.red;
            if (!checked) continue;
            if (bits == 4 || bits == 8) {
                const PaletteEntry& expected = image.palette[index];
                vorn_fuzz::Require(std::memcmp(&colour, &expected, 3) == 0, "a palette pixel's colour is not its entry's");
                vorn_fuzz::Require(bits == 8 || index < 16, "a 4-bit pixel has an index above 15");
            } else {
                vorn_fuzz::Require(index == 255, "a true-colour pixel has a palette index");
            }
        }
    }
    g_sink = sum;
}

// The whole image, shifted by (dx, dy) so that the region wraps, into a buffer
// that holds exactly the region; a 24-bit copy must match PixelColorAt.
void Compose(const BitmapImage& image, int32_t format, int32_t dx, int32_t dy) {
    const int64_t w = image.Width();
    const int64_t h = image.Height();
    const int64_t stride = DestinationStride(format, w);
    const size_t size = static_cast<size_t>(stride * h);
    std::unique_ptr<uint8_t[]> buffer(new uint8_t[size ? size : 1]);
    ModelExporter engine;
    const int ok = engine.BlitRegion(image, buffer.get(), size, static_cast<int32_t>(stride), 0, 0, format, dx,
                                     static_cast<int32_t>(dx + w), dy, static_cast<int32_t>(dy + h));
    vorn_fuzz::Require(ok == 1, "BlitRegion refused a known format");
    if (format != BLIT_BGR24) return;
    for (int64_t y = 0; y < h; ++y) {
        for (int64_t x = 0; x < w; ++x) {
            const PaletteEntry c = image.PixelColorAt(static_cast<int>(dx + x), static_cast<int>(dy + y));
            const uint8_t* p = buffer.get() + y * stride + 3 * x;
            vorn_fuzz::Require(p[0] == c.blue && p[1] == c.green && p[2] == c.red,
                               "the composed pixel differs from the image's");
        }
    }
}

}  // namespace

std::string vorn_fuzz::CheckImageInput(const uint8_t* data, size_t size) {
    return Answer([&] {
        if (size < 3) return;
        const uint8_t choice = data[0];
        const char* extension = kExtensions[(choice & 7) % 6];
        const int32_t format = kFormats[(choice >> 3) & 3];
        // Shifts of -4 .. 3 pixels: enough to wrap around every edge.
        const int32_t dx = static_cast<int32_t>(data[1] & 7) - 4;
        const int32_t dy = static_cast<int32_t>(data[2] & 7) - 4;

        const std::string path = vorn_fuzz::ScratchFile(std::string("image") + extension);
        vorn_fuzz::WriteBytes(path, data + 3, size - 3);

        BitmapImage image;
        const int read = image.ReadImageFile(path.c_str());
        if (read) {
            const uint16_t bits = image.BitsPerPixel();
            vorn_fuzz::Require(bits == 4 || bits == 8 || bits == 24 || bits == 32, "an image read with an unknown depth");
            vorn_fuzz::Require(image.Width() >= 0 && image.Height() >= 0, "an image read with a negative size");
            vorn_fuzz::Require(image.pixels != nullptr, "an image read without pixels");
            vorn_fuzz::Require((bits == 32) == (image.alpha != nullptr), "alpha kept for an image that is not 32-bit TGA");
        }
        // A failed read may leave a header and a buffer behind: access must still be safe.
        // The walk takes one pixel more on every side, so an empty image of a
        // vast width counts too.
        const int64_t area = int64_t{image.Width()} * image.Height();
        const int64_t walked = (int64_t{image.Width()} + 2) * (int64_t{image.Height()} + 2);
        if (image.Width() >= 0 && image.Height() >= 0 && walked <= kMaxPixels) {
            // An empty image has no pixel to check: its access answers 255 and black.
            WalkPixels(image, read != 0 && area > 0);
            if (read) Compose(image, format, dx, dy);
        }
        return;
    });
}
