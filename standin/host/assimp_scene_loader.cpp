#include "standin/host/assimp_scene_loader.h"

#include <fnmatch.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <set>
#include <tuple>

#include <assimp/Importer.hpp>
#include <assimp/postprocess.h>
#include <assimp/scene.h>

#include <nlohmann/json.hpp>

#include "standin/host/page_fit.h"
#include "standin/host/texture_cache.h"

namespace fs = std::filesystem;

namespace standin {
namespace {

// --- Matrices ----------------------------------------------------------------

// 4 x 4, row-major, taking column vectors (the library's convention), in double
// so that long chains of bones lose nothing before the single-precision host.
struct Mat4 {
    double m[4][4] = {{1, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, 1, 0}, {0, 0, 0, 1}};
};

Mat4 operator*(const Mat4& a, const Mat4& b) {
    Mat4 r;
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j) {
            double s = 0.0;
            for (int k = 0; k < 4; ++k) s += a.m[i][k] * b.m[k][j];
            r.m[i][j] = s;
        }
    return r;
}

Mat4 FromAi(const aiMatrix4x4& a) {
    Mat4 r;
    const ai_real* p = a[0];
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j) r.m[i][j] = p[i * 4 + j];
    return r;
}

struct Vec3 {
    double x = 0, y = 0, z = 0;
};

Vec3 Apply(const Mat4& a, const Vec3& p) {
    return {a.m[0][0] * p.x + a.m[0][1] * p.y + a.m[0][2] * p.z + a.m[0][3],
            a.m[1][0] * p.x + a.m[1][1] * p.y + a.m[1][2] * p.z + a.m[1][3],
            a.m[2][0] * p.x + a.m[2][1] * p.y + a.m[2][2] * p.z + a.m[2][3]};
}

// The host's rows: p' = p.x r0 + p.y r1 + p.z r2 + r3 is the column-vector product.
Matrix3 ToHost(const Mat4& a) {
    Matrix3 h;
    for (int r = 0; r < 4; ++r)
        h.row[r] = Point3(static_cast<float>(a.m[0][r]), static_cast<float>(a.m[1][r]), static_cast<float>(a.m[2][r]));
    return h;
}

struct Quat {
    double w = 1, x = 0, y = 0, z = 0;
};

// Spherical interpolation along the shorter arc.
Quat Slerp(Quat a, Quat b, double s) {
    double c = a.w * b.w + a.x * b.x + a.y * b.y + a.z * b.z;
    if (c < 0) {
        c = -c;
        b = {-b.w, -b.x, -b.y, -b.z};
    }
    double k0 = 1.0 - s, k1 = s;
    if (c < 0.9999) {
        const double angle = std::acos(c);
        const double sn = std::sin(angle);
        k0 = std::sin((1.0 - s) * angle) / sn;
        k1 = std::sin(s * angle) / sn;
    }
    Quat q{k0 * a.w + k1 * b.w, k0 * a.x + k1 * b.x, k0 * a.y + k1 * b.y, k0 * a.z + k1 * b.z};
    const double n = std::sqrt(q.w * q.w + q.x * q.x + q.y * q.y + q.z * q.z);
    if (n > 0) q = {q.w / n, q.x / n, q.y / n, q.z / n};
    return q;
}

// Translation * rotation * scale, the order the library's keys mean.
Mat4 Compose(const Vec3& t, const Quat& q, const Vec3& s) {
    const double n = q.w * q.w + q.x * q.x + q.y * q.y + q.z * q.z;
    const double k = n > 0 ? 2.0 / n : 0.0;
    const double xx = q.x * q.x * k, yy = q.y * q.y * k, zz = q.z * q.z * k;
    const double xy = q.x * q.y * k, xz = q.x * q.z * k, yz = q.y * q.z * k;
    const double wx = q.w * q.x * k, wy = q.w * q.y * k, wz = q.w * q.z * k;
    const double r[3][3] = {{1 - yy - zz, xy - wz, xz + wy}, {xy + wz, 1 - xx - zz, yz - wx}, {xz - wy, yz + wx, 1 - xx - yy}};
    const double sc[3] = {s.x, s.y, s.z};
    Mat4 a;
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j) a.m[i][j] = r[i][j] * sc[j];
    a.m[0][3] = t.x;
    a.m[1][3] = t.y;
    a.m[2][3] = t.z;
    return a;
}

// --- Animation -----------------------------------------------------------------

template <typename V>
struct Track {
    std::vector<double> times;  // sorted
    std::vector<V> values;
};

struct NodeChannel {
    Track<Vec3> position, scaling;
    Track<Quat> rotation;
};

struct MorphTrack {
    std::vector<double> times;
    std::vector<std::vector<double>> weights;  // per key, one per target
};

Vec3 Sample(const Track<Vec3>& track, double x) {
    const KeySpan sp = FindKeySpan(track.times, x);
    const Vec3& a = track.values[sp.a];
    if (sp.a == sp.b) return a;
    const Vec3& b = track.values[sp.b];
    return {a.x + (b.x - a.x) * sp.s, a.y + (b.y - a.y) * sp.s, a.z + (b.z - a.z) * sp.s};
}

Quat Sample(const Track<Quat>& track, double x) {
    const KeySpan sp = FindKeySpan(track.times, x);
    if (sp.a == sp.b) return track.values[sp.a];
    return Slerp(track.values[sp.a], track.values[sp.b], sp.s);
}

// The whole node tree of the file with the chosen animation: evaluates every
// node's world matrix at a host time. Shared by the evaluation hooks of the
// scene's nodes; it remembers the last time asked for, since the exporter asks
// every node at one time before it moves on.
class Rig {
public:
    struct Node {
        int parent = -1;
        Mat4 local;
        Vec3 restT, restS{1, 1, 1};
        Quat restR;
        int channel = -1;
    };

    std::vector<Node> nodes;  // parents before children
    std::vector<NodeChannel> channels;
    std::map<int, MorphTrack> morphs;  // by node
    Mat4 toHost;                       // file axes and units to the host's
    double secondsPerTick = 1.0 / (kDefaultTicksPerFrame * 30.0);  // host ticks to seconds
    double ticksPerSecond = 25.0;
    double startTick = 0.0;
    bool animated = false;

    double AnimationTick(TimeValue t) const {
        return startTick + static_cast<double>(t) * secondsPerTick * ticksPerSecond;
    }

    const std::vector<Mat4>& WorldAt(TimeValue t) {
        if (cacheValid_ && cacheTime_ == t) return world_;
        world_.resize(nodes.size());
        const double tick = AnimationTick(t);
        for (size_t i = 0; i < nodes.size(); ++i) {
            const Node& n = nodes[i];
            Mat4 local = n.local;
            if (animated && n.channel >= 0) {
                const NodeChannel& c = channels[static_cast<size_t>(n.channel)];
                const Vec3 tr = c.position.times.empty() ? n.restT : Sample(c.position, tick);
                const Quat ro = c.rotation.times.empty() ? n.restR : Sample(c.rotation, tick);
                const Vec3 sc = c.scaling.times.empty() ? n.restS : Sample(c.scaling, tick);
                local = Compose(tr, ro, sc);
            }
            world_[i] = n.parent < 0 ? local : world_[static_cast<size_t>(n.parent)] * local;
        }
        cacheValid_ = true;
        cacheTime_ = t;
        return world_;
    }

    // The morph weights of a node at t; defaults when the animation has none for it.
    std::vector<double> MorphWeightsAt(int node, TimeValue t, const std::vector<double>& defaults) const {
        auto it = morphs.find(node);
        if (!animated || it == morphs.end() || it->second.times.empty()) return defaults;
        const MorphTrack& m = it->second;
        const KeySpan sp = FindKeySpan(m.times, AnimationTick(t));
        std::vector<double> w = m.weights[sp.a];
        if (sp.a != sp.b) {
            const std::vector<double>& b = m.weights[sp.b];
            for (size_t k = 0; k < w.size() && k < b.size(); ++k) w[k] += (b[k] - w[k]) * sp.s;
        }
        w.resize(defaults.size(), 0.0);
        return w;
    }

private:
    std::vector<Mat4> world_;
    TimeValue cacheTime_ = 0;
    bool cacheValid_ = false;
};

// --- Meshes --------------------------------------------------------------------

struct Influence {
    int node = -1;  // the bone's node in the rig
    Mat4 offset;    // mesh space to the bone's space at bind time
};

// One node's welded mesh with what it needs to move.
struct DeformData {
    std::shared_ptr<Rig> rig;
    int node = -1;
    std::vector<Vec3> base;                        // file positions of the welded vertices
    std::vector<std::vector<Vec3>> targets;        // per morph target: absolute positions
    std::vector<double> defaultWeights;            // per morph target
    std::vector<Influence> influences;
    std::vector<std::vector<std::pair<int, double>>> weights;  // per vertex: influence, weight
    bool skinned = false;

