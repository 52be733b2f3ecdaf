#include "cli/md2_check.h"

#include <cerrno>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <unordered_set>

namespace md2check {

const Md2HeaderField kMd2HeaderFields[17] = {
    {"ident", &Md2Header::ident},          {"version", &Md2Header::version},
    {"skinwidth", &Md2Header::skinWidth},  {"skinheight", &Md2Header::skinHeight},
    {"framesize", &Md2Header::frameSize},  {"num_skins", &Md2Header::numSkins},
    {"num_xyz", &Md2Header::numXyz},       {"num_st", &Md2Header::numSt},
    {"num_tris", &Md2Header::numTris},     {"num_glcmds", &Md2Header::numGlCmds},
    {"num_frames", &Md2Header::numFrames}, {"ofs_skins", &Md2Header::ofsSkins},
    {"ofs_st", &Md2Header::ofsSt},         {"ofs_tris", &Md2Header::ofsTris},
    {"ofs_frames", &Md2Header::ofsFrames}, {"ofs_glcmds", &Md2Header::ofsGlCmds},
    {"ofs_end", &Md2Header::ofsEnd},
};

namespace {

constexpr int32_t kIdentIdp2 = ('2' << 24) | ('P' << 16) | ('D' << 8) | 'I';
// Offsets and sizes are computed wide enough that no header value overflows them.
using Offset = long long;

// Far above the largest model the format's int offsets and the engine's
// limits allow in practice; keeps a device file from being read forever.
constexpr std::size_t kMaxModelFileSize = std::size_t{256} << 20;
constexpr int kListedRepeats = 3;  // findings of one kind listed before they are summed up

// MinGW's C library formats like C99 only under the GNU archetype's name.
#if defined(__MINGW32__)
#define MD2_CHECK_PRINTF_FORMAT __MINGW_PRINTF_FORMAT
#else
#define MD2_CHECK_PRINTF_FORMAT printf
#endif

__attribute__((format(MD2_CHECK_PRINTF_FORMAT, 1, 2))) std::string Format(const char* format, ...) {
    char buffer[512];
    va_list args;
    va_start(args, format);
    std::vsnprintf(buffer, sizeof buffer, format, args);
    va_end(args);
    return buffer;
}

// Every read of the file goes through here and is checked against its size.
class ByteReader {
public:
    ByteReader(const uint8_t* data, std::size_t size) : data_(data), size_(static_cast<Offset>(size)) {}

    bool Holds(Offset offset, Offset length) const {
        return offset >= 0 && length >= 0 && offset <= size_ && length <= size_ - offset;
    }
    bool ReadU8(Offset offset, uint8_t& value) const {
        if (!Holds(offset, 1)) return false;
        value = data_[offset];
        return true;
    }
    bool ReadU16(Offset offset, uint16_t& value) const {
        if (!Holds(offset, 2)) return false;
        value = static_cast<uint16_t>(data_[offset] | (data_[offset + 1] << 8));
        return true;
    }
    bool ReadI16(Offset offset, int16_t& value) const {
        uint16_t bits;
        if (!ReadU16(offset, bits)) return false;
        value = static_cast<int16_t>(bits);
        return true;
    }
    bool ReadU32(Offset offset, uint32_t& value) const {
        if (!Holds(offset, 4)) return false;
        value = static_cast<uint32_t>(data_[offset]) | static_cast<uint32_t>(data_[offset + 1]) << 8 |
                static_cast<uint32_t>(data_[offset + 2]) << 16 |
                static_cast<uint32_t>(data_[offset + 3]) << 24;
        return true;
    }
    bool ReadI32(Offset offset, int32_t& value) const {
        uint32_t bits;
        if (!ReadU32(offset, bits)) return false;
        value = static_cast<int32_t>(bits);
        return true;
    }
    bool ReadF32(Offset offset, float& value) const {
        uint32_t bits;
        if (!ReadU32(offset, bits)) return false;
        std::memcpy(&value, &bits, sizeof value);
        return true;
    }
    // The text of a fixed-size name field up to its zero; terminated tells
    // whether a zero was found inside the field.
    std::string ReadName(Offset offset, int32_t fieldSize, bool& terminated) const {
        std::string name;
        terminated = false;
        uint8_t c;
        for (int32_t i = 0; i < fieldSize && ReadU8(offset + i, c); ++i) {
            if (c == 0) {
                terminated = true;
                break;
            }
            name.push_back(static_cast<char>(c));
        }
        return name;
    }

private:
    const uint8_t* data_;
    Offset size_;
};

// Lists the first few findings of one kind and sums up the rest, so a file
// with a million bad indices still gives a readable report.
class RepeatedFinding {
public:
    RepeatedFinding(Md2Report& report, Severity severity, std::string summaryWhere, std::string summaryWhat)
        : report_(report),
          severity_(severity),
          summaryWhere_(std::move(summaryWhere)),
          summaryWhat_(std::move(summaryWhat)) {}

