#include "preview/renderer.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "preview/light_normals.h"

namespace preview {
namespace {

constexpr float kPi = 3.14159265358979f;
// The light the GL renderer would find around the model: its shading runs from
// 0.7 (facing away) to 2 (facing the light) times this.
constexpr float kShadeLight = 0.75f;
const uint8_t kGrey[3] = {160, 160, 160};

struct Camera {
    float azimuth, elevation;  // degrees: where the eye stands, seen from the model
};

Camera CameraFor(View view) {
    // Quake's axes: x forward, y left, z up; the figure faces +x.
    switch (view) {
        case View::Side:
            return {-90, 0};  // its right side, facing the picture's right
        case View::ThreeQuarter:
            return {-40, 20};
        case View::Top:
            return {0, 90};
        case View::Front:
            break;
    }
    return {0, 0};
}

float Dot(const float* a, const float* b) { return a[0] * b[0] + a[1] * b[1] + a[2] * b[2]; }

void Cross(const float* a, const float* b, float* out) {
    out[0] = a[1] * b[2] - a[2] * b[1];
    out[1] = a[2] * b[0] - a[0] * b[2];
    out[2] = a[0] * b[1] - a[1] * b[0];
}

// Rounds v down into 0 .. n - 1, repeating, as the GL renderer's textures repeat.
int32_t Wrap(float v, int32_t n) {
    if (!(std::fabs(v) < 1e9f)) return 0;
    const int64_t i = static_cast<int64_t>(std::floor(v)) % n;
    return static_cast<int32_t>(i < 0 ? i + n : i);
}

// v limited to low .. high, and a number that is none to low.
float Clamp(float v, float low, float high) { return std::min(high, std::max(low, v)); }

void Normalise(float* v) {
    const float length = std::sqrt(Dot(v, v));
    for (int a = 0; a < 3; ++a) v[a] /= length;
}

}  // namespace

bool ParseView(const std::string& text, View& view) {
    const struct {
        const char* name;
        View view;
    } kViews[] = {
        {"front", View::Front}, {"side", View::Side}, {"three-quarter", View::ThreeQuarter}, {"top", View::Top}};
    for (const auto& v : kViews)
        if (text == v.name) {
            view = v.view;
            return true;
        }
    return false;
}

FrameRenderer::FrameRenderer(const Md2Model& model, const RgbImage* skin, const ViewOptions& options)
    : model_(model), skin_(skin), options_(options) {
    const float yaw = options.yawDegrees * kPi / 180;
    yawCos_ = std::cos(yaw);
    yawSin_ = std::sin(yaw);

    const Camera camera = CameraFor(options.view);
    const float az = camera.azimuth * kPi / 180, el = camera.elevation * kPi / 180;
    back_[0] = std::cos(el) * std::cos(az);
    back_[1] = std::cos(el) * std::sin(az);
    back_[2] = std::sin(el);
    // Seen from straight above, the figure's front is up the picture.
    const float worldUp[3] = {options.view == View::Top ? 1.0f : 0.0f, 0, options.view == View::Top ? 0.0f : 1.0f};
    const float forward[3] = {-back_[0], -back_[1], -back_[2]};
    Cross(forward, worldUp, right_);
    Normalise(right_);
    Cross(right_, forward, up_);

    for (const Md2Frame& frame : model.frames)
        for (uint8_t n : frame.lightNormal) flat_ = flat_ && n == 0;
    // The GL renderer's light in the model's own axes: from above at 45
    // degrees, turned against the entity's yaw; a face away from it keeps 0.3
    // of its dot product, so nothing goes black.
    const float light[3] = {std::cos(-kPi / 4) * std::cos(-yaw), std::cos(-kPi / 4) * std::sin(-yaw),
                            std::sin(kPi / 4)};
    for (int i = 0; i < 256; ++i) {
        float d = i < kLightNormalCount ? Dot(kLightNormals[i], light) : 0;
        if (d < 0) d *= 0.3f;
        shade_[i] = flat_ ? 1.0f : (d + 1) * kShadeLight;
    }
}

void FrameRenderer::Rotate(const float* p, float out[3]) const {
    const float turned[3] = {p[0] * yawCos_ - p[1] * yawSin_, p[0] * yawSin_ + p[1] * yawCos_, p[2]};
    const float rel[3] = {turned[0] - centre_[0], turned[1] - centre_[1], turned[2] - centre_[2]};
    out[0] = Dot(rel, right_);
    out[1] = Dot(rel, up_);
    out[2] = Dot(rel, back_);
}

FrameRenderer::Projected FrameRenderer::Project(const float* p) const {
    float v[3];
    Rotate(p, v);
    Projected out;
    if (options_.orthographic) {
        out.q = 1;
        out.near = v[2];
    } else {
        out.q = 1 / (eyeDistance_ - v[2]);
        out.near = out.q;
    }
    out.x = offsetX_ + v[0] * out.q * scale_;
    out.y = offsetY_ - v[1] * out.q * scale_;
    return out;
}

void FrameRenderer::Fit(const std::vector<int>& frames, int32_t width, int32_t height, float topShare) {
    width_ = height_ = 0;
    if (frames.empty() || width <= 0 || height <= 0) return;
    width_ = width;
    height_ = height;
    depth_.assign(static_cast<std::size_t>(width) * height, 0);
    corners_.resize(model_.vertexCount);

    // The frames' box, turned by the yaw, gives the centre and the eye's distance.
    centre_[0] = centre_[1] = centre_[2] = 0;
    float low[3], high[3];
    std::fill(low, low + 3, std::numeric_limits<float>::max());
    std::fill(high, high + 3, std::numeric_limits<float>::lowest());
    for (int f : frames)
        for (int32_t v = 0; v < model_.vertexCount; ++v) {
            const float* p = &model_.frames[f].positions[3 * v];
            const float turned[3] = {p[0] * yawCos_ - p[1] * yawSin_, p[0] * yawSin_ + p[1] * yawCos_, p[2]};
            for (int a = 0; a < 3; ++a) low[a] = std::min(low[a], turned[a]), high[a] = std::max(high[a], turned[a]);
        }
    float radius = 0;
    for (int a = 0; a < 3; ++a) {
        centre_[a] = (low[a] + high[a]) / 2;
        radius += (high[a] - low[a]) * (high[a] - low[a]) / 4;
    }
    eyeDistance_ = 2.5f * std::max(std::sqrt(radius), 1e-3f);

    // Then the picture of all of them, at scale 1, sets the scale that fills the box.
    scale_ = 1;
    offsetX_ = offsetY_ = 0;
    float minX = std::numeric_limits<float>::max(), maxX = std::numeric_limits<float>::lowest();
    float minY = minX, maxY = maxX;
    for (int f : frames)
        for (int32_t v = 0; v < model_.vertexCount; ++v) {
            const Projected p = Project(&model_.frames[f].positions[3 * v]);
            minX = std::min(minX, p.x), maxX = std::max(maxX, p.x);
            minY = std::min(minY, p.y), maxY = std::max(maxY, p.y);
        }
    if (topShare < 1) {
        // The picture's y grows downwards: the top is minY.
        const float limit = minY + std::max(topShare, 0.01f) * (maxY - minY);
        minX = std::numeric_limits<float>::max(), maxX = std::numeric_limits<float>::lowest();
        for (int f : frames)
            for (int32_t v = 0; v < model_.vertexCount; ++v) {
                const Projected p = Project(&model_.frames[f].positions[3 * v]);
                if (p.y <= limit) minX = std::min(minX, p.x), maxX = std::max(maxX, p.x);
            }
        maxY = limit;
    }
    const float margin = 0.05f * std::min(width, height) + 1;
    scale_ = std::min((width - 2 * margin) / std::max(maxX - minX, 1e-6f),
                      (height - 2 * margin) / std::max(maxY - minY, 1e-6f));
    offsetX_ = width / 2.0f - (minX + maxX) / 2 * scale_;
    offsetY_ = height / 2.0f - (minY + maxY) / 2 * scale_;
}

void FrameRenderer::Draw(int frame, RgbImage& target, int32_t left, int32_t top) {
    if (width_ <= 0 || height_ <= 0) return;
    const Md2Frame& f = model_.frames[frame];
    for (int32_t v = 0; v < model_.vertexCount; ++v) corners_[v] = Project(&f.positions[3 * v]);
    std::fill(depth_.begin(), depth_.end(), std::numeric_limits<float>::lowest());

    const int32_t skinW = skin_ ? skin_->width : 1, skinH = skin_ ? skin_->height : 1;
    const float toTexelS = static_cast<float>(skinW) / model_.skinWidth;
    const float toTexelT = static_cast<float>(skinH) / model_.skinHeight;
    const int32_t right = std::min(width_, target.width - left), bottom = std::min(height_, target.height - top);
    if (left < 0 || top < 0 || right <= 0 || bottom <= 0) return;

    for (const Md2Triangle& tri : model_.triangles) {
        const Projected* c[3];
        float u[3], t[3], light[3];
        for (int k = 0; k < 3; ++k) {
            c[k] = &corners_[tri.vertex[k]];
            u[k] = model_.st[2 * tri.st[k]] * toTexelS * c[k]->q;
            t[k] = model_.st[2 * tri.st[k] + 1] * toTexelT * c[k]->q;
            light[k] = shade_[f.lightNormal[tri.vertex[k]]];
        }
        const float area = (c[1]->x - c[0]->x) * (c[2]->y - c[0]->y) - (c[1]->y - c[0]->y) * (c[2]->x - c[0]->x);
        if (!(std::fabs(area) > 1e-12f) || !std::isfinite(area)) continue;
        bool finite = true;
        for (int k = 0; k < 3; ++k)
            finite = finite && std::isfinite(c[k]->x) && std::isfinite(c[k]->y) && std::isfinite(c[k]->q);
        if (!finite) continue;
        const auto x0 = static_cast<int32_t>(Clamp(std::floor(std::min({c[0]->x, c[1]->x, c[2]->x})), 0, right - 1.0f));
        const auto x1 = static_cast<int32_t>(Clamp(std::ceil(std::max({c[0]->x, c[1]->x, c[2]->x})), -1, right - 1.0f));
        const auto y0 =
            static_cast<int32_t>(Clamp(std::floor(std::min({c[0]->y, c[1]->y, c[2]->y})), 0, bottom - 1.0f));
        const auto y1 =
            static_cast<int32_t>(Clamp(std::ceil(std::max({c[0]->y, c[1]->y, c[2]->y})), -1, bottom - 1.0f));
        // Edge k faces corner k; its weight grows by dx along a row and dy down a column.
        float dx[3], dy[3], rowStart[3];
        const float px = x0 + 0.5f, py = y0 + 0.5f;
        for (int k = 0; k < 3; ++k) {
            const Projected& a = *c[(k + 1) % 3];
            const Projected& b = *c[(k + 2) % 3];
            dx[k] = (a.y - b.y) / area;
            dy[k] = (b.x - a.x) / area;
            rowStart[k] = ((b.x - a.x) * (py - a.y) - (b.y - a.y) * (px - a.x)) / area;
        }
        for (int32_t y = y0; y <= y1; ++y) {
            float w[3] = {rowStart[0], rowStart[1], rowStart[2]};
            for (int32_t x = x0; x <= x1; ++x, w[0] += dx[0], w[1] += dx[1], w[2] += dx[2]) {
                if (w[0] < 0 || w[1] < 0 || w[2] < 0) continue;
                const float near = w[0] * c[0]->near + w[1] * c[1]->near + w[2] * c[2]->near;
                float& depth = depth_[static_cast<std::size_t>(y) * width_ + x];
                if (near <= depth) continue;
                depth = near;
                const uint8_t* texel = kGrey;
                if (skin_) {
                    const float q = w[0] * c[0]->q + w[1] * c[1]->q + w[2] * c[2]->q;
                    const float s = (w[0] * u[0] + w[1] * u[1] + w[2] * u[2]) / q;
                    const float tt = (w[0] * t[0] + w[1] * t[1] + w[2] * t[2]) / q;
                    texel = skin_->At(Wrap(s, skinW), Wrap(tt, skinH));
                }
                const float shade = w[0] * light[0] + w[1] * light[1] + w[2] * light[2];
                uint8_t* out = target.At(left + x, top + y);
                for (int a = 0; a < 3; ++a) out[a] = static_cast<uint8_t>(std::min(255.0f, texel[a] * shade + 0.5f));
            }
            for (int k = 0; k < 3; ++k) rowStart[k] += dy[k];
        }
    }
}

RgbImage RenderPortrait(const Md2Model& model, const RgbImage* skin, int frame, int32_t size, float topShare,
                        const uint8_t background[3]) {
    RgbImage picture(size, size, background);
    if (size < 1 || frame < 0 || frame >= static_cast<int>(model.frames.size()) || model.vertexCount == 0)
        return picture;
    // Drawn four times as large and averaged down, so that details smaller
    // than a pixel (eyes) still tint it.
    constexpr int32_t kFine = 4;
    RgbImage fine(size * kFine, size * kFine, background);
    FrameRenderer renderer(model, skin, ViewOptions{});
    renderer.Fit({frame}, fine.width, fine.height, topShare);
    renderer.Draw(frame, fine, 0, 0);
    for (int32_t y = 0; y < size; ++y)
        for (int32_t x = 0; x < size; ++x)
            for (int a = 0; a < 3; ++a) {
                int sum = 0;
                for (int32_t dy = 0; dy < kFine; ++dy)
                    for (int32_t dx = 0; dx < kFine; ++dx) sum += fine.At(x * kFine + dx, y * kFine + dy)[a];
                picture.At(x, y)[a] = static_cast<uint8_t>((sum + kFine * kFine / 2) / (kFine * kFine));
            }
    return picture;
}

}  // namespace preview
