// Draws a model's frames in software: a perspective or orthographic view,
// depth-tested, the skin sampled at the nearest texel as the game samples it,
// each vertex shaded from its light-normal index as the GL renderer shades it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "preview/md2_model.h"
#include "preview/skin_image.h"

namespace preview {

enum class View { Front, Side, ThreeQuarter, Top };

// "front", "side", "three-quarter" or "top"; false for anything else.
bool ParseView(const std::string& text, View& view);

struct ViewOptions {
    View view = View::Front;
    float yawDegrees = 0;  // the model turned about its up axis, as an entity's yaw turns it
    bool orthographic = false;
};

// Draws frames of one model, all placed alike so that they can be compared:
// Fit sizes and centres the given frames together in a width x height box, and
// Draw then paints one of them into a box of that size within a picture. Frame
// numbers must be the model's; Draw before Fit draws nothing.
class FrameRenderer {
public:
    // skin may be null: the model is then drawn in a plain grey.
    FrameRenderer(const Md2Model& model, const RgbImage* skin, const ViewOptions& options);

    // With topShare below 1 only that share of the picture's height, from the
    // top, is fitted (a portrait: head and shoulders); the rest falls off the box.
    void Fit(const std::vector<int>& frames, int32_t width, int32_t height, float topShare = 1.0f);
    void Draw(int frame, RgbImage& target, int32_t left, int32_t top);

    // True when every light-normal index is 0: the model is drawn unshaded.
    bool Flat() const { return flat_; }

private:
    struct Projected {
        float x, y;  // pixels within the box
        float q;     // 1 / distance from the eye (1 for orthographic views)
        float near;  // larger is nearer
    };
    Projected Project(const float* p) const;
    void Rotate(const float* p, float out[3]) const;

    const Md2Model& model_;
    const RgbImage* skin_;
    ViewOptions options_;
    bool flat_ = true;
    float yawCos_ = 1, yawSin_ = 0;
    float right_[3], up_[3], back_[3];
    float centre_[3] = {0, 0, 0};
    float eyeDistance_ = 1;
    float scale_ = 1, offsetX_ = 0, offsetY_ = 0;
    int32_t width_ = 0, height_ = 0;
    float shade_[256];  // light for each light-normal index
    std::vector<Projected> corners_;
    std::vector<float> depth_;
};

// A portrait of one frame seen from the front: the top share of the figure's
// height fitted into a size x size picture on a background of rgb.
RgbImage RenderPortrait(const Md2Model& model, const RgbImage* skin, int frame, int32_t size, float topShare,
                        const uint8_t background[3]);

}  // namespace preview
