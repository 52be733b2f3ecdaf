// The 8-bit skin: every pixel of the 24-bit skin matched to the nearest
// SkinPalette colour.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <new>
#include <vector>

#include "core/quake_export_utility.h"
#include "skin/skin_palette.h"

namespace {

// The nearest SkinPalette entry of a colour, exactly as a search of all 256
// entries finds it (integer squared distance, the lowest index on a tie), but
// with a few comparisons a pixel. The colour cube is cut into cells of
// 16 x 16 x 16 colours, and each cell keeps only the entries that can be
// nearest to some colour in it (see RuleOut); a pixel is compared with its
// cell's entries alone. Cells are worked out on first use, from the shorter
// list of the 32 x 32 x 32 cell around them, so that a skin pays only for the
// colours it has.
class PaletteMatcher {
public:
    PaletteMatcher() : large_(kLargeCells), cells_(kCells) {
        for (int i = 0; i < kSkinPaletteSize; ++i) {
            palette_[i] = Entry{SkinPalette[i].red, SkinPalette[i].green, SkinPalette[i].blue, static_cast<uint8_t>(i)};
        }
        entries_.reserve(size_t{1} << 12);
        terms_.reserve(size_t{1} << 14);
    }

    uint8_t Nearest(uint8_t red, uint8_t green, uint8_t blue) {
        Cell& cell = cells_[CellOf(red, green, blue, kShift)];
        if (cell.count == 0) cell = Build(red, green, blue);
        // The colour's place in its cell, blue lowest (see Term).
        const uint64_t place = uint64_t{blue & 15u} | uint64_t{green & 15u} << 16 | uint64_t{red & 15u} << 32;
        const Term* term = terms_.data() + cell.first;
        uint32_t best = UINT32_MAX;
        // Lists come in fours (see Build), and no branch depends on the colour.
        for (uint32_t i = 0; i < cell.count; i += 4) {
            for (int j = 0; j < 4; ++j) {
                const uint32_t cross = static_cast<uint32_t>((term[i + j].axes * place) >> 32) & 0xFFFF;
                best = std::min(best, term[i + j].key + (cross << 9));
            }
        }
        return static_cast<uint8_t>(best & 0xFF);
    }

private:
    struct Entry {
        uint8_t red, green, blue, index;
    };
    // Entry e of a cell whose first colour is lo. For a colour p = lo + d of
    // the cell (d from 0 to 15 on each axis), with c = lo - e,
    //   |p - e|^2 = sum c^2 + 2 sum (c + 255) d + (sum d^2 - 510 sum d),
    // and the bracket is the same for every entry, so sum c^2 + 2 sum (c + 255) d
    // orders the entries as their distances do. key holds sum c^2 above the
    // entry's index: the least key + (sum (c + 255) d << 9) is the nearest
    // entry, and of equally near ones the lowest index. axes holds the three
    // c + 255 in 16-bit fields, red lowest; times d with blue lowest, the
    // product holds sum (c + 255) d, which stays below 2^15, in bits 32 to 47,
    // and nothing carries into them from the fields below.
    struct Term {
        uint64_t axes;
        uint32_t key;
    };
    // A cell's list; every built cell has some, so a count of 0 means not built yet.
    struct Cell {
        uint32_t first = 0;
        uint32_t count = 0;
    };
    // A cell's colours: lo to hi on each axis, red, green, blue.
    struct Box {
        int lo[3];
        int hi[3];
    };

    static constexpr int kShift = 4;       // cells of 16 colours a side
    static constexpr int kLargeShift = 5;  // 32 a side
    static constexpr size_t kCells = size_t{1} << (3 * (8 - kShift));
    static constexpr size_t kLargeCells = size_t{1} << (3 * (8 - kLargeShift));

    static size_t CellOf(int red, int green, int blue, int shift) {
        const int bits = 8 - shift;
        return static_cast<size_t>(((red >> shift) << (2 * bits)) | ((green >> shift) << bits) | (blue >> shift));
    }

    static Box BoxOf(int red, int green, int blue, int shift) {
        const int side = (1 << shift) - 1;
        const int r = (red >> shift) << shift, g = (green >> shift) << shift, b = (blue >> shift) << shift;
        return Box{{r, g, b}, {r + side, g + side, b + side}};
    }

    Cell Build(int red, int green, int blue) {
        Cell& large = large_[CellOf(red, green, blue, kLargeShift)];
        Entry kept[kSkinPaletteSize];
        if (large.count == 0) {
            const uint32_t n = RuleOut(palette_, kSkinPaletteSize, BoxOf(red, green, blue, kLargeShift), kept, false);
            large.first = static_cast<uint32_t>(entries_.size());
            large.count = n;
            entries_.insert(entries_.end(), kept, kept + n);
        }
        const Box box = BoxOf(red, green, blue, kShift);
        const uint32_t n = RuleOut(entries_.data() + large.first, large.count, box, kept, true);
        Cell cell;
        cell.first = static_cast<uint32_t>(terms_.size());
        for (uint32_t i = 0; i < n; ++i) {
            const int c[3] = {box.lo[0] - kept[i].red, box.lo[1] - kept[i].green, box.lo[2] - kept[i].blue};
            Term term;
            term.axes = uint64_t(c[0] + 255) | uint64_t(c[1] + 255) << 16 | uint64_t(c[2] + 255) << 32;
            term.key = static_cast<uint32_t>(c[0] * c[0] + c[1] * c[1] + c[2] * c[2]) << 8 | kept[i].index;
            terms_.push_back(term);
        }
        // The last term repeated up to a multiple of four: it gives the same
        // key again and changes no result.
        while ((terms_.size() - cell.first) % 4 != 0) terms_.push_back(terms_.back());
        cell.count = static_cast<uint32_t>(terms_.size()) - cell.first;
        return cell;
    }

