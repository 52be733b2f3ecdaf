// The stages whose cost grows with the work: mesh capture, texture matching
// and placement, composition, palette matching, PCX encoding and the frame
// writer. Sizes are those of the large benchmark scene unless a range shows
// how a stage scales.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "bench/bench_scenes.h"
#include "core/quake_export_utility.h"
#include "skin/skin_palette.h"
#include "support/test_files.h"

namespace {

constexpr int kLargePieces = 8;  // 2,048 vertices, 4,096 triangles
constexpr int32_t kFullSkin = 480;

int32_t TicksAt(int frame) { return frame * standin::kDefaultTicksPerFrame; }

void BM_CaptureMeshes(benchmark::State& state) {
    bench::ToriScene tori(kLargePieces);
    ModelExporter engine;
    engine.CollectNodes(tori.host.get(), NODE_SELECTED | NODE_HAS_MATERIAL);
    int frame = 0;
    int32_t vertexCount = 0;
    for (auto _ : state) {
        ExportVertex* vertices = nullptr;
        ExportFace* faces = nullptr;
        int32_t faceCount = 0;
        engine.CaptureMeshes(0, static_cast<uint32_t>(engine.nodeCount), &vertices, &faces, &vertexCount, &faceCount,
                             CAPTURE_WORLD_SPACE, TicksAt(frame));
        benchmark::DoNotOptimize(vertices);
        delete[] vertices;
        delete[] faces;
        frame = (frame + 1) % 198;
    }
    state.counters["vertices"] = vertexCount;
    state.SetItemsProcessed(state.iterations() * vertexCount);
}
BENCHMARK(BM_CaptureMeshes)->Unit(benchmark::kMicrosecond);

// Faces linked to their records and the UV ranges measured, then the used
// rectangles packed: the driver's steps between capture and page size.
void BM_MatchAndPlaceTextures(benchmark::State& state) {
    bench::ToriScene tori(kLargePieces);
    QuakeExportUtility utility;
    bench::PrepareExport(utility, tori);
    for (auto _ : state) {
        for (int32_t i = 0; i < utility.faceCount; ++i) utility.faces[i].texture = nullptr;
        utility.engine.MatchFaceTextures(utility.textures, utility.textureCount, utility.faces, utility.faceCount,
                                         MATCH_UV_RANGE);
        for (int32_t i = 0; i < utility.textureCount; ++i) {
            utility.textures[i].pageFlags() = 0;
        }
        utility.engine.PlaceTextures(utility.textures, utility.textureCount, 0, kFullSkin, kFullSkin);
    }
    state.SetItemsProcessed(state.iterations() * utility.faceCount);
}
BENCHMARK(BM_MatchAndPlaceTextures)->Unit(benchmark::kMicrosecond);

// Many records of assorted sizes on one 480 x 480 page; those that find no
// room stay unplaced, as in an export that fails its placement check.
void BM_PlaceTextures(benchmark::State& state) {
    const int32_t count = static_cast<int32_t>(state.range(0));
    std::vector<TextureRecord> records(static_cast<size_t>(count));
    std::mt19937 rng(5);
    std::uniform_int_distribution<int32_t> side(4, 48);
    for (TextureRecord& r : records) {
        r.placeWidth = side(rng);
        r.placeHeight = side(rng);
    }
    ModelExporter engine;
    int32_t placed = 0;
    for (auto _ : state) {
        for (TextureRecord& r : records) r.pageFlags() = 0;
        engine.PlaceTextures(records.data(), count, 0, kFullSkin, kFullSkin);
        placed = 0;
        for (const TextureRecord& r : records) placed += r.IsPlaced() ? 1 : 0;
    }
    state.counters["placed"] = placed;
    state.SetComplexityN(count);
}
BENCHMARK(BM_PlaceTextures)->RangeMultiplier(4)->Range(16, 1024)->Complexity()->Unit(benchmark::kMicrosecond);

void BM_ComposeSkin(benchmark::State& state) {
    bench::ToriScene tori(kLargePieces);
    QuakeExportUtility utility;
    bench::PrepareExport(utility, tori);
    for (auto _ : state) {
        utility.ComposeSkin();
        benchmark::DoNotOptimize(utility.skinBuffer);
    }
    state.counters["width"] = utility.skinWidth;
    state.counters["height"] = utility.skinHeight;
    state.SetItemsProcessed(state.iterations() * utility.skinWidth * utility.skinHeight);
}
BENCHMARK(BM_ComposeSkin)->Unit(benchmark::kMicrosecond);

// A full 480 x 480 skin of texture-like colours.
struct FullSkin {
    FullSkin() {
        utility.skinWidth = kFullSkin;
        utility.skinHeight = kFullSkin;
        const int32_t stride = QuakeExportUtility::SkinStride(kFullSkin);
        utility.skinBuffer = new uint8_t[static_cast<size_t>(stride) * kFullSkin];
        bench::FillTextureLike(utility.skinBuffer, kFullSkin, kFullSkin, stride, 2024);
    }
    QuakeExportUtility utility;
};

void BM_QuantizeSkin(benchmark::State& state) {
    FullSkin skin;
    for (auto _ : state) {
        skin.utility.QuantizeSkin();
        benchmark::DoNotOptimize(skin.utility.skinIndexBuffer);
    }
    state.SetItemsProcessed(state.iterations() * kFullSkin * kFullSkin);
}
BENCHMARK(BM_QuantizeSkin)->Unit(benchmark::kMillisecond);

// The plain search of all 256 entries a pixel, for comparison.
void BM_QuantizeSkinFullSearch(benchmark::State& state) {
    FullSkin skin;
    std::vector<uint8_t> out(static_cast<size_t>(kFullSkin) * kFullSkin);
    const int32_t stride = QuakeExportUtility::SkinStride(kFullSkin);
    for (auto _ : state) {
        for (int32_t y = 0; y < kFullSkin; ++y) {
            const uint8_t* p = skin.utility.skinBuffer + static_cast<size_t>(y) * stride;
            for (int32_t x = 0; x < kFullSkin; ++x, p += 3) {
                uint32_t best = UINT32_MAX;
                int bestIndex = 0;
                for (int i = 0; i < kSkinPaletteSize; ++i) {
                    const int dr = p[2] - SkinPalette[i].red, dg = p[1] - SkinPalette[i].green,
                              db = p[0] - SkinPalette[i].blue;
                    const uint32_t d = static_cast<uint32_t>(dr * dr + dg * dg + db * db);
                    if (d < best) best = d, bestIndex = i;
                }
                out[static_cast<size_t>(y) * kFullSkin + x] = static_cast<uint8_t>(bestIndex);
            }
        }
        benchmark::DoNotOptimize(out.data());
    }
    state.SetItemsProcessed(state.iterations() * kFullSkin * kFullSkin);
}
BENCHMARK(BM_QuantizeSkinFullSearch)->Unit(benchmark::kMillisecond);

void BM_WritePcxSkin(benchmark::State& state) {
    FullSkin skin;
    skin.utility.QuantizeSkin();
    testing_files::TempDir folder;
    char name[kTextBufferSize];
    for (auto _ : state) {
        std::snprintf(name, sizeof name, "%s/skin", folder.path().c_str());
        skin.utility.WritePcxSkin(name);
    }
    state.SetItemsProcessed(state.iterations() * kFullSkin * kFullSkin);
}
BENCHMARK(BM_WritePcxSkin)->Unit(benchmark::kMicrosecond);

// One frame: capture, turn, box and quantise. Vertices in steps of one torus
// (256) doubling, to show the cost linear in them.
void BM_EncodeFrame(benchmark::State& state) {
    bench::ToriScene tori(static_cast<int>(state.range(0)) / bench::kTorusVertices);
    QuakeExportUtility utility;
    bench::PrepareExport(utility, tori);
    std::vector<uint8_t> out;
    int frame = 0;
    for (auto _ : state) {
        out.clear();
        utility.EncodeFrame(TicksAt(frame), utility.frameNames[frame], 1.0f, out);
        frame = (frame + 1) % 198;
    }
    state.SetComplexityN(utility.vertexCount);
    state.SetItemsProcessed(state.iterations() * utility.vertexCount);
}
BENCHMARK(BM_EncodeFrame)->RangeMultiplier(2)->Range(512, 8192)->Complexity(benchmark::oN)->Unit(benchmark::kMicrosecond);

// Times whole new model files of the scene with frameCount frames (0: the
// default list), against the benchmark's range argument.
void WriteNewModels(benchmark::State& state, bench::ToriScene& tori, int32_t frameCount) {
    QuakeExportUtility utility;
    bench::PrepareExport(utility, tori);
    if (frameCount) utility.frameCount = frameCount;
    testing_files::TempDir folder;
    char path[kPathBufferSize];
    for (auto _ : state) {
        std::snprintf(path, sizeof path, "%s/model", folder.path().c_str());
        utility.WriteNewModel(path, 1.0f);
    }
    state.SetComplexityN(state.range(0));
}

// A whole new model file, the frame count doubling at 2,048 vertices.
void BM_WriteNewModelFrames(benchmark::State& state) {
    bench::ToriScene tori(kLargePieces);
    WriteNewModels(state, tori, static_cast<int32_t>(state.range(0)));
}
BENCHMARK(BM_WriteNewModelFrames)->RangeMultiplier(2)->Range(32, 256)->Complexity(benchmark::oN)->Unit(benchmark::kMillisecond);

// A whole new model file of 198 frames, the vertex count doubling.
void BM_WriteNewModelVertices(benchmark::State& state) {
    bench::ToriScene tori(static_cast<int>(state.range(0)) / bench::kTorusVertices);
    WriteNewModels(state, tori, 0);
}
BENCHMARK(BM_WriteNewModelVertices)->RangeMultiplier(2)->Range(512, 8192)->Complexity(benchmark::oN)->Unit(benchmark::kMillisecond);

// What the driver asks of the writer on a new file with the panel's defaults:
// the new file, then the update of frames 0 to 197 from host frame 0.
void BM_SaveModelNewFile(benchmark::State& state) {
    bench::ToriScene tori(kLargePieces);
    QuakeExportUtility utility;
    bench::PrepareExport(utility, tori);
    testing_files::TempDir folder;
    char path[kPathBufferSize];
    const std::string file = folder.path() + "/model.md2";
    for (auto _ : state) {
        std::remove(file.c_str());
        std::snprintf(path, sizeof path, "%s/model", folder.path().c_str());
        utility.SaveModel(path, 0, utility.frameCount - 1, 0, 1.0f);
    }
}
BENCHMARK(BM_SaveModelNewFile)->Unit(benchmark::kMillisecond);

}  // namespace