    void Add(std::string where, std::string message) {
        if (count_++ < kListedRepeats)
            report_.findings.push_back({severity_, std::move(where), std::move(message)});
    }
    void Finish() {
        if (count_ > kListedRepeats)
            report_.findings.push_back(
                {severity_, summaryWhere_,
                 Format("%lld more %s", count_ - kListedRepeats, summaryWhat_.c_str())});
    }

private:
    Md2Report& report_;
    Severity severity_;
    std::string summaryWhere_;
    std::string summaryWhat_;
    long long count_ = 0;
};

// A count of the header, what it counts, and the bound the engine puts on it.
struct CountRule {
    const char* field;
    int32_t Md2Header::*member;
    const char* what;
    int32_t limit;
    Severity overLimit;
    const char* limitName;
    const char* client;  // what a modern client does with more, or null
};

// The loaders refuse a count of 0 and more than MAX_VERTS vertices; the other
// bounds are the format's customary limits, which they do not enforce.
constexpr CountRule kCountRules[] = {
    {"num_xyz", &Md2Header::numXyz, "vertices", kMaxVerts, Severity::Error, "MAX_VERTS", nullptr},
    {"num_st", &Md2Header::numSt, "texture coordinates", kMaxTexCoords, Severity::Warning, "MAX_VERTS",
     "q2pro: its earlier releases refuse the model (\"too many st\", num_st held to 2048)"},
    {"num_tris", &Md2Header::numTris, "triangles", kMaxTriangles, Severity::Warning, "MAX_TRIANGLES",
     "q2pro refuses the model (\"too many tris\")"},
    {"num_frames", &Md2Header::numFrames, "frames", kMaxFrames, Severity::Warning, "MAX_FRAMES",
     "q2pro refuses the model (\"too many frames\")"},
};

// The sections the header points at. An element size of 0 stands for the
// header's own framesize.
struct SectionRule {
    const char* name;
    const char* offsetField;
    int32_t Md2Header::*offset;
    int32_t Md2Header::*count;
    int32_t elementSize;
};

constexpr SectionRule kSectionRules[] = {
    {"skins", "ofs_skins", &Md2Header::ofsSkins, &Md2Header::numSkins, kSkinNameSize},
    {"texture coordinates", "ofs_st", &Md2Header::ofsSt, &Md2Header::numSt, 4},
    {"triangles", "ofs_tris", &Md2Header::ofsTris, &Md2Header::numTris, 12},
    {"frames", "ofs_frames", &Md2Header::ofsFrames, &Md2Header::numFrames, 0},
    {"GL commands", "ofs_glcmds", &Md2Header::ofsGlCmds, &Md2Header::numGlCmds, 4},
};
constexpr int kSectionCount = sizeof kSectionRules / sizeof kSectionRules[0];
enum SectionIndex { kSkins, kTexCoords, kTriangles, kFrames, kGlCommands };

struct SectionExtent {
    Offset begin = 0;
    Offset end = 0;
    bool readable = false;  // non-empty and wholly inside the file: its contents are checked
};

class Checker {
public:
    Checker(const uint8_t* data, std::size_t size, Md2Report& report)
        : in_(data, size), report_(report), fileSize_(static_cast<Offset>(size)) {}

    void Run() {
        report_.fileSize = static_cast<std::size_t>(fileSize_);
        if (!ReadHeader()) return;
        if (header().ident != kIdentIdp2) {
            Error(
                "header",
                Format("ident is \"%s\", not \"IDP2\": this is not a Quake II model; nothing more is checked",
                       DescribeIdent(header().ident).c_str()));
            return;
        }
        CheckHeaderValues();
        LocateSections();
        CheckSkins();
        CheckTexCoords();
        CheckTriangles();
        CheckFrames();
        CheckGlCommands();
        CheckClients();
        CheckLooks();
    }

private:
    const Md2Header& header() const { return report_.header; }

