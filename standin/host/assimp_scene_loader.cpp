#include "standin/host/assimp_scene_loader.h"

#include <fnmatch.h>

#include <algorithm>
#include <cmath>
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

#include <stb/stb_image.h>

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

// A plain TGA: no image ID, uncompressed, bottom-up; 24 bits, or 32 with alpha.
// rgba holds width x height pixels of 4 bytes, top row first.
bool WriteTga(const std::string& path, const uint8_t* rgba, int width, int height, bool alpha) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    if (!out) return false;
    const uint8_t depth = alpha ? 32 : 24;
    const uint8_t head[18] = {0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0,
                              static_cast<uint8_t>(width & 0xFF), static_cast<uint8_t>(width >> 8),
                              static_cast<uint8_t>(height & 0xFF), static_cast<uint8_t>(height >> 8),
                              depth, static_cast<uint8_t>(alpha ? 8 : 0)};
    out.write(reinterpret_cast<const char*>(head), sizeof head);
    std::vector<char> row(static_cast<size_t>(width) * (alpha ? 4 : 3));
    for (int y = height - 1; y >= 0; --y) {
        const uint8_t* src = rgba + static_cast<size_t>(y) * static_cast<size_t>(width) * 4;
        char* dst = row.data();
        for (int x = 0; x < width; ++x, src += 4) {
            *dst++ = static_cast<char>(src[2]);
            *dst++ = static_cast<char>(src[1]);
            *dst++ = static_cast<char>(src[0]);
            if (alpha) *dst++ = static_cast<char>(src[3]);
        }
        out.write(row.data(), static_cast<std::streamsize>(row.size()));
    }
    return static_cast<bool>(out);
}

std::string ReadWholeFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
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

// --- The loader ------------------------------------------------------------------

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
    bool IsInventedMaterial(unsigned index) const;
    void SetTexture(unsigned index, SceneMaterial* material);
    std::string ConvertPicture(const std::string& name, const uint8_t* data, size_t size, bool& ok,
                               std::string& problem);
    std::string CachePathFor(const std::string& stem);

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
    std::map<std::string, std::string> converted_;  // source key -> written file
    std::set<std::string> cacheNames_;
    std::string folder_;
};