    void Deform(TimeValue t, Mesh& mesh) const {
        std::vector<Vec3> p = base;
        if (!targets.empty()) {
            const std::vector<double> w = rig->MorphWeightsAt(node, t, defaultWeights);
            for (size_t v = 0; v < p.size(); ++v) {
                Vec3 q = base[v];
                for (size_t k = 0; k < targets.size(); ++k) {
                    if (w[k] == 0.0) continue;
                    q.x += w[k] * (targets[k][v].x - base[v].x);
                    q.y += w[k] * (targets[k][v].y - base[v].y);
                    q.z += w[k] * (targets[k][v].z - base[v].z);
                }
                p[v] = q;
            }
        }
        if (skinned) {
            const std::vector<Mat4>& world = rig->WorldAt(t);
            std::vector<Mat4> skin(influences.size());
            for (size_t i = 0; i < influences.size(); ++i)
                skin[i] = rig->toHost * world[static_cast<size_t>(influences[i].node)] * influences[i].offset;
            // A vertex no bone holds moves with the mesh's own node.
            const Mat4 own = rig->toHost * world[static_cast<size_t>(node)];
            for (size_t v = 0; v < p.size(); ++v) {
                if (weights[v].empty()) {
                    p[v] = Apply(own, p[v]);
                    continue;
                }
                Vec3 sum;
                for (const auto& [i, w] : weights[v]) {
                    const Vec3 q = Apply(skin[static_cast<size_t>(i)], p[v]);
                    sum.x += w * q.x;
                    sum.y += w * q.y;
                    sum.z += w * q.z;
                }
                p[v] = sum;
            }
        }
        const size_t n = std::min(p.size(), mesh.verts.size());
        for (size_t v = 0; v < n; ++v)
            mesh.verts[v] = Point3(static_cast<float>(p[v].x), static_cast<float>(p[v].y), static_cast<float>(p[v].z));
    }
};

// A vertex is the same vertex when all of this is equal (exact comparison).
struct WeldKey {
    float x, y, z;
    std::vector<std::pair<int, float>> weights;  // sorted by influence
    std::vector<float> morph;                    // target positions, flattened
    bool operator<(const WeldKey& o) const {
        return std::tie(x, y, z, weights, morph) < std::tie(o.x, o.y, o.z, o.weights, o.morph);
    }
};

// --- Texture files ---------------------------------------------------------------

enum class Reader { None, Bmp, Tga, Tim };

// The exporter's readers are chosen by the first of these found anywhere in the path.
Reader ReaderFor(const std::string& path) {
    static const std::pair<const char*, Reader> kTable[] = {{".bmp", Reader::Bmp}, {".BMP", Reader::Bmp},
                                                            {".tga", Reader::Tga}, {".TGA", Reader::Tga},
                                                            {".tim", Reader::Tim}, {".TIM", Reader::Tim}};
    for (const auto& [text, reader] : kTable)
        if (path.find(text) != std::string::npos) return reader;
    return Reader::None;
}

uint32_t Le(const uint8_t* p, int n) {
    uint32_t v = 0;
    for (int i = n - 1; i >= 0; --i) v = (v << 8) | p[i];
    return v;
}

std::string UpperExtension(const std::string& path) {
    std::string ext = fs::path(path).extension().string();
    if (!ext.empty()) ext.erase(0, 1);
    for (char& c : ext) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return ext.empty() ? "extensionless" : ext;
}

// Why the exporter's reader would not show this file as it is meant to look;
// empty when it would. The readers take BMP of 4, 8 or 24 bits with a 40-byte
// header, uncompressed and bottom-up; TGA colour-mapped 8-bit with a 24-bit map,
// or 24 / 32 bits, uncompressed, bottom-up, left to right, without an image ID;
// and TIM.
std::string WhyConvert(const std::string& path) {
    const Reader reader = ReaderFor(path);
    if (reader == Reader::None) return UpperExtension(path) + " image, which the exporter does not read";
    if (reader == Reader::Tim) return "";
    std::ifstream in(path, std::ios::binary);
    uint8_t h[54] = {};
    in.read(reinterpret_cast<char*>(h), sizeof h);
    const std::streamsize got = in.gcount();
    if (reader == Reader::Bmp) {
        if (got < 54 || h[0] != 'B' || h[1] != 'M') return "not a BMP file, although named like one";
        const uint32_t size = Le(h + 14, 4);
        const int32_t height = static_cast<int32_t>(Le(h + 22, 4));
        const uint32_t bits = Le(h + 28, 2), compression = Le(h + 30, 4);
        if (size != 40) return "BMP with a " + std::to_string(size) + "-byte header";
        if (compression != 0) return "compressed BMP";
        if (bits != 4 && bits != 8 && bits != 24) return std::to_string(bits) + "-bit BMP";
        if (height < 0) return "top-down BMP";
        return "";
    }
    if (got < 18) return "not a TGA file, although named like one";
    const unsigned idLength = h[0], mapType = h[1], type = h[2], mapFirst = Le(h + 3, 2), mapEntry = h[7];
    const unsigned depth = h[16], descriptor = h[17];
    if (type == 9 || type == 10 || type == 11) return "run-length TGA";
    if (idLength != 0) return "TGA with an image ID";
    if (descriptor & 0x20) return "top-down TGA";
    if (descriptor & 0x10) return "right-to-left TGA";
    if (type == 1) {
        if (depth != 8 || mapType != 1 || mapEntry != 24 || mapFirst != 0)
            return "colour-mapped TGA of " + std::to_string(depth) + " bits with " + std::to_string(mapEntry) + "-bit map entries";
        return "";
    }
    if (type == 2) {
        if (depth != 24 && depth != 32) return std::to_string(depth) + "-bit TGA";
        if (mapType != 0) return "true-colour TGA with a colour map";
        return "";
    }
    if (type == 3) return "grey-scale TGA";
    return "TGA of image type " + std::to_string(type);
}

std::string PercentDecoded(const std::string& s) {
    std::string out;
    for (size_t i = 0; i < s.size(); ++i) {
        if (s[i] == '%' && i + 2 < s.size() && std::isxdigit(static_cast<unsigned char>(s[i + 1])) &&
            std::isxdigit(static_cast<unsigned char>(s[i + 2]))) {
            out += static_cast<char>(std::stoi(s.substr(i + 1, 2), nullptr, 16));
            i += 2;
        } else {
            out += s[i];
        }
    }
    return out;
}

std::string ReadWholeFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Texture files larger than this are not read.
constexpr uintmax_t kMaxTextureFileBytes = uintmax_t{256} << 20;

bool EqualNoCase(const std::string& a, const std::string& b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
           });
}

// The entry of a folder named name, the exact spelling first, then any spelling of its letters.
fs::path EntryNoCase(const fs::path& folder, const std::string& name) {
    std::error_code ec;
    if (fs::exists(folder / name, ec)) return folder / name;
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec))
        if (EqualNoCase(it->path().filename().string(), name)) return it->path();
    return {};
}

// An absolute path found component by component as Windows finds it.
fs::path FindNoCase(const fs::path& path) {
    fs::path at = path.root_path();
    for (const fs::path& part : path.relative_path()) {
        at = EntryNoCase(at, part.string());
        if (at.empty()) return {};
    }
    std::error_code ec;
    return fs::is_regular_file(at, ec) ? at : fs::path();
}

struct FoundFile {
    fs::path path;  // empty: not found
    std::string how;
};

// A texture file as the modelling host on Windows would find the name a
// scene file gives: relative to the scene file, '\' a separator, the case of
// letters not counting; a path that does not exist here (another machine's)
// by its base name beside the scene file, then in the folders beside it.
FoundFile FindTexture(std::string named, const fs::path& sceneDir) {
    std::replace(named.begin(), named.end(), '\\', '/');
    std::error_code ec;
    for (const std::string& text : {named, PercentDecoded(named)}) {
        fs::path p(text);
        p = (p.is_absolute() ? p : sceneDir / p).lexically_normal();
        if (fs::is_regular_file(p, ec)) return {p, "as named"};
        if (fs::path q = FindNoCase(p); !q.empty()) return {q, "as named, letters in another case"};
    }
    const std::string base = fs::path(named).filename().string();
    if (base.empty() || base == "." || base == "..") return {};
    if (fs::path q = EntryNoCase(sceneDir, base); !q.empty() && fs::is_regular_file(q, ec))
        return {q, "by its base name beside the scene file"};
    std::vector<fs::path> folders;
    for (fs::directory_iterator it(sceneDir, ec), end; !ec && it != end; it.increment(ec))
        if (it->is_directory(ec)) folders.push_back(it->path());
    std::sort(folders.begin(), folders.end());
    for (const fs::path& folder : folders)
        if (fs::path q = EntryNoCase(folder, base); !q.empty() && fs::is_regular_file(q, ec))
            return {q, "by its base name in " + folder.filename().string() + "/"};
    return {};
}