    void Error(std::string where, std::string message) {
        report_.findings.push_back({Severity::Error, std::move(where), std::move(message)});
    }
    void Warn(std::string where, std::string message, Concern concern = Concern::Format) {
        report_.findings.push_back({Severity::Warning, std::move(where), std::move(message), concern});
    }

    // What the modern clients' loaders refuse or drop beyond id's checks.
    void CheckClients() {
        const Md2Header& h = header();
        if (h.skinWidth > kQ2proMaxSkinWidth)
            Warn("header", Format("skinwidth is %d: q2pro refuses the model (\"bad skin width\", at most %d)",
                                  h.skinWidth, kQ2proMaxSkinWidth), Concern::Client);
        if ((h.numXyz > 0 && h.numXyz < 3) || (h.numSt > 0 && h.numSt < 3))
            Warn("header", Format("num_xyz %d, num_st %d: q2pro loads a model with fewer than 3 of either as "
                                  "empty and draws nothing", h.numXyz, h.numSt), Concern::Client);
        if (corners_.size() > static_cast<std::size_t>(kQ2proMaxVertices))
            Warn("triangles", Format("%zu distinct corners (vertex, s, t): q2pro refuses the model (\"too many "
                                     "verts\", at most %d)", corners_.size(), kQ2proMaxVertices), Concern::Client);
    }

    // What loads but does not look right in the game.
    void CheckLooks() {
        const Md2Header& h = header();
        if (h.numSkins == 0)
            Warn("skins", "the model names no skin: the engines register skins only from the header, so it is "
                          "drawn with the checkerboard or not at all unless the game sets one", Concern::Look);
        if (framesRead_ > 0 && !anyNormal_)
            Warn("frames", "every light-normal index is 0: the whole model is lit as one surface and shells "
                           "shift it instead of glowing around it", Concern::Look);
        if (static_cast<long long>(h.skinWidth) * h.skinHeight > kMaxUploadPixels)
            Warn("header", Format("the skin is %d x %d, over %lld pixels: id's GL renderer stops with "
                                  "\"GL_Upload8: too large\" when it uploads an 8-bit skin this size",
                                  h.skinWidth, h.skinHeight, static_cast<long long>(kMaxUploadPixels)),
                 Concern::Look);
        if (h.ofsEnd >= kHeaderSize && h.ofsEnd < fileSize_)
            Warn("file", Format("%lld bytes after ofs_end: loaders that hold ofs_end to the file's length "
                                "(three.js's) refuse the file", fileSize_ - h.ofsEnd), Concern::Look);
    }

    bool ReadHeader() {
        if (!in_.Holds(0, kHeaderSize)) {
            Error("file", Format("%lld bytes long, shorter than the %d-byte header", fileSize_, kHeaderSize));
            return false;
        }
        for (int i = 0; i < 17; ++i) in_.ReadI32(4 * i, report_.header.*kMd2HeaderFields[i].member);
        report_.headerRead = true;
        return true;
    }

    void CheckHeaderValues() {
        const Md2Header& h = header();
        if (h.version != kMd2Version)
            Error("header", Format("version is %d, not %d", h.version, kMd2Version));

        for (const CountRule& rule : kCountRules) {
            const int32_t value = h.*rule.member;
            if (value <= 0) {
                Error("header", Format("%s is %d: a model needs %s", rule.field, value, rule.what));
            } else if (value > rule.limit) {
                const bool refused = rule.overLimit == Severity::Error;
                report_.findings.push_back(
                    {rule.overLimit, "header",
                     Format("%s is %d: more %s than Quake II's %d (%s)%s%s", rule.field, value, rule.what,
                            rule.limit, rule.limitName, refused ? "; the engine refuses the model" : "",
                            rule.client ? (std::string("; ") + rule.client).c_str() : ""),
                     rule.client ? Concern::Client : Concern::Format});
            }
        }
        if (h.numSkins < 0) Error("header", Format("num_skins is %d, below 0", h.numSkins));
        if (h.numSkins > kMaxSkins)
            Error(
                "header",
                Format("num_skins is %d: the engine's skin table holds %d (MAX_MD2SKINS) and would overflow",
                       h.numSkins, kMaxSkins));
        if (h.numGlCmds <= 0)
            Error("header", Format("num_glcmds is %d: the GL command list holds at least its terminating 0",
                                   h.numGlCmds));

        if (h.skinHeight > kMaxSkinHeight)
            Error("header",
                  Format("skinheight is %d: the engine refuses skins taller than %d (MAX_LBM_HEIGHT)",
                         h.skinHeight, kMaxSkinHeight));
        if (h.skinWidth <= 0 || h.skinHeight <= 0)
            Warn("header", Format("the skin size %d x %d is empty; texture coordinates count skin pixels",
                                  h.skinWidth, h.skinHeight));

        const Offset expectedFrameSize = kFrameHeaderSize + 4 * static_cast<Offset>(h.numXyz);
        if (h.frameSize != expectedFrameSize)
            Error("header", Format("framesize is %d, but %d vertices make frames of 40 + 4 * %d = %lld bytes",
                                   h.frameSize, h.numXyz, h.numXyz, expectedFrameSize));
    }

