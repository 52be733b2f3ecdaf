// The stand-in host's restatement of the plug-in's placement rule, held to the
// plug-in's own packer, and the fit that shrinks textures until the page packs.
#include <gtest/gtest.h>

#include <cstdio>
#include <random>
#include <utility>
#include <vector>

#include "core/model_exporter.h"
#include "standin/host/page_fit.h"

namespace {

using Sizes = std::vector<std::pair<int, int>>;

// Named in record order, each using its whole picture times span.
std::vector<standin::PageTexture> Textures(const Sizes& sizes, float span = 1) {
    std::vector<standin::PageTexture> out;
    for (size_t i = 0; i < sizes.size(); ++i) {
        char name[32];
        std::snprintf(name, sizeof name, "t%03zu", i);
        standin::PageTexture t;
        t.name = t.scaledName = name;
        t.width = sizes[i].first;
        t.height = sizes[i].second;
        t.uSpan = t.vSpan = span;
        out.push_back(t);
    }
    return out;
}

bool PluginPlacesAll(const Sizes& used) {
    ModelExporter engine;
    std::vector<TextureRecord> records(used.size());
    for (size_t i = 0; i < used.size(); ++i) {
        records[i].placeWidth = used[i].first;
        records[i].placeHeight = used[i].second;
    }
    engine.PlaceTextures(records.data(), static_cast<int32_t>(records.size()), 0, 480, 480);
    for (const TextureRecord& r : records)
        if (!r.IsPlaced()) return false;
    return true;
}

TEST(PageFit, PacksExactlyWhenThePluginPlacesEveryRectangle) {
    std::mt19937 random(17);
    int packed = 0;
    for (int trial = 0; trial < 3000; ++trial) {
        Sizes sizes(1 + random() % 10);
        for (auto& [w, h] : sizes) {
            w = static_cast<int>(random() % 330);
            h = static_cast<int>(random() % 330);
        }
        const bool plugin = PluginPlacesAll(sizes);
        packed += plugin;
        ASSERT_EQ(standin::PagePacks(Textures(sizes)), plugin) << "trial " << trial;
    }
    EXPECT_GT(packed, 300);  // both outcomes are well represented
    EXPECT_LT(packed, 2700);
}

TEST(PageFit, ShrinksWhatThePageCannotHoldToOneBoundAndNothingElse) {
    const struct {
        const char* what;
        Sizes sizes;
        float span;
        Sizes fitted;  // empty: no fit
    } cases[] = {
        {"the page holds them", {{256, 256}, {128, 64}}, 1, {{256, 256}, {128, 64}}},
        {"one large texture", {{1024, 1024}, {64, 64}}, 1, {{416, 416}, {64, 64}}},
        {"two large ones shrink alike", {{1024, 512}, {2048, 2048}}, 1, {{320, 160}, {320, 320}}},
        {"tiled six times", {{512, 512}}, 6, {{80, 80}}},
        {"coordinates all at one point", {{64, 64}}, 0, {}},
    };
    for (const auto& c : cases) {
        const auto textures = Textures(c.sizes, c.span);
        EXPECT_EQ(standin::FitToPage(textures), c.fitted) << c.what;
        if (c.fitted.empty()) continue;
        std::vector<standin::PageTexture> fitted = textures;
        for (size_t i = 0; i < fitted.size(); ++i) std::tie(fitted[i].width, fitted[i].height) = c.fitted[i];
        EXPECT_TRUE(standin::PagePacks(fitted)) << c.what;
    }
}

}  // namespace