// How deep the nodes of a glTF file (text or binary) nest, counted up to
// limit + 1, for files the library would otherwise walk without a bound; 0
// when the file is no glTF this can read (the library then says why).
int GltfNodeDepth(const std::string& path, int limit) {
    std::string text = ReadWholeFile(path);
    if (text.size() >= 20 && text.compare(0, 4, "glTF") == 0) {
        const uint32_t length = Le(reinterpret_cast<const uint8_t*>(text.data()) + 12, 4);
        if (text.compare(16, 4, "JSON") != 0 || length > text.size() - 20) return 0;
        text = text.substr(20, length);
    }
    const nlohmann::json doc = nlohmann::json::parse(text, nullptr, false);
    if (!doc.is_object() || !doc.contains("nodes") || !doc["nodes"].is_array()) return 0;
    const nlohmann::json& nodes = doc["nodes"];
    const size_t n = nodes.size();
    std::vector<std::vector<size_t>> children(n);
    std::vector<bool> isChild(n, false);
    for (size_t i = 0; i < n; ++i) {
        if (!nodes[i].is_object() || !nodes[i].contains("children") || !nodes[i]["children"].is_array()) continue;
        for (const nlohmann::json& c : nodes[i]["children"])
            if (c.is_number_unsigned() && c.get<uint64_t>() < n) {
                children[i].push_back(c.get<size_t>());
                isChild[c.get<size_t>()] = true;
            }
    }
    // Each node is taken again only at a deeper level than before, and no
    // level beyond the limit is walked, so loops end too.
    std::vector<int> level(n, 0);
    std::vector<std::pair<size_t, int>> stack;
    for (size_t i = 0; i < n; ++i)
        if (!isChild[i]) stack.push_back({i, 1});
    if (stack.empty() && n > 0) stack.push_back({0, 1});
    int deepest = 0;
    while (!stack.empty()) {
        const auto [i, d] = stack.back();
        stack.pop_back();
        if (d <= level[i]) continue;
        level[i] = d;
        deepest = std::max(deepest, d);
        if (d > limit) return d;
        for (size_t c : children[i]) stack.push_back({c, d + 1});
    }
    return deepest;
}

// How deep the library's node tree nests (its root at 1), counted up to limit + 1.
int NodeDepth(const aiNode* root, int limit) {
    std::vector<std::pair<const aiNode*, int>> stack{{root, 1}};
    int deepest = 0;
    while (!stack.empty()) {
        const auto [node, d] = stack.back();
        stack.pop_back();
        deepest = std::max(deepest, d);
        if (d > limit) return d;
        for (unsigned i = 0; i < node->mNumChildren; ++i) stack.push_back({node->mChildren[i], d + 1});
    }
    return deepest;
}


// --- The loader ------------------------------------------------------------------

constexpr int kMaxNodeDepth = 256;  // as in JSON scenes: the exporter's walks of the tree recurse

// A picture the materials use, from where it comes to the file their bitmaps name.
struct TexturePlan {
    enum Kind { File, Embedded, Painted } kind = File;
    std::string source;      // as the notes give it
    std::string found;       // how it was found
    std::string conversion;  // why it is written into the cache; empty: taken as it is
    std::string cachePath;   // its name in the cache
    const aiTexture* embedded = nullptr;
    Picture painted;
    int width = 0, height = 0;  // from the header; 0 when unknown
    int fitWidth = 0, fitHeight = 0;
    std::string file;  // what the bitmaps name once written
    std::string problem;
    std::string scaledBecause;

    bool Scaled() const { return fitWidth != width || fitHeight != height; }
    bool Writes() const { return kind != File || !conversion.empty() || Scaled(); }
};

class Loader {
public:
    Loader(const std::string& path, const AssimpLoadOptions& options, Scene& scene, AssimpSceneReport& report)
        : path_(path), options_(options), scene_(scene), report_(report) {}

    int Run(std::string& error);

private:
    bool ChooseAnimation(std::string& error);
    void ReadAnimation();
    void SetUnitsAndAxes();
    void BuildRig(const aiNode* node, int parent);
    void BuildNodes(const aiNode* node, SceneNode* parent);
    void BuildMesh(const aiNode* node, int rigIndex, SceneNode* target);
    SceneMaterial* MaterialFor(unsigned index);
    void PlanTexture(const aiMaterial* m, SceneMaterial* material);
    size_t PlanPainted(const std::array<uint8_t, 3>& colour);
    size_t AddPlan(const std::string& key, TexturePlan plan);
    void FitPage();
    void WriteTextures();

    std::string path_;
    AssimpLoadOptions options_;
    Scene& scene_;
    AssimpSceneReport& report_;
    Assimp::Importer importer_;
    const aiScene* ai_ = nullptr;
    std::vector<const aiAnimation*> animations_;  // played together
    std::shared_ptr<Rig> rig_ = std::make_shared<Rig>();
    std::map<const aiNode*, int> rigIndex_;
    std::map<std::string, int> rigByName_;
    std::map<unsigned, SceneMaterial*> materials_;
    std::vector<TexturePlan> plans_;
    std::map<std::string, size_t> planByKey_;
    std::map<const SceneMaterial*, size_t> planOf_;  // each material's picture
    std::map<const SceneMaterial*, size_t> noteOf_;  // each material's note
    std::set<const SceneMaterial*> paintedMaterials_;  // those without a usable texture
    std::map<const SceneMaterial*, std::array<uint8_t, 3>> colourOf_;
    std::vector<SceneMaterial*> ownMaterials_;  // every material made, to give it its bitmap
    std::unique_ptr<TextureCache> cache_;
};

bool IsGltfName(const std::string& path) {
    const std::string ext = fs::path(path).extension().string();
    return EqualNoCase(ext, ".gltf") || EqualNoCase(ext, ".glb");
}

int Loader::Run(std::string& error) {
    report_.path = path_;
    const std::string tooDeep = "Cannot load scene file \"" + path_ + "\": its nodes nest deeper than " +
                                std::to_string(kMaxNodeDepth) + " levels";
    // The library walks a glTF file's nodes without a bound of its own.
    if (IsGltfName(path_) && GltfNodeDepth(path_, kMaxNodeDepth) > kMaxNodeDepth) {
        error = tooDeep;
        return 0;
    }
    // Collada files name their nodes by id unless asked for the names the artist gave.
    importer_.SetPropertyBool(AI_CONFIG_IMPORT_COLLADA_USE_COLLADA_NAMES, true);
    ai_ = importer_.ReadFile(path_, AssimpReadSteps());
    if (!ai_ || !ai_->mRootNode) {
        const char* why = importer_.GetErrorString();
        error = "Cannot load scene file \"" + path_ + "\": " + (why && *why ? why : "no scene in the file");
        return 0;
    }
    if (NodeDepth(ai_->mRootNode, kMaxNodeDepth) > kMaxNodeDepth) {
        error = tooDeep;
        return 0;
    }
    if (ai_->mMetaData) {
        aiString format;
        if (ai_->mMetaData->Get("SourceAsset_Format", format)) report_.format = format.C_Str();
    }
    if (!ChooseAnimation(error)) return 0;
    SetUnitsAndAxes();

    const fs::path scenePath(path_);
    std::string folder = options_.textureFolder;
    if (folder.empty()) {
        const fs::path beside = options_.outputPath.empty() ? scenePath.parent_path() : fs::path(options_.outputPath).parent_path();
        folder = (beside / (scenePath.stem().string() + ".textures")).string();
    }
    cache_ = std::make_unique<TextureCache>(folder);
    report_.textureFolder = folder;

    BuildRig(ai_->mRootNode, -1);
    if (!animations_.empty()) ReadAnimation();
    rig_->secondsPerTick = 1.0 / (static_cast<double>(scene_.ticksPerFrame) * options_.framesPerSecond);
    BuildNodes(ai_->mRootNode, scene_.root.get());
    scene_.SetTicksPerFrame(scene_.ticksPerFrame);
    FitPage();
    WriteTextures();
    return 1;
}


