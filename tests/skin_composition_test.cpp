// Skin composition: regions of textures copied one to one onto the skin page.
#include <gtest/gtest.h>

#include <array>
#include <climits>
#include <cstring>
#include <vector>

#include "export/quake_export_utility.h"

namespace {

using Bytes = std::vector<uint8_t>;

BitmapImage MakeImage(int32_t width, int32_t height, uint16_t bits, const char* name = "wall.bmp") {
    BitmapImage image;
    std::strcpy(image.baseName, name);
    image.header.width = width;
    image.header.height = height;
    image.header.bitCount = bits;
    const size_t size = static_cast<size_t>(image.Stride()) * static_cast<size_t>(height);
    image.pixels.reset(new uint8_t[size]());
    return image;
}

void SetColor(BitmapImage& image, int x, int y, uint8_t blue, uint8_t green, uint8_t red) {
    uint8_t* p = image.pixels.get() + y * image.Stride() + 3 * x;
    p[0] = blue;
    p[1] = green;
    p[2] = red;
}

void SetIndex(BitmapImage& image, int x, int y, uint8_t index) {
    uint8_t* row = image.pixels.get() + y * image.Stride();
    if (image.BitsPerPixel() == 8) {
        row[x] = index;
    } else if (x % 2 == 0) {
        row[x / 2] = static_cast<uint8_t>((row[x / 2] & 0x0F) | (index << 4));
    } else {
        row[x / 2] = static_cast<uint8_t>((row[x / 2] & 0xF0) | (index & 15));
    }
}

// 24-bit image whose pixel (x, y) is blue x, green y, red 200.
BitmapImage PatternImage(int32_t width, int32_t height) {
    BitmapImage image = MakeImage(width, height, 24);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) SetColor(image, x, y, static_cast<uint8_t>(x), static_cast<uint8_t>(y), 200);
    return image;
}

void Place(TextureRecord& record, BitmapImage image, float uMin, float uMax, float vMin, float vMax,
           int32_t x, int32_t y, int32_t width, int32_t height) {
    record.image = std::move(image);
    record.uMin = uMin;
    record.uMax = uMax;
    record.vMin = vMin;
    record.vMax = vMax;
    record.placeX = x;
    record.placeY = y;
    record.placeWidth = width;
    record.placeHeight = height;
    record.pageFlags() = PAGE_PLACED;
}

std::array<uint8_t, 3> SkinPixel(const QuakeExportUtility& utility, int x, int y) {
    const uint8_t* p = utility.skinBuffer + y * QuakeExportUtility::SkinStride(utility.skinWidth) + 3 * x;
    return {p[0], p[1], p[2]};
}

using Bgr = std::array<uint8_t, 3>;
constexpr Bgr kBlack = {0, 0, 0};

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

TEST(ComposeSkin, RepeatsPaletteTexturesAcrossTheirEdgesThroughThePalette) {
    for (uint16_t bits : {4, 8}) {
        QuakeExportUtility utility;
        BitmapImage image = MakeImage(10, 1, bits);
        for (int x = 0; x < 10; ++x) {
            SetIndex(image, x, 0, static_cast<uint8_t>(x));
            image.palette[x] = PaletteEntry{static_cast<uint8_t>(10 + x), 20, 30, 0};
        }
        utility.textures = new TextureRecord[1];
        utility.textureCount = 1;
        // u -0.5..0.5 covers columns -5..4: the image's 5..9, then 0..4.
        Place(utility.textures[0], std::move(image), -0.5f, 0.5f, 0.0f, 1.0f, 0, 0, 10, 1);
        utility.skinWidth = 12;
        utility.skinHeight = 1;
        ASSERT_EQ(utility.ComposeSkin(), 1);
        for (int x = 0; x < 10; ++x) {
            EXPECT_EQ(SkinPixel(utility, x, 0), (Bgr{uint8_t(10 + (x + 5) % 10), 20, 30}))
                << bits << "-bit, skin column " << x;
        }
        EXPECT_EQ(SkinPixel(utility, 5, 0), (Bgr{10, 20, 30}));  // palette entry 0, as stored
        EXPECT_EQ(SkinPixel(utility, 10, 0), kBlack);
        EXPECT_EQ(SkinPixel(utility, 11, 0), kBlack);
    }
}

// Truncating 10 x 0.18 and 10 x 0.52 separately gives a region of 4 where the
// placed rectangle, trunc(10 x 0.34), is 3: the extra column and row must not
// reach the neighbour at the left nor fall past the page's right and bottom.
TEST(ComposeSkin, KeepsEveryRegionInsideItsPlacedRectangle) {
    QuakeExportUtility utility;
    utility.textures = new TextureRecord[2];
    utility.textureCount = 2;
    Place(utility.textures[0], PatternImage(10, 10), 0.18f, 0.52f, 0.18f, 0.52f, 1, 0, 3, 3);
    BitmapImage red = MakeImage(10, 10, 24);
    for (int y = 0; y < 10; ++y)
        for (int x = 0; x < 10; ++x) SetColor(red, x, y, 0, 0, 255);
    Place(utility.textures[1], std::move(red), 0.18f, 0.52f, 0.0f, 0.3f, 0, 0, 1, 3);
    utility.skinWidth = 4;
    utility.skinHeight = 3;
    ASSERT_EQ(utility.ComposeSkin(), 1);
    for (int y = 0; y < 3; ++y) {
        EXPECT_EQ(SkinPixel(utility, 0, y), (Bgr{0, 0, 255})) << "row " << y;
        for (int x = 1; x < 4; ++x) {
            EXPECT_EQ(SkinPixel(utility, x, y), (Bgr{uint8_t(x), uint8_t(y + 1), 200})) << x << ", " << y;
        }
    }
}

