// A Quake II model (.md2) read for drawing: the skin size and names, texture
// coordinates, triangles and every frame's decoded vertices with their
// light-normal indices. The reader checks each count and offset against the
// file's size before it reads a byte, so bad input gives a message, never a
// read out of bounds.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace preview {

struct Md2Triangle {
    uint16_t vertex[3];
    uint16_t st[3];
};

struct Md2Frame {
    std::string name;
    std::vector<float> positions;      // x, y, z per vertex: byte * scale + translate
    std::vector<uint8_t> lightNormal;  // an index into the 162 light normals per vertex
};

struct Md2Model {
    int32_t skinWidth = 0;
    int32_t skinHeight = 0;
    int32_t vertexCount = 0;
    std::vector<std::string> skinNames;
    std::vector<int16_t> st;  // s, t per texture coordinate, in skin pixels
    std::vector<Md2Triangle> triangles;
    std::vector<Md2Frame> frames;
};

// Reads the model in data[0, size). On failure returns false with error
// naming the field or section at fault.
bool ReadMd2(const uint8_t* data, std::size_t size, Md2Model& model, std::string& error);

// Reads the model file at path; the error then starts with the path.
bool LoadMd2(const std::string& path, Md2Model& model, std::string& error);

}  // namespace preview
