// Skin composition: regions of textures copied one to one onto the skin page.
#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <functional>
#include <memory>
#include <tuple>
#include <vector>

#include "core/quake_export_utility.h"

namespace {

using Bytes = std::vector<uint8_t>;
using Bgr = std::array<uint8_t, 3>;
constexpr Bgr kBlack = {0, 0, 0};

// An image named brick.tga whose pixel (x, y) is value(x, y): an index for 4
// and 8 bits, 0xRRGGBB for 24.
BitmapImage MakeImage(int32_t width, int32_t height, uint16_t bits, const std::function<uint32_t(int, int)>& value) {
    BitmapImage image;
    std::strcpy(image.baseName, "brick.tga");
    image.header.width = width;
    image.header.height = height;
    image.header.bitCount = bits;
    const size_t stride = static_cast<size_t>(image.Stride());
    image.pixels.reset(new uint8_t[stride * static_cast<size_t>(height)]());
    for (int y = 0; y < height; ++y) {
        uint8_t* row = image.pixels.get() + size_t(y) * stride;
        for (int x = 0; x < width; ++x) {
            const uint32_t v = value(x, y);
            if (bits == 4) row[x / 2] |= static_cast<uint8_t>(x % 2 ? v & 15 : v << 4);
            if (bits == 8) row[x] = static_cast<uint8_t>(v);
            for (int k = 0; bits == 24 && k < 3; ++k) row[3 * x + k] = static_cast<uint8_t>(v >> (8 * k));
        }
    }
    return image;
}

// Blue x, green y, red 200.
BitmapImage PatternImage(int32_t width, int32_t height) {
    return MakeImage(width, height, 24, [](int x, int y) { return 200u << 16 | uint32_t(y) << 8 | uint32_t(x); });
}

void Place(TextureRecord& record, BitmapImage image, float uMin, float uMax, float vMin, float vMax, int32_t x,
           int32_t y, int32_t width, int32_t height) {
    record.image = std::move(image);
    std::tie(record.uMin, record.uMax, record.vMin, record.vMax) = std::make_tuple(uMin, uMax, vMin, vMax);
    std::tie(record.placeX, record.placeY) = std::make_tuple(x, y);
    std::tie(record.placeWidth, record.placeHeight) = std::make_tuple(width, height);
    record.pageFlags() = PAGE_PLACED;
}

Bgr SkinPixel(const QuakeExportUtility& utility, int x, int y) {
    const uint8_t* p = utility.skinBuffer + y * QuakeExportUtility::SkinStride(utility.skinWidth) + 3 * x;
    return {p[0], p[1], p[2]};
}

TEST(ComposeSkin, CopiesEachPlacedRegionOneToOneAndLeavesTheRestBlack) {
    QuakeExportUtility utility;
    utility.textures = new TextureRecord[3];
    utility.textureCount = 2;  // the third record is not the export's
    // u 0.25..0.75, v 0..0.5 of a 64 x 64 image: columns 16..47, rows 0..31.
    Place(utility.textures[0], PatternImage(64, 64), 0.25f, 0.75f, 0.0f, 0.5f, 4, 2, 32, 32);
    Place(utility.textures[1], PatternImage(64, 64), 0.0f, 1.0f, 0.0f, 1.0f, 0, 0, 64, 64);
    utility.textures[1].pageFlags() = 0;  // used by no face: never placed
    Place(utility.textures[2], PatternImage(64, 64), 0.0f, 1.0f, 0.0f, 1.0f, 0, 0, 64, 64);
    utility.skinWidth = 40;
    utility.skinHeight = 36;
    ASSERT_EQ(utility.ComposeSkin(), 1);
    for (int y = 0; y < utility.skinHeight; ++y) {
        for (int x = 0; x < utility.skinWidth; ++x) {
            const bool covered = x >= 4 && x < 36 && y >= 2 && y < 34;
            const Bgr expected = covered ? Bgr{uint8_t(x - 4 + 16), uint8_t(y - 2), 200} : kBlack;
            ASSERT_EQ(SkinPixel(utility, x, y), expected) << "skin pixel " << x << ", " << y;
        }
    }
}

TEST(ComposeSkin, RepeatsTexturesAcrossTheirEdges) {
    for (uint16_t bits : {4, 8, 24}) {
        // Column x is blue 10 + x, green 20, red 30: through the palette for index images.
        BitmapImage image = MakeImage(10, 1, bits, [bits](int x, int) {
            return bits == 24 ? uint32_t(30 << 16 | 20 << 8 | (10 + x)) : uint32_t(x);
        });
        for (uint8_t i = 0; i < 10; ++i) image.palette[i] = PaletteEntry{uint8_t(10 + i), 20, 30, 0};
        QuakeExportUtility utility;
        utility.textures = new TextureRecord[1];
        utility.textureCount = 1;
        // u -0.5..0.5 covers columns -5..4: the image's 5..9, then 0..4.
        Place(utility.textures[0], std::move(image), -0.5f, 0.5f, 0.0f, 1.0f, 0, 0, 10, 1);
        utility.skinWidth = 10;
        utility.skinHeight = 1;
        ASSERT_EQ(utility.ComposeSkin(), 1);
        for (int x = 0; x < 10; ++x) {
            EXPECT_EQ(SkinPixel(utility, x, 0), (Bgr{uint8_t(10 + (x + 5) % 10), 20, 30})) << bits << " bits, " << x;
        }
    }
}

// Truncating 10 x 0.18 and 10 x 0.52 separately gives a region of 4 where the
// placed rectangle, trunc(10 x 0.34), is 3: the extra column and row must not
// reach the red neighbour at the left nor the row below. A green record placed
// past the page's right edge must not wrap into the next row.
TEST(ComposeSkin, KeepsEveryRegionInsideItsPlacedRectangleAndThePage) {
    QuakeExportUtility utility;
    utility.textures = new TextureRecord[3];
    utility.textureCount = 3;
    Place(utility.textures[0], PatternImage(10, 10), 0.18f, 0.52f, 0.18f, 0.52f, 1, 0, 3, 3);
    Place(utility.textures[1], MakeImage(10, 10, 24, [](int, int) { return 0xFF0000u; }), 0.18f, 0.52f, 0.0f, 0.3f,
          0, 0, 1, 3);
    Place(utility.textures[2], MakeImage(2, 1, 24, [](int, int) { return 0x00FF00u; }), 0, 1, 0, 1, 3, 3, 2, 1);
    utility.skinWidth = 4;
    utility.skinHeight = 5;
    ASSERT_EQ(utility.ComposeSkin(), 1);
    for (int y = 0; y < 5; ++y) {
        for (int x = 0; x < 4; ++x) {
            Bgr want = kBlack;
            if (y < 3) want = x == 0 ? Bgr{0, 0, 255} : Bgr{uint8_t(x), uint8_t(y + 1), 200};
            if (x == 3 && y == 3) want = Bgr{0, 255, 0};
            EXPECT_EQ(SkinPixel(utility, x, y), want) << x << ", " << y;
        }
    }
}

// A 3 x 1 four-bit image with indices 1, 2, 3; entry i is blue i, green 10 + i, red 20 + i.
BitmapImage IndexedImage() {
    BitmapImage image = MakeImage(3, 1, 4, [](int x, int) { return uint32_t(x + 1); });
    for (uint8_t i = 0; i < 16; ++i) image.palette[i] = PaletteEntry{i, uint8_t(10 + i), uint8_t(20 + i), 0};
    return image;
}

TEST(BlitRegion, UnknownFormatsFailNamingTheImage) {
    for (int32_t format : {0, 16}) {
        ModelExporter engine;
        Bytes buffer(16, 0xEE);
        EXPECT_EQ(engine.BlitRegion(IndexedImage(), buffer.data(), buffer.size(), 8, 0, 0, format, 0, 2, 0, 1), 0);
        EXPECT_STREQ(engine.errorText, "brick.tga is not a known type of bitmap");
        EXPECT_STREQ(engine.errorCaption, "Filetype error");
        EXPECT_EQ(buffer, Bytes(16, 0xEE));
    }
}

// The buffer is exactly its size on the heap, so the sanitizer build sees any
// write past its right or bottom edge.
TEST(BlitRegion, SkipsWritesOutsideTheBuffer) {
    const BitmapImage image = IndexedImage();
    for (int32_t format : {BLIT_INDEX8, BLIT_INDEX4, BLIT_RGB24, BLIT_BGR24}) {
        ModelExporter engine;
        const size_t size = 2 * 6;  // two rows of two 24-bit pixels
        std::unique_ptr<uint8_t[]> buffer(new uint8_t[size]());
        EXPECT_EQ(engine.BlitRegion(image, buffer.get(), size, 6, 1, 1, format, -4, 3, 0, 3), 1) << format;
        EXPECT_EQ(engine.BlitRegion(image, buffer.get(), size, 6, -9, -1, format, 0, 3, 0, 1), 1) << format;
    }
}

// Bounds that AND to 0xFFFF mean the whole image.
TEST(BlitRegion, TheFirstFormatBitPresentDecides) {
    const Bytes index8 = {1, 2, 3};
    const Bytes index4 = {0x21, 0x13};  // left pixel low; the odd region's last high nibble wraps to column 0
    const Bytes rgb = {21, 11, 1, 22, 12, 2, 23, 13, 3};
    const Bytes bgr = {1, 11, 21, 2, 12, 22, 3, 13, 23};
    const struct {
        int32_t format;
        const Bytes& expected;
    } cases[] = {{BLIT_INDEX8, index8}, {BLIT_INDEX4, index4}, {BLIT_RGB24, rgb}, {BLIT_BGR24, bgr},
                 {0xF, index8},         {0xE, index4},         {0xC, rgb},        {0xF8, bgr}};
    const int32_t regions[][4] = {{0, 3, 0, 1}, {0xFFFF, 0xFFFF, 0xFFFF, 0xFFFF}, {0xFFFF, 0x1FFFF, 0xFFFF, 0xFFFF}};
    const BitmapImage image = IndexedImage();
    for (const auto& c : cases) {
        for (const auto& r : regions) {
            ModelExporter engine;
            Bytes buffer(32, 0xEE);  // two rows of 16
            ASSERT_EQ(engine.BlitRegion(image, buffer.data(), buffer.size(), 16, 0, 0, c.format, r[0], r[1], r[2],
                                        r[3]),
                      1);
            Bytes after = c.expected;
            after.resize(32, 0xEE);
            EXPECT_EQ(buffer, after) << "format " << c.format << ", x1 " << r[1];
        }
    }
}

}  // namespace