void Loader::ReadAnimation() {
    // Single keys hold a value and say nothing about when the animation
    // starts (the glTF reader adds one for every path a channel leaves out),
    // so frame 0 is the first key of the lists that really move.
    double start = 0.0, end = 0.0;
    bool any = false;
    auto span = [&](double first, double last, unsigned count) {
        if (count < 2) return;
        start = any ? std::min(start, first) : first;
        end = any ? std::max(end, last) : last;
        any = true;
    };
    for (const aiAnimation* animation : animations_) {
        for (unsigned c = 0; c < animation->mNumChannels; ++c) {
            const aiNodeAnim* ch = animation->mChannels[c];
            auto it = rigByName_.find(ch->mNodeName.C_Str());
            // The first animation that moves a node drives it.
            if (it == rigByName_.end() || rig_->nodes[static_cast<size_t>(it->second)].channel >= 0) continue;
            NodeChannel nc;
            for (unsigned k = 0; k < ch->mNumPositionKeys; ++k) {
                const aiVectorKey& key = ch->mPositionKeys[k];
                nc.position.times.push_back(key.mTime);
                nc.position.values.push_back({key.mValue.x, key.mValue.y, key.mValue.z});
            }
            for (unsigned k = 0; k < ch->mNumRotationKeys; ++k) {
                const aiQuatKey& key = ch->mRotationKeys[k];
                nc.rotation.times.push_back(key.mTime);
                nc.rotation.values.push_back({key.mValue.w, key.mValue.x, key.mValue.y, key.mValue.z});
            }
            for (unsigned k = 0; k < ch->mNumScalingKeys; ++k) {
                const aiVectorKey& key = ch->mScalingKeys[k];
                nc.scaling.times.push_back(key.mTime);
                nc.scaling.values.push_back({key.mValue.x, key.mValue.y, key.mValue.z});
            }
            for (const auto* times : {&nc.position.times, &nc.rotation.times, &nc.scaling.times})
                if (!times->empty()) span(times->front(), times->back(), static_cast<unsigned>(times->size()));
            rig_->nodes[static_cast<size_t>(it->second)].channel = static_cast<int>(rig_->channels.size());
            rig_->channels.push_back(std::move(nc));
        }
    }
    for (const aiAnimation* animation : animations_) {
        for (unsigned c = 0; c < animation->mNumMorphMeshChannels; ++c) {
            const aiMeshMorphAnim* ch = animation->mMorphMeshChannels[c];
            // The glTF reader names a morph channel after its node; some readers add "*<index>".
            std::string name = ch->mName.C_Str();
            auto it = rigByName_.find(name);
            if (it == rigByName_.end() && name.find('*') != std::string::npos) it = rigByName_.find(name.substr(0, name.find('*')));
            if (it == rigByName_.end() || ch->mNumKeys == 0 || rig_->morphs.count(it->second)) continue;
            MorphTrack track;
            for (unsigned k = 0; k < ch->mNumKeys; ++k) {
                const aiMeshMorphKey& key = ch->mKeys[k];
                std::vector<double> w;
                for (unsigned j = 0; j < key.mNumValuesAndWeights; ++j) {
                    const unsigned target = key.mValues[j];
                    if (target >= 4096) continue;  // no file has that many targets: a broken key
                    if (w.size() <= target) w.resize(target + 1, 0.0);
                    w[target] = key.mWeights[j];
                }
                track.times.push_back(key.mTime);
                track.weights.push_back(std::move(w));
            }
            span(track.times.front(), track.times.back(), ch->mNumKeys);
            rig_->morphs[it->second] = std::move(track);
        }
    }
    rig_->startTick = start;
    report_.startTick = start;
    report_.endTick = any ? end : start;
}

// Whether a COLLADA file names its animation clips: without them its
// animations (one per object, as exporters write them) make one timeline.
bool ColladaNamesClips(const std::string& path) {
    return ReadWholeFile(path).find("<library_animation_clips") != std::string::npos;
}

// An animation's name and the range of its keys that move.
AnimationSummary Summarise(const aiAnimation* a) {
    AnimationSummary s;
    s.name = a->mName.C_Str();
    s.ticksPerSecond = a->mTicksPerSecond > 0 ? a->mTicksPerSecond : 25.0;
    bool any = false;
    auto span = [&](double first, double last, unsigned count) {
        if (count < 2) return;
        s.startTick = any ? std::min(s.startTick, first) : first;
        s.endTick = any ? std::max(s.endTick, last) : last;
        any = true;
    };
    for (unsigned c = 0; c < a->mNumChannels; ++c) {
        const aiNodeAnim* ch = a->mChannels[c];
        if (ch->mNumPositionKeys) span(ch->mPositionKeys[0].mTime, ch->mPositionKeys[ch->mNumPositionKeys - 1].mTime, ch->mNumPositionKeys);
        if (ch->mNumRotationKeys) span(ch->mRotationKeys[0].mTime, ch->mRotationKeys[ch->mNumRotationKeys - 1].mTime, ch->mNumRotationKeys);
        if (ch->mNumScalingKeys) span(ch->mScalingKeys[0].mTime, ch->mScalingKeys[ch->mNumScalingKeys - 1].mTime, ch->mNumScalingKeys);
    }
    for (unsigned c = 0; c < a->mNumMorphMeshChannels; ++c) {
        const aiMeshMorphAnim* ch = a->mMorphMeshChannels[c];
        if (ch->mNumKeys) span(ch->mKeys[0].mTime, ch->mKeys[ch->mNumKeys - 1].mTime, ch->mNumKeys);
    }
    return s;
}

// An animation as the listing and the messages name it: an unnamed one by its index.
std::string AnimationLabel(const std::string& name, size_t index) {
    return name.empty() ? "#" + std::to_string(index) : name;
}

bool Loader::ChooseAnimation(std::string& error) {
    for (unsigned i = 0; i < ai_->mNumAnimations; ++i) report_.animations.push_back(Summarise(ai_->mAnimations[i]));
    if (ai_->mNumAnimations == 0 && options_.animation.empty()) return true;
    const std::string& want = options_.animation;
    unsigned chosenIndex = ai_->mNumAnimations;
    if (want.empty()) {
        chosenIndex = 0;
    } else if (std::all_of(want.begin(), want.end(), [](char c) { return c >= '0' && c <= '9'; }) && want.size() < 9) {
        chosenIndex = static_cast<unsigned>(std::stoul(want));
    } else {
        for (unsigned i = 0; i < ai_->mNumAnimations && chosenIndex == ai_->mNumAnimations; ++i)
            if (want == ai_->mAnimations[i]->mName.C_Str()) chosenIndex = i;
    }
    if (chosenIndex >= ai_->mNumAnimations) {
        std::string names;
        for (size_t i = 0; i < report_.animations.size(); ++i)
            names += (names.empty() ? "" : ", ") + std::to_string(i) + " " +
                     (report_.animations[i].name.empty() ? "(unnamed)" : "\"" + report_.animations[i].name + "\"");
        error = "Scene file \"" + path_ + "\" has no animation \"" + want + "\" (it has " +
                (names.empty() ? std::string("none") : names) + ")";
        return false;
    }
    const aiAnimation* chosen = ai_->mAnimations[chosenIndex];
    animations_.push_back(chosen);
    report_.animation = AnimationLabel(chosen->mName.C_Str(), chosenIndex);
    report_.animated = true;
    // The library hands such a timeline over in pieces (those of one channel
    // combined, the others one by one); unless one is named, they play together.
    if (want.empty() && report_.format.find("Collada") != std::string::npos && ai_->mNumAnimations > 1 &&
        !ColladaNamesClips(path_)) {
        for (unsigned i = 1; i < ai_->mNumAnimations; ++i) {
            const aiAnimation* piece = ai_->mAnimations[i];
            if (piece->mTicksPerSecond != chosen->mTicksPerSecond) continue;
            animations_.push_back(piece);
            report_.animation += " + " + AnimationLabel(piece->mName.C_Str(), i);
        }
    }
    // A file that does not say how fast its ticks run: the library's own
    // convention for that case is 25 a second.
    rig_->ticksPerSecond = chosen->mTicksPerSecond > 0 ? chosen->mTicksPerSecond : 25.0;
    report_.ticksPerSecond = rig_->ticksPerSecond;
    rig_->animated = true;
    return true;
}


void Loader::SetUnitsAndAxes() {
    double metres = 1.0;  // metres per file unit
    // The file's right, up and front axes (index, sign); the library hands over
    // Y-up with the front towards +Z unless an FBX file says otherwise.
    int axis[3] = {0, 1, 2}, sign[3] = {1, 1, 1};
    const aiMetadata* meta = ai_->mMetaData;
    if (meta && report_.format.find("FBX") != std::string::npos) {
        float unit = 0.0f;
        double unitD = 0.0;
        if (meta->Get("UnitScaleFactor", unit) && unit > 0) metres = unit / 100.0;
        else if (meta->Get("UnitScaleFactor", unitD) && unitD > 0) metres = unitD / 100.0;
        int32_t v[6];
        const char* keys[6] = {"CoordAxis", "CoordAxisSign", "UpAxis", "UpAxisSign", "FrontAxis", "FrontAxisSign"};
        bool all = true;
        for (int i = 0; i < 6; ++i) all = all && meta->Get(keys[i], v[i]);
        if (all && v[0] >= 0 && v[0] < 3 && v[2] >= 0 && v[2] < 3 && v[4] >= 0 && v[4] < 3 && v[0] != v[2] &&
            v[0] != v[4] && v[2] != v[4]) {
            for (int i = 0; i < 3; ++i) {
                axis[i] = v[2 * i];
                sign[i] = v[2 * i + 1] < 0 ? -1 : 1;
            }
        }
    }
    const double s = metres * options_.unitsPerMetre;
    // Host x = right, host z = up, host -y = front.
    Mat4 k;
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j) k.m[i][j] = 0.0;
    k.m[0][axis[0]] = s * sign[0];
    k.m[2][axis[1]] = s * sign[1];
    k.m[1][axis[2]] = -s * sign[2];
    rig_->toHost = k;
}

void Loader::BuildRig(const aiNode* node, int parent) {
    Rig::Node n;
    n.parent = parent;
    n.local = FromAi(node->mTransformation);
    aiVector3D s, t;
    aiQuaternion q;
    node->mTransformation.Decompose(s, q, t);
    n.restT = {t.x, t.y, t.z};
    n.restS = {s.x, s.y, s.z};
    n.restR = {q.w, q.x, q.y, q.z};
    const int index = static_cast<int>(rig_->nodes.size());
    rig_->nodes.push_back(n);
    rigIndex_[node] = index;
    rigByName_.emplace(node->mName.C_Str(), index);  // of two nodes of one name, the first in the tree answers
    for (unsigned i = 0; i < node->mNumChildren; ++i) BuildRig(node->mChildren[i], index);
}

