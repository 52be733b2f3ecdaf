// Mesh capture: the collected nodes' triangle meshes at one host time, copied
// one after another into one pair of flat vertex and face arrays.
#include <cstdint>
#include <cstdio>
#include <limits>
#include <memory>
#include <new>

#include "core/model_exporter.h"

namespace {

constexpr const char* kRangeText = "Mesh range invalid";
constexpr const char* kNoMeshText = "Unable to get mesh from node pointer";
constexpr const char* kParameterCaption = "Internal Parameter Error";
constexpr const char* kMemoryText = "Cannot get memory for mesh data";
constexpr const char* kMemoryCaption = "Memory Error";
constexpr const char* kFlagMemoryText = "Cannot get face or vertex flag data";
constexpr const char* kFlagMemoryCaption = "Internal program Error";
constexpr const char* kSceneCaption = "Scene Error";

// p.x * r0 + p.y * r1 + p.z * r2 + r3, in single precision.
Point3 ToWorld(const Matrix3& tm, const Point3& p) {
    const Point3 axes = VectorTransform(tm, p);
    const Point3& r3 = tm.row[3];
    return Point3(axes.x + r3.x, axes.y + r3.y, axes.z + r3.z);
}

// Corner k of face f of a mesh with texture vertices takes u and v of texture
// vertex k of texture face f; clamping runs over all six values before snapping.
void CornerUVs(const Mesh& mesh, int f, int32_t options, float u[3], float v[3]) {
    const TVFace& tf = mesh.tvFace[static_cast<size_t>(f)];
    for (int k = 0; k < 3; ++k) {
        const Point3& tv = mesh.tVerts[tf.t[k]];
        u[k] = tv.x;
        v[k] = tv.y;
    }
    if (!(options & (CAPTURE_CLAMP_UV | CAPTURE_SNAP_UV))) return;
    float* const values[6] = {&u[0], &v[0], &u[1], &v[1], &u[2], &v[2]};
    if (options & CAPTURE_CLAMP_UV) {
        for (float* x : values) {
            if (*x > 1.0) *x = 1.0f;
        }
        for (float* x : values) {
            if (!(*x >= 0.0)) *x = 0.0f;  // NaN too
        }
    }
    if (options & CAPTURE_SNAP_UV) {
        for (float* x : values) *x = (*x > 0.5) ? 1.0f : 0.0f;  // NaN is not above 0.5
    }
}

void CopyFlags(const FlagBlock& block, ExportRecordHead& head) {
    head.flagMask = block.flagMask;
    for (int i = 0; i < 8; ++i) head.flagValues[i] = block.flagValues[i];
}

// A bad host mesh must not make the capture read outside its arrays, nor
// leave corner indices that point outside the node's vertices for later
// stages to follow: such a mesh fails the capture with a reason naming the
// node and the face, before anything of the node is written.
bool CheckMeshIndices(const Mesh& mesh, const char* nodeName, char* text, size_t size) {
    const size_t vertexCount = mesh.verts.size();
    const size_t faceCount = mesh.faces.size();
    const struct {
        bool used;
        const std::vector<TVFace>* faces;
        size_t limit;
        const char* what;
    } channels[] = {
        {mesh.getNumTVerts() > 0, &mesh.tvFace, mesh.tVerts.size(), "texture"},
        {mesh.getNumVertCol() > 0, &mesh.vcFace, mesh.vertCol.size(), "colour"},
    };
    for (size_t f = 0; f < faceCount; ++f) {
        for (uint32_t index : mesh.faces[f].v) {
            if (index >= vertexCount) {
                std::snprintf(text, size, "Face %zu of node %s has a vertex index out of range", f, nodeName);
                return false;
            }
        }
    }
    for (const auto& c : channels) {
        if (!c.used) continue;
        if (c.faces->size() < faceCount) {
            std::snprintf(text, size, "Node %s has fewer %s faces than faces", nodeName, c.what);
            return false;
        }
        for (size_t f = 0; f < faceCount; ++f) {
            for (uint32_t index : (*c.faces)[f].t) {
                if (index >= c.limit) {
                    std::snprintf(text, size, "Face %zu of node %s has a %s vertex index out of range", f, nodeName,
                                  c.what);
                    return false;
                }
            }
        }
    }
    return true;
}

// Node face records from mesh's faces: corners numbered from V (the node's
// first vertex record), flags, smoothing group, the bitmap of each face's
// material and its corners' texture coordinates and colours.
void FillFaces(ModelExporter& engine, INode* node, const Mesh& mesh, int32_t options, int64_t V,
               const FlagBlock* faceBlocks, ExportFace* out) {
    const bool split = (options & CAPTURE_SPLIT_CORNERS) != 0;
    const bool hasUVs = mesh.getNumTVerts() > 0;
    const bool hasColours = mesh.getNumVertCol() > 0;
    // Faces in a row with one material id name the same bitmap: the
    // material is looked up again only when the id changes.
    uint32_t lastMatId = 0;
    const char* lastName = nullptr;
    for (int f = 0; f < mesh.getNumFaces(); ++f) {
        const Face& hostFace = mesh.faces[static_cast<size_t>(f)];
        ExportFace& face = out[f];
        for (int k = 0; k < 3; ++k) {
            face.vertexIndex[k] = static_cast<uint32_t>(split ? V + 3 * f + k : V + hostFace.v[k]);
        }
        if (options & CAPTURE_FACE_FLAGS) CopyFlags(faceBlocks[f], face.head);
        face.smoothGroup = hostFace.smGroup;
        if (f == 0 || hostFace.getMatID() != lastMatId) {
            lastMatId = hostFace.getMatID();
            lastName = nullptr;
            engine.GetFaceMapName(node, lastMatId, &lastName);
        }
        face.fileName = lastName;
        if (hasUVs) CornerUVs(mesh, f, options, face.u, face.v);
        if (hasColours) {
            const TVFace& cf = mesh.vcFace[static_cast<size_t>(f)];
            for (int k = 0; k < 3; ++k) {
                const Point3& colour = mesh.vertCol[cf.t[k]];
                face.red[k] = colour.x;
                face.green[k] = colour.y;
                face.blue[k] = colour.z;
            }
        }
    }
}

// Node vertex records: one per mesh vertex, or with CAPTURE_SPLIT_CORNERS one
// per face corner carrying the corner's texture coordinates.
void FillVertices(const Mesh& mesh, const Matrix3& tm, int32_t options, const FlagBlock* vertexBlocks,
                  ExportVertex* out) {
    const bool hasUVs = mesh.getNumTVerts() > 0;
    auto fillVertex = [&](ExportVertex& record, uint32_t j) {
        const Point3& p = mesh.verts[j];
        const Point3 q = (options & CAPTURE_WORLD_SPACE) ? ToWorld(tm, p) : p;
        record.x = q.x;
        record.y = q.y;
        record.z = q.z;
        if (options & CAPTURE_VERTEX_FLAGS) CopyFlags(vertexBlocks[j], record.head);
    };
    if (!(options & CAPTURE_SPLIT_CORNERS)) {
        for (int j = 0; j < mesh.getNumVerts(); ++j) fillVertex(out[j], static_cast<uint32_t>(j));
        return;
    }
    for (int f = 0; f < mesh.getNumFaces(); ++f) {
        float u[3] = {0.0f, 0.0f, 0.0f};
        float v[3] = {0.0f, 0.0f, 0.0f};
        if (hasUVs) CornerUVs(mesh, f, options, u, v);
        for (int k = 0; k < 3; ++k) {
            ExportVertex& record = out[3 * f + k];
            fillVertex(record, mesh.faces[static_cast<size_t>(f)].v[k]);
            if (hasUVs) {
                record.u = u[k];
                record.v = v[k];
            }
        }
    }
}

}  // namespace

