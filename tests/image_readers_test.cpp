// The BMP, TGA and TIM readers: pixels against an independent decoder, the
// choice of reader by the path, rejections, truncated files, pixel access.
#include <gtest/gtest.h>

#include <climits>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "skin/bitmap_image.h"
#include "standin/host/host_files.h"
#include "support/drive_mapping.h"
#include "support/image_files.h"

// stb_image is the oracle (its implementation is built once, in support/).
#include <stb/stb_image.h>

namespace {

using namespace vorn_test;

void ExpectColour(const PaletteEntry& got, uint8_t blue, uint8_t green, uint8_t red, const std::string& where) {
    EXPECT_EQ(got.blue, blue) << where;
    EXPECT_EQ(got.green, green) << where;
    EXPECT_EQ(got.red, red) << where;
}

// --- Against the independent decoder --------------------------------------

struct DecodedFixture {
    const char* file;
    uint16_t bitCount;
    int32_t width, height, stride;
};

const DecodedFixture kFixtures[] = {
    {"bmp4.bmp", 4, 5, 3, 4},   {"bmp8.bmp", 8, 7, 3, 8},   {"bmp24.bmp", 24, 5, 3, 16},
    {"tga8.tga", 8, 7, 3, 8},   {"tga24.tga", 24, 5, 3, 16}, {"tga32.tga", 32, 5, 3, 16},
};

// Every pixel of the image read from path equals stb_image's decoding of
// reference (its rows top-down, ours bottom-up).
void ExpectSamePixels(const BitmapImage& image, const Bytes& reference, const std::string& what) {
    int w = 0, h = 0, channels = 0;
    stbi_uc* rgba = stbi_load_from_memory(reference.data(), static_cast<int>(reference.size()), &w, &h, &channels, 4);
    ASSERT_NE(rgba, nullptr) << what << ": " << stbi_failure_reason();
    ASSERT_EQ(image.Width(), w) << what;
    ASSERT_EQ(image.Height(), h) << what;
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            const stbi_uc* p = rgba + 4 * (y * w + x);
            const int row = h - 1 - y;
            const std::string where = what + " at " + std::to_string(x) + "," + std::to_string(y);
            ExpectColour(image.PixelColorAt(x, row), p[2], p[1], p[0], where);
            if (image.BitsPerPixel() == 32) {
                ASSERT_TRUE(image.alpha);
                EXPECT_EQ(image.alpha[static_cast<size_t>(row * w + x)], p[3]) << where;
            }
        }
    }
    stbi_image_free(rgba);
}

TEST(ImageReaders, EveryDepthDecodesLikeAnIndependentDecoder) {
    for (const DecodedFixture& f : kFixtures) {
        BitmapImage image;
        ASSERT_EQ(image.ReadImageFile(ImageFixture(f.file).c_str()), 1) << f.file;
        EXPECT_EQ(image.BitsPerPixel(), f.bitCount) << f.file;
        EXPECT_EQ(image.Width(), f.width) << f.file;
        EXPECT_EQ(image.Height(), f.height) << f.file;
        EXPECT_EQ(image.Stride(), f.stride) << f.file;
        EXPECT_EQ(image.alpha != nullptr, f.bitCount == 32) << f.file;
        ExpectSamePixels(image, Slurp(ImageFixture(f.file)), f.file);
    }
}

TEST(ImageReaders, BmpWithoutColourCountReadsTheDefaultPalette) {
    const std::string dir = ScratchDir();
    for (const char* file : {"bmp4.bmp", "bmp8.bmp"}) {
        Bytes bytes = Slurp(ImageFixture(file));
        std::memset(&bytes[46], 0, 4);  // colours used
        const std::string path = WriteFile(dir + "/zero_" + file, bytes);
        BitmapImage image;
        ASSERT_EQ(image.ReadBmpFile(path.c_str()), 1) << file;
        EXPECT_EQ(image.header.clrUsed, image.BitsPerPixel() == 8 ? 256u : 16u) << file;
        ExpectSamePixels(image, Slurp(ImageFixture(file)), file);
    }
}

