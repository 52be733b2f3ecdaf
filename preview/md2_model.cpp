#include "preview/md2_model.h"

#include <cmath>
#include <cstdio>

#include "core/byte_order.h"
#include "preview/file_bytes.h"

namespace preview {
namespace {

constexpr int32_t kHeaderSize = 68;
constexpr int32_t kFrameHeaderSize = 40;
constexpr int32_t kVersion = 8;
constexpr int32_t kSkinNameSize = 64;
constexpr int32_t kNormalCount = 162;
// Triangle corners hold 16-bit indices, so more vertices could not be drawn.
constexpr int32_t kMaxVertices = 65536;
constexpr int32_t kMaxSkins = 32;

std::string Text(const uint8_t* p, std::size_t size) {
    std::size_t n = 0;
    while (n < size && p[n]) ++n;
    return std::string(reinterpret_cast<const char*>(p), n);
}

struct Section {
    const char* name;
    int32_t count;
    int32_t offset;
    int64_t itemSize;
};

}  // namespace

bool ReadMd2(const uint8_t* data, std::size_t size, Md2Model& model, std::string& error) {
    model = Md2Model();
    if (size < static_cast<std::size_t>(kHeaderSize)) {
        error = "header: the file holds " + std::to_string(size) + " bytes, fewer than the 68 of the header";
        return false;
    }
    if (std::string(reinterpret_cast<const char*>(data), 4) != "IDP2") {
        error = "header: ident is not \"IDP2\": not a Quake II model";
        return false;
    }
    const int32_t version = GetI32(data + 4);
    if (version != kVersion) {
        error = "header: version " + std::to_string(version) + ", not 8";
        return false;
    }
    model.skinWidth = GetI32(data + 8);
    model.skinHeight = GetI32(data + 12);
    const int32_t frameSize = GetI32(data + 16);
    const int32_t numSkins = GetI32(data + 20);
    const int32_t numXyz = GetI32(data + 24);
    const int32_t numSt = GetI32(data + 28);
    const int32_t numTris = GetI32(data + 32);
    const int32_t numFrames = GetI32(data + 40);
    const int32_t ofsSkins = GetI32(data + 44);
    const int32_t ofsSt = GetI32(data + 48);
    const int32_t ofsTris = GetI32(data + 52);
    const int32_t ofsFrames = GetI32(data + 56);

    auto outOfRange = [&](const char* field, int32_t value, int32_t low, int32_t high) {
        if (value >= low && value <= high) return false;
        error = std::string("header: ") + field + " " + std::to_string(value) + " is outside " + std::to_string(low) +
                " .. " + std::to_string(high);
        return true;
    };
    if (outOfRange("num_xyz", numXyz, 1, kMaxVertices) || outOfRange("num_st", numSt, 1, 1 << 30) ||
        outOfRange("num_tris", numTris, 1, 1 << 30) || outOfRange("num_frames", numFrames, 1, 1 << 30) ||
        outOfRange("num_skins", numSkins, 0, kMaxSkins))
        return false;
    if (model.skinWidth <= 0 || model.skinHeight <= 0) {
        error = "header: skin size " + std::to_string(model.skinWidth) + " x " + std::to_string(model.skinHeight) +
                " is not positive";
        return false;
    }
    const int64_t vertexBytes = kFrameHeaderSize + 4 * static_cast<int64_t>(numXyz);
    if (frameSize < vertexBytes) {
        error = "header: framesize " + std::to_string(frameSize) + " is smaller than the " +
                std::to_string(vertexBytes) + " bytes of a frame of " + std::to_string(numXyz) + " vertices";
        return false;
    }
    const Section sections[] = {{"skins", numSkins, ofsSkins, kSkinNameSize},
                                {"texture coordinates", numSt, ofsSt, 4},
                                {"triangles", numTris, ofsTris, 12},
                                {"frames", numFrames, ofsFrames, frameSize}};
    for (const Section& s : sections) {
        const int64_t end = static_cast<int64_t>(s.offset) + s.count * s.itemSize;
        if (s.count > 0 && (s.offset < kHeaderSize || end > static_cast<int64_t>(size))) {
            error = std::string("header: the ") + s.name + " (" + std::to_string(s.count) + " of " +
                    std::to_string(s.itemSize) + " bytes at offset " + std::to_string(s.offset) +
                    ") do not lie within the " + std::to_string(size) + "-byte file";
            return false;
        }
    }

    model.vertexCount = numXyz;
    for (int32_t i = 0; i < numSkins; ++i)
        model.skinNames.push_back(Text(data + ofsSkins + i * kSkinNameSize, kSkinNameSize));
    model.st.resize(2 * static_cast<std::size_t>(numSt));
    for (int32_t i = 0; i < 2 * numSt; ++i) model.st[i] = static_cast<int16_t>(GetU16(data + ofsSt + 2 * i));
    model.triangles.resize(numTris);
    for (int32_t i = 0; i < numTris; ++i) {
        const uint8_t* p = data + ofsTris + 12 * static_cast<int64_t>(i);
        Md2Triangle& t = model.triangles[i];
        for (int c = 0; c < 3; ++c) {
            t.vertex[c] = GetU16(p + 2 * c);
            t.st[c] = GetU16(p + 6 + 2 * c);
            if (t.vertex[c] >= numXyz || t.st[c] >= numSt) {
                error = "triangle " + std::to_string(i) + ": corner " + std::to_string(c) + " indexes vertex " +
                        std::to_string(t.vertex[c]) + " of " + std::to_string(numXyz) + ", texture coordinate " +
                        std::to_string(t.st[c]) + " of " + std::to_string(numSt);
                return false;
            }
        }
    }
    model.frames.resize(numFrames);
    for (int32_t f = 0; f < numFrames; ++f) {
        const uint8_t* p = data + ofsFrames + static_cast<int64_t>(frameSize) * f;
        Md2Frame& frame = model.frames[f];
        float scale[3], translate[3];
        for (int a = 0; a < 3; ++a) {
            scale[a] = GetF32(p + 4 * a);
            translate[a] = GetF32(p + 12 + 4 * a);
            if (!std::isfinite(scale[a]) || !std::isfinite(translate[a])) {
                error = "frame " + std::to_string(f) + ": scale or translate is not a finite number";
                return false;
            }
        }
        frame.name = Text(p + 24, 16);
        frame.positions.resize(3 * static_cast<std::size_t>(numXyz));
        frame.lightNormal.resize(numXyz);
        for (int32_t v = 0; v < numXyz; ++v) {
            const uint8_t* vp = p + kFrameHeaderSize + 4 * v;
            for (int a = 0; a < 3; ++a) frame.positions[3 * v + a] = vp[a] * scale[a] + translate[a];
            if (vp[3] >= kNormalCount) {
                error = "frame " + std::to_string(f) + ": vertex " + std::to_string(v) + " has light-normal index " +
                        std::to_string(vp[3]) + ", not below 162";
                return false;
            }
            frame.lightNormal[v] = vp[3];
        }
    }
    return true;
}

bool LoadMd2(const std::string& path, Md2Model& model, std::string& error) {
    std::vector<uint8_t> bytes;
    if (!ReadFileBytes(path, bytes, error)) return false;
    if (ReadMd2(bytes.data(), bytes.size(), model, error)) return true;
    error = path + ": " + error;
    return false;
}

}  // namespace preview
