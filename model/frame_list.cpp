#include "model/frame_list.h"

#include <cstdio>
#include <cstring>

#include "core/quake_export_utility.h"

namespace {

// The player model's animations: each row names frames prefix + a running
// number of the given digit count, from 1. Three-digit names (pain101) are a
// variant digit in the prefix and two counting digits.
struct FrameRun {
    const char* prefix;
    int digits;
    int count;
};

constexpr FrameRun kDefaultFrameRuns[] = {
    {"stand", 2, 40},  {"run", 1, 6},       {"attack", 1, 8},   {"pain1", 2, 4},
    {"pain2", 2, 4},   {"pain3", 2, 4},     {"jump", 1, 6},     {"flip", 2, 12},
    {"salute", 2, 11}, {"taunt", 2, 17},    {"wave", 2, 11},    {"point", 2, 12},
    {"crstnd", 2, 19}, {"crwalk", 1, 6},    {"crattak", 1, 9},  {"crpain", 1, 4},
    {"crdeath", 1, 5}, {"death1", 2, 6},    {"death2", 2, 6},   {"death3", 2, 8},
};

}  // namespace

int32_t FillDefaultFrameNames(FrameNameSlots& slots) {
    int32_t n = 0;
    for (const FrameRun& run : kDefaultFrameRuns) {
        for (int i = 1; i <= run.count; ++i) {
            std::snprintf(slots[n], kFrameNameSize, "%s%0*d", run.prefix, run.digits, i);
            ++n;
        }
    }
    return n;
}

// The plug-in loads with the player model's names in its frame list.
QuakeExportUtility::QuakeExportUtility() {
    std::memset(frameNames, 0, sizeof frameNames);
    frameCount = FillDefaultFrameNames(frameNames);
}