bool HasTriangles(const aiScene* ai, const aiNode* node) {
    for (unsigned i = 0; i < node->mNumMeshes; ++i) {
        const aiMesh* m = ai->mMeshes[node->mMeshes[i]];
        if (m->mPrimitiveTypes & aiPrimitiveType_TRIANGLE) return true;
    }
    return false;
}

bool Matches(const std::string& name, const std::vector<std::string>& patterns) {
    for (const std::string& p : patterns)
        if (fnmatch(p.c_str(), name.c_str(), 0) == 0) return true;
    return false;
}

bool Selected(const std::string& name, const std::vector<std::string>& select,
              const std::vector<std::string>& exclude) {
    return (select.empty() || Matches(name, select)) && !Matches(name, exclude);
}

// Nodes the library makes for its own purposes (FBX pivots, "_$AssimpFbx$_")
// and bones stay in the tree as they are: plain nodes without an object, never
// selected, whose transforms their children inherit.
void Loader::BuildNodes(const aiNode* node, SceneNode* parent) {
    auto child = std::make_unique<SceneNode>();
    child->name = node->mName.C_Str();
    const int index = rigIndex_.at(node);
    SceneNode* made = parent->AddChild(std::move(child));
    std::shared_ptr<Rig> rig = rig_;
    made->transformAt = [rig, index](TimeValue t) { return ToHost(rig->toHost * rig->WorldAt(t)[static_cast<size_t>(index)]); };
    made->transform = made->transformAt(0);
    if (HasTriangles(ai_, node)) {
        BuildMesh(node, index, made);
        made->selected = Selected(made->name, options_.select, options_.exclude);
    } else {
        const bool helper = made->name.find("$AssimpFbx$") != std::string::npos;
        bool bone = false;
        for (unsigned m = 0; m < ai_->mNumMeshes && !bone; ++m)
            for (unsigned b = 0; b < ai_->mMeshes[m]->mNumBones && !bone; ++b)
                bone = made->name == ai_->mMeshes[m]->mBones[b]->mName.C_Str();
        report_.objects[made] = helper ? "library helper" : bone ? "bone" : "empty";
    }
    for (unsigned i = 0; i < node->mNumChildren; ++i) BuildNodes(node->mChildren[i], made);
}

// Where a face without its own texture coordinates lies in its texture: the
// whole of it, so that the plug-in has a rectangle to place.
const float kCornerUv[3][2] = {{0, 0}, {1, 0}, {0, 1}};

// A strip of colour cells: each cell 4 pixels square, the face's corners well inside it.
constexpr int kCell = 4;
constexpr size_t kMaxCells = 4096;

using Rgb = std::array<uint8_t, 3>;

uint8_t Channel(double v) {
    if (!(v > 0)) return 0;
    return v >= 1 ? 255 : static_cast<uint8_t>(std::lround(v * 255.0));
}