// --- Synthetic files ----------------------------------------------------------

TEST(ImageReaders, RowsArePaddedToFourBytes) {
    const std::string dir = ScratchDir();
    // 24 bits, 3 wide: 9 bytes of pixels and 3 of padding per row.
    Bytes rows24 = {1, 2, 3, 4, 5, 6, 7, 8, 9, 0xEE, 0xEE, 0xEE, 11, 12, 13, 14, 15, 16, 17, 18, 19, 0xEE, 0xEE, 0xEE};
    // 4 bits, 5 wide: 3 bytes of pixels and 1 of padding per row.
    Bytes rows4 = {0x01, 0x23, 0x40, 0xEE, 0x56, 0x78, 0x90, 0xEE};
    // 8 bits, 5 wide: rows of 8 bytes.
    Bytes rows8 = {1, 2, 3, 4, 5, 0xEE, 0xEE, 0xEE, 6, 7, 8, 9, 10, 0xEE, 0xEE, 0xEE};
    struct Case {
        const char* name;
        Bytes file;
        int32_t stride;
    } cases[] = {
        {"rgb.bmp", BmpFile(3, 2, 24, 0, 0, rows24), 12},
        {"nibbles.bmp", BmpFile(5, 2, 4, 16, 16, rows4), 4},
        {"bytes.bmp", BmpFile(5, 2, 8, 256, 256, rows8), 8},
    };
    for (const Case& c : cases) {
        BitmapImage image;
        ASSERT_EQ(image.ReadImageFile(WriteFile(dir + "/" + c.name, c.file).c_str()), 1) << c.name;
        EXPECT_EQ(image.Stride(), c.stride) << c.name;
    }
    BitmapImage rgb, nibbles, bytes;
    rgb.ReadImageFile((dir + "/rgb.bmp").c_str());
    nibbles.ReadImageFile((dir + "/nibbles.bmp").c_str());
    bytes.ReadImageFile((dir + "/bytes.bmp").c_str());
    // The second row starts behind the padding.
    ExpectColour(rgb.PixelColorAt(0, 1), 11, 12, 13, "rgb 0,1");
    ExpectColour(rgb.PixelColorAt(2, 1), 17, 18, 19, "rgb 2,1");
    const uint8_t wantNibbles[2][5] = {{0, 1, 2, 3, 4}, {5, 6, 7, 8, 9}};
    for (int y = 0; y < 2; ++y) {
        for (int x = 0; x < 5; ++x) {
            EXPECT_EQ(nibbles.PixelIndexAt(x, y), wantNibbles[y][x]) << x << "," << y;
            EXPECT_EQ(bytes.PixelIndexAt(x, y), 5 * y + x + 1) << x << "," << y;
        }
    }
    // An index image's colour is its palette entry.
    ExpectColour(bytes.PixelColorAt(4, 1), 10, 11, 12, "bytes 4,1");
    EXPECT_EQ(rgb.PixelIndexAt(0, 0), 255);
}

TEST(ImageReaders, BmpColourTableLongerThanThePaletteIsSkippedPastItsEnd) {
    const std::string dir = ScratchDir();
    // 300 entries: the first 256 are kept, the pixels behind all 300 are found.
    BitmapImage image;
    const Bytes pixels = {7, 8, 9, 10};
    ASSERT_EQ(image.ReadBmpFile(WriteFile(dir + "/long.bmp", BmpFile(4, 1, 8, 300, 300, pixels)).c_str()), 1);
    EXPECT_EQ(image.PixelIndexAt(0, 0), 7);
    EXPECT_EQ(image.PixelIndexAt(3, 0), 10);
    ExpectColour(image.palette[255], 255, 0, 1, "entry 255");
}

