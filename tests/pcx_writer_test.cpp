// The 8-bit skin: run-length coding and the PCX file, read back independently.
// Palette matching itself is in quantize_equivalence_test.cpp.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "core/quake_export_utility.h"
#include "skin/pcx_writer.h"
#include "support/image_files.h"
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
    if (!bytes.empty()) { EXPECT_EQ(std::fread(bytes.data(), 1, bytes.size(), file), bytes.size()); }
    std::fclose(file);
    return bytes;
}

TEST(PcxRows, EncodeRunsOfAtMost63WithinTheRow) {
    const struct {
        Bytes row;
        Bytes encoded;
    } cases[] = {
        {Bytes(130, 9), {0xFF, 9, 0xFF, 9, 0xC4, 9}},
        {Bytes(63, 1), {0xFF, 1}},
        {Bytes(64, 1), {0xFF, 1, 1}},
        {{0xC0}, {0xC1, 0xC0}},  // a lone value that would read as a count
        {{0xBF}, {0xBF}},
        {{1, 2, 2, 0xC8, 3}, {1, 0xC2, 2, 0xC1, 0xC8, 3}},
    };
    for (const auto& c : cases) {
        int32_t result = -1;
        const Bytes out =
            Captured([&](std::FILE* f) { result = EncodePcxRow(c.row.data(), int32_t(c.row.size()), f); });
        EXPECT_EQ(out, c.encoded) << "row of " << c.row.size();
        EXPECT_EQ(result, int32_t(c.encoded.size()));
    }
}

// Reads a PCX file as the format describes it, independently of the writer:
// the indices row by row and the palette (red, green, blue); "" or a problem.
std::string DecodePcx(const Bytes& file, int& width, int& height, Bytes& indices, Bytes& palette) {
    auto u16 = [&](size_t at) { return file[at] | (file[at + 1] << 8); };
    if (file.size() < 128 + 769) return "short file";
    if (file[0] != 10 || file[1] != 5 || file[2] != 1 || file[3] != 8 || file[65] != 1)
        return "not an 8-bit run-length PCX";
    width = u16(8) - u16(4) + 1;
    height = u16(10) - u16(6) + 1;
    const int bytesPerLine = u16(66);
    const size_t end = file.size() - 769;
    size_t at = 128;
    for (int y = 0; y < height; ++y) {
        Bytes line;
        while (int(line.size()) < bytesPerLine) {
            if (at >= end) return "image runs into the palette";
            uint8_t b = file[at++];
            int count = 1;
            if ((b & 0xC0) == 0xC0) {
                count = b & 0x3F;
                b = file[at++];
            }
            line.insert(line.end(), size_t(count), b);
        }
        if (int(line.size()) != bytesPerLine) return "run crosses a row";
        indices.insert(indices.end(), line.begin(), line.begin() + width);
    }
    if (at != end) return "bytes between image and palette";
    if (file[at] != 12) return "no palette marker";
    palette.assign(file.begin() + std::ptrdiff_t(at) + 1, file.end());
    return "";
}

TEST(WritePcxSkin, WritesAFileAnIndependentReaderDecodesToTheSkin) {
    SKIP_WITHOUT_DRIVE_MAPPING();
    ScratchFolder folder;
    ASSERT_FALSE(folder.path().empty());
    // Palette colours only, so every pixel comes back as it was; long runs
    // and lone bright indices on rows of their own.
    std::vector<uint32_t> colours;
    for (int x = 0; x < 72; ++x) colours.push_back(0xFFFFFF);
    for (int x = 0; x < 72; ++x) colours.push_back(x % 2 ? 0xFF0000 : 0x0000FF);
    for (int x = 0; x < 72; ++x) colours.push_back(x < 40 ? 0x634B23 : 0x000000);
    QuakeExportUtility utility;
    vorn_test::SetSkin(utility, 72, colours);
    ASSERT_EQ(utility.QuantizeSkin(), 1);
    char name[kTextBufferSize] = "C:\\skin.old";
    ASSERT_EQ(utility.WritePcxSkin(name), 1);
    EXPECT_STREQ(name, "C:\\skin.pcx");

    const Bytes file = folder.Read("skin.pcx");
    // Rows FF 30 C9 30 | C1 F3 C1 F2 ... | E8 10 E0 00.
    EXPECT_EQ(file.size(), 128 + (4 + 72 * 2 + 4) + 769);
    int width = 0, height = 0;
    Bytes indices, palette;
    ASSERT_EQ(DecodePcx(file, width, height, indices, palette), "");
    ASSERT_EQ(width, 72);
    ASSERT_EQ(height, 3);
    for (size_t i = 0; i < colours.size(); ++i) {
        const uint8_t* rgb = &palette[3 * size_t(indices[i])];
        ASSERT_EQ(uint32_t(rgb[0] << 16 | rgb[1] << 8 | rgb[2]), colours[i]) << "pixel " << i;
    }
    // The game's own palette: its first white and its blue.
    EXPECT_EQ(indices[0], 48);
    EXPECT_EQ(indices[72], 243);
}

}  // namespace
