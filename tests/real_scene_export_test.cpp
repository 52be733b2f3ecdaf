// Real scene files exported by md2export, run as a process: the files Blender
// wrote (tests/data/real/motion.*, by make_blender_fixtures.py) against what
// Blender itself evaluated (motion_reference.json), read back by a decoder of
// this test's own; then the options that only such files take.

#include <gtest/gtest.h>
#include <stb/stb_image.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <nlohmann/json.hpp>
#include <set>
#include <string>
#include <vector>

#include "cli/md2_check.h"
#include "support/child_process.h"
#include "support/image_files.h"
#include "support/test_files.h"

namespace {

using testing_process::ProcessResult;
using Args = std::vector<std::string>;
using Vec3 = std::array<double, 3>;

const std::string kReal = std::string(VORN_TEST_DATA_DIR) + "/real/";
const std::string kCharacter = std::string(VORN_SOURCE_DIR) + "/examples/character/character.gltf";

// --- What Blender evaluated ----------------------------------------------------------------

struct BlenderObject {
    std::string name;
    std::string picture;                                   // the file of its material's image; empty: colours
    std::vector<std::vector<std::array<double, 3>>> polygons;  // per corner: vertex, u, v
    std::vector<std::vector<double>> positions;            // per frame, x y z per vertex: world space, metres
    std::vector<std::array<int, 3>> colours;               // per polygon, without a picture
};

struct BlenderFixture {
    std::vector<std::string> objects;
    bool animated = false;
    bool scaled = false;  // its picture is shrunk to fit the page
};

struct Reference {
    std::map<std::string, BlenderObject> objects;
    std::map<std::string, BlenderFixture> fixtures;
};

// Both of Blender's answers: the motion scene's and the files as they come.
const Reference& LoadReference() {
    static const Reference reference = [] {
        Reference r;
        for (const char* file : {"motion_reference.json", "realfiles_reference.json"}) {
            std::ifstream in(kReal + file);
            if (!in) ADD_FAILURE() << "no " << file << ": run make_blender_fixtures.py";
            const nlohmann::json j = nlohmann::json::parse(in, nullptr, false);
            if (!j.is_object()) continue;
            for (const auto& o : j.at("objects")) {
                const std::string name = o.at("name").get<std::string>();
                r.objects[name] = {name, o.at("picture").get<std::string>(),
                                   o.at("polygons").get<std::vector<std::vector<std::array<double, 3>>>>(),
                                   o.at("positions").get<std::vector<std::vector<double>>>(),
                                   o.value("colours", std::vector<std::array<int, 3>>())};
            }
            for (const auto& [name, f] : j.at("fixtures").items())
                r.fixtures[name] = {f.at("objects").get<std::vector<std::string>>(), f.at("animated").get<bool>(),
                                    f.value("scaled", false)};
        }
        return r;
    }();
    return reference;
}

// One vertex of Blender's, as the model should hold it: turned a quarter
// about z as the writer turns every vertex, in host units (metres).
struct BlenderVertex {
    const BlenderObject* object;
    size_t index;
    Vec3 At(size_t frame) const {
        const std::vector<double>& p = object->positions.at(frame);
        return {-p.at(3 * index + 1), p.at(3 * index), p.at(3 * index + 2)};
    }
};

std::vector<BlenderVertex> VerticesOf(const BlenderFixture& fixture) {
    std::vector<BlenderVertex> out;
    for (const std::string& name : fixture.objects) {
        const BlenderObject& object = LoadReference().objects.at(name);
        for (size_t i = 0; i < object.positions.at(0).size() / 3; ++i) out.push_back({&object, i});
    }
    return out;
}

// --- The written model, decoded on its own --------------------------------------------------

struct Frame {
    float scale[3];
    std::vector<Vec3> vertices;  // byte * scale + translate
};

struct Model {
    std::vector<std::array<int16_t, 2>> st;
    std::vector<std::array<uint16_t, 6>> triangles;  // vertex indices, then st indices
    std::vector<Frame> frames;
};

// Decodes a model that md2check passed (so every section lies inside the file).
Model Decode(const std::vector<uint8_t>& b, const md2check::Md2Header& h) {
    const auto u16 = [&](size_t at) { return static_cast<uint16_t>(b[at] | b[at + 1] << 8); };
    const auto f32 = [&](size_t at) {
        const uint32_t bits = u16(at) | static_cast<uint32_t>(u16(at + 2)) << 16;
        float f;
        std::memcpy(&f, &bits, sizeof f);
        return f;
    };
    Model m;
    for (size_t i = 0; i < static_cast<size_t>(h.numSt); ++i) {
        const size_t at = static_cast<size_t>(h.ofsSt) + 4 * i;
        m.st.push_back({static_cast<int16_t>(u16(at)), static_cast<int16_t>(u16(at + 2))});
    }
    for (size_t i = 0; i < static_cast<size_t>(h.numTris); ++i) {
        m.triangles.emplace_back();
        for (size_t k = 0; k < 6; ++k) m.triangles.back()[k] = u16(static_cast<size_t>(h.ofsTris) + 12 * i + 2 * k);
    }
    for (size_t f = 0; f < static_cast<size_t>(h.numFrames); ++f) {
        const size_t at = static_cast<size_t>(h.ofsFrames) + f * static_cast<size_t>(h.frameSize);
        Frame frame;
        for (size_t k = 0; k < 3; ++k) frame.scale[k] = f32(at + 4 * k);
        for (size_t v = 0; v < static_cast<size_t>(h.numXyz); ++v) {
            Vec3& x = frame.vertices.emplace_back();
            for (size_t k = 0; k < 3; ++k)
                x[k] = b[at + 40 + 4 * v + k] * static_cast<double>(frame.scale[k]) + f32(at + 12 + 4 * k);
        }
        m.frames.push_back(frame);
    }
    return m;
}

// A coordinate is quantised down to the step below it, so the true value lies
// from the decoded one up to one step (the frame's scale on that axis) above
// it. The slack covers the reference's six decimals and single precision.
constexpr double kSlack = 1e-5;

bool WithinOneStep(const Vec3& expected, const Frame& frame, size_t vertex) {
    for (size_t k = 0; k < 3; ++k) {
        const double d = expected[k] - frame.vertices[vertex][k];
        if (d < -kSlack || d > frame.scale[k] + kSlack) return false;
    }
    return true;
}

// The Blender vertex each model vertex stands for: the one whose frame-0
// position lies within one step of it. Welded vertices have positions of their
// own, so exactly one must, and every Blender vertex must be taken once.
::testing::AssertionResult Correspond(const Frame& frame, const std::vector<BlenderVertex>& blender,
                                      std::vector<size_t>& match) {
    if (frame.vertices.size() != blender.size())
        return ::testing::AssertionFailure() << "the model has " << frame.vertices.size() << " vertices, Blender "
                                             << blender.size();
    match.assign(frame.vertices.size(), 0);
    std::vector<int> taken(blender.size(), 0);
    for (size_t v = 0; v < frame.vertices.size(); ++v) {
        std::vector<size_t> candidates;
        for (size_t b = 0; b < blender.size(); ++b)
            if (WithinOneStep(blender[b].At(0), frame, v)) candidates.push_back(b);
        if (candidates.size() != 1)
            return ::testing::AssertionFailure() << "model vertex " << v << " lies within one step of "
                                                 << candidates.size() << " Blender vertices";
        match[v] = candidates[0];
        ++taken[candidates[0]];
    }
    for (size_t b = 0; b < blender.size(); ++b)
        if (taken[b] != 1)
            return ::testing::AssertionFailure() << blender[b].object->name << " vertex " << blender[b].index
                                                 << " is matched " << taken[b] << " times";
    return ::testing::AssertionSuccess();
}

// --- Pictures -----------------------------------------------------------------------------------

// Any picture file stb_image reads, top row first.
struct Picture {
    int width = 0, height = 0;
    std::vector<uint8_t> rgb;
    bool Has(int column, int row) const { return column >= 0 && row >= 0 && column < width && row < height; }
    std::array<int, 3> At(int column, int row) const {
        const size_t at = 3 * (static_cast<size_t>(row) * static_cast<size_t>(width) + static_cast<size_t>(column));
        return {rgb[at], rgb[at + 1], rgb[at + 2]};
    }
};

Picture ReadPicture(const std::string& path) {
    Picture p;
    int channels = 0;
    stbi_uc* pixels = stbi_load(path.c_str(), &p.width, &p.height, &channels, 3);
    if (!pixels) return Picture{};
    p.rgb.assign(pixels, pixels + 3 * static_cast<size_t>(p.width) * static_cast<size_t>(p.height));
    stbi_image_free(pixels);
    return p;
}

int Wrap(int i, int n) { return (i % n + n) % n; }

// The Blender polygon holding all three corners of a model triangle
// (polygons share at most an edge); null when none does.
const std::vector<std::array<double, 3>>* PolygonOf(const std::array<uint16_t, 6>& tri,
                                                    const std::vector<BlenderVertex>& blender,
                                                    const std::vector<size_t>& match) {
    const BlenderObject* object = blender.at(match.at(tri[0])).object;
    for (const auto& p : object->polygons) {
        int found = 0;
        for (size_t k = 0; k < 3; ++k) {
            const BlenderVertex& b = blender.at(match.at(tri[k]));
            for (const auto& c : p) found += b.object == object && c[0] == b.index;
        }
        if (found == 3) return &p;
    }
    return nullptr;
}

// Where the middle of each triangle lands on the skin, the colour Blender
// shows there: a colour-only polygon's colour, or the picture at the middle
// of its coordinates (tiles repeating), which a shrunk picture keeps inside
// its blocks of one colour.
void ExpectMiddlesInBlenderColours(const Model& model, const std::vector<BlenderVertex>& blender,
                                   const std::vector<size_t>& match, const Picture& skin) {
    int wrong = 0;
    for (size_t i = 0; i < model.triangles.size() && wrong < 3; ++i) {
        const std::array<uint16_t, 6>& tri = model.triangles[i];
        const BlenderObject* object = blender.at(match.at(tri[0])).object;
        const auto* polygon = PolygonOf(tri, blender, match);
        ASSERT_NE(polygon, nullptr) << object->name << " triangle " << i;
        double s = 0, t = 0, u = 0, v = 0;
        for (size_t k = 0; k < 3; ++k) {
            s += model.st.at(tri[3 + k])[0] / 3.0;
            t += model.st.at(tri[3 + k])[1] / 3.0;
            for (const auto& c : *polygon)
                if (c[0] == blender.at(match.at(tri[k])).index) u += c[1] / 3, v += c[2] / 3;
        }
        std::array<int, 3> expected;
        if (object->picture.empty()) {
            expected = object->colours.at(static_cast<size_t>(polygon - object->polygons.data()));
        } else {
            const Picture picture = ReadPicture(kReal + object->picture);
            const int column = static_cast<int>((u - std::floor(u)) * picture.width);
            const int row = picture.height - 1 - static_cast<int>((v - std::floor(v)) * picture.height);
            expected = picture.At(column, row);
        }
        const std::array<int, 3> got = skin.At(static_cast<int>(s), static_cast<int>(t));
        for (size_t k = 0; k < 3; ++k) {
            if (std::abs(got[k] - expected[k]) <= 2) continue;
            ADD_FAILURE() << object->name << " triangle " << i << ": skin " << testing::PrintToString(got)
                          << " at (" << s << ", " << t << "), Blender " << testing::PrintToString(expected);
            ++wrong;
            break;
        }
    }
}

// Every corner of the model lands on the skin texel that the composition took
// from Blender's picture at the corner's UV. The fixtures put every UV on a
// texel corner, so (u * width, v * height) names one texel exactly: the one
// above and to the right of that corner, rows counted from the bottom. The
// skin holds each picture's used range without its far column and row, so a
// corner on that edge is checked one texel back on that axis, in the picture
// and on the page alike.
void ExpectCornersOnBlenderTexels(const Model& model, const std::vector<BlenderVertex>& blender,
                                  const std::vector<size_t>& match, const Picture& skin) {
    struct Landing {
        const BlenderObject* object;
        int x, y;  // texel of the picture: column, row from the bottom
        int s, t;  // the model's page coordinates
    };
    std::map<std::string, Picture> pictures;
    std::map<std::string, std::array<int, 2>> farEdge;  // per picture: the largest x and y used
    std::vector<Landing> landings;
    for (size_t i = 0; i < model.triangles.size(); ++i) {
        const std::array<uint16_t, 6>& tri = model.triangles[i];
        const BlenderObject* object = blender.at(match.at(tri[0])).object;
        const std::vector<std::array<double, 3>>* polygon = PolygonOf(tri, blender, match);
        ASSERT_NE(polygon, nullptr) << object->name << " triangle " << i << " lies in no polygon of one object";
        Picture& picture = pictures[object->picture];
        if (!picture.width) picture = ReadPicture(kReal + object->picture);
        ASSERT_GT(picture.width, 0) << object->picture;
        for (size_t k = 0; k < 3; ++k) {
            for (const auto& c : *polygon) {
                if (c[0] != blender.at(match.at(tri[k])).index) continue;
                const double x = c[1] * picture.width, y = c[2] * picture.height;
                ASSERT_TRUE(x == std::floor(x) && y == std::floor(y)) << object->name << ": a UV off the texel corners";
                const auto& st = model.st.at(tri[3 + k]);
                landings.push_back({object, static_cast<int>(x), static_cast<int>(y), st[0], st[1]});
                const Landing& l = landings.back();
                auto edge = farEdge.emplace(object->picture, std::array<int, 2>{l.x, l.y}).first;
                edge->second = {std::max(edge->second[0], l.x), std::max(edge->second[1], l.y)};
            }
        }
    }
    int wrong = 0;
    for (const Landing& l : landings) {
        const Picture& picture = pictures[l.object->picture];
        const int dx = l.x == farEdge[l.object->picture][0] ? 1 : 0;
        const int dy = l.y == farEdge[l.object->picture][1] ? 1 : 0;
        // Outside 0 .. 1 the picture repeats.
        const int column = Wrap(l.x - dx, picture.width), row = picture.height - 1 - Wrap(l.y - dy, picture.height);
        const int s = l.s - dx, t = l.t - dy;
        ASSERT_TRUE(skin.Has(s, t)) << "page " << s << ", " << t << " outside the skin";
        if (skin.At(s, t) == picture.At(column, row) || ++wrong > 3) continue;
        ADD_FAILURE() << l.object->name << ": corner at texel (" << l.x << ", " << l.y << ") of " << l.object->picture
                      << " lands on page (" << l.s << ", " << l.t << "), which holds another texel";
    }
    EXPECT_EQ(landings.size(), 3 * model.triangles.size());
}

// --- Running md2export --------------------------------------------------------------------------

class RealSceneExport : public ::testing::Test {
protected:
    ProcessResult Run(const Args& arguments) {
        testing_process::ProcessOptions options;
        options.workingFolder = folder_.path();
        options.unset.push_back("VORN_MODULE");
        return testing_process::RunProcess(VORN_MD2EXPORT, arguments, options);
    }

