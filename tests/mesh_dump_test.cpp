// The text listing of the captured mesh.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <string>

#include "core/model_exporter.h"
#include "support/scratch_folder.h"

namespace {

ExportVertex Vertex(float x, float y, float z, float u = 0.0f, float v = 0.0f) {
    ExportVertex vertex;
    vertex.x = x;
    vertex.y = y;
    vertex.z = z;
    vertex.u = u;
    vertex.v = v;
    return vertex;
}

TEST(DumpMeshText, ListsEveryVertexAndFaceWithItsBitmap) {
    SKIP_WITHOUT_DRIVE_MAPPING();
    ScratchFolder folder;
    ASSERT_FALSE(folder.path().empty());
    const ExportVertex vertices[] = {Vertex(1.0f, -2.5f, 0.0f, 0.5f, 1.0f), Vertex(123456.5f, 0.25f, -0.000001f),
                                     Vertex(-1000.0f, 3.0f, 7.125f, -0.25f)};
    TextureRecord record;
    std::strcpy(record.image.baseName, "skin.bmp");
    ExportFace faces[2];
    const uint32_t corners[2][3] = {{0, 2, 1}, {2, 1, 0}};
    for (int f = 0; f < 2; ++f) std::memcpy(faces[f].vertexIndex, corners[f], sizeof corners[f]);
    faces[1].texture = &record;  // face 0 has no bitmap, and no material line

    ModelExporter engine;
    ASSERT_NE(engine.DumpMeshText("C:\\tris.asc", vertices, 3, faces, 2), 0);
    const std::vector<unsigned char> text = folder.Read("tris.asc");
    EXPECT_EQ(std::string(text.begin(), text.end()),
              "Named object: \"C:\\tris.asc\"\r\n"
              "Tri-mesh, Vertices: 3          Faces: 2\r\n"
              "Vertex list:\r\n"
              "Vertex 0:  X:    1.000000 Y:   -2.500000 Z:    0.000000 U:0.500000 V:1.000000\r\n"
              "Vertex 1:  X:123456.500000 Y:    0.250000 Z:   -0.000001 U:0.000000 V:0.000000\r\n"
              "Vertex 2:  X:-1000.000000 Y:    3.000000 Z:    7.125000 U:-0.250000 V:0.000000\r\n"
              "Face list:\r\n"
              "Face 0:  A:0 B:2 C:1 AB:1 BC:1 CA:1\r\n"
              "Face 1:  A:2 B:1 C:0 AB:1 BC:1 CA:1\r\n"
              "Material:\"skin.bmp\"\r\n");
    EXPECT_EQ(engine.errorSet, 0);
}

TEST(DumpMeshText, AnUnopenablePathLatchesItsReason) {
    SKIP_WITHOUT_DRIVE_MAPPING();
    ScratchFolder folder;
    ModelExporter engine;
    EXPECT_EQ(engine.DumpMeshText("C:\\no such folder\\tris.asc", nullptr, 0, nullptr, 0), 0);
    EXPECT_STREQ(engine.errorText, "Could not open C:\\no such folder\\tris.asc for writing: No such file or directory");
    EXPECT_STREQ(engine.errorCaption, "File Error");

    // A path too long for the message is cut with the message, safely.
    ModelExporter second;
    const std::string longPath = "C:\\missing\\" + std::string(300, 'p');
    EXPECT_EQ(second.DumpMeshText(longPath.c_str(), nullptr, 0, nullptr, 0), 0);
    EXPECT_EQ(std::string(second.errorText), ("Could not open " + longPath).substr(0, 255));
}

}  // namespace
