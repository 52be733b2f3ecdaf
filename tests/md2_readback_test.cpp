// A written model read back by an independent reader: the asset-import
// library's MD2 loader, which decodes the first frame.
#include <gtest/gtest.h>

#include <assimp/Importer.hpp>
#include <assimp/scene.h>

#include <cmath>
#include <cstdio>

#include "core/quake_export_utility.h"
#include "support/quad_scene.h"
#include "support/test_files.h"

namespace {

TEST(Md2Readback, IndependentLoaderSeesTheExportedMesh) {
    testing_scenes::QuadScene quad;
    QuakeExportUtility utility;
    testing_scenes::PrepareExport(utility, *quad.host);
    testing_files::TempDir dir;
    char path[kPathBufferSize];
    std::snprintf(path, sizeof path, "%s", (dir / "quad").c_str());
    ASSERT_EQ(utility.SaveModel(path, 0, utility.frameCount - 1, 0, 1.0f), 1);

    Assimp::Importer importer;
    const aiScene* scene = importer.ReadFile(dir / "quad.md2", 0);
    ASSERT_NE(scene, nullptr) << importer.GetErrorString();
    ASSERT_EQ(scene->mNumMeshes, 1u);
    const aiMesh* mesh = scene->mMeshes[0];
    ASSERT_EQ(mesh->mNumFaces, 2u);
    ASSERT_TRUE(mesh->HasTextureCoords(0));

    // The loader un-indexes the triangles, one vertex per corner, and reverses
    // the file's corner order (0, 2, 1): its corners 0, 1, 2 are the export's
    // corners 1, 2, 0. Frame 0 turns (x, y, z) into (-y, x, z); the page maps u
    // to 8 + 64u and v to 4 + 32v of a 72 x 36 skin, and the loader flips v.
    const float turned[4][3] = {{0, 0, 0}, {0, 10, 0}, {-20, 10, 0}, {-20, 0, 0}};
    for (unsigned f = 0; f < mesh->mNumFaces; ++f) {
        ASSERT_EQ(mesh->mFaces[f].mNumIndices, 3u);
        for (unsigned k = 0; k < 3; ++k) {
            const unsigned corner = (k + 1) % 3;
            const unsigned index = mesh->mFaces[f].mIndices[k];
            const uint32_t vertex = utility.faces[f].vertexIndex[corner];
            SCOPED_TRACE(::testing::Message() << "face " << f << " corner " << k);
            for (int a = 0; a < 3; ++a) EXPECT_NEAR(mesh->mVertices[index][a], turned[vertex][a], 0.1f);
            const aiVector3D uv = mesh->mTextureCoords[0][index];
            EXPECT_NEAR(uv.x, (8 + 64 * utility.faces[f].u[corner]) / 72, 1e-4);
            EXPECT_NEAR(uv.y, 1 - (4 + 32 * utility.faces[f].v[corner]) / 36, 1e-4);
        }
    }
}

}  // namespace
