#include "standin/host/page_fit.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace standin {
namespace {

struct Rect {
    int64_t x = 0, y = 0, width = 0, height = 0;
};

// The plug-in sorts its records by name with upper-case letters folded to
// lower case (selection sort, so equal names keep no promised order).
int CompareNoCase(const std::string& a, const std::string& b) {
    auto fold = [](unsigned char c) { return (c >= 'A' && c <= 'Z') ? c + ('a' - 'A') : c; };
    for (size_t i = 0;; ++i) {
        const int ca = i < a.size() ? fold(static_cast<unsigned char>(a[i])) : 0;
        const int cb = i < b.size() ? fold(static_cast<unsigned char>(b[i])) : 0;
        if (ca != cb || ca == 0) return ca - cb;
    }
}

std::vector<size_t> RecordOrder(const std::vector<std::string>& names) {
    std::vector<size_t> order(names.size());
    for (size_t i = 0; i < order.size(); ++i) order[i] = i;
    for (size_t i = 0; i + 1 < order.size(); ++i) {
        size_t smallest = i;
        for (size_t j = i + 1; j < order.size(); ++j)
            if (CompareNoCase(names[order[j]], names[order[smallest]]) < 0) smallest = j;
        std::swap(order[i], order[smallest]);
    }
    return order;
}

// The used rectangles, in record order, all placed?
bool Packs(const std::vector<std::pair<int, int>>& used) {
    constexpr int64_t kAreaBound = 0x0FFFFFFF;
    const size_t n = used.size();
    std::vector<bool> done(n, false);
    std::vector<Rect> free{{0, 0, kSkinPageSide, kSkinPageSide}};
    const size_t capacity = n + 1;
    size_t placed = 0;
    for (size_t pass = 0; pass < n; ++pass) {
        int64_t largest = 0;
        size_t pick = n;
        for (size_t i = 0; i < n; ++i) {
            const auto [w, h] = used[i];
            const int64_t area = (w <= 0 || h <= 0) ? 0 : int64_t{w} * h;
            if (!done[i] && area > largest) {
                largest = area;
                pick = i;
            }
        }
        if (pick == n) break;
        done[pick] = true;  // placed, or out of room for good
        const int64_t tw = used[pick].first, th = used[pick].second;
        size_t chosen = free.size();
        int64_t smallest = kAreaBound;
        for (size_t i = 0; i < free.size(); ++i) {
            const Rect& r = free[i];
            if (tw <= r.width && th <= r.height && r.width * r.height < smallest) {
                smallest = r.width * r.height;
                chosen = i;
            }
        }
        if (chosen == free.size()) continue;
        ++placed;
        const Rect u = free[chosen];
        const int64_t vr = (u.width - tw) * u.height, vl = tw * (u.height - th);
        const int64_t hr = (u.width - tw) * th, hl = u.width * (u.height - th);
        const bool vertical = (vr > hr && vr > hl) || (vl > hr && vl > hl);
        free[chosen] = Rect{u.x + tw, u.y, u.width - tw, vertical ? u.height : th};
        if (free.size() < capacity) free.push_back(Rect{u.x, u.y + th, vertical ? tw : u.width, u.height - th});
    }
    return placed == n;
}

std::vector<std::pair<int, int>> UsedRects(const std::vector<PageTexture>& textures,
                                           const std::vector<std::pair<int, int>>& sizes) {
    std::vector<std::string> names;
    for (size_t i = 0; i < textures.size(); ++i) {
        const bool scaled = sizes[i] != std::make_pair(textures[i].width, textures[i].height);
        names.push_back(scaled ? textures[i].scaledName : textures[i].name);
    }
    std::vector<std::pair<int, int>> used;
    for (size_t i : RecordOrder(names))
        used.push_back({UsedSpan(sizes[i].first, textures[i].uSpan), UsedSpan(sizes[i].second, textures[i].vSpan)});
    return used;
}

}  // namespace

int UsedSpan(int size, float span) {
    const float v = static_cast<float>(size) * span;
    if (!(v > -2147483648.0f && v < 2147483648.0f)) return 0;
    return static_cast<int>(v);
}

bool PagePacks(const std::vector<PageTexture>& textures) {
    std::vector<std::pair<int, int>> sizes;
    for (const PageTexture& t : textures) sizes.push_back({t.width, t.height});
    return Packs(UsedRects(textures, sizes));
}

std::vector<std::pair<int, int>> FitToPage(const std::vector<PageTexture>& textures) {
    std::vector<std::pair<int, int>> sizes;
    for (const PageTexture& t : textures) sizes.push_back({t.width, t.height});
    if (Packs(UsedRects(textures, sizes))) return sizes;
    // A side above the page never fits, so the bound starts there; every
    // bound is tried, since a packing that fails at one may succeed below it.
    for (int bound = kSkinPageSide; bound >= 1; --bound) {
        std::vector<std::pair<int, int>> trial = sizes;
        for (size_t i = 0; i < textures.size(); ++i) {
            const PageTexture& t = textures[i];
            const int side = std::max(UsedSpan(t.width, t.uSpan), UsedSpan(t.height, t.vSpan));
            if (!t.scalable || side <= bound) continue;
            const double k = static_cast<double>(bound) / side;
            int w = std::max(1, static_cast<int>(std::floor(t.width * k)));
            int h = std::max(1, static_cast<int>(std::floor(t.height * k)));
            // Single-precision spans may round one pixel over.
            while ((UsedSpan(w, t.uSpan) > bound || UsedSpan(h, t.vSpan) > bound) && (w > 1 || h > 1)) {
                if (w > 1) --w;
                if (h > 1) --h;
            }
            trial[i] = {w, h};
        }
        // No packing holds more than the page's area: only bounds that pass that are tried in full.
        // (Sides held below 2^16, so that the sum cannot overflow.)
        int64_t area = 0;
        for (size_t i = 0; i < textures.size(); ++i)
            area += int64_t{std::min(UsedSpan(trial[i].first, textures[i].uSpan), 1 << 16)} *
                    std::min(UsedSpan(trial[i].second, textures[i].vSpan), 1 << 16);
        if (area <= int64_t{kSkinPageSide} * kSkinPageSide && Packs(UsedRects(textures, trial))) return trial;
    }
    return {};
}

}  // namespace standin
