// The Quake II model file (.md2) as this exporter writes and reads it.
#pragma once

#include <cstdint>

constexpr int32_t kMd2HeaderSize = 68;        // seventeen ints
constexpr int32_t kMd2FrameHeaderSize = 40;   // scale, translate, 16-byte name
constexpr int32_t kMd2FrameNameSize = 16;
constexpr int32_t kMd2Version = 8;
constexpr char kMd2Ident[4] = {'I', 'D', 'P', '2'};

// What the format's fields can index: triangle corners hold 16-bit vertex
// indices, texture-coordinate indices reach 3 x triangles - 1, and texture
// coordinates are signed 16-bit pixels.
constexpr int32_t kMd2MaxVertices = 65536;
constexpr int32_t kMd2MaxTriangles = 21845;

// Byte offsets of the header fields.
enum Md2HeaderField : int32_t {
    MD2_IDENT = 0,
    MD2_VERSION = 4,
    MD2_SKIN_WIDTH = 8,
    MD2_SKIN_HEIGHT = 12,
    MD2_FRAME_SIZE = 16,
    MD2_NUM_SKINS = 20,
    MD2_NUM_XYZ = 24,
    MD2_NUM_ST = 28,
    MD2_NUM_TRIS = 32,
    MD2_NUM_GLCMDS = 36,
    MD2_NUM_FRAMES = 40,
    MD2_OFS_SKINS = 44,
    MD2_OFS_ST = 48,
    MD2_OFS_TRIS = 52,
    MD2_OFS_FRAMES = 56,
    MD2_OFS_GLCMDS = 60,
    MD2_OFS_END = 64,
};

// Bytes of one frame of a model with the given vertex count.
constexpr int64_t Md2FrameSize(int64_t vertexCount) { return kMd2FrameHeaderSize + 4 * vertexCount; }