// A 3 x 1 four-bit image with indices 1, 2, 3; entry i is blue i, green 10 + i, red 20 + i.
BitmapImage IndexedImage() {
    BitmapImage image = MakeImage(3, 1, 4);
    for (uint8_t i = 0; i < 16; ++i) image.palette[i] = PaletteEntry{i, uint8_t(10 + i), uint8_t(20 + i), 0};
    for (int x = 0; x < 3; ++x) SetIndex(image, x, 0, static_cast<uint8_t>(x + 1));
    return image;
}

TEST(BlitRegion, TheFirstFormatBitPresentDecides) {
    const Bytes index8 = {1, 2, 3};
    const Bytes index4 = {0x21, 0x13};  // left pixel low; the odd region's last high nibble wraps to column 0
    const Bytes rgb = {21, 11, 1, 22, 12, 2, 23, 13, 3};
    const Bytes bgr = {1, 11, 21, 2, 12, 22, 3, 13, 23};
    const struct {
        int32_t format;
        const Bytes& expected;
    } cases[] = {{BLIT_INDEX8, index8}, {BLIT_INDEX4, index4}, {BLIT_RGB24, rgb},  {BLIT_BGR24, bgr},
                 {9, index8},           {6, index4},           {12, rgb},          {0xF8, bgr}};
    const BitmapImage image = IndexedImage();
    for (const auto& c : cases) {
        ModelExporter engine;
        Bytes buffer(16, 0xEE);
        ASSERT_EQ(engine.BlitRegion(image, buffer.data(), buffer.size(), 16, 0, 0, c.format, 0, 3, 0, 1), 1);
        EXPECT_EQ(Bytes(buffer.begin(), buffer.begin() + c.expected.size()), c.expected) << "format " << c.format;
        EXPECT_EQ(buffer[c.expected.size()], 0xEE) << "format " << c.format;
        EXPECT_EQ(engine.errorSet, 0);
    }
}

TEST(BlitRegion, UnknownFormatsFailNamingTheImage) {
    for (int32_t format : {0, 16}) {
        ModelExporter engine;
        const BitmapImage image = MakeImage(2, 2, 24, "brick.tga");
        Bytes buffer(16, 0xEE);
        EXPECT_EQ(engine.BlitRegion(image, buffer.data(), buffer.size(), 8, 0, 0, format, 0, 2, 0, 2), 0);
        EXPECT_STREQ(engine.errorText, "brick.tga is not a known type of bitmap");
        EXPECT_STREQ(engine.errorCaption, "Filetype error");
        EXPECT_EQ(buffer, Bytes(16, 0xEE));
    }
}

TEST(BlitRegion, BoundsThatAndTo0xFFFFMeanTheWholeImage) {
    for (int32_t x1 : {0xFFFF, 0x1FFFF}) {
        ModelExporter engine;
        const BitmapImage image = PatternImage(3, 2);
        Bytes buffer(4 * 12, 0);  // 4 x 4 pixels, stride 12
        ASSERT_EQ(engine.BlitRegion(image, buffer.data(), buffer.size(), 12, 1, 1, BLIT_BGR24, 0xFFFF, x1, 0xFFFF, 0xFFFF), 1);
        for (int y = 0; y < 4; ++y) {
            for (int x = 0; x < 4; ++x) {
                const bool inside = x >= 1 && y >= 1 && y < 3;
                const Bytes expected = inside ? Bytes{uint8_t(x - 1), uint8_t(y - 1), 200} : Bytes{0, 0, 0};
                EXPECT_EQ(Bytes(buffer.begin() + y * 12 + 3 * x, buffer.begin() + y * 12 + 3 * x + 3), expected)
                    << x << ", " << y;
            }
        }
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

TEST(PixelAccess, WrapsCoordinatesAndAnswersSafelyWithoutPixels) {
    BitmapImage image = MakeImage(10, 2, 8);
    for (int x = 0; x < 10; ++x) SetIndex(image, x, 1, static_cast<uint8_t>(x + 1));
    EXPECT_EQ(image.PixelIndexAt(-1, 1), 10);
    EXPECT_EQ(image.PixelIndexAt(10, 1), 1);
    EXPECT_EQ(image.PixelIndexAt(3, -1), 4);
    EXPECT_EQ(image.PixelIndexAt(INT_MIN, INT_MIN), image.PixelIndexAt(2, 0));

    const struct {
        int32_t width;
        uint16_t bits;
        int32_t stride;
    } strides[] = {{5, 4, 4}, {9, 4, 8}, {5, 8, 8}, {3, 24, 12}, {3, 32, 12}, {4, 24, 12}};
    for (const auto& s : strides) EXPECT_EQ(MakeImage(s.width, 1, s.bits).Stride(), s.stride) << s.width << " x " << s.bits;

    EXPECT_EQ(PatternImage(2, 2).PixelIndexAt(0, 0), 255);
    for (uint16_t bits : {4, 8, 24}) {
        BitmapImage empty;
        empty.header.bitCount = bits;
        empty.palette[255] = PaletteEntry{1, 2, 3, 0};
        EXPECT_EQ(empty.PixelIndexAt(3, 4), 255) << bits;
        const PaletteEntry c = empty.PixelColorAt(3, 4);
        EXPECT_EQ(c.blue + c.green + c.red, 0) << bits;
    }
}

}  // namespace
