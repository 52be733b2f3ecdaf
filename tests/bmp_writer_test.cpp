// The 24-bit skin as a BMP file.
#include <gtest/gtest.h>

#include <stb/stb_image.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "core/quake_export_utility.h"
#include "support/image_files.h"
#include "support/scratch_folder.h"

namespace {

using vorn_test::SetSkin;

// Blue x, green y and red x + y, all mod 256.
void FillSkin(QuakeExportUtility& utility, int32_t width, int32_t height) {
    std::vector<uint32_t> colours;
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            colours.push_back(uint32_t((x + y) & 255) << 16 | uint32_t(y & 255) << 8 | uint32_t(x & 255));
        }
    }
    SetSkin(utility, width, colours);
}

// 257 pixels a row: 771 bytes, padded to 772.
TEST(WriteBmpSkin, WritesTheSkinBottomRowFirst) {
    SKIP_WITHOUT_DRIVE_MAPPING();
    ScratchFolder folder;
    ASSERT_FALSE(folder.path().empty());
    QuakeExportUtility utility;
    FillSkin(utility, 257, 300);
    char name[kTextBufferSize] = "C:\\tris.old.pcx";
    ASSERT_EQ(utility.WriteBmpSkin(name), 1);
    EXPECT_STREQ(name, "C:\\tris.bmp");

    const std::vector<unsigned char> file = folder.Read("tris.bmp");
    ASSERT_EQ(file.size(), 54u + 772 * 300);
    // File size 231654, pixels at 54; info header of 40 bytes, 257 x 300, one
    // plane of 24 bits, and nothing else: no compression, sizes or colours.
    const std::vector<unsigned char> head = {'B', 'M', 0xE6, 0x88, 0x03, 0, 0, 0, 0, 0, 54, 0, 0, 0, 40, 0,
                                             0,   0,   1,    1,    0,    0, 44, 1, 0, 0, 1, 0, 24, 0, 0, 0};
    EXPECT_EQ(std::vector<unsigned char>(file.begin(), file.begin() + 32), head);
    EXPECT_EQ(std::count(file.begin() + 32, file.begin() + 54, 0), 22);

    // stb_image answers top row first, red green blue: the skin's own row order.
    int width = 0, height = 0, channels = 0;
    unsigned char* decoded = stbi_load(folder.File("tris.bmp").c_str(), &width, &height, &channels, 3);
    ASSERT_NE(decoded, nullptr) << stbi_failure_reason();
    ASSERT_EQ(width, 257);
    ASSERT_EQ(height, 300);
    size_t mismatches = 0;
    for (int y = 0; y < 300; ++y) {
        for (int x = 0; x < 257; ++x) {
            const unsigned char* rgb = decoded + 3 * (y * 257 + x);
            const uint8_t* bgr = utility.skinBuffer + y * 772 + 3 * x;
            mismatches += rgb[0] != bgr[2] || rgb[1] != bgr[1] || rgb[2] != bgr[0];
        }
    }
    EXPECT_EQ(mismatches, 0u);
    stbi_image_free(decoded);
}

// A name that cannot take its extension, a missing folder, and a device that
// takes no bytes, as a full disk does, which stays as it was.
TEST(WriteBmpSkin, FailsWhereItCannotWriteAndSaysWhy) {
    SKIP_WITHOUT_DRIVE_MAPPING();
    ScratchFolder folder;
    ASSERT_EQ(folder.LinkToFullDevice("full.bmp"), "");
    const struct {
        std::string path;
        const char* reason;
    } cases[] = {{std::string(kTextBufferSize - 1, 'b'), ""},
                 {"C:\\missing folder\\skin", "Could not open C:\\missing folder\\skin.bmp for writing: No such file"},
                 {"C:\\full", "Could not write C:\\full.bmp: No space left on device"}};
    for (const auto& c : cases) {
        QuakeExportUtility utility;
        FillSkin(utility, 4, 2);
        char name[kTextBufferSize];
        std::strcpy(name, c.path.c_str());
        EXPECT_EQ(utility.WriteBmpSkin(name), 0) << c.path;
        EXPECT_EQ(std::string(utility.engine.errorText).rfind(c.reason, 0), 0u) << utility.engine.errorText;
    }
    EXPECT_TRUE(std::filesystem::is_symlink(folder.File("full.bmp")));
}

}  // namespace
