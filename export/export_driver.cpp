// The export driver: one press of "Save md2", from the Save As dialog to the
// last file. Each stage failure that stops the export becomes one fixed message
// box; the stage's own reason stays in the engine's latch.

#include <cmath>
#include <cstddef>
#include <cstring>

#include "core/output_name.h"
#include "core/quake_export_utility.h"
#include "platform/export_report.h"

namespace {

// Where every export's text listing of the mesh goes.
constexpr char kMeshDumpPath[] = "C:\\tris.asc";

constexpr int32_t kSkinPageSize = 480;

struct DriverFailure {
    const char* text;
    const char* caption;
};

constexpr DriverFailure kCannotGetMesh = {"Cannot get mesh", "Scene Error"};
constexpr DriverFailure kNothingToSave = {"Nothing to save. \n(Are all objects to save selected and mapped?)",
                                          "Scene Error"};
constexpr DriverFailure kCannotLoadTextures = {"Cannot load all Textures...\nAre they all .BMP?", "Scene Error"};
constexpr DriverFailure kCannotPlaceTextures = {"Unable to place all textures in specified texture size",
                                                "Buffer to small"};
constexpr DriverFailure kCannotSaveModel = {
    "Cannot save model.\n(Is existing model of same vertex and face count?)", "File Error"};
constexpr DriverFailure kNoTextureMemory = {"Cannot allocate memory for texture buffer", "Memory Error"};
constexpr DriverFailure kNoPcxMemory = {"Cannot allocate memory for PCX buffer", "Memory Error"};
constexpr DriverFailure kCannotSavePcx = {"Cannot save PCX image", "File Error"};

// trunc(size x extent), single precision; out-of-range values give 0.
int32_t TruncatedSpan(int32_t size, float extent) {
    const float v = static_cast<float>(size) * extent;
    if (!(v > -2147483648.0f && v < 2147483648.0f)) return 0;
    return static_cast<int32_t>(v);
}

}  // namespace

#if defined(_WIN32) && !defined(_WIN64)
// The host's era knew the structure without the members Windows 2000 added:
// OPENFILENAME_SIZE_VERSION_400A, whose own macro is no constant expression.
static_assert(offsetof(OPENFILENAMEA, lpTemplateName) + sizeof(LPCSTR) == 76,
              "the version-400 Save As structure is 76 bytes");
#endif

int QuakeExportUtility::AskSaveFileName(HWND owner, char* path, const char* filter, const char* title) {
    OPENFILENAMEA ofn;
    std::memset(&ofn, 0, sizeof ofn);
    ofn.lStructSize = OPENFILENAME_SIZE_VERSION_400A;
    ofn.hwndOwner = owner;
    ofn.lpstrFilter = filter;
    path[0] = '\0';
    ofn.lpstrFile = path;
    ofn.nMaxFile = kPathBufferSize;
    ofn.lpstrTitle = title;
    ofn.Flags = 0;
    if (!GetSaveFileNameA(&ofn)) return 0;
    path[kPathBufferSize - 1] = '\0';
    CutAtFirstDot(path);
    return 1;
}

int QuakeExportUtility::RunExport(char* skinName, int saveBmp, int savePcx, uint32_t firstFrame,
                                  int32_t startIndex, int32_t endIndex, float scale) {
    auto fail = [this](const DriverFailure& failure) {
        MessageBoxA(panelWindow, failure.text, failure.caption, MB_OK);
        ReportLatchedReason();
        ReleaseExportBuffers();
        return 0;
    };

    char path[kPathBufferSize];
    if (!AskSaveFileName(panelWindow, path, kModelFileFilter, kSaveModelTitle)) return 0;

    engine.CollectNodes(hostInterface, NODE_SELECTED | NODE_HAS_MATERIAL);

    if (!engine.CaptureMeshes(0, static_cast<uint32_t>(engine.nodeCount), &vertices, &faces, &vertexCount,
                              &faceCount, CAPTURE_WORLD_SPACE, 0)) {
        return fail(kCannotGetMesh);
    }
    if (engine.nodeCount == 0) return fail(kNothingToSave);

    if (!engine.CollectTextures(&textures, &textureCount, COLLECT_SORT | COLLECT_MERGE | COLLECT_LOAD)) {
        return fail(kCannotLoadTextures);
    }

    engine.MatchFaceTextures(textures, textureCount, faces, faceCount, MATCH_UV_RANGE);

    for (int32_t i = 0; i < textureCount; ++i) {
        TextureRecord& r = textures[i];
        r.placeWidth = TruncatedSpan(r.image.Width(), r.uMax - r.uMin);
        r.placeHeight = TruncatedSpan(r.image.Height(), r.vMax - r.vMin);
    }

    skinWidth = kSkinPageSize;
    skinHeight = kSkinPageSize;

    // Page 0 marks exactly the records some face uses.
    for (int32_t i = 0; i < textureCount; ++i) textures[i].SetPageNumber(PAGE_NONE);
    for (int32_t i = 0; i < faceCount; ++i) {
        if (faces[i].texture) faces[i].texture->SetPageNumber(0);
    }

    engine.PlaceTextures(textures, textureCount, 0, skinWidth, skinHeight);

    for (int32_t i = 0; i < textureCount; ++i) {
        if (textures[i].PageNumber() == 0 && !textures[i].IsPlaced()) return fail(kCannotPlaceTextures);
    }

    skinWidth = 0;
    skinHeight = 0;
    for (int32_t i = 0; i < textureCount; ++i) {
        const TextureRecord& r = textures[i];
        if (r.placeX + r.placeWidth > skinWidth) skinWidth = r.placeX + r.placeWidth;
        if (r.placeY + r.placeHeight > skinHeight) skinHeight = r.placeY + r.placeHeight;
    }
    skinWidth = (skinWidth + 3) & ~3;

    // The listing and the BMP stop nothing when they fail: their reasons wait
    // in the latch, which the host's log gets at the end.
    if (engine.DumpMeshText(kMeshDumpPath, vertices, vertexCount, faces, faceCount)) {
        ReportWritten(kReportWroteListing, kMeshDumpPath);
    }

    if (!SaveModel(path, startIndex, endIndex, firstFrame, scale)) return fail(kCannotSaveModel);
    ReportWritten(modelUpdated ? kReportUpdatedModel : kReportWroteModel, path);

    if (!ComposeSkin()) return fail(kNoTextureMemory);

    if (saveBmp && WriteBmpSkin(skinName)) ReportWritten(kReportWroteBmpSkin, skinName);

    if (savePcx) {
        if (!QuantizeSkin()) return fail(kNoPcxMemory);
        if (!WritePcxSkin(skinName)) return fail(kCannotSavePcx);
        ReportWritten(kReportWrotePcxSkin, skinName);
    }

    ReportLatchedReason();
    ReleaseExportBuffers();
    return 1;
}