void Loader::BuildMesh(const aiNode* node, int rigIndex, SceneNode* target) {
    auto deform = std::make_shared<DeformData>();
    deform->rig = rig_;
    deform->node = rigIndex;
    Mesh mesh;

    // The node's materials, in the file's material order: one slot each.
    std::vector<unsigned> slots;
    size_t targetCount = 0;
    bool anyColour = false;
    for (unsigned i = 0; i < node->mNumMeshes; ++i) {
        const aiMesh* m = ai_->mMeshes[node->mMeshes[i]];
        if (!(m->mPrimitiveTypes & aiPrimitiveType_TRIANGLE)) continue;
        slots.push_back(m->mMaterialIndex);
        targetCount = std::max<size_t>(targetCount, m->mNumAnimMeshes);
        anyColour = anyColour || m->HasVertexColors(0);
        if (m->mNumBones > 0) deform->skinned = true;
    }
    std::sort(slots.begin(), slots.end());
    slots.erase(std::unique(slots.begin(), slots.end()), slots.end());
    std::vector<SceneMaterial*> slotMaterials;
    for (unsigned index : slots) slotMaterials.push_back(MaterialFor(index));

    std::map<WeldKey, uint32_t> welded;
    std::map<std::pair<float, float>, uint32_t> uvIndex;
    std::map<std::tuple<float, float, float>, uint32_t> colourIndex;
    deform->targets.assign(targetCount, {});
    deform->defaultWeights.assign(targetCount, 0.0);
    std::map<std::string, int> influenceByName;
    auto uvVertex = [&](float u, float v) {
        auto [it, fresh] = uvIndex.emplace(std::make_pair(u, v), static_cast<uint32_t>(mesh.tVerts.size()));
        if (fresh) mesh.tVerts.emplace_back(u, v, 0.0f);
        return it->second;
    };
    // Faces of painted materials that carry vertex colours, with their colour.
    std::vector<std::pair<size_t, std::array<double, 3>>> stripFaces;

    for (unsigned i = 0; i < node->mNumMeshes; ++i) {
        const aiMesh* m = ai_->mMeshes[node->mMeshes[i]];
        if (!(m->mPrimitiveTypes & aiPrimitiveType_TRIANGLE)) continue;
        for (unsigned k = 0; k < m->mNumAnimMeshes && k < targetCount; ++k)
            if (m->mAnimMeshes[k]->mWeight != 0.0f) deform->defaultWeights[k] = m->mAnimMeshes[k]->mWeight;
        // Skin weights of this piece's vertices, by influence.
        std::vector<std::vector<std::pair<int, float>>> vertexWeights(m->mNumVertices);
        for (unsigned b = 0; b < m->mNumBones; ++b) {
            const aiBone* bone = m->mBones[b];
            const std::string name = bone->mName.C_Str();
            auto node_ = rigByName_.find(name);
            if (node_ == rigByName_.end()) continue;
            auto [it, fresh] = influenceByName.emplace(name, static_cast<int>(deform->influences.size()));
            if (fresh) deform->influences.push_back({node_->second, FromAi(bone->mOffsetMatrix)});
            for (unsigned w = 0; w < bone->mNumWeights; ++w) {
                const aiVertexWeight& vw = bone->mWeights[w];
                if (vw.mVertexId < m->mNumVertices && vw.mWeight != 0.0f)
                    vertexWeights[vw.mVertexId].push_back({it->second, vw.mWeight});
            }
        }
        // Weights that do not add up to 1 are shares of their sum, as other
        // viewers take them; without, the vertex would shrink toward the origin.
        for (auto& weights : vertexWeights) {
            double sum = 0.0;
            for (const auto& w : weights) sum += w.second;
            if (sum > 0 && sum != 1.0)
                for (auto& w : weights) w.second = static_cast<float>(w.second / sum);
        }
        std::vector<uint32_t> remap(m->mNumVertices);
        for (unsigned v = 0; v < m->mNumVertices; ++v) {
            WeldKey key{m->mVertices[v].x, m->mVertices[v].y, m->mVertices[v].z, std::move(vertexWeights[v]), {}};
            std::sort(key.weights.begin(), key.weights.end());
            for (size_t k = 0; k < targetCount; ++k) {
                const aiVector3D p = (k < m->mNumAnimMeshes && m->mAnimMeshes[k]->mVertices && v < m->mAnimMeshes[k]->mNumVertices)
                                         ? m->mAnimMeshes[k]->mVertices[v]
                                         : m->mVertices[v];
                key.morph.insert(key.morph.end(), {p.x, p.y, p.z});
            }
            auto [it, fresh] = welded.emplace(key, static_cast<uint32_t>(mesh.verts.size()));
            if (fresh) {
                mesh.verts.emplace_back(key.x, key.y, key.z);
                deform->base.push_back({key.x, key.y, key.z});
                for (size_t k = 0; k < targetCount; ++k)
                    deform->targets[k].push_back({key.morph[3 * k], key.morph[3 * k + 1], key.morph[3 * k + 2]});
                std::vector<std::pair<int, double>> w;
                for (const auto& [inf, weight] : key.weights) w.push_back({inf, weight});
                deform->weights.push_back(std::move(w));
            }
            remap[v] = it->second;
        }
        const uint32_t slot = static_cast<uint32_t>(std::lower_bound(slots.begin(), slots.end(), m->mMaterialIndex) - slots.begin());
        SceneMaterial* material = slotMaterials[slot];
        const bool painted = paintedMaterials_.count(material) > 0;
        const bool strip = painted && m->HasVertexColors(0);
        const bool ownUv = !painted && m->HasTextureCoords(0);
        const Rgb tint = colourOf_[material];
        for (unsigned f = 0; f < m->mNumFaces; ++f) {
            const aiFace& face = m->mFaces[f];
            if (face.mNumIndices != 3) continue;
            Face hf;
            TVFace tf, cf;
            std::array<double, 3> sum{};
            for (int c = 0; c < 3; ++c) {
                const unsigned v = face.mIndices[c] < m->mNumVertices ? face.mIndices[c] : 0;
                hf.v[c] = remap[v];
                const aiVector3D uv = ownUv ? m->mTextureCoords[0][v] : aiVector3D(kCornerUv[c][0], kCornerUv[c][1], 0);
                tf.t[c] = uvVertex(uv.x, uv.y);
                if (anyColour) {
                    const aiColor4D col = m->HasVertexColors(0) ? m->mColors[0][v] : aiColor4D(1, 1, 1, 1);
                    auto [it, fresh] = colourIndex.emplace(std::make_tuple(col.r, col.g, col.b), static_cast<uint32_t>(mesh.vertCol.size()));
                    if (fresh) mesh.vertCol.emplace_back(col.r, col.g, col.b);
                    cf.t[c] = it->second;
                    sum[0] += col.r / 3.0, sum[1] += col.g / 3.0, sum[2] += col.b / 3.0;
                }
            }
            if (strip) stripFaces.push_back({mesh.faces.size(), {sum[0] * tint[0] / 255.0, sum[1] * tint[1] / 255.0, sum[2] * tint[2] / 255.0}});
            hf.setMatID(slot);
            mesh.faces.push_back(hf);
            mesh.tvFace.push_back(tf);
            if (anyColour) mesh.vcFace.push_back(cf);
        }
    }

    if (!stripFaces.empty()) {
        // One cell per colour, fewer bits a channel until the cells are few enough.
        std::map<Rgb, size_t> cellOf;
        std::vector<Rgb> faceColour(stripFaces.size());
        for (int drop = 0; drop < 8; ++drop) {
            cellOf.clear();
            for (size_t i = 0; i < stripFaces.size(); ++i) {
                Rgb c;
                for (int k = 0; k < 3; ++k) c[k] = static_cast<uint8_t>((Channel(stripFaces[i].second[k]) >> drop) << drop);
                faceColour[i] = c;
                cellOf.emplace(c, 0);
            }
            if (cellOf.size() <= kMaxCells) break;
        }
        const int cells = static_cast<int>(cellOf.size());
        const int columns = static_cast<int>(std::ceil(std::sqrt(static_cast<double>(cells))));
        const int rows = (cells + columns - 1) / columns;
        Picture strip;
        strip.width = columns * kCell;
        strip.height = rows * kCell;
        strip.rgba.assign(static_cast<size_t>(strip.width) * static_cast<size_t>(strip.height) * 4, 255);
        std::vector<std::array<uint32_t, 3>> cellUv;
        const float w = static_cast<float>(strip.width), h = static_cast<float>(strip.height);
        for (auto& [colour, index] : cellOf) {
            index = cellUv.size();
            const int x0 = static_cast<int>(index % static_cast<size_t>(columns)) * kCell;
            const int y0 = static_cast<int>(index / static_cast<size_t>(columns)) * kCell;  // from the top
            for (int y = y0; y < y0 + kCell; ++y)
                for (int x = x0; x < x0 + kCell; ++x)
                    std::copy(colour.begin(), colour.end(), strip.rgba.begin() + 4 * (static_cast<size_t>(y) * static_cast<size_t>(strip.width) + static_cast<size_t>(x)));
            // v runs up from the bottom row.
            cellUv.push_back({uvVertex((x0 + 1) / w, 1 - (y0 + 1) / h), uvVertex((x0 + 3) / w, 1 - (y0 + 1) / h),
                              uvVertex((x0 + 1) / w, 1 - (y0 + 3) / h)});
        }
        TexturePlan plan;
        plan.kind = TexturePlan::Painted;
        plan.source = "vertex colours of " + target->name;
        plan.painted = std::move(strip);
        plan.width = plan.fitWidth = plan.painted.width;
        plan.height = plan.fitHeight = plan.painted.height;
        plan.cachePath = cache_->Reserve(SafeStem(target->name) + "-colours");
        const size_t planIndex = AddPlan("strip " + std::to_string(plans_.size()), std::move(plan));
        SceneMaterial* stripMaterial = scene_.AddMaterial(target->name + " colours");
        ownMaterials_.push_back(stripMaterial);
        planOf_[stripMaterial] = planIndex;
        noteOf_[stripMaterial] = report_.textures.size();
        TextureNote note;
        note.material = stripMaterial->name.data();
        note.painted = true;
        note.conversion = "the vertex colours of " + target->name + " painted as " + std::to_string(cells) +
                          (cells == 1 ? " colour cell" : " colour cells") + ", one a face";
        report_.textures.push_back(note);
        const uint32_t stripSlot = static_cast<uint32_t>(slotMaterials.size());
        const bool all = stripFaces.size() == mesh.faces.size();
        for (size_t i = 0; i < stripFaces.size(); ++i) {
            const size_t f = stripFaces[i].first;
            const auto& uv = cellUv[cellOf[faceColour[i]]];
            for (int c = 0; c < 3; ++c) mesh.tvFace[f].t[c] = uv[static_cast<size_t>(c)];
            mesh.faces[f].setMatID(all ? 0 : stripSlot);
        }
        if (all) slotMaterials.clear();
        slotMaterials.push_back(stripMaterial);
    }

    // Materials: one goes on the node as it is; several make a multi-material
    // whose slots follow the file's order.
    if (slotMaterials.size() == 1) {
        target->material = slotMaterials[0];
    } else if (!slotMaterials.empty()) {
        SceneMaterial* multi = scene_.AddMaterial(target->name + " Multi");
        multi->subMaterials = slotMaterials;
        target->material = multi;
    }


    const bool moves = deform->skinned || targetCount > 0;
    std::string what = "mesh, " + std::to_string(mesh.verts.size()) + " vertices, " + std::to_string(mesh.faces.size()) + " faces";
    if (deform->skinned) what += ", skinned to " + std::to_string(deform->influences.size()) + " bones";
    if (targetCount > 0) what += ", " + std::to_string(targetCount) + " morph targets";
    report_.objects[target] = what;

    target->convertible = true;
    target->hasMesh = true;
    if (deform->skinned) {
        // The bones carry a skinned mesh to the world; its node's transform does not count.
        target->transformAt = [](TimeValue) { return Matrix3(); };
        target->transform = Matrix3();
    }
    if (moves) {
        target->deformAt = [deform](TimeValue t, Mesh& m) { deform->Deform(t, m); };
        deform->Deform(0, mesh);
    }
    target->mesh = std::move(mesh);
}

// The colour a material shows without a texture: its base colour (glTF), else
// its diffuse colour, else white.
Rgb MaterialColour(const aiMaterial* m) {
    aiColor4D c(1, 1, 1, 1);
    if (!m || (m->Get(AI_MATKEY_BASE_COLOR, c) != AI_SUCCESS && m->Get(AI_MATKEY_COLOR_DIFFUSE, c) != AI_SUCCESS))
        c = aiColor4D(1, 1, 1, 1);
    return {Channel(c.r), Channel(c.g), Channel(c.b)};
}

std::string Hex(const Rgb& c) {
    char text[8];
    std::snprintf(text, sizeof text, "#%02x%02x%02x", c[0], c[1], c[2]);
    return text;
}

SceneMaterial* Loader::MaterialFor(unsigned index) {
    auto it = materials_.find(index);
    if (it != materials_.end()) return it->second;
    const aiMaterial* m = index < ai_->mNumMaterials ? ai_->mMaterials[index] : nullptr;
    aiString name;
    std::string text = m ? "Material #" + std::to_string(index) : std::string(AI_DEFAULT_MATERIAL_NAME);
    if (m && m->Get(AI_MATKEY_NAME, name) == AI_SUCCESS && name.length > 0) text = name.C_Str();
    SceneMaterial* material = scene_.AddMaterial(text);
    materials_[index] = material;
    ownMaterials_.push_back(material);
    PlanTexture(m, material);
    return material;
}

size_t Loader::AddPlan(const std::string& key, TexturePlan plan) {
    plans_.push_back(std::move(plan));
    planByKey_[key] = plans_.size() - 1;
    return plans_.size() - 1;
}

size_t Loader::PlanPainted(const Rgb& colour) {
    const std::string key = "colour " + Hex(colour);
    if (auto it = planByKey_.find(key); it != planByKey_.end()) return it->second;
    TexturePlan plan;
    plan.kind = TexturePlan::Painted;
    plan.source = key;
    plan.painted = PlainPicture(kCell, kCell, colour.data());
    plan.width = plan.fitWidth = plan.height = plan.fitHeight = kCell;
    plan.cachePath = cache_->Reserve("colour-" + Hex(colour).substr(1));
    return AddPlan(key, std::move(plan));
}

