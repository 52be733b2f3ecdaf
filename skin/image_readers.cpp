// The three bitmap readers: BMP, TGA and TIM files into the one in-memory
// layout of BitmapImage (bottom-up rows padded to 4 bytes, 256-entry palette).
//
// Every reader treats a damaged file the same way, through HostFileReader:
// - a file that ends early fails the read;
// - a pixel block larger than what the file still holds fails before anything
//   is allocated for it, so no header can ask for an absurd buffer;
// - colour tables longer than the 256-entry palette are read through to their
//   end and the extra colours dropped, so the pixels behind them are still found;
// - an image of zero width or height reads as an empty image (its pixel access
//   answers 255 and black); negative sizes fail.
#include <cstdint>
#include <cstring>
#include <memory>
#include <new>

#include "core/bitmap_image.h"
#include "core/output_name.h"
#include "skin/file_reader.h"

namespace {

constexpr uint16_t kBmpSignature = 0x4D42;  // "BM"
constexpr uint32_t kTimModeMask = 7;
constexpr uint32_t kTimHasClut = 8;
constexpr uint32_t kTimClutHeadBytes = 12;
constexpr uint32_t kTgaColourMapEntryBits = 24;

struct ReaderChoice {
    const char* extension;
    int (BitmapImage::*read)(const char*);
};

// Searched for anywhere in the path, in this order; the first found decides.
const ReaderChoice kReaders[] = {
    {".bmp", &BitmapImage::ReadBmpFile}, {".BMP", &BitmapImage::ReadBmpFile},
    {".tga", &BitmapImage::ReadTgaFile}, {".TGA", &BitmapImage::ReadTgaFile},
    {".tim", &BitmapImage::ReadTimFile}, {".TIM", &BitmapImage::ReadTimFile},
};

// Records the path and its base name: the part behind the last backslash. A
// path with only '/' separators is its own base name, as on the host platform.
void RecordNames(BitmapImage& image, const char* path) {
    const char* slash = std::strrchr(path, '\\');
    CopyCut(image.baseName, sizeof image.baseName, slash ? slash + 1 : path);
    CopyCut(image.path, sizeof image.path, path);
}

// Allocates a zeroed buffer of stride x height bytes when the file still holds
// height rows of fileRowBytes each; null when it does not or memory is short.
std::unique_ptr<uint8_t[]> AllocateRows(const HostFileReader& in, int64_t stride, int64_t height,
                                        int64_t fileRowBytes) {
    if (stride < 0 || stride > INT32_MAX || height < 0 || fileRowBytes < 0) return nullptr;
    if (!in.Holds(static_cast<uint64_t>(height), static_cast<uint64_t>(fileRowBytes))) return nullptr;
    const uint64_t bytes = static_cast<uint64_t>(stride) * static_cast<uint64_t>(height);
    if (bytes > SIZE_MAX) return nullptr;
    return std::unique_ptr<uint8_t[]>(new (std::nothrow) uint8_t[static_cast<size_t>(bytes)]());
}

}  // namespace

int BitmapImage::ReadImageFile(const char* path) {
    if (!path) return 0;
    for (const ReaderChoice& choice : kReaders) {
        if (std::strstr(path, choice.extension)) return (this->*choice.read)(path);
    }
    return 0;
}

int BitmapImage::ReadBmpFile(const char* path) {
    if (!path) return 0;
    RecordNames(*this, path);
    HostFileReader in(path);
    if (!in.IsOpen()) return 0;

    // The file header: only its signature matters; the pixels follow the palette.
    const uint16_t signature = in.U16();
    in.Skip(12);
    if (!in.Ok() || signature != kBmpSignature) return 0;

    // Exactly 40 bytes, whatever the header's own size field says.
    header.size = in.U32();
    header.width = in.I32();
    header.height = in.I32();
    header.planes = in.U16();
    header.bitCount = in.U16();
    header.compression = in.U32();
    header.imageSize = in.U32();
    header.xPelsPerMeter = in.I32();
    header.yPelsPerMeter = in.I32();
    header.clrUsed = in.U32();
    header.clrImportant = in.U32();
    if (!in.Ok()) return 0;

    if (header.clrUsed == 0 && header.bitCount == 8) header.clrUsed = 256;
    if (header.clrUsed == 0 && header.bitCount == 4) header.clrUsed = 16;

    for (uint32_t i = 0; i < header.clrUsed && i < kPaletteSize; ++i) {
        palette[i].blue = in.U8();
        palette[i].green = in.U8();
        palette[i].red = in.U8();
        palette[i].reserved = in.U8();
    }
    if (header.clrUsed > kPaletteSize) in.Skip(uint64_t{header.clrUsed - kPaletteSize} * 4);
    if (!in.Ok()) return 0;

    if (header.bitCount != 4 && header.bitCount != 8 && header.bitCount != 24) return 0;
    // A top-down file (negative height) is not read.
    if (header.width < 0 || header.height < 0) return 0;

    const int64_t stride = StrideFor(header.width, header.bitCount);
    pixels = AllocateRows(in, stride, header.height, stride);
    if (!pixels) return 0;
    return in.Read(pixels.get(), static_cast<size_t>(stride * header.height)) ? 1 : 0;
}

