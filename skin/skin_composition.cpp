// Skin composition: the used region of every placed texture is copied one to
// one into the 24-bit skin page.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>
#include <new>

#include "core/model_exporter.h"
#include "core/quake_export_utility.h"

namespace {

enum class BlitKind { Index8, Index4, Rgb24, Bgr24 };

// The first bit present, in this order, decides the destination format.
const struct {
    int32_t bit;
    BlitKind kind;
} kBlitFormats[] = {
    {BLIT_INDEX8, BlitKind::Index8},
    {BLIT_INDEX4, BlitKind::Index4},
    {BLIT_RGB24, BlitKind::Rgb24},
    {BLIT_BGR24, BlitKind::Bgr24},
};

// Bounds checks for one write of count bytes at offset.
struct Destination {
    uint8_t* bytes;
    size_t size;
    bool Holds(int64_t offset, int64_t count) const {
        return offset >= 0 && offset + count <= static_cast<int64_t>(size);
    }
};

// trunc toward zero; products beyond the int range (absurd texture
// coordinates) are held at its ends instead of overflowing.
int32_t TruncToInt(float value) {
    if (std::isnan(value)) return 0;
    if (value >= 2147483648.0f) return std::numeric_limits<int32_t>::max();
    if (value <= -2147483648.0f) return std::numeric_limits<int32_t>::min();
    return static_cast<int32_t>(value);
}

}  // namespace

int ModelExporter::BlitRegion(const BitmapImage& image, uint8_t* destination, size_t destinationSize,
                              int32_t stride, int32_t dstX, int32_t dstY, int32_t format,
                              int32_t x0, int32_t x1, int32_t y0, int32_t y1) {
    if ((x0 & x1 & y0 & y1) == BLIT_WHOLE_IMAGE) {
        x0 = 0;
        x1 = image.Width();
        y0 = 0;
        y1 = image.Height();
    }

    const BlitKind* kind = nullptr;
    for (const auto& entry : kBlitFormats) {
        if (format & entry.bit) {
            kind = &entry.kind;
            break;
        }
    }
    if (!kind) {
        char text[kErrorTextSize];
        std::snprintf(text, sizeof text, "%.200s is not a known type of bitmap", image.Name());
        LatchError(text, "Filetype error");
        return 0;
    }

    const Destination out{destination, destination ? destinationSize : 0};
    // 64-bit arithmetic: the region and the offsets may be anywhere in int range.
    for (int64_t y = y0; y < y1; ++y) {
        const int64_t rowStart = int64_t{stride} * (int64_t{dstY} + y - y0);
        const int sy = static_cast<int>(y);
        if (*kind == BlitKind::Index4) {
            for (int64_t x = x0; x < x1; x += 2) {
                // x div 2 - x0 div 2, with div rounding toward zero as C does.
                const int64_t offset = rowStart + dstX + x / 2 - x0 / 2;
                if (!out.Holds(offset, 1)) continue;
                const int sx = static_cast<int>(x);
                // The pixel after an odd region's last one fills its high nibble.
                out.bytes[offset] = static_cast<uint8_t>((image.PixelIndexAt(sx, sy) & 15) |
                                                         ((image.PixelIndexAt(sx + 1, sy) & 15) << 4));
            }
            continue;
        }
        for (int64_t x = x0; x < x1; ++x) {
            const int sx = static_cast<int>(x);
            if (*kind == BlitKind::Index8) {
                const int64_t offset = rowStart + dstX + (x - x0);
                if (out.Holds(offset, 1)) out.bytes[offset] = image.PixelIndexAt(sx, sy);
                continue;
            }
            const int64_t offset = rowStart + 3 * (int64_t{dstX} + x - x0);
            if (!out.Holds(offset, 3)) continue;
            const PaletteEntry colour = image.PixelColorAt(sx, sy);
            const bool bgr = *kind == BlitKind::Bgr24;
            out.bytes[offset] = bgr ? colour.blue : colour.red;
            out.bytes[offset + 1] = colour.green;
            out.bytes[offset + 2] = bgr ? colour.red : colour.blue;
        }
    }
    return 1;
}

int QuakeExportUtility::ComposeSkin() {
    delete[] skinBuffer;
    skinBuffer = nullptr;
    // A page no stride can describe cannot have a buffer either.
    if (skinWidth < 0 || skinHeight < 0 || skinWidth > std::numeric_limits<int32_t>::max() / 3 - 1) return 0;
    const int32_t stride = SkinStride(skinWidth);
    const size_t size = static_cast<size_t>(skinHeight) * static_cast<size_t>(stride);
    skinBuffer = new (std::nothrow) uint8_t[size];
    if (!skinBuffer) return 0;
    // Pixels no texture covers are black.
    std::memset(skinBuffer, 0, size);

    for (int32_t i = 0; i < textureCount; ++i) {
        const TextureRecord& record = textures[i];
        if (!record.IsPlaced()) continue;
        const BitmapImage& image = record.image;
        const float w = static_cast<float>(image.Width());
        const float h = static_cast<float>(image.Height());
        int64_t x0 = TruncToInt(w * record.uMin);
        int64_t x1 = TruncToInt(w * record.uMax);
        int64_t y0 = TruncToInt(h * record.vMin);
        int64_t y1 = TruncToInt(h * record.vMax);
        // The region is clipped to the record's placed rectangle, and that to
        // the page: the extra column or row that separate truncation of the
        // bounds can give would overlap a neighbour or fall past the page.
        int64_t dstX = record.placeX;
        int64_t dstY = record.placeY;
        x1 = std::min(x1, x0 + std::max<int64_t>(record.placeWidth, 0));
        y1 = std::min(y1, y0 + std::max<int64_t>(record.placeHeight, 0));
        if (dstX < 0) {
            x0 -= dstX;
            dstX = 0;
        }
        if (dstY < 0) {
            y0 -= dstY;
            dstY = 0;
        }
        x1 = std::min(x1, x0 + (skinWidth - dstX));
        y1 = std::min(y1, y0 + (skinHeight - dstY));
        if (x1 <= x0 || y1 <= y0) continue;
        if (x0 < std::numeric_limits<int32_t>::min() || x1 > std::numeric_limits<int32_t>::max() ||
            y0 < std::numeric_limits<int32_t>::min() || y1 > std::numeric_limits<int32_t>::max()) {
            continue;
        }
        engine.BlitRegion(image, skinBuffer, size, stride, static_cast<int32_t>(dstX),
                          static_cast<int32_t>(dstY), BLIT_BGR24, static_cast<int32_t>(x0),
                          static_cast<int32_t>(x1), static_cast<int32_t>(y0), static_cast<int32_t>(y1));
    }
    return 1;
}
