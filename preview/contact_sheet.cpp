#include "preview/contact_sheet.h"

#include <cctype>
#include <cmath>
#include <cstdlib>

namespace preview {
namespace {

constexpr int32_t kGlyphWidth = 5, kGlyphHeight = 7, kAdvance = 6;
constexpr int32_t kLabelHeight = kGlyphHeight + 5;
const uint8_t kBackground[3] = {44, 48, 56};
const uint8_t kLabelBackground[3] = {24, 26, 30};
const uint8_t kLabelText[3] = {225, 225, 225};

// Rows from the top, the glyph's leftmost column in bit 4.
struct Glyph {
    char c;
    uint8_t rows[kGlyphHeight];
};
const Glyph kGlyphs[] = {
    {'0', {0x0E, 0x11, 0x13, 0x15, 0x19, 0x11, 0x0E}}, {'1', {0x04, 0x0C, 0x04, 0x04, 0x04, 0x04, 0x0E}},
    {'2', {0x0E, 0x11, 0x01, 0x02, 0x04, 0x08, 0x1F}}, {'3', {0x1F, 0x02, 0x04, 0x02, 0x01, 0x11, 0x0E}},
    {'4', {0x02, 0x06, 0x0A, 0x12, 0x1F, 0x02, 0x02}}, {'5', {0x1F, 0x10, 0x1E, 0x01, 0x01, 0x11, 0x0E}},
    {'6', {0x06, 0x08, 0x10, 0x1E, 0x11, 0x11, 0x0E}}, {'7', {0x1F, 0x01, 0x02, 0x04, 0x08, 0x08, 0x08}},
    {'8', {0x0E, 0x11, 0x11, 0x0E, 0x11, 0x11, 0x0E}}, {'9', {0x0E, 0x11, 0x11, 0x0F, 0x01, 0x02, 0x0C}},
    {'a', {0x00, 0x00, 0x0E, 0x01, 0x0F, 0x11, 0x0F}}, {'b', {0x10, 0x10, 0x16, 0x19, 0x11, 0x11, 0x1E}},
    {'c', {0x00, 0x00, 0x0E, 0x10, 0x10, 0x11, 0x0E}}, {'d', {0x01, 0x01, 0x0D, 0x13, 0x11, 0x11, 0x0F}},
    {'e', {0x00, 0x00, 0x0E, 0x11, 0x1F, 0x10, 0x0E}}, {'f', {0x06, 0x09, 0x08, 0x1C, 0x08, 0x08, 0x08}},
    {'g', {0x00, 0x0F, 0x11, 0x11, 0x0F, 0x01, 0x0E}}, {'h', {0x10, 0x10, 0x16, 0x19, 0x11, 0x11, 0x11}},
    {'i', {0x04, 0x00, 0x0C, 0x04, 0x04, 0x04, 0x0E}}, {'j', {0x02, 0x00, 0x06, 0x02, 0x02, 0x12, 0x0C}},
    {'k', {0x10, 0x10, 0x12, 0x14, 0x18, 0x14, 0x12}}, {'l', {0x0C, 0x04, 0x04, 0x04, 0x04, 0x04, 0x0E}},
    {'m', {0x00, 0x00, 0x1A, 0x15, 0x15, 0x11, 0x11}}, {'n', {0x00, 0x00, 0x16, 0x19, 0x11, 0x11, 0x11}},
    {'o', {0x00, 0x00, 0x0E, 0x11, 0x11, 0x11, 0x0E}}, {'p', {0x00, 0x00, 0x1E, 0x11, 0x1E, 0x10, 0x10}},
    {'q', {0x00, 0x00, 0x0D, 0x13, 0x0F, 0x01, 0x01}}, {'r', {0x00, 0x00, 0x16, 0x19, 0x10, 0x10, 0x10}},
    {'s', {0x00, 0x00, 0x0E, 0x10, 0x0E, 0x01, 0x1E}}, {'t', {0x08, 0x08, 0x1C, 0x08, 0x08, 0x09, 0x06}},
    {'u', {0x00, 0x00, 0x11, 0x11, 0x11, 0x13, 0x0D}}, {'v', {0x00, 0x00, 0x11, 0x11, 0x11, 0x0A, 0x04}},
    {'w', {0x00, 0x00, 0x11, 0x11, 0x15, 0x15, 0x0A}}, {'x', {0x00, 0x00, 0x11, 0x0A, 0x04, 0x0A, 0x11}},
    {'y', {0x00, 0x00, 0x11, 0x11, 0x0F, 0x01, 0x0E}}, {'z', {0x00, 0x00, 0x1F, 0x02, 0x04, 0x08, 0x1F}},
    {'-', {0x00, 0x00, 0x00, 0x1F, 0x00, 0x00, 0x00}}, {'_', {0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x1F}},
    {'.', {0x00, 0x00, 0x00, 0x00, 0x00, 0x0C, 0x0C}}, {' ', {0, 0, 0, 0, 0, 0, 0}},
    {'?', {0x0E, 0x11, 0x01, 0x02, 0x04, 0x00, 0x04}},
};

const Glyph& GlyphFor(char c) {
    const char lower = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    for (const Glyph& g : kGlyphs)
        if (g.c == lower) return g;
    return kGlyphs[sizeof kGlyphs / sizeof kGlyphs[0] - 1];
}

// A frame number below the model's count, or a frame's name; -1 for neither.
int FrameOf(const Md2Model& model, const std::string& text) {
    if (!text.empty() && text.find_first_not_of("0123456789") == std::string::npos) {
        const long n = text.size() > 9 ? -1 : std::strtol(text.c_str(), nullptr, 10);
        return n >= 0 && n < static_cast<long>(model.frames.size()) ? static_cast<int>(n) : -1;
    }
    for (std::size_t i = 0; i < model.frames.size(); ++i)
        if (model.frames[i].name == text) return static_cast<int>(i);
    return -1;
}

void Fill(RgbImage& image, int32_t x0, int32_t y0, int32_t w, int32_t h, const uint8_t rgb[3]) {
    for (int32_t y = y0; y < y0 + h && y < image.height; ++y)
        for (int32_t x = x0; x < x0 + w && x < image.width; ++x) {
            uint8_t* p = image.At(x, y);
            p[0] = rgb[0], p[1] = rgb[1], p[2] = rgb[2];
        }
}

}  // namespace

std::string AnimationName(const std::string& frameName) {
    std::size_t end = frameName.size();
    while (end > 0 && std::isdigit(static_cast<unsigned char>(frameName[end - 1]))) --end;
    // Quake II numbers the frames of pain1..3 and death1..3 as pain101, death204.
    return frameName.size() - end >= 3 ? frameName.substr(0, frameName.size() - 2) : frameName.substr(0, end);
}

std::vector<int> AnimationStarts(const std::vector<std::string>& frameNames) {
    std::vector<int> starts;
    for (std::size_t i = 0; i < frameNames.size(); ++i)
        if (i == 0 || AnimationName(frameNames[i]) != AnimationName(frameNames[i - 1]))
            starts.push_back(static_cast<int>(i));
    return starts;
}

std::vector<int> AnimationStarts(const Md2Model& model) {
    std::vector<std::string> names;
    for (const Md2Frame& frame : model.frames) names.push_back(frame.name);
    return AnimationStarts(names);
}

bool SelectFrames(const Md2Model& model, const std::string& text, std::vector<int>& frames, std::string& error) {
    frames.clear();
    if (text == "all") {
        for (std::size_t i = 0; i < model.frames.size(); ++i) frames.push_back(static_cast<int>(i));
        return true;
    }
    std::size_t at = 0;
    while (at <= text.size()) {
        std::size_t comma = text.find(',', at);
        if (comma == std::string::npos) comma = text.size();
        const std::string part = text.substr(at, comma - at);
        at = comma + 1;
        // A name may hold a dash itself; a range is tried only when the whole is no frame.
        int first = FrameOf(model, part), last = first;
        const std::size_t dash = part.find('-');
        if (first < 0 && dash != std::string::npos) {
            first = FrameOf(model, part.substr(0, dash));
            last = FrameOf(model, part.substr(dash + 1));
        }
        if (first < 0 || last < 0 || last < first) {
            error = "\"" + part + "\" is no frame or range of frames of this model's " +
                    std::to_string(model.frames.size()) + " (numbers from 0, or names)";
            return false;
        }
        for (int f = first; f <= last; ++f) frames.push_back(f);
    }
    return true;
}

void DrawLabel(RgbImage& image, int32_t x, int32_t y, int32_t right, const std::string& text, const uint8_t rgb[3]) {
    for (char c : text) {
        if (x + kGlyphWidth > right) break;
        const Glyph& g = GlyphFor(c);
        for (int32_t row = 0; row < kGlyphHeight; ++row)
            for (int32_t col = 0; col < kGlyphWidth; ++col)
                if ((g.rows[row] >> (kGlyphWidth - 1 - col)) & 1) {
                    if (x + col < 0 || y + row < 0 || x + col >= image.width || y + row >= image.height) continue;
                    uint8_t* p = image.At(x + col, y + row);
                    p[0] = rgb[0], p[1] = rgb[1], p[2] = rgb[2];
                }
        x += kAdvance;
    }
}

bool RenderSheet(const Md2Model& model, const RgbImage* skin, const SheetOptions& options, RgbImage& sheet,
                 std::string& error) {
    for (int frame : options.frames)
        if (frame < 0 || static_cast<std::size_t>(frame) >= model.frames.size()) {
            error =
                "frame " + std::to_string(frame) + " is not one of the model's " + std::to_string(model.frames.size());
            return false;
        }
    const int64_t count = static_cast<int64_t>(options.frames.size());
    const int32_t cell = options.cell;
    const int64_t columns = static_cast<int64_t>(std::ceil(std::sqrt(static_cast<double>(count))));
    const int64_t rows = columns ? (count + columns - 1) / columns : 0;
    if (count == 0 || cell < kMinCell || cell > kMaxCell || columns * cell * rows * cell > kMaxSheetPixels) {
        error = count == 0 ? "no frames chosen"
                           : std::to_string(count) + " frames in cells of " + std::to_string(cell) +
                                 " pixels make a sheet larger than " + std::to_string(kMaxSheetPixels >> 20) +
                                 " Mpixel (cells are 32 to 2048 pixels)";
        return false;
    }
    sheet = RgbImage(static_cast<int32_t>(columns * cell), static_cast<int32_t>(rows * cell), kBackground);

    FrameRenderer renderer(model, skin, options.view);
    renderer.Fit(options.frames, cell, cell - kLabelHeight);
    for (int64_t i = 0; i < count; ++i) {
        const auto left = static_cast<int32_t>(i % columns * cell), top = static_cast<int32_t>(i / columns * cell);
        const int frame = options.frames[i];
        renderer.Draw(frame, sheet, left, top);
        Fill(sheet, left, top + cell - kLabelHeight, cell, kLabelHeight, kLabelBackground);
        DrawLabel(sheet, left + 3, top + cell - kLabelHeight + 3, left + cell - 2,
                  std::to_string(frame) + " " + model.frames[frame].name, kLabelText);
    }
    return true;
}

}  // namespace preview
