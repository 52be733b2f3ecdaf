// Loads a scene file with the asset-import library and nothing else, with the
// same settings and post-processing as the stand-in's scene-file loader, so
// that the time md2export takes on the file can be set against the library's
// own share.
//
//     assimp_load_time SCENE_FILE
//
// Prints the counts of what was read; exits 1 when the file cannot be loaded.
#include <assimp/Importer.hpp>
#include <assimp/postprocess.h>
#include <assimp/scene.h>

#include <cstdio>

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: assimp_load_time SCENE_FILE\n");
        return 2;
    }
    Assimp::Importer importer;
    importer.SetPropertyBool(AI_CONFIG_IMPORT_COLLADA_USE_COLLADA_NAMES, true);
    const aiScene* scene = importer.ReadFile(argv[1], aiProcess_Triangulate | aiProcess_JoinIdenticalVertices |
                                                          aiProcess_SortByPType | aiProcess_ValidateDataStructure);
    if (!scene || !scene->mRootNode) {
        std::fprintf(stderr, "assimp_load_time: cannot load %s: %s\n", argv[1], importer.GetErrorString());
        return 1;
    }
    unsigned vertices = 0, faces = 0;
    for (unsigned i = 0; i < scene->mNumMeshes; ++i) {
        vertices += scene->mMeshes[i]->mNumVertices;
        faces += scene->mMeshes[i]->mNumFaces;
    }
    std::printf("%s: %u meshes, %u vertices, %u faces, %u animations, %u materials\n", argv[1], scene->mNumMeshes,
                vertices, faces, scene->mNumAnimations, scene->mNumMaterials);
    return 0;
}
