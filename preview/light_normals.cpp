#include "preview/light_normals.h"

namespace preview {

const float kLightNormals[kLightNormalCount][3] = {
#include "light_normals.inc"
};

}  // namespace preview