TEST(ImageReaders, BmpRejections) {
    const std::string dir = ScratchDir();
    const Bytes rows(64, 0);
    struct Case {
        const char* why;
        Bytes file;
    } cases[] = {
        {"signature", BmpFile(2, 2, 24, 0, 0, rows, 0x4142)},
        {"1 bit", BmpFile(2, 2, 1, 2, 2, rows)},
        {"16 bits", BmpFile(2, 2, 16, 0, 0, rows)},
        {"32 bits", BmpFile(2, 2, 32, 0, 0, rows)},
        {"top-down", BmpFile(2, -2, 24, 0, 0, rows)},
        {"negative width", BmpFile(-2, 2, 24, 0, 0, rows)},
        {"more rows than the file", BmpFile(2, 0x7FFFFFFF, 24, 0, 0, rows)},
        {"wider than the file", BmpFile(0x7FFFFFFF, 1, 24, 0, 0, rows)},
        {"colour table past the end", BmpFile(2, 2, 8, 0xFFFFFFFF, 0, rows)},
    };
    for (const Case& c : cases) {
        BitmapImage image;
        EXPECT_EQ(image.ReadImageFile(WriteFile(dir + "/bad.bmp", c.file).c_str()), 0) << c.why;
    }
}

TEST(ImageReaders, TgaWithoutColourMapKeepsABlackPalette) {
    const std::string dir = ScratchDir();
    BitmapImage image;
    const Bytes grey = {10, 20, 30, 40, 50, 60};
    ASSERT_EQ(image.ReadTgaFile(WriteFile(dir + "/grey.tga", TgaFile(3, 2, 8, 0, 0, grey)).c_str()), 1);
    EXPECT_EQ(image.header.clrUsed, 0u);
    EXPECT_EQ(image.PixelIndexAt(0, 0), 10);
    EXPECT_EQ(image.PixelIndexAt(2, 1), 60);
    ExpectColour(image.PixelColorAt(2, 1), 0, 0, 0, "grey pixel");
}

TEST(ImageReaders, TgaColourMapLongerThanThePaletteIsSkippedPastItsEnd) {
    const std::string dir = ScratchDir();
    BitmapImage image;
    ASSERT_EQ(image.ReadTgaFile(WriteFile(dir + "/long.tga", TgaFile(2, 1, 8, 300, 24, {1, 255})).c_str()), 1);
    EXPECT_EQ(image.PixelIndexAt(1, 0), 255);
    ExpectColour(image.PixelColorAt(1, 0), 255, uint8_t(2 * 255), uint8_t(3 * 255), "entry 255");
}

TEST(ImageReaders, TgaRejections) {
    const std::string dir = ScratchDir();
    const Bytes pixels(64, 0);
    struct Case {
        const char* why;
        Bytes file;
    } cases[] = {
        {"16-bit colour map", TgaFile(2, 2, 8, 4, 16, pixels)},
        {"32-bit colour map", TgaFile(2, 2, 8, 4, 32, pixels)},
        {"16-bit pixels", TgaFile(2, 2, 16, 0, 0, pixels)},
        {"15-bit pixels", TgaFile(2, 2, 15, 0, 0, pixels)},
        {"larger than the file", TgaFile(65535, 65535, 32, 0, 0, pixels)},
    };
    for (const Case& c : cases) {
        BitmapImage image;
        EXPECT_EQ(image.ReadImageFile(WriteFile(dir + "/bad.tga", c.file).c_str()), 0) << c.why;
    }
}

