// The 162 unit vectors that a Quake II model's light-normal index selects, in
// index order. They are built from data/quake2-light-normals.csv, the one copy
// of the table in the project.
#pragma once

namespace preview {

constexpr int kLightNormalCount = 162;
extern const float kLightNormals[kLightNormalCount][3];

}  // namespace preview
