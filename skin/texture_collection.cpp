// Texture collection: one record per bitmap file in the diffuse slots of the
// collected nodes' materials, merged by file name, sorted, and read.
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <new>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <utility>

#include "core/model_exporter.h"
#include "core/output_name.h"
#include "skin/file_reader.h"

namespace {

constexpr int kMessageSize = 256;
constexpr uint32_t kTimHasClut = 8;
constexpr uint32_t kTimClutHeadBytes = 12;

// Case-insensitive order in which upper-case letters compare as their
// lower-case forms (so '_' sorts before letters), independent of the locale.
int CompareNamesNoCase(const char* a, const char* b) {
    auto fold = [](unsigned char c) { return (c >= 'A' && c <= 'Z') ? c + ('a' - 'A') : c; };
    for (;; ++a, ++b) {
        const int ca = fold(static_cast<unsigned char>(*a));
        const int cb = fold(static_cast<unsigned char>(*b));
        if (ca != cb || ca == 0) return ca - cb;
    }
}

// The file name of material's diffuse bitmap, or the reason it has none.
// A bitmap without a name is kept as an empty name, which no face matches
// and which fails to load with a message of its own.
bool DiffuseBitmapName(Mtl* material, const char** name, char* message, size_t size) {
    Texmap* map = material->GetSubTexmap(ID_DI);
    if (!map) {
        std::snprintf(message, size, "No Bitmap in diffuse slot of material:%s", material->GetName().data());
        return false;
    }
    if (map->ClassID() != bitmapTexClassID) {
        std::snprintf(message, size, "Material %s is not a bitmap type", material->GetName().data());
        return false;
    }
    const char* mapName = static_cast<BitmapTex*>(map)->GetMapName();
    *name = mapName ? mapName : "";
    return true;
}

// Keeps the first record of each file name, in order; the others are marked
// with the index of that first record (the first ones with -1) and dropped.
int32_t MergeByName(TextureRecord* array, int32_t n) {
    std::unordered_map<std::string_view, int32_t> first;
    for (int32_t i = 0; i < n; ++i) {
        const auto found = first.emplace(array[i].fileName, i);
        array[i].head.mergeIndex = found.second ? -1 : found.first->second;
    }
    int32_t kept = 0;
    for (int32_t i = 0; i < n; ++i) {
        if (array[i].head.mergeIndex != -1) continue;
        if (kept != i) array[kept] = std::move(array[i]);
        ++kept;
    }
    return kept;
}

// A selection sort by CompareNamesNoCase: where names compare equal, the
// order this sort leaves them in is the order the page is packed in.
void SortByName(TextureRecord* array, int32_t n) {
    for (int32_t i = 0; i + 1 < n; ++i) {
        int32_t smallest = i;
        for (int32_t j = i + 1; j < n; ++j) {
            if (CompareNamesNoCase(array[j].fileName, array[smallest].fileName) < 0) smallest = j;
        }
        if (smallest != i) {
            TextureRecord temporary = std::move(array[i]);
            array[i] = std::move(array[smallest]);
            array[smallest] = std::move(temporary);
        }
    }
}

}  // namespace

// name must hold capacity bytes. 0, with name unchanged, when the new name and
// its terminating zero would not fit.
int ModelExporter::ReplaceExtension(char* name, size_t capacity, const char* extension) {
    if (!name || !extension || capacity == 0) return 0;
    // A cut extension would name another file: refuse and leave name as it was.
    const std::string dotted = std::string(".") + extension;
    return FormOutputName(name, capacity, dotted.c_str());
}

// Takes the record's texture page, position and colour-table position from the
// frame-buffer coordinates of its TIM file and marks it placed; 0 when the file
// cannot be opened or ends early.
int ModelExporter::ReadTimPosition(TextureRecord* record) {
    if (!record || !record->fileName) return 0;
    HostFileReader in(record->fileName);
    if (!in.IsOpen()) return 0;
    in.U32();  // ID
    const uint32_t flags = in.U32();
    if (flags & kTimHasClut) {
        record->clutX = 0;
        record->clutY = 0;
        const uint32_t length = in.U32();
        record->clutX = in.U16();
        record->clutY = in.U16();
        in.Skip(4);  // width and height
        if (!in.Ok() || length < kTimClutHeadBytes) return 0;
        in.Skip(length - kTimClutHeadBytes);
        record->clutX *= 2;
    }
    in.U32();  // image block length
    const int32_t x = in.U16();
    const int32_t y = in.U16();
    if (!in.Ok()) return 0;

    const int32_t t = 2 * x;
    record->placeX = t & 127;
    record->placeY = y & 255;
    record->SetPageNumber(static_cast<uint32_t>(((t >> 7) & 15) + (y > 255 ? 16 : 0)));
    record->pageFlags() |= PAGE_PLACED;
    return 1;
}

