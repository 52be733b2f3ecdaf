// The BMP, TGA and TIM readers: pixels against an independent decoder, the
// choice of reader by the path, refusals of damaged and truncated files.
#include <gtest/gtest.h>

#include <array>
#include <climits>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "core/bitmap_image.h"
#include "standin/host/host_files.h"
#include "support/drive_mapping.h"
#include "support/image_files.h"

// stb_image is the oracle (its implementation is built once, in support/).
#include <stb/stb_image.h>

namespace {

using namespace vorn_test;
using Colour = std::array<int, 3>;  // blue, green, red

Colour BgrOf(const PaletteEntry& c) { return {c.blue, c.green, c.red}; }

// Every pixel of image equals stb_image's decoding of reference, in its order:
// top row first, red, green, blue, alpha (opaque without an alpha channel).
void ExpectSamePixels(const BitmapImage& image, const Bytes& reference, const std::string& what) {
    int w = 0, h = 0, channels = 0;
    stbi_uc* rgba = stbi_load_from_memory(reference.data(), static_cast<int>(reference.size()), &w, &h, &channels, 4);
    ASSERT_NE(rgba, nullptr) << what << ": " << stbi_failure_reason();
    const Bytes expected(rgba, rgba + 4 * w * h);
    stbi_image_free(rgba);
    ASSERT_EQ(image.Width(), w) << what;
    ASSERT_EQ(image.Height(), h) << what;
    Bytes got;
    for (int y = h - 1; y >= 0; --y) {
        for (int x = 0; x < w; ++x) {
            const PaletteEntry c = image.PixelColorAt(x, y);
            const uint8_t alpha = image.alpha ? image.alpha[size_t(y * w + x)] : 255;
            got.insert(got.end(), {c.red, c.green, c.blue, alpha});
        }
    }
    EXPECT_EQ(got, expected) << what;
}

// Rows padded to four bytes in memory; the BMP files are padded too, the TGA
// files are not. A BMP without a colour count has the default palette of its depth.
TEST(ImageReaders, EveryDepthDecodesLikeAnIndependentDecoder) {
    const std::string dir = ScratchDir();
    const struct {
        const char* file;
        uint16_t bitCount;
        int32_t stride;
        bool zeroColourCount;
    } fixtures[] = {{"bmp4.bmp", 4, 4, false}, {"bmp8.bmp", 8, 8, false},   {"bmp24.bmp", 24, 16, false},
                    {"tga8.tga", 8, 8, false}, {"tga24.tga", 24, 16, false}, {"tga32.tga", 32, 16, false},
                    {"bmp4.bmp", 4, 4, true},  {"bmp8.bmp", 8, 8, true}};
    for (const auto& f : fixtures) {
        const std::string what = std::string(f.file) + (f.zeroColourCount ? " without colour count" : "");
        Bytes bytes = Slurp(ImageFixture(f.file));
        if (f.zeroColourCount) std::memset(&bytes[46], 0, 4);
        BitmapImage image;
        ASSERT_EQ(image.ReadImageFile(WriteFile(dir + "/" + f.file, bytes).c_str()), 1) << what;
        EXPECT_EQ(image.BitsPerPixel(), f.bitCount) << what;
        EXPECT_EQ(image.Stride(), f.stride) << what;
        if (f.bitCount >= 24) { EXPECT_EQ(image.PixelIndexAt(0, 0), 255) << what; }
        ExpectSamePixels(image, Slurp(ImageFixture(f.file)), what);
    }
    EXPECT_EQ(BitmapImage::StrideFor(9, 4), 8);  // an odd number of nibble pairs
}

// Index images the fixtures lack: TIM files (top row first, the left pixel of a
// pair in the low nibble, 15-bit colours), files without a colour table (whose
// palette stays black), and colour tables of 300 entries, whose first 256 are
// kept and behind all of which the pixels are found.
TEST(ImageReaders, IndexImagesReadTheirRowsAndPalettes) {
    const std::string dir = ScratchDir();
    // The semi-transparency bit of 0xFFFF is dropped.
    const std::vector<uint16_t> clut = {0x0000, 0x7FFF, 0x001F, 0x03E0, 0x7C00, 0xFFFF};
    const Colour clutColours[] = {{0, 0, 0}, {248, 248, 248}, {0, 0, 248}, {0, 248, 0}, {248, 0, 0}, {248, 248, 248}};
    std::vector<uint16_t> longClut(300, 0x7FFF);
    longClut[255] = 0x001F;
    const std::function<Colour(int)> black = [](int) { return Colour{0, 0, 0}; };
    const struct {
        const char* name;
        Bytes file;
        uint16_t bits;
        std::vector<std::vector<int>> rows;  // top row first
        std::function<Colour(int)> colour;   // of an index
    } cases[] = {
        {"four.tim", TimFile(0, &clut, 1, 2, {0x10, 0x32, 0x54, 0x01}), 4, {{0, 1, 2, 3}, {4, 5, 1, 0}},
         [&](int i) { return clutColours[i]; }},
        {"eight.TIM", TimFile(1, nullptr, 2, 2, {0, 1, 2, 3, 4, 5, 6, 7}), 8, {{0, 1, 2, 3}, {4, 5, 6, 7}}, black},
        {"grey.tga", TgaFile(3, 2, 8, 0, 0, {10, 20, 30, 40, 50, 60}), 8, {{40, 50, 60}, {10, 20, 30}}, black},
        {"long.bmp", BmpFile(2, 1, 8, 300, 300, {255, 7, 0, 0}), 8, {{255, 7}},
         [](int i) { return Colour{i, (i + 1) & 255, (i + 2) & 255}; }},
        {"long.tga", TgaFile(2, 1, 8, 300, 24, {255, 7}), 8, {{255, 7}},
         [](int i) { return Colour{i, 2 * i & 255, 3 * i & 255}; }},
        {"long.tim", TimFile(1, &longClut, 1, 1, {255, 7}), 8, {{255, 7}},
         [](int i) { return i == 255 ? Colour{0, 0, 248} : Colour{248, 248, 248}; }},
    };
    for (const auto& c : cases) {
        BitmapImage image;
        ASSERT_EQ(image.ReadImageFile(WriteFile(dir + "/" + c.name, c.file).c_str()), 1) << c.name;
        EXPECT_EQ(image.BitsPerPixel(), c.bits) << c.name;
        ASSERT_EQ(image.Height(), int32_t(c.rows.size())) << c.name;
        ASSERT_EQ(image.Width(), int32_t(c.rows[0].size())) << c.name;
        for (int y = 0; y < image.Height(); ++y) {
            for (int x = 0; x < image.Width(); ++x) {
                const int index = c.rows[size_t(image.Height() - 1 - y)][size_t(x)];
                EXPECT_EQ(image.PixelIndexAt(x, y), index) << c.name << " " << x << "," << y;
                EXPECT_EQ(BgrOf(image.PixelColorAt(x, y)), c.colour(index)) << c.name << " " << x << "," << y;
            }
        }
    }
}

TEST(ImageReaders, DamagedOrUnsupportedFilesAreRefused) {
    const std::string dir = ScratchDir();
    const Bytes zeros(64, 0);
    Bytes shortClut = TimFile(1, nullptr, 1, 1, {1, 2});
    shortClut[4] |= 8;  // says a CLUT follows, whose length is below its own head
    shortClut.insert(shortClut.begin() + 8, {4, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0});
    const struct {
        const char* why;
        const char* name;
        Bytes file;
    } cases[] = {
        {"signature", "a.bmp", BmpFile(2, 2, 24, 0, 0, zeros, 0x4142)},
        {"1 bit", "a.bmp", BmpFile(2, 2, 1, 2, 2, zeros)},
        {"32 bits", "a.bmp", BmpFile(2, 2, 32, 0, 0, zeros)},
        {"top-down", "a.bmp", BmpFile(2, -2, 24, 0, 0, zeros)},
        {"negative width", "a.bmp", BmpFile(-2, 2, 24, 0, 0, zeros)},
        {"more rows than the file", "a.bmp", BmpFile(2, 0x7FFFFFFF, 24, 0, 0, zeros)},
        {"wider than the file", "a.bmp", BmpFile(0x7FFFFFFF, 1, 24, 0, 0, zeros)},
        {"colour table past the end", "a.bmp", BmpFile(2, 2, 8, 0xFFFFFFFF, 0, zeros)},
        {"16-bit colour map", "a.tga", TgaFile(2, 2, 8, 4, 16, zeros)},
        {"16-bit pixels", "a.tga", TgaFile(2, 2, 16, 0, 0, zeros)},
        {"larger than the file", "a.tga", TgaFile(65535, 65535, 32, 0, 0, zeros)},
        {"16 bits", "a.tim", TimFile(2, nullptr, 1, 1, Bytes(4, 0))},
        {"mixed", "a.tim", TimFile(4, nullptr, 1, 1, Bytes(4, 0))},
        {"negative width", "a.tim", TimFile(1, nullptr, -1, 1, Bytes(4, 0))},
        {"taller than the file", "a.tim", TimFile(1, nullptr, 1, 60000, Bytes(4, 0))},
        {"CLUT shorter than its head", "a.tim", shortClut},
    };
    for (const auto& c : cases) {
        BitmapImage image;
        EXPECT_EQ(image.ReadImageFile(WriteFile(dir + "/" + c.name, c.file).c_str()), 0) << c.name << ": " << c.why;
    }
}

TEST(ImageReaders, EveryTruncatedFileFails) {
    const std::string dir = ScratchDir();
    const std::vector<uint16_t> clut = {0x7FFF, 0x001F};
    std::vector<std::pair<std::string, Bytes>> files = {
        {"clut4.tim", TimFile(0, &clut, 2, 3, Bytes(12, 0x21))},
        {"plain8.tim", TimFile(1, nullptr, 2, 3, Bytes(12, 1))},
    };
    for (const char* name : {"bmp4.bmp", "bmp8.bmp", "bmp24.bmp", "tga8.tga", "tga24.tga", "tga32.tga"}) {
        files.emplace_back(name, Slurp(ImageFixture(name)));
    }
    for (const auto& [name, file] : files) {
        const std::string path = dir + "/" + name;
        BitmapImage whole;
        ASSERT_EQ(whole.ReadImageFile(WriteFile(path, file).c_str()), 1) << name;
        for (size_t length = 0; length < file.size(); ++length) {
            WriteFile(path, Bytes(file.begin(), file.begin() + static_cast<std::ptrdiff_t>(length)));
            BitmapImage image;
            EXPECT_EQ(image.ReadImageFile(path.c_str()), 0) << name << " cut to " << length;
        }
    }
}

TEST(ImageReaders, ReaderIsChosenByTheFirstExtensionFoundAnywhereInThePath) {
    const std::string dir = ScratchDir();
    const Bytes bmp = Slurp(ImageFixture("bmp24.bmp"));
    const Bytes tga = Slurp(ImageFixture("tga24.tga"));
    const struct {
        std::string path;
        const Bytes& content;
        int expected;
    } cases[] = {
        {dir + "/upper.BMP", bmp, 1},
        {dir + "/upper.TGA", tga, 1},
        {dir + "/mixed.Bmp", bmp, 0},  // no reader, though the file is a good BMP
        {dir + "/plain", bmp, 0},
        // ".bmp" is searched for before ".tga", in folder names too.
        {dir + "/old.tga/wall.bmp", bmp, 1},
        {dir + "/b.bmp/wall.tga", bmp, 1},  // the BMP reader reads a BMP in disguise
        {dir + "/c.tim/wall.tga", tga, 1},
    };
    for (const auto& c : cases) {
        BitmapImage image;
        EXPECT_EQ(image.ReadImageFile(WriteFile(c.path, c.content).c_str()), c.expected) << c.path;
        // Every reader records the path first.
        if (c.expected == 0) { EXPECT_STREQ(image.Path(), "") << "no reader may have run for " << c.path; }
    }
}

}  // namespace