    // Copies to kept, in their order, the entries of from that can be nearest
    // to some colour of the box, and returns how many. An entry e is ruled
    // out when another entry f is strictly nearer at every colour of the box,
    // so that e can neither win nor tie there. Two tests find such an f:
    // - e's least squared distance to the box exceeds f's greatest;
    // - |p - e|^2 - |p - f|^2 = 2 p.(f - e) + |e|^2 - |f|^2 is linear in p,
    //   so it is positive on the whole box when it is at the corner where it
    //   is least. The entry nearest the box's centre is tried first, as it
    //   rules out most; then, with pairs, every pair of what is left (worth
    //   its cost only for the lists that pixels are compared with).
    static uint32_t RuleOut(const Entry* from, uint32_t count, const Box& box, Entry* kept, bool pairs) {
        uint32_t least[kSkinPaletteSize];
        uint32_t bound = UINT32_MAX;
        for (uint32_t i = 0; i < count; ++i) {
            const int value[3] = {from[i].red, from[i].green, from[i].blue};
            uint32_t nearest = 0, farthest = 0;
            for (int a = 0; a < 3; ++a) {
                const int inside = std::max(0, box.lo[a] - value[a]) + std::max(0, value[a] - box.hi[a]);
                const int across = std::max(value[a] - box.lo[a], box.hi[a] - value[a]);
                nearest += static_cast<uint32_t>(inside * inside);
                farthest += static_cast<uint32_t>(across * across);
            }
            least[i] = nearest;
            bound = std::min(bound, farthest);
        }
        uint32_t n = 0;
        for (uint32_t i = 0; i < count; ++i) {
            kept[n] = from[i];
            n += least[i] <= bound ? 1 : 0;
        }

        // Doubled coordinates keep the centre whole.
        uint32_t central = 0, closest = UINT32_MAX;
        for (uint32_t i = 0; i < n; ++i) {
            const Entry& e = kept[i];
            const int dr = 2 * e.red - (box.lo[0] + box.hi[0]);
            const int dg = 2 * e.green - (box.lo[1] + box.hi[1]);
            const int db = 2 * e.blue - (box.lo[2] + box.hi[2]);
            const uint32_t d = static_cast<uint32_t>(dr * dr + dg * dg + db * db);
            if (d < closest) closest = d, central = i;
        }
        const Entry anchor = kept[central];
        uint32_t m = 0;
        for (uint32_t i = 0; i < n; ++i) {
            const Entry e = kept[i];
            kept[m] = e;
            m += Beats(anchor, e, box) ? 0 : 1;
        }

        if (!pairs) return m;
        bool beaten[kSkinPaletteSize] = {};
        for (uint32_t i = 0; i < m; ++i) {
            for (uint32_t j = 0; j < m && !beaten[i]; ++j) beaten[i] = j != i && Beats(kept[j], kept[i], box);
        }
        n = 0;
        for (uint32_t i = 0; i < m; ++i) {
            kept[n] = kept[i];
            n += beaten[i] ? 0 : 1;
        }
        return n;
    }

    // Whether f is strictly nearer than e at every colour of the box.
    static bool Beats(const Entry& f, const Entry& e, const Box& box) {
        const int fv[3] = {f.red, f.green, f.blue};
        const int ev[3] = {e.red, e.green, e.blue};
        int lowest = 0;
        for (int a = 0; a < 3; ++a) {
            const int w = fv[a] - ev[a];
            lowest += 2 * (w > 0 ? box.lo[a] : box.hi[a]) * w + ev[a] * ev[a] - fv[a] * fv[a];
        }
        return lowest > 0;
    }

    Entry palette_[kSkinPaletteSize];
    std::vector<Cell> large_;
    std::vector<Cell> cells_;
    std::vector<Entry> entries_;  // the large cells' lists
    std::vector<Term> terms_;     // the cells' lists
};

}  // namespace

// Replaces skinIndexBuffer with skinWidth x skinHeight palette indices, rows
// back to back, top row first. 0 when the buffer cannot be had (or there is no
// 24-bit skin to read).
int QuakeExportUtility::QuantizeSkin() {
    delete[] skinIndexBuffer;
    skinIndexBuffer = nullptr;
    // Without a 24-bit skin of this size there is nothing to match.
    if (skinWidth < 0 || skinHeight < 0 || skinWidth > INT32_MAX / 3 - 1) return 0;
    const size_t width = static_cast<size_t>(skinWidth);
    const size_t height = static_cast<size_t>(skinHeight);
    if (!skinBuffer && width * height != 0) return 0;
    skinIndexBuffer = new (std::nothrow) uint8_t[width * height];
    if (!skinIndexBuffer) return 0;
    const size_t stride = static_cast<size_t>(SkinStride(skinWidth));
    PaletteMatcher matcher;
    for (size_t y = 0; y < height; ++y) {
        const uint8_t* pixel = skinBuffer + y * stride;
        uint8_t* index = skinIndexBuffer + y * width;
        for (size_t x = 0; x < width; ++x, pixel += 3) {
            // Runs of one colour, common in textures, are matched once.
            if (x > 0 && pixel[0] == pixel[-3] && pixel[1] == pixel[-2] && pixel[2] == pixel[-1]) {
                index[x] = index[x - 1];
            } else {
                index[x] = matcher.Nearest(pixel[2], pixel[1], pixel[0]);
            }
        }
    }
    return 1;
}

