// The bundled example scene: its bitmaps are in the forms the exporter's
// readers take, and its meshes, keys and texture coordinates hang together.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <fstream>
#include <iterator>
#include <map>
#include <nlohmann/json.hpp>
#include <string>
#include <tuple>
#include <vector>

namespace {

const std::string kExamples = std::string(VORN_SOURCE_DIR) + "/examples/";

std::vector<uint8_t> ReadBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

uint32_t U16(const std::vector<uint8_t>& b, size_t at) { return b[at] | b[at + 1] << 8; }
uint32_t U32(const std::vector<uint8_t>& b, size_t at) { return U16(b, at) | U16(b, at + 2) << 16; }

nlohmann::json LoadScene() {
    std::ifstream in(kExamples + "robot.json");
    return nlohmann::json::parse(in);
}

TEST(ExampleScene, BitmapsAreUncompressedBottomUpFilesOfTheReadersKinds) {
    const struct {
        const char* file;
        uint32_t width, height, bitCount;
    } bitmaps[] = {
        {"robot_body.tga", 128, 128, 24},
        {"robot_limbs.bmp", 128, 64, 8},
        {"robot_head.bmp", 64, 64, 24},
    };
    for (const auto& bitmap : bitmaps) {
        SCOPED_TRACE(bitmap.file);
        const std::vector<uint8_t> b = ReadBytes(kExamples + bitmap.file);
        const uint32_t pixelBytes = ((bitmap.width * bitmap.bitCount / 8 + 3) & ~3u) * bitmap.height;
        if (std::string(bitmap.file).find(".tga") != std::string::npos) {
            ASSERT_EQ(b.size(), 18 + pixelBytes);  // no image ID, no colour map
            EXPECT_EQ(b[2], 2);                    // uncompressed true colour
            EXPECT_EQ(U16(b, 12), bitmap.width);
            EXPECT_EQ(U16(b, 14), bitmap.height);
            EXPECT_EQ(b[16], bitmap.bitCount);
            EXPECT_EQ(b[17] & 0x20, 0);  // bottom-up
        } else {
            // The pixels right behind the 40-byte header and the palette.
            const uint32_t offset = 54 + (bitmap.bitCount == 8 ? 1024 : 0);
            ASSERT_EQ(b.size(), offset + pixelBytes);
            EXPECT_EQ(b[0], 'B');
            EXPECT_EQ(b[1], 'M');
            EXPECT_EQ(U32(b, 10), offset);
            EXPECT_EQ(U32(b, 18), bitmap.width);
            EXPECT_EQ(U32(b, 22), bitmap.height);  // positive: bottom-up
            EXPECT_EQ(U16(b, 28), bitmap.bitCount);
            EXPECT_EQ(U32(b, 30), 0u);  // uncompressed
        }
    }
}

TEST(ExampleScene, KeysCoverEveryVertexAndEachTextureIsUsedWhole) {
    const nlohmann::json scene = LoadScene();
    const nlohmann::json& materials = scene["materials"];
    auto bitmapOf = [&](size_t material, size_t matId) {
        const nlohmann::json* m = &materials[material];
        if (m->contains("subMaterials")) {
            const nlohmann::json& slots = (*m)["subMaterials"];
            m = &materials[slots[matId % slots.size()].get<size_t>()];
        }
        return (*m)["diffuse"]["bitmap"].get<std::string>();
    };

    struct Range {
        double uMin = 1e9, uMax = -1e9, vMin = 1e9, vMax = -1e9;
    };
    std::map<std::string, Range> ranges;
    int exported = 0;
    std::vector<const nlohmann::json*> pending = {&scene["root"]};
    while (!pending.empty()) {
        const nlohmann::json& node = *pending.back();
        pending.pop_back();
        if (node.contains("children"))
            for (const nlohmann::json& child : node["children"]) pending.push_back(&child);
        if (!node.value("selected", false) || node.value("material", nlohmann::json()).is_null()) continue;
        ++exported;
        SCOPED_TRACE(node["name"].get<std::string>());
        const nlohmann::json& mesh = node["mesh"];
        ASSERT_EQ(mesh["tfaces"].size(), mesh["faces"].size());
        for (const char* keys : {"vertexKeys", "transformKeys"}) {
            ASSERT_TRUE(node.contains(keys));
            EXPECT_GE(node[keys].back()["frame"].get<int>(), 53);  // through attack8
        }
        for (const nlohmann::json& key : node["vertexKeys"])
            EXPECT_EQ(key["vertices"].size(), mesh["vertices"].size());
        for (size_t f = 0; f < mesh["faces"].size(); ++f) {
            Range& r =
                ranges[bitmapOf(node["material"].get<size_t>(), mesh["faces"][f].value("matId", size_t{0}))];
            for (const nlohmann::json& t : mesh["tfaces"][f]) {
                const double u = mesh["tverts"][t.get<size_t>()][0], v = mesh["tverts"][t.get<size_t>()][1];
                r.uMin = std::min(r.uMin, u), r.uMax = std::max(r.uMax, u);
                r.vMin = std::min(r.vMin, v), r.vMax = std::max(r.vMax, v);
            }
        }
    }
    EXPECT_EQ(exported, 2);
    ASSERT_EQ(ranges.size(), 3u);
    for (const auto& [bitmap, r] : ranges) {
        EXPECT_EQ(std::make_tuple(r.uMin, r.uMax, r.vMin, r.vMax), std::make_tuple(0.0, 1.0, 0.0, 1.0)) << bitmap;
    }
}

}  // namespace