// Finds the material's diffuse texture and plans what its bitmap will name;
// a material without a usable one is painted in its colour.
void Loader::PlanTexture(const aiMaterial* m, SceneMaterial* material) {
    TextureNote note;
    note.material = material->name.data();
    const Rgb colour = MaterialColour(m);
    colourOf_[material] = colour;
    std::string unusable = "no texture";
    size_t planIndex = plans_.size();
    aiString texture;
    if (m && (m->GetTexture(aiTextureType_DIFFUSE, 0, &texture) == AI_SUCCESS ||
              m->GetTexture(aiTextureType_BASE_COLOR, 0, &texture) == AI_SUCCESS)) {
        const std::string named = texture.C_Str();
        const fs::path sceneDir = fs::path(path_).parent_path();
        const auto [embedded, embeddedIndex] = ai_->GetEmbeddedTextureAndIndex(named.c_str());
        TexturePlan plan;
        std::string key;
        if (embedded) {
            key = "embedded #" + std::to_string(embeddedIndex);
            plan.kind = TexturePlan::Embedded;
            plan.embedded = embedded;
            plan.source = key;
            plan.found = "embedded in the scene file";
            plan.conversion = std::string("embedded ") + (embedded->mHeight == 0 ? embedded->achFormatHint : "raw") + " picture";
            const std::string stem = embedded->mFilename.length > 0 ? SafeStem(embedded->mFilename.C_Str())
                                                                   : SafeStem(path_) + "-embedded-" + std::to_string(embeddedIndex);
            if (!planByKey_.count(key)) {
                plan.cachePath = cache_->Reserve(stem);
                if (embedded->mHeight == 0) {
                    PictureSize(reinterpret_cast<const uint8_t*>(embedded->pcData), embedded->mWidth, plan.width, plan.height, plan.problem);
                } else {
                    plan.width = static_cast<int>(std::min<unsigned>(embedded->mWidth, INT_MAX));
                    plan.height = static_cast<int>(std::min<unsigned>(embedded->mHeight, INT_MAX));
                    plan.problem = SizeProblem(plan.width, plan.height);
                }
            }
        } else {
            const FoundFile found = FindTexture(named, sceneDir);
            std::string slashed = named;
            std::replace(slashed.begin(), slashed.end(), '\\', '/');
            const fs::path p(slashed);
            plan.source = (found.path.empty() ? (p.is_absolute() ? p : sceneDir / p) : found.path).lexically_normal().string();
            plan.found = found.how;
            key = plan.source;
            if (found.path.empty()) {
                plan.problem = "missing";
            } else if (!planByKey_.count(key)) {
                plan.conversion = WhyConvert(plan.source);
                plan.cachePath = cache_->Reserve(SafeStem(plan.source));
                std::error_code ec;
                if (fs::file_size(found.path, ec) > kMaxTextureFileBytes) {
                    plan.problem = "file larger than " + std::to_string(kMaxTextureFileBytes >> 20) + " MB";
                } else {
                    const std::string bytes = ReadWholeFile(plan.source);
                    std::string problem;
                    const bool sized = PictureSize(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(), plan.width, plan.height, problem);
                    // A file the exporter reads itself needs no size here, unless it states a size beyond the bounds.
                    if (!sized && (!plan.conversion.empty() || !SizeProblem(plan.width, plan.height).empty())) plan.problem = problem;
                    if (!sized) plan.width = plan.height = 0;
                }
            }
        }
        note.source = plan.source;
        note.found = plan.found;
        if (auto it = planByKey_.find(key); it != planByKey_.end()) {
            planIndex = it->second;
            unusable = plans_[planIndex].problem;
        } else if (plan.problem.empty()) {
            unusable.clear();
            plan.fitWidth = plan.width;
            plan.fitHeight = plan.height;
            planIndex = AddPlan(key, std::move(plan));
        } else {
            unusable = plan.problem;
            // Remembered, so that every material naming it is told the same.
            AddPlan(key, std::move(plan));
        }
    }
    if (!unusable.empty()) {
        planIndex = PlanPainted(colour);
        paintedMaterials_.insert(material);
        note.painted = true;
        if (unusable != "no texture") note.problem = unusable;
        note.conversion = "painted in the material's colour " + Hex(colour);
    }
    planOf_[material] = planIndex;
    noteOf_[material] = report_.textures.size();
    report_.textures.push_back(std::move(note));
}

// The nodes the export takes, as the plug-in's collection finds them:
// selected, with a mesh and a material, not named as a root.
std::vector<SceneNode*> ExportedNodes(Scene& scene, std::vector<std::string>& meshNodes) {
    std::vector<SceneNode*> out;
    std::vector<SceneNode*> stack{scene.root.get()};
    while (!stack.empty()) {
        SceneNode* n = stack.back();
        stack.pop_back();
        if (n->hasMesh) meshNodes.push_back(n->name);
        if (n->hasMesh && n->selected && n->material && n->name != "Root" && n->name != "Scene Root") out.push_back(n);
        for (auto it = n->children.rbegin(); it != n->children.rend(); ++it) stack.push_back(it->get());
    }
    return out;
}

std::string Size(int w, int h) { return std::to_string(w) + " x " + std::to_string(h); }

// Shrinks what --max-texture asks for, then what the skin page needs; says
// why the plug-in will refuse when nothing helps.
void Loader::FitPage() {
    std::vector<std::string> meshNodes;
    const std::vector<SceneNode*> exported = ExportedNodes(scene_, meshNodes);
    if (exported.empty()) {
        std::string names;
        for (size_t i = 0; i < meshNodes.size() && i < 10; ++i) names += (i ? ", " : "") + meshNodes[i];
        if (meshNodes.size() > 10) names += ", ...";
        if (meshNodes.empty()) report_.refusals.push_back("the scene file holds no mesh of triangles");
        else if (!options_.select.empty()) report_.refusals.push_back("--select matched no mesh node (they are " + names + ")");
        else report_.refusals.push_back("no mesh node can be exported (they are " + names + "; the exporter skips nodes named Root or Scene Root)");
        return;
    }
    struct Use {
        float uMin = 0, uMax = 0, vMin = 0, vMax = 0;
    };
    std::map<size_t, Use> uses;  // by plan, in the order faces first use them
    std::vector<size_t> order;
    for (SceneNode* n : exported) {
        const Mesh& mesh = n->mesh;
        for (size_t f = 0; f < mesh.faces.size(); ++f) {
            const SceneMaterial* mat = n->material;
            if (!mat->subMaterials.empty()) mat = mat->subMaterials[mesh.faces[f].getMatID() % mat->subMaterials.size()];
            auto p = mat ? planOf_.find(mat) : planOf_.end();
            if (p == planOf_.end()) continue;
            for (int c = 0; c < 3; ++c) {
                float u = 0, v = 0;
                if (f < mesh.tvFace.size() && mesh.tvFace[f].t[c] < mesh.tVerts.size()) {
                    u = mesh.tVerts[mesh.tvFace[f].t[c]].x;
                    v = mesh.tVerts[mesh.tvFace[f].t[c]].y;
                }
                auto [it, fresh] = uses.emplace(p->second, Use{u, u, v, v});
                if (fresh) order.push_back(p->second);
                Use& use = it->second;
                use.uMin = std::min(use.uMin, u), use.uMax = std::max(use.uMax, u);
                use.vMin = std::min(use.vMin, v), use.vMax = std::max(use.vMax, v);
            }
        }
    }
    if (options_.maxTexture > 0) {
        for (TexturePlan& plan : plans_) {
            const int side = std::max(plan.width, plan.height);
            if (plan.kind == TexturePlan::Painted || !plan.problem.empty() || side <= options_.maxTexture) continue;
            plan.fitWidth = std::max(1, static_cast<int>(static_cast<int64_t>(plan.width) * options_.maxTexture / side));
            plan.fitHeight = std::max(1, static_cast<int>(static_cast<int64_t>(plan.height) * options_.maxTexture / side));
            plan.scaledBecause = "(--max-texture " + std::to_string(options_.maxTexture) + ")";
        }
    }
    std::vector<PageTexture> page;
    std::vector<size_t> planIndex;
    for (size_t i : order) {
        const TexturePlan& plan = plans_[i];
        if (plan.width <= 0) continue;  // a file of unknown size: the plug-in alone can tell
        PageTexture t;
        t.name = plan.Writes() ? plan.cachePath : plan.source;
        t.scaledName = plan.cachePath;
        t.width = plan.fitWidth;
        t.height = plan.fitHeight;
        t.uSpan = uses[i].uMax - uses[i].uMin;
        t.vSpan = uses[i].vMax - uses[i].vMin;
        t.scalable = plan.kind != TexturePlan::Painted;
        page.push_back(t);
        planIndex.push_back(i);
    }
    const std::vector<std::pair<int, int>> sizes = options_.fitToPage ? FitToPage(page) : std::vector<std::pair<int, int>>();
    if (sizes.empty()) {
        if (PagePacks(page)) return;
        const std::string side = std::to_string(kSkinPageSide);
        const std::string whole = side + " x " + side + " skin page";
        size_t told = report_.refusals.size();
        for (size_t k = 0; k < page.size(); ++k) {
            const PageTexture& t = page[k];
            const int w = UsedSpan(t.width, t.uSpan), h = UsedSpan(t.height, t.vSpan);
            const std::string what = "texture " + plans_[planIndex[k]].source + " (" + Size(t.width, t.height) + ")";
            if (w <= 0 || h <= 0) {
                report_.refusals.push_back(what + ": its faces' texture coordinates all lie at one " + (w <= 0 ? "u" : "v") + ": nothing of it can be placed");
            } else if (w > kSkinPageSide || h > kSkinPageSide) {
                char span[64];
                std::snprintf(span, sizeof span, "%.3g x %.3g", static_cast<double>(t.uSpan), static_cast<double>(t.vSpan));
                report_.refusals.push_back(what + ": its faces use " + span + " of it, " + Size(w, h) + " pixels, more than the " + whole + " by " +
                                           Size(std::max(0, w - kSkinPageSide), std::max(0, h - kSkinPageSide)));
            }
        }
        if (report_.refusals.size() == told) {
            int64_t area = 0;
            for (const PageTexture& t : page) area += int64_t{UsedSpan(t.width, t.uSpan)} * UsedSpan(t.height, t.vSpan);
            report_.refusals.push_back("the textures' used rectangles (" + std::to_string(area) + " pixels together) do not pack onto the " + whole);
        }
        if (!options_.fitToPage) report_.refusals.push_back("without --no-fit the textures would be shrunk to fit");
        return;
    }
    for (size_t k = 0; k < page.size(); ++k) {
        TexturePlan& plan = plans_[planIndex[k]];
        if (sizes[k] == std::make_pair(plan.fitWidth, plan.fitHeight)) continue;
        plan.fitWidth = sizes[k].first;
        plan.fitHeight = sizes[k].second;
        plan.scaledBecause = "to fit the " + std::to_string(kSkinPageSide) + " x " + std::to_string(kSkinPageSide) + " skin page";
    }
}