    std::string Path(const std::string& name) const { return folder_ / name; }
    bool Exists(const std::string& name) const { return testing_files::FileExists(Path(name)); }

    // The model written as name, checked by md2check and decoded.
    Model Written(const std::string& name) const {
        const std::vector<uint8_t> bytes = testing_files::ReadBytes(Path(name));
        const md2check::Md2Report report = md2check::CheckMd2Model(bytes.data(), bytes.size());
        EXPECT_TRUE(report.Passed()) << name;
        for (const md2check::Finding& f : report.findings)
            if (f.concern != md2check::Concern::Look) ADD_FAILURE() << name << ": " << f.where << ": " << f.message;
        return report.Passed() ? Decode(bytes, report.header) : Model{};
    }

    std::set<std::string> FilesIn(const std::string& folder) const {
        std::set<std::string> names;
        std::error_code ec;
        for (const auto& entry : std::filesystem::directory_iterator(Path(folder), ec))
            names.insert(entry.path().filename().string());
        return names;
    }

    testing_files::TempDir folder_;
};

const std::set<std::string> kConvertedPictures = {"grain.tga", "paint.tga"};

// --- Blender's files against Blender's own evaluation ------------------------------------------

class BlenderFile : public RealSceneExport, public ::testing::WithParamInterface<const char*> {};

TEST_P(BlenderFile, ExportsWhatBlenderEvaluatedAtEveryFrame) {
    const std::string file = GetParam();
    const BlenderFixture& fixture = LoadReference().fixtures.at(file);
    const ProcessResult r = Run({"-q", "--bmp", "--skin-name", "skin", "--texture-cache", "cache", "-o", "model.md2",
                                 kReal + file});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err, "");
    const Model model = Written("model.md2");
    ASSERT_EQ(model.frames.size(), 198u);

