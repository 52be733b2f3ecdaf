#include "bench/bench_scenes.h"

#include <algorithm>
#include <cmath>
#include <random>
#include <stdexcept>

namespace bench {

namespace {

constexpr int kRing = 16;
constexpr int kSegments = 16;
constexpr int kFrames = 198;
constexpr int kMaxTextures = 8;
constexpr double kPi = 3.14159265358979323846;

uint8_t Clamp(double v) { return static_cast<uint8_t>(std::max(0.0, std::min(255.0, v))); }

Mesh TorusMesh() {
    Mesh m;
    for (int s = 0; s < kSegments; ++s) {
        const double a = 2 * kPi * s / kSegments;
        for (int r = 0; r < kRing; ++r) {
            const double b = 2 * kPi * r / kRing;
            const double d = 10.0 + 3.5 * std::cos(b);
            m.verts.emplace_back(static_cast<float>(d * std::cos(a)), static_cast<float>(d * std::sin(a)),
                                 static_cast<float>(3.5 * std::sin(b)));
        }
    }
    for (int s = 0; s <= kSegments; ++s) {
        for (int r = 0; r <= kRing; ++r) {
            m.tVerts.emplace_back(static_cast<float>(s) / kSegments, static_cast<float>(r) / kRing, 0.0f);
        }
    }
    auto addFace = [&m](uint32_t a, uint32_t b, uint32_t c, uint32_t ta, uint32_t tb, uint32_t tc) {
        Face f;
        f.v[0] = a, f.v[1] = b, f.v[2] = c;
        f.smGroup = 1;
        m.faces.push_back(f);
        TVFace t;
        t.t[0] = ta, t.t[1] = tb, t.t[2] = tc;
        m.tvFace.push_back(t);
    };
    for (int s = 0; s < kSegments; ++s) {
        for (int r = 0; r < kRing; ++r) {
            const uint32_t v00 = s * kRing + r, v10 = ((s + 1) % kSegments) * kRing + r;
            const uint32_t v01 = s * kRing + (r + 1) % kRing, v11 = ((s + 1) % kSegments) * kRing + (r + 1) % kRing;
            const uint32_t t00 = s * (kRing + 1) + r, t10 = (s + 1) * (kRing + 1) + r;
            const uint32_t t01 = t00 + 1, t11 = t10 + 1;
            addFace(v00, v10, v11, t00, t10, t11);
            addFace(v00, v11, v01, t00, t11, t01);
        }
    }
    return m;
}

// Piece i at a frame: a spin about z, a tilt about x and a bob, as host rows.
Matrix3 Motion(int i, int pieces, int frame) {
    const double t = static_cast<double>(frame) / kFrames;
    const double spin = 2 * kPi * (t * (1 + i % 3)) + 0.4 * i;
    const double tilt = 0.6 * std::sin(2 * kPi * (2 * t + static_cast<double>(i) / pieces));
    const double cs = std::cos(spin), ss = std::sin(spin), ct = std::cos(tilt), st = std::sin(tilt);
    // r = rx * rz (columns act on points); row k of the host matrix is column k of r.
    const double r[3][3] = {{cs, -ss, 0}, {ct * ss, ct * cs, -st}, {st * ss, st * cs, ct}};
    Matrix3 m;
    for (int k = 0; k < 3; ++k) {
        m.row[k] = Point3(static_cast<float>(r[0][k]), static_cast<float>(r[1][k]), static_cast<float>(r[2][k]));
    }
    const double bob = 8.0 * std::sin(2 * kPi * (3 * t + static_cast<double>(i) / pieces));
    m.row[3] = Point3(static_cast<float>(-45.0 + 30.0 * (i % 4)), static_cast<float>(-15.0 + 30.0 * (i / 4)),
                      static_cast<float>(bob));
    return m;
}

}  // namespace

void FillTextureLike(uint8_t* pixels, int32_t width, int32_t height, int32_t stride, uint32_t seed) {
    std::mt19937 rng(seed);
    std::normal_distribution<double> grain(0.0, 9.0);
    std::uniform_real_distribution<double> jitter(-4.0, 4.0);
    std::uniform_int_distribution<int> byte(0, 255);
    const double base[3] = {40.0 + byte(rng) * 0.7, 40.0 + byte(rng) * 0.7, 40.0 + byte(rng) * 0.7};
    struct Block {
        int x0, y0, x1, y1;
        double colour[3];
        double shade;
    };
    std::vector<Block> blocks;
    const int blockCount = std::max(4, width * height / 1600);
    for (int i = 0; i < blockCount; ++i) {
        Block b;
        b.x0 = std::uniform_int_distribution<int>(0, width - 1)(rng);
        b.y0 = std::uniform_int_distribution<int>(0, height - 1)(rng);
        b.x1 = b.x0 + std::uniform_int_distribution<int>(12, 48)(rng);
        b.y1 = b.y0 + std::uniform_int_distribution<int>(12, 48)(rng);
        for (double& c : b.colour) c = byte(rng);
        b.shade = std::uniform_real_distribution<double>(0.0, 0.5)(rng);
        blocks.push_back(b);
    }
    for (int32_t y = 0; y < height; ++y) {
        uint8_t* row = pixels + static_cast<size_t>(y) * stride;
        for (int32_t x = 0; x < width; ++x) {
            double c[3] = {base[0] + 60.0 * std::sin(x / 23.0 + seed), base[1] + 50.0 * std::cos(y / 17.0 + seed),
                           base[2] + 40.0 * std::sin((x + y) / 31.0)};
            for (const Block& b : blocks) {
                if (x < b.x0 || x >= b.x1 || y < b.y0 || y >= b.y1) continue;
                const double light = 0.75 + b.shade * (x - b.x0) / (b.x1 - b.x0);
                const double mottle = 12.0 * std::sin(x * 0.9 + y * 1.3);
                for (int k = 0; k < 3; ++k) c[k] = b.colour[k] * light + mottle;
            }
            const double noise = grain(rng);
            row[3 * x + 0] = Clamp(c[2] + noise + jitter(rng));
            row[3 * x + 1] = Clamp(c[1] + noise + jitter(rng));
            row[3 * x + 2] = Clamp(c[0] + noise + jitter(rng));
        }
    }
}

ToriScene::ToriScene(int pieces) {
    const Mesh torus = TorusMesh();
    // Eight bitmaps fill the page; more pieces share them.
    const int materials = std::min(pieces, kMaxTextures);
    for (int i = 0; i < materials; ++i) {
        standin::SceneMaterial* material = scene.AddMaterial("Piece" + std::to_string(i));
        material->diffuse = std::make_unique<standin::SceneBitmapTex>("tex" + std::to_string(i) + ".tga");
    }
    for (int i = 0; i < pieces; ++i) {
        standin::SceneMaterial* material = scene.materials[static_cast<size_t>(i % materials)].get();
        auto node = std::make_unique<standin::SceneNode>();
        node->name = "Torus" + std::to_string(i);
        node->selected = true;
        node->material = material;
        node->convertible = true;
        node->hasMesh = true;
        node->mesh = torus;
        for (int frame = 0; frame < kFrames; frame += 2) {
            node->transformKeys.push_back({static_cast<double>(frame), Motion(i, pieces, frame)});
        }
        node->transformKeys.push_back({kFrames - 1.0, Motion(i, pieces, kFrames - 1)});
        scene.root->AddChild(std::move(node));
    }
    host = std::make_unique<standin::StandinHost>(&scene);
}

void PrepareExport(QuakeExportUtility& utility, ToriScene& tori) {
    utility.hostInterface = tori.host.get();
    utility.engine.CollectNodes(tori.host.get(), NODE_SELECTED | NODE_HAS_MATERIAL);
    utility.engine.CaptureMeshes(0, static_cast<uint32_t>(utility.engine.nodeCount), &utility.vertices,
                                 &utility.faces, &utility.vertexCount, &utility.faceCount, CAPTURE_WORLD_SPACE, 0);
    const int32_t count = static_cast<int32_t>(tori.scene.materials.size());
    utility.textures = new TextureRecord[static_cast<size_t>(count)];
    utility.textureCount = count;
    for (int32_t i = 0; i < count; ++i) {
        TextureRecord& r = utility.textures[i];
        auto* map = static_cast<standin::SceneBitmapTex*>(tori.scene.materials[static_cast<size_t>(i)]->diffuse.get());
        r.fileName = map->fileName.c_str();
        BitmapImage& image = r.image;
        image.header.size = 40;
        image.header.width = kTextureSize;
        image.header.height = kTextureSize;
        image.header.planes = 1;
        image.header.bitCount = 24;
        const int32_t stride = image.Stride();
        image.pixels.reset(new uint8_t[static_cast<size_t>(stride) * kTextureSize]);
        FillTextureLike(image.pixels.get(), kTextureSize, kTextureSize, stride, static_cast<uint32_t>(i + 1));
    }
    utility.engine.MatchFaceTextures(utility.textures, count, utility.faces, utility.faceCount, MATCH_UV_RANGE);
    for (int32_t i = 0; i < count; ++i) {
        TextureRecord& r = utility.textures[i];
        r.placeWidth = static_cast<int32_t>(static_cast<float>(r.image.Width()) * (r.uMax - r.uMin));
        r.placeHeight = static_cast<int32_t>(static_cast<float>(r.image.Height()) * (r.vMax - r.vMin));
        r.SetPageNumber(0);
    }
    utility.engine.PlaceTextures(utility.textures, count, 0, 480, 480);
    utility.skinWidth = 0;
    utility.skinHeight = 0;
    for (int32_t i = 0; i < count; ++i) {
        const TextureRecord& r = utility.textures[i];
        if (!r.IsPlaced()) throw std::runtime_error("the benchmark's textures do not fit the page");
        utility.skinWidth = std::max(utility.skinWidth, r.placeX + r.placeWidth);
        utility.skinHeight = std::max(utility.skinHeight, r.placeY + r.placeHeight);
    }
    utility.skinWidth = (utility.skinWidth + 3) & ~3;
}

}  // namespace bench
