#include "finish/model_finish.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <map>
#include <tuple>
#include <unordered_map>

#if !defined(_WIN32)
#include <unistd.h>
#endif

#include "finish/light_normals.h"
#include "finish/palette_picture.h"
#include "skin/skin_palette.h"

namespace finish {

namespace {

constexpr int32_t kHeaderSize = 68;
constexpr int32_t kFrameHeaderSize = 40;
constexpr int32_t kVersion = 8;
constexpr uint32_t kIdent = 0x32504449;  // "IDP2"
constexpr std::size_t kMaxFileSize = std::size_t{256} << 20;
using Offset = long long;

uint32_t GetU32(const std::vector<uint8_t>& b, Offset at) {
    return static_cast<uint32_t>(b[at]) | static_cast<uint32_t>(b[at + 1]) << 8 |
           static_cast<uint32_t>(b[at + 2]) << 16 | static_cast<uint32_t>(b[at + 3]) << 24;
}
int32_t GetI32(const std::vector<uint8_t>& b, Offset at) { return static_cast<int32_t>(GetU32(b, at)); }
uint16_t GetU16(const std::vector<uint8_t>& b, Offset at) {
    return static_cast<uint16_t>(b[at] | b[at + 1] << 8);
}
void PutU32(std::vector<uint8_t>& b, uint32_t v) {
    for (int i = 0; i < 4; ++i) b.push_back(static_cast<uint8_t>(v >> (8 * i)));
}
void PutU16(std::vector<uint8_t>& b, uint16_t v) {
    b.push_back(static_cast<uint8_t>(v));
    b.push_back(static_cast<uint8_t>(v >> 8));
}

std::string Text(const char* format, long long a = 0, long long b = 0, long long c = 0) {
    char buffer[256];
    std::snprintf(buffer, sizeof buffer, format, a, b, c);
    return buffer;
}

struct Triangle {
    uint16_t xyz[3];
    uint16_t st[3];
};

// A vertex of the GL command list: texture coordinates as the renderer gets
// them (kept as their bits, so nothing is rounded) and the frame vertex.
struct GlVertex {
    uint32_t s, t;
    int32_t xyz;
    bool operator<(const GlVertex& o) const {
        return std::tie(xyz, s, t) < std::tie(o.xyz, o.s, o.t);
    }
};
using GlTriangle = std::array<int, 3>;  // indices into the distinct GL vertices

struct Model {
    int32_t skinWidth = 0, skinHeight = 0, numXyz = 0, numFrames = 0, frameSize = 0;
    std::vector<std::array<uint8_t, kSkinNameField>> skins;
    std::vector<std::array<int16_t, 2>> st;
    std::vector<Triangle> tris;
    std::vector<uint8_t> frames;  // every frame as stored
    std::vector<uint32_t> glCommands;
    std::vector<uint8_t> trailer;  // whatever follows ofs_end
};

// Reads the model, refusing anything the rewrite could not carry over whole.
std::string ReadModel(const std::vector<uint8_t>& in, Model& m) {
    const Offset size = static_cast<Offset>(in.size());
    if (size < kHeaderSize) return Text("the file is %lld bytes long, shorter than a model's header", size);
    int32_t h[17];
    for (int i = 0; i < 17; ++i) h[i] = GetI32(in, 4 * i);
    if (GetU32(in, 0) != kIdent) return "the file is not a Quake II model (its ident is not IDP2)";
    if (h[1] != kVersion) return Text("the model is version %lld, not 8", h[1]);
    m.skinWidth = h[2];
    m.skinHeight = h[3];
    m.frameSize = h[4];
    const int32_t numSkins = h[5], numSt = h[7], numTris = h[8], numGl = h[9];
    m.numXyz = h[6];
    m.numFrames = h[10];
    if (m.numXyz < 1 || m.numXyz > 65536) return Text("num_xyz is %lld", m.numXyz);
    if (m.numFrames < 1) return Text("num_frames is %lld", m.numFrames);
    if (numSkins < 0 || numSt < 0 || numTris < 0 || numGl < 0)
        return "a count in the header is below 0";
    if (m.frameSize != kFrameHeaderSize + 4 * m.numXyz)
        return Text("framesize is %lld, not 40 + 4 * num_xyz (%lld)", m.frameSize, m.numXyz);
    const Offset ofsEnd = h[16];
    if (ofsEnd < kHeaderSize || ofsEnd > size)
        return Text("ofs_end %lld lies outside the file (%lld bytes)", ofsEnd, size);
    const struct {
        const char* name;
        Offset offset, bytes;
    } sections[] = {{"skins", h[11], Offset{numSkins} * kSkinNameField},
                    {"texture coordinates", h[12], Offset{numSt} * 4},
                    {"triangles", h[13], Offset{numTris} * 12},
                    {"frames", h[14], Offset{m.numFrames} * m.frameSize},
                    {"GL commands", h[15], Offset{numGl} * 4}};
    for (const auto& s : sections) {
        if (s.bytes > 0 && (s.offset < kHeaderSize || s.offset > ofsEnd || s.bytes > ofsEnd - s.offset))
            return std::string("the ") + s.name + Text(" (%lld bytes at %lld) do not lie between the header and ofs_end",
                                                       s.bytes, s.offset);
    }
    for (Offset i = 0; i < numSkins; ++i) {
        std::array<uint8_t, kSkinNameField> name;
        std::memcpy(name.data(), in.data() + h[11] + i * kSkinNameField, kSkinNameField);
        m.skins.push_back(name);
    }
    for (Offset i = 0; i < numSt; ++i)
        m.st.push_back({static_cast<int16_t>(GetU16(in, h[12] + 4 * i)),
                        static_cast<int16_t>(GetU16(in, h[12] + 4 * i + 2))});
    for (Offset i = 0; i < numTris; ++i) {
        Triangle t;
        for (int k = 0; k < 3; ++k) {
            t.xyz[k] = GetU16(in, h[13] + 12 * i + 2 * k);
            t.st[k] = GetU16(in, h[13] + 12 * i + 6 + 2 * k);
            if (t.xyz[k] >= m.numXyz || t.st[k] >= numSt)
                return Text("triangle %lld has an index out of range", i);
        }
        m.tris.push_back(t);
    }
    m.frames.assign(in.begin() + h[14], in.begin() + h[14] + Offset{m.numFrames} * m.frameSize);
    for (Offset i = 0; i < numGl; ++i) m.glCommands.push_back(GetU32(in, h[15] + 4 * i));
    m.trailer.assign(in.begin() + ofsEnd, in.end());
    return "";
}

// The triangles of one GL command's run as the renderer winds them: a fan
// about its first vertex, or a strip that turns every other triangle.
void AppendRunTriangles(const std::vector<int>& run, bool fan, std::vector<GlTriangle>& out) {
    for (std::size_t i = 0; i + 2 < run.size(); ++i) {
        if (fan)
            out.push_back({run[0], run[i + 1], run[i + 2]});
        else if (i % 2 == 0)
            out.push_back({run[i], run[i + 1], run[i + 2]});
        else
            out.push_back({run[i + 1], run[i], run[i + 2]});
    }
}

// The triangles the GL command list draws, each with the winding the renderer gives it.
std::string ReadGlTriangles(const Model& m, std::vector<GlVertex>& vertices, std::vector<GlTriangle>& tris) {
    std::map<GlVertex, int> ids;
    auto id = [&](const GlVertex& v) {
        auto [it, added] = ids.emplace(v, static_cast<int>(vertices.size()));
        if (added) vertices.push_back(v);
        return it->second;
    };
    const std::vector<uint32_t>& w = m.glCommands;
    if (w.empty()) return "";  // none at all: the triangle table is drawn instead
    std::size_t pos = 0;
    while (pos < w.size()) {
        const int32_t count = static_cast<int32_t>(w[pos]);
        if (count == 0) return "";
        const Offset n = count < 0 ? -Offset{count} : count;
        if (n < 3 || Offset(pos) + 1 + 3 * n > Offset(w.size()))
            return Text("the GL command at word %lld is broken", static_cast<long long>(pos));
        std::vector<int> run;
        for (Offset k = 0; k < n; ++k) {
            const GlVertex v{w[pos + 1 + 3 * k], w[pos + 2 + 3 * k], static_cast<int32_t>(w[pos + 3 + 3 * k])};
            if (v.xyz < 0 || v.xyz >= m.numXyz)
                return Text("the GL command at word %lld names vertex %lld", static_cast<long long>(pos), v.xyz);
            run.push_back(id(v));
        }
        AppendRunTriangles(run, count < 0, tris);
        pos += 1 + 3 * n;
    }
    return "the GL command list has no terminating 0";
}

// A greedy stripifier in the manner of id's own tools: from each triangle not
// yet drawn, the longer of the strips and fans that start at any of its three
// corners; a neighbour joins only across an edge it shares with the same
// winding, so every triangle is drawn as it was.
class Stripifier {
public:
    explicit Stripifier(const std::vector<GlTriangle>& tris) : tris_(tris), used_(tris.size(), 0) {
        for (std::size_t i = 0; i < tris.size(); ++i)
            for (int k = 0; k < 3; ++k) edges_[Key(tris[i][k], tris[i][(k + 1) % 3])].push_back(static_cast<int>(i));
    }