TEST(ImageReaders, TimFourBitsSwapsNibblesAndTurnsRowsBottomUp) {
    const std::string dir = ScratchDir();
    const std::vector<uint16_t> clut = {0x0000, 0x7FFF, 0x8000, 0x001F, 0x03E0, 0x7C00, 0xFFFF};
    // W = 1: 4 pixels a row, 2 bytes; left pixel in the low nibble.
    const Bytes rows = {0x10, 0x32, 0x54, 0x06};
    for (const bool withClut : {true, false}) {
        BitmapImage image;
        const std::string path = WriteFile(dir + "/four.tim", TimFile(0, withClut ? &clut : nullptr, 1, 2, rows));
        ASSERT_EQ(image.ReadImageFile(path.c_str()), 1);
        EXPECT_EQ(image.BitsPerPixel(), 4);
        EXPECT_EQ(image.Width(), 4);
        EXPECT_EQ(image.Height(), 2);
        // File row 0 is the top row: buffer row 1.
        const uint8_t top[4] = {0, 1, 2, 3};
        const uint8_t bottom[4] = {4, 5, 6, 0};
        for (int x = 0; x < 4; ++x) {
            EXPECT_EQ(image.PixelIndexAt(x, 1), top[x]) << x;
            EXPECT_EQ(image.PixelIndexAt(x, 0), bottom[x]) << x;
        }
        if (withClut) {
            ExpectColour(image.PixelColorAt(1, 1), 248, 248, 248, "0x7FFF");
            ExpectColour(image.PixelColorAt(2, 1), 0, 0, 0, "0x8000");
            ExpectColour(image.PixelColorAt(3, 1), 0, 0, 248, "0x001F is red");
            ExpectColour(image.PixelColorAt(0, 0), 0, 248, 0, "0x03E0 is green");
            ExpectColour(image.PixelColorAt(1, 0), 248, 0, 0, "0x7C00 is blue");
            ExpectColour(image.PixelColorAt(2, 0), 248, 248, 248, "semi-transparency bit dropped");
        } else {
            ExpectColour(image.PixelColorAt(1, 1), 0, 0, 0, "no CLUT");
        }
    }
}

TEST(ImageReaders, TimEightBits) {
    const std::string dir = ScratchDir();
    const std::vector<uint16_t> clut = {0x0000, 0x7FFF, 0x001F};
    // W = 2: 4 pixels a row.
    const Bytes rows = {0, 1, 2, 1, 2, 2, 1, 0};
    for (const bool withClut : {true, false}) {
        BitmapImage image;
        const std::string path = WriteFile(dir + "/eight.TIM", TimFile(1, withClut ? &clut : nullptr, 2, 2, rows));
        ASSERT_EQ(image.ReadImageFile(path.c_str()), 1);
        EXPECT_EQ(image.BitsPerPixel(), 8);
        EXPECT_EQ(image.Width(), 4);
        EXPECT_EQ(image.Stride(), 4);
        for (int x = 0; x < 4; ++x) {
            EXPECT_EQ(image.PixelIndexAt(x, 1), rows[static_cast<size_t>(x)]) << x;
            EXPECT_EQ(image.PixelIndexAt(x, 0), rows[static_cast<size_t>(4 + x)]) << x;
        }
        const uint8_t red = withClut ? 248 : 0;
        ExpectColour(image.PixelColorAt(2, 1), 0, 0, red, "index 2");
    }
}

TEST(ImageReaders, TimWidthCountsFrameBufferUnits) {
    const std::string dir = ScratchDir();
    BitmapImage eight, four;
    ASSERT_EQ(eight.ReadTimFile(WriteFile(dir + "/a.tim", TimFile(1, nullptr, 64, 1, Bytes(128, 3))).c_str()), 1);
    ASSERT_EQ(four.ReadTimFile(WriteFile(dir + "/b.tim", TimFile(0, nullptr, 64, 1, Bytes(128, 3))).c_str()), 1);
    EXPECT_EQ(eight.Width(), 128);
    EXPECT_EQ(four.Width(), 256);
}

TEST(ImageReaders, TimClutLongerThanThePaletteIsSkippedPastItsEnd) {
    const std::string dir = ScratchDir();
    std::vector<uint16_t> clut(300, 0x7FFF);
    clut[255] = 0x001F;
    BitmapImage image;
    ASSERT_EQ(image.ReadTimFile(WriteFile(dir + "/long.tim", TimFile(1, &clut, 1, 1, {255, 7})).c_str()), 1);
    EXPECT_EQ(image.PixelIndexAt(1, 0), 7);
    ExpectColour(image.PixelColorAt(0, 0), 0, 0, 248, "entry 255");
}

