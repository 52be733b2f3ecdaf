// The whole export in one process, on the large scene that
// bench/make_large_scene.py writes: loading the JSON scene, and one press of
// "Save md2" with both skins, Save As answered by the scripted user.
//
// The scene is looked for at $VORN_BENCH_SCENE, else at
// build/bench-scene/large.json under the source folder; without it these
// benchmarks are skipped with a note saying how to make it.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "bench/bench_scenes.h"
#include "core/quake_export_utility.h"
#include "standin/host/host_files.h"
#include "standin/host/json_scene_loader.h"
#include "standin/windows/window_standin.h"
#include "support/test_files.h"

namespace {

std::string ScenePath() {
    if (const char* path = std::getenv("VORN_BENCH_SCENE")) return path;
    return std::string(VORN_SOURCE_DIR) + "/build/bench-scene/large.json";
}

bool SceneMissing(benchmark::State& state) {
    std::FILE* file = std::fopen(ScenePath().c_str(), "rb");
    if (file) {
        std::fclose(file);
        return false;
    }
    state.SkipWithError(("no scene at " + ScenePath() + ": run python3 bench/make_large_scene.py").c_str());
    return true;
}

void BM_LoadJsonScene(benchmark::State& state) {
    if (SceneMissing(state)) return;
    for (auto _ : state) {
        standin::Scene scene;
        std::string error;
        if (!standin::LoadJsonScene(ScenePath(), scene, error)) state.SkipWithError(error.c_str());
    }
}
BENCHMARK(BM_LoadJsonScene)->Unit(benchmark::kMillisecond);

void BM_RunExport(benchmark::State& state) {
    if (SceneMissing(state)) return;
    standin::Scene scene;
    std::string error;
    if (!standin::LoadJsonScene(ScenePath(), scene, error)) {
        state.SkipWithError(error.c_str());
        return;
    }
    standin::StandinHost host(&scene);
    testing_files::TempDir folder;
    standin::SetDriveFolder('C', folder.path());
    QuakeExportUtility utility;
    utility.hostInterface = &host;
    const std::string model = folder.path() + "/large";
    char skinName[kTextBufferSize];
    for (auto _ : state) {
        // A new file every time: an existing one would take the update path.
        std::remove((model + ".md2").c_str());
        standin::QueueSaveAs(model + ".md2");
        std::snprintf(skinName, sizeof skinName, "%s/skin", folder.path().c_str());
        if (!utility.RunExport(skinName, 1, 1, 0, 0, utility.frameCount - 1, 1.0f)) {
            state.SkipWithError(utility.engine.errorText);
            break;
        }
    }
    standin::SetDriveFolder('C', "");
}
BENCHMARK(BM_RunExport)->Unit(benchmark::kMillisecond);

}  // namespace
