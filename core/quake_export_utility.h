// QuakeExportUtility: the one utility object. It owns every buffer of an export,
// the frame-name table and the export engine, and it is what the host opens as
// the utility. Its operations live beside the stages they belong to: the driver
// in export/, the model writer and frame import in model/, the skin writers in
// skin/, the panel in shell/.
#pragma once

#include <cstdint>
#include <cstdio>
#include <vector>

#include "core/export_records.h"
#include "core/model_exporter.h"
#include "platform/export_report.h"
#include "platform/host_sdk.h"

// Size of the path buffers the Save As dialog fills.
constexpr int kPathBufferSize = MAX_PATH;
// Size of the panel's text buffers (skin name, scale).
constexpr int kTextBufferSize = kPanelTextCapacity;

// The Save As dialog's filter and title, shared by the export and the import.
extern const char kModelFileFilter[];  // "Quake models (*.md2)\0*.md2\0"
extern const char kSaveModelTitle[];   // "Save Quake Model"

class QuakeExportUtility : public UtilityObj {
public:
    QuakeExportUtility();
    ~QuakeExportUtility() override;
    QuakeExportUtility(const QuakeExportUtility&) = delete;
    QuakeExportUtility& operator=(const QuakeExportUtility&) = delete;

    // --- Host-facing operations (the panel) ---------------------------------
    void BeginEditParams(Interface* ip, IUtil* iu) override;
    void EndEditParams(Interface* ip, IUtil* iu) override;
    void SelectionSetChanged(Interface* ip, IUtil* iu) override;
    void DeleteThis() override;
    void SetStartupParam(CStr param) override;

    // --- Export driver ------------------------------------------------------
    // skinName: the panel's writable buffer of kTextBufferSize bytes.
    int RunExport(char* skinName, int saveBmp, int savePcx, uint32_t firstFrame,
                  int32_t startIndex, int32_t endIndex, float scale);
    // Shows Save As; on success path (kPathBufferSize bytes) holds the chosen
    // name cut at its first ".".
    int AskSaveFileName(HWND owner, char* path, const char* filter, const char* title);
    // Frees vertices, faces, textures, skinBuffer and skinIndexBuffer, in that
    // order, then the frame capture's scratch buffers a failed write may leave.
    void ReleaseExportBuffers();

    // --- Model files --------------------------------------------------------
    // path: writable, kPathBufferSize bytes, without extension.
    int SaveModel(char* path, int32_t startIndex, int32_t endIndex, uint32_t firstFrame, float scale);
    int WriteNewModel(char* path, float scale);
    // Captures the meshes at t and appends one frame (40 + 4 x vertexCount bytes)
    // named name to out; 0, with out unchanged, when the capture fails or gives
    // other counts than the time-0 capture.
    int EncodeFrame(TimeValue t, const char* name, float scale, std::vector<uint8_t>& out);
    // EncodeFrame written at the file's current position.
    int WriteFrame(std::FILE* file, TimeValue t, const char* name, float scale);
    int ImportFrameNames(char* path);

    // --- Skin ---------------------------------------------------------------
    // Allocates skinBuffer for skinWidth x skinHeight and copies every placed
    // texture's used region into it; 0 when the buffer cannot be had.
    int ComposeSkin();
    int QuantizeSkin();
    // skinName: writable, kTextBufferSize bytes; its extension is replaced in place.
    int WritePcxSkin(char* skinName);
    int WriteBmpSkin(char* skinName);

    // Bytes per row of the 24-bit skin for a width.
    static int32_t SkinStride(int32_t width) { return ((width + 1) * 3) & ~3; }

    // --- Reports to the host's log (platform/export_report.h) ----------------
    void ReportWritten(const char* prefix, const char* path);
    // The engine's latched reason, when one is set.
    void ReportLatchedReason();

    // Fields, in the design's order.
    ModelExporter engine;
    IUtil* utilPanel = nullptr;
    Interface* hostInterface = nullptr;
    HWND panelWindow = nullptr;
    FrameNameSlots frameNames;
    int32_t frameCount = 0;
    ExportVertex* vertices = nullptr;
    ExportFace* faces = nullptr;
    TextureRecord* textures = nullptr;
    uint8_t* skinBuffer = nullptr;
    uint8_t* skinIndexBuffer = nullptr;
    int32_t vertexCount = 0;
    int32_t faceCount = 0;
    int32_t textureCount = 0;
    int32_t skinWidth = 0;
    int32_t skinHeight = 0;
    // Set by SaveModel: 1 when it rewrote frames of a model that existed.
    int32_t modelUpdated = 0;

    // The model writer's per-frame capture, released before each capture and
    // when the file is done.
    ExportVertex* frameVertices = nullptr;
    ExportFace* frameFaces = nullptr;
};
