// The model checker, which the other model tests take as their oracle, and
// md2info: sound models pass, each kind of defect is reported where it is,
// and no input, however cut or garbled, is read out of bounds. Models are
// built here byte by byte, apart from the plug-in.
#include "cli/md2_check.h"

#include <gtest/gtest.h>

#include <cctype>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "support/test_files.h"
#if !defined(_WIN32)
#include "support/child_process.h"
#endif

namespace {

using md2check::Md2Report;
using md2check::Severity;
using Bytes = std::vector<uint8_t>;

// Header field positions, as the format lays them out.
enum HeaderSlot { kIdent, kVersion, kSkinWidth, kSkinHeight, kFrameSize, kNumSkins, kNumXyz, kNumSt, kNumTris,
                  kNumGlCmds, kNumFrames, kOfsSkins, kOfsSt, kOfsTris, kOfsFrames, kOfsGlCmds, kOfsEnd };

void PutI32(Bytes& b, size_t at, int32_t value) {
    for (int i = 0; i < 4; ++i) b[at + i] = static_cast<uint8_t>(static_cast<uint32_t>(value) >> (8 * i));
}
void PutU16(Bytes& b, size_t at, uint16_t value) {
    b[at] = static_cast<uint8_t>(value);
    b[at + 1] = static_cast<uint8_t>(value >> 8);
}
void PutF32(Bytes& b, size_t at, float value) {
    uint32_t bits;
    std::memcpy(&bits, &value, 4);
    PutI32(b, at, static_cast<int32_t>(bits));
}
int32_t Field(const Bytes& b, HeaderSlot slot) {
    uint32_t v = 0;
    for (int i = 0; i < 4; ++i) v |= static_cast<uint32_t>(b[4 * slot + i]) << (8 * i);
    return static_cast<int32_t>(v);
}
void SetField(Bytes& b, HeaderSlot slot, int32_t value) { PutI32(b, 4 * slot, value); }

// A model's counts; its skin is 64 pixels wide.
struct ModelShape {
    int32_t vertices = 4, triangles = 2, texCoords = 6, frames = 2, skins = 1, skinHeight = 32;
    size_t trailer = 0;  // bytes after ofs_end
};

// Vertex bytes and frame boxes of the builder's frames.
uint8_t VertexByte(int32_t frame, int32_t vertex, int axis) {
    return static_cast<uint8_t>((vertex * 37 + axis * 11 + frame * 5) % 251);
}
float FrameScale(int32_t frame, int axis) { return 0.5f * static_cast<float>(axis + 1) + static_cast<float>(frame); }
float FrameTranslate(int32_t frame, int axis) { return -10.0f + static_cast<float>(axis) - static_cast<float>(frame); }

// A sound model: header, skins, st, triangles, frames, one fan per triangle
// and the closing 0, in that order, then the trailer.
Bytes BuildModel(const ModelShape& s) {
    const int32_t frameSize = 40 + 4 * s.vertices, glWords = 10 * s.triangles + 1, ofsSt = 68 + 64 * s.skins;
    const int32_t ofsTris = ofsSt + 4 * s.texCoords, ofsFrames = ofsTris + 12 * s.triangles;
    const int32_t ofsGlCmds = ofsFrames + frameSize * s.frames, ofsEnd = ofsGlCmds + 4 * glWords;
    Bytes b;
    const auto i32 = [&](int32_t v) {
        for (int i = 0; i < 4; ++i) b.push_back(static_cast<uint8_t>(static_cast<uint32_t>(v) >> (8 * i)));
    };
    const auto u16 = [&](int32_t v) { b.insert(b.end(), {static_cast<uint8_t>(v), static_cast<uint8_t>(v >> 8)}); };
    const auto f32 = [&](float v) {
        uint32_t bits;
        std::memcpy(&bits, &v, 4);
        i32(static_cast<int32_t>(bits));
    };
    const auto name = [&](std::string text, size_t field) {
        text.resize(field, '\0');
        b.insert(b.end(), text.begin(), text.end());
    };
    for (int32_t v : {('2' << 24) | ('P' << 16) | ('D' << 8) | 'I', 8, 64, s.skinHeight, frameSize, s.skins, s.vertices,
                      s.texCoords, s.triangles, glWords, s.frames, 68, ofsSt, ofsTris, ofsFrames, ofsGlCmds, ofsEnd})
        i32(v);
    for (int32_t i = 0; i < s.skins; ++i) name("models/robot/skin" + std::to_string(i) + ".pcx", 64);
    for (int32_t i = 0; i < s.texCoords; ++i) {
        u16((i * 7) % 64);
        u16((i * 3) % s.skinHeight);
    }
    for (int32_t t = 0; t < s.triangles; ++t) {
        for (int k = 0; k < 3; ++k) u16((t + k) % s.vertices);
        for (int k = 0; k < 3; ++k) u16((3 * t + k) % s.texCoords);
    }
    for (int32_t f = 0; f < s.frames; ++f) {
        for (int axis = 0; axis < 3; ++axis) f32(FrameScale(f, axis));
        for (int axis = 0; axis < 3; ++axis) f32(FrameTranslate(f, axis));
        name((f < 10 ? "frame0" : "frame") + std::to_string(f), 16);
        for (int32_t v = 0; v < s.vertices; ++v) {
            for (int axis = 0; axis < 3; ++axis) b.push_back(VertexByte(f, v, axis));
            b.push_back(static_cast<uint8_t>(v % 162));  // a light-normal index
        }
    }
    for (int32_t t = 0; t < s.triangles; ++t) {
        i32(-3);
        for (int k = 0; k < 3; ++k) {
            f32(0.25f * static_cast<float>(k));
            f32(0.5f);
            i32((t + k) % s.vertices);
        }
    }
    i32(0);
    // Text the engine never reads, as the exporter's credit line is.
    for (size_t i = 0; i < s.trailer; ++i) b.push_back(static_cast<uint8_t>('a' + i % 26));
    EXPECT_EQ(b.size(), static_cast<size_t>(ofsEnd) + s.trailer);
    return b;
}

Md2Report Check(const Bytes& b) { return md2check::CheckMd2Model(b.data(), b.size()); }

std::string Describe(const Md2Report& report) {
    std::string text;
    for (const md2check::Finding& f : report.findings)
        text += (f.severity == Severity::Error ? "error: " : "warning: ") + f.where + ": " + f.message + "\n";
    return text;
}

bool HasFinding(const Md2Report& report, Severity severity, const std::string& where, const std::string& text) {
    for (const md2check::Finding& f : report.findings)
        if (f.severity == severity && f.where.find(where) != std::string::npos &&
            f.message.find(text) != std::string::npos)
            return true;
    return false;
}

// The findings about the format and id's engine, leaving those of modern
// clients and of the model's look.
std::string FormatFindings(const Md2Report& report) {
    Md2Report format;
    for (const md2check::Finding& f : report.findings)
        if (f.concern == md2check::Concern::Format) format.findings.push_back(f);
    return Describe(format);
}

TEST(Md2Check, SoundModelsPassAndAreDecoded) {
    // No skin and the exporter's trailer and credit line; the tallest skin; and
    // id's limits of vertices, triangles (and texture coordinates) and frames.
    for (const ModelShape& shape : {ModelShape{}, ModelShape{4, 2, 6, 2, 0, 32, 131}, ModelShape{4, 2, 6, 2, 1, 480},
                                    ModelShape{2048, 2, 6, 2}, ModelShape{4, 4096, 2048, 2}, ModelShape{4, 2, 6, 512}}) {
        const Md2Report report = Check(BuildModel(shape));
        EXPECT_EQ(FormatFindings(report), "");
        EXPECT_EQ(report.Passed(), 1);
    }

    Bytes b = BuildModel(ModelShape{});
    PutF32(b, static_cast<size_t>(Field(b, kOfsFrames)), -2.0f);  // frame 0's x scale
    const Md2Report report = Check(b);
    ASSERT_TRUE(report.headerRead);
    EXPECT_EQ(report.skinNames, std::vector<std::string>{"models/robot/skin0.pcx"});
    EXPECT_EQ(report.glFans, 2);
    EXPECT_EQ(report.glTriangles, 2);
    ASSERT_EQ(report.frames.size(), 2u);
    EXPECT_EQ(report.frames[0].name, "frame00");
    // A negative scale swaps the ends of the box.
    EXPECT_FLOAT_EQ(report.frames[0].min[0], VertexByte(0, 3, 0) * -2.0f + FrameTranslate(0, 0));
    const md2check::FrameSummary& frame = report.frames[1];
    EXPECT_EQ(frame.name, "frame01");
    for (int axis = 0; axis < 3; ++axis) {
        EXPECT_EQ(frame.translate[axis], FrameTranslate(1, axis));
        // Frame 1's bytes grow with the vertex: the box runs from vertex 0 to vertex 3.
        EXPECT_FLOAT_EQ(frame.min[axis], VertexByte(1, 0, axis) * FrameScale(1, axis) + FrameTranslate(1, axis));
        EXPECT_FLOAT_EQ(frame.max[axis], VertexByte(1, 3, axis) * FrameScale(1, axis) + FrameTranslate(1, axis));
    }
}

// One defect each: what to change in a sound model (of another shape, if
// given) and what must be reported. Errors fail the model, warnings do not.
struct Defect {
    const char* name;
    std::function<void(Bytes&)> mutate;
    Severity severity;
    const char* where;
    const char* text;
    ModelShape shape = {};
};

std::function<void(Bytes&)> Set(HeaderSlot slot, int32_t value) {
    return [=](Bytes& b) { SetField(b, slot, value); };
}
size_t FrameAt(const Bytes& b, int32_t f) {
    return static_cast<size_t>(Field(b, kOfsFrames) + Field(b, kFrameSize) * f);
}
size_t GlWord(const Bytes& b, int32_t i) { return static_cast<size_t>(Field(b, kOfsGlCmds) + 4 * i); }
size_t Tris(const Bytes& b) { return static_cast<size_t>(Field(b, kOfsTris)); }

const Severity kError = Severity::Error;
const Severity kWarning = Severity::Warning;

const Defect kDefects[] = {
    {"bad ident", [](Bytes& b) { b[3] = '3'; }, kError, "header", "\"IDP3\", not \"IDP2\""},
    {"bad version", Set(kVersion, 7), kError, "header", "version is 7, not 8"},
    {"no vertices", Set(kNumXyz, 0), kError, "header", "num_xyz is 0"},
    {"negative frames", Set(kNumFrames, -5), kError, "header", "num_frames is -5"},
    {"no GL words", Set(kNumGlCmds, 0), kError, "header", "num_glcmds is 0"},
    {"too many skins", Set(kNumSkins, 33), kError, "header", "MAX_MD2SKINS"},
    {"negative skins", Set(kNumSkins, -1), kError, "header", "num_skins is -1"},
    {"skin too tall", Set(kSkinHeight, 481), kError, "header", "skinheight is 481"},
    {"wrong frame size", Set(kFrameSize, 44), kError, "header", "framesize is 44"},
    {"misaligned offset", Set(kOfsTris, 158), kError, "header", "ofs_tris 158 is not 4-byte aligned"},
    {"offset outside the file", Set(kOfsGlCmds, 476), kError, "header", "lies outside the file"},
    {"negative offset", Set(kOfsSt, -4), kError, "header", "ofs_st -4 lies outside the file"},
    {"section in the header", Set(kOfsFrames, 40), kError, "header", "inside the 68-byte header"},
    {"ofs_end past the file", Set(kOfsEnd, 380), kError, "header", "ofs_end 380 lies past the end of the file (376"},
    {"section past ofs_end", Set(kOfsEnd, 292), kError, "GL commands", "past ofs_end"},
    {"sections overlap", Set(kOfsTris, 132), kError, "header", "overlap"},
    {"section past the file", Set(kNumTris, 1000), kError, "triangles", "past the end of the file"},
    {"triangle vertex index", [](Bytes& b) { PutU16(b, Tris(b) + 16, 4); }, kError, "triangle 1",
     "vertex index 4 is not below num_xyz 4"},
    {"triangle st index", [](Bytes& b) { PutU16(b, Tris(b) + 6, 6); }, kError, "triangle 0",
     "texture-coordinate index 6 is not below num_st 6"},
    {"unterminated frame name", [](Bytes& b) { std::memset(&b[FrameAt(b, 1) + 24], 'x', 16); }, kError, "frame 1",
     "not terminated"},
    {"unterminated skin name", [](Bytes& b) { std::memset(&b[68], 'x', 64); }, kError, "skin 0", "not terminated"},
    {"light normal out of range", [](Bytes& b) { b[FrameAt(b, 0) + 51] = 162; }, kError, "frame 0",
     "light-normal index 162"},
    {"scale not finite", [](Bytes& b) { PutF32(b, FrameAt(b, 1) + 4, NAN); }, kError, "frame 1",
     "axis y is not a finite number"},
    {"GL list not ending in 0", [](Bytes& b) { PutI32(b, GlWord(b, 20), 7); }, kError, "GL commands",
     "does not end in 0"},
    {"GL fan too short", [](Bytes& b) { PutI32(b, GlWord(b, 10), -2); }, kError, "word 10", "fan of 2 vertices"},
    {"GL strip past the list", [](Bytes& b) { PutI32(b, GlWord(b, 10), 4); }, kError, "word 10",
     "strip of 4 vertices runs past the end of the list"},
    {"GL vertex index too big", [](Bytes& b) { PutI32(b, GlWord(b, 3), 4); }, kError, "word 0",
     "vertex 0 of the fan has index 4"},
    {"GL vertex index negative", [](Bytes& b) { PutI32(b, GlWord(b, 19), -1); }, kError, "word 10",
     "vertex 2 of the fan has index -1"},
    // One word shorter, and with a last vertex index of 0 where the terminator belongs.
    {"GL terminator swallowed", [](Bytes& b) { SetField(b, kNumGlCmds, 20); PutI32(b, GlWord(b, 19), 0); }, kError,
     "GL commands", "no terminating 0 follows"},
    {"too many vertices", nullptr, kError, "header", "num_xyz is 2049: more vertices than Quake II's 2048 (MAX_VERTS)",
     ModelShape{2049, 2, 6, 2}},
    {"too many triangles", nullptr, kWarning, "header", "num_tris is 4097", ModelShape{4, 4097, 6, 2}},
    {"too many st", nullptr, kWarning, "header", "num_st is 2049", ModelShape{4, 2, 2049, 2}},
    {"too many frames", nullptr, kWarning, "header", "num_frames is 513", ModelShape{4, 2, 6, 513}},
    {"st outside the skin", [](Bytes& b) { PutU16(b, static_cast<size_t>(Field(b, kOfsSt)) + 4, 65); }, kWarning,
     "texture coordinate 1", "(65, 3) lies outside the 64 x 32 skin"},
    {"GL triangles not the table's", Set(kNumTris, 1), kWarning, "GL commands",
     "draw 2 triangles, the triangle table holds 1"},
    {"words after the GL list", [](Bytes& b) { PutI32(b, GlWord(b, 10), 0); }, kWarning, "GL commands",
     "the 10 words after it are never read"},
    {"empty skin", Set(kSkinWidth, 0), kWarning, "header", "skin size 0 x 32"},
    {"GL st not finite", [](Bytes& b) { PutF32(b, GlWord(b, 2), INFINITY); }, kWarning, "word 0",
     "texture coordinate (0, inf)"},
    // What a modern client refuses, and what does not look right in the game.
    {"q2pro st", nullptr, kWarning, "header", "q2pro: its earlier releases refuse", ModelShape{4, 2, 2049, 2}},
    {"q2pro skin width", Set(kSkinWidth, 641), kWarning, "header", "q2pro refuses the model (\"bad skin width\""},
    {"q2pro corners", nullptr, kWarning, "triangles", "q2pro refuses the model (\"too many verts\"",
     ModelShape{2048, 4096, 2048, 2}},
    {"q2pro empty", nullptr, kWarning, "header", "q2pro loads a model with fewer than 3", ModelShape{2, 2, 6, 2}},
    {"no skin name", nullptr, kWarning, "skins", "names no skin", ModelShape{4, 2, 6, 2, 0}},
    {"normals all 0", [](Bytes& b) { for (int32_t f = 0; f < 2; ++f) for (int v = 0; v < 4; ++v) b[FrameAt(b, f) + 43 + 4 * v] = 0; },
     kWarning, "frames", "every light-normal index is 0"},
    {"page too big", Set(kSkinWidth, 300), kWarning, "header", "GL_Upload8: too large", ModelShape{4, 2, 6, 2, 1, 480}},
    {"trailer", nullptr, kWarning, "file", "5 bytes after ofs_end", ModelShape{4, 2, 6, 2, 1, 32, 5}},
};

class Md2Defect : public testing::TestWithParam<Defect> {};

TEST_P(Md2Defect, IsReported) {
    const Defect& defect = GetParam();
    Bytes b = BuildModel(defect.shape);
    if (defect.mutate) defect.mutate(b);
    const Md2Report report = Check(b);
    EXPECT_TRUE(HasFinding(report, defect.severity, defect.where, defect.text)) << Describe(report);
    EXPECT_EQ(report.Passed(), defect.severity == kWarning ? 1 : 0) << Describe(report);
}

INSTANTIATE_TEST_SUITE_P(Each, Md2Defect, testing::ValuesIn(kDefects), [](const testing::TestParamInfo<Defect>& info) {
    std::string name = info.param.name;
    for (char& c : name)
        if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
    return name;
});

TEST(Md2Check, ManyBadIndicesAreSummedUp) {
    Bytes b = BuildModel(ModelShape{4, 10, 30, 2});
    for (size_t t = 0; t < 10; ++t) PutU16(b, Tris(b) + 12 * t, 9);
    const Md2Report report = Check(b);
    EXPECT_EQ(report.ErrorCount(), 4) << Describe(report);
    EXPECT_TRUE(HasFinding(report, kError, "triangles", "7 more triangles with a vertex index out of range"));
}

// Each prefix is an allocation of its own, so that the sanitizer sees any read past it.
TEST(Md2Check, CutOrGarbledModelsAreReadWithinTheirBytes) {
    const Bytes whole = BuildModel(ModelShape{});
    EXPECT_EQ(md2check::CheckMd2Model(nullptr, 0).Passed(), 0);
    for (size_t n = 0; n < whole.size(); ++n) {
        const Md2Report report = Check(Bytes(whole.begin(), whole.begin() + static_cast<std::ptrdiff_t>(n)));
        EXPECT_EQ(report.Passed(), 0) << "prefix of " << n << " bytes";
        EXPECT_EQ(report.headerRead, n >= 68);
    }
    for (const uint8_t garbage : {0x00, 0x7F, 0x80, 0xFF}) {
        for (size_t i = 0; i < whole.size(); ++i) {
            Bytes b = whole;
            b[i] = garbage;
            EXPECT_TRUE(Check(b).headerRead);
        }
    }
}

// A 4 x 2 PCX: a run of three 255s and a 7, then four 5s.
Bytes SkinWithIndex255() {
    Bytes pcx(128, 0);
    pcx[0] = 10, pcx[2] = 1, pcx[3] = 8, pcx[65] = 1, pcx[66] = 4;
    PutU16(pcx, 8, 3), PutU16(pcx, 10, 1);
    for (uint8_t b : {0xC3, 0xFF, 0x07, 0xC4, 0x05}) pcx.push_back(b);
    return pcx;
}

TEST(Md2Check, SkinPicturesWithIndex255AreNamed) {
    Bytes pcx = SkinWithIndex255();
    Md2Report report;
    md2check::CheckSkinPicture(pcx.data(), pcx.size(), "tris.pcx", report);
    EXPECT_TRUE(HasFinding(report, kWarning, "tris.pcx", "3 pixels of palette index 255")) << Describe(report);
    pcx[129] = 0x06;
    report.findings.clear();
    md2check::CheckSkinPicture(pcx.data(), pcx.size(), "tris.pcx", report);
    EXPECT_EQ(Describe(report), "");
    md2check::CheckSkinPicture(pcx.data(), 100, "cut.pcx", report);
    EXPECT_TRUE(HasFinding(report, kWarning, "cut.pcx", "not an 8-bit run-length PCX"));
}

// --- md2info, the command ---------------------------------------------------
// It runs as a process where the test helpers can start one; on Windows the
// checker is tested as the library above.
#if !defined(_WIN32)

TEST(Md2Info, ExitStatusTellsPassedProblemsAndUsage) {
    testing_files::TempDir dir;
    const std::string good = dir / "good.md2", bad = dir / "bad.md2";
    testing_files::WriteBytes(good, BuildModel(ModelShape{}));
    Bytes badBytes = BuildModel(ModelShape{});
    SetField(badBytes, kVersion, 6);
    testing_files::WriteBytes(bad, badBytes);
    const auto run = [](const std::vector<std::string>& arguments) {
        return testing_process::RunProcess(VORN_MD2INFO, arguments);
    };

    const testing_process::ProcessResult full = run({good});
    EXPECT_EQ(full.status, 0) << full.out;
    for (const char* text : {"num_glcmds", "ofs_end", "frame01", "models/robot/skin0.pcx", "passed"})
        EXPECT_NE(full.out.find(text), std::string::npos) << text << "\n" << full.out;
    const testing_process::ProcessResult quietGood = run({"--quiet", good});
    EXPECT_EQ(quietGood.status, 0);
    EXPECT_EQ(quietGood.out, "");
    const testing_process::ProcessResult quietBad = run({"-q", bad});
    EXPECT_EQ(quietBad.status, 1);
    EXPECT_EQ(quietBad.out, bad + ": error: header: version is 6, not 8\n");
    // The skin the model names is looked for beside it by its file name.
    testing_files::WriteBytes(dir / "skin0.pcx", SkinWithIndex255());
    const testing_process::ProcessResult skinned = run({good});
    EXPECT_NE(skinned.out.find(dir / "skin0.pcx" + ": 3 pixels of palette index 255"), std::string::npos)
        << skinned.out;

    // No model, an unknown option, two models, a missing file and a folder.
    for (const std::vector<std::string>& usage : std::vector<std::vector<std::string>>{
             {}, {"--frobnicate", good}, {good, good}, {dir / "no_such_model.md2"}, {dir.path()}})
        EXPECT_EQ(run(usage).status, 2) << testing::PrintToString(usage);
    const testing_process::ProcessResult help = run({"--help"});
    EXPECT_EQ(help.status, 0);
    EXPECT_NE(help.out.find("Exit status"), std::string::npos);
    const testing_process::ProcessResult version = run({"--version"});
    EXPECT_EQ(version.status, 0);
    EXPECT_EQ(version.out.rfind("md2info ", 0), 0u);
}

#endif

}  // namespace