// Walks the materials of nodes[0 .. nodeCount-1] (each sub-material of a
// multi-material in turn) and builds a record per diffuse bitmap; options
// COLLECT_MERGE, COLLECT_TIM_POSITION, COLLECT_SORT and COLLECT_LOAD act in
// that order. The array is new[]'d and belongs to the caller from the moment
// it is stored, success or not. Failures latch a reason naming the material
// or file.
int ModelExporter::CollectTextures(TextureRecord** records, int32_t* count, int32_t options) {
    char message[kMessageSize];

    if (!nodes) {
        LatchError("No nodes selected to retrieve textures from", "Selection Error");
        return 0;
    }

    // With merging, a material that several nodes share, or that a
    // multi-material lists in several slots, names the same file each time and
    // would only be merged away: it is taken once, so that a scene of many
    // nodes cannot make the array far larger than its materials.
    const bool merge = (options & COLLECT_MERGE) != 0;
    std::unordered_set<const Mtl*> taken;
    auto takes = [&](const Mtl* material) { return !merge || !material || taken.insert(material).second; };

    int64_t total = 0;
    for (int32_t i = 0; i < nodeCount; ++i) {
        Mtl* material = nodes[i] ? nodes[i]->GetMtl() : nullptr;
        if (!material) continue;
        const int subs = material->NumSubMtls();
        if (subs <= 0) {
            total += takes(material) ? 1 : 0;
            continue;
        }
        for (int s = 0; s < subs; ++s) total += takes(material->GetSubMtl(s)) ? 1 : 0;
    }
    taken.clear();
    if (total == 0) return 1;

    TextureRecord* array = total <= INT32_MAX ? new (std::nothrow) TextureRecord[static_cast<size_t>(total)] : nullptr;
    *records = array;
    if (!array) {
        LatchError("Cannot get memory for bitmap data", "Memory Error");
        return 0;
    }

    int32_t filled = 0;
    for (int32_t i = 0; i < nodeCount; ++i) {
        Mtl* material = nodes[i] ? nodes[i]->GetMtl() : nullptr;
        if (!material) continue;
        const int subs = material->NumSubMtls();
        for (int s = 0; s < (subs > 0 ? subs : 1); ++s) {
            Mtl* used = material;
            if (subs > 0) {
                used = material->GetSubMtl(s);
                if (!used) {
                    // The host's editor numbers the slots from 1.
                    std::snprintf(message, sizeof message, "Empty sub-material slot %d of material:%s", s + 1,
                                  material->GetName().data());
                    LatchError(message, "Scene Error");
                    return 0;
                }
            }
            if (!takes(used)) continue;
            if (!DiffuseBitmapName(used, &array[filled].fileName, message, sizeof message)) {
                LatchError(message, "Scene Error");
                return 0;
            }
            ++filled;
        }
    }
    int32_t n = filled;

    if (merge) n = MergeByName(array, n);

    if (options & COLLECT_TIM_POSITION) {
        for (int32_t i = 0; i < n; ++i) {
            const size_t capacity = std::strlen(array[i].fileName) + sizeof ".tim";
            array[i].ownedFileName.reset(new (std::nothrow) char[capacity]);
            if (!array[i].ownedFileName) {
                LatchError("Cannot get memory for bitmap data", "Memory Error");
                return 0;
            }
            std::memcpy(array[i].ownedFileName.get(), array[i].fileName, std::strlen(array[i].fileName) + 1);
            ReplaceExtension(array[i].ownedFileName.get(), capacity, "tim");
            array[i].fileName = array[i].ownedFileName.get();
        }
    }

    if (options & COLLECT_SORT) SortByName(array, n);

    if (options & COLLECT_LOAD) {
        for (int32_t i = 0; i < n; ++i) {
            const bool read = array[i].image.ReadImageFile(array[i].fileName) &&
                              (!(options & COLLECT_TIM_POSITION) || ReadTimPosition(&array[i]));
            if (!read) {
                std::snprintf(message, sizeof message, "Could not load %s", array[i].fileName);
                LatchError(message, "File Error");
                return 0;
            }
        }
    }

    *count = n;
    return 1;
}
