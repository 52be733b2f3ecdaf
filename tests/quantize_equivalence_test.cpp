// QuantizeSkin's palette matching against the plain search it stands for: every
// pixel compared with all 256 entries, integer squared distance, the lowest
// index on a tie. The colours come from a lattice through the colour cube and
// the points halfway between entries (where ties are).
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "core/quake_export_utility.h"
#include "skin/skin_palette.h"
#include "support/image_files.h"

namespace {

uint32_t Rgb(int red, int green, int blue) { return uint32_t(red) << 16 | uint32_t(green) << 8 | uint32_t(blue); }

uint32_t Distance(uint32_t rgb, const SkinColor& e) {
    const int dr = int(rgb >> 16) - e.red, dg = int(rgb >> 8 & 255) - e.green, db = int(rgb & 255) - e.blue;
    return uint32_t(dr * dr + dg * dg + db * db);
}

uint8_t PlainNearest(uint32_t rgb) {
    int best = 0;
    for (int i = 1; i < kSkinPaletteSize; ++i) {
        if (Distance(rgb, SkinPalette[size_t(i)]) < Distance(rgb, SkinPalette[size_t(best)])) best = i;
    }
    return uint8_t(best);
}

// Quantizes the colours as one skin, width pixels a row (the last row filled
// up with black), and checks every pixel against the plain search.
void ExpectPlainMatches(const std::vector<uint32_t>& colours, const char* what, int32_t width = 512) {
    SCOPED_TRACE(what);
    QuakeExportUtility utility;
    vorn_test::SetSkin(utility, width, colours);
    utility.skinIndexBuffer = new uint8_t[3];  // an earlier buffer, to be released
    ASSERT_EQ(utility.QuantizeSkin(), 1);
    int mismatches = 0;
    for (size_t i = 0; i < colours.size() && mismatches < 10; ++i) {
        const uint8_t expected = PlainNearest(colours[i]);
        if (utility.skinIndexBuffer[i] != expected) {
            ++mismatches;
            ADD_FAILURE() << "colour " << std::hex << colours[i] << std::dec << ": index "
                          << int{utility.skinIndexBuffer[i]} << ", the plain search gives " << int{expected};
        }
    }
}

TEST(QuantizeEquivalence, LatticeThroughTheWholeCube) {
    std::vector<uint32_t> colours;
    for (int r = 0; r < 256; r += 5)
        for (int g = 0; g < 256; g += 5)
            for (int b = 0; b < 256; b += 5) colours.push_back(Rgb(r, g, b));
    ExpectPlainMatches(colours, "every fifth value");
}

// Points halfway between two entries are as near to both; where nothing else
// is nearer, the lower index must win. Repeated colours (white, black and
// others) tie with their copies wherever they are nearest.
TEST(QuantizeEquivalence, TiesGoToTheLowestIndex) {
    std::vector<uint32_t> colours = {Rgb(255, 255, 255), Rgb(0, 0, 0), Rgb(15, 11, 7)};
    int ties = 0;
    for (int i = 0; i < kSkinPaletteSize; ++i) {
        for (int j = i + 1; j < kSkinPaletteSize; ++j) {
            const SkinColor& a = SkinPalette[size_t(i)];
            const SkinColor& b = SkinPalette[size_t(j)];
            const int sr = a.red + b.red, sg = a.green + b.green, sb = a.blue + b.blue;
            if (sr % 2 || sg % 2 || sb % 2) continue;
            const uint32_t mid = Rgb(sr / 2, sg / 2, sb / 2);
            colours.push_back(mid);
            // A tie of different colours at the nearest distance.
            const uint32_t best = Distance(mid, SkinPalette[PlainNearest(mid)]);
            if (Distance(mid, a) == best && best != 0) ++ties;
        }
    }
    ASSERT_GT(ties, 100) << "too few ties between different colours to test the rule";
    ExpectPlainMatches(colours, "halfway points");
}

}  // namespace
