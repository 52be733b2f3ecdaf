// An existing model file, as the user may pick it to update or to take frame
// names from. Three control bytes come first (the start of the frame range,
// its length and the first scene frame); the rest is the .md2.
//
// The frame names are imported from the file (so its frame count can match
// the export's), then the frames of the range are rewritten from a fixed
// quad scene of 4 vertices and 2 faces. The promises checked:
// - a refused import leaves the frame list as it was;
// - neither operation changes a refused file: it stays byte for byte as it was;
// - an accepted update keeps the file's length and changes only bytes of the
//   frames of the range, which lie inside the frame section the file declares.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>

#include "core/byte_order.h"
#include "core/quake_export_utility.h"
#include "fuzz/harness/fuzz_support.h"
#include "model/md2_format.h"
#include "standin/host/standin_scene.h"
#include "support/quad_scene.h"

namespace {

testing_scenes::QuadScene& TheScene() {
    static testing_scenes::QuadScene quad;
    return quad;
}

bool SameNames(const FrameNameSlots& a, const FrameNameSlots& b) { return std::memcmp(a, b, sizeof a) == 0; }

}  // namespace

std::string vorn_fuzz::CheckModelUpdateInput(const uint8_t* data, size_t size) {
    return Answer([&] {
        if (size < 3) return;
        const uint8_t startByte = data[0];
        const uint8_t rangeByte = data[1];
        const uint32_t firstFrame = data[2];
        const vorn_fuzz::Bytes original(data + 3, data + size);
        const std::string file = vorn_fuzz::ScratchFile("model.md2");
        vorn_fuzz::WriteBytes(file, original.data(), original.size());

        QuakeExportUtility utility;
        testing_scenes::PrepareExport(utility, *TheScene().host);
        vorn_fuzz::Require(utility.vertexCount == 4 && utility.faceCount == 2, "the quad scene did not capture");

        // Frame names first: a refused import leaves the list alone.
        FrameNameSlots before;
        std::memcpy(before, utility.frameNames, sizeof before);
        const int32_t countBefore = utility.frameCount;
        char path[kPathBufferSize] = "C:\\model";
        const int imported = utility.ImportFrameNames(path);
        vorn_fuzz::Bytes now;
        vorn_fuzz::Require(vorn_fuzz::ReadBytes(file, now) && now == original, "the frame-name import changed the model");
        if (!imported) {
            vorn_fuzz::Require(utility.frameCount == countBefore && SameNames(before, utility.frameNames),
                               "a refused import changed the frame list");
        } else {
            vorn_fuzz::Require(original.size() >= kMd2HeaderSize &&
                                   utility.frameCount == GetI32(original.data() + MD2_NUM_FRAMES),
                               "the imported count is not the file's");
            vorn_fuzz::Require(utility.frameCount >= 0 && utility.frameCount <= kFrameSlots,
                               "the imported count does not fit the frame list");
            for (int32_t i = 0; i < utility.frameCount; ++i) {
                vorn_fuzz::Require(std::memchr(utility.frameNames[i], 0, kFrameNameSize) != nullptr,
                                   "an imported name is not terminated");
            }
        }

        // A range mostly inside the list, now and then before or beyond it, or backwards.
        const int32_t frames = utility.frameCount;
        const int32_t start = startByte < 240 ? startByte % std::max(frames, 1) : frames + startByte - 248;
        const int32_t end = start + (rangeByte & 7) - 1;
        char savePath[kPathBufferSize] = "C:\\model.md2";
        const int saved = utility.SaveModel(savePath, start, end, firstFrame, 1.0f);
        vorn_fuzz::Require(vorn_fuzz::ReadBytes(file, now), "the model file is gone");

        if (!saved) {
            vorn_fuzz::Require(now == original, "a refused update changed the model");
            return;
        }
        vorn_fuzz::Require(now.size() == original.size(), "an update changed the model's length");
        vorn_fuzz::Require(start >= 0 && start <= end && end < frames, "an update outside the frame list");
        const int64_t frameSize = Md2FrameSize(utility.vertexCount);
        const int64_t section = GetI32(original.data() + MD2_OFS_FRAMES);
        const int64_t first = section + start * frameSize;
        const int64_t last = section + (int64_t{end} + 1) * frameSize;
        vorn_fuzz::Require(section >= kMd2HeaderSize && last <= section + frames * frameSize &&
                               last <= static_cast<int64_t>(now.size()),
                           "the updated frames lie outside the frame section");
        for (size_t i = 0; i < now.size(); ++i) {
            const int64_t at = static_cast<int64_t>(i);
            if (at >= first && at < last) continue;
            if (now[i] != original[i]) vorn_fuzz::Fail("an update changed a byte outside its frames", std::to_string(i));
        }
        for (int32_t i = start; i <= end; ++i) {
            const uint8_t* name = now.data() + first + (i - start) * frameSize + 24;
            vorn_fuzz::Require(std::strncmp(reinterpret_cast<const char*>(name), utility.frameNames[i], kFrameNameSize) == 0,
                               "an updated frame does not carry its name");
        }
        return;
    });
}