int Loader::Run(std::string& error) {
    report_.path = path_;
    // Collada files name their nodes by id unless asked for the names the artist gave.
    importer_.SetPropertyBool(AI_CONFIG_IMPORT_COLLADA_USE_COLLADA_NAMES, true);
    ai_ = importer_.ReadFile(path_, aiProcess_Triangulate | aiProcess_JoinIdenticalVertices | aiProcess_SortByPType |
                                        aiProcess_ValidateDataStructure);
    if (!ai_ || !ai_->mRootNode) {
        const char* why = importer_.GetErrorString();
        error = "Cannot load scene file \"" + path_ + "\": " + (why && *why ? why : "no scene in the file");
        return 0;
    }
    if (ai_->mMetaData) {
        aiString format;
        if (ai_->mMetaData->Get("SourceAsset_Format", format)) report_.format = format.C_Str();
    }
    if (!ChooseAnimation(error)) return 0;
    SetUnitsAndAxes();

    const fs::path scenePath(path_);
    if (!options_.textureFolder.empty()) {
        folder_ = options_.textureFolder;
    } else {
        const fs::path beside = options_.outputPath.empty() ? scenePath.parent_path() : fs::path(options_.outputPath).parent_path();
        folder_ = (beside / (scenePath.stem().string() + ".textures")).string();
    }
    report_.textureFolder = folder_;

    BuildRig(ai_->mRootNode, -1);
    if (!animations_.empty()) ReadAnimation();
    rig_->secondsPerTick = 1.0 / (static_cast<double>(scene_.ticksPerFrame) * options_.framesPerSecond);
    BuildNodes(ai_->mRootNode, scene_.root.get());
    scene_.SetTicksPerFrame(scene_.ticksPerFrame);
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

bool Loader::ChooseAnimation(std::string& error) {
    for (unsigned i = 0; i < ai_->mNumAnimations; ++i) report_.animations.push_back(ai_->mAnimations[i]->mName.C_Str());
    if (ai_->mNumAnimations == 0 && options_.animation.empty()) return true;
    const std::string& want = options_.animation;
    const aiAnimation* chosen = nullptr;
    if (want.empty()) {
        chosen = ai_->mAnimations[0];
    } else if (std::all_of(want.begin(), want.end(), [](char c) { return c >= '0' && c <= '9'; }) && want.size() < 9) {
        const unsigned index = static_cast<unsigned>(std::stoul(want));
        if (index < ai_->mNumAnimations) chosen = ai_->mAnimations[index];
    } else {
        for (unsigned i = 0; i < ai_->mNumAnimations && !chosen; ++i)
            if (want == ai_->mAnimations[i]->mName.C_Str()) chosen = ai_->mAnimations[i];
    }
    if (!chosen) {
        std::string names;
        for (const std::string& n : report_.animations) names += (names.empty() ? "\"" : ", \"") + n + "\"";
        error = "Scene file \"" + path_ + "\" has no animation \"" + want + "\" (it has " +
                (names.empty() ? std::string("none") : names) + ")";
        return false;
    }
    animations_.push_back(chosen);
    report_.animation = chosen->mName.C_Str();
    // The library hands such a timeline over in pieces (those of one channel
    // combined, the others one by one); unless one is named, they play together.
    if (want.empty() && report_.format.find("Collada") != std::string::npos && ai_->mNumAnimations > 1 &&
        !ColladaNamesClips(path_)) {
        for (unsigned i = 1; i < ai_->mNumAnimations; ++i) {
            const aiAnimation* piece = ai_->mAnimations[i];
            if (piece->mTicksPerSecond != chosen->mTicksPerSecond) continue;
            animations_.push_back(piece);
            report_.animation += std::string(" + ") + piece->mName.C_Str();
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

bool Selected(const std::string& name, const std::vector<std::string>& patterns) {
    if (patterns.empty()) return true;
    for (const std::string& p : patterns)
        if (fnmatch(p.c_str(), name.c_str(), 0) == 0) return true;
    return false;
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
        made->selected = Selected(made->name, options_.select);
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

void Loader::BuildMesh(const aiNode* node, int rigIndex, SceneNode* target) {
    auto deform = std::make_shared<DeformData>();
    deform->rig = rig_;
    deform->node = rigIndex;
    Mesh mesh;

    // The node's materials, in the file's material order: one slot each.
    std::vector<unsigned> slots;
    bool withoutMaterial = false;
    size_t targetCount = 0;
    bool anyUv = false, anyColour = false;
    for (unsigned i = 0; i < node->mNumMeshes; ++i) {
        const aiMesh* m = ai_->mMeshes[node->mMeshes[i]];
        if (!(m->mPrimitiveTypes & aiPrimitiveType_TRIANGLE)) continue;
        if (IsInventedMaterial(m->mMaterialIndex)) withoutMaterial = true;
        else slots.push_back(m->mMaterialIndex);
        targetCount = std::max<size_t>(targetCount, m->mNumAnimMeshes);
        anyUv = anyUv || m->HasTextureCoords(0);
        anyColour = anyColour || m->HasVertexColors(0);
        if (m->mNumBones > 0) deform->skinned = true;
    }
    std::sort(slots.begin(), slots.end());
    slots.erase(std::unique(slots.begin(), slots.end()), slots.end());

    std::map<WeldKey, uint32_t> welded;
    std::map<std::pair<float, float>, uint32_t> uvIndex;
    std::map<std::tuple<float, float, float>, uint32_t> colourIndex;
    deform->targets.assign(targetCount, {});
    deform->defaultWeights.assign(targetCount, 0.0);
    std::map<std::string, int> influenceByName;

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
        const bool noMaterial = IsInventedMaterial(m->mMaterialIndex);
        const uint32_t slot = noMaterial ? static_cast<uint32_t>(slots.size())
                                         : static_cast<uint32_t>(std::lower_bound(slots.begin(), slots.end(), m->mMaterialIndex) - slots.begin());
        for (unsigned f = 0; f < m->mNumFaces; ++f) {
            const aiFace& face = m->mFaces[f];
            if (face.mNumIndices != 3) continue;
            Face hf;
            TVFace tf, cf;
            for (int c = 0; c < 3; ++c) {
                const unsigned v = face.mIndices[c] < m->mNumVertices ? face.mIndices[c] : 0;
                hf.v[c] = remap[v];
                if (anyUv) {
                    const aiVector3D uv = m->HasTextureCoords(0) ? m->mTextureCoords[0][v] : aiVector3D();
                    auto [it, fresh] = uvIndex.emplace(std::make_pair(uv.x, uv.y), static_cast<uint32_t>(mesh.tVerts.size()));
                    if (fresh) mesh.tVerts.emplace_back(uv.x, uv.y, 0.0f);
                    tf.t[c] = it->second;
                }
                if (anyColour) {
                    const aiColor4D col = m->HasVertexColors(0) ? m->mColors[0][v] : aiColor4D(1, 1, 1, 1);
                    auto [it, fresh] = colourIndex.emplace(std::make_tuple(col.r, col.g, col.b), static_cast<uint32_t>(mesh.vertCol.size()));
                    if (fresh) mesh.vertCol.emplace_back(col.r, col.g, col.b);
                    cf.t[c] = it->second;
                }
            }
            hf.setMatID(slot);
            mesh.faces.push_back(hf);
            if (anyUv) mesh.tvFace.push_back(tf);
            if (anyColour) mesh.vcFace.push_back(cf);
        }
    }

    // Materials: one goes on the node as it is; several (or one beside faces
    // without any) make a multi-material whose slots follow the file's order,
    // the faces without a material pointing at an empty last slot.
    if (slots.size() == 1 && !withoutMaterial) {
        target->material = MaterialFor(slots[0]);
    } else if (!slots.empty()) {
        SceneMaterial* multi = scene_.AddMaterial(target->name + " Multi");
        for (unsigned index : slots) multi->subMaterials.push_back(MaterialFor(index));
        if (withoutMaterial) multi->subMaterials.push_back(nullptr);
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

// The glTF reader adds an unnamed material without texture at the end for
// primitives that have none; the other readers name theirs "DefaultMaterial".
bool Loader::IsInventedMaterial(unsigned index) const {
    if (index >= ai_->mNumMaterials) return true;
    const aiMaterial* m = ai_->mMaterials[index];
    aiString name;
    const bool named = m->Get(AI_MATKEY_NAME, name) == AI_SUCCESS && name.length > 0;
    if (named) return std::strcmp(name.C_Str(), AI_DEFAULT_MATERIAL_NAME) == 0;
    const bool textured = m->GetTextureCount(aiTextureType_DIFFUSE) > 0 || m->GetTextureCount(aiTextureType_BASE_COLOR) > 0;
    return report_.format.find("glTF") != std::string::npos && index + 1 == ai_->mNumMaterials && !textured;
}

SceneMaterial* Loader::MaterialFor(unsigned index) {
    auto it = materials_.find(index);
    if (it != materials_.end()) return it->second;
    aiString name;
    std::string text = "Material #" + std::to_string(index);
    if (ai_->mMaterials[index]->Get(AI_MATKEY_NAME, name) == AI_SUCCESS && name.length > 0) text = name.C_Str();
    SceneMaterial* material = scene_.AddMaterial(text);
    materials_[index] = material;
    SetTexture(index, material);
    return material;
}

std::string Loader::CachePathFor(const std::string& stem) {
    std::string name = stem.empty() ? "texture" : stem;
    std::string candidate = name;
    for (int n = 2; cacheNames_.count(candidate); ++n) candidate = name + "-" + std::to_string(n);
    cacheNames_.insert(candidate);
    return (fs::path(folder_) / (candidate + ".tga")).string();
}

// Decodes a picture and writes it as a plain TGA into the texture folder; returns its path.
std::string Loader::ConvertPicture(const std::string& stem, const uint8_t* data, size_t size, bool& ok,
                                   std::string& problem) {
    ok = false;
    int w = 0, h = 0, channels = 0;
    if (size > static_cast<size_t>(INT32_MAX)) {
        problem = "picture too large to decode";
        return "";
    }
    stbi_uc* pixels = stbi_load_from_memory(data, static_cast<int>(size), &w, &h, &channels, 4);
    if (!pixels) {
        problem = std::string("cannot decode the picture (") + stbi_failure_reason() + ")";
        return "";
    }
    std::string out;
    if (w > 65535 || h > 65535) {
        problem = "picture too large for a TGA file";
    } else {
        std::error_code ec;
        fs::create_directories(folder_, ec);
        out = CachePathFor(stem);
        if (ec || !WriteTga(out, pixels, w, h, channels == 2 || channels == 4)) {
            problem = "cannot write \"" + out + "\"";
            out.clear();
        } else {
            ok = true;
            if (ReaderFor(out) != Reader::Tga) problem = "the exporter would not read \"" + out + "\" as TGA: rename the texture folder";
        }
    }
    stbi_image_free(pixels);
    return out;
}

void Loader::SetTexture(unsigned index, SceneMaterial* material) {
    const aiMaterial* m = ai_->mMaterials[index];
    aiString texture;
    if (m->GetTexture(aiTextureType_DIFFUSE, 0, &texture) != AI_SUCCESS &&
        m->GetTexture(aiTextureType_BASE_COLOR, 0, &texture) != AI_SUCCESS)
        return;  // the diffuse slot stays empty
    TextureNote note;
    note.material = material->name.data();
    std::string named = texture.C_Str();

    const auto [embedded, embeddedIndex] = ai_->GetEmbeddedTextureAndIndex(named.c_str());
    if (embedded) {
        note.source = "embedded #" + std::to_string(embeddedIndex);
        auto done = converted_.find(note.source);
        if (done != converted_.end()) {
            note.file = done->second;
        } else {
            std::string stem = embedded->mFilename.length > 0 ? fs::path(embedded->mFilename.C_Str()).stem().string()
                                                               : fs::path(path_).stem().string() + "-embedded-" + std::to_string(embeddedIndex);
            bool ok = false;
            if (embedded->mHeight == 0) {
                note.file = ConvertPicture(stem, reinterpret_cast<const uint8_t*>(embedded->pcData), embedded->mWidth, ok, note.problem);
            } else {
                // Raw texels, blue-green-red-alpha, top row first.
                std::vector<uint8_t> rgba(static_cast<size_t>(embedded->mWidth) * embedded->mHeight * 4);
                for (size_t i = 0; i < rgba.size() / 4; ++i) {
                    const aiTexel& t = embedded->pcData[i];
                    rgba[4 * i] = t.r, rgba[4 * i + 1] = t.g, rgba[4 * i + 2] = t.b, rgba[4 * i + 3] = t.a;
                }
                std::error_code ec;
                fs::create_directories(folder_, ec);
                note.file = CachePathFor(stem);
                ok = embedded->mWidth <= 65535 && embedded->mHeight <= 65535 &&
                     WriteTga(note.file, rgba.data(), static_cast<int>(embedded->mWidth), static_cast<int>(embedded->mHeight), true);
                if (!ok) note.problem = "cannot write \"" + note.file + "\"";
            }
            if (ok) converted_[note.source] = note.file;
        }
        note.conversion = std::string("embedded ") + (embedded->mHeight == 0 ? embedded->achFormatHint : "raw") + " picture";
    } else {
        std::replace(named.begin(), named.end(), '\\', '/');
        const fs::path sceneDir = fs::path(path_).parent_path();
        // Where the file may be: as named (relative to the scene file), URI
        // escapes undone, or beside the scene file when the path is another machine's.
        std::vector<fs::path> candidates;
        for (const std::string& n : {named, PercentDecoded(named)}) {
            const fs::path p(n);
            candidates.push_back(p.is_absolute() ? p : sceneDir / p);
        }
        candidates.push_back(sceneDir / fs::path(named).filename());
        std::error_code ec;
        fs::path found;
        for (const fs::path& c : candidates)
            if (fs::is_regular_file(c, ec)) {
                found = c;
                break;
            }
        if (found.empty()) {
            note.source = candidates[0].lexically_normal().string();
            note.file = note.source;  // the exporter reports the file it cannot load
            note.problem = "missing";
        } else {
            note.source = found.lexically_normal().string();
            note.conversion = WhyConvert(note.source);
            if (note.conversion.empty()) {
                note.file = note.source;
            } else if (auto done = converted_.find(note.source); done != converted_.end()) {
                note.file = done->second;
            } else {
                const std::string bytes = ReadWholeFile(note.source);
                bool ok = false;
                note.file = ConvertPicture(found.stem().string(), reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(), ok, note.problem);
                if (ok) {
                    converted_[note.source] = note.file;
                } else {
                    note.file = note.source;  // named as it is; the listing shows the problem
                    note.conversion.clear();
                }
            }
        }
    }
    if (!note.file.empty()) material->diffuse = std::make_unique<SceneBitmapTex>(note.file);
    report_.textures.push_back(std::move(note));
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
        if (!note.conversion.empty()) out << " (converted from \"" << note.source << "\": " << note.conversion << ")";
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
    if (!(options.framesPerSecond > 0) || !(options.unitsPerMetre > 0)) {
        error = "Cannot load scene file \"" + path + "\": frames a second and units per metre must be above 0";
        return 0;
    }
    // Textures are resolved against the scene file's folder, whatever the current one is.
    std::error_code ec;
    const fs::path absolute = fs::absolute(path, ec);
    Loader loader(ec ? path : absolute.lexically_normal().string(), options, scene, report);
    return loader.Run(error);
}

void ListAssimpScene(Scene& scene, const AssimpSceneReport& report, std::ostream& out) {
    out << "Scene file \"" << report.path << "\"";
    if (!report.format.empty()) out << " (" << report.format << ")";
    out << "\n";
    if (report.animation.empty()) {
        out << "No animation: the scene stands still\n";
    } else {
        out << "Animation \"" << report.animation << "\": ticks " << report.startTick << " to " << report.endTick
            << " at " << report.ticksPerSecond << " a second\n";
    }
    if (!scene.root) return;
    ListNode(scene.root.get(), report, 0, out);
}

}  // namespace standin