    // Frame f of the model is Blender's frame first + f while the animation
    // runs, and its last frame after; a file without animation stands still.
    const std::vector<BlenderVertex> blender = VerticesOf(fixture);
    const size_t blenderFrames = blender.front().object->positions.size();
    std::vector<size_t> match;
    ASSERT_TRUE(Correspond(model.frames[0], blender, match));
    for (size_t f = 0; f < model.frames.size() && !HasFailure(); ++f) {
        const Frame& frame = model.frames[f];
        const size_t at = fixture.animated ? std::min(f, blenderFrames - 1) : 0;
        for (size_t v = 0, wrong = 0; v < match.size(); ++v) {
            const BlenderVertex& b = blender[match[v]];
            if (WithinOneStep(b.At(at), frame, v) || ++wrong > 3) continue;
            ADD_FAILURE() << "model frame " << f << ", " << b.object->name << " vertex " << b.index << ": Blender "
                          << testing::PrintToString(b.At(at)) << ", decoded "
                          << testing::PrintToString(frame.vertices[v]) << ", steps "
                          << testing::PrintToString(frame.scale);
        }
    }

    // The motion scene's pictures are PNG files, converted into the cache and read from there.
    if (file.rfind("motion.", 0) == 0) {
        EXPECT_EQ(FilesIn("cache"), kConvertedPictures);
    }
    const Picture skin = ReadPicture(Path("skin.bmp"));
    ASSERT_GT(skin.width, 0);
    const bool painted = blender.front().object->picture.empty();
    if (fixture.scaled || painted) ExpectMiddlesInBlenderColours(model, blender, match, skin);
    else ExpectCornersOnBlenderTexels(model, blender, match, skin);
}

