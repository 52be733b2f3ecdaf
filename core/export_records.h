// The records one export passes from stage to stage. Vertices and faces are
// plain arrays of zeroed records; texture records own their images.
#pragma once

#include <cstdint>

#include "core/bitmap_image.h"

// The frame-name table: 256 slots of 16 bytes, each name with its zero.
constexpr int kFrameSlots = 256;
constexpr int kFrameNameSize = 16;
using FrameNameSlots = char[kFrameSlots][kFrameNameSize];

// Flag marks of one vertex or face: 32 toggles packed into a mask, and eight
// values. Laid out like the first words of every record head.
struct FlagBlock {
    uint32_t flagMask = 0;
    uint32_t flagValues[8] = {};
};

struct ExportRecordHead {
    uint32_t flagMask = 0;  // a texture record's pageFlags
    uint32_t flagValues[8] = {};
    int32_t mergeIndex = 0;
};

// pageFlags of a texture record: page byte, placed and no-room bits.
constexpr uint32_t PAGE_NUMBER_MASK = 0xFF;
constexpr uint32_t PAGE_NONE = 255;
constexpr uint32_t PAGE_PLACED = 0x200;
constexpr uint32_t PAGE_NO_ROOM = 0x400;

struct ExportVertex {
    ExportRecordHead head;
    float x = 0.0f, y = 0.0f, z = 0.0f;
    float u = 0.0f, v = 0.0f;
};

struct TextureRecord;

struct ExportFace {
    ExportRecordHead head;
    const char* fileName = nullptr;  // host-owned, not copied
    uint32_t smoothGroup = 0;
    uint32_t vertexIndex[3] = {0, 0, 0};
    float u[3] = {0, 0, 0};
    float v[3] = {0, 0, 0};
    float red[3] = {0, 0, 0};
    float green[3] = {0, 0, 0};
    float blue[3] = {0, 0, 0};
    TextureRecord* texture = nullptr;
};

struct TextureRecord {
    ExportRecordHead head;
    const char* fileName = nullptr;  // host-owned, unless the TIM option gave it a copy
    BitmapImage image;
    float uMax = 0.0f, uMin = 0.0f;
    float vMax = 0.0f, vMin = 0.0f;
    int32_t clutX = 0, clutY = 0;
    int32_t placeX = 0, placeY = 0;
    int32_t placeWidth = 0, placeHeight = 0;
    // Holds a copy of the file name when COLLECT_TIM_POSITION renamed it.
    std::unique_ptr<char[]> ownedFileName;

    uint32_t& pageFlags() { return head.flagMask; }
    uint32_t pageFlags() const { return head.flagMask; }
    uint32_t PageNumber() const { return head.flagMask & PAGE_NUMBER_MASK; }
    void SetPageNumber(uint32_t page) { head.flagMask = (head.flagMask & ~PAGE_NUMBER_MASK) | (page & PAGE_NUMBER_MASK); }
    bool IsPlaced() const { return (head.flagMask & PAGE_PLACED) != 0; }
};