    void LocateSections() {
        const Md2Header& h = header();
        if (h.ofsEnd % 4 != 0) Error("header", Format("ofs_end %d is not 4-byte aligned", h.ofsEnd));
        const bool ofsEndInFile = h.ofsEnd >= kHeaderSize && h.ofsEnd <= fileSize_;
        if (h.ofsEnd < kHeaderSize)
            Error("header", Format("ofs_end %d lies inside the %d-byte header", h.ofsEnd, kHeaderSize));
        else if (h.ofsEnd > fileSize_)
            Error("header",
                  Format("ofs_end %d lies past the end of the file (%lld bytes)", h.ofsEnd, fileSize_));

        for (int i = 0; i < kSectionCount; ++i) {
            const SectionRule& rule = kSectionRules[i];
            SectionExtent& extent = sections_[i];
            const Offset offset = h.*rule.offset;
            const Offset count = h.*rule.count;
            const Offset elementSize = rule.elementSize ? rule.elementSize : h.frameSize;
            if (offset % 4 != 0)
                Error("header", Format("%s %lld is not 4-byte aligned", rule.offsetField, offset));
            if (offset < 0 || offset > fileSize_) {
                Error("header", Format("%s %lld lies outside the file (%lld bytes)", rule.offsetField, offset,
                                       fileSize_));
                continue;
            }
            if (count <= 0 || elementSize <= 0) continue;  // empty, or its count is already reported
            extent.begin = offset;
            extent.end = offset + count * elementSize;
            if (offset < kHeaderSize) {
                Error("header", Format("%s %lld puts the %s inside the %d-byte header", rule.offsetField,
                                       offset, rule.name, kHeaderSize));
                continue;
            }
            if (extent.end > fileSize_) {
                Error(rule.name, Format("%lld bytes from %lld run past the end of the file (%lld bytes)",
                                        extent.end - offset, offset, fileSize_));
                continue;
            }
            // The engine loads the first ofs_end bytes and finds the sections in them.
            if (ofsEndInFile && extent.end > h.ofsEnd)
                Error(rule.name, Format("end at %lld, past ofs_end %d, so the engine does not load them all",
                                        extent.end, h.ofsEnd));
            extent.readable = true;
        }

        for (int i = 0; i < kSectionCount; ++i) {
            for (int j = i + 1; j < kSectionCount; ++j) {
                const SectionExtent& a = sections_[i];
                const SectionExtent& b = sections_[j];
                if (a.readable && b.readable && a.begin < b.end && b.begin < a.end)
                    Error("header",
                          Format("the %s (%lld..%lld) and the %s (%lld..%lld) overlap", kSectionRules[i].name,
                                 a.begin, a.end, kSectionRules[j].name, b.begin, b.end));
            }
        }
    }

    void CheckSkins() {
        const SectionExtent& section = sections_[kSkins];
        if (!section.readable) return;
        for (int32_t i = 0; i < header().numSkins; ++i) {
            bool terminated;
            report_.skinNames.push_back(
                in_.ReadName(section.begin + Offset{kSkinNameSize} * i, kSkinNameSize, terminated));
            if (!terminated)
                Error(Format("skin %d", i),
                      Format("name is not terminated within its %d bytes", kSkinNameSize));
        }
    }