int ModelExporter::CaptureMeshes(int32_t first, uint32_t count, ExportVertex** vertices, ExportFace** faces,
                                 int32_t* vertexCount, int32_t* faceCount, int32_t options, TimeValue t) {
    // In 64 bits, so that no first + count wraps around into range.
    const uint64_t end = uint64_t{static_cast<uint32_t>(first)} + count;
    if (end > static_cast<uint64_t>(static_cast<uint32_t>(nodeCount)) || (count && !nodes)) {
        LatchError(kRangeText, kParameterCaption);
        return 0;
    }
    const bool split = (options & CAPTURE_SPLIT_CORNERS) != 0;
    const bool flags = (options & (CAPTURE_FACE_FLAGS | CAPTURE_VERTEX_FLAGS)) != 0;

    auto noMemory = [&]() {
        *vertices = nullptr;
        *faces = nullptr;
        LatchError(kMemoryText, kMemoryCaption);
        return 0;
    };

    // Counting pass. Totals that do not fit the counts cannot be allocated either.
    constexpr int64_t kMaxRecords = std::numeric_limits<int32_t>::max();
    int64_t totalVertices = 0;
    int64_t totalFaces = 0;
    *vertexCount = 0;
    *faceCount = 0;
    for (uint64_t i = static_cast<uint32_t>(first); i < end; ++i) {
        NodeMesh mesh = GetNodeMesh(nodes[i], t);
        if (!mesh) {
            LatchError(kNoMeshText, kParameterCaption);
            return 0;
        }
        totalFaces += mesh->getNumFaces();
        totalVertices += mesh->getNumVerts();
        if (totalFaces > kMaxRecords || totalVertices > kMaxRecords) return noMemory();
        *faceCount = static_cast<int32_t>(totalFaces);
        *vertexCount = static_cast<int32_t>(totalVertices);
    }
    if (split) {
        totalVertices = 3 * totalFaces;
        if (totalVertices > kMaxRecords) return noMemory();
        *vertexCount = static_cast<int32_t>(totalVertices);
    }

    const bool keepFaces = (options & CAPTURE_VERTICES_ONLY) == 0;
    ExportVertex* vertexArray = new (std::nothrow) ExportVertex[static_cast<size_t>(totalVertices)]();
    ExportFace* faceArray = keepFaces ? new (std::nothrow) ExportFace[static_cast<size_t>(totalFaces)]() : nullptr;
    if (!vertexArray || (keepFaces && !faceArray)) {
        delete[] vertexArray;
        delete[] faceArray;
        return noMemory();
    }
    *vertices = vertexArray;
    *faces = faceArray;

    // Fill pass: the counts are now the bases of the current node.
    int64_t V = 0;
    int64_t F = 0;
    *vertexCount = 0;
    *faceCount = 0;
    for (uint64_t i = static_cast<uint32_t>(first); i < end; ++i) {
        INode* node = nodes[i];
        NodeMesh nodeMesh = GetNodeMesh(node, t);
        if (!nodeMesh) {
            LatchError(kNoMeshText, kParameterCaption);
            return 0;
        }
        const Mesh& mesh = *nodeMesh.get();
        const int nv = mesh.getNumVerts();
        const int nf = mesh.getNumFaces();
        // The arrays were sized by the counting pass. A host that gives this
        // node more than is left of them has changed its counts since: fail as
        // for a node without a mesh rather than write beyond the arrays.
        const int64_t nodeVertices = split ? 3 * int64_t{nf} : nv;
        if (F + nf > totalFaces || V + nodeVertices > totalVertices) {
            LatchError(kNoMeshText, kParameterCaption);
            return 0;
        }
        char text[256];
        const char* nodeName = node->GetName();
        if (!CheckMeshIndices(mesh, nodeName ? nodeName : "", text, sizeof text)) {
            LatchError(text, kSceneCaption);
            return 0;
        }

        std::unique_ptr<FlagBlock[]> faceBlocks;
        std::unique_ptr<FlagBlock[]> vertexBlocks;
        if (flags) {
            faceBlocks.reset(new (std::nothrow) FlagBlock[static_cast<size_t>(nf)]());
            vertexBlocks.reset(new (std::nothrow) FlagBlock[static_cast<size_t>(nv)]());
            if (!faceBlocks || !vertexBlocks) {
                LatchError(kFlagMemoryText, kFlagMemoryCaption);
                return 0;
            }
            ReadNodeFlags(node, nv, vertexBlocks.get(), nf, faceBlocks.get());
        }

        const Matrix3 tm = node->GetObjectTM(t, nullptr);
        if (keepFaces) FillFaces(*this, node, mesh, options, V, faceBlocks.get(), faceArray + F);
        F += nf;
        *faceCount = static_cast<int32_t>(F);
        FillVertices(mesh, tm, options, vertexBlocks.get(), vertexArray + V);
        V += nodeVertices;
        *vertexCount = static_cast<int32_t>(V);
    }

    // Nodes that shrank since the counting pass: the records behind the counts
    // were never filled, so the capture is not what was counted.
    if (V != totalVertices || F != totalFaces) {
        LatchError(kNoMeshText, kParameterCaption);
        return 0;
    }
    return 1;
}

