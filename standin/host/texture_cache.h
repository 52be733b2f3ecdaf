// Pictures of real scene files on their way to the exporter's readers: sized
// from their headers before anything is decoded, decoded within bounds,
// shrunk by area averaging, and written as plain TGA files into a cache
// folder that holds a bounded amount.
#pragma once

#include <cstddef>
#include <cstdint>
#include <set>
#include <string>
#include <vector>

namespace standin {

// Larger pictures are refused before they are decoded.
constexpr int kMaxPictureSide = 16384;
constexpr int64_t kMaxPicturePixels = int64_t{64} << 20;
// What one scene may write into its texture cache.
constexpr int64_t kMaxCacheBytes = int64_t{512} << 20;

struct Picture {
    int width = 0, height = 0;
    bool alpha = false;
    std::vector<uint8_t> rgba;  // top row first
};

// Why a picture of that size is refused; empty when it is not.
std::string SizeProblem(int64_t width, int64_t height);

// The size the picture's header states. False with problem set when the
// picture is of no known kind or beyond the bounds.
bool PictureSize(const uint8_t* data, size_t size, int& width, int& height, std::string& problem);

// Decodes a picture whose header passes PictureSize.
bool DecodePicture(const uint8_t* data, size_t size, Picture& picture, std::string& problem);

// The picture at width x height, each pixel the average of the area it covers.
Picture ShrinkPicture(const Picture& picture, int width, int height);

// A picture of one colour (red, green, blue in 0 ... 255).
Picture PlainPicture(int width, int height, const uint8_t rgb[3]);

// A file name stem from a texture's name as any program wrote it: its base
// name (after '/' or '\'), without extension, in letters, digits, '-' and '_'.
std::string SafeStem(const std::string& name);

class TextureCache {
public:
    explicit TextureCache(std::string folder) : folder_(std::move(folder)) {}
    const std::string& folder() const { return folder_; }
    // A file name in the folder not yet given out, from the stem.
    std::string Reserve(const std::string& stem);
    // Writes the picture as a plain TGA (uncompressed, bottom-up, 24 bits, 32
    // with alpha), whole or not at all.
    bool Write(const std::string& path, const Picture& picture, std::string& problem);

private:
    std::string folder_;
    std::set<std::string> names_;
    int64_t written_ = 0;
};

}  // namespace standin
