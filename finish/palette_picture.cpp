#include "finish/palette_picture.h"

#include "finish/model_finish.h"
#include "skin/skin_palette.h"

namespace finish {

namespace {

void PutU16(std::vector<uint8_t>& out, uint32_t v) {
    out.push_back(static_cast<uint8_t>(v));
    out.push_back(static_cast<uint8_t>(v >> 8));
}

// One row's runs, as the plug-in's skins code them: at most 63 a run, a
// single value below 0xC0 as itself.
void EncodeRow(const uint8_t* row, int32_t width, std::vector<uint8_t>& out) {
    for (int32_t x = 0; x < width;) {
        int32_t run = 1;
        while (x + run < width && run < 63 && row[x + run] == row[x]) ++run;
        if (run > 1 || row[x] >= 0xC0) out.push_back(static_cast<uint8_t>(0xC0 + run));
        out.push_back(row[x]);
        x += run;
    }
}

}  // namespace

int NearestOpaqueIndex(uint8_t red, uint8_t green, uint8_t blue) {
    int nearest = 0;
    long best = -1;
    for (int i = 0; i < 255; ++i) {
        const SkinColor& c = SkinPalette[i];
        const long d =
            (c.red - red) * (c.red - red) + (c.green - green) * (c.green - green) + (c.blue - blue) * (c.blue - blue);
        if (best < 0 || d < best) {
            best = d;
            nearest = i;
        }
    }
    return nearest;
}

void PaletteColour(int index, uint8_t rgb[3]) {
    const SkinColor& c = SkinPalette[static_cast<size_t>(index & 255)];
    rgb[0] = c.red;
    rgb[1] = c.green;
    rgb[2] = c.blue;
}

bool WritePalettePcx(const std::string& path, int32_t width, int32_t height, const std::vector<uint8_t>& rgb,
                     std::string& reason) {
    if (width < 1 || height < 1 || width > 65535 || height > 65535 ||
        rgb.size() != 3 * static_cast<size_t>(width) * static_cast<size_t>(height)) {
        reason = path + ": a picture of " + std::to_string(width) + " x " + std::to_string(height) +
                 " pixels cannot be written as a PCX";
        return false;
    }
    // Lines of an even count of bytes, as the format asks.
    const int32_t perLine = width + (width & 1);
    std::vector<uint8_t> out = {10, 5, 1, 8};  // PCX, version 5, run-length, 8 bits
    for (uint32_t v : {0u, 0u, static_cast<uint32_t>(width - 1), static_cast<uint32_t>(height - 1), 300u, 300u})
        PutU16(out, v);
    out.resize(out.size() + 48 + 1, 0);  // 16-colour palette, reserved
    out.push_back(1);                    // one plane
    PutU16(out, static_cast<uint32_t>(perLine));
    PutU16(out, 1);  // palette type: colour
    out.resize(128, 0);
    std::vector<uint8_t> row(static_cast<size_t>(perLine), 0);
    for (int32_t y = 0; y < height; ++y) {
        for (int32_t x = 0; x < width; ++x) {
            const uint8_t* p = &rgb[3 * (static_cast<size_t>(y) * width + x)];
            row[static_cast<size_t>(x)] = static_cast<uint8_t>(NearestOpaqueIndex(p[0], p[1], p[2]));
        }
        EncodeRow(row.data(), perLine, out);
    }
    out.push_back(12);
    for (const SkinColor& c : SkinPalette) out.insert(out.end(), {c.red, c.green, c.blue});
    return ReplaceFile(path, out, reason);
}

}  // namespace finish
