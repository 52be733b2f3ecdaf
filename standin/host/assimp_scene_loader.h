// Real scene files (glTF, FBX, COLLADA, OBJ and whatever else the Open Asset
// Import Library reads) loaded into the stand-in host, so the exporter sees
// them through the host interface as it would see a scene in the modelling host.
//
// What the exporter finds:
// - the file's node tree under "Scene Root" (the library's own root node is its
//   one child); a node with meshes has an object that converts to ONE triangle
//   mesh, however many pieces the library cut it into (one per material);
// - vertices that the file split only for texture coordinates, normals or
//   colours welded back into one (positions, skin weights and morph positions
//   compared exactly); texture and colour faces carry the per-corner values,
//   v = 0 at the image's bottom row;
// - host axes Z-up, the front of a character towards -Y (so the model writer's
//   quarter turn makes it face +X); one host unit is one metre times
//   `unitsPerMetre` (glTF and COLLADA files are in metres once the library has
//   read them; FBX files say their unit in centimetres ("UnitScaleFactor"); any
//   other file is taken as metres);
// - one animation, evaluated at any host time: node keys, skinning and morph
//   targets (a COLLADA file without animation clips is one timeline that the
//   library hands over in pieces: they play together unless one is named);
// - a material per file material with its diffuse (base colour) texture; a node
//   of several materials gets a multi-material with them as sub-materials;
//   a material without a usable texture is painted: a small picture of its
//   colour, or a strip of the mesh's vertex colours (one cell per face colour);
//   faces without texture coordinates get coordinates inside their texture;
// - texture files found as the modelling host on Windows finds them: names
//   compared without regard to case, '\\' as a separator, and a path that does
//   not exist here looked for by its base name beside the scene file and in the
//   folders beside it;
// - textures the exporter's image readers would misread (or cannot read) decoded
//   and written once as plain uncompressed bottom-up TGA files, and textures
//   too large for the skin page shrunk until the page holds them.
// The file's node tree may nest 256 deep; pictures are sized from their headers
// and refused beyond the bounds of texture_cache.h before they are decoded.
#pragma once

#include <map>
#include <ostream>
#include <string>
#include <vector>

#include "standin/host/standin_scene.h"

namespace standin {

struct AssimpLoadOptions {
    // Scene frames a second; host time t (ticks) is t / (ticks per frame * fps) seconds.
    double framesPerSecond = 30.0;
    // The animation to play: its name, or its index as decimal digits; empty
    // takes the file's first animation (a file without one stands still).
    std::string animation;
    // Shell-style patterns (fnmatch) on node names choosing the selected mesh
    // nodes; empty selects every mesh node.
    std::vector<std::string> select;
    // Mesh nodes whose names match one of these stay unselected all the same
    // (a player's weapon, exported apart from the figure that holds it).
    std::vector<std::string> exclude;
    // Where converted textures go. Empty: "<output dir>/<scene base>.textures"
    // beside outputPath, or beside the scene file when outputPath is empty too.
    std::string textureFolder;
    std::string outputPath;  // the model file the export will write (only its folder is used)
    double unitsPerMetre = 1.0;
    // Shrink textures until the 480 x 480 skin page holds what the export uses.
    bool fitToPage = true;
    int maxTexture = 0;  // above 0: no texture keeps a side larger than this
};

// What happened to one material's diffuse texture.
struct TextureNote {
    std::string material;
    std::string source;      // the file the material names, resolved; "embedded #i" for a picture in the scene file
    std::string found;       // how the file was found ("as named", "by its base name beside the scene file", ...)
    std::string file;        // what the material's bitmap now names
    std::string conversion;  // why it was converted; empty when taken as it is
    std::string problem;     // missing file, undecodable picture; empty when none
    bool painted = false;    // no usable texture: painted in the material's colour
};

struct AnimationSummary {
    std::string name;  // may be empty: animations are also chosen by index
    double ticksPerSecond = 0.0;
    double startTick = 0.0, endTick = 0.0;  // the range of its moving keys
};

struct AssimpSceneReport {
    std::string path;
    std::string format;     // the library's importer
    std::string animation;  // the animation played ("a + b" for pieces played together; "#i" when unnamed)
    bool animated = false;
    std::vector<AnimationSummary> animations;
    double ticksPerSecond = 0.0;  // of the animation played, after the default for 0
    double startTick = 0.0;       // the animation's tick at host time 0
    double endTick = 0.0;
    std::string textureFolder;
    std::vector<TextureNote> textures;               // one per material, in material order
    // For the user, one line each: painted materials and shrunk textures.
    std::vector<std::string> notes;
    // Why the plug-in will refuse the export ("Nothing to save", "Buffer to
    // small"), as far as the scene shows it; empty when it should not.
    std::vector<std::string> refusals;
    std::map<const SceneNode*, std::string> objects;  // what each node's object is, for the listing
};

// Loads the scene file at path into scene (whose root must be a fresh
// "Scene Root" without children). Returns 1 on success; 0 with error set to a
// message naming the file and the reason (the library's own for files it cannot
// read). The scene's nodes keep what they need to evaluate the animation; the
// library's data is not kept. Converted textures are written on the way.
int LoadAssimpScene(const std::string& path, const AssimpLoadOptions& options, Scene& scene,
                    AssimpSceneReport& report, std::string& error);

// The steps the loader asks of the library when it reads a file, for a probe
// of a file with the same steps in another process.
unsigned AssimpReadSteps();

// Prints the node tree as the exporter will see it: each node's object,
// material, texture files (with their conversions and problems) and whether it
// would be exported (selected and with a material).
void ListAssimpScene(Scene& scene, const AssimpSceneReport& report, std::ostream& out);

}  // namespace standin
