// Frame-name import: the frame names of an existing model replace the frame list.

#include <cstdio>
#include <cstring>

#include "core/byte_order.h"
#include "core/output_name.h"
#include "core/quake_export_utility.h"
#include "model/md2_format.h"
#include "platform/file_access.h"

int QuakeExportUtility::ImportFrameNames(char* path) {
    if (!FormOutputName(path, kPathBufferSize, ".md2")) return 0;
    std::FILE* file = OpenHostFile(path, "rb");
    if (!file) return 0;

    uint8_t header[kMd2HeaderSize];
    const bool whole = std::fread(header, 1, sizeof header, file) == sizeof header;
    if (!whole || std::memcmp(header, kMd2Ident, sizeof kMd2Ident) != 0) {
        std::fclose(file);
        return 0;
    }
    // The list holds 256 names; a count it cannot hold leaves it as it was.
    const int32_t frames = GetI32(header + MD2_NUM_FRAMES);
    const int32_t vertices = GetI32(header + MD2_NUM_XYZ);
    if (frames < 0 || frames > kFrameSlots || vertices < 0) {
        std::fclose(file);
        return 0;
    }

    // A file cut short still gives its frame count; names it does not hold are
    // empty. A name field without a zero gives its first 15 characters.
    FrameNameSlots names = {};
    int64_t offset = GetI32(header + MD2_OFS_FRAMES);
    const int64_t frameSize = Md2FrameSize(vertices);
    for (int32_t i = 0; i < frames; ++i, offset += frameSize) {
        uint8_t frameHeader[kMd2FrameHeaderSize];
        if (offset < 0 || offset > 0x7FFFFFFF || std::fseek(file, static_cast<long>(offset), SEEK_SET) != 0 ||
            std::fread(frameHeader, 1, sizeof frameHeader, file) != sizeof frameHeader) {
            continue;
        }
        std::memcpy(names[i], frameHeader + 24, kFrameNameSize - 1);
        names[i][kFrameNameSize - 1] = '\0';
    }
    std::fclose(file);

    for (int32_t i = 0; i < frames; ++i) std::memcpy(frameNames[i], names[i], kFrameNameSize);
    frameCount = frames;
    return 1;
}
