// The 198 frame names of the Quake II player model that fill the frame-name
// table when the plug-in loads.
#pragma once

#include <cstdint>

#include "core/export_records.h"

constexpr int kDefaultFrameCount = 198;

// Writes the default names into slots 0..197 (each with its zero) and returns
// their count. Slots 198..255 are not written.
int32_t FillDefaultFrameNames(FrameNameSlots& slots);
