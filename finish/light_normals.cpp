// The 162 directions a Quake II model's light-normal byte selects, in index
// order, built from data/quake2-light-normals.csv, the project's one copy of
// the engines' table.
#include "finish/light_normals.h"

namespace finish {

const float kLightNormals[kLightNormalCount][3] = {
#include "light_normals.inc"
};

int NearestLightNormal(float x, float y, float z) {
    int best = 0;
    float bestDot = -2.0f;
    for (int i = 0; i < kLightNormalCount; ++i) {
        const float d = x * kLightNormals[i][0] + y * kLightNormals[i][1] + z * kLightNormals[i][2];
        if (d > bestDot) {
            bestDot = d;
            best = i;
        }
    }
    return best;
}

}  // namespace finish
