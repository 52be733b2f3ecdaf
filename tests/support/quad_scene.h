// A small scene for model tests: one selected, textured quad (4 vertices,
// 2 faces) that rises 50 units along z over frames 0..10.
#pragma once

#include <memory>

#include "core/quake_export_utility.h"
#include "standin/host/standin_scene.h"

namespace testing_scenes {

struct QuadScene {
    QuadScene();
    standin::Scene scene;
    standin::SceneNode* quad = nullptr;
    std::unique_ptr<standin::StandinHost> host;
};

// Collects and captures the scene at time 0 into the utility, and gives its faces
// one placed texture record: a 64 x 32 image at (8, 4) on a 72 x 36 page.
void PrepareExport(QuakeExportUtility& utility, standin::StandinHost& host);

}  // namespace testing_scenes
