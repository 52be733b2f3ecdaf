// The 24-bit skin as a BMP file.
#include <gtest/gtest.h>

#include <stb/stb_image.h>

#include <cstring>
#include <filesystem>
#include <vector>

#include "export/quake_export_utility.h"
#include "support/scratch_folder.h"

namespace {

using Bytes = std::vector<unsigned char>;

uint32_t U32(const Bytes& b, size_t at) { return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | uint32_t(b[at + 3]) << 24; }
uint32_t U16(const Bytes& b, size_t at) { return b[at] | b[at + 1] << 8; }

// Every pixel different: blue x, green y, red x + y (mod 256).
void FillSkin(QuakeExportUtility& utility, int32_t width, int32_t height) {
    utility.skinWidth = width;
    utility.skinHeight = height;
    const int32_t stride = QuakeExportUtility::SkinStride(width);
    utility.skinBuffer = new uint8_t[static_cast<size_t>(stride * height)]();
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            uint8_t* p = utility.skinBuffer + y * stride + 3 * x;
            p[0] = uint8_t(x);
            p[1] = uint8_t(y);
            p[2] = uint8_t(x + y);
        }
    }
}

TEST(WriteBmpSkin, WritesTheSkinBottomRowFirst) {
    SKIP_WITHOUT_DRIVE_MAPPING();
    ScratchFolder folder;
    ASSERT_FALSE(folder.path().empty());
    QuakeExportUtility utility;
    FillSkin(utility, 480, 300);
    char name[kTextBufferSize] = "C:\\tris";
    ASSERT_EQ(utility.WriteBmpSkin(name), 1);
    EXPECT_STREQ(name, "C:\\tris.bmp");

    const Bytes file = folder.Read("tris.bmp");
    ASSERT_EQ(file.size(), 432054u);
    const struct {
        size_t offset;
        uint32_t value;
        bool wide;
    } fields[] = {{0, 0x4D42, false}, {2, 432054, true}, {6, 0, false}, {8, 0, false}, {10, 54, true},
                  {14, 40, true},     {18, 480, true},   {22, 300, true}, {26, 1, false}, {28, 24, false},
                  {30, 0, true},      {34, 0, true},     {38, 0, true},   {42, 0, true},  {46, 0, true},
                  {50, 0, true}};
    for (const auto& f : fields) EXPECT_EQ(f.wide ? U32(file, f.offset) : U16(file, f.offset), f.value) << "offset " << f.offset;
    const uint8_t* bottom = utility.skinBuffer + 299 * 1440;
    EXPECT_TRUE(std::equal(bottom, bottom + 1440, file.begin() + 54));

    int width = 0, height = 0, channels = 0;
    unsigned char* decoded = stbi_load(folder.File("tris.bmp").c_str(), &width, &height, &channels, 3);
    ASSERT_NE(decoded, nullptr) << stbi_failure_reason();
    EXPECT_EQ(width, 480);
    EXPECT_EQ(height, 300);
    // stb_image answers top row first, red green blue: the skin's own row order.
    size_t mismatches = 0;
    for (int y = 0; y < 300; ++y) {
        for (int x = 0; x < 480; ++x) {
            const unsigned char* rgb = decoded + 3 * (y * 480 + x);
            const uint8_t* bgr = utility.skinBuffer + y * 1440 + 3 * x;
            mismatches += rgb[0] != bgr[2] || rgb[1] != bgr[1] || rgb[2] != bgr[0];
        }
    }
    EXPECT_EQ(mismatches, 0u);
    stbi_image_free(decoded);
}

TEST(WriteBmpSkin, ReplacesTheExtensionAtTheFirstDotAndRefusesOverlongNames) {
    SKIP_WITHOUT_DRIVE_MAPPING();
    ScratchFolder folder;
    QuakeExportUtility utility;
    FillSkin(utility, 4, 2);
    char name[kTextBufferSize] = "C:\\skin.old.pcx";
    ASSERT_EQ(utility.WriteBmpSkin(name), 1);
    EXPECT_EQ(folder.Read("skin.bmp").size(), 54u + 2 * 12);

    std::memset(name, 'b', sizeof name - 1);
    name[sizeof name - 1] = '\0';
    EXPECT_EQ(utility.WriteBmpSkin(name), 0);
}

TEST(WriteBmpSkin, FailsWhenTheFileCannotBeCreated) {
    SKIP_WITHOUT_DRIVE_MAPPING();
    ScratchFolder folder;
    QuakeExportUtility utility;
    FillSkin(utility, 4, 1);
    char name[kTextBufferSize] = "C:\\missing folder\\skin";
    EXPECT_EQ(utility.WriteBmpSkin(name), 0);
}

// The skin's name leads to a device that takes no bytes, as a full disk does.
TEST(WriteBmpSkin, AFailedWriteLeavesNoSkin) {
    SKIP_WITHOUT_DRIVE_MAPPING();
    ScratchFolder folder;
    std::error_code ec;
    std::filesystem::create_symlink("/dev/full", folder.File("full.bmp"), ec);
    ASSERT_FALSE(ec) << ec.message();
    QuakeExportUtility utility;
    FillSkin(utility, 4, 2);
    char name[kTextBufferSize] = "C:\\full";
    EXPECT_EQ(utility.WriteBmpSkin(name), 0);
    EXPECT_FALSE(std::filesystem::is_symlink(folder.File("full.bmp")));
}

}  // namespace
