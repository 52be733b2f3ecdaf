// Linking faces to texture records, their UV ranges, and the guillotine packer
// with the free rectangles it leaves behind.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <ostream>
#include <vector>

#include "export/model_exporter.h"
#include "skin/texture_placement.h"

bool operator==(const FreeRect& a, const FreeRect& b) {
    return a.x == b.x && a.y == b.y && a.width == b.width && a.height == b.height;
}

std::ostream& operator<<(std::ostream& out, const FreeRect& r) {
    return out << "(" << r.x << ", " << r.y << ", " << r.width << ", " << r.height << ")";
}

namespace {

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

// A free list as PlaceTextures starts it: one page-sized rectangle.
struct FreeList {
    FreeList(int32_t pageWidth, int32_t pageHeight, int32_t capacity) : rects(static_cast<size_t>(capacity)) {
        rects[0] = FreeRect{0, 0, pageWidth, pageHeight};
    }
    std::vector<FreeRect> Used() const { return std::vector<FreeRect>(rects.begin(), rects.begin() + count); }
    PlacementPass Pass(std::vector<TextureRecord>& records) {
        return PlaceNextTexture(records.data(), static_cast<int32_t>(records.size()), 0, rects.data(), &count,
                                static_cast<int32_t>(rects.size()));
    }
    std::vector<FreeRect> rects;
    int32_t count = 1;
};

struct Placement {
    int record;
    int32_t x, y;
    std::vector<FreeRect> freeAfter;
};

TEST(PlaceTextures, EachPassLeavesTheExpectedFreeRectangles) {
    const struct {
        const char* what;
        std::vector<Size> sizes;
        std::vector<Placement> passes;
    } cases[] = {
        {"tall then small: vertical cut, right piece beats both horizontal ones",
         {{30, 250}, {100, 60}},
         {{0, 0, 0, {{30, 0, 450, 480}, {0, 250, 30, 230}}},
          {1, 30, 0, {{130, 0, 350, 60}, {0, 250, 30, 230}, {30, 60, 450, 420}}}}},
        {"wide: horizontal lower piece wins", {{200, 100}}, {{0, 0, 0, {{200, 0, 280, 100}, {0, 100, 480, 380}}}}},
        {"narrow and tall: vertical", {{50, 400}}, {{0, 0, 0, {{50, 0, 430, 480}, {0, 400, 50, 80}}}}},
        {"flat and wide: horizontal", {{400, 50}}, {{0, 0, 0, {{400, 0, 80, 50}, {0, 50, 480, 430}}}}},
        {"a tie goes horizontal; the next cut is vertical",
         {{100, 50}, {480, 280}},
         {{1, 0, 0, {{480, 0, 0, 280}, {0, 280, 480, 200}}},
          {0, 0, 280, {{480, 0, 0, 280}, {100, 280, 380, 200}, {0, 330, 100, 150}}}}},
        {"the page exactly", {{480, 480}}, {{0, 0, 0, {{480, 0, 0, 480}, {0, 480, 480, 0}}}}},
    };
    for (const auto& k : cases) {
        std::vector<TextureRecord> records = Records(k.sizes);
        FreeList list(480, 480, static_cast<int32_t>(records.size()) + 1);
        for (const Placement& p : k.passes) {
            ASSERT_EQ(list.Pass(records), PASS_PLACED) << k.what;
            const TextureRecord& r = records[static_cast<size_t>(p.record)];
            EXPECT_TRUE(r.IsPlaced()) << k.what;
            EXPECT_EQ(r.placeX, p.x) << k.what;
            EXPECT_EQ(r.placeY, p.y) << k.what;
            EXPECT_EQ(list.Used(), p.freeAfter) << k.what;
        }
        EXPECT_EQ(list.Pass(records), PASS_NOTHING_LEFT) << k.what;
    }
}

TEST(PlaceTextures, TakesTheSmallestFittingFreeRectangleEarliestFirst) {
    std::vector<TextureRecord> records = Records({{40, 40}});
    FreeList list(0, 0, 8);
    list.rects = {{0, 0, 100, 100}, {200, 0, 30, 90}, {300, 0, 50, 50}, {400, 0, 50, 50}, {500, 0, 45, 60}, {}, {}, {}};
    list.count = 5;
    ASSERT_EQ(list.Pass(records), PASS_PLACED);
    EXPECT_EQ(records[0].placeX, 300);
    // The vertical right piece (10 x 50) only ties the horizontal lower one: horizontal.
    EXPECT_EQ(list.Used(), (std::vector<FreeRect>{{0, 0, 100, 100}, {200, 0, 30, 90}, {340, 0, 10, 40},
                                                  {400, 0, 50, 50}, {500, 0, 45, 60}, {300, 40, 50, 10}}));
}

TEST(PlaceTextures, SecondLargeRecordFindsNoRoom) {
    std::vector<TextureRecord> records = Records({{300, 300}, {300, 300}});
    FreeList list(480, 480, 3);
    ASSERT_EQ(list.Pass(records), PASS_PLACED);
    EXPECT_EQ(list.Used(), (std::vector<FreeRect>{{300, 0, 180, 300}, {0, 300, 480, 180}}));
    EXPECT_EQ(list.Pass(records), PASS_NO_ROOM);
    EXPECT_EQ(records[1].pageFlags() & (PAGE_PLACED | PAGE_NO_ROOM), PAGE_NO_ROOM);
    EXPECT_EQ(list.Pass(records), PASS_NOTHING_LEFT);

    ModelExporter engine;
    std::vector<TextureRecord> again = Records({{300, 300}, {300, 300}});
    ASSERT_EQ(engine.PlaceTextures(again.data(), 2, 0, 480, 480), 1);
    EXPECT_TRUE(again[0].IsPlaced());
    EXPECT_EQ(again[1].pageFlags(), 0u) << "unplaced, and the no-room bit is gone after the run";
}

TEST(PlaceTextures, AFullPageRefusesEveryFurtherRecord) {
    ModelExporter engine;
    std::vector<TextureRecord> records = Records({{1, 1}, {480, 480}, {2, 1}});
    ASSERT_EQ(engine.PlaceTextures(records.data(), 3, 0, 480, 480), 1);
    EXPECT_TRUE(records[1].IsPlaced());
    EXPECT_EQ(records[1].placeX, 0);
    EXPECT_EQ(records[1].placeY, 0);
    EXPECT_FALSE(records[0].IsPlaced());
    EXPECT_FALSE(records[2].IsPlaced());
}

TEST(PlaceTextures, LargestFirstAndEqualAreasInArrayOrder) {
    ModelExporter engine;
    std::vector<TextureRecord> records = Records({{10, 10}, {20, 10}, {10, 20}, {40, 40}, {5, 40}});
    ASSERT_EQ(engine.PlaceTextures(records.data(), 5, 0, 480, 480), 1);
    // 40 x 40 goes to the corner; of the equal 200s, 20 x 10 goes first and
    // takes the strip beside it, 10 x 20 then fits the smaller piece under it,
    // and 5 x 40 (too tall for that piece) the rest of the strip.
    const struct {
        int32_t x, y;
    } want[] = {{40, 30}, {40, 0}, {40, 10}, {0, 0}, {60, 0}};
    for (size_t i = 0; i < records.size(); ++i) {
        EXPECT_TRUE(records[i].IsPlaced()) << i;
        EXPECT_EQ(records[i].placeX, want[i].x) << i;
        EXPECT_EQ(records[i].placeY, want[i].y) << i;
    }
}

TEST(PlaceTextures, RecordsWithoutAreaAreNeverPlaced) {
    ModelExporter engine;
    std::vector<TextureRecord> records = Records({{0, 50}, {50, 0}, {0, 0}, {-10, -10}, {-5, 7}, {3, 3}});
    ASSERT_EQ(engine.PlaceTextures(records.data(), 6, 0, 480, 480), 1);
    for (size_t i = 0; i < 5; ++i) EXPECT_EQ(records[i].pageFlags(), 0u) << i;
    EXPECT_TRUE(records[5].IsPlaced());
    EXPECT_EQ(records[5].placeX, 0);
}

TEST(PlaceTextures, WritesThePageAndKeepsOtherBits) {
    ModelExporter engine;
    std::vector<TextureRecord> records = Records({{10, 10}, {20, 20}});
    records[0].pageFlags() = PAGE_NONE | 0x100;
    records[1].pageFlags() = 0;
    ASSERT_EQ(engine.PlaceTextures(records.data(), 2, 3, 480, 480), 1);
    EXPECT_EQ(records[0].pageFlags(), 3u | 0x100 | PAGE_PLACED);
    EXPECT_EQ(records[1].pageFlags(), 3u | PAGE_PLACED);
}

TEST(PlaceTextures, AlreadyPlacedRecordsStayAndTakeNoSpace) {
    ModelExporter engine;
    std::vector<TextureRecord> records = Records({{100, 100}, {50, 50}});
    records[0].pageFlags() = 7 | PAGE_PLACED;
    records[0].placeX = 200;
    records[0].placeY = 300;
    ASSERT_EQ(engine.PlaceTextures(records.data(), 2, 0, 480, 480), 1);
    EXPECT_EQ(records[0].placeX, 200);
    EXPECT_EQ(records[0].placeY, 300);
    EXPECT_EQ(records[0].PageNumber(), 7u);
    EXPECT_EQ(records[1].placeX, 0);
    EXPECT_EQ(records[1].placeY, 0);
}

TEST(PlaceTextures, PagesAtAndAboveTheAreaBoundHoldNothing) {
    const struct {
        int32_t width, height;
        bool placed;
    } pages[] = {
        {16383, 16384, true},    // 268419072, below 0x0FFFFFFF
        {16383, 16385, false},   // exactly 0x0FFFFFFF
        {16384, 16384, false},
        {100000, 100000, false}, // would overflow 32 bits
        {INT32_MAX, INT32_MAX, false},
    };
    for (const auto& p : pages) {
        ModelExporter engine;
        std::vector<TextureRecord> records = Records({{16, 16}});
        ASSERT_EQ(engine.PlaceTextures(records.data(), 1, 0, p.width, p.height), 1);
        EXPECT_EQ(records[0].IsPlaced(), p.placed) << p.width << " x " << p.height;
    }
    ModelExporter engine;
    std::vector<TextureRecord> huge = Records({{INT32_MAX, INT32_MAX}, {70000, 70000}, {INT32_MAX, 1}});
    ASSERT_EQ(engine.PlaceTextures(huge.data(), 3, 0, 480, 480), 1);
    for (const TextureRecord& r : huge) EXPECT_FALSE(r.IsPlaced());
}

// --- Faces to records ----------------------------------------------------------

ExportFace Face(const char* fileName, std::vector<float> u, std::vector<float> v) {
    ExportFace f;
    f.fileName = fileName;
    for (int c = 0; c < 3; ++c) {
        f.u[c] = u[static_cast<size_t>(c)];
        f.v[c] = v[static_cast<size_t>(c)];
    }
    return f;
}

TEST(MatchFaceTextures, LinksByExactNameAndMeasuresTheUsedRange) {
    // Names in other buffers than the records': compared by text.
    char wall[] = "wall.bmp";
    char wallUpper[] = "Wall.bmp";
    std::vector<TextureRecord> records(3);
    records[0].fileName = "wall.bmp";
    records[1].fileName = "floor.bmp";
    records[2].fileName = "unused.bmp";
    std::vector<ExportFace> faces = {
        Face(wall, {0.25f, 0.5f, 0.75f}, {0.5f, 0.0f, 0.25f}),
        Face("floor.bmp", {1.25f, 1.75f, 1.5f}, {-0.5f, -0.25f, -0.75f}),  // tiled coordinates
        Face(nullptr, {9, 9, 9}, {9, 9, 9}),
        Face(wallUpper, {9, 9, 9}, {9, 9, 9}),
        Face(wall, {0.1f, 0.3f, 0.2f}, {0.9f, 0.6f, 0.7f}),
    };
    ModelExporter engine;
    ASSERT_EQ(engine.MatchFaceTextures(records.data(), 3, faces.data(), 5, MATCH_UV_RANGE), 1);
    EXPECT_EQ(faces[0].texture, &records[0]);
    EXPECT_EQ(faces[1].texture, &records[1]);
    EXPECT_EQ(faces[2].texture, nullptr);
    EXPECT_EQ(faces[3].texture, nullptr);
    EXPECT_EQ(faces[4].texture, &records[0]);

    const struct {
        float uMin, uMax, vMin, vMax;
    } want[] = {{0.1f, 0.75f, 0.0f, 0.9f}, {1.25f, 1.75f, -0.75f, -0.25f}, {0, 0, 0, 0}};
    for (size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(records[i].uMin, want[i].uMin) << i;
        EXPECT_EQ(records[i].uMax, want[i].uMax) << i;
        EXPECT_EQ(records[i].vMin, want[i].vMin) << i;
        EXPECT_EQ(records[i].vMax, want[i].vMax) << i;
    }
}

TEST(MatchFaceTextures, WithoutTheRangeOptionOnlyLinks) {
    std::vector<TextureRecord> records(1);
    records[0].fileName = "a.bmp";
    std::vector<ExportFace> faces = {Face("a.bmp", {0.5f, 0.6f, 0.7f}, {0.5f, 0.6f, 0.7f})};
    ModelExporter engine;
    ASSERT_EQ(engine.MatchFaceTextures(records.data(), 1, faces.data(), 1, 0), 1);
    EXPECT_EQ(faces[0].texture, &records[0]);
    EXPECT_EQ(records[0].uMax, 0.0f);
}

TEST(MatchFaceTextures, TheLastOfEqualNamesWinsAndNaNsAreNoBounds) {
    const float nan = std::numeric_limits<float>::quiet_NaN();
    std::vector<TextureRecord> records(2);
    records[0].fileName = "a.bmp";
    records[1].fileName = "a.bmp";
    std::vector<ExportFace> faces = {Face("a.bmp", {0.5f, nan, 0.25f}, {0.5f, 0.75f, nan})};
    ModelExporter engine;
    ASSERT_EQ(engine.MatchFaceTextures(records.data(), 2, faces.data(), 1, MATCH_UV_RANGE), 1);
    EXPECT_EQ(faces[0].texture, &records[1]);
    EXPECT_EQ(records[1].uMin, 0.25f);
    EXPECT_EQ(records[1].uMax, 0.5f);
    EXPECT_EQ(records[1].vMin, 0.5f);
    EXPECT_EQ(records[1].vMax, 0.75f);
    EXPECT_FALSE(std::isnan(records[1].uMin));
}

}  // namespace