INSTANTIATE_TEST_SUITE_P(Blender, BlenderFile,
                         ::testing::Values("motion.gltf", "motion.fbx", "motion.dae", "motion.obj", "tiled.gltf",
                                           "colours.gltf", "weights.fbx", "windows/box.obj", "windows.fbx"),
                         [](const ::testing::TestParamInfo<const char*>& info) {
                             std::string name = info.param;
                             std::replace(name.begin(), name.end(), '.', '_');
                             std::replace(name.begin(), name.end(), '/', '_');
                             return name;
                         });

// --- The options only these files take ---------------------------------------------------------

// The bundled character's "player" holds its "run" (the file's animation 1)
// at run1 .. run6 (40 .. 45); at 15 frames a second, frame i is what 30 a
// second shows at 2i. Its textures need no conversion.
TEST_F(RealSceneExport, PlaysTheNamedAnimationAtTheGivenRate) {
    ASSERT_EQ(Run({"-q", "--animation", "player", "-o", "player.md2", kCharacter}).status, 0);
    ASSERT_EQ(Run({"-q", "--animation", "run", "-o", "run.md2", kCharacter}).status, 0);
    ASSERT_EQ(Run({"-q", "--animation", "1", "--fps", "15", "-o", "slow.md2", kCharacter}).status, 0);
    const Model player = Written("player.md2"), run = Written("run.md2"), slow = Written("slow.md2");
    const auto expectSame = [](const Frame& a, const Frame& b, const std::string& what) {
        ASSERT_EQ(a.vertices.size(), 56u) << what;
        ASSERT_EQ(b.vertices.size(), 56u) << what;
        for (size_t v = 0; v < a.vertices.size(); ++v)
            for (size_t k = 0; k < 3; ++k)
                ASSERT_NEAR(a.vertices[v][k], b.vertices[v][k], std::max(a.scale[k], b.scale[k]) + kSlack)
                    << what << ", vertex " << v;
    };
    ASSERT_EQ(run.frames.size(), 198u);
    for (size_t i = 0; i < 6; ++i) expectSame(player.frames.at(40 + i), run.frames[i], "run" + std::to_string(i + 1));
    for (size_t i = 0; i < 3; ++i) expectSame(slow.frames.at(i), run.frames[2 * i], "slow frame " + std::to_string(i));
    EXPECT_EQ(FilesIn(""), (std::set<std::string>{"player.md2", "run.md2", "slow.md2", "tris.asc"}));

    const ProcessResult unknown = Run({"--animation", "walk", "-o", "never.md2", kCharacter});
    EXPECT_EQ(unknown.status, 2);
    EXPECT_NE(
        unknown.err.find("has no animation \"walk\" (it has 0 \"stand\", 1 \"run\", 2 \"jump\", 3 \"death1\", 4 \"player\")"),
        std::string::npos)
        << unknown.err;
    EXPECT_FALSE(Exists("never.md2"));
}

