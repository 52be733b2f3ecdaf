// Linking faces to texture records, their UV ranges, and the guillotine packer
// with the free rectangles it leaves behind.
#include <gtest/gtest.h>

#include <limits>
#include <ostream>
#include <vector>

#include "core/model_exporter.h"
#include "skin/texture_placement.h"

bool operator==(const FreeRect& a, const FreeRect& b) {
    return a.x == b.x && a.y == b.y && a.width == b.width && a.height == b.height;
}

std::ostream& operator<<(std::ostream& out, const FreeRect& r) {
    return out << "(" << r.x << ", " << r.y << ", " << r.width << ", " << r.height << ")";
}

namespace {

using Rects = std::vector<FreeRect>;

struct Size {
    int32_t width, height;
};

std::vector<TextureRecord> Records(const std::vector<Size>& sizes) {
    std::vector<TextureRecord> records(sizes.size());
    for (size_t i = 0; i < sizes.size(); ++i) {
        records[i].placeWidth = sizes[i].width;
        records[i].placeHeight = sizes[i].height;
    }
    return records;
}

// A free list with room for capacity rectangles, starting with these.
struct FreeList {
    FreeList(Rects start, size_t capacity) : rects(std::move(start)), count(int32_t(rects.size())) {
        rects.resize(capacity);
    }
    Rects Used() const { return Rects(rects.begin(), rects.begin() + count); }
    PlacementPass Pass(std::vector<TextureRecord>& records) {
        return PlaceNextTexture(records.data(), int32_t(records.size()), 0, rects.data(), &count,
                                int32_t(rects.size()));
    }
    Rects rects;
    int32_t count;
};

struct Placement {
    int record;
    int32_t x, y;
    Rects freeAfter;
};

// Each record goes into the smallest free rectangle that holds it, the earliest
// of equal ones. The cut that leaves the single largest piece wins, and a tie
// goes horizontal.
TEST(PlaceNextTexture, EachPassLeavesTheExpectedFreeRectangles) {
    const Rects page = {{0, 0, 480, 480}};
    const struct {
        const char* what;
        Rects start;
        std::vector<Size> sizes;
        std::vector<Placement> passes;
    } cases[] = {
        {"tall then small: vertical cut, right piece beats both horizontal ones", page,
         {{30, 250}, {100, 60}},
         {{0, 0, 0, {{30, 0, 450, 480}, {0, 250, 30, 230}}},
          {1, 30, 0, {{130, 0, 350, 60}, {0, 250, 30, 230}, {30, 60, 450, 420}}}}},
        {"wide: horizontal lower piece wins", page,
         {{200, 100}},
         {{0, 0, 0, {{200, 0, 280, 100}, {0, 100, 480, 380}}}}},
        {"a tie goes horizontal; the next cut is vertical", page,
         {{100, 50}, {480, 280}},
         {{1, 0, 0, {{480, 0, 0, 280}, {0, 280, 480, 200}}},
          {0, 0, 280, {{480, 0, 0, 280}, {100, 280, 380, 200}, {0, 330, 100, 150}}}}},
        // The vertical right piece (10 x 50) only ties the horizontal lower one.
        {"the smallest fitting rectangle, earliest first",
         {{0, 0, 100, 100}, {200, 0, 30, 90}, {300, 0, 50, 50}, {400, 0, 50, 50}, {500, 0, 45, 60}},
         {{40, 40}},
         {{0, 300, 0, {{0, 0, 100, 100}, {200, 0, 30, 90}, {340, 0, 10, 40}, {400, 0, 50, 50}, {500, 0, 45, 60},
                       {300, 40, 50, 10}}}}},
    };
    for (const auto& k : cases) {
        std::vector<TextureRecord> records = Records(k.sizes);
        FreeList list(k.start, k.start.size() + records.size());
        for (const Placement& p : k.passes) {
            ASSERT_EQ(list.Pass(records), PASS_PLACED) << k.what;
            const TextureRecord& r = records[size_t(p.record)];
            EXPECT_EQ(r.pageFlags(), PAGE_PLACED) << k.what;
            EXPECT_EQ(r.placeX, p.x) << k.what;
            EXPECT_EQ(r.placeY, p.y) << k.what;
            EXPECT_EQ(list.Used(), p.freeAfter) << k.what;
        }
        EXPECT_EQ(list.Pass(records), PASS_NOTHING_LEFT) << k.what;
    }
}

struct Spot {
    int32_t x, y;
};

// Whole runs on page 3; (-1, -1) stands for a record left unplaced, whose
// flags the run leaves clear of the no-room bit. Free rectangles count only
// below an area of 0x0FFFFFFF, formed without overflow.
TEST(PlaceTextures, PlacesLargestFirstWhereverThereIsRoom) {
    const struct {
        const char* what;
        Size page;
        std::vector<Size> sizes;
        std::vector<Spot> places;
    } cases[] = {
        // 40 x 40 goes to the corner; of the equal 200s, 20 x 10 goes first and
        // takes the strip beside it, 10 x 20 then fits the smaller piece under
        // it, and 5 x 40 (too tall for that piece) the rest of the strip.
        {"largest first, equal areas in array order", {480, 480},
         {{10, 10}, {20, 10}, {10, 20}, {40, 40}, {5, 40}},
         {{40, 30}, {40, 0}, {40, 10}, {0, 0}, {60, 0}}},
        // The no-room bit keeps the pass from trying the second 300 x 300 again.
        {"a second large record finds no room, a small one does", {480, 480},
         {{300, 300}, {300, 300}, {10, 10}},
         {{0, 0}, {-1, -1}, {300, 0}}},
        {"a full page refuses everything else", {480, 480}, {{1, 1}, {480, 480}, {2, 1}}, {{-1, -1}, {0, 0}, {-1, -1}}},
        {"records without area", {480, 480}, {{0, 50}, {50, 0}, {0, 0}, {-10, -10}, {-5, 7}, {3, 3}},
         {{-1, -1}, {-1, -1}, {-1, -1}, {-1, -1}, {-1, -1}, {0, 0}}},
        {"records too large for any page", {480, 480}, {{INT32_MAX, INT32_MAX}, {70000, 70000}, {INT32_MAX, 1}},
         {{-1, -1}, {-1, -1}, {-1, -1}}},
        {"a page of 268419072 pixels", {16383, 16384}, {{16, 16}}, {{0, 0}}},
        {"a page of 0x0FFFFFFF pixels", {16383, 16385}, {{16, 16}}, {{-1, -1}}},
        {"a page whose area overflows 32 bits", {INT32_MAX, INT32_MAX}, {{16, 16}}, {{-1, -1}}},
    };
    for (const auto& k : cases) {
        ModelExporter engine;
        std::vector<TextureRecord> records = Records(k.sizes);
        ASSERT_EQ(engine.PlaceTextures(records.data(), int32_t(records.size()), 3, k.page.width, k.page.height), 1);
        for (size_t i = 0; i < records.size(); ++i) {
            const bool placed = k.places[i].x >= 0;
            EXPECT_EQ(records[i].pageFlags(), placed ? 3 | PAGE_PLACED : 0u) << k.what << ", record " << i;
            if (!placed) continue;
            EXPECT_EQ(records[i].placeX, k.places[i].x) << k.what << ", record " << i;
            EXPECT_EQ(records[i].placeY, k.places[i].y) << k.what << ", record " << i;
        }
    }
}

TEST(PlaceTextures, PlacedRecordsStayAndOtherFlagBitsAreKept) {
    ModelExporter engine;
    std::vector<TextureRecord> records = Records({{100, 100}, {50, 50}});
    records[0].pageFlags() = 7 | PAGE_PLACED;
    records[0].placeX = 200;
    records[0].placeY = 300;
    records[1].pageFlags() = PAGE_NONE | 0x100;
    ASSERT_EQ(engine.PlaceTextures(records.data(), 2, 3, 480, 480), 1);
    EXPECT_EQ(records[0].pageFlags(), 7 | PAGE_PLACED);
    EXPECT_EQ(records[0].placeX, 200);
    EXPECT_EQ(records[0].placeY, 300);
    EXPECT_EQ(records[1].pageFlags(), 3 | 0x100 | PAGE_PLACED);
    EXPECT_EQ(records[1].placeX, 0);  // the placed record took no room
    EXPECT_EQ(records[1].placeY, 0);
}

// --- Faces to records ----------------------------------------------------------

ExportFace Face(const char* fileName, std::vector<float> u, std::vector<float> v) {
    ExportFace f;
    f.fileName = fileName;
    for (size_t c = 0; c < 3; ++c) {
        f.u[c] = u[c];
        f.v[c] = v[c];
    }
    return f;
}

// Names are compared by text, exactly; the last record of a name wins. Only on
// request are the ranges measured, and a NaN never becomes a bound.
TEST(MatchFaceTextures, LinksByExactNameAndOnRequestMeasuresTheUsedRange) {
    const float nan = std::numeric_limits<float>::quiet_NaN();
    char wall[] = "wall.bmp";
    char wallUpper[] = "Wall.bmp";
    std::vector<TextureRecord> records(4);
    records[0].fileName = "wall.bmp";
    records[1].fileName = "floor.bmp";
    records[2].fileName = "unused.bmp";
    records[3].fileName = "floor.bmp";
    const TextureRecord* links[] = {&records[0], &records[3], nullptr, nullptr, &records[0]};
    const struct {
        float uMin, uMax, vMin, vMax;
    } ranges[] = {{0.1f, 0.75f, 0.0f, 0.9f}, {0, 0, 0, 0}, {0, 0, 0, 0}, {1.25f, 1.75f, -0.75f, -0.25f}};
    for (int32_t options : {0, MATCH_UV_RANGE}) {
        std::vector<ExportFace> faces = {
            Face(wall, {0.25f, 0.5f, 0.75f}, {0.5f, 0.0f, 0.25f}),
            Face("floor.bmp", {1.25f, 1.75f, 1.5f}, {-0.5f, -0.25f, -0.75f}),  // tiled coordinates
            Face(nullptr, {9, 9, 9}, {9, 9, 9}),
            Face(wallUpper, {9, 9, 9}, {9, 9, 9}),
            Face(wall, {0.1f, nan, 0.2f}, {0.9f, 0.6f, nan}),
        };
        ModelExporter engine;
        ASSERT_EQ(engine.MatchFaceTextures(records.data(), 4, faces.data(), 5, options), 1);
        for (size_t i = 0; i < faces.size(); ++i) EXPECT_EQ(faces[i].texture, links[i]) << "face " << i;
        for (size_t i = 0; i < records.size(); ++i) {
            const bool measured = options == MATCH_UV_RANGE;
            EXPECT_EQ(records[i].uMin, measured ? ranges[i].uMin : 0) << "record " << i;
            EXPECT_EQ(records[i].uMax, measured ? ranges[i].uMax : 0) << "record " << i;
            EXPECT_EQ(records[i].vMin, measured ? ranges[i].vMin : 0) << "record " << i;
            EXPECT_EQ(records[i].vMax, measured ? ranges[i].vMax : 0) << "record " << i;
        }
    }
}

}  // namespace
