// The MD2 writer: a new model with every frame of the frame list, or the chosen
// range of frames rewritten in an existing model of the same counts.
//
// Every section is built in memory before the file is touched, so a capture that
// fails, or a mesh whose counts changed, never leaves a half-written frame. The
// file door (platform/file_access.h) does the rest: a model is replaced whole
// or not at all, and an update reads, checks and rewrites it under a lock.

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <vector>

#include "core/byte_order.h"
#include "core/output_name.h"
#include "core/quake_export_utility.h"
#include "model/md2_format.h"
#include "platform/file_access.h"

namespace {

// The credit line that ends every new model, 126 characters, no terminating zero.
constexpr char kCreditLine[] =
    "Made with Vorn, the exporter of animated, texture-mapped scenes to Quake II models: "
    "frames, skin and GL commands, all by Vorn.";
static_assert(sizeof kCreditLine - 1 == 126, "the credit line is 126 characters");

constexpr uint8_t kTrailer[5] = {0x52, 0x00, 0x27, 0x00, 0x52};

constexpr const char* kFileError = "File Error";

// Host time of model frame i when frame start is sampled at firstFrame; the
// arithmetic wraps as the unsigned panel value does.
TimeValue FrameTime(uint32_t firstFrame, int32_t i, int32_t start) {
    const uint32_t frame = firstFrame + static_cast<uint32_t>(i) - static_cast<uint32_t>(start);
    return static_cast<TimeValue>(static_cast<uint32_t>(GetTicksPerFrame()) * frame);
}

// The page position of a face corner, in skin pixels (not yet truncated).
// A face without a texture record maps to the page origin.
void CornerOnPage(const ExportFace& face, int k, float* s, float* t) {
    const TextureRecord* r = face.texture;
    if (!r) {
        *s = 0.0f;
        *t = 0.0f;
        return;
    }
    const float w = static_cast<float>(r->image.Width());
    const float h = static_cast<float>(r->image.Height());
    *s = w * (face.u[k] - r->uMin) + static_cast<float>(r->placeX);
    *t = h * (face.v[k] - r->vMin) + static_cast<float>(r->placeY);
}

// Truncates toward zero; 0 when the value is no number or far out of range.
int32_t TruncToInt(float value) {
    if (!(value > -2147483648.0f && value < 2147483648.0f)) return 0;
    return static_cast<int32_t>(value);
}

// The least and the greatest of c[0] .. c[n - 1] (n > 0), as a scan from c[0]
// that takes a value only when it is strictly less (greater) finds them: the
// first of equal values, so that the sign of a zero is that scan's too, and
// NaN only when c[0] is one. Four scans side by side, each over every fourth
// value, do not wait on one another.
void Bounds(const float* c, size_t n, float* least, float* greatest) {
    float lo[4] = {c[0], c[0], c[0], c[0]};
    float hi[4] = {c[0], c[0], c[0], c[0]};
    size_t i = 1;
    for (; i + 4 <= n; i += 4) {
        for (int k = 0; k < 4; ++k) {
            if (c[i + k] < lo[k]) lo[k] = c[i + k];
            if (c[i + k] > hi[k]) hi[k] = c[i + k];
        }
    }
    for (; i < n; ++i) {
        if (c[i] < lo[0]) lo[0] = c[i];
        if (c[i] > hi[0]) hi[0] = c[i];
    }
    for (int k = 1; k < 4; ++k) {
        if (lo[k] < lo[0]) lo[0] = lo[k];
        if (hi[k] > hi[0]) hi[0] = hi[k];
    }
    // Equal values differ only in the sign of a zero: take the first zero's.
    for (float* bound : {&lo[0], &hi[0]}) {
        if (*bound != 0.0f) continue;
        size_t first = 0;
        while (c[first] != 0.0f) ++first;
        *bound = c[first];
    }
    *least = lo[0];
    *greatest = hi[0];
}

// A frame's 16-byte name field: the name cut to 15 characters, the rest zeros.
void StoreFrameName(uint8_t* p, const char* name) {
    char field[kMd2FrameNameSize] = {};
    std::strncpy(field, name, kMd2FrameNameSize - 1);
    std::memcpy(p, field, kMd2FrameNameSize);
}

constexpr size_t kFrameNameOffset = 24;

bool WriteAll(std::FILE* file, const std::vector<uint8_t>& bytes) {
    return bytes.empty() || std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
}

bool FitsShort(int32_t v) { return v >= -32768 && v <= 32767; }

// Ends a file opened for writing, replacing the model at path with it; 0, the
// model as it was, when a write, the flush or the rename failed.
int FinishModelFile(ModelExporter& engine, std::FILE* file, const char* path) {
    if (CloseWrittenFile(file)) return 1;
    engine.LatchFileFailure("Could not write the model file %s", path);
    return 0;
}

// A complete new model file from the utility's state, in out (cleared first).
int BuildModelFile(QuakeExportUtility& u, float scale, std::vector<uint8_t>& out) {
    const int32_t V = u.vertexCount;
    const int32_t T = u.faceCount;
    const int32_t F = u.frameCount;
    const int32_t W = u.skinWidth;
    const int32_t H = u.skinHeight;
    if (V > kMd2MaxVertices || T > kMd2MaxTriangles) {
        char text[ModelExporter::kErrorTextSize];
        std::snprintf(text, sizeof text,
                      "Model too large for the md2 format: %d vertices (at most %d), %d triangles (at most %d)",
                      V, kMd2MaxVertices, T, kMd2MaxTriangles);
        u.engine.LatchError(text, kFileError);
        return 0;
    }

    const int64_t frameSize = Md2FrameSize(V);
    const int32_t ofsTris = kMd2HeaderSize + 12 * T;
    const int32_t ofsFrames = kMd2HeaderSize + 24 * T;
    const int64_t ofsGlcmds = ofsFrames + static_cast<int64_t>(F) * frameSize;
    const int64_t ofsEnd = ofsGlcmds + 4 * (10 * static_cast<int64_t>(T) + 1);
    if (ofsEnd > INT32_MAX) {
        u.engine.LatchError("Model too large for the md2 format: its offsets exceed 32 bits", kFileError);
        return 0;
    }

    out.clear();
    out.reserve(static_cast<size_t>(ofsEnd) + sizeof kTrailer + sizeof kCreditLine);
    for (char c : kMd2Ident) PutU8(out, static_cast<uint8_t>(c));
    const int32_t header[16] = {kMd2Version, W, H, static_cast<int32_t>(frameSize), 0, V, 3 * T, T,
                                10 * T + 1, F, kMd2HeaderSize, kMd2HeaderSize, ofsTris, ofsFrames,
                                static_cast<int32_t>(ofsGlcmds), static_cast<int32_t>(ofsEnd)};
    for (int32_t field : header) PutI32(out, field);

    // Texture coordinates, in skin pixels.
    for (int32_t i = 0; i < T; ++i) {
        for (int k = 0; k < 3; ++k) {
            float s, t;
            CornerOnPage(u.faces[i], k, &s, &t);
            const int32_t si = TruncToInt(s);
            const int32_t ti = TruncToInt(t);
            if (!FitsShort(si) || !FitsShort(ti)) {
                char text[ModelExporter::kErrorTextSize];
                std::snprintf(text, sizeof text,
                              "Texture coordinate %d, %d of face %d does not fit the md2 format's 16 bits", si,
                              ti, i);
                u.engine.LatchError(text, kFileError);
                return 0;
            }
            PutI16(out, static_cast<int16_t>(si));
            PutI16(out, static_cast<int16_t>(ti));
        }
    }

    // Triangles, corners in the order 0, 2, 1.
    static constexpr int kCornerOrder[3] = {0, 2, 1};
    for (int32_t i = 0; i < T; ++i) {
        for (int k : kCornerOrder) PutU16(out, static_cast<uint16_t>(u.faces[i].vertexIndex[k] & 0xFFFF));
        for (int k : kCornerOrder) PutU16(out, static_cast<uint16_t>(3 * i + k));
    }

    // Frames: scene frames 0 .. F - 1; the chosen range is written over them afterwards.
    for (int32_t f = 0; f < F; ++f) {
        if (!u.EncodeFrame(FrameTime(0, f, 0), u.frameNames[f], scale, out)) return 0;
    }

    // One triangle fan per face.
    const float pageWidth = static_cast<float>(W);
    const float pageHeight = static_cast<float>(H);
    for (int32_t i = 0; i < T; ++i) {
        PutI32(out, -3);
        for (int k : kCornerOrder) {
            float s, t;
            CornerOnPage(u.faces[i], k, &s, &t);
            PutF32(out, s / pageWidth);
            PutF32(out, t / pageHeight);
            PutI32(out, static_cast<int32_t>(u.faces[i].vertexIndex[k]));
        }
    }
    PutI32(out, 0);
    out.insert(out.end(), kTrailer, kTrailer + sizeof kTrailer);
    out.insert(out.end(), kCreditLine, kCreditLine + sizeof kCreditLine - 1);

    delete[] u.frameVertices;
    u.frameVertices = nullptr;
    delete[] u.frameFaces;
    u.frameFaces = nullptr;
    return 1;
}

// The header's account of the file, checked against its size: a model cut
// short or with offsets past its end is damaged, and an update would rewrite
// frames that are not there. Null when it is whole, else what is wrong.
const char* DamageOf(const uint8_t* header, int64_t fileSize, int32_t vertexCount, char* what, size_t size) {
    static constexpr struct {
        Md2HeaderField field;
        const char* name;
    } kOffsets[] = {{MD2_OFS_SKINS, "skin"},     {MD2_OFS_ST, "texture coordinate"}, {MD2_OFS_TRIS, "triangle"},
                    {MD2_OFS_FRAMES, "frame"},   {MD2_OFS_GLCMDS, "GL command"},     {MD2_OFS_END, "end"}};
    for (const auto& offset : kOffsets) {
        const int32_t at = GetI32(header + offset.field);
        if (at < 0 || at > fileSize) {
            std::snprintf(what, size, "its %s offset %d lies outside the file of %lld bytes", offset.name, at,
                          static_cast<long long>(fileSize));
            return what;
        }
    }
    const int64_t frameSize = Md2FrameSize(vertexCount);
    if (GetI32(header + MD2_FRAME_SIZE) != frameSize) {
        std::snprintf(what, size, "its frame size %d is not that of %d vertices, %lld",
                      GetI32(header + MD2_FRAME_SIZE), vertexCount, static_cast<long long>(frameSize));
        return what;
    }
    const int32_t ofsFrames = GetI32(header + MD2_OFS_FRAMES);
    const int64_t framesEnd = ofsFrames + GetI32(header + MD2_NUM_FRAMES) * frameSize;
    if (ofsFrames < kMd2HeaderSize || framesEnd > fileSize) {
        std::snprintf(what, size, "its frame section, bytes %d to %lld, is cut by the end of the file at %lld",
                      ofsFrames, static_cast<long long>(framesEnd), static_cast<long long>(fileSize));
        return what;
    }
    return nullptr;
}

void LatchDamage(ModelExporter& engine, const char* path, const char* what) {
    char text[ModelExporter::kErrorTextSize];
    std::snprintf(text, sizeof text,
                  "Existing model %s is damaged: %s. Remove it, or choose another name, to write a new model", path,
                  what);
    engine.LatchError(text, kFileError);
}

// Writes a complete new model file from the utility's state; out is left
// holding the file's bytes (cleared first).
int WriteModelFile(QuakeExportUtility& u, char* path, float scale, std::vector<uint8_t>& out) {
    if (!FormOutputName(path, kPathBufferSize, ".md2")) {
        u.engine.LatchError("Model file name too long for its extension", kFileError);
        return 0;
    }
    if (!BuildModelFile(u, scale, out)) return 0;
    std::FILE* file = OpenHostFile(path, "wb");
    if (!file) {
        u.engine.LatchFileFailure("Could not open %s for writing", path);
        return 0;
    }
    WriteAll(file, out);
    return FinishModelFile(u.engine, file, path);
}

void ReleaseFrameCapture(QuakeExportUtility& u) {
    delete[] u.frameVertices;
    u.frameVertices = nullptr;
    delete[] u.frameFaces;
    u.frameFaces = nullptr;
}

// Writes a new model at path, the range as SaveModel asks; -1 when a model
// has appeared there meanwhile.
int CreateModel(QuakeExportUtility& u, const char* path, int32_t startIndex, int32_t endIndex, uint32_t firstFrame,
                float scale) {
    std::vector<uint8_t> bytes;
    if (!BuildModelFile(u, scale, bytes)) return 0;
    // The new file holds scene frame j at slot j, captured at FrameTime(0, j, 0).
    // A slot of the range whose time is one of those gets the same capture,
    // so its bytes are taken from there, under the slot's own name. When the
    // range starts at the scene frame of its own index (the panel's default),
    // every slot holds already what the range would write there.
    if (firstFrame != static_cast<uint32_t>(startIndex)) {
        const int64_t frameSize = Md2FrameSize(u.vertexCount);
        const int64_t ofsFrames = GetI32(bytes.data() + MD2_OFS_FRAMES);
        std::vector<uint8_t> frames;
        frames.reserve(static_cast<size_t>((endIndex - startIndex + 1) * frameSize));
        for (int32_t i = startIndex; i <= endIndex; ++i) {
            const TimeValue t = FrameTime(firstFrame, i, startIndex);
            const uint32_t j = firstFrame + static_cast<uint32_t>(i) - static_cast<uint32_t>(startIndex);
            if (j < static_cast<uint32_t>(u.frameCount) && FrameTime(0, static_cast<int32_t>(j), 0) == t) {
                const uint8_t* frame = bytes.data() + ofsFrames + j * frameSize;
                const size_t at = frames.size();
                frames.insert(frames.end(), frame, frame + frameSize);
                StoreFrameName(frames.data() + at + kFrameNameOffset, u.frameNames[i]);
                continue;
            }
            if (!u.EncodeFrame(t, u.frameNames[i], scale, frames)) {
                ReleaseFrameCapture(u);
                return 0;
            }
        }
        ReleaseFrameCapture(u);
        std::copy(frames.begin(), frames.end(), bytes.begin() + ofsFrames + startIndex * frameSize);
    }
    std::FILE* file = OpenHostFile(path, "wbx");
    if (!file) {
        if (errno == EEXIST) return -1;
        u.engine.LatchFileFailure("Could not open %s for writing", path);
        return 0;
    }
    WriteAll(file, bytes);
    return FinishModelFile(u.engine, file, path);
}

// Rewrites the range in the copy of an existing model that file holds, and
// puts it in the model's place.
int UpdateModel(QuakeExportUtility& u, std::FILE* file, const char* path, int32_t startIndex, int32_t endIndex,
                uint32_t firstFrame, float scale) {
    auto giveUp = [&]() {
        DropWrittenFile(file);
        ReleaseFrameCapture(u);
        return 0;
    };
    uint8_t header[kMd2HeaderSize];
    std::fseek(file, 0, SEEK_END);
    const long fileSize = std::ftell(file);
    std::rewind(file);
    if (fileSize < 0 || std::fread(header, 1, sizeof header, file) != sizeof header) {
        char what[64];
        std::snprintf(what, sizeof what, "it is shorter than its %d-byte header (%ld bytes)", kMd2HeaderSize,
                      fileSize);
        LatchDamage(u.engine, path, what);
        return giveUp();
    }
    if (GetI32(header + MD2_NUM_TRIS) != u.faceCount || GetI32(header + MD2_NUM_XYZ) != u.vertexCount ||
        GetI32(header + MD2_NUM_FRAMES) != u.frameCount) {
        char text[ModelExporter::kErrorTextSize];
        std::snprintf(text, sizeof text,
                      "Existing model has %d triangles, %d vertices and %d frames; the export has %d, %d and %d",
                      GetI32(header + MD2_NUM_TRIS), GetI32(header + MD2_NUM_XYZ),
                      GetI32(header + MD2_NUM_FRAMES), u.faceCount, u.vertexCount, u.frameCount);
        u.engine.LatchError(text, kFileError);
        return giveUp();
    }
    // The range is rewritten only inside a frame section the file holds whole.
    char what[ModelExporter::kErrorTextSize];
    if (const char* damage = DamageOf(header, fileSize, u.vertexCount, what, sizeof what)) {
        LatchDamage(u.engine, path, damage);
        return giveUp();
    }

    const int64_t frameSize = Md2FrameSize(u.vertexCount);
    const int64_t first = static_cast<int64_t>(GetI32(header + MD2_OFS_FRAMES)) + startIndex * frameSize;
    std::vector<uint8_t> frames;
    frames.reserve(static_cast<size_t>((endIndex - startIndex + 1) * frameSize));
    for (int32_t i = startIndex; i <= endIndex; ++i) {
        if (!u.EncodeFrame(FrameTime(firstFrame, i, startIndex), u.frameNames[i], scale, frames)) return giveUp();
    }
    ReleaseFrameCapture(u);
    if (std::fseek(file, static_cast<long>(first), SEEK_SET) != 0) {
        u.engine.LatchFileFailure("Could not reach the frames of the model %s", path);
        DropWrittenFile(file);
        return 0;
    }
    WriteAll(file, frames);
    return FinishModelFile(u.engine, file, path);
}

}  // namespace

