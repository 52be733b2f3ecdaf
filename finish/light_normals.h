// The light-normal table of Quake II models: a vertex's normal byte indexes
// one of these unit directions, which the engines shade and push shells along.
#pragma once

namespace finish {

constexpr int kLightNormalCount = 162;

extern const float kLightNormals[kLightNormalCount][3];

// The index of the table direction closest to (x, y, z); the vector need not
// be unit length. A zero vector gives 0.
int NearestLightNormal(float x, float y, float z);

}  // namespace finish
