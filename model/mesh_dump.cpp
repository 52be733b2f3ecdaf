// The mesh of an export as a 3D Studio ASCII listing, a by-product for
// inspecting what was captured.
#include <cstdio>

#include "core/model_exporter.h"
#include "platform/file_access.h"

// Lists vertexCount vertices and faceCount faces (each face's bitmap by its base
// name) at path in text mode. 0, with the reason latched, when the file cannot
// be opened or written whole (the listing before it then stays).
int ModelExporter::DumpMeshText(const char* path, const ExportVertex* vertices, int32_t vertexCount,
                                const ExportFace* faces, int32_t faceCount) {
    std::FILE* file = OpenHostFile(path, "wt");
    if (!file) {
        LatchFileFailure("Could not open %s for writing", path);
        return 0;
    }
    std::fprintf(file, "Named object: \"%s\"\n", path);
    std::fprintf(file, "Tri-mesh, Vertices: %d          Faces: %d\n", vertexCount, faceCount);
    std::fprintf(file, "Vertex list:\n");
    for (int32_t i = 0; i < vertexCount; ++i) {
        const ExportVertex& v = vertices[i];
        std::fprintf(file, "Vertex %d:  X:%12.6f Y:%12.6f Z:%12.6f U:%8.6f V:%8.6f\n", i, static_cast<double>(v.x),
                     static_cast<double>(v.y), static_cast<double>(v.z), static_cast<double>(v.u),
                     static_cast<double>(v.v));
    }
    std::fprintf(file, "Face list:\n");
    for (int32_t j = 0; j < faceCount; ++j) {
        const ExportFace& f = faces[j];
        // Indices print as the signed numbers the listing's format expects.
        std::fprintf(file, "Face %d:  A:%d B:%d C:%d AB:1 BC:1 CA:1\n", j, static_cast<int>(f.vertexIndex[0]),
                     static_cast<int>(f.vertexIndex[1]), static_cast<int>(f.vertexIndex[2]));
        if (f.texture) std::fprintf(file, "Material:\"%s\"\n", f.texture->image.Name());
    }
    if (!CloseWrittenFile(file)) {
        LatchFileFailure("Could not write %s", path);
        return 0;
    }
    return 1;
}
