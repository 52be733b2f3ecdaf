// Finishing a Quake II model for the game: what the engines need beyond what
// the exporter writes. Each step rewrites a model (or its PCX skin) in place and
// keeps every frame's vertex positions byte for byte.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace finish {

constexpr int kMaxSkinNames = 32;     // the engines' skin table (MAX_MD2SKINS)
constexpr int kSkinNameField = 64;    // bytes of one skin name, its zero included

struct FinishOptions {
    // Replaces the header's skin list when not empty: the paths the game looks
    // the skins up by, e.g. "players/vorn/tris.pcx".
    std::vector<std::string> skins;
    bool normals = false;      // light normals from each frame's own triangles
    bool shareSt = false;      // one texture coordinate per distinct (s, t); GL strips and fans
    bool dropTrailer = false;  // nothing after ofs_end
};

struct FinishResult {
    bool ok = false;
    std::string message;  // what was done, or why nothing was
};

// Rewrites the model held in `in` into `out`. Refuses (ok false, out empty)
// a model whose layout does not hold together, naming what is wrong.
FinishResult FinishModelBytes(const std::vector<uint8_t>& in, const FinishOptions& options,
                              std::vector<uint8_t>& out);

// Rewrites the model file at path as asked, whole or not at all.
FinishResult FinishModel(const std::string& path, const FinishOptions& options);

// Moves every pixel of palette index 255 (transparent to Quake II) of an
// 8-bit PCX to the nearest other colour of the Quake II palette, rewriting the
// file whole; a file without such pixels is left as it is.
FinishResult RemovePaletteIndex255(const std::string& pcxPath);

// Checks one skin name against the engines' limits: "" when it fits, else why not.
std::string CheckSkinName(const std::string& name);

// Reads a whole file (at most 256 MiB); false with reason set when it cannot.
bool ReadWholeFile(const std::string& path, std::vector<uint8_t>& bytes, std::string& reason);
// Replaces path with bytes: written beside it, flushed, renamed over it.
bool ReplaceFile(const std::string& path, const std::vector<uint8_t>& bytes, std::string& reason);

}  // namespace finish
