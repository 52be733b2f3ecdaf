// The 8-bit skin: palette matching, run-length coding and the PCX file.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "export/quake_export_utility.h"
#include "skin/pcx_writer.h"
#include "support/scratch_folder.h"

namespace {

using Bytes = std::vector<uint8_t>;

// Everything a call writes into a scratch stream.
template <typename Write>
Bytes Captured(Write write) {
    std::FILE* file = std::tmpfile();
    write(file);
    Bytes bytes(static_cast<size_t>(std::ftell(file)));
    std::rewind(file);
    if (!bytes.empty()) {
        EXPECT_EQ(std::fread(bytes.data(), 1, bytes.size(), file), bytes.size());
    }
    std::fclose(file);
    return bytes;
}

// A skin of the given colours (RRGGBB), row by row.
void FillSkin(QuakeExportUtility& utility, const std::vector<uint32_t>& colours, int32_t width, int32_t height) {
    utility.skinWidth = width;
    utility.skinHeight = height;
    const int32_t stride = QuakeExportUtility::SkinStride(width);
    utility.skinBuffer = new uint8_t[static_cast<size_t>(stride * height)]();
    for (size_t i = 0; i < colours.size(); ++i) {
        uint8_t* p = utility.skinBuffer + (i / width) * stride + 3 * (i % width);
        p[0] = static_cast<uint8_t>(colours[i]);
        p[1] = static_cast<uint8_t>(colours[i] >> 8);
        p[2] = static_cast<uint8_t>(colours[i] >> 16);
    }
}

TEST(QuantizeSkin, MatchesEachPixelToTheFirstNearestEntry) {
    const struct {
        uint32_t colour;
        uint8_t index;
    } cases[] = {{0xFFFFFF, 48}, {0x000000, 0}, {0xFF0000, 242}, {0x0000FF, 243},
                 {0x00FF00, 208}, {0x808080, 8}, {0xC0C0C0, 12}};
    std::vector<uint32_t> colours;
    for (const auto& c : cases) colours.push_back(c.colour);
    QuakeExportUtility utility;
    FillSkin(utility, colours, 7, 1);  // rows of 21 bytes padded to 24
    utility.skinIndexBuffer = new uint8_t[3];  // an earlier buffer is released first
    ASSERT_EQ(utility.QuantizeSkin(), 1);
    for (size_t i = 0; i < colours.size(); ++i)
        EXPECT_EQ(utility.skinIndexBuffer[i], cases[i].index) << std::hex << cases[i].colour;
}

TEST(PcxRows, EncodeRunsOfAtMost63WithinTheRow) {
    const struct {
        Bytes row;
        Bytes encoded;
    } cases[] = {
        {Bytes(128, 5), {0xFF, 5, 0xFF, 5, 0xC2, 5}},
        {Bytes(130, 9), {0xFF, 9, 0xFF, 9, 0xC4, 9}},
        {Bytes(63, 1), {0xFF, 1}},
        {Bytes(64, 1), {0xFF, 1, 1}},
        {{0xC0}, {0xC1, 0xC0}},
        {{0xFF}, {0xC1, 0xFF}},
        {{0xBF}, {0xBF}},
        {{7, 7}, {0xC2, 7}},
        {{0xD0, 0xD0}, {0xC2, 0xD0}},
        {{1, 2, 2, 0xC8, 3}, {1, 0xC2, 2, 0xC1, 0xC8, 3}},
    };
    for (const auto& c : cases) {
        int32_t result = -1;
        const Bytes out = Captured([&](std::FILE* f) { result = EncodePcxRow(c.row.data(), int32_t(c.row.size()), f); });
        EXPECT_EQ(out, c.encoded) << "row of " << c.row.size();
        EXPECT_EQ(result, int32_t(c.encoded.size()));
    }
    EXPECT_TRUE(Captured([](std::FILE* f) { EXPECT_EQ(WritePcxRun(5, 0, f), 0); }).empty());
    EXPECT_TRUE(Captured([](std::FILE* f) { EXPECT_EQ(WritePcxRun(5, 64, f), 0); }).empty());
}

TEST(PcxRows, AFailedWriteEndsTheRowWithZero) {
    std::FILE* full = std::fopen("/dev/full", "wb");
    if (!full) GTEST_SKIP() << "no /dev/full";
    std::setvbuf(full, nullptr, _IONBF, 0);
    const Bytes row = {1, 2, 3};
    EXPECT_EQ(EncodePcxRow(row.data(), 3, full), 0);
    EXPECT_EQ(WritePcxRun(0xC8, 1, full), 0);
    std::fclose(full);
}

// Reads a PCX file as the format describes it, independently of the writer.
struct DecodedPcx {
    int width = 0, height = 0;
    std::vector<uint8_t> indices;
    std::vector<uint8_t> palette;  // red, green, blue
    std::string problem;
};

DecodedPcx DecodePcx(const Bytes& file) {
    DecodedPcx pcx;
    auto u16 = [&](size_t at) { return file[at] | (file[at + 1] << 8); };
    if (file.size() < 128 + 769) return pcx.problem = "short file", pcx;
    if (file[0] != 10 || file[1] != 5 || file[2] != 1 || file[3] != 8 || file[65] != 1)
        return pcx.problem = "not an 8-bit run-length PCX", pcx;
    pcx.width = u16(8) - u16(4) + 1;
    pcx.height = u16(10) - u16(6) + 1;
    const int bytesPerLine = u16(66);
    size_t at = 128;
    for (int y = 0; y < pcx.height; ++y) {
        std::vector<uint8_t> line;
        while (int(line.size()) < bytesPerLine) {
            if (at >= file.size() - 769) return pcx.problem = "image runs into the palette", pcx;
            uint8_t b = file[at++];
            int count = 1;
            if ((b & 0xC0) == 0xC0) {
                count = b & 0x3F;
                b = file[at++];
            }
            line.insert(line.end(), count, b);
        }
        if (int(line.size()) != bytesPerLine) return pcx.problem = "run crosses a row", pcx;
        pcx.indices.insert(pcx.indices.end(), line.begin(), line.begin() + pcx.width);
    }
    if (at != file.size() - 769) return pcx.problem = "bytes between image and palette", pcx;
    if (file[at] != 12) return pcx.problem = "no palette marker", pcx;
    pcx.palette.assign(file.begin() + at + 1, file.end());
    return pcx;
}

TEST(WritePcxSkin, WritesAFileAnIndependentReaderDecodesToTheSkin) {
    SKIP_WITHOUT_DRIVE_MAPPING();
    ScratchFolder folder;
    ASSERT_FALSE(folder.path().empty());
    // Palette colours only, so every pixel comes back as it was; long runs
    // and lone bright indices on rows of their own.
    std::vector<uint32_t> colours;
    const int width = 72, height = 3;
    for (int x = 0; x < width; ++x) colours.push_back(0xFFFFFF);
    for (int x = 0; x < width; ++x) colours.push_back(x % 2 ? 0xFF0000 : 0x0000FF);
    for (int x = 0; x < width; ++x) colours.push_back(x < 40 ? 0x634B23 : 0x000000);
    QuakeExportUtility utility;
    FillSkin(utility, colours, width, height);
    ASSERT_EQ(utility.QuantizeSkin(), 1);
    char name[kTextBufferSize] = "C:\\skin.old";
    ASSERT_EQ(utility.WritePcxSkin(name), 1);
    EXPECT_STREQ(name, "C:\\skin.pcx");

    const Bytes file = folder.Read("skin.pcx");
    // Rows FF 30 C9 30 | C1 F3 C1 F2 ... | E8 10 E0 00.
    const size_t encoded = 4 + 72 * 2 + 4;
    EXPECT_EQ(file.size(), 128 + encoded + 769);
    const DecodedPcx pcx = DecodePcx(file);
    ASSERT_EQ(pcx.problem, "");
    ASSERT_EQ(pcx.width, width);
    ASSERT_EQ(pcx.height, height);
    EXPECT_EQ(file[12] | file[13] << 8, 300);
    EXPECT_EQ(file[68], 1);
    for (int i = 0; i < width * height; ++i) {
        const uint8_t* rgb = &pcx.palette[3 * pcx.indices[i]];
        ASSERT_EQ(uint32_t(rgb[0] << 16 | rgb[1] << 8 | rgb[2]), colours[i]) << "pixel " << i;
    }
    EXPECT_EQ(pcx.indices[0], 48);
    EXPECT_EQ(pcx.indices[width], 243);
    EXPECT_EQ(pcx.palette[3 * 242], 0xFF);
    EXPECT_EQ(pcx.palette[3 * 208 + 1], 0xFF);
}

TEST(WritePcxSkin, RefusesANameThatCannotTakeItsExtension) {
    SKIP_WITHOUT_DRIVE_MAPPING();
    ScratchFolder folder;
    QuakeExportUtility utility;
    FillSkin(utility, {0}, 4, 1);
    ASSERT_EQ(utility.QuantizeSkin(), 1);
    char name[kTextBufferSize];
    std::memset(name, 'a', sizeof name - 1);
    name[sizeof name - 1] = '\0';
    std::memcpy(name, "C:\\", 3);
    EXPECT_EQ(utility.WritePcxSkin(name), 0);
    EXPECT_EQ(std::strlen(name), sizeof name - 1);
}

// The skin's name leads to a device that takes no bytes, as a full disk does.
TEST(WritePcxSkin, AFailedWriteLeavesNoSkin) {
    SKIP_WITHOUT_DRIVE_MAPPING();
    ScratchFolder folder;
    std::error_code ec;
    std::filesystem::create_symlink("/dev/full", folder.File("full.pcx"), ec);
    ASSERT_FALSE(ec) << ec.message();
    QuakeExportUtility utility;
    FillSkin(utility, {0xFFFFFF}, 4, 1);
    ASSERT_EQ(utility.QuantizeSkin(), 1);
    char name[kTextBufferSize] = "C:\\full";
    EXPECT_EQ(utility.WritePcxSkin(name), 0);
    EXPECT_FALSE(std::filesystem::is_symlink(folder.File("full.pcx")));
}

}  // namespace