    void CheckTexCoords() {
        const SectionExtent& section = sections_[kTexCoords];
        const Md2Header& h = header();
        if (!section.readable || h.skinWidth <= 0 || h.skinHeight <= 0) return;
        RepeatedFinding outside(
            report_, Severity::Warning, "texture coordinates",
            Format("texture coordinates outside the %d x %d skin", h.skinWidth, h.skinHeight));
        for (int32_t i = 0; i < h.numSt; ++i) {
            int16_t s = 0, t = 0;
            in_.ReadI16(section.begin + 4 * Offset{i}, s);
            in_.ReadI16(section.begin + 4 * Offset{i} + 2, t);
            if (s < 0 || t < 0 || s > h.skinWidth || t > h.skinHeight)
                outside.Add(
                    Format("texture coordinate %d", i),
                    Format("(%d, %d) lies outside the %d x %d skin", s, t, h.skinWidth, h.skinHeight));
        }
        outside.Finish();
    }

    void CheckTriangles() {
        const SectionExtent& section = sections_[kTriangles];
        const Md2Header& h = header();
        if (!section.readable) return;
        RepeatedFinding badVertex(report_, Severity::Error, "triangles",
                                  "triangles with a vertex index out of range");
        RepeatedFinding badSt(report_, Severity::Error, "triangles",
                              "triangles with a texture-coordinate index out of range");
        for (int32_t i = 0; i < h.numTris; ++i) {
            const Offset at = section.begin + 12 * Offset{i};
            uint16_t index[6] = {};
            for (int k = 0; k < 6; ++k) in_.ReadU16(at + 2 * k, index[k]);
            for (int k = 0; k < 3; ++k) {
                if (index[k] >= h.numXyz) {
                    badVertex.Add(Format("triangle %d", i),
                                  Format("vertex index %u is not below num_xyz %d", index[k], h.numXyz));
                    break;
                }
            }
            for (int k = 0; k < 3 && sections_[kTexCoords].readable; ++k) {
                uint32_t st = 0;
                if (index[3 + k] < h.numSt) in_.ReadU32(sections_[kTexCoords].begin + 4 * Offset{index[3 + k]}, st);
                corners_.insert(static_cast<uint64_t>(index[k]) << 32 | st);
            }
            for (int k = 3; k < 6; ++k) {
                if (index[k] >= h.numSt) {
                    badSt.Add(
                        Format("triangle %d", i),
                        Format("texture-coordinate index %u is not below num_st %d", index[k], h.numSt));
                    break;
                }
            }
        }
        badVertex.Finish();
        badSt.Finish();
    }

    void CheckFrames() {
        const SectionExtent& section = sections_[kFrames];
        const Md2Header& h = header();
        if (!section.readable || h.frameSize < kFrameHeaderSize) return;
        // Vertices are only where they should be when the frame size agrees with num_xyz.
        const bool verticesFit = h.frameSize == kFrameHeaderSize + 4 * Offset{h.numXyz};
        RepeatedFinding badNormal(report_, Severity::Error, "frames",
                                  "frames with a light-normal index out of range");
        for (int32_t f = 0; f < h.numFrames; ++f) {
            const Offset at = section.begin + Offset{h.frameSize} * f;
            FrameSummary frame{};
            for (int axis = 0; axis < 3; ++axis) {
                in_.ReadF32(at + 4 * axis, frame.scale[axis]);
                in_.ReadF32(at + 12 + 4 * axis, frame.translate[axis]);
            }
            bool terminated;
            frame.name = in_.ReadName(at + 24, kFrameNameSize, terminated);
            const std::string where = Format("frame %d", f);
            if (!terminated)
                Error(where, Format("name is not terminated within its %d bytes", kFrameNameSize));
            for (int axis = 0; axis < 3; ++axis) {
                if (!std::isfinite(frame.scale[axis]) || !std::isfinite(frame.translate[axis]))
                    Error(where, Format("scale or translate of axis %c is not a finite number", "xyz"[axis]));
            }
            if (verticesFit) ReadFrameVertices(at + kFrameHeaderSize, where, frame, badNormal);
            report_.frames.push_back(std::move(frame));
        }
        badNormal.Finish();
    }

