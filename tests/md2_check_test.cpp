// The model checker and md2info: well-formed models pass, each kind of defect
// is reported where it is, and no input, however cut or garbled, is read out
// of bounds. Models are built here byte by byte, apart from the plug-in.
#include "cli/md2_check.h"

#include <gtest/gtest.h>
#if !defined(_WIN32)
#include <sys/wait.h>
#endif

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

namespace {

using md2check::CheckMd2Model;
using md2check::Md2Report;
using md2check::Severity;
using Bytes = std::vector<uint8_t>;

// Header field positions, as the format lays them out.
enum HeaderSlot {
    kIdent,
    kVersion,
    kSkinWidth,
    kSkinHeight,
    kFrameSize,
    kNumSkins,
    kNumXyz,
    kNumSt,
    kNumTris,
    kNumGlCmds,
    kNumFrames,
    kOfsSkins,
    kOfsSt,
    kOfsTris,
    kOfsFrames,
    kOfsGlCmds,
    kOfsEnd,
};

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
int32_t GetI32(const Bytes& b, size_t at) {
    uint32_t v = 0;
    for (int i = 0; i < 4; ++i) v |= static_cast<uint32_t>(b[at + i]) << (8 * i);
    return static_cast<int32_t>(v);
}
int32_t Field(const Bytes& b, HeaderSlot slot) { return GetI32(b, 4 * slot); }
void SetField(Bytes& b, HeaderSlot slot, int32_t value) { PutI32(b, 4 * slot, value); }

struct ModelShape {
    int32_t vertices = 4;
    int32_t triangles = 2;
    int32_t texCoords = 6;
    int32_t frames = 2;
    int32_t skins = 1;
    int32_t skinWidth = 64;
    int32_t skinHeight = 32;
    size_t trailer = 0;  // bytes after ofs_end
};

// Vertex byte of the builder's frames, so tests know the bounds to expect.
uint8_t VertexByte(int32_t frame, int32_t vertex, int axis) {
    return static_cast<uint8_t>((vertex * 37 + axis * 11 + frame * 5) % 251);
}
float FrameScale(int32_t frame, int axis) {
    return 0.5f * static_cast<float>(axis + 1) + static_cast<float>(frame);
}
float FrameTranslate(int32_t frame, int axis) {
    return -10.0f + static_cast<float>(axis) - static_cast<float>(frame);
}

// A well-formed model: header, skins, st, triangles, frames, one fan per
// triangle and the closing 0, in that order.
Bytes BuildModel(const ModelShape& shape) {
    const int32_t frameSize = 40 + 4 * shape.vertices;
    const int32_t glWords = 10 * shape.triangles + 1;
    const int32_t ofsSkins = 68;
    const int32_t ofsSt = ofsSkins + 64 * shape.skins;
    const int32_t ofsTris = ofsSt + 4 * shape.texCoords;
    const int32_t ofsFrames = ofsTris + 12 * shape.triangles;
    const int32_t ofsGlCmds = ofsFrames + frameSize * shape.frames;
    const int32_t ofsEnd = ofsGlCmds + 4 * glWords;
    Bytes b(static_cast<size_t>(ofsEnd) + shape.trailer, 0);

    const int32_t header[17] = {('2' << 24) | ('P' << 16) | ('D' << 8) | 'I',
                                8,
                                shape.skinWidth,
                                shape.skinHeight,
                                frameSize,
                                shape.skins,
                                shape.vertices,
                                shape.texCoords,
                                shape.triangles,
                                glWords,
                                shape.frames,
                                ofsSkins,
                                ofsSt,
                                ofsTris,
                                ofsFrames,
                                ofsGlCmds,
                                ofsEnd};
    for (int i = 0; i < 17; ++i) PutI32(b, 4 * i, header[i]);

    for (int32_t i = 0; i < shape.skins; ++i)
        std::snprintf(reinterpret_cast<char*>(&b[ofsSkins + 64 * i]), 64, "models/robot/skin%d.pcx", i);
    for (int32_t i = 0; i < shape.texCoords; ++i) {
        PutU16(b, ofsSt + 4 * i, static_cast<uint16_t>((i * 7) % shape.skinWidth));
        PutU16(b, ofsSt + 4 * i + 2, static_cast<uint16_t>((i * 3) % shape.skinHeight));
    }
    auto corner = [&](int32_t tri, int k) { return (tri + k) % shape.vertices; };
    auto stCorner = [&](int32_t tri, int k) { return (3 * tri + k) % shape.texCoords; };
    for (int32_t t = 0; t < shape.triangles; ++t) {
        for (int k = 0; k < 3; ++k) {
            PutU16(b, ofsTris + 12 * t + 2 * k, static_cast<uint16_t>(corner(t, k)));
            PutU16(b, ofsTris + 12 * t + 6 + 2 * k, static_cast<uint16_t>(stCorner(t, k)));
        }
    }
    for (int32_t f = 0; f < shape.frames; ++f) {
        const size_t at = static_cast<size_t>(ofsFrames) + static_cast<size_t>(frameSize) * f;
        for (int axis = 0; axis < 3; ++axis) {
            PutF32(b, at + 4 * axis, FrameScale(f, axis));
            PutF32(b, at + 12 + 4 * axis, FrameTranslate(f, axis));
        }
        std::snprintf(reinterpret_cast<char*>(&b[at + 24]), 16, "frame%02d", f);
        for (int32_t v = 0; v < shape.vertices; ++v) {
            for (int axis = 0; axis < 3; ++axis) b[at + 40 + 4 * v + axis] = VertexByte(f, v, axis);
            b[at + 40 + 4 * v + 3] = static_cast<uint8_t>(v % 162);
        }
    }
    for (int32_t t = 0; t < shape.triangles; ++t) {
        const size_t at = static_cast<size_t>(ofsGlCmds) + 40 * static_cast<size_t>(t);
        PutI32(b, at, -3);
        for (int k = 0; k < 3; ++k) {
            PutF32(b, at + 4 + 12 * k, 0.25f * static_cast<float>(k));
            PutF32(b, at + 8 + 12 * k, 0.5f);
            PutI32(b, at + 12 + 12 * k, corner(t, k));
        }
    }
    // The closing 0 is already there; the trailer is text the engine never reads.
    for (size_t i = 0; i < shape.trailer; ++i) b[ofsEnd + i] = static_cast<uint8_t>('a' + i % 26);
    return b;
}

Md2Report Check(const Bytes& b) { return CheckMd2Model(b.data(), b.size()); }

std::string Describe(const Md2Report& report) {
    std::string text;
    for (const md2check::Finding& f : report.findings)
        text += std::string(f.severity == Severity::Error ? "error: " : "warning: ") + f.where + ": " +
                f.message + "\n";
    return text;
}

bool HasFinding(const Md2Report& report, Severity severity, const std::string& where,
                const std::string& text) {
    for (const md2check::Finding& f : report.findings)
        if (f.severity == severity && f.where.find(where) != std::string::npos &&
            f.message.find(text) != std::string::npos)
            return true;
    return false;
}

TEST(Md2Check, WellFormedModelPassesAndIsDecoded) {
    const ModelShape shape;
    const Bytes b = BuildModel(shape);
    const Md2Report report = Check(b);
    EXPECT_TRUE(report.findings.empty()) << Describe(report);
    EXPECT_EQ(report.Passed(), 1);
    ASSERT_TRUE(report.headerRead);
    EXPECT_EQ(report.fileSize, b.size());
    for (int i = 0; i < 17; ++i)
        EXPECT_EQ(report.header.*md2check::kMd2HeaderFields[i].member, GetI32(b, 4 * i))
            << md2check::kMd2HeaderFields[i].name;
    EXPECT_EQ(md2check::DescribeIdent(report.header.ident), "IDP2");
    ASSERT_EQ(report.skinNames.size(), 1u);
    EXPECT_EQ(report.skinNames[0], "models/robot/skin0.pcx");
    EXPECT_EQ(report.glFans, 2);
    EXPECT_EQ(report.glStrips, 0);
    EXPECT_EQ(report.glTriangles, 2);

    ASSERT_EQ(report.frames.size(), 2u);
    for (int32_t f = 0; f < 2; ++f) {
        const md2check::FrameSummary& frame = report.frames[f];
        EXPECT_EQ(frame.name, "frame0" + std::to_string(f));
        ASSERT_TRUE(frame.hasBounds);
        for (int axis = 0; axis < 3; ++axis) {
            uint8_t low = 255, high = 0;
            for (int32_t v = 0; v < shape.vertices; ++v) {
                low = std::min(low, VertexByte(f, v, axis));
                high = std::max(high, VertexByte(f, v, axis));
            }
            EXPECT_FLOAT_EQ(frame.min[axis], low * FrameScale(f, axis) + FrameTranslate(f, axis));
            EXPECT_FLOAT_EQ(frame.max[axis], high * FrameScale(f, axis) + FrameTranslate(f, axis));
        }
    }
}

TEST(Md2Check, AcceptsBytesAfterOfsEndAndAnEmptySkinList) {
    ModelShape shape;
    shape.trailer = 131;  // the exporter's trailer and credit line
    shape.skins = 0;
    const Md2Report report = Check(BuildModel(shape));
    EXPECT_TRUE(report.findings.empty()) << Describe(report);
}

TEST(Md2Check, NegativeScaleSwapsTheBoundsEnds) {
    Bytes b = BuildModel(ModelShape{});
    PutF32(b, static_cast<size_t>(Field(b, kOfsFrames)), -2.0f);
    const Md2Report report = Check(b);
    ASSERT_FALSE(report.frames.empty());
    EXPECT_LT(report.frames[0].min[0], report.frames[0].max[0]);
}

// One defect each: what to change in a good model and what must be reported.
struct Defect {
    const char* name;
    std::function<void(Bytes&)> mutate;
    Severity severity;
    const char* where;
    const char* text;
};

size_t FrameAt(const Bytes& b, int32_t f) {
    return static_cast<size_t>(Field(b, kOfsFrames) + Field(b, kFrameSize) * f);
}
size_t GlWord(const Bytes& b, int32_t i) { return static_cast<size_t>(Field(b, kOfsGlCmds) + 4 * i); }

const Defect kDefects[] = {
    {"bad ident", [](Bytes& b) { b[3] = '3'; }, Severity::Error, "header", "\"IDP3\", not \"IDP2\""},
    {"bad version", [](Bytes& b) { SetField(b, kVersion, 7); }, Severity::Error, "header",
     "version is 7, not 8"},
    {"no vertices", [](Bytes& b) { SetField(b, kNumXyz, 0); }, Severity::Error, "header", "num_xyz is 0"},
    {"no st", [](Bytes& b) { SetField(b, kNumSt, 0); }, Severity::Error, "header", "num_st is 0"},
    {"no triangles", [](Bytes& b) { SetField(b, kNumTris, 0); }, Severity::Error, "header", "num_tris is 0"},
    {"no frames", [](Bytes& b) { SetField(b, kNumFrames, 0); }, Severity::Error, "header", "num_frames is 0"},
    {"negative frames", [](Bytes& b) { SetField(b, kNumFrames, -5); }, Severity::Error, "header",
     "num_frames is -5"},
    {"no GL words", [](Bytes& b) { SetField(b, kNumGlCmds, 0); }, Severity::Error, "header",
     "num_glcmds is 0"},
    {"too many skins", [](Bytes& b) { SetField(b, kNumSkins, 33); }, Severity::Error, "header",
     "MAX_MD2SKINS"},
    {"negative skins", [](Bytes& b) { SetField(b, kNumSkins, -1); }, Severity::Error, "header",
     "num_skins is -1"},
    {"skin too tall", [](Bytes& b) { SetField(b, kSkinHeight, 481); }, Severity::Error, "header",
     "skinheight is 481"},
    {"wrong frame size", [](Bytes& b) { SetField(b, kFrameSize, 44); }, Severity::Error, "header",
     "framesize is 44"},
    {"misaligned offset", [](Bytes& b) { SetField(b, kOfsTris, Field(b, kOfsTris) + 2); }, Severity::Error,
     "header", "ofs_tris 158 is not 4-byte aligned"},
    {"offset outside the file",
     [](Bytes& b) { SetField(b, kOfsGlCmds, static_cast<int32_t>(b.size()) + 100); }, Severity::Error,
     "header", "lies outside the file"},
    {"negative offset", [](Bytes& b) { SetField(b, kOfsSt, -4); }, Severity::Error, "header",
     "outside the file"},
    {"section in the header", [](Bytes& b) { SetField(b, kOfsFrames, 40); }, Severity::Error, "header",
     "inside the 68-byte header"},
    {"ofs_end past the file", [](Bytes& b) { SetField(b, kOfsEnd, static_cast<int32_t>(b.size()) + 4); },
     Severity::Error, "header", "ofs_end 380 lies past the end of the file (376 bytes)"},
    {"section past ofs_end", [](Bytes& b) { SetField(b, kOfsEnd, Field(b, kOfsGlCmds)); }, Severity::Error,
     "GL commands", "past ofs_end"},
    {"sections overlap", [](Bytes& b) { SetField(b, kOfsTris, Field(b, kOfsSt)); }, Severity::Error, "header",
     "overlap"},
    {"section past the file", [](Bytes& b) { SetField(b, kNumTris, 1000); }, Severity::Error, "triangles",
     "past the end of the file"},
    {"triangle vertex index",
     [](Bytes& b) { PutU16(b, static_cast<size_t>(Field(b, kOfsTris)) + 12 + 4, 4); }, Severity::Error,
     "triangle 1", "vertex index 4 is not below num_xyz 4"},
    {"triangle st index", [](Bytes& b) { PutU16(b, static_cast<size_t>(Field(b, kOfsTris)) + 6, 6); },
     Severity::Error, "triangle 0", "texture-coordinate index 6 is not below num_st 6"},
    {"unterminated frame name", [](Bytes& b) { std::memset(&b[FrameAt(b, 1) + 24], 'x', 16); },
     Severity::Error, "frame 1", "not terminated"},
    {"unterminated skin name", [](Bytes& b) { std::memset(&b[Field(b, kOfsSkins)], 'x', 64); },
     Severity::Error, "skin 0", "not terminated"},
    {"light normal out of range", [](Bytes& b) { b[FrameAt(b, 0) + 40 + 4 * 2 + 3] = 162; }, Severity::Error,
     "frame 0", "light-normal index 162"},
    {"scale not finite", [](Bytes& b) { PutF32(b, FrameAt(b, 1) + 4, NAN); }, Severity::Error, "frame 1",
     "axis y is not a finite number"},
    {"GL list not ending in 0", [](Bytes& b) { PutI32(b, GlWord(b, 20), 7); }, Severity::Error, "GL commands",
     "does not end in 0"},
    {"GL fan too short", [](Bytes& b) { PutI32(b, GlWord(b, 10), -2); }, Severity::Error, "word 10",
     "fan of 2 vertices"},
    {"GL strip past the list", [](Bytes& b) { PutI32(b, GlWord(b, 10), 4); }, Severity::Error, "word 10",
     "strip of 4 vertices runs past the end of the list"},
    {"GL vertex index too big", [](Bytes& b) { PutI32(b, GlWord(b, 3), 4); }, Severity::Error, "word 0",
     "vertex 0 of the fan has index 4"},
    {"GL vertex index negative", [](Bytes& b) { PutI32(b, GlWord(b, 19), -1); }, Severity::Error, "word 10",
     "vertex 2 of the fan has index -1"},
    {"GL terminator swallowed",
     [](Bytes& b) {
         // One word shorter, and with a last vertex index of 0 where the terminator belongs.
         SetField(b, kNumGlCmds, 20);
         PutI32(b, GlWord(b, 19), 0);
     },
     Severity::Error, "GL commands", "no terminating 0 follows"},
};

class Md2Defect : public testing::TestWithParam<Defect> {};

TEST_P(Md2Defect, IsReportedAsAnError) {
    const Defect& defect = GetParam();
    Bytes b = BuildModel(ModelShape{});
    defect.mutate(b);
    const Md2Report report = Check(b);
    EXPECT_TRUE(HasFinding(report, defect.severity, defect.where, defect.text)) << Describe(report);
    EXPECT_EQ(report.Passed(), 0);
}

INSTANTIATE_TEST_SUITE_P(Each, Md2Defect, testing::ValuesIn(kDefects),
                         [](const testing::TestParamInfo<Defect>& info) {
                             std::string name = info.param.name;
                             for (char& c : name)
                                 if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
                             return name;
                         });

TEST(Md2Check, OddButHarmlessModelsPassWithWarnings) {
    struct Oddity {
        std::function<void(Bytes&)> mutate;
        const char* where;
        const char* text;
    };
    const Oddity oddities[] = {
        {[](Bytes& b) { PutU16(b, static_cast<size_t>(Field(b, kOfsSt)) + 4, 65); }, "texture coordinate 1",
         "(65, 3) lies outside the 64 x 32 skin"},
        {[](Bytes& b) { SetField(b, kNumTris, 1); }, "GL commands",
         "draw 2 triangles, the triangle table holds 1"},
        {[](Bytes& b) { PutI32(b, GlWord(b, 10), 0); }, "GL commands",
         "the 10 words after it are never read"},
        {[](Bytes& b) { SetField(b, kSkinWidth, 0); }, "header", "skin size 0 x 32"},
        {[](Bytes& b) { PutF32(b, GlWord(b, 2), INFINITY); }, "word 0", "texture coordinate (0, inf)"},
    };
    for (const Oddity& oddity : oddities) {
        Bytes b = BuildModel(ModelShape{});
        oddity.mutate(b);
        const Md2Report report = Check(b);
        EXPECT_TRUE(HasFinding(report, Severity::Warning, oddity.where, oddity.text)) << Describe(report);
        EXPECT_EQ(report.Passed(), 1) << Describe(report);
    }
}

TEST(Md2Check, SkinHeightOf480IsTheLastOneAccepted) {
    ModelShape shape;
    shape.skinHeight = 480;
    EXPECT_TRUE(Check(BuildModel(shape)).findings.empty());
}

// Counts at and beyond Quake II's limits, with data to match.
TEST(Md2Check, LimitsOfTheEngine) {
    struct Case {
        ModelShape shape;
        Severity severity;
        const char* text;  // null: no finding at all
    };
    auto shape = [](int32_t vertices, int32_t triangles, int32_t texCoords, int32_t frames) {
        ModelShape s;
        s.vertices = vertices;
        s.triangles = triangles;
        s.texCoords = texCoords;
        s.frames = frames;
        return s;
    };
    const Case cases[] = {
        {shape(2048, 2, 6, 2), Severity::Error, nullptr},
        {shape(2049, 2, 6, 2), Severity::Error,
         "num_xyz is 2049: more vertices than Quake II's 2048 (MAX_VERTS)"},
        {shape(4, 4096, 2048, 2), Severity::Error, nullptr},
        {shape(4, 4097, 6, 2), Severity::Warning, "num_tris is 4097"},
        {shape(4, 2, 2049, 2), Severity::Warning, "num_st is 2049"},
        {shape(4, 2, 6, 512), Severity::Error, nullptr},
        {shape(4, 2, 6, 513), Severity::Warning, "num_frames is 513"},
    };
    for (const Case& c : cases) {
        const Md2Report report = Check(BuildModel(c.shape));
        if (!c.text) {
            EXPECT_TRUE(report.findings.empty()) << Describe(report);
            continue;
        }
        ASSERT_EQ(report.findings.size(), 1u) << Describe(report);
        EXPECT_TRUE(HasFinding(report, c.severity, "header", c.text)) << Describe(report);
        EXPECT_EQ(report.Passed(), c.severity == Severity::Warning ? 1 : 0);
    }
}

TEST(Md2Check, ManyBadIndicesAreSummedUp) {
    ModelShape shape;
    shape.triangles = 10;
    shape.texCoords = 30;
    Bytes b = BuildModel(shape);
    for (int32_t t = 0; t < 10; ++t) PutU16(b, static_cast<size_t>(Field(b, kOfsTris) + 12 * t), 9);
    const Md2Report report = Check(b);
    EXPECT_EQ(report.ErrorCount(), 4) << Describe(report);
    EXPECT_TRUE(HasFinding(report, Severity::Error, "triangles",
                           "7 more triangles with a vertex index out of range"));
}

TEST(Md2Check, EveryTruncatedPrefixFailsWithoutReadingPastIt) {
    const Bytes whole = BuildModel(ModelShape{});
    EXPECT_EQ(CheckMd2Model(nullptr, 0).Passed(), 0);
    for (size_t n = 0; n < whole.size(); ++n) {
        // An allocation of exactly n bytes, so that the sanitizer sees any read past it.
        const Bytes prefix(whole.begin(), whole.begin() + static_cast<std::ptrdiff_t>(n));
        const Md2Report report = Check(prefix);
        EXPECT_EQ(report.Passed(), 0) << "prefix of " << n << " bytes";
        EXPECT_EQ(report.headerRead, n >= 68);
    }
}

TEST(Md2Check, EveryGarbledByteIsSurvived) {
    const Bytes whole = BuildModel(ModelShape{});
    for (const uint8_t garbage : {uint8_t{0x00}, uint8_t{0x7F}, uint8_t{0x80}, uint8_t{0xFF}}) {
        for (size_t i = 0; i < whole.size(); ++i) {
            Bytes b = whole;
            b[i] = garbage;
            const Md2Report report = Check(b);
            EXPECT_TRUE(report.headerRead);
        }
    }
}

// --- md2info, the command ---------------------------------------------------
// Run through the POSIX shell (its quoting and wait status); on Windows the
// checker is tested as the library above.
#if !defined(_WIN32)

struct CommandResult {
    int status;
    std::string output;
};

CommandResult RunMd2Info(const std::string& arguments) {
    const std::string command = std::string("'") + VORN_MD2INFO + "' " + arguments + " 2>&1";
    CommandResult result{-1, ""};
    std::FILE* pipe = popen(command.c_str(), "r");
    if (!pipe) return result;
    char buffer[4096];
    size_t got;
    while ((got = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) result.output.append(buffer, got);
    const int status = pclose(pipe);
    result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return result;
}

std::string WriteTemp(const std::string& name, const Bytes& bytes) {
    const std::string path = testing::TempDir() + name;
    std::FILE* file = std::fopen(path.c_str(), "wb");
    EXPECT_NE(file, nullptr);
    if (file) {
        std::fwrite(bytes.data(), 1, bytes.size(), file);
        std::fclose(file);
    }
    return path;
}

TEST(Md2Info, ExitStatusTellsPassedProblemsAndUsage) {
    const std::string good = WriteTemp("md2info_good.md2", BuildModel(ModelShape{}));
    Bytes badBytes = BuildModel(ModelShape{});
    SetField(badBytes, kVersion, 6);
    const std::string bad = WriteTemp("md2info_bad.md2", badBytes);

    const CommandResult full = RunMd2Info("'" + good + "'");
    EXPECT_EQ(full.status, 0) << full.output;
    for (const char* text : {"num_glcmds", "ofs_end", "frame01", "models/robot/skin0.pcx", "passed"})
        EXPECT_NE(full.output.find(text), std::string::npos) << text << "\n" << full.output;

    const CommandResult quietGood = RunMd2Info("--quiet '" + good + "'");
    EXPECT_EQ(quietGood.status, 0);
    EXPECT_EQ(quietGood.output, "");

    const CommandResult quietBad = RunMd2Info("-q '" + bad + "'");
    EXPECT_EQ(quietBad.status, 1);
    EXPECT_EQ(quietBad.output, bad + ": error: header: version is 6, not 8\n");

    EXPECT_EQ(RunMd2Info("").status, 2);
    EXPECT_EQ(RunMd2Info("--frobnicate '" + good + "'").status, 2);
    EXPECT_EQ(RunMd2Info("'" + good + "' '" + good + "'").status, 2);
    EXPECT_EQ(RunMd2Info("'" + testing::TempDir() + "no_such_model.md2'").status, 2);
    EXPECT_EQ(RunMd2Info("'" + testing::TempDir() + "'").status, 2);  // a folder cannot be read

    const CommandResult help = RunMd2Info("--help");
    EXPECT_EQ(help.status, 0);
    EXPECT_NE(help.output.find("Exit status"), std::string::npos);
    const CommandResult version = RunMd2Info("--version");
    EXPECT_EQ(version.status, 0);
    EXPECT_EQ(version.output.rfind("md2info ", 0), 0u);
}

#endif

}  // namespace