TEST(ImageReaders, TimRejections) {
    const std::string dir = ScratchDir();
    Bytes shortClut = TimFile(1, nullptr, 1, 1, {1, 2});
    shortClut[4] |= 8;  // says a CLUT follows, whose length is below its own head
    shortClut.insert(shortClut.begin() + 8, {4, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0});
    struct Case {
        const char* why;
        Bytes file;
    } cases[] = {
        {"16 bits", TimFile(2, nullptr, 1, 1, Bytes(4, 0))},
        {"24 bits", TimFile(3, nullptr, 1, 1, Bytes(4, 0))},
        {"mixed", TimFile(4, nullptr, 1, 1, Bytes(4, 0))},
        {"negative width", TimFile(1, nullptr, -1, 1, Bytes(4, 0))},
        {"taller than the file", TimFile(1, nullptr, 1, 60000, Bytes(4, 0))},
        {"CLUT shorter than its head", shortClut},
    };
    for (const Case& c : cases) {
        BitmapImage image;
        EXPECT_EQ(image.ReadImageFile(WriteFile(dir + "/bad.tim", c.file).c_str()), 0) << c.why;
    }
}

// --- Every truncated length fails cleanly -------------------------------------

TEST(ImageReaders, EveryTruncatedFileFails) {
    const std::string dir = ScratchDir();
    const std::vector<uint16_t> clut = {0x7FFF, 0x001F};
    const struct {
        const char* name;
        Bytes file;
    } files[] = {
        {"bmp4.bmp", Slurp(ImageFixture("bmp4.bmp"))},
        {"bmp8.bmp", Slurp(ImageFixture("bmp8.bmp"))},
        {"bmp24.bmp", Slurp(ImageFixture("bmp24.bmp"))},
        {"tga8.tga", Slurp(ImageFixture("tga8.tga"))},
        {"tga24.tga", Slurp(ImageFixture("tga24.tga"))},
        {"tga32.tga", Slurp(ImageFixture("tga32.tga"))},
        {"clut4.tim", TimFile(0, &clut, 2, 3, Bytes(12, 0x21))},
        {"plain8.tim", TimFile(1, nullptr, 2, 3, Bytes(12, 1))},
    };
    for (const auto& f : files) {
        const std::string path = dir + "/" + f.name;
        BitmapImage whole;
        ASSERT_EQ(whole.ReadImageFile(WriteFile(path, f.file).c_str()), 1) << f.name;
        for (size_t length = 0; length < f.file.size(); ++length) {
            WriteFile(path, Bytes(f.file.begin(), f.file.begin() + static_cast<std::ptrdiff_t>(length)));
            BitmapImage image;
            EXPECT_EQ(image.ReadImageFile(path.c_str()), 0) << f.name << " cut to " << length;
        }
    }
}

// --- Choosing the reader by the path -----------------------------------------

TEST(ImageReaders, ReaderIsChosenByTheFirstExtensionFoundAnywhereInThePath) {
    const std::string dir = ScratchDir();
    const Bytes bmp = Slurp(ImageFixture("bmp24.bmp"));
    const Bytes tga = Slurp(ImageFixture("tga24.tga"));
    struct Case {
        std::string path;
        const Bytes* content;
        int expected;
    } cases[] = {
        {dir + "/upper.BMP", &bmp, 1},
        {dir + "/upper.TGA", &tga, 1},
        {dir + "/mixed.Bmp", &bmp, 0},  // no reader, though the file is a good BMP
        {dir + "/mixed.Tga", &tga, 0},
        {dir + "/plain", &bmp, 0},
        // ".bmp" is searched for before ".tga", in folder names too.
        {dir + "/old.tga/wall.bmp", &bmp, 1},
        {dir + "/a.bmp/wall.tga", &tga, 0},  // the BMP reader finds no "BM"
        {dir + "/b.bmp/wall.tga", &bmp, 1},  // ... and reads a BMP in disguise
        {dir + "/c.tim/wall.tga", &tga, 1},
    };
    for (const Case& c : cases) {
        WriteFile(c.path, *c.content);
        BitmapImage image;
        EXPECT_EQ(image.ReadImageFile(c.path.c_str()), c.expected) << c.path;
        if (c.expected == 0 && c.path.find(".Bmp") != std::string::npos) {
            EXPECT_STREQ(image.Name(), "") << "no reader may have run for " << c.path;
        }
    }
    BitmapImage missing;
    EXPECT_EQ(missing.ReadImageFile((dir + "/missing.bmp").c_str()), 0);
}