// clips.gltf's three clips mapped into their ranges of one model: in each
// range the clip from its first key at 30 frames a second, its last pose held
// (idle is shorter than stand01..40, jump than jump1..6, run longer than
// run1..6); every other frame idle's first pose. Blender evaluated each clip
// at each of its frames (clips_reference.json).
TEST_F(RealSceneExport, MapsEachClipIntoItsRangeAsBlenderEvaluatesIt) {
    const nlohmann::json j = nlohmann::json::parse(std::ifstream(kReal + "clips_reference.json"));
    std::map<std::string, BlenderObject> clips;
    for (const auto& [name, positions] : j.at("clips").items())
        clips[name] = {name, "", {}, positions.get<std::vector<std::vector<double>>>(), {}};
    const ProcessResult r = Run({"-q", "--map", "idle=stand01-stand40", "--map", "run=run1-run6", "--map",
                                 "jump=jump1-jump6", "-o", "clips.md2", kReal + "clips.gltf"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(FilesIn(""), (std::set<std::string>{"clips.md2", "clips.textures", "tris.asc"}));
    const Model model = Written("clips.md2");
    ASSERT_EQ(model.frames.size(), 198u);

    std::vector<BlenderVertex> idle;
    for (size_t i = 0; i < clips["idle"].positions.at(0).size() / 3; ++i) idle.push_back({&clips["idle"], i});
    std::vector<size_t> match;
    ASSERT_TRUE(Correspond(model.frames[0], idle, match));
    const struct {
        const char* clip;
        size_t first, count;
    } kRanges[] = {{"idle", 0, 40}, {"run", 40, 6}, {"jump", 66, 6}};
    for (size_t f = 0; f < model.frames.size() && !HasFailure(); ++f) {
        const BlenderObject* clip = &clips["idle"];
        size_t at = 0;
        for (const auto& range : kRanges)
            if (f >= range.first && f < range.first + range.count) {
                clip = &clips[range.clip];
                at = std::min(f - range.first, clip->positions.size() - 1);
            }
        for (size_t v = 0, wrong = 0; v < match.size(); ++v) {
            const Vec3 expected = BlenderVertex{clip, idle[match[v]].index}.At(at);
            if (WithinOneStep(expected, model.frames[f], v) || ++wrong > 3) continue;
            ADD_FAILURE() << "model frame " << f << ", vertex " << v << ": Blender's " << clip->name << " frame "
                          << at << " " << testing::PrintToString(expected) << ", decoded "
                          << testing::PrintToString(model.frames[f].vertices[v]);
        }
    }

    // Stretched, each clip's last key falls on its range's last frame.
    ASSERT_EQ(Run({"-q", "--fit-clip", "--map", "run=run1-run6", "--map", "jump=jump1-jump6", "-o", "fit.md2",
                   kReal + "clips.gltf"})
                  .status,
              0);
    const Model fit = Written("fit.md2");
    ASSERT_EQ(fit.frames.size(), 198u);
    for (const auto& [clip, last] : {std::pair<const char*, size_t>{"run", 45}, {"jump", 71}})
        for (size_t v = 0; v < match.size(); ++v)
            EXPECT_TRUE(WithinOneStep(BlenderVertex{&clips[clip], idle[match[v]].index}.At(clips[clip].positions.size() - 1),
                                      fit.frames[last], v))
                << clip << " vertex " << v;
}

// Each --select adds a shell pattern.
TEST_F(RealSceneExport, ListsTheChosenNodesAndWritesNoModel) {
    const ProcessResult r = Run({"--list-nodes", "--select", "Crate", "--select", "Bl?b", "--texture-cache", "cache",
                                 kReal + "motion.fbx"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "");
    for (const std::string& line : {
             "Scene file \"" + kReal + "motion.fbx\" (Autodesk FBX Importer)\n",
             std::string("Animation \"Scene\": ticks 0 to 12 at 30 a second\n"),
             std::string("      Crate [mesh, 8 vertices, 12 faces] - exported\n"),
             "          material \"Wood\", texture \"cache/grain.tga\" (from \"" + kReal +
                 "grain.png\"; found as named; PNG image, which the exporter does not read)\n",
             std::string("    Body [mesh, 22 vertices, 40 faces, skinned to 2 bones] - not exported: not selected\n"),
             std::string("    Blob [mesh, 26 vertices, 48 faces, 2 morph targets] - exported\n"),
             std::string("      Hips [bone]\n"),
         })
        EXPECT_NE(r.out.find(line), std::string::npos) << line << "in:\n" << r.out;
    // The listing converts what an export would, and writes nothing else.
    EXPECT_EQ(FilesIn("cache"), kConvertedPictures);
    EXPECT_EQ(FilesIn(""), std::set<std::string>{"cache"});
}

// A 1024 x 512 texture tiled twice across: 2048 x 512 pixels of page, which
// md2export shrinks to the largest size the page holds unless told not to.
TEST_F(RealSceneExport, ShrinksTexturesThePageCannotHoldOrSaysWhy) {
    vorn_test::WriteFile(Path("big.tga"), vorn_test::TgaFile(1024, 512, 24, 0, 0, std::vector<uint8_t>(3 * 1024 * 512, 90)));
    std::ofstream(Path("tiled.mtl")) << "newmtl Big\nmap_Kd big.tga\n";
    std::ofstream(Path("tiled.obj")) << "mtllib tiled.mtl\no Wall\nv 0 0 0\nv 1 0 0\nv 1 1 0\nvt 0 0\nvt 2 0\nvt 2 1\n"
                                        "usemtl Big\nf 1/1 2/2 3/3\n";
    const struct {
        Args options;
        int status;
        std::string message;
        int skinWidth, skinHeight;
    } cases[] = {
        {{}, 0, "note: texture " + Path("big.tga") + ": 1024 x 512 scaled to 240 x 120 to fit the 480 x 480 skin page\n", 480, 120},
        {{"--max-texture", "100"}, 0, "note: texture " + Path("big.tga") + ": 1024 x 512 scaled to 100 x 50 (--max-texture 100)\n", 200, 50},
        {{"--no-fit"}, 1, "detail: texture " + Path("big.tga") + " (1024 x 512): its faces use 2 x 1 of it, 2048 x 512 pixels, "
                            "more than the 480 x 480 skin page by 1568 x 32\n", 0, 0},
    };
    for (const auto& c : cases) {
        Args args = c.options;
        args.insert(args.end(), {"-o", "tiled.md2", "tiled.obj"});
        std::filesystem::remove(Path("tiled.md2"));
        const ProcessResult r = Run(args);
        EXPECT_EQ(r.status, c.status) << r.err;
        EXPECT_NE(r.err.find(c.message), std::string::npos) << r.err;
        if (c.status != 0) continue;
        Written("tiled.md2");
        const std::vector<uint8_t> bytes = testing_files::ReadBytes(Path("tiled.md2"));
        const md2check::Md2Header h = md2check::CheckMd2Model(bytes.data(), bytes.size()).header;
        EXPECT_EQ(h.skinWidth, c.skinWidth);
        EXPECT_EQ(h.skinHeight, c.skinHeight);
    }
    const ProcessResult none = Run({"--select", "Nothing*", kReal + "crate.obj"});
    EXPECT_EQ(none.status, 1);
    EXPECT_NE(none.err.find("detail: --select matched no mesh node (they are Crate, Swatches)\n"), std::string::npos) << none.err;
}

// The library walks a COLLADA file's nodes down to a stack overflow; the run
// ends with one line naming the file, and nothing on standard output.
TEST_F(RealSceneExport, AFaultInsideTheLibraryEndsTheRunWithOneLine) {
    std::ofstream dae(Path("deep.dae"));
    dae << "<?xml version=\"1.0\"?><COLLADA xmlns=\"http://www.collada.org/2005/11/COLLADASchema\" version=\"1.4.1\">"
           "<library_visual_scenes><visual_scene id=\"S\">";
    for (int i = 0; i < 100000; ++i) dae << "<node>";
    for (int i = 0; i < 100000; ++i) dae << "</node>";
    dae << "</visual_scene></library_visual_scenes><scene><instance_visual_scene url=\"#S\"/></scene></COLLADA>";
    dae.close();
    const ProcessResult r = Run({"--list-nodes", "deep.dae"});
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, "md2export: Cannot load scene file \"deep.dae\": the asset-import library failed on it (a fault inside the library)\n");
}

}  // namespace
