// The 8-bit skin written as a run-length encoded 256-colour PCX file.
#include "skin/pcx_writer.h"

#include <cstddef>

#include "core/byte_order.h"
#include "core/output_name.h"
#include "core/quake_export_utility.h"
#include "platform/file_access.h"
#include "skin/skin_palette.h"

namespace {

constexpr uint8_t kPcxManufacturer = 10;
constexpr uint8_t kPcxVersion = 5;
constexpr uint8_t kPcxRunLengthEncoding = 1;
constexpr uint16_t kPcxResolution = 300;
constexpr uint8_t kPcxPaletteMarker = 12;
constexpr uint8_t kPcxRunFlag = 0xC0;

void WritePcxHeader(std::FILE* file, int32_t width, int32_t height) {
    PutU8(file, kPcxManufacturer);
    PutU8(file, kPcxVersion);
    PutU8(file, kPcxRunLengthEncoding);
    PutU8(file, 8);  // bits per pixel
    PutU16(file, 0);  // x minimum
    PutU16(file, 0);  // y minimum
    PutU16(file, static_cast<uint16_t>(width - 1));
    PutU16(file, static_cast<uint16_t>(height - 1));
    PutU16(file, kPcxResolution);
    PutU16(file, kPcxResolution);
    PutZeros(file, 48);  // 16-colour palette
    PutU8(file, 0);      // reserved
    PutU8(file, 1);      // colour planes
    PutU16(file, static_cast<uint16_t>(width));  // bytes per line
    PutU16(file, 1);     // palette type
    PutZeros(file, 58);  // filler, up to 128 bytes
}

}  // namespace

int32_t WritePcxRun(uint8_t value, int32_t count, std::FILE* file) {
    if (count < 1 || count > kPcxMaxRun) return 0;
    if (count == 1 && value < kPcxRunFlag) return std::fputc(value, file) == EOF ? 0 : 1;
    if (std::fputc(kPcxRunFlag + count, file) == EOF) return 0;
    return std::fputc(value, file) == EOF ? 0 : 2;
}

int32_t EncodePcxRow(const uint8_t* row, int32_t width, std::FILE* file) {
    if (width < 1) return 0;
    int32_t written = 0;
    uint8_t value = row[0];
    int32_t length = 1;
    auto flush = [&]() {
        const int32_t n = WritePcxRun(value, length, file);
        written += n;
        return n != 0;
    };
    for (int32_t i = 1; i < width; ++i) {
        if (row[i] == value) {
            // A full run goes out at once; more of the value start a new one.
            if (++length == kPcxMaxRun) {
                if (!flush()) return 0;
                length = 0;
            }
            continue;
        }
        if (length > 0 && !flush()) return 0;
        value = row[i];
        length = 1;
    }
    if (length > 0 && !flush()) return 0;
    return written;
}

// Writes skinIndexBuffer as <skin name up to its first dot>.pcx; skinName (a
// writable buffer of kTextBufferSize bytes) is left holding that name. 0 when
// the file is not written.
int QuakeExportUtility::WritePcxSkin(char* skinName) {
    // A name that cannot take its extension is refused rather than cut.
    if (!FormOutputName(skinName, kTextBufferSize, ".pcx")) return 0;
    // The header's 16-bit fields cannot describe a larger page.
    if (skinWidth < 1 || skinHeight < 1 || skinWidth > 65535 || skinHeight > 65536) return 0;
    if (!skinIndexBuffer) return 0;
    std::FILE* file = OpenHostFile(skinName, "wb");
    if (!file) {
        engine.LatchFileFailure("Could not open %s for writing", skinName);
        return 0;
    }
    WritePcxHeader(file, skinWidth, skinHeight);
    const size_t width = static_cast<size_t>(skinWidth);
    for (int32_t y = 0; y < skinHeight; ++y) {
        // A failed row ends only that row's output.
        EncodePcxRow(skinIndexBuffer + static_cast<size_t>(y) * width, skinWidth, file);
    }
    PutU8(file, kPcxPaletteMarker);
    for (const SkinColor& colour : SkinPalette) {
        PutU8(file, colour.red);
        PutU8(file, colour.green);
        PutU8(file, colour.blue);
    }
    if (CloseWrittenFile(file)) return 1;
    engine.LatchFileFailure("Could not write %s", skinName);
    return 0;
}
