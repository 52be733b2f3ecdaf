// Texture placement: faces find their texture records and measure the UV range
// they use; the used rectangles are packed onto a skin page.
#include "skin/texture_placement.h"

#include <cstring>
#include <memory>
#include <new>

#include "core/model_exporter.h"

namespace {

// Free rectangles only count when their area lies below this bound.
constexpr int64_t kAreaBound = 0x0FFFFFFF;

// Areas are formed in 64 bits: the same value as the 32-bit product for any
// page the bound admits, and no overflow for sizes that would break it. A
// rectangle with a side of 0 or less has no area, so a negative size can never
// be taken for a positive one.
int64_t AreaOf(int32_t width, int32_t height) {
    if (width <= 0 || height <= 0) return 0;
    return int64_t{width} * height;
}

// The same for the pieces of a cut, which are never negative.
int64_t PieceArea(int64_t width, int64_t height) { return width * height; }

bool Waiting(const TextureRecord& record) {
    return (record.pageFlags() & (PAGE_PLACED | PAGE_NO_ROOM)) == 0;
}

}  // namespace

PlacementPass PlaceNextTexture(TextureRecord* records, int32_t recordCount, int32_t page,
                               FreeRect* freeList, int32_t* freeCount, int32_t capacity) {
    TextureRecord* record = nullptr;
    int64_t largest = 0;
    for (int32_t i = 0; i < recordCount; ++i) {
        const int64_t area = AreaOf(records[i].placeWidth, records[i].placeHeight);
        if (Waiting(records[i]) && area > largest) {
            largest = area;
            record = &records[i];
        }
    }
    if (!record) return PASS_NOTHING_LEFT;

    const int32_t tw = record->placeWidth;
    const int32_t th = record->placeHeight;
    int32_t chosen = -1;
    int64_t smallest = kAreaBound;
    for (int32_t i = 0; i < *freeCount; ++i) {
        const FreeRect& r = freeList[i];
        const int64_t area = int64_t{r.width} * r.height;
        if (tw <= r.width && th <= r.height && area < smallest) {
            smallest = area;
            chosen = i;
        }
    }
    if (chosen < 0) {
        record->pageFlags() |= PAGE_NO_ROOM;
        return PASS_NO_ROOM;
    }

    const FreeRect used = freeList[chosen];
    record->placeX = used.x;
    record->placeY = used.y;
    record->SetPageNumber(static_cast<uint32_t>(page));
    record->pageFlags() |= PAGE_PLACED;

    // The cut that leaves the single largest piece wins; a tie goes horizontal.
    const int64_t w = used.width, h = used.height;
    const int64_t verticalRight = PieceArea(w - tw, h);
    const int64_t verticalLower = PieceArea(tw, h - th);
    const int64_t horizontalRight = PieceArea(w - tw, th);
    const int64_t horizontalLower = PieceArea(w, h - th);
    const bool vertical = (verticalRight > horizontalRight && verticalRight > horizontalLower) ||
                          (verticalLower > horizontalRight && verticalLower > horizontalLower);

    FreeRect right{used.x + tw, used.y, used.width - tw, vertical ? used.height : th};
    FreeRect lower{used.x, used.y + th, vertical ? tw : used.width, used.height - th};
    freeList[chosen] = right;
    if (*freeCount < capacity) freeList[(*freeCount)++] = lower;
    return PASS_PLACED;
}

// Links every face to the record of its file name (exact, case-sensitive; the
// last of equal names wins; a face without a name links to nothing). With
// MATCH_UV_RANGE each used record gets the exact u and v bounds of its faces'
// corners; unused records keep theirs. Always 1.
int ModelExporter::MatchFaceTextures(TextureRecord* records, int32_t recordCount, ExportFace* faces,
                                     int32_t faceCount, int32_t options) {
    for (int32_t f = 0; f < faceCount; ++f) {
        if (!faces[f].fileName) continue;
        for (int32_t r = 0; r < recordCount; ++r) {
            if (records[r].fileName && std::strcmp(faces[f].fileName, records[r].fileName) == 0) {
                faces[f].texture = &records[r];
            }
        }
    }
    if (!(options & MATCH_UV_RANGE)) return 1;

    for (int32_t f = 0; f < faceCount; ++f) {
        TextureRecord* t = faces[f].texture;
        if (!t) continue;
        t->uMin = t->uMax = faces[f].u[0];
        t->vMin = t->vMax = faces[f].v[0];
    }
    // Strict comparisons: a NaN never becomes a bound.
    for (int32_t f = 0; f < faceCount; ++f) {
        TextureRecord* t = faces[f].texture;
        if (!t) continue;
        for (int c = 0; c < 3; ++c) {
            const float u = faces[f].u[c];
            const float v = faces[f].v[c];
            if (u < t->uMin) t->uMin = u;
            if (u > t->uMax) t->uMax = u;
            if (v < t->vMin) t->vMin = v;
            if (v > t->vMax) t->vMax = v;
        }
    }
    return 1;
}

// Packs the used rectangles (placeWidth x placeHeight) of the records not yet
// placed onto a page of pageWidth x pageHeight, largest first; each placed
// record gets placeX, placeY, the page number and the placed bit. A record
// that finds no room stays unplaced without an error. 0 only when the free
// list cannot be allocated (latched; no record changed).
int ModelExporter::PlaceTextures(TextureRecord* records, int32_t recordCount, int32_t page, int32_t pageWidth,
                                 int32_t pageHeight) {
    if (recordCount < 0) recordCount = 0;
    int32_t unplaced = 0;
    for (int32_t i = 0; i < recordCount; ++i) {
        if (!records[i].IsPlaced()) ++unplaced;
    }
    // Each placement turns one free rectangle into two, so one more slot than
    // records to place is enough.
    const int32_t capacity = unplaced + 1;
    std::unique_ptr<FreeRect[]> freeList(new (std::nothrow) FreeRect[static_cast<size_t>(capacity)]);
    if (!freeList) {
        LatchError("Could not get memory for bitmap placement", "Memory error");
        return 0;
    }
    freeList[0] = FreeRect{0, 0, pageWidth, pageHeight};
    int32_t freeCount = 1;

    for (int32_t pass = 0; pass < recordCount; ++pass) {
        if (PlaceNextTexture(records, recordCount, page, freeList.get(), &freeCount, capacity) == PASS_NOTHING_LEFT) {
            break;
        }
    }

    for (int32_t i = 0; i < recordCount; ++i) records[i].pageFlags() &= ~PAGE_NO_ROOM;
    return 1;
}
