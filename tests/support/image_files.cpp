#include "support/image_files.h"

#include "core/byte_order.h"
#include "core/quake_export_utility.h"

#include "support/test_files.h"

#include <filesystem>
#include <fstream>
#include <memory>

namespace fs = std::filesystem;

namespace vorn_test {

Bytes Slurp(const std::string& path) { return testing_files::ReadBytes(path); }

std::string ImageFixture(const char* name) { return std::string(VORN_TEST_DATA_DIR) + "/images/" + name; }

// The folder of the previous call goes, and the last one with the process.
std::string ScratchDir() {
    static std::unique_ptr<testing_files::TempDir> dir;
    dir = std::make_unique<testing_files::TempDir>();
    return dir->path();
}

std::string WriteFile(const std::string& path, const Bytes& bytes) {
    fs::create_directories(fs::path(path).parent_path());
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    return path;
}

Bytes BmpFile(int32_t width, int32_t height, uint16_t bits, uint32_t coloursUsed, uint32_t paletteEntries,
              const Bytes& pixels, uint16_t signature) {
    Bytes b;
    PutU16(b, signature);
    // File size, reserved and pixel offset (all unread), then the info header.
    for (uint32_t v : {0u, 0u, 0u, 40u, uint32_t(width), uint32_t(height)}) PutU32(b, v);
    PutU16(b, 1);
    PutU16(b, bits);
    for (uint32_t v : {0u, 0u, 0u, 0u, coloursUsed, 0u}) PutU32(b, v);
    for (uint32_t i = 0; i < paletteEntries; ++i) {
        for (uint32_t k = 0; k < 3; ++k) b.push_back(static_cast<uint8_t>(i + k));
        b.push_back(0);
    }
    b.insert(b.end(), pixels.begin(), pixels.end());
    return b;
}

Bytes TgaFile(uint16_t width, uint16_t height, uint8_t depth, uint16_t mapLength, uint8_t entryBits,
              const Bytes& pixels) {
    Bytes b = {0, uint8_t(mapLength ? 1 : 0), uint8_t(mapLength ? 1 : (depth == 8 ? 3 : 2)), 0, 0};
    PutU16(b, mapLength);
    b.push_back(entryBits);
    for (uint16_t v : {uint16_t(0), uint16_t(0), width, height}) PutU16(b, v);
    b.push_back(depth);
    b.push_back(0);
    for (uint32_t i = 0; i < mapLength; ++i) {
        for (uint32_t k = 0; k < entryBits / 8u; ++k) b.push_back(static_cast<uint8_t>(i * (k + 1)));
    }
    b.insert(b.end(), pixels.begin(), pixels.end());
    return b;
}

Bytes TimFile(uint32_t mode, const std::vector<uint16_t>* clut, int16_t units, uint16_t height, const Bytes& rows,
              TimPlace place) {
    Bytes b;
    PutU32(b, 0x10);
    PutU32(b, mode | (clut ? 8u : 0u));
    if (clut) {
        PutU32(b, static_cast<uint32_t>(12 + 2 * clut->size()));
        for (uint16_t v : {place.clutX, place.clutY, uint16_t(clut->size()), uint16_t(1)}) PutU16(b, v);
        for (uint16_t c : *clut) PutU16(b, c);
    }
    PutU32(b, static_cast<uint32_t>(12 + rows.size()));
    for (uint16_t v : {place.imageX, place.imageY, uint16_t(units), height}) PutU16(b, v);
    b.insert(b.end(), rows.begin(), rows.end());
    return b;
}

void SetSkin(QuakeExportUtility& utility, int32_t width, const std::vector<uint32_t>& colours) {
    const size_t stride = static_cast<size_t>(QuakeExportUtility::SkinStride(width));
    utility.skinWidth = width;
    utility.skinHeight = static_cast<int32_t>((colours.size() + size_t(width) - 1) / size_t(width));
    delete[] utility.skinBuffer;
    utility.skinBuffer = new uint8_t[stride * static_cast<size_t>(utility.skinHeight)]();
    for (size_t i = 0; i < colours.size(); ++i) {
        uint8_t* p = utility.skinBuffer + i / size_t(width) * stride + 3 * (i % size_t(width));
        p[0] = static_cast<uint8_t>(colours[i]);
        p[1] = static_cast<uint8_t>(colours[i] >> 8);
        p[2] = static_cast<uint8_t>(colours[i] >> 16);
    }
}

}  // namespace vorn_test