    void ReadFrameVertices(Offset at, const std::string& where, FrameSummary& frame,
                           RepeatedFinding& badNormal) {
        uint8_t low[3] = {255, 255, 255}, high[3] = {0, 0, 0};
        int32_t firstBadNormal = -1;
        uint8_t badNormalValue = 0;
        for (int32_t v = 0; v < header().numXyz; ++v) {
            uint8_t bytes[4] = {};
            for (int k = 0; k < 4; ++k) in_.ReadU8(at + 4 * Offset{v} + k, bytes[k]);
            for (int axis = 0; axis < 3; ++axis) {
                if (bytes[axis] < low[axis]) low[axis] = bytes[axis];
                if (bytes[axis] > high[axis]) high[axis] = bytes[axis];
            }
            anyNormal_ = anyNormal_ || bytes[3] != 0;
            if (bytes[3] >= kVertexNormalCount && firstBadNormal < 0) {
                firstBadNormal = v;
                badNormalValue = bytes[3];
            }
        }
        if (firstBadNormal >= 0)
            badNormal.Add(where, Format("vertex %d has light-normal index %u; the engine's table has %d",
                                        firstBadNormal, badNormalValue, kVertexNormalCount));
        for (int axis = 0; axis < 3; ++axis) {
            // Decoded in single precision, as the engine does; a negative scale swaps the ends.
            const float a = static_cast<float>(low[axis]) * frame.scale[axis] + frame.translate[axis];
            const float b = static_cast<float>(high[axis]) * frame.scale[axis] + frame.translate[axis];
            frame.min[axis] = a < b ? a : b;
            frame.max[axis] = a < b ? b : a;
        }
        frame.hasBounds = true;
        ++framesRead_;
    }

    void CheckGlCommands() {
        const SectionExtent& section = sections_[kGlCommands];
        const Md2Header& h = header();
        if (!section.readable) return;
        const Offset words = h.numGlCmds;
        auto word = [&](Offset i) {
            int32_t value = 0;
            in_.ReadI32(section.begin + 4 * i, value);
            return value;
        };
        const int32_t last = word(words - 1);
        if (last != 0) Error("GL commands", Format("the list does not end in 0: its last word is %d", last));

        RepeatedFinding badIndex(report_, Severity::Error, "GL commands",
                                 "GL vertices with an index out of range");
        RepeatedFinding badCoord(report_, Severity::Warning, "GL commands",
                                 "GL vertices with a texture coordinate that is not a finite number");
        bool terminated = false, broken = false;
        Offset pos = 0;
        while (pos < words) {
            const int32_t count = word(pos);
            if (count == 0) {
                terminated = true;
                if (pos != words - 1)
                    Warn("GL commands",
                         Format("the list ends at word %lld; the %lld words after it are never read", pos,
                                words - 1 - pos));
                break;
            }
            const Offset vertices = count < 0 ? -Offset{count} : Offset{count};
            const char* kind = count < 0 ? "fan" : "strip";
            const std::string where = Format("GL command at word %lld", pos);
            if (vertices < 3) {
                Error(where, Format("a %s of %lld vertices; it takes at least 3", kind, vertices));
                broken = true;
                break;
            }
            if (pos + 1 + 3 * vertices > words) {
                Error(where, Format("a %s of %lld vertices runs past the end of the list (%lld words)", kind,
                                    vertices, words));
                broken = true;
                break;
            }
            for (Offset k = 0; k < vertices; ++k) {
                const Offset at = section.begin + 4 * (pos + 1 + 3 * k);
                float s = 0, t = 0;
                int32_t index = 0;
                in_.ReadF32(at, s);
                in_.ReadF32(at + 4, t);
                in_.ReadI32(at + 8, index);
                if (index < 0 || index >= h.numXyz)
                    badIndex.Add(where, Format("vertex %lld of the %s has index %d, not below num_xyz %d", k,
                                               kind, index, h.numXyz));
                if (!std::isfinite(s) || !std::isfinite(t))
                    badCoord.Add(where, Format("vertex %lld of the %s has texture coordinate (%g, %g)", k,
                                               kind, s, t));
            }
            (count < 0 ? report_.glFans : report_.glStrips) += 1;
            report_.glTriangles += vertices - 2;
            pos += 1 + 3 * vertices;
        }
        badIndex.Finish();
        badCoord.Finish();
        if (broken) return;
        if (!terminated && last == 0)
            Error("GL commands",
                  "the 0 in the last word is a vertex index of the last command; no terminating 0 follows");
        if (terminated && h.numTris > 0 && report_.glTriangles != h.numTris)
            Warn("GL commands", Format("the commands draw %lld triangles, the triangle table holds %d",
                                       static_cast<Offset>(report_.glTriangles), h.numTris));
    }

