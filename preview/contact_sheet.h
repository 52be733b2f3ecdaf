// A contact sheet: chosen frames of a model side by side in square cells, each
// labelled with its frame number and name.
#pragma once

#include <string>
#include <vector>

#include "preview/md2_model.h"
#include "preview/renderer.h"
#include "preview/skin_image.h"

namespace preview {

struct SheetOptions {
    ViewOptions view;
    int32_t cell = 160;       // pixels a side, the label included
    std::vector<int> frames;  // in the order drawn
};

constexpr int32_t kMinCell = 32;
constexpr int32_t kMaxCell = 2048;

// The animation a frame name belongs to: the name without its frame number,
// the last two digits of a run of three or more ("death101" of "death1") or
// else all its trailing digits ("stand01", "run1").
std::string AnimationName(const std::string& frameName);

// The first frame of each animation: of each run of frames whose names give
// the same animation name.
std::vector<int> AnimationStarts(const std::vector<std::string>& frameNames);
std::vector<int> AnimationStarts(const Md2Model& model);

// Reads a frame choice: "all", a range "A-B", or a comma-separated list of
// frames and ranges, each end a frame number or a frame name. On failure the
// error names the part not understood.
bool SelectFrames(const Md2Model& model, const std::string& text, std::vector<int>& frames, std::string& error);

// The largest sheet drawn, in pixels.
constexpr int64_t kMaxSheetPixels = 64 << 20;

// Draws the sheet: as many columns as make it about square, the frames fitted
// together so that they share one scale. False with error when a frame is not
// the model's, none is chosen, or the sheet would be larger than kMaxSheetPixels.
bool RenderSheet(const Md2Model& model, const RgbImage* skin, const SheetOptions& options, RgbImage& sheet,
                 std::string& error);

// Writes text in the built-in 5 x 7 font from (x, y), its top left, cut at right.
void DrawLabel(RgbImage& image, int32_t x, int32_t y, int32_t right, const std::string& text, const uint8_t rgb[3]);

}  // namespace preview
