// The MD2 writer: a new model with every frame of the frame list, or the chosen
// range of frames rewritten in an existing model of the same counts.
//
// Every section is built in memory before the file is touched, so a capture that
// fails, or a mesh whose counts changed, never leaves a half-written frame: an
// existing file stays as it was, and a new file this save created is removed.

#include <cmath>
#include <cstdio>
#include <cstring>
#include <vector>

#include "export/byte_order.h"
#include "export/output_name.h"
#include "export/quake_export_utility.h"
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

uint8_t QuantizeCoordinate(float value, float translate, float scale) {
    if (scale == 0.0f) return 0;
    const float q = (value - translate) / scale;
    return static_cast<uint8_t>(TruncToInt(q) & 0xFF);
}

bool WriteAll(std::FILE* file, const std::vector<uint8_t>& bytes) {
    return bytes.empty() || std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
}

bool FitsShort(int32_t v) { return v >= -32768 && v <= 32767; }

}  // namespace

int QuakeExportUtility::EncodeFrame(TimeValue t, const char* name, float scale, std::vector<uint8_t>& out) {
    delete[] frameVertices;
    frameVertices = nullptr;
    delete[] frameFaces;
    frameFaces = nullptr;
    int32_t v = 0;
    int32_t f = 0;
    const int captured = engine.CaptureMeshes(0, static_cast<uint32_t>(engine.nodeCount), &frameVertices,
                                              &frameFaces, &v, &f, CAPTURE_WORLD_SPACE, t);
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

    // A quarter turn about z, then the scale factor.
    std::vector<float> xyz(static_cast<size_t>(v) * 3);
    for (int32_t i = 0; i < v; ++i) {
        const ExportVertex& p = frameVertices[i];
        xyz[3 * i + 0] = -p.y * scale;
        xyz[3 * i + 1] = p.x * scale;
        xyz[3 * i + 2] = p.z * scale;
    }

    float minimum[3] = {0, 0, 0};
    float maximum[3] = {0, 0, 0};
    if (v > 0) {
        for (int a = 0; a < 3; ++a) minimum[a] = maximum[a] = xyz[a];
        for (int32_t i = 1; i < v; ++i) {
            for (int a = 0; a < 3; ++a) {
                const float c = xyz[3 * i + a];
                if (c < minimum[a]) minimum[a] = c;
                if (c > maximum[a]) maximum[a] = c;
            }
        }
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

    out.reserve(out.size() + static_cast<size_t>(Md2FrameSize(v)));
    for (int a = 0; a < 3; ++a) PutF32(out, frameScale[a]);
    for (int a = 0; a < 3; ++a) PutF32(out, minimum[a]);
    char field[kMd2FrameNameSize] = {};
    std::strncpy(field, name, kMd2FrameNameSize - 1);
    out.insert(out.end(), field, field + kMd2FrameNameSize);
    for (int32_t i = 0; i < v; ++i) {
        for (int a = 0; a < 3; ++a) PutU8(out, QuantizeCoordinate(xyz[3 * i + a], minimum[a], frameScale[a]));
        PutU8(out, 0);  // light-normal index
    }
    return 1;
}

int QuakeExportUtility::WriteFrame(std::FILE* file, TimeValue t, const char* name, float scale) {
    std::vector<uint8_t> frame;
    if (!EncodeFrame(t, name, scale, frame)) return 0;
    return WriteAll(file, frame) ? 1 : 0;
}

int QuakeExportUtility::WriteNewModel(char* path, float scale) {
    if (!FormOutputName(path, kPathBufferSize, ".md2")) {
        engine.LatchError("Model file name too long for its extension", kFileError);
        return 0;
    }
    const int32_t V = vertexCount;
    const int32_t T = faceCount;
    const int32_t F = frameCount;
    const int32_t W = skinWidth;
    const int32_t H = skinHeight;
    if (V > kMd2MaxVertices || T > kMd2MaxTriangles) {
        char text[ModelExporter::kErrorTextSize];
        std::snprintf(text, sizeof text,
                      "Model too large for the md2 format: %d vertices (at most %d), %d triangles (at most %d)",
                      V, kMd2MaxVertices, T, kMd2MaxTriangles);
        engine.LatchError(text, kFileError);
        return 0;
    }

    const int64_t frameSize = Md2FrameSize(V);
    const int32_t ofsTris = kMd2HeaderSize + 12 * T;
    const int32_t ofsFrames = kMd2HeaderSize + 24 * T;
    const int64_t ofsGlcmds = ofsFrames + static_cast<int64_t>(F) * frameSize;
    const int64_t ofsEnd = ofsGlcmds + 4 * (10 * static_cast<int64_t>(T) + 1);
    if (ofsEnd > INT32_MAX) {
        engine.LatchError("Model too large for the md2 format: its offsets exceed 32 bits", kFileError);
        return 0;
    }

    std::vector<uint8_t> out;
    out.reserve(static_cast<size_t>(ofsEnd) + sizeof kTrailer + sizeof kCreditLine);
    out.insert(out.end(), kMd2Ident, kMd2Ident + 4);
    const int32_t header[16] = {kMd2Version, W, H, static_cast<int32_t>(frameSize), 0, V, 3 * T, T,
                                10 * T + 1, F, kMd2HeaderSize, kMd2HeaderSize, ofsTris, ofsFrames,
                                static_cast<int32_t>(ofsGlcmds), static_cast<int32_t>(ofsEnd)};
    for (int32_t field : header) PutI32(out, field);

    // Texture coordinates, in skin pixels.
    for (int32_t i = 0; i < T; ++i) {
        for (int k = 0; k < 3; ++k) {
            float s, t;
            CornerOnPage(faces[i], k, &s, &t);
            const int32_t si = TruncToInt(s);
            const int32_t ti = TruncToInt(t);
            if (!FitsShort(si) || !FitsShort(ti)) {
                char text[ModelExporter::kErrorTextSize];
                std::snprintf(text, sizeof text,
                              "Texture coordinate %d, %d of face %d does not fit the md2 format's 16 bits", si,
                              ti, i);
                engine.LatchError(text, kFileError);
                return 0;
            }
            PutI16(out, static_cast<int16_t>(si));
            PutI16(out, static_cast<int16_t>(ti));
        }
    }

    // Triangles, corners in the order 0, 2, 1.
    static constexpr int kCornerOrder[3] = {0, 2, 1};
    for (int32_t i = 0; i < T; ++i) {
        for (int k : kCornerOrder) PutU16(out, static_cast<uint16_t>(faces[i].vertexIndex[k] & 0xFFFF));
        for (int k : kCornerOrder) PutU16(out, static_cast<uint16_t>(3 * i + k));
    }

    // Frames: scene frames 0 .. F - 1; the chosen range is written over them afterwards.
    for (int32_t f = 0; f < F; ++f) {
        if (!EncodeFrame(FrameTime(0, f, 0), frameNames[f], scale, out)) return 0;
    }

    // One triangle fan per face.
    const float pageWidth = static_cast<float>(W);
    const float pageHeight = static_cast<float>(H);
    for (int32_t i = 0; i < T; ++i) {
        PutI32(out, -3);
        for (int k : kCornerOrder) {
            float s, t;
            CornerOnPage(faces[i], k, &s, &t);
            PutF32(out, s / pageWidth);
            PutF32(out, t / pageHeight);
            PutI32(out, static_cast<int32_t>(faces[i].vertexIndex[k]));
        }
    }
    PutI32(out, 0);
    out.insert(out.end(), kTrailer, kTrailer + sizeof kTrailer);
    out.insert(out.end(), kCreditLine, kCreditLine + sizeof kCreditLine - 1);

    delete[] frameVertices;
    frameVertices = nullptr;
    delete[] frameFaces;
    frameFaces = nullptr;

    std::FILE* file = OpenHostFile(path, "wb");
    if (!file) return 0;
    const bool written = WriteAll(file, out);
    if (std::fclose(file) != 0 || !written) {
        RemoveHostFile(path);
        engine.LatchError("Could not write the whole model file", kFileError);
        return 0;
    }
    return 1;
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

    bool created = false;
    std::FILE* file = OpenHostFile(path, "r+b");
    if (!file) {
        if (!WriteNewModel(path, scale)) return 0;
        created = true;
        file = OpenHostFile(path, "r+b");
        if (!file) return 0;
    }
    auto giveUp = [&](int result) {
        std::fclose(file);
        if (created) RemoveHostFile(path);
        delete[] frameVertices;
        frameVertices = nullptr;
        delete[] frameFaces;
        frameFaces = nullptr;
        return result;
    };

    uint8_t header[kMd2HeaderSize];
    if (std::fread(header, 1, sizeof header, file) != sizeof header) {
        engine.LatchError("Existing model file is shorter than its header", kFileError);
        return giveUp(0);
    }
    if (GetI32(header + MD2_NUM_TRIS) != faceCount || GetI32(header + MD2_NUM_XYZ) != vertexCount ||
        GetI32(header + MD2_NUM_FRAMES) != frameCount) {
        char text[ModelExporter::kErrorTextSize];
        std::snprintf(text, sizeof text,
                      "Existing model has %d triangles, %d vertices and %d frames; the export has %d, %d and %d",
                      GetI32(header + MD2_NUM_TRIS), GetI32(header + MD2_NUM_XYZ),
                      GetI32(header + MD2_NUM_FRAMES), faceCount, vertexCount, frameCount);
        engine.LatchError(text, kFileError);
        return giveUp(0);
    }

    // The range must lie inside the file as it stands: a damaged frame offset
    // must not make the update write elsewhere.
    const int64_t frameSize = Md2FrameSize(vertexCount);
    const int64_t first = static_cast<int64_t>(GetI32(header + MD2_OFS_FRAMES)) + startIndex * frameSize;
    const int64_t last = first + (static_cast<int64_t>(endIndex) - startIndex + 1) * frameSize;
    std::fseek(file, 0, SEEK_END);
    const long fileSize = std::ftell(file);
    if (GetI32(header + MD2_OFS_FRAMES) < kMd2HeaderSize || fileSize < 0 || last > fileSize) {
        engine.LatchError("Existing model's frame section lies outside the file", kFileError);
        return giveUp(0);
    }

    std::vector<uint8_t> frames;
    for (int32_t i = startIndex; i <= endIndex; ++i) {
        if (!EncodeFrame(FrameTime(firstFrame, i, startIndex), frameNames[i], scale, frames)) return giveUp(0);
    }
    if (std::fseek(file, static_cast<long>(first), SEEK_SET) != 0) return giveUp(0);
    const bool written = WriteAll(file, frames);
    delete[] frameVertices;
    frameVertices = nullptr;
    delete[] frameFaces;
    frameFaces = nullptr;
    if (std::fclose(file) != 0 || !written) {
        if (created) RemoveHostFile(path);
        engine.LatchError("Could not write the model's frames", kFileError);
        return 0;
    }
    return 1;
}