    // Commands as (count, vertex ids): count > 0 a strip, < 0 a fan.
    std::vector<std::pair<int, std::vector<int>>> Run() {
        std::vector<std::pair<int, std::vector<int>>> commands;
        for (std::size_t start = 0; start < tris_.size(); ++start) {
            if (used_[start]) continue;
            std::vector<int> best, bestTris;
            bool bestFan = false;
            for (int fan = 0; fan < 2; ++fan) {
                for (int corner = 0; corner < 3; ++corner) {
                    std::vector<int> verts, members;
                    Grow(static_cast<int>(start), corner, fan != 0, verts, members);
                    if (members.size() > bestTris.size()) {
                        best = verts;
                        bestTris = members;
                        bestFan = fan != 0;
                    }
                }
            }
            for (int t : bestTris) used_[t] = 1;
            const int n = static_cast<int>(best.size());
            commands.push_back({bestFan ? -n : n, best});
        }
        return commands;
    }

private:
    static uint64_t Key(int a, int b) { return static_cast<uint64_t>(a) << 32 | static_cast<uint32_t>(b); }

    // The undrawn triangle, other than those in members, with the edge a -> b;
    // its third corner in `third`.
    int Next(int a, int b, const std::vector<int>& members, int& third) const {
        auto it = edges_.find(Key(a, b));
        if (it == edges_.end()) return -1;
        for (int t : it->second) {
            if (used_[t] || std::find(members.begin(), members.end(), t) != members.end()) continue;
            for (int k = 0; k < 3; ++k) {
                if (tris_[t][k] == a && tris_[t][(k + 1) % 3] == b) {
                    third = tris_[t][(k + 2) % 3];
                    return t;
                }
            }
        }
        return -1;
    }

