#include "preview/skin_image.h"

#include "core/byte_order.h"
#include "preview/file_bytes.h"

#define STB_IMAGE_WRITE_STATIC
#define STB_IMAGE_WRITE_IMPLEMENTATION
#if defined(__GNUC__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"
#pragma GCC diagnostic ignored "-Wsign-compare"
#pragma GCC diagnostic ignored "-Wunused-function"
#endif
#include <stb/stb_image_write.h>
#if defined(__GNUC__)
#pragma GCC diagnostic pop
#endif

namespace preview {
namespace {

// A picture larger than this is no skin; it also keeps the sizes below in range.
constexpr int32_t kMaxSide = 4096;

bool ReadPcx(const uint8_t* data, std::size_t size, RgbImage& image, std::string& error) {
    constexpr std::size_t kHeader = 128, kPalette = 769;
    if (size < kHeader + kPalette) {
        error = "PCX: " + std::to_string(size) + " bytes cannot hold the header and the palette";
        return false;
    }
    if (data[2] != 1 || data[3] != 8 || data[65] != 1) {
        error = "PCX: only 8-bit run-length pictures of one plane are read (encoding " + std::to_string(data[2]) +
                ", " + std::to_string(data[3]) + " bits, " + std::to_string(data[65]) + " planes)";
        return false;
    }
    const int32_t width = GetU16(data + 8) - GetU16(data + 4) + 1;
    const int32_t height = GetU16(data + 10) - GetU16(data + 6) + 1;
    const int32_t bytesPerLine = GetU16(data + 66);
    // A line is padded to an even length; much more would be no picture of this size.
    if (width < 1 || height < 1 || width > kMaxSide || height > kMaxSide || bytesPerLine < width ||
        bytesPerLine > width + 64) {
        error = "PCX: size " + std::to_string(width) + " x " + std::to_string(height) + " with " +
                std::to_string(bytesPerLine) + " bytes a line is not a picture";
        return false;
    }
    const uint8_t* palette = data + size - kPalette;
    if (palette[0] != 0x0C) {
        error = "PCX: no 256-colour palette (marker 12) in the last 769 bytes";
        return false;
    }
    // Runs may cross line ends, as the game's own reader allows.
    std::vector<uint8_t> indices(static_cast<std::size_t>(bytesPerLine) * height);
    std::size_t at = kHeader, out = 0;
    const std::size_t end = size - kPalette;
    while (out < indices.size()) {
        if (at >= end) {
            error = "PCX: the picture data ends after " + std::to_string(out) + " of " +
                    std::to_string(indices.size()) + " pixels";
            return false;
        }
        uint8_t value = data[at++];
        std::size_t run = 1;
        if ((value & 0xC0) == 0xC0) {
            run = value & 0x3F;
            if (at >= end) continue;  // reported above on the next turn
            value = data[at++];
        }
        for (; run > 0 && out < indices.size(); --run) indices[out++] = value;
    }
    const uint8_t black[3] = {0, 0, 0};
    image = RgbImage(width, height, black);
    for (int32_t y = 0; y < height; ++y)
        for (int32_t x = 0; x < width; ++x) {
            const uint8_t* rgb = palette + 1 + 3 * indices[static_cast<std::size_t>(y) * bytesPerLine + x];
            uint8_t* p = image.At(x, y);
            p[0] = rgb[0], p[1] = rgb[1], p[2] = rgb[2];
        }
    return true;
}

bool ReadBmp(const uint8_t* data, std::size_t size, RgbImage& image, std::string& error) {
    if (size < 54) {
        error = "BMP: " + std::to_string(size) + " bytes cannot hold the headers";
        return false;
    }
    const uint32_t pixelOffset = GetU32(data + 10);
    const uint32_t infoSize = GetU32(data + 14);
    const int32_t width = GetI32(data + 18);
    const int32_t rawHeight = GetI32(data + 22);
    const int32_t bits = GetU16(data + 28);
    const uint32_t compression = GetU32(data + 30);
    if (infoSize < 40 || (bits != 24 && bits != 8) || compression != 0) {
        error = "BMP: only uncompressed 24-bit and 8-bit pictures are read (" + std::to_string(bits) +
                " bits, compression " + std::to_string(compression) + ")";
        return false;
    }
    const int64_t tall = rawHeight < 0 ? -static_cast<int64_t>(rawHeight) : rawHeight;
    if (width < 1 || tall < 1 || width > kMaxSide || tall > kMaxSide) {
        error = "BMP: size " + std::to_string(width) + " x " + std::to_string(rawHeight) + " is not a picture";
        return false;
    }
    const int32_t height = static_cast<int32_t>(tall);
    const std::size_t stride = (static_cast<std::size_t>(width) * bits + 31) / 32 * 4;
    if (pixelOffset > size || stride * height > size - pixelOffset) {
        error = "BMP: the pixels at offset " + std::to_string(pixelOffset) + " run past the end of the file";
        return false;
    }
    const std::size_t paletteAt = 14 + static_cast<std::size_t>(infoSize);
    uint32_t colours = bits == 8 ? GetU32(data + 46) : 0;
    if (bits == 8 && (colours == 0 || colours > 256)) colours = 256;
    if (bits == 8 && (paletteAt > pixelOffset || (pixelOffset - paletteAt) / 4 < colours)) {
        error = "BMP: the " + std::to_string(colours) + "-colour palette does not fit before the pixels";
        return false;
    }
    const uint8_t black[3] = {0, 0, 0};
    image = RgbImage(width, height, black);
    for (int32_t y = 0; y < height; ++y) {
        const uint8_t* row = data + pixelOffset + stride * (rawHeight < 0 ? y : height - 1 - y);
        for (int32_t x = 0; x < width; ++x) {
            const uint8_t* bgr = row + 3 * x;
            if (bits == 8) {
                const uint8_t index = row[x];
                if (index >= colours) {
                    error = "BMP: pixel " + std::to_string(x) + ", " + std::to_string(y) + " uses colour " +
                            std::to_string(index) + " of a " + std::to_string(colours) + "-colour palette";
                    return false;
                }
                bgr = data + paletteAt + 4 * index;
            }
            uint8_t* p = image.At(x, y);
            p[0] = bgr[2], p[1] = bgr[1], p[2] = bgr[0];
        }
    }
    return true;
}

void AppendBytes(void* context, void* bytes, int count) {
    auto* out = static_cast<std::vector<uint8_t>*>(context);
    out->insert(out->end(), static_cast<uint8_t*>(bytes), static_cast<uint8_t*>(bytes) + count);
}

}  // namespace

RgbImage::RgbImage(int32_t w, int32_t h, const uint8_t rgb[3])
    : width(w), height(h), pixels(3 * static_cast<std::size_t>(w) * h) {
    for (std::size_t i = 0; i < pixels.size(); i += 3)
        pixels[i] = rgb[0], pixels[i + 1] = rgb[1], pixels[i + 2] = rgb[2];
}

bool ReadSkin(const uint8_t* data, std::size_t size, RgbImage& image, std::string& error) {
    if (size >= 2 && data[0] == 'B' && data[1] == 'M') return ReadBmp(data, size, image, error);
    if (size >= 1 && data[0] == 0x0A) return ReadPcx(data, size, image, error);
    error = "neither a PCX nor a BMP picture";
    return false;
}

bool LoadSkin(const std::string& path, RgbImage& image, std::string& error) {
    std::vector<uint8_t> bytes;
    if (!ReadFileBytes(path, bytes, error)) return false;
    if (ReadSkin(bytes.data(), bytes.size(), image, error)) return true;
    error = path + ": " + error;
    return false;
}

bool SavePng(const std::string& path, const RgbImage& image, std::string& error) {
    std::vector<uint8_t> png;
    if (!stbi_write_png_to_func(AppendBytes, &png, image.width, image.height, 3, image.pixels.data(),
                                image.width * 3)) {
        error = path + ": the PNG encoder failed";
        return false;
    }
    return WriteFileWhole(path, png, error);
}

}  // namespace preview