int BitmapImage::ReadTgaFile(const char* path) {
    if (!path) return 0;
    RecordNames(*this, path);
    HostFileReader in(path);
    if (!in.IsOpen()) return 0;

    in.U8();   // ID length: no image ID is expected
    in.U8();   // colour-map type: the length alone says whether a map follows
    in.U8();   // image type: only uncompressed images are read
    in.U16();  // colour-map first index
    header.clrUsed = in.U16();
    const uint8_t entryBits = in.U8();
    in.U16();  // x origin
    in.U16();  // y origin
    header.width = in.U16();
    header.height = in.U16();
    header.bitCount = in.U8();
    in.U8();  // image descriptor: rows are taken bottom-up whatever it says
    if (!in.Ok()) return 0;

    if (header.clrUsed > 0) {
        if (entryBits != kTgaColourMapEntryBits) return 0;
        for (uint32_t i = 0; i < header.clrUsed && i < kPaletteSize; ++i) {
            palette[i].blue = in.U8();
            palette[i].green = in.U8();
            palette[i].red = in.U8();
        }
        if (header.clrUsed > kPaletteSize) in.Skip(uint64_t{header.clrUsed - kPaletteSize} * 3);
        if (!in.Ok()) return 0;
    }

    if (header.bitCount != 8 && header.bitCount != 24 && header.bitCount != 32) return 0;
    const int64_t width = header.width;
    const int64_t stride = StrideFor(width, header.bitCount);
    pixels = AllocateRows(in, stride, header.height, width * (header.bitCount / 8));
    if (!pixels) return 0;

    if (header.bitCount != 32) {
        const size_t rowBytes = static_cast<size_t>(width * (header.bitCount / 8));
        for (int32_t row = 0; row < header.height; ++row) {
            if (!in.Read(pixels.get() + row * stride, rowBytes)) return 0;
        }
        return 1;
    }

    alpha.reset(new (std::nothrow) uint8_t[static_cast<size_t>(width * header.height)]());
    if (!alpha) {
        pixels.reset();
        return 0;
    }
    for (int32_t row = 0; row < header.height; ++row) {
        uint8_t* target = pixels.get() + row * stride;
        for (int64_t col = 0; col < width; ++col) {
            in.Read(target + 3 * col, 3);
            alpha[static_cast<size_t>(row * width + col)] = in.U8();
        }
        if (!in.Ok()) return 0;
    }
    return 1;
}

int BitmapImage::ReadTimFile(const char* path) {
    if (!path) return 0;
    RecordNames(*this, path);
    HostFileReader in(path);
    if (!in.IsOpen()) return 0;

    in.U32();  // ID
    const uint32_t flags = in.U32();
    if (!in.Ok()) return 0;
    switch (flags & kTimModeMask) {
        case 0: header.bitCount = 4; break;
        case 1: header.bitCount = 8; break;
        default: return 0;  // 16-bit, 24-bit and mixed images
    }

    if (flags & kTimHasClut) {
        const uint32_t length = in.U32();
        in.Skip(8);  // frame-buffer x, y, width, height
        // The length counts the block's own head; a shorter one is no block.
        if (!in.Ok() || length < kTimClutHeadBytes) return 0;
        const uint32_t colourBytes = length - kTimClutHeadBytes;
        uint32_t colours = colourBytes / 2;
        if (colours > kPaletteSize) colours = kPaletteSize;
        for (uint32_t i = 0; i < colours; ++i) {
            const uint16_t c = in.U16();
            palette[i].red = static_cast<uint8_t>((c & 31) * 8);
            palette[i].green = static_cast<uint8_t>(((c >> 5) & 31) * 8);
            palette[i].blue = static_cast<uint8_t>(((c >> 10) & 31) * 8);
        }
        in.Skip(colourBytes - 2 * colours);
        if (!in.Ok()) return 0;
    }

    in.U32();  // image block length
    in.U16();  // frame-buffer x
    in.U16();  // frame-buffer y
    const int32_t units = in.I16();  // width in 16-bit frame-buffer units
    header.height = in.U16();
    if (!in.Ok() || units < 0) return 0;
    header.width = header.bitCount == 4 ? 4 * units : 2 * units;

    const int64_t width = header.width;
    const int64_t stride = StrideFor(width, header.bitCount);
    const int64_t fileRowBytes = header.bitCount == 4 ? (width + 1) / 2 : width;
    pixels = AllocateRows(in, stride, header.height, fileRowBytes);
    if (!pixels) return 0;

    // The file stores the top row first, and the left pixel of a 4-bit pair in
    // the low nibble; the common layout wants the opposite of both.
    for (int32_t r = 0; r < header.height; ++r) {
        uint8_t* row = pixels.get() + (header.height - 1 - r) * stride;
        if (!in.Read(row, static_cast<size_t>(fileRowBytes))) return 0;
        if (header.bitCount == 4) {
            for (int64_t i = 0; i < fileRowBytes; ++i) row[i] = static_cast<uint8_t>((row[i] << 4) | (row[i] >> 4));
        }
    }
    return 1;
}