NodeMesh ModelExporter::GetNodeMesh(INode* node, TimeValue t) {
    if (!node) return NodeMesh();
    const ObjectState state = node->EvalWorldState(t, 1);
    Object* evaluated = state.obj;
    if (!evaluated || !evaluated->CanConvertToType(triObjectClassID)) return NodeMesh();
    // The conversion's time is 0 whatever t is: the evaluated object is already at t.
    Object* converted = evaluated->ConvertToType(0, triObjectClassID);
    if (!converted) return NodeMesh();
    Object* created = converted != evaluated ? converted : nullptr;
    auto* tri = dynamic_cast<TriObject*>(converted);
    if (!tri) {
        if (created) created->DeleteThis();
        return NodeMesh();
    }
    return NodeMesh(&tri->GetMesh(), created);
}

int ModelExporter::GetFaceMapName(INode* node, uint32_t materialId, const char** name) {
    Mtl* material = node ? node->GetMtl() : nullptr;
    if (!material) return 0;
    const int subCount = material->NumSubMtls();
    if (subCount > 0) {
        material = material->GetSubMtl(static_cast<int>(materialId % static_cast<uint32_t>(subCount)));
        if (!material) return 0;
    }
    Texmap* map = material->GetSubTexmap(ID_DI);
    if (!map || map->ClassID() != bitmapTexClassID) return 0;
    // Only a real bitmap texture's file name is read.
    auto* bitmap = dynamic_cast<BitmapTex*>(map);
    if (!bitmap || !name) return 0;
    *name = bitmap->GetMapName();
    return 1;
}
