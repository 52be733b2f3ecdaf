// An independent reader and checker of Quake II model files (.md2).
//
// It reads the format on its own, field by field and little-endian, and never
// reads a byte before checking that it lies inside the buffer, so any input,
// truncated or hostile, only ever yields findings. It shares no code with the
// plug-in's writer on purpose: it is the second opinion on what that writes.
//
// Errors are what id's own loaders refuse, what would make them read or write
// out of bounds, and plain corruption of the layout. Warnings are what a
// modern client refuses or drops (named with the client and its check), and
// what loads but looks wrong in the game.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace md2check {

// The engine's numbers for the format.
constexpr int32_t kMd2Version = 8;
constexpr int32_t kMaxVerts = 2048;          // MAX_VERTS: the loaders refuse more vertices
constexpr int32_t kMaxTexCoords = 2048;      // customary bound of the st table (MAX_VERTS)
constexpr int32_t kMaxTriangles = 4096;      // MAX_TRIANGLES
constexpr int32_t kMaxFrames = 512;          // MAX_FRAMES
constexpr int32_t kMaxSkins = 32;            // MAX_MD2SKINS: the size of the loaders' skin table
constexpr int32_t kSkinNameSize = 64;        // MAX_SKINNAME
constexpr int32_t kMaxSkinHeight = 480;      // MAX_LBM_HEIGHT: the loaders refuse taller skins
constexpr int32_t kVertexNormalCount = 162;  // NUMVERTEXNORMALS: the light-normal table
constexpr int64_t kMaxUploadPixels = 131072; // id's GL renderer: the 8-bit upload buffer (GL_Upload8)
constexpr int32_t kQ2proMaxSkinWidth = 640;  // q2pro: MD2_MAX_SKINWIDTH
constexpr int32_t kQ2proMaxVertices = 4096;  // q2pro: TESS_MAX_VERTICES, distinct (vertex, s, t) corners
constexpr int32_t kHeaderSize = 68;
constexpr int32_t kFrameHeaderSize = 40;
constexpr int32_t kFrameNameSize = 16;

// The seventeen header ints in file order.
struct Md2Header {
    int32_t ident;
    int32_t version;
    int32_t skinWidth;
    int32_t skinHeight;
    int32_t frameSize;
    int32_t numSkins;
    int32_t numXyz;
    int32_t numSt;
    int32_t numTris;
    int32_t numGlCmds;
    int32_t numFrames;
    int32_t ofsSkins;
    int32_t ofsSt;
    int32_t ofsTris;
    int32_t ofsFrames;
    int32_t ofsGlCmds;
    int32_t ofsEnd;
};

// One header field for display: its name in the format's own terms and its member.
struct Md2HeaderField {
    const char* name;
    int32_t Md2Header::*member;
};
extern const Md2HeaderField kMd2HeaderFields[17];

enum class Severity { Warning, Error };
// Whom a finding concerns: the format and id's engine, a modern client's
// loader, or how the model looks in the game.
enum class Concern { Format, Client, Look };

// One problem: where it is ("header", "frame 3", "triangle 12", ...) and what.
struct Finding {
    Severity severity;
    std::string where;
    std::string message;
    Concern concern = Concern::Format;
};

// One frame as decoded: its name (up to its zero, or all 16 bytes when it has
// none), scale, translate, and the box of its decoded vertices (byte * scale +
// translate, per axis). hasBounds is false when the vertices were not read.
struct FrameSummary {
    std::string name;
    float scale[3];
    float translate[3];
    bool hasBounds;
    float min[3];
    float max[3];
};

struct Md2Report {
    std::size_t fileSize = 0;
    bool headerRead = false;  // the file holds the whole 68-byte header
    Md2Header header{};
    std::vector<std::string> skinNames;
    std::vector<FrameSummary> frames;
    int32_t glStrips = 0;  // well-formed strips and fans walked in the GL command list
    int32_t glFans = 0;
    int64_t glTriangles = 0;  // triangles that those strips and fans draw
    std::vector<Finding> findings;

    int ErrorCount() const;
    int WarningCount() const;
    // 1 when no finding is an error (warnings allowed), else 0.
    int Passed() const { return ErrorCount() == 0 ? 1 : 0; }
};

// Checks the model held in data[0, size). data may be null when size is 0.
// Reads nothing outside the buffer; the report holds whatever could be decoded.
Md2Report CheckMd2Model(const uint8_t* data, std::size_t size);

// Checks an 8-bit PCX skin for palette index 255, which Quake II draws as a
// hole: adds a look warning to report naming `name` when a pixel has it, or
// when the picture cannot be decoded as an 8-bit run-length PCX.
void CheckSkinPicture(const uint8_t* data, std::size_t size, const std::string& name, Md2Report& report);

// Reads the whole file at path into bytes. 1 on success; 0 with reason set
// (naming the file and the cause) when it cannot be opened or read, or holds
// more than 256 MiB.
int ReadModelFile(const std::string& path, std::vector<uint8_t>& bytes, std::string& reason);

// The ident as four printable characters, other bytes as \xNN.
std::string DescribeIdent(int32_t ident);

}  // namespace md2check