// Writes what must go into the cache and gives every material its bitmap.
void Loader::WriteTextures() {
    for (TexturePlan& plan : plans_) {
        if (!plan.problem.empty()) continue;
        if (!plan.Writes()) {
            plan.file = plan.source;
            continue;
        }
        Picture picture;
        bool ok = true;
        if (plan.kind == TexturePlan::Painted) {
            picture = plan.painted;
        } else if (plan.kind == TexturePlan::File) {
            const std::string bytes = ReadWholeFile(plan.source);
            ok = DecodePicture(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(), picture, plan.problem);
        } else if (plan.embedded->mHeight == 0) {
            ok = DecodePicture(reinterpret_cast<const uint8_t*>(plan.embedded->pcData), plan.embedded->mWidth, picture, plan.problem);
        } else {
            // Raw texels, blue-green-red-alpha, top row first.
            picture.width = plan.width;
            picture.height = plan.height;
            picture.alpha = true;
            picture.rgba.resize(static_cast<size_t>(plan.width) * static_cast<size_t>(plan.height) * 4);
            for (size_t i = 0; i < picture.rgba.size() / 4; ++i) {
                const aiTexel& t = plan.embedded->pcData[i];
                picture.rgba[4 * i] = t.r, picture.rgba[4 * i + 1] = t.g, picture.rgba[4 * i + 2] = t.b, picture.rgba[4 * i + 3] = t.a;
            }
        }
        if (ok && plan.Scaled() && plan.fitWidth <= picture.width && plan.fitHeight <= picture.height)
            picture = ShrinkPicture(picture, plan.fitWidth, plan.fitHeight);
        if (ok && cache_->Write(plan.cachePath, picture, plan.problem)) {
            plan.file = plan.cachePath;
            if (plan.Scaled())
                report_.notes.push_back("texture " + plan.source + ": " + Size(plan.width, plan.height) + " scaled to " +
                                        Size(picture.width, picture.height) + " " + plan.scaledBecause);
            if (ReaderFor(plan.file) != Reader::Tga)
                plan.problem = "the exporter would not read \"" + plan.file + "\" as TGA: rename the texture folder";
        } else if (plan.kind == TexturePlan::File) {
            plan.file = plan.source;  // named as it is; the listing shows the problem
        }
    }
    for (SceneMaterial* material : ownMaterials_) {
        const TexturePlan& plan = plans_[planOf_[material]];
        TextureNote& note = report_.textures[noteOf_[material]];
        note.file = plan.file;
        if (!plan.problem.empty() && note.problem.empty()) note.problem = plan.problem;
        if (!note.painted) {
            note.conversion = plan.file == plan.source ? "" : plan.conversion;
            if (plan.Scaled() && plan.file != plan.source)
                note.conversion += (note.conversion.empty() ? "" : ", ") + std::string("scaled to ") + Size(plan.fitWidth, plan.fitHeight);
        }
        if (!plan.file.empty()) material->diffuse = std::make_unique<SceneBitmapTex>(plan.file);
    }
}


// --- Listing -------------------------------------------------------------------

void ListMaterial(Mtl* m, const AssimpSceneReport& report, const std::string& indent, std::ostream& out) {
    SceneMaterial* mat = static_cast<SceneMaterial*>(m);
    Texmap* map = mat->GetSubTexmap(ID_DI);
    out << indent << "material \"" << mat->name.data() << "\"";
    if (mat->NumSubMtls() > 0) {
        out << " (" << mat->NumSubMtls() << " sub-materials)\n";
        for (int i = 0; i < mat->NumSubMtls(); ++i) {
            Mtl* sub = mat->GetSubMtl(i);
            if (!sub) {
                out << indent << "  id " << i << ": no material\n";
                continue;
            }
            out << indent << "  id " << i << ": ";
            ListMaterial(sub, report, "", out);
        }
        return;
    }
    if (!map || map->ClassID() != bitmapTexClassID) {
        out << ", no texture\n";
        return;
    }
    const std::string file = static_cast<BitmapTex*>(map)->GetMapName();
    out << ", texture \"" << file << "\"";
    for (const TextureNote& note : report.textures) {
        if (note.material != mat->name.data() || note.file != file) continue;
        std::vector<std::string> parts;
        if (!note.source.empty() && note.source != file) parts.push_back("from \"" + note.source + "\"");
        if (!note.found.empty()) parts.push_back("found " + note.found);
        if (!note.conversion.empty()) parts.push_back(note.conversion);
        for (size_t i = 0; i < parts.size(); ++i) out << (i ? "; " : " (") << parts[i];
        if (!parts.empty()) out << ")";
        if (!note.problem.empty()) out << " [" << note.problem << "]";
        break;
    }
    out << "\n";
}

void ListNode(SceneNode* node, const AssimpSceneReport& report, int depth, std::ostream& out) {
    const std::string indent(static_cast<size_t>(depth) * 2, ' ');
    out << indent << node->name;
    auto it = report.objects.find(node);
    if (it != report.objects.end()) out << " [" << it->second << "]";
    const bool rootName = node->name == "Root" || node->name == "Scene Root";
    if (node->hasMesh) {
        if (rootName) out << " - not exported: the exporter skips a node of this name";
        else if (!node->selected) out << " - not exported: not selected";
        else if (!node->material) out << " - not exported: no material";
        else out << " - exported";
    }
    out << "\n";
    if (node->material) ListMaterial(node->material, report, indent + "    ", out);
    for (auto& c : node->children) ListNode(c.get(), report, depth + 1, out);
}

}  // namespace

int LoadAssimpScene(const std::string& path, const AssimpLoadOptions& options, Scene& scene,
                    AssimpSceneReport& report, std::string& error) {
    if (!(options.framesPerSecond > 0) || !(options.unitsPerMetre > 0) || options.maxTexture < 0) {
        error = "Cannot load scene file \"" + path + "\": frames a second and units per metre must be above 0";
        return 0;
    }
    // Textures are resolved against the scene file's folder, whatever the current one is.
    std::error_code ec;
    const fs::path absolute = fs::absolute(path, ec);
    Loader loader(ec ? path : absolute.lexically_normal().string(), options, scene, report);
    return loader.Run(error);
}

unsigned AssimpReadSteps() {
    return aiProcess_Triangulate | aiProcess_JoinIdenticalVertices | aiProcess_SortByPType |
           aiProcess_ValidateDataStructure;
}

void ListAssimpScene(Scene& scene, const AssimpSceneReport& report, std::ostream& out) {
    out << "Scene file \"" << report.path << "\"";
    if (!report.format.empty()) out << " (" << report.format << ")";
    out << "\n";
    if (!report.animated) {
        out << "No animation: the scene stands still\n";
    } else {
        out << "Animation \"" << report.animation << "\": ticks " << report.startTick << " to " << report.endTick
            << " at " << report.ticksPerSecond << " a second\n";
    }
    if (report.animations.size() > 1 || (report.animations.size() == 1 && report.animations[0].name.empty())) {
        out << "Animations (--animation takes a name or an index):\n";
        for (size_t i = 0; i < report.animations.size(); ++i) {
            const AnimationSummary& a = report.animations[i];
            out << "  " << i << " " << (a.name.empty() ? std::string("(unnamed)") : "\"" + a.name + "\"") << ": ticks "
                << a.startTick << " to " << a.endTick << " at " << a.ticksPerSecond << " a second\n";
        }
    }
    if (scene.root) ListNode(scene.root.get(), report, 0, out);
    for (const std::string& note : report.notes) out << "Note: " << note << "\n";
}

}  // namespace standin
