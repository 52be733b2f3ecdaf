// md2info --preview and the renderer behind it, on a figure exported by
// md2export: boxes for legs, torso, head and right arm, each textured with a
// colour of its own (the face another than the rest of the head), so that
// where each colour lands in the picture tells which way up and round the
// figure stands and whether the skin sits on the right parts.

#include <gtest/gtest.h>

#include <stb/stb_image.h>

#include <cmath>
#include <sstream>
#include <string>

#include "preview/renderer.h"
#include "support/child_process.h"
#include "support/image_files.h"
#include "support/test_files.h"

namespace {

enum Part { kFace, kHead, kTorso, kLegs, kRightArm, kPartCount };
const char* const kPartNames[] = {"face", "head", "torso", "legs", "right arm"};
const uint8_t kPartColours[kPartCount][3] = {
    {220, 200, 40}, {40, 160, 40}, {150, 40, 40}, {40, 40, 160}, {200, 200, 200}};

// The host's axes: z up, the figure facing -y, so its right arm is at -x.
struct Box {
    float low[3], high[3];
    Part front, rest;  // front: the face toward -y
};
const Box kFigure[] = {{{-4, -2, 0}, {4, 2, 20}, kLegs, kLegs},
                       {{-6, -3, 20}, {6, 3, 40}, kTorso, kTorso},
                       {{-3, -3, 40}, {3, 3, 48}, kFace, kHead},
                       {{-10, -2, 22}, {-6, 2, 38}, kRightArm, kRightArm}};

// The skin: a 16 x 8 bitmap of 4 x 4 squares, part p in square p; each side
// of a box covers the middle 2 x 2 texels of its part's square.
std::string FigureScene() {
    std::ostringstream s;
    s << R"({"format": "md2-scene", "version": 1,
        "materials": [{"name": "Parts", "diffuse": {"bitmap": "parts.bmp"}}],
        "root": {"name": "Scene Root", "children": [{"name": "Figure", "selected": true, "material": 0, "mesh": {)";
    std::string vertices, faces, tverts, tfaces;
    for (int p = 0; p < kPartCount; ++p)
        for (int corner = 0; corner < 4; ++corner)
            tverts += (p || corner ? "," : "") +
                      ("[" + std::to_string((p % 4 * 4 + 1 + (corner == 1 || corner == 2) * 2) / 16.0) + "," +
                       std::to_string(1 - (p / 4 * 4 + 1 + (corner / 2) * 2) / 8.0) + "]");
    int base = 0;
    // Each side of a box as four corner numbers (bit 0: x high, 1: y high, 2: z high).
    const int kSides[6][4] = {{0, 1, 5, 4}, {2, 6, 7, 3}, {0, 4, 6, 2}, {1, 3, 7, 5}, {0, 2, 3, 1}, {4, 5, 7, 6}};
    for (const Box& box : kFigure) {
        for (int corner = 0; corner < 8; ++corner) {
            vertices += base || corner ? "," : "";
            vertices += "[" + std::to_string(corner & 1 ? box.high[0] : box.low[0]) + "," +
                        std::to_string(corner & 2 ? box.high[1] : box.low[1]) + "," +
                        std::to_string(corner & 4 ? box.high[2] : box.low[2]) + "]";
        }
        for (int side = 0; side < 6; ++side) {
            const int* c = kSides[side];
            const int t = 4 * (side == 0 ? box.front : box.rest);
            for (const int* tri : {c, c + 1}) {
                faces += faces.empty() ? "" : ",";
                faces += "{\"v\": [" + std::to_string(base + c[0]) + "," + std::to_string(base + tri[1]) + "," +
                         std::to_string(base + tri[2]) + "]}";
                tfaces += tfaces.empty() ? "" : ",";
                tfaces += "[" + std::to_string(t) + "," + std::to_string(t + (tri - c) + 1) + "," +
                          std::to_string(t + (tri - c) + 2) + "]";
            }
        }
        base += 8;
    }
    s << "\"vertices\": [" << vertices << "], \"faces\": [" << faces << "], \"tverts\": [" << tverts
      << "], \"tfaces\": [" << tfaces << "]}}]}}";
    return s.str();
}

vorn_test::Bytes PartsBitmap() {
    vorn_test::Bytes pixels;
    for (int y = 7; y >= 0; --y)  // bottom row first
        for (int x = 0; x < 16; ++x) {
            const int p = y / 4 * 4 + x / 4;
            const uint8_t* rgb = p < kPartCount ? kPartColours[p] : kPartColours[0];
            pixels.insert(pixels.end(), {rgb[2], rgb[1], rgb[0]});
        }
    return vorn_test::BmpFile(16, 8, 24, 0, 0, pixels);
}

// The part whose colour is nearest; kPartCount for the background.
Part Nearest(const uint8_t* rgb) {
    int best = kPartCount, bestDistance = 3 * 40 * 40;
    for (int p = 0; p < kPartCount; ++p) {
        int distance = 0;
        for (int a = 0; a < 3; ++a) distance += (rgb[a] - kPartColours[p][a]) * (rgb[a] - kPartColours[p][a]);
        if (distance < bestDistance) best = p, bestDistance = distance;
    }
    return static_cast<Part>(best);
}

class Preview : public ::testing::Test {
protected:
    void SetUp() override {
        testing_files::WriteBytes(folder_ / "parts.bmp", PartsBitmap());
        const std::string scene = FigureScene();
        testing_files::WriteBytes(folder_ / "figure.json", vorn_test::Bytes(scene.begin(), scene.end()));
        // The skin named after the model, where the preview looks for it.
        const auto r = Run(VORN_MD2EXPORT, {"--pcx", "--skin-name", "figure", "figure.json"});
        ASSERT_EQ(r.status, 0) << r.err;
    }

    testing_process::ProcessResult Run(const char* program, const std::vector<std::string>& arguments) {
        testing_process::ProcessOptions options;
        options.workingFolder = folder_.path();
        options.unset.push_back("VORN_MODULE");
        return testing_process::RunProcess(program, arguments, options);
    }

    testing_files::TempDir folder_;
};

TEST_F(Preview, FrontViewShowsTheFigureUprightFacingTheCameraWithEachPartItsColour) {
    const auto r =
        Run(VORN_MD2INFO, {"--preview", "sheet.png", "--frames", "0,stand01", "--cell", "128", "figure.md2"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("skin figure.pcx"), std::string::npos) << r.out;
    int width = 0, height = 0, channels = 0;
    unsigned char* png = stbi_load((folder_ / "sheet.png").c_str(), &width, &height, &channels, 3);
    ASSERT_NE(png, nullptr);
    EXPECT_EQ(width, 256);
    EXPECT_EQ(height, 128);
    // The figure is 48 units tall and fills the 116-pixel picture above the
    // label; its box is centred, 2 units left of the torso's middle. The
    // figure's right arm is on the picture's left, as when facing it.
    const struct {
        int x, y;
        Part part;
    } kExpected[] = {{68, 16, kFace}, {68, 45, kTorso}, {68, 88, kLegs}, {50, 45, kRightArm}, {8, 8, kPartCount}};
    for (int cell = 0; cell < 2; ++cell)
        for (const auto& e : kExpected) {
            const Part seen = Nearest(png + 3 * (e.y * width + e.x + 128 * cell));
            EXPECT_EQ(seen, e.part) << "cell " << cell << " at " << e.x << ", " << e.y << ": "
                                    << (seen < kPartCount ? kPartNames[seen] : "background") << " where the "
                                    << (e.part < kPartCount ? kPartNames[e.part] : "background") << " belongs";
        }
    stbi_image_free(png);
}

TEST_F(Preview, ShadingFollowsTheLightNormalsAsTheGlRendererDoes) {
    preview::Md2Model model;
    preview::RgbImage skin;
    std::string error;
    ASSERT_TRUE(preview::LoadMd2(folder_ / "figure.md2", model, error)) << error;
    ASSERT_TRUE(preview::LoadSkin(folder_ / "figure.pcx", skin, error)) << error;
    // The torso's red at the picture's centre, lit by every vertex's normal.
    auto torsoRed = [&](int normal, float yaw) {
        std::fill(model.frames[0].lightNormal.begin(), model.frames[0].lightNormal.end(), normal);
        preview::ViewOptions view;
        view.yawDegrees = yaw;
        preview::FrameRenderer renderer(model, &skin, view);
        renderer.Fit({0}, 128, 116);
        const uint8_t black[3] = {0, 0, 0};
        preview::RgbImage picture(128, 116, black);
        renderer.Draw(0, picture, 0, 0);
        return picture.At(64, 45)[0];
    };
    const float flat = torsoRed(0, 0);
    ASSERT_GT(flat, 100);
    // The GL renderer's light comes from 45 degrees above the entity's front
    // (turned with its yaw); 0.75 * (1 + d), a dot d below 0 counting 0.3.
    const struct {
        int normal;  // 5 up, 52 forward, 84 down, 143 back
        float yaw, factor;
    } kCases[] = {{52, 0, 1.280f}, {52, 180, 0.591f}, {143, 0, 0.591f}, {143, 180, 1.280f},
                  {5, 0, 1.280f},  {5, 180, 1.280f},  {84, 0, 0.591f},  {84, 180, 0.591f}};
    for (const auto& c : kCases)
        EXPECT_NEAR(torsoRed(c.normal, c.yaw), flat * c.factor, 1.5) << "normal " << c.normal << ", yaw " << c.yaw;
}

TEST_F(Preview, DamagedModelsAndSkinsAreRefusedNamingTheFault) {
    const vorn_test::Bytes model = testing_files::ReadBytes(folder_ / "figure.md2");
    const vorn_test::Bytes skin = testing_files::ReadBytes(folder_ / "figure.pcx");
    auto spoiled = [](vorn_test::Bytes bytes, std::size_t at, uint8_t value) {
        bytes.at(at) = value;
        return bytes;
    };
    const int32_t ofsTris = 644, ofsFrames = 1220;  // as the exporter lays out this figure
    const struct {
        vorn_test::Bytes bytes;
        bool isModel;
        const char* fault;
    } kCases[] = {{vorn_test::Bytes(model.begin(), model.begin() + 60), true, "header: the file holds 60 bytes"},
                  {vorn_test::Bytes(model.begin(), model.begin() + ofsFrames + 100), true, "the frames"},
                  {spoiled(model, ofsTris + 1, 0x40), true, "triangle 0: corner 0"},
                  {spoiled(model, ofsFrames + 43, 200), true, "frame 0: vertex 0 has light-normal index 200"},
                  {spoiled(model, 24, 0), true, "num_xyz 0"},
                  {spoiled(skin, skin.size() - 769, 0), false, "PCX: no 256-colour palette"},
                  {vorn_test::Bytes(skin.begin(), skin.begin() + 130), false, "cannot hold the header"},
                  {spoiled(skin, 3, 4), false, "only 8-bit"}};
    for (const auto& c : kCases) {
        preview::Md2Model m;
        preview::RgbImage image;
        std::string error;
        const bool read = c.isModel ? preview::ReadMd2(c.bytes.data(), c.bytes.size(), m, error)
                                    : preview::ReadSkin(c.bytes.data(), c.bytes.size(), image, error);
        EXPECT_FALSE(read) << c.fault;
        EXPECT_NE(error.find(c.fault), std::string::npos) << error;
    }
}

}  // namespace