int QuakeExportUtility::EncodeFrame(TimeValue t, const char* name, float scale, std::vector<uint8_t>& out) {
    delete[] frameVertices;
    frameVertices = nullptr;
    delete[] frameFaces;
    frameFaces = nullptr;
    int32_t v = 0;
    int32_t f = 0;
    // Only the positions of a frame's capture are written.
    const int captured = engine.CaptureMeshes(0, static_cast<uint32_t>(engine.nodeCount), &frameVertices,
                                              &frameFaces, &v, &f, CAPTURE_WORLD_SPACE | CAPTURE_VERTICES_ONLY, t);
    if (!captured) return 0;
    if (v != vertexCount || f != faceCount) {
        // Frames of another vertex count would not fit the file.
        char text[ModelExporter::kErrorTextSize];
        std::snprintf(text, sizeof text,
                      "Mesh changed at time %d: %d vertices and %d faces instead of %d and %d", t, v, f,
                      vertexCount, faceCount);
        engine.LatchError(text, "Scene Error");
        return 0;
    }

    // A quarter turn about z, then the scale factor; one row of values per
    // axis, so that each pass below runs down one row.
    const size_t n = static_cast<size_t>(v);
    std::vector<float> turned(n * 3);
    float* const axis[3] = {turned.data(), turned.data() + n, turned.data() + 2 * n};
    for (size_t i = 0; i < n; ++i) {
        const ExportVertex& p = frameVertices[i];
        axis[0][i] = -p.y * scale;
        axis[1][i] = p.x * scale;
        axis[2][i] = p.z * scale;
    }

    float minimum[3] = {0, 0, 0};
    float maximum[3] = {0, 0, 0};
    if (n > 0) {
        for (int a = 0; a < 3; ++a) Bounds(axis[a], n, &minimum[a], &maximum[a]);
    }
    float frameScale[3];
    for (int a = 0; a < 3; ++a) {
        const float extent = maximum[a] - minimum[a];
        frameScale[a] = static_cast<float>(static_cast<double>(extent) * 0.004);
    }
    // A frame's box is stored as floats that a reader multiplies out: a
    // position or an extent beyond the float range would give it infinities.
    for (int a = 0; a < 3; ++a) {
        if (!std::isfinite(minimum[a]) || !std::isfinite(maximum[a]) || !std::isfinite(frameScale[a])) {
            char text[ModelExporter::kErrorTextSize];
            std::snprintf(text, sizeof text,
                          "Frame \"%.16s\" at time %d reaches beyond the float range once turned and scaled", name,
                          t);
            engine.LatchError(text, "Scene Error");
            return 0;
        }
    }

    const size_t at = out.size();
    out.resize(at + static_cast<size_t>(Md2FrameSize(v)));  // zeros: the light-normal indices stay 0
    uint8_t* p = out.data() + at;
    for (int a = 0; a < 3; ++a) StoreF32(p + 4 * a, frameScale[a]);
    for (int a = 0; a < 3; ++a) StoreF32(p + 12 + 4 * a, minimum[a]);
    StoreFrameName(p + kFrameNameOffset, name);
    uint8_t* const bytes = p + kMd2FrameHeaderSize;
    for (int a = 0; a < 3; ++a) {
        // A flat axis has scale 0, and every vertex byte 0 on it.
        if (frameScale[a] == 0.0f) continue;
        const float* c = axis[a];
        const float translate = minimum[a], s = frameScale[a];
        for (size_t i = 0; i < n; ++i) bytes[4 * i + a] = static_cast<uint8_t>(TruncToInt((c[i] - translate) / s) & 0xFF);
    }
    return 1;
}

