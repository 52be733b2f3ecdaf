// The 24-bit skin as an uncompressed BMP file, rows bottom first.
#include <cstddef>
#include <cstdint>

#include "core/output_name.h"
#include "core/quake_export_utility.h"
#include "platform/file_access.h"
#include "core/byte_order.h"

namespace {

constexpr uint32_t kBmpFileHeaderSize = 14;
constexpr uint32_t kBmpInfoHeaderSize = 40;
constexpr uint32_t kBmpPixelOffset = kBmpFileHeaderSize + kBmpInfoHeaderSize;

}  // namespace

// Writes skinBuffer as <skin name up to its first dot>.bmp; skinName (a
// writable buffer of kTextBufferSize bytes) is left holding that name. 0 when
// the file is not written.
int QuakeExportUtility::WriteBmpSkin(char* skinName) {
    // A name that cannot take its extension is refused rather than cut.
    if (!FormOutputName(skinName, kTextBufferSize, ".bmp")) return 0;
    // The file's 32-bit size field bounds the page it can describe.
    if (skinWidth < 0 || skinHeight < 0 || skinWidth > INT32_MAX / 3 - 1) return 0;
    const uint64_t rowBytes = static_cast<uint64_t>(SkinStride(skinWidth));
    const uint64_t pixelBytes = rowBytes * static_cast<uint64_t>(skinHeight);
    if (pixelBytes > UINT32_MAX - kBmpPixelOffset) return 0;
    if (!skinBuffer && pixelBytes != 0) return 0;
    std::FILE* file = OpenHostFile(skinName, "wb");
    if (!file) {
        engine.LatchFileFailure("Could not open %s for writing", skinName);
        return 0;
    }

    PutU8(file, 'B');
    PutU8(file, 'M');
    PutU32(file, kBmpPixelOffset + static_cast<uint32_t>(pixelBytes));
    PutU16(file, 0);  // reserved
    PutU16(file, 0);  // reserved
    PutU32(file, kBmpPixelOffset);

    PutU32(file, kBmpInfoHeaderSize);
    PutU32(file, static_cast<uint32_t>(skinWidth));
    PutU32(file, static_cast<uint32_t>(skinHeight));  // positive: bottom row first
    PutU16(file, 1);   // planes
    PutU16(file, 24);  // bits per pixel
    PutU32(file, 0);   // compression: none
    PutU32(file, 0);   // image size
    PutU32(file, 0);   // horizontal pixels per metre
    PutU32(file, 0);   // vertical pixels per metre
    PutU32(file, 0);   // colours used
    PutU32(file, 0);   // important colours

    for (int32_t y = skinHeight - 1; y >= 0; --y) {
        std::fwrite(skinBuffer + static_cast<size_t>(y) * rowBytes, 1, static_cast<size_t>(rowBytes), file);
    }
    if (CloseWrittenFile(file)) return 1;
    engine.LatchFileFailure("Could not write %s", skinName);
    return 0;
}