TEST(ImageReaders, BaseNameIsWhatFollowsTheLastBackslash) {
    SKIP_WITHOUT_DRIVE_MAPPING();
    const std::string dir = ScratchDir();
    standin::SetDriveFolder('V', dir);
    WriteFile(dir + "/maps/stone/wall.bmp", Slurp(ImageFixture("bmp24.bmp")));
    BitmapImage image;
    ASSERT_EQ(image.ReadImageFile("V:\\maps\\stone\\wall.bmp"), 1);
    EXPECT_STREQ(image.Name(), "wall.bmp");
    EXPECT_STREQ(image.Path(), "V:\\maps\\stone\\wall.bmp");
    standin::SetDriveFolder('V', "");

    const std::string slashed = dir + "/maps/stone/wall.bmp";
    BitmapImage other;
    ASSERT_EQ(other.ReadImageFile(slashed.c_str()), 1);
    EXPECT_EQ(std::string(other.Name()), slashed);
}

TEST(ImageReaders, LongPathsAreCutInTheRecordButStillRead) {
#if defined(_WIN32)
    GTEST_SKIP() << "the Windows C library opens no path longer than MAX_PATH (260 characters)";
#endif
    std::string path = ScratchDir();
    while (path.size() < 300) path += "/" + std::string(40, 'd');
    path += "/wall.bmp";
    WriteFile(path, Slurp(ImageFixture("bmp24.bmp")));
    BitmapImage image;
    ASSERT_EQ(image.ReadImageFile(path.c_str()), 1);
    EXPECT_EQ(std::string(image.Path()), path.substr(0, 255));
    EXPECT_EQ(std::string(image.Name()), path.substr(0, 255));
}

// --- Pixel access ----------------------------------------------------------------

TEST(PixelAccess, CoordinatesWrapAroundTheEdges) {
    const std::string dir = ScratchDir();
    Bytes rows;
    for (int y = 0; y < 3; ++y) {
        for (int x = 0; x < 10; ++x) rows.push_back(static_cast<uint8_t>(10 * y + x));
        rows.push_back(0xEE);
        rows.push_back(0xEE);
    }
    BitmapImage image;
    ASSERT_EQ(image.ReadBmpFile(WriteFile(dir + "/ten.bmp", BmpFile(10, 3, 8, 256, 256, rows)).c_str()), 1);
    const struct {
        int x, y;
        uint8_t index;
    } cases[] = {
        {-1, 0, 9},  {10, 0, 0},  {-11, 0, 9},      {25, 0, 5},       {3, -1, 23},
        {3, 3, 3},   {-10, -3, 0}, {INT_MIN, 0, 2}, {INT_MAX, 0, 7}, {0, INT_MIN, 10},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(image.PixelIndexAt(c.x, c.y), c.index) << c.x << "," << c.y;
        const PaletteEntry want = image.palette[c.index];
        ExpectColour(image.PixelColorAt(c.x, c.y), want.blue, want.green, want.red, "colour");
    }
}

TEST(PixelAccess, EmptyImagesAnswerWithoutPixels) {
    const std::string dir = ScratchDir();
    BitmapImage fresh;
    EXPECT_EQ(fresh.PixelIndexAt(0, 0), 255);
    ExpectColour(fresh.PixelColorAt(3, -4), 0, 0, 0, "new image");

    BitmapImage zeroWide, zeroHigh;
    ASSERT_EQ(zeroWide.ReadTgaFile(WriteFile(dir + "/w.tga", TgaFile(0, 5, 8, 1, 24, {})).c_str()), 1);
    ASSERT_EQ(zeroHigh.ReadTimFile(WriteFile(dir + "/h.tim", TimFile(1, nullptr, 3, 0, {})).c_str()), 1);
    for (const BitmapImage* image : {&zeroWide, &zeroHigh}) {
        EXPECT_EQ(image->PixelIndexAt(1, 1), 255);
        ExpectColour(image->PixelColorAt(-1, 7), 0, 0, 0, "empty image");
    }
}

}  // namespace
