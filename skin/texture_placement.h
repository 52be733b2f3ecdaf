// The guillotine packer behind ModelExporter::PlaceTextures, one pass at a time.
#pragma once

#include <cstdint>

#include "core/export_records.h"

// A free rectangle of the page, in pixels.
struct FreeRect {
    int32_t x = 0, y = 0, width = 0, height = 0;
};

// What one packing pass did.
enum PlacementPass : int32_t {
    PASS_NOTHING_LEFT = 0,  // no record is waiting: the passes are over
    PASS_PLACED = 1,        // the largest waiting record was placed
    PASS_NO_ROOM = 2,       // it fit no free rectangle and got the no-room bit
};

// Picks the largest waiting record (neither placed nor no-room; area above 0,
// the earliest of equal areas), puts it into the smallest free rectangle that
// holds it (the earliest of equal areas, areas below 0x0FFFFFFF only) and
// splits the rest of that rectangle by one guillotine cut: the right piece
// replaces it in the list, the lower piece is appended. freeList holds
// *freeCount rectangles and room for capacity; rectangles must lie within
// 0 .. INT32_MAX, as the pieces of any page do. With the list full the lower
// piece is dropped; PlaceTextures sizes the list so that this never happens.
PlacementPass PlaceNextTexture(TextureRecord* records, int32_t recordCount, int32_t page,
                               FreeRect* freeList, int32_t* freeCount, int32_t capacity);