int QuakeExportUtility::WriteFrame(std::FILE* file, TimeValue t, const char* name, float scale) {
    std::vector<uint8_t> frame;
    if (!EncodeFrame(t, name, scale, frame)) return 0;
    return WriteAll(file, frame) ? 1 : 0;
}

int QuakeExportUtility::WriteNewModel(char* path, float scale) {
    std::vector<uint8_t> bytes;
    return WriteModelFile(*this, path, scale, bytes);
}

int QuakeExportUtility::SaveModel(char* path, int32_t startIndex, int32_t endIndex, uint32_t firstFrame,
                                  float scale) {
    if (!FormOutputName(path, kPathBufferSize, ".md2")) {
        engine.LatchError("Model file name too long for its extension", kFileError);
        return 0;
    }
    // Frames written past the frame section would overwrite the GL commands.
    if (startIndex < 0 || endIndex < startIndex || endIndex >= frameCount) {
        char text[ModelExporter::kErrorTextSize];
        std::snprintf(text, sizeof text, "Frame range %d to %d lies outside the frame list of %d names",
                      startIndex, endIndex, frameCount);
        engine.LatchError(text, "Input error");
        return 0;
    }
    // Readers refuse a model without triangles, and texture coordinates mean
    // nothing on an empty skin page (no exported face has a texture).
    if (vertexCount <= 0 || faceCount <= 0 || skinWidth <= 0 || skinHeight <= 0) {
        char text[ModelExporter::kErrorTextSize];
        std::snprintf(text, sizeof text,
                      "Nothing to write: %d vertices, %d triangles and a skin page of %d x %d pixels", vertexCount,
                      faceCount, skinWidth, skinHeight);
        engine.LatchError(text, "Scene Error");
        return 0;
    }

    // The model is updated when it exists, else written anew; should another
    // export write it between the two tries, its model is updated.
    for (int tries = 0; tries < 3; ++tries) {
        std::FILE* file = OpenHostFile(path, "r+b");
        modelUpdated = file ? 1 : 0;
        if (file) return UpdateModel(*this, file, path, startIndex, endIndex, firstFrame, scale);
        if (errno != ENOENT) {
            engine.LatchFileFailure("Could not open the model %s to update it", path);
            return 0;
        }
        const int created = CreateModel(*this, path, startIndex, endIndex, firstFrame, scale);
        if (created >= 0) return created;
    }
    engine.LatchFileFailure("Could not open the model %s for writing", path);
    return 0;
}

