// Scenes and pictures the benchmarks work on, built in memory so that every
// stage can be timed on its own: tori of 16 x 16 vertices (256 vertices and
// 512 triangles each) tumbling by transform keys, like the large scene that
// bench/make_large_scene.py writes, and texture-like 24-bit pictures.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "core/quake_export_utility.h"
#include "standin/host/standin_scene.h"

namespace bench {

constexpr int kTorusVertices = 256;
constexpr int kTorusFaces = 512;
constexpr int kTextureSize = 128;

// Fills width x height pixels, three bytes each in blue, green, red order, rows
// stride bytes apart, with what real textures hold: smooth gradients, fine
// noise and photo-like blocks of mottled colour. The same seed gives the same
// pixels.
void FillTextureLike(uint8_t* pixels, int32_t width, int32_t height, int32_t stride, uint32_t seed);

// A scene of pieces selected tori, each with a material and bitmap
// ("tex<i>.tga") of its own (up to eight; more pieces share them), animated over 198 frames by a transform key every other frame.
struct ToriScene {
    explicit ToriScene(int pieces);
    standin::Scene scene;
    std::unique_ptr<standin::StandinHost> host;
};

// Runs the export up to the model file as the driver does, without reading
// files: collects and captures the scene at time 0 into utility, gives every
// bitmap a texture-like 128 x 128 picture, links faces to textures and places
// them on the page, and fixes the page size.
void PrepareExport(QuakeExportUtility& utility, ToriScene& tori);

}  // namespace bench