    void Grow(int start, int corner, bool fan, std::vector<int>& verts, std::vector<int>& members) const {
        const GlTriangle& t = tris_[start];
        verts = {t[corner], t[(corner + 1) % 3], t[(corner + 2) % 3]};
        members = {start};
        // The edge the next triangle must hold, in its own winding.
        int m1 = fan ? verts[0] : verts[2];
        int m2 = fan ? verts[2] : verts[1];
        for (;;) {
            int third = -1;
            const int next = Next(m1, m2, members, third);
            if (next < 0) return;
            if (fan || members.size() % 2 == 1)
                m2 = third;
            else
                m1 = third;
            verts.push_back(third);
            members.push_back(next);
        }
    }

    const std::vector<GlTriangle>& tris_;
    std::vector<uint8_t> used_;
    std::unordered_map<uint64_t, std::vector<int>> edges_;
};

// Each triangle as its smallest rotation, so the same triangle compares equal
// whichever corner it starts at, while its winding still counts.
std::vector<GlTriangle> Canonical(std::vector<GlTriangle> tris) {
    for (GlTriangle& t : tris) {
        while (t[0] > t[1] || t[0] > t[2]) t = {t[1], t[2], t[0]};
    }
    std::sort(tris.begin(), tris.end());
    return tris;
}

std::string ShareTexCoords(Model& m, std::string& summary) {
    std::map<std::pair<int16_t, int16_t>, uint16_t> shared;
    std::vector<std::array<int16_t, 2>> st;
    for (Triangle& t : m.tris) {
        for (int k = 0; k < 3; ++k) {
            const auto& c = m.st[t.st[k]];
            auto [it, added] = shared.emplace(std::make_pair(c[0], c[1]), static_cast<uint16_t>(st.size()));
            if (added) st.push_back(c);
            t.st[k] = it->second;
        }
    }
    summary += Text("%lld texture coordinates -> %lld; ", static_cast<long long>(m.st.size()),
                    static_cast<long long>(st.size()));
    m.st = std::move(st);

    std::vector<GlVertex> vertices;
    std::vector<GlTriangle> tris;
    std::string problem = ReadGlTriangles(m, vertices, tris);
    if (!problem.empty()) return problem;
    if (tris.empty() && !m.tris.empty() && m.skinWidth > 0 && m.skinHeight > 0) {
        // No GL commands to keep: draw the triangle table.
        std::map<GlVertex, int> ids;
        for (const Triangle& t : m.tris) {
            GlTriangle g;
            for (int k = 0; k < 3; ++k) {
                const float s = m.st[t.st[k]][0] / static_cast<float>(m.skinWidth);
                const float u = m.st[t.st[k]][1] / static_cast<float>(m.skinHeight);
                GlVertex v{0, 0, t.xyz[k]};
                std::memcpy(&v.s, &s, 4);
                std::memcpy(&v.t, &u, 4);
                auto [it, added] = ids.emplace(v, static_cast<int>(vertices.size()));
                if (added) vertices.push_back(v);
                g[k] = it->second;
            }
            tris.push_back(g);
        }
    }
    const auto commands = Stripifier(tris).Run();
    std::vector<GlTriangle> drawn;
    std::vector<uint32_t> words;
    int strips = 0;
    for (const auto& [count, run] : commands) {
        words.push_back(static_cast<uint32_t>(count));
        strips += count > 0;
        for (int v : run) {
            words.push_back(vertices[v].s);
            words.push_back(vertices[v].t);
            words.push_back(static_cast<uint32_t>(vertices[v].xyz));
        }
        AppendRunTriangles(run, count < 0, drawn);
    }
    words.push_back(0);
    if (Canonical(drawn) != Canonical(tris)) return "the GL strips would not draw the model's triangles as they were";
    summary += Text("GL commands for %lld triangles -> %lld strips and %lld fans; ",
                    static_cast<long long>(tris.size()), strips,
                    static_cast<long long>(commands.size()) - strips);
    m.glCommands = std::move(words);
    return "";
}

// Light normals from the triangles of each frame as decoded. Vertices at one
// position share their normal, so seams of the texture do not show in the light.
// The triangles face the viewer clockwise, as Quake's do.
void ComputeNormals(Model& m) {
    const std::size_t n = static_cast<std::size_t>(m.numXyz);
    std::vector<std::array<float, 3>> position(n), normal(n);
    for (int32_t f = 0; f < m.numFrames; ++f) {
        uint8_t* frame = m.frames.data() + static_cast<std::size_t>(f) * m.frameSize;
        float scale[3], translate[3];
        for (int a = 0; a < 3; ++a) {
            std::memcpy(&scale[a], frame + 4 * a, 4);
            std::memcpy(&translate[a], frame + 12 + 4 * a, 4);
        }
        uint8_t* v = frame + kFrameHeaderSize;
        for (std::size_t i = 0; i < n; ++i) {
            for (int a = 0; a < 3; ++a) position[i][a] = v[4 * i + a] * scale[a] + translate[a];
            normal[i] = {0, 0, 0};
        }
        // Sums per position first, then handed to every vertex there.
        std::map<uint32_t, std::array<float, 3>> byPosition;
        auto spot = [&](uint16_t i) {
            return static_cast<uint32_t>(v[4 * i] | v[4 * i + 1] << 8 | v[4 * i + 2] << 16);
        };
        for (const Triangle& t : m.tris) {
            const auto& a = position[t.xyz[0]];
            const auto& b = position[t.xyz[1]];
            const auto& c = position[t.xyz[2]];
            const float e1[3] = {c[0] - a[0], c[1] - a[1], c[2] - a[2]};
            const float e2[3] = {b[0] - a[0], b[1] - a[1], b[2] - a[2]};
            const float cross[3] = {e1[1] * e2[2] - e1[2] * e2[1], e1[2] * e2[0] - e1[0] * e2[2],
                                    e1[0] * e2[1] - e1[1] * e2[0]};
            for (int k = 0; k < 3; ++k) {
                auto& sum = byPosition[spot(t.xyz[k])];
                for (int a2 = 0; a2 < 3; ++a2) sum[a2] += cross[a2];
            }
        }
        for (std::size_t i = 0; i < n; ++i) {
            auto it = byPosition.find(spot(static_cast<uint16_t>(i)));
            if (it == byPosition.end()) continue;  // in no triangle: its byte stays
            const auto& s = it->second;
            v[4 * i + 3] = static_cast<uint8_t>(NearestLightNormal(s[0], s[1], s[2]));
        }
    }
}

void WriteModel(const Model& m, bool keepTrailer, std::vector<uint8_t>& out, Offset& end) {
    const Offset ofsSkins = kHeaderSize;
    const Offset ofsSt = ofsSkins + Offset(m.skins.size()) * kSkinNameField;
    const Offset ofsTris = ofsSt + 4 * Offset(m.st.size());
    const Offset ofsFrames = ofsTris + 12 * Offset(m.tris.size());
    const Offset ofsGl = ofsFrames + Offset(m.frames.size());
    end = ofsGl + 4 * Offset(m.glCommands.size());
    if (end > INT32_MAX) return;
    out.clear();
    PutU32(out, kIdent);
    const Offset header[16] = {kVersion, m.skinWidth, m.skinHeight, m.frameSize, Offset(m.skins.size()),
                               m.numXyz, Offset(m.st.size()), Offset(m.tris.size()),
                               Offset(m.glCommands.size()), m.numFrames, ofsSkins, ofsSt, ofsTris,
                               ofsFrames, ofsGl, end};
    for (Offset field : header) PutU32(out, static_cast<uint32_t>(field));
    for (const auto& name : m.skins) out.insert(out.end(), name.begin(), name.end());
    for (const auto& c : m.st) {
        PutU16(out, static_cast<uint16_t>(c[0]));
        PutU16(out, static_cast<uint16_t>(c[1]));
    }
    for (const Triangle& t : m.tris) {
        for (uint16_t i : t.xyz) PutU16(out, i);
        for (uint16_t i : t.st) PutU16(out, i);
    }
    out.insert(out.end(), m.frames.begin(), m.frames.end());
    for (uint32_t w : m.glCommands) PutU32(out, w);
    if (keepTrailer) out.insert(out.end(), m.trailer.begin(), m.trailer.end());
}

}  // namespace

std::string CheckSkinName(const std::string& name) {
    if (name.empty()) return "a skin name is empty";
    if (name.size() >= static_cast<std::size_t>(kSkinNameField))
        return "skin name \"" + name + Text("\" is %lld characters long; the engines keep at most 63",
                                            static_cast<long long>(name.size()));
    if (name.find('\0') != std::string::npos) return "a skin name holds a zero byte";
    return "";
}

FinishResult FinishModelBytes(const std::vector<uint8_t>& in, const FinishOptions& options,
                              std::vector<uint8_t>& out) {
    out.clear();
    Model m;
    std::string problem = ReadModel(in, m);
    if (!problem.empty()) return {false, problem};
    std::string summary;
    if (!options.skins.empty()) {
        if (options.skins.size() > static_cast<std::size_t>(kMaxSkinNames))
            return {false, Text("%lld skin names; the engines hold at most 32",
                                static_cast<long long>(options.skins.size()))};
        m.skins.clear();
        for (const std::string& name : options.skins) {
            problem = CheckSkinName(name);
            if (!problem.empty()) return {false, problem};
            std::array<uint8_t, kSkinNameField> field{};
            std::memcpy(field.data(), name.data(), name.size());
            m.skins.push_back(field);
        }
        summary += Text("skin names: %lld; ", static_cast<long long>(m.skins.size()));
    }
    if (options.normals) {
        ComputeNormals(m);
        summary += Text("light normals in %lld frames; ", m.numFrames);
    }
    if (options.shareSt) {
        problem = ShareTexCoords(m, summary);
        if (!problem.empty()) return {false, problem};
    }
    if (options.dropTrailer && !m.trailer.empty())
        summary += Text("%lld bytes after ofs_end dropped; ", static_cast<long long>(m.trailer.size()));
    Offset end = 0;
    WriteModel(m, !options.dropTrailer, out, end);
    if (end > INT32_MAX) {
        out.clear();
        return {false, "the rewritten model would need offsets beyond 32 bits"};
    }
    if (summary.empty()) summary = "nothing asked; ";
    summary.resize(summary.size() - 2);
    return {true, summary};
}

FinishResult FinishModel(const std::string& path, const FinishOptions& options) {
    std::vector<uint8_t> in, out;
    std::string reason;
    if (!ReadWholeFile(path, in, reason)) return {false, reason};
    FinishResult result = FinishModelBytes(in, options, out);
    if (!result.ok) return {false, path + ": " + result.message};
    if (!ReplaceFile(path, out, reason)) return {false, reason};
    result.message = path + ": " + result.message;
    return result;
}

FinishResult RemovePaletteIndex255(const std::string& pcxPath) {
    std::vector<uint8_t> bytes;
    std::string reason;
    if (!ReadWholeFile(pcxPath, bytes, reason)) return {false, reason};
    const std::string where = pcxPath + ": ";
    if (bytes.size() < 128 || bytes[0] != 10 || bytes[2] != 1 || bytes[3] != 8 || bytes[65] != 1)
        return {false, where + "not an 8-bit run-length PCX with one plane"};
    const Offset width = GetU16(bytes, 8) - Offset{GetU16(bytes, 4)} + 1;
    const Offset height = GetU16(bytes, 10) - Offset{GetU16(bytes, 6)} + 1;
    const Offset perLine = GetU16(bytes, 66);
    if (width < 1 || height < 1 || perLine < width) return {false, where + "its picture size does not hold together"};

    // Nearest by the palette's colours; the first of equals, as the quantizer picks.
    const SkinColor& from = SkinPalette[255];
    const int nearest = NearestOpaqueIndex(from.red, from.green, from.blue);

    // Only the values of runs can be 255 (a literal byte is below 0xC0), so
    // they are changed where they stand and the coding keeps its length.
    const Offset pixels = perLine * height;
    Offset decoded = 0, at = 128, changed = 0;
    const Offset size = static_cast<Offset>(bytes.size());
    while (decoded < pixels) {
        if (at >= size) return {false, where + "its picture data ends early"};
        if (bytes[at] < 0xC0) {
            ++decoded;
            ++at;
            continue;
        }
        if (at + 1 >= size) return {false, where + "its picture data ends early"};
        if (bytes[at + 1] == 255) {
            bytes[at + 1] = static_cast<uint8_t>(nearest);
            changed += bytes[at] - 0xC0;
        }
        decoded += bytes[at] - 0xC0;
        at += 2;
    }
    if (changed == 0) return {true, where + "no pixel of index 255"};
    if (!ReplaceFile(pcxPath, bytes, reason)) return {false, reason};
    return {true, where + Text("%lld pixels of index 255 moved to index %lld", changed, nearest)};
}

bool ReadWholeFile(const std::string& path, std::vector<uint8_t>& bytes, std::string& reason) {
    bytes.clear();
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (!file) {
        reason = "cannot open " + path + ": " + std::strerror(errno);
        return false;
    }
    uint8_t chunk[65536];
    std::size_t got;
    while ((got = std::fread(chunk, 1, sizeof chunk, file)) > 0 && bytes.size() <= kMaxFileSize)
        bytes.insert(bytes.end(), chunk, chunk + got);
    const bool failed = std::ferror(file) != 0;
    std::fclose(file);
    if (failed || bytes.size() > kMaxFileSize) {
        reason = failed ? "cannot read " + path : path + " is larger than 256 MiB";
        return false;
    }
    return true;
}

bool ReplaceFile(const std::string& path, const std::vector<uint8_t>& bytes, std::string& reason) {
    const std::string temp = path + ".finishing";
    std::FILE* file = std::fopen(temp.c_str(), "wb");
    if (!file) {
        reason = "cannot write " + temp + ": " + std::strerror(errno);
        return false;
    }
    bool ok = bytes.empty() || std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    ok = std::fflush(file) == 0 && ok;
#if !defined(_WIN32)
    ok = fsync(fileno(file)) == 0 && ok;
#endif
    ok = std::fclose(file) == 0 && ok;
#if defined(_WIN32)
    // Windows' rename does not replace an existing file.
    if (ok) std::remove(path.c_str());
#endif
    if (!ok || std::rename(temp.c_str(), path.c_str()) != 0) {
        reason = "cannot replace " + path + ": " + std::strerror(errno);
        std::remove(temp.c_str());
        return false;
    }
    return true;
}

}  // namespace finish
