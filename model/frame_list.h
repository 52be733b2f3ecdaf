// The frame-name table: 256 slots of 16 bytes, the count in use, and the 198
// frame names of the Quake II player model that fill it when the plug-in loads.
#pragma once

#include <cstdint>

constexpr int kFrameSlots = 256;
constexpr int kFrameNameSize = 16;
constexpr int kDefaultFrameCount = 198;

using FrameNameSlots = char[kFrameSlots][kFrameNameSize];

// Writes the default names into slots 0..197 (each with its zero) and returns
// their count. Slots 198..255 are not written.
int32_t FillDefaultFrameNames(FrameNameSlots& slots);