    ByteReader in_;
    Md2Report& report_;
    Offset fileSize_;
    SectionExtent sections_[kSectionCount];
    std::unordered_set<uint64_t> corners_;  // (vertex, s, t) as a client's vertex buffer holds them
    int32_t framesRead_ = 0;
    bool anyNormal_ = false;
};

}  // namespace

int Md2Report::ErrorCount() const {
    int n = 0;
    for (const Finding& f : findings) n += f.severity == Severity::Error;
    return n;
}

int Md2Report::WarningCount() const { return static_cast<int>(findings.size()) - ErrorCount(); }

Md2Report CheckMd2Model(const uint8_t* data, std::size_t size) {
    Md2Report report;
    Checker(size ? data : nullptr, size, report).Run();
    return report;
}

void CheckSkinPicture(const uint8_t* data, std::size_t size, const std::string& name, Md2Report& report) {
    const ByteReader in(size ? data : nullptr, size);
    uint8_t maker = 0, coding = 0, bits = 0, planes = 0;
    uint16_t x0 = 0, y0 = 0, x1 = 0, y1 = 0, perLine = 0;
    const bool headerRead = in.ReadU8(0, maker) && in.ReadU8(2, coding) && in.ReadU8(3, bits) &&
                            in.ReadU8(65, planes) && in.ReadU16(4, x0) && in.ReadU16(6, y0) && in.ReadU16(8, x1) &&
                            in.ReadU16(10, y1) && in.ReadU16(66, perLine) && in.Holds(0, 128);
    const Offset width = Offset{x1} - x0 + 1, height = Offset{y1} - y0 + 1;
    if (!headerRead || maker != 10 || coding != 1 || bits != 8 || planes != 1 || width < 1 || height < 1 ||
        perLine < width) {
        report.findings.push_back({Severity::Warning, name, "not an 8-bit run-length PCX; its colours are not checked",
                                   Concern::Look});
        return;
    }
    // Counts the pixels of index 255 within each row's width, as the engine crops them.
    Offset at = 128, column = 0, holes = 0;
    for (Offset done = 0; done < perLine * height;) {
        uint8_t b = 0, value = 0;
        if (!in.ReadU8(at++, b)) break;
        Offset run = 1;
        value = b;
        if (b >= 0xC0) {
            run = b - 0xC0;
            if (!in.ReadU8(at++, value)) break;
        }
        for (Offset i = 0; i < run && done < perLine * height; ++i, ++done) {
            holes += value == 255 && column < width;
            column = column + 1 == perLine ? 0 : column + 1;
        }
    }
    if (holes > 0)
        report.findings.push_back(
            {Severity::Warning, name,
             Format("%lld pixels of palette index 255, which Quake II makes transparent: they take a "
                    "neighbour's colour, and are holes on translucent entities", holes),
             Concern::Look});
}

int ReadModelFile(const std::string& path, std::vector<uint8_t>& bytes, std::string& reason) {
    bytes.clear();
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (!file) {
        reason = Format("cannot open %s: %s", path.c_str(), std::strerror(errno));
        return 0;
    }
    uint8_t chunk[65536];
    std::size_t got;
    bool tooLarge = false;
    while (!tooLarge && (got = std::fread(chunk, 1, sizeof chunk, file)) > 0) {
        bytes.insert(bytes.end(), chunk, chunk + got);
        tooLarge = bytes.size() > kMaxModelFileSize;
    }
    const bool failed = std::ferror(file) != 0;
    const int readErrno = errno;
    std::fclose(file);
    if (failed || tooLarge) {
        reason = failed ? Format("cannot read %s: %s", path.c_str(), std::strerror(readErrno))
                        : Format("%s is larger than %zu MiB, far beyond any model", path.c_str(),
                                 kMaxModelFileSize >> 20);
        bytes.clear();
        return 0;
    }
    return 1;
}

std::string DescribeIdent(int32_t ident) {
    std::string text;
    const uint32_t bits = static_cast<uint32_t>(ident);
    for (int i = 0; i < 4; ++i) {
        const unsigned c = (bits >> (8 * i)) & 0xFF;
        text += (c >= 0x20 && c < 0x7F && c != '\\' && c != '"') ? std::string(1, static_cast<char>(c))
                                                                 : Format("\\x%02X", c);
    }
    return text;
}

}  // namespace md2check
