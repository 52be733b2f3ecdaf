#include "support/game_model.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <tuple>

#include "finish/light_normals.h"

namespace game_model {

namespace {

uint32_t U32(const Bytes& b, size_t at) {
    uint32_t v = 0;
    for (int i = 0; i < 4; ++i) v |= static_cast<uint32_t>(b.at(at + i)) << (8 * i);
    return v;
}
float F32(const Bytes& b, size_t at) {
    const uint32_t bits = U32(b, at);
    float f;
    std::memcpy(&f, &bits, 4);
    return f;
}
uint16_t U16(const Bytes& b, size_t at) { return static_cast<uint16_t>(b.at(at) | b.at(at + 1) << 8); }

using Corner = std::tuple<float, float, int32_t>;
using Tri = std::array<Corner, 3>;

// The triangles in a form where winding counts but the first corner does not.
std::vector<Tri> Canonical(const std::vector<std::array<GlCorner, 3>>& tris) {
    std::vector<Tri> out;
    for (const auto& t : tris) {
        Tri c;
        for (int k = 0; k < 3; ++k) c[k] = {t[k].s, t[k].t, t[k].vertex};
        while (c[0] > c[1] || c[0] > c[2]) c = {c[1], c[2], c[0]};
        out.push_back(c);
    }
    std::sort(out.begin(), out.end());
    return out;
}

float Angle(const float a[3], const float b[3]) {
    const float la = std::sqrt(a[0] * a[0] + a[1] * a[1] + a[2] * a[2]);
    const float lb = std::sqrt(b[0] * b[0] + b[1] * b[1] + b[2] * b[2]);
    const float d = (a[0] * b[0] + a[1] * b[1] + a[2] * b[2]) / (la * lb);
    return std::acos(std::clamp(d, -1.0f, 1.0f));
}

}  // namespace

Decoded Decode(const Bytes& b) {
    Decoded m;
    for (int i = 0; i < 17; ++i) m.header[i] = static_cast<int32_t>(U32(b, 4 * i));
    const auto& h = m.header;
    for (int i = 0; i < h[5]; ++i) m.skins.emplace_back(reinterpret_cast<const char*>(&b.at(h[11] + 64 * i)));
    for (int i = 0; i < h[7]; ++i)
        m.st.push_back({static_cast<int16_t>(U16(b, h[12] + 4 * i)), static_cast<int16_t>(U16(b, h[12] + 4 * i + 2))});
    for (int i = 0; i < h[8]; ++i) {
        std::array<uint16_t, 6> t;
        for (int k = 0; k < 6; ++k) t[k] = U16(b, h[13] + 12 * i + 2 * k);
        m.tris.push_back(t);
    }
    for (int f = 0; f < h[10]; ++f) {
        const size_t at = static_cast<size_t>(h[14]) + static_cast<size_t>(f) * h[4];
        std::array<float, 6> box;
        for (int k = 0; k < 6; ++k) box[k] = F32(b, at + 4 * k);
        m.boxes.push_back(box);
        m.vertices.emplace_back(b.begin() + at + 40, b.begin() + at + h[4]);
    }
    size_t at = h[15];
    for (int32_t count; (count = static_cast<int32_t>(U32(b, at))) != 0; ++m.glCommands) {
        const int n = std::abs(count);
        std::vector<GlCorner> run;
        for (int k = 0; k < n; ++k)
            run.push_back({F32(b, at + 4 + 12 * k), F32(b, at + 8 + 12 * k), static_cast<int32_t>(U32(b, at + 12 + 12 * k))});
        for (int i = 0; i + 2 < n; ++i) {
            if (count < 0)
                m.glTris.push_back({run[0], run[i + 1], run[i + 2]});
            else
                m.glTris.push_back(i % 2 ? std::array<GlCorner, 3>{run[i + 1], run[i], run[i + 2]}
                                         : std::array<GlCorner, 3>{run[i], run[i + 1], run[i + 2]});
        }
        at += 4 + 12 * static_cast<size_t>(n);
    }
    return m;
}

std::vector<std::array<float, 3>> ListingNormals(const std::string& ascPath) {
    std::ifstream in(ascPath);
    std::vector<std::array<float, 3>> position;
    std::vector<std::array<int, 3>> faces;
    std::string line;
    while (std::getline(in, line)) {
        float x, y, z;
        int i, a, b, c;
        if (std::sscanf(line.c_str(), "Vertex %d: X: %f Y: %f Z: %f", &i, &x, &y, &z) == 4)
            position.push_back({-y, x, z});  // the exporter's quarter turn
        else if (std::sscanf(line.c_str(), "Face %d: A:%d B:%d C:%d", &i, &a, &b, &c) == 4)
            faces.push_back({a, b, c});
    }
    std::map<std::array<float, 3>, std::array<float, 3>> sums;
    for (const auto& f : faces) {
        const auto &p = position.at(f[0]), &q = position.at(f[1]), &r = position.at(f[2]);
        const float u[3] = {q[0] - p[0], q[1] - p[1], q[2] - p[2]}, v[3] = {r[0] - p[0], r[1] - p[1], r[2] - p[2]};
        const float n[3] = {u[1] * v[2] - u[2] * v[1], u[2] * v[0] - u[0] * v[2], u[0] * v[1] - u[1] * v[0]};
        for (int k : f)
            for (int a2 = 0; a2 < 3; ++a2) sums[position[k]][a2] += n[a2];
    }
    std::vector<std::array<float, 3>> normals;
    for (const auto& p : position) normals.push_back(sums[p]);
    return normals;
}

void ExpectFinished(const Bytes& plain, const Bytes& game, const std::vector<std::string>& skins,
                    const std::string& ascPath) {
    const Decoded p = Decode(plain), g = Decode(game);
    EXPECT_EQ(g.skins, skins);
    EXPECT_EQ(static_cast<size_t>(g.header[16]), game.size()) << "bytes after ofs_end";
    ASSERT_EQ(g.vertices.size(), p.vertices.size());
    EXPECT_EQ(g.boxes, p.boxes);
    for (size_t f = 0; f < p.vertices.size(); ++f)
        for (size_t i = 0; i < p.vertices[f].size(); ++i) {
            if (i % 4 == 3) continue;  // the light normal
            ASSERT_EQ(g.vertices[f][i], p.vertices[f][i]) << "frame " << f << " byte " << i;
        }

    ASSERT_EQ(g.tris.size(), p.tris.size());
    std::set<std::tuple<int, int, int>> corners;
    for (size_t i = 0; i < p.tris.size(); ++i) {
        for (int k = 0; k < 3; ++k) {
            EXPECT_EQ(g.tris[i][k], p.tris[i][k]);
            EXPECT_EQ(g.st.at(g.tris[i][3 + k]), p.st.at(p.tris[i][3 + k])) << "triangle " << i;
            corners.insert({p.tris[i][k], p.st[p.tris[i][3 + k]][0], p.st[p.tris[i][3 + k]][1]});
        }
    }
    EXPECT_LE(g.st.size(), corners.size());
    EXPECT_EQ(Canonical(g.glTris), Canonical(p.glTris));
    // On a closed mesh (each edge met in both directions) strips must join triangles.
    std::set<std::pair<int, int>> edges;
    for (const auto& t : p.tris)
        for (int k = 0; k < 3; ++k) edges.insert({t[k], t[(k + 1) % 3]});
    const bool closed = std::all_of(edges.begin(), edges.end(), [&](const auto& e) { return edges.count({e.second, e.first}) > 0; });
    EXPECT_LT(g.glCommands, static_cast<int>(g.tris.size()) + (closed ? 0 : 1));

    // The widest gap of the table: how far a direction can be from its nearest entry.
    float spacing = 0;
    for (const auto& a : finish::kLightNormals) {
        float nearest = 10;
        for (const auto& b : finish::kLightNormals)
            if (&a != &b) nearest = std::min(nearest, Angle(a, b));
        spacing = std::max(spacing, nearest);
    }
    const auto normals = ListingNormals(ascPath);
    ASSERT_EQ(normals.size() * 4, g.vertices.at(0).size());
    for (size_t i = 0; i < normals.size(); ++i) {
        const uint8_t index = g.vertices[0][4 * i + 3];
        ASSERT_LT(index, finish::kLightNormalCount);
        EXPECT_LE(Angle(finish::kLightNormals[index], normals[i].data()), spacing) << "vertex " << i;
    }
}

}  // namespace game_model
