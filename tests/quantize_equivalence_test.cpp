// QuantizeSkin's palette matching against the plain search it stands for: every
// pixel compared with all 256 entries, integer squared distance, the lowest
// index on a tie. The colours come from every corner of the colour cube, the
// edges of the matcher's cells, the neighbourhood of every entry, the points
// halfway between entries (where ties are), and texture-like pictures.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <random>
#include <vector>

#include "export/quake_export_utility.h"
#include "skin/skin_palette.h"

namespace {

struct Rgb {
    int red, green, blue;
};

// The plain search, with how many entries share the least distance.
struct Match {
    uint8_t index;
    int nearestCount;
    bool tieOfDifferentColours;
};

Match PlainNearest(const Rgb& c) {
    uint32_t best = UINT32_MAX;
    int bestIndex = 0;
    uint32_t distances[kSkinPaletteSize];
    for (int i = 0; i < kSkinPaletteSize; ++i) {
        const int dr = c.red - SkinPalette[i].red;
        const int dg = c.green - SkinPalette[i].green;
        const int db = c.blue - SkinPalette[i].blue;
        distances[i] = static_cast<uint32_t>(dr * dr + dg * dg + db * db);
        if (distances[i] < best) {
            best = distances[i];
            bestIndex = i;
        }
    }
    Match m{static_cast<uint8_t>(bestIndex), 0, false};
    const SkinColor& winner = SkinPalette[static_cast<size_t>(bestIndex)];
    for (int i = 0; i < kSkinPaletteSize; ++i) {
        if (distances[i] != best) continue;
        ++m.nearestCount;
        const SkinColor& other = SkinPalette[static_cast<size_t>(i)];
        if (other.red != winner.red || other.green != winner.green || other.blue != winner.blue)
            m.tieOfDifferentColours = true;
    }
    return m;
}

// Quantizes the colours as one skin, width pixels a row (the last row padded
// with black), and checks every pixel against the plain search.
void ExpectPlainMatches(const std::vector<Rgb>& colours, const char* what, int32_t width = 512) {
    SCOPED_TRACE(what);
    ASSERT_FALSE(colours.empty());
    QuakeExportUtility utility;
    utility.skinWidth = width;
    utility.skinHeight = static_cast<int32_t>((colours.size() + width - 1) / width);
    const int32_t stride = QuakeExportUtility::SkinStride(width);
    utility.skinBuffer = new uint8_t[static_cast<size_t>(stride) * utility.skinHeight]();
    for (size_t i = 0; i < colours.size(); ++i) {
        uint8_t* p = utility.skinBuffer + (i / width) * stride + 3 * (i % width);
        p[0] = static_cast<uint8_t>(colours[i].blue);
        p[1] = static_cast<uint8_t>(colours[i].green);
        p[2] = static_cast<uint8_t>(colours[i].red);
    }
    ASSERT_EQ(utility.QuantizeSkin(), 1);
    int mismatches = 0;
    for (size_t i = 0; i < colours.size() && mismatches < 10; ++i) {
        const Rgb& c = colours[i];
        const uint8_t expected = PlainNearest(c).index;
        if (utility.skinIndexBuffer[i] != expected) {
            ++mismatches;
            ADD_FAILURE() << "colour " << c.red << ", " << c.green << ", " << c.blue << ": index "
                          << int{utility.skinIndexBuffer[i]} << ", the plain search gives " << int{expected};
        }
    }
}

TEST(QuantizeEquivalence, LatticeThroughTheWholeCube) {
    std::vector<Rgb> colours;
    for (int r = 0; r < 256; r += 5)
        for (int g = 0; g < 256; g += 5)
            for (int b = 0; b < 256; b += 5) colours.push_back({r, g, b});
    ExpectPlainMatches(colours, "every fifth value");
}

TEST(QuantizeEquivalence, ColoursOnTheEdgesOfCells) {
    // Cells are powers of two wide; their first and last values, and the
    // values beside them, on every axis.
    std::vector<int> edges;
    for (int v = 0; v < 256; v += 16) {
        for (int d : {-1, 0, 15}) {
            if (v + d >= 0) edges.push_back(v + d);
        }
    }
    edges.push_back(255);
    std::vector<Rgb> colours;
    for (int r : edges)
        for (int g : edges)
            for (int b : edges) colours.push_back({r, g, b});
    ExpectPlainMatches(colours, "cell edges");
}

TEST(QuantizeEquivalence, EveryEntryAndItsNeighbours) {
    std::vector<Rgb> colours;
    for (const SkinColor& e : SkinPalette) {
        for (int dr = -2; dr <= 2; ++dr)
            for (int dg = -2; dg <= 2; ++dg)
                for (int db = -2; db <= 2; ++db) {
                    const Rgb c{e.red + dr, e.green + dg, e.blue + db};
                    if (c.red < 0 || c.red > 255 || c.green < 0 || c.green > 255 || c.blue < 0 || c.blue > 255)
                        continue;
                    colours.push_back(c);
                }
    }
    ExpectPlainMatches(colours, "entries and neighbours");
}

TEST(QuantizeEquivalence, TiesGoToTheLowestIndex) {
    // Points halfway between two entries are as near to both; where nothing
    // else is nearer, the lower index must win. Their neighbours one step
    // towards either entry must not tie.
    std::vector<Rgb> colours;
    int ties = 0;
    for (int i = 0; i < kSkinPaletteSize; ++i) {
        for (int j = i + 1; j < kSkinPaletteSize; ++j) {
            const SkinColor& a = SkinPalette[static_cast<size_t>(i)];
            const SkinColor& b = SkinPalette[static_cast<size_t>(j)];
            const int sr = a.red + b.red, sg = a.green + b.green, sb = a.blue + b.blue;
            if (sr % 2 || sg % 2 || sb % 2) continue;
            const Rgb mid{sr / 2, sg / 2, sb / 2};
            colours.push_back(mid);
            const Match m = PlainNearest(mid);
            if (m.tieOfDifferentColours) ++ties;
        }
    }
    // Pure white, black and the other repeated colours tie with their copies.
    colours.push_back({255, 255, 255});
    colours.push_back({0, 0, 0});
    colours.push_back({15, 11, 7});
    ASSERT_GT(ties, 100) << "too few ties between different colours to test the rule";
    ExpectPlainMatches(colours, "halfway points");
}

// Smooth gradients, grain and blocks of mottled colour, some of them flat, as
// in real textures; runs of one colour take the matcher's shortcut.
TEST(QuantizeEquivalence, TextureLikePictures) {
    std::mt19937 rng(11);
    std::normal_distribution<double> grain(0.0, 9.0);
    std::uniform_int_distribution<int> byte(0, 255);
    auto clamp = [](double v) { return static_cast<int>(std::fmax(0.0, std::fmin(255.0, v))); };
    const int32_t size = 256;
    std::vector<Rgb> colours;
    for (int picture = 0; picture < 3; ++picture) {
        const int flatRow = byte(rng) % 64;
        const double base[3] = {40.0 + byte(rng) * 0.7, 40.0 + byte(rng) * 0.7, 40.0 + byte(rng) * 0.7};
        const int blockColour[3] = {byte(rng), byte(rng), byte(rng)};
        for (int y = 0; y < size; ++y) {
            for (int x = 0; x < size; ++x) {
                double c[3] = {base[0] + 60 * std::sin(x / 23.0 + picture), base[1] + 50 * std::cos(y / 17.0),
                               base[2] + 40 * std::sin((x + y) / 31.0)};
                if ((x / 48 + y / 40) % 3 == picture) {
                    for (int k = 0; k < 3; ++k) c[k] = blockColour[k] * (0.7 + 0.3 * x / size) + 12 * std::sin(x * 0.9 + y * 1.3);
                }
                const double noise = y < flatRow ? 0.0 : grain(rng);
                colours.push_back({clamp(c[0] + noise), clamp(c[1] + noise), clamp(c[2] + noise)});
            }
        }
    }
    ExpectPlainMatches(colours, "texture-like", size);
}

TEST(QuantizeEquivalence, RandomColoursAndRuns) {
    std::mt19937 rng(3);
    std::uniform_int_distribution<int> byte(0, 255);
    std::vector<Rgb> colours;
    while (colours.size() < 60000) {
        const Rgb c{byte(rng), byte(rng), byte(rng)};
        // Some colours come in runs, which are matched once.
        const int run = byte(rng) < 32 ? 1 + byte(rng) % 5 : 1;
        for (int i = 0; i < run; ++i) colours.push_back(c);
    }
    ExpectPlainMatches(colours, "random", 300);
}

}  // namespace
