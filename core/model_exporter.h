// ModelExporter: the export engine. It keeps the collected node list and the
// error latch, and every stage below the driver is one of its operations.
//
// Stages return 1 on success and 0 on failure; a failing stage latches its own
// reason (text, caption) and shows nothing.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>

#include "core/export_records.h"
#include "platform/host_sdk.h"

// Node test bits: what CollectNodes asks of a node.
enum : int32_t {
    NODE_SUPER_CLASS_MATCH = 1,  // evaluated object's super-class number is 0x30
    NODE_TRI_MESH = 2,           // evaluated object converts to a triangle mesh
    NODE_HAS_MATERIAL = 4,
    NODE_SELECTED = 8,
};
constexpr int32_t NODE_STORE = static_cast<int32_t>(0x80000000u);  // walk control: store, not only count

// Capture options.
enum : int32_t {
    CAPTURE_SPLIT_CORNERS = 1,
    CAPTURE_WORLD_SPACE = 2,
    CAPTURE_FACE_FLAGS = 4,
    CAPTURE_VERTEX_FLAGS = 8,
    CAPTURE_CLAMP_UV = 16,
    CAPTURE_SNAP_UV = 32,
    // Faces are counted and checked but not kept (the face array comes back
    // null): what the model writer needs of every frame is the positions.
    CAPTURE_VERTICES_ONLY = 64,
};

// Texture collection options.
enum : int32_t {
    COLLECT_SORT = 1,
    COLLECT_MERGE = 2,
    COLLECT_LOAD = 4,
    COLLECT_TIM_POSITION = 8,
};

// MatchFaceTextures option: also measure each record's UV range.
constexpr int32_t MATCH_UV_RANGE = 1;

// BlitRegion destination formats; the first bit present in this order decides.
enum : int32_t {
    BLIT_INDEX8 = 1,
    BLIT_INDEX4 = 2,
    BLIT_RGB24 = 4,
    BLIT_BGR24 = 8,
};

// A BlitRegion region whose four bounds AND to this means the whole image.
constexpr int32_t BLIT_WHOLE_IMAGE = 0xFFFF;

// A node's triangle mesh at one time. Owns, and releases when it goes, the
// triangle-mesh object a conversion created.
class NodeMesh {
public:
    NodeMesh() = default;
    NodeMesh(Mesh* mesh, Object* created) : mesh_(mesh), created_(created) {}
    ~NodeMesh();
    NodeMesh(NodeMesh&& other) noexcept;
    NodeMesh& operator=(NodeMesh&& other) noexcept;
    NodeMesh(const NodeMesh&) = delete;
    NodeMesh& operator=(const NodeMesh&) = delete;

    Mesh* get() const { return mesh_; }
    Mesh* operator->() const { return mesh_; }
    explicit operator bool() const { return mesh_ != nullptr; }

private:
    Mesh* mesh_ = nullptr;
    Object* created_ = nullptr;
};

class ModelExporter {
public:
    static constexpr int kErrorTextSize = 256;
    static constexpr int kErrorCaptionSize = 512;

    ModelExporter();
    ~ModelExporter();
    ModelExporter(const ModelExporter&) = delete;
    ModelExporter& operator=(const ModelExporter&) = delete;

    // Keeps the first reason only: later calls do nothing. Text is cut to 255
    // characters, the caption to 511.
    void LatchError(const char* text, const char* caption);
    // Latches a failed file, caption "File Error": format with its %s the
    // path, then the system's reason from the file door.
    void LatchFileFailure(const char* format, const char* path);

    // --- Node collection ----------------------------------------------------
    // Lists, in pre-order, the nodes that have every property in bits. 0 only
    // when the list cannot be allocated (the list is then empty).
    int CollectNodes(Interface* ip, int32_t bits);
    void WalkNodes(INode* node, int32_t bits);
    void TestNode(INode* node, int32_t bits);

    // --- Mesh capture -------------------------------------------------------
    // Captures nodes[first .. first+count-1] at time t into freshly allocated
    // arrays (whatever the out-parameters held is overwritten, not freed).
    int CaptureMeshes(int32_t first, uint32_t count, ExportVertex** vertices, ExportFace** faces,
                      int32_t* vertexCount, int32_t* faceCount, int32_t options, TimeValue t);
    NodeMesh GetNodeMesh(INode* node, TimeValue t);
    // Stores the host's file name of the face's diffuse bitmap; 0 (nothing stored) without one.
    int GetFaceMapName(INode* node, uint32_t materialId, const char** name);

    // --- Vertex and face flags ----------------------------------------------
    void ReadNodeFlags(INode* node, int32_t vertexCount, FlagBlock* vertexBlocks,
                       int32_t faceCount, FlagBlock* faceBlocks);

    // --- Texture collection -------------------------------------------------
    // One record per material bitmap of the collected nodes. *records is written
    // as soon as the array exists; *count only on success.
    int CollectTextures(TextureRecord** records, int32_t* count, int32_t options);
    // Cuts name at its first "." and appends "." and extension; name holds capacity bytes.
    static int ReplaceExtension(char* name, size_t capacity, const char* extension);
    int ReadTimPosition(TextureRecord* record);

    // --- Texture placement --------------------------------------------------
    int MatchFaceTextures(TextureRecord* records, int32_t recordCount, ExportFace* faces,
                          int32_t faceCount, int32_t options);
    int PlaceTextures(TextureRecord* records, int32_t recordCount, int32_t page,
                      int32_t pageWidth, int32_t pageHeight);

    // --- Skin composition ---------------------------------------------------
    // Copies source columns x0..x1-1, rows y0..y1-1 of image to (dstX, dstY) of
    // a buffer of destinationSize bytes and stride bytes per row. Writes that
    // would fall outside the buffer are skipped.
    int BlitRegion(const BitmapImage& image, uint8_t* destination, size_t destinationSize,
                   int32_t stride, int32_t dstX, int32_t dstY, int32_t format,
                   int32_t x0, int32_t x1, int32_t y0, int32_t y1);

    // --- Mesh text dump -----------------------------------------------------
    int DumpMeshText(const char* path, const ExportVertex* vertices, int32_t vertexCount,
                     const ExportFace* faces, int32_t faceCount);

    char errorText[kErrorTextSize];
    char errorCaption[kErrorCaptionSize];
    int32_t errorSet = 0;
    INode** nodes = nullptr;
    int32_t nodeCount = 0;
    // Slots allocated in nodes: a host that answers differently in the store
    // pass than in the counting pass can never make the list overflow.
    int32_t nodeCapacity = 0;
};
