// What a model finished for the game must be, checked against the plain
// export it came from and the mesh listing written with it.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace game_model {

using Bytes = std::vector<uint8_t>;

struct GlCorner {
    float s, t;
    int32_t vertex;
};

// A model decoded without the checker's or the finisher's code.
struct Decoded {
    std::array<int32_t, 17> header{};
    std::vector<std::string> skins;
    std::vector<std::array<int16_t, 2>> st;
    std::vector<std::array<uint16_t, 6>> tris;
    std::vector<std::vector<uint8_t>> vertices;  // per frame, 4 bytes a vertex
    std::vector<std::array<float, 6>> boxes;     // per frame, scale then translate
    std::vector<std::array<GlCorner, 3>> glTris; // as the renderer draws them
    int glCommands = 0;
};
Decoded Decode(const Bytes& model);

// Frame 0's positions and faces from a mesh listing (tris.asc), turned as the
// exporter turns them, and each vertex's smoothed normal from them.
std::vector<std::array<float, 3>> ListingNormals(const std::string& ascPath);

// Expects game to be plain finished: the skin names, the same vertex bytes,
// triangles and GL triangles, shared texture coordinates, fewer GL commands
// than triangles, nothing after ofs_end, and frame 0's light normals within
// the table's spacing of the listing's normals.
void ExpectFinished(const Bytes& plain, const Bytes& game, const std::vector<std::string>& skins,
                    const std::string& ascPath);

}  // namespace game_model
