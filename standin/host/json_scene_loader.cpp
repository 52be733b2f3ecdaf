#include "standin/host/json_scene_loader.h"

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <cstdint>
#include <fstream>
#include <initializer_list>
#include <limits>
#include <sstream>
#include <utility>

#include <nlohmann/json.hpp>

namespace standin {

namespace {

using Json = nlohmann::json;

constexpr const char* kFormatName = "md2-scene";
constexpr int64_t kFormatVersion = 1;
constexpr int64_t kMaxMaterialId = 65535;
constexpr int64_t kMaxInt32 = std::numeric_limits<int32_t>::max();
constexpr int64_t kMinInt32 = std::numeric_limits<int32_t>::min();
constexpr int64_t kMaxUint32 = std::numeric_limits<uint32_t>::max();
// A modifier's selection is a bit per vertex or face of its node's mesh. A
// size that disagrees with the mesh is allowed (it is how a scene states an
// inconsistent modifier stack), but only by a little: the bits are allocated,
// and a short file must not make the loader allocate far beyond its meshes.
constexpr int64_t kSelectionSlack = 64;
constexpr size_t kFlagToggles = 32;
constexpr size_t kFlagValues = 8;

std::string Key(const std::string& path, const std::string& key) {
    return path.empty() ? key : path + "." + key;
}

std::string Index(const std::string& path, size_t i) {
    return path + "[" + std::to_string(i) + "]";
}

std::string Plural(size_t n, const char* one, const char* many) {
    return std::to_string(n) + " " + (n == 1 ? one : many);
}

const char* TypeName(const Json& v) {
    switch (v.type()) {
        case Json::value_t::null: return "null";
        case Json::value_t::object: return "an object";
        case Json::value_t::array: return "an array";
        case Json::value_t::string: return "a string";
        case Json::value_t::boolean: return "a boolean";
        case Json::value_t::number_integer:
        case Json::value_t::number_unsigned: return "an integer";
        case Json::value_t::number_float: return "a number with a fraction or exponent";
        default: return "an unsupported value";
    }
}

// Quick readings of the bulk of a mesh (points, faces, index triples): they
// take the values a file almost always holds, without forming the paths and
// texts that errors need, and refuse anything else, which the full reader then
// reads again to say what is wrong and where. Both give the same values.
bool QuickFloat(const Json& v, float& out) {
    if (!v.is_number()) return false;
    const double d = v.get<double>();
    if (std::fabs(d) > static_cast<double>(FLT_MAX)) return false;
    out = static_cast<float>(d);
    return true;
}

bool QuickPoint(const Json& v, size_t minCount, size_t maxCount, Point3& out) {
    if (!v.is_array() || v.size() < minCount || v.size() > maxCount) return false;
    float c[3] = {0.0f, 0.0f, 0.0f};
    for (size_t i = 0; i < v.size(); ++i) {
        if (!QuickFloat(v[i], c[i])) return false;
    }
    out = Point3(c[0], c[1], c[2]);
    return true;
}

bool QuickUnsigned(const Json& v, uint64_t limit, uint64_t& out) {
    if (!v.is_number_integer()) return false;
    if (!v.is_number_unsigned() && v.get<int64_t>() < 0) return false;
    out = v.get<uint64_t>();
    return out < limit;
}

bool QuickTriple(const Json& v, size_t limit, uint32_t out[3]) {
    if (!v.is_array() || v.size() != 3) return false;
    uint64_t index[3];
    for (size_t k = 0; k < 3; ++k) {
        if (!QuickUnsigned(v[k], limit, index[k])) return false;
    }
    for (size_t k = 0; k < 3; ++k) out[k] = static_cast<uint32_t>(index[k]);
    return true;
}

bool QuickFace(const Json& v, size_t vertexCount, Face& face) {
    if (!v.is_object()) return false;
    const Json* corners = nullptr;
    const Json* smooth = nullptr;
    const Json* matId = nullptr;
    for (auto it = v.begin(); it != v.end(); ++it) {
        const std::string& key = it.key();
        if (key == "v") corners = &it.value();
        else if (key == "smooth") smooth = &it.value();
        else if (key == "matId") matId = &it.value();
        else return false;
    }
    Face f;
    uint64_t n = 0;
    if (!corners || !QuickTriple(*corners, vertexCount, f.v)) return false;
    if (smooth) {
        if (!QuickUnsigned(*smooth, uint64_t{kMaxUint32} + 1, n)) return false;
        f.smGroup = static_cast<uint32_t>(n);
    }
    if (matId) {
        if (!QuickUnsigned(*matId, uint64_t{kMaxMaterialId} + 1, n)) return false;
        f.setMatID(static_cast<uint32_t>(n));
    }
    face = f;
    return true;
}

// Drive-letter, slash and backslash paths are absolute to the host.
bool IsAbsolutePath(const std::string& p) {
    if (!p.empty() && (p[0] == '/' || p[0] == '\\')) return true;
    return p.size() >= 2 && p[1] == ':' &&
           ((p[0] >= 'A' && p[0] <= 'Z') || (p[0] >= 'a' && p[0] <= 'z'));
}

// Reads one document into a Scene. Every Read* returns false after recording
// the first error; nothing is thrown from here.
class SceneReader {
public:
    SceneReader(const std::optional<std::string>& folder, const std::string& fileName)
        : folder_(folder), fileName_(fileName) {}

    bool ReadDocument(const Json& doc, Scene& scene);
    const std::string& error() const { return error_; }

private:
    bool Fail(const std::string& path, const std::string& what);
    bool Expect(const Json& v, const std::string& path, bool ok, const std::string& expected);
    bool CheckKeys(const Json& obj, const std::string& path, std::initializer_list<const char*> known);
    static const Json* Find(const Json& obj, const char* key);

    bool ReadInteger(const Json& v, const std::string& path, int64_t lo, int64_t hi, const char* what,
                     int64_t& out);
    bool ReadNumber(const Json& v, const std::string& path, double& out);
    bool ReadFloat(const Json& v, const std::string& path, float& out);
    bool ReadBool(const Json& v, const std::string& path, bool& out);
    bool ReadString(const Json& v, const std::string& path, std::string& out);
    bool ReadArray(const Json& v, const std::string& path, size_t count, const char* what);
    bool ReadPoint(const Json& v, const std::string& path, size_t minCount, size_t maxCount, Point3& out);
    // The array under key of v, if there is one, as points of minCount to maxCount numbers.
    bool ReadPoints(const Json& v, const std::string& path, const char* key, size_t minCount, size_t maxCount,
                    const char* what, std::vector<Point3>& out);
    bool ReadRows(const Json& v, const std::string& path, Matrix3& out);
    bool ReadIndex(const Json& v, const std::string& path, size_t limit, const std::string& what,
                   const std::string& limitText, size_t& out);
    bool ReadTriple(const Json& v, const std::string& path, size_t limit, const std::string& what,
                    const std::string& limitText, uint32_t out[3]);

    bool ReadMaterials(const Json& list, const std::string& path, Scene& scene);
    bool ReadMaterial(const Json& v, const std::string& path, Scene& scene, SceneMaterial& material);
    bool ReadMap(const Json& v, const std::string& path, std::unique_ptr<Texmap>& out);
    bool ReadNode(const Json& v, const std::string& path, int depth, Scene& scene, SceneNode& node);
    bool ReadObject(const Json& v, const std::string& path, SceneNode& node);
    bool ReadMesh(const Json& v, const std::string& path, Mesh& mesh);
    bool ReadFace(const Json& v, const std::string& path, size_t vertexCount, Face& face);
    bool ReadCornerFaces(const Json& mesh, const std::string& path, const char* vertsKey, const char* facesKey,
                         const std::string& what, size_t vertexCount, size_t faceCount, std::vector<TVFace>& out);
    bool ReadTransformKeys(const Json& v, const std::string& path, std::vector<TransformKey>& out);
    bool ReadVertexKeys(const Json& v, const std::string& path, const SceneNode& node, std::vector<VertexKey>& out);
    bool ReadModifier(const Json& v, const std::string& path, const SceneNode& node, SceneModifier& mod);
    bool ReadSelection(const Json* v, const std::string& path, int64_t defaultSize, const char* one,
                       const char* many, BitArray& out);

    std::optional<std::string> folder_;
    std::string fileName_;
    std::string error_;
    std::vector<std::string> nodeNames_;  // the nodes being read, for messages
};

bool SceneReader::Fail(const std::string& path, const std::string& what) {
    if (!error_.empty()) return false;
    error_ = fileName_ + ": " + (path.empty() ? "top level" : path) + ": " + what;
    if (!nodeNames_.empty()) error_ += " (node \"" + nodeNames_.back() + "\")";
    return false;
}

bool SceneReader::Expect(const Json& v, const std::string& path, bool ok, const std::string& expected) {
    if (ok) return true;
    return Fail(path, "expected " + expected + ", found " + TypeName(v));
}

const Json* SceneReader::Find(const Json& obj, const char* key) {
    auto it = obj.find(key);
    return it == obj.end() ? nullptr : &*it;
}

bool SceneReader::CheckKeys(const Json& obj, const std::string& path, std::initializer_list<const char*> known) {
    if (!Expect(obj, path, obj.is_object(), "an object")) return false;
    for (auto it = obj.begin(); it != obj.end(); ++it) {
        const bool isKnown = std::any_of(known.begin(), known.end(), [&](const char* k) { return it.key() == k; });
        if (isKnown) continue;
        std::string list;
        for (const char* k : known) list += (list.empty() ? "" : ", ") + std::string(k);
        return Fail(Key(path, it.key()), "unknown key \"" + it.key() + "\" (expected one of: " + list + ")");
    }
    return true;
}

bool SceneReader::ReadInteger(const Json& v, const std::string& path, int64_t lo, int64_t hi, const char* what,
                              int64_t& out) {
    const std::string expected = std::string(what) + " from " + std::to_string(lo) + " to " + std::to_string(hi);
    if (!Expect(v, path, v.is_number_integer(), expected)) return false;
    if (v.is_number_unsigned()) {
        const uint64_t u = v.get<uint64_t>();
        if (hi < 0 || u > static_cast<uint64_t>(hi)) return Fail(path, "expected " + expected + ", found " + std::to_string(u));
        out = static_cast<int64_t>(u);
    } else {
        out = v.get<int64_t>();
    }
    if (out < lo || out > hi) return Fail(path, "expected " + expected + ", found " + std::to_string(out));
    return true;
}

bool SceneReader::ReadNumber(const Json& v, const std::string& path, double& out) {
    if (!Expect(v, path, v.is_number(), "a number")) return false;
    out = v.get<double>();  // the parser refuses numbers that overflow a double
    return true;
}

bool SceneReader::ReadFloat(const Json& v, const std::string& path, float& out) {
    double d = 0.0;
    if (!ReadNumber(v, path, d)) return false;
    // Converting a double beyond the float range is undefined: refuse it.
    if (std::fabs(d) > static_cast<double>(FLT_MAX)) return Fail(path, "expected a number within single-precision range");
    out = static_cast<float>(d);
    return true;
}

bool SceneReader::ReadBool(const Json& v, const std::string& path, bool& out) {
    if (!Expect(v, path, v.is_boolean(), "true or false")) return false;
    out = v.get<bool>();
    return true;
}

bool SceneReader::ReadString(const Json& v, const std::string& path, std::string& out) {
    if (!Expect(v, path, v.is_string(), "a string")) return false;
    out = v.get<std::string>();
    return true;
}

// count 0 accepts any length.
bool SceneReader::ReadArray(const Json& v, const std::string& path, size_t count, const char* what) {
    if (!Expect(v, path, v.is_array(), what)) return false;
    if (count && v.size() != count) {
        return Fail(path, std::string("expected ") + what + ", found " + Plural(v.size(), "element", "elements"));
    }
    return true;
}

bool SceneReader::ReadPoint(const Json& v, const std::string& path, size_t minCount, size_t maxCount, Point3& out) {
    const std::string what = minCount == maxCount ? "an array of " + std::to_string(minCount) + " numbers"
                                                  : "an array of " + std::to_string(minCount) + " or " +
                                                        std::to_string(maxCount) + " numbers";
    if (!Expect(v, path, v.is_array(), what)) return false;
    if (v.size() < minCount || v.size() > maxCount) {
        return Fail(path, "expected " + what + ", found " + Plural(v.size(), "element", "elements"));
    }
    float c[3] = {0.0f, 0.0f, 0.0f};
    for (size_t i = 0; i < v.size(); ++i) {
        if (!ReadFloat(v[i], Index(path, i), c[i])) return false;
    }
    out = Point3(c[0], c[1], c[2]);
    return true;
}

bool SceneReader::ReadRows(const Json& v, const std::string& path, Matrix3& out) {
    if (!ReadArray(v, path, 4, "4 rows of 3 numbers")) return false;
    for (size_t r = 0; r < 4; ++r) {
        if (!ReadPoint(v[r], Index(path, r), 3, 3, out.row[r])) return false;
    }
    return true;
}

// An integer in 0 .. limit - 1; outside, "<what> <n> is out of range: <limitText>".
bool SceneReader::ReadIndex(const Json& v, const std::string& path, size_t limit, const std::string& what,
                            const std::string& limitText, size_t& out) {
    if (!Expect(v, path, v.is_number_integer(), "an integer " + what)) return false;
    const bool negative = !v.is_number_unsigned() && v.get<int64_t>() < 0;
    if (negative || v.get<uint64_t>() >= limit) {
        return Fail(path, what + " " + v.dump() + " is out of range: " + limitText);
    }
    out = static_cast<size_t>(v.get<uint64_t>());
    return true;
}

bool SceneReader::ReadTriple(const Json& v, const std::string& path, size_t limit, const std::string& what,
                             const std::string& limitText, uint32_t out[3]) {
    if (!ReadArray(v, path, 3, "an array of 3 indices")) return false;
    for (size_t k = 0; k < 3; ++k) {
        size_t index = 0;
        if (!ReadIndex(v[k], Index(path, k), limit, what, limitText, index)) return false;
        out[k] = static_cast<uint32_t>(index);
    }
    return true;
}

bool SceneReader::ReadDocument(const Json& doc, Scene& scene) {
    if (!Expect(doc, "", doc.is_object(), "an object")) return false;
    const Json* format = Find(doc, "format");
    if (!format) return Fail("format", std::string("missing: a scene file starts with \"format\": \"") + kFormatName + "\"");
    std::string formatName;
    if (!ReadString(*format, "format", formatName)) return false;
    if (formatName != kFormatName) {
        return Fail("format", "expected \"" + std::string(kFormatName) + "\", found \"" + formatName + "\"");
    }
    const Json* version = Find(doc, "version");
    if (!version) return Fail("version", "missing: expected 1");
    if (!Expect(*version, "version", version->is_number_integer(), "the integer 1")) return false;
    if (*version != kFormatVersion) return Fail("version", "unsupported version " + version->dump() + ": expected 1");
    if (!CheckKeys(doc, "", {"format", "version", "ticksPerFrame", "materials", "root"})) return false;

    int64_t ticks = kDefaultTicksPerFrame;
    if (const Json* t = Find(doc, "ticksPerFrame")) {
        if (!ReadInteger(*t, "ticksPerFrame", 1, kMaxInt32, "ticks per frame", ticks)) return false;
    }
    scene.ticksPerFrame = static_cast<int>(ticks);
    if (const Json* m = Find(doc, "materials")) {
        if (!ReadMaterials(*m, "materials", scene)) return false;
    }
    if (const Json* r = Find(doc, "root")) {
        scene.root = std::make_unique<SceneNode>();
        if (!ReadNode(*r, "root", 1, scene, *scene.root)) return false;
    }
    scene.SetTicksPerFrame(scene.ticksPerFrame);
    return true;
}

bool SceneReader::ReadMaterials(const Json& list, const std::string& path, Scene& scene) {
    if (!ReadArray(list, path, 0, "an array of materials")) return false;
    // Create all first: sub-materials refer to materials by index, forward too.
    for (size_t i = 0; i < list.size(); ++i) scene.AddMaterial("");
    for (size_t i = 0; i < list.size(); ++i) {
        if (!ReadMaterial(list[i], Index(path, i), scene, *scene.materials[i])) return false;
    }
    return true;
}

bool SceneReader::ReadMaterial(const Json& v, const std::string& path, Scene& scene, SceneMaterial& material) {
    if (!CheckKeys(v, path, {"name", "diffuse", "subMaterials"})) return false;
    if (const Json* n = Find(v, "name")) {
        std::string name;
        if (!ReadString(*n, Key(path, "name"), name)) return false;
        material.name = name.c_str();
    }
    if (const Json* d = Find(v, "diffuse"); d && !d->is_null()) {
        if (!ReadMap(*d, Key(path, "diffuse"), material.diffuse)) return false;
    }
    if (const Json* s = Find(v, "subMaterials")) {
        const std::string p = Key(path, "subMaterials");
        if (!ReadArray(*s, p, 0, "an array of material indices")) return false;
        const size_t count = scene.materials.size();
        for (size_t i = 0; i < s->size(); ++i) {
            const Json& slot = (*s)[i];
            if (slot.is_null()) {
                material.subMaterials.push_back(nullptr);
                continue;
            }
            size_t index = 0;
            if (!ReadIndex(slot, Index(p, i), count, "material index",
                           "the scene has " + Plural(count, "material", "materials"), index)) {
                return false;
            }
            material.subMaterials.push_back(scene.materials[index].get());
        }
    }
    return true;
}

bool SceneReader::ReadMap(const Json& v, const std::string& path, std::unique_ptr<Texmap>& out) {
    if (!CheckKeys(v, path, {"bitmap", "classId"})) return false;
    const Json* bitmap = Find(v, "bitmap");
    const Json* classId = Find(v, "classId");
    if ((bitmap != nullptr) == (classId != nullptr)) {
        return Fail(path, "expected a map: {\"bitmap\": path} or {\"classId\": [a, b]}");
    }
    if (bitmap) {
        std::string file;
        if (!ReadString(*bitmap, Key(path, "bitmap"), file)) return false;
        if (file.empty()) return Fail(Key(path, "bitmap"), "expected a bitmap path, found an empty string");
        if (folder_ && !IsAbsolutePath(file)) file = *folder_ + "/" + file;
        out = std::make_unique<SceneBitmapTex>(file);
        return true;
    }
    const std::string p = Key(path, "classId");
    if (!ReadArray(*classId, p, 2, "an array of 2 integers")) return false;
    int64_t a = 0, b = 0;
    if (!ReadInteger((*classId)[0], Index(p, 0), 0, kMaxUint32, "a class id part", a)) return false;
    if (!ReadInteger((*classId)[1], Index(p, 1), 0, kMaxUint32, "a class id part", b)) return false;
    const Class_ID id(static_cast<uint32_t>(a), static_cast<uint32_t>(b));
    // Only a real bitmap texture may answer with the bitmap class id.
    if (id == bitmapTexClassID) return Fail(p, "the bitmap texture's class id: write {\"bitmap\": path} instead");
    out = std::make_unique<SceneOtherTexmap>(id);
    return true;
}

bool SceneReader::ReadNode(const Json& v, const std::string& path, int depth, Scene& scene, SceneNode& node) {
    if (depth > kMaxSceneDepth) {
        return Fail(path, "nodes nested deeper than " + std::to_string(kMaxSceneDepth) + " levels");
    }
    if (!CheckKeys(v, path,
                   {"name", "selected", "material", "object", "transform", "transformKeys", "mesh", "vertexKeys",
                    "modifiers", "children"})) {
        return false;
    }
    node.name.clear();
    if (const Json* n = Find(v, "name")) {
        if (!ReadString(*n, Key(path, "name"), node.name)) return false;
    }
    nodeNames_.push_back(node.name);
    struct PopName {
        std::vector<std::string>& names;
        ~PopName() { names.pop_back(); }
    } popName{nodeNames_};

    if (const Json* s = Find(v, "selected")) {
        if (!ReadBool(*s, Key(path, "selected"), node.selected)) return false;
    }
    if (const Json* m = Find(v, "material"); m && !m->is_null()) {
        const size_t count = scene.materials.size();
        size_t index = 0;
        if (!ReadIndex(*m, Key(path, "material"), count, "material index",
                       "the scene has " + Plural(count, "material", "materials"), index)) {
            return false;
        }
        node.material = scene.materials[index].get();
    }
    if (const Json* m = Find(v, "mesh")) {
        if (!ReadMesh(*m, Key(path, "mesh"), node.mesh)) return false;
        node.hasMesh = true;
    }
    node.convertible = node.hasMesh;
    if (const Json* o = Find(v, "object")) {
        if (!ReadObject(*o, Key(path, "object"), node)) return false;
    }
    if (const Json* t = Find(v, "transform")) {
        if (!ReadRows(*t, Key(path, "transform"), node.transform)) return false;
    }
    if (const Json* k = Find(v, "transformKeys")) {
        if (!ReadTransformKeys(*k, Key(path, "transformKeys"), node.transformKeys)) return false;
    }
    if (const Json* k = Find(v, "vertexKeys")) {
        if (!ReadVertexKeys(*k, Key(path, "vertexKeys"), node, node.vertexKeys)) return false;
    }
    if (const Json* mods = Find(v, "modifiers")) {
        const std::string p = Key(path, "modifiers");
        if (!ReadArray(*mods, p, 0, "an array of modifiers")) return false;
        node.hasModifierStack = true;
        for (size_t i = 0; i < mods->size(); ++i) {
            auto mod = std::make_unique<SceneModifier>();
            if (!ReadModifier((*mods)[i], Index(p, i), node, *mod)) return false;
            node.modifiers.push_back(std::move(mod));
        }
    }
    if (const Json* c = Find(v, "children")) {
        const std::string p = Key(path, "children");
        if (!ReadArray(*c, p, 0, "an array of nodes")) return false;
        for (size_t i = 0; i < c->size(); ++i) {
            auto child = std::make_unique<SceneNode>();
            if (!ReadNode((*c)[i], Index(p, i), depth + 1, scene, *child)) return false;
            node.AddChild(std::move(child));
        }
    }
    return true;
}

bool SceneReader::ReadObject(const Json& v, const std::string& path, SceneNode& node) {
    if (!CheckKeys(v, path, {"superClass", "convertible"})) return false;
    if (const Json* s = Find(v, "superClass")) {
        int64_t superClass = 0;
        if (!ReadInteger(*s, Key(path, "superClass"), 0, kMaxUint32, "a super-class number", superClass)) return false;
        node.superClass = static_cast<SClass_ID>(superClass);
    }
    if (const Json* c = Find(v, "convertible")) {
        if (!ReadBool(*c, Key(path, "convertible"), node.convertible)) return false;
    }
    return true;
}

bool SceneReader::ReadPoints(const Json& v, const std::string& path, const char* key, size_t minCount,
                             size_t maxCount, const char* what, std::vector<Point3>& out) {
    const Json* list = Find(v, key);
    if (!list) return true;
    const std::string p = Key(path, key);
    if (!ReadArray(*list, p, 0, what)) return false;
    out.resize(list->size());
    for (size_t i = 0; i < list->size(); ++i) {
        if (QuickPoint((*list)[i], minCount, maxCount, out[i])) continue;
        if (!ReadPoint((*list)[i], Index(p, i), minCount, maxCount, out[i])) return false;
    }
    return true;
}

bool SceneReader::ReadMesh(const Json& v, const std::string& path, Mesh& mesh) {
    if (!CheckKeys(v, path, {"vertices", "faces", "tverts", "tfaces", "cverts", "cfaces"})) return false;
    if (!ReadPoints(v, path, "vertices", 3, 3, "an array of [x, y, z]", mesh.verts)) return false;
    if (const Json* faces = Find(v, "faces")) {
        const std::string p = Key(path, "faces");
        if (!ReadArray(*faces, p, 0, "an array of faces")) return false;
        mesh.faces.resize(faces->size());
        for (size_t i = 0; i < faces->size(); ++i) {
            if (QuickFace((*faces)[i], mesh.verts.size(), mesh.faces[i])) continue;
            if (!ReadFace((*faces)[i], Index(p, i), mesh.verts.size(), mesh.faces[i])) return false;
        }
    }
    if (!ReadPoints(v, path, "tverts", 2, 3, "an array of [u, v] or [u, v, w]", mesh.tVerts) ||
        !ReadPoints(v, path, "cverts", 3, 3, "an array of [r, g, b]", mesh.vertCol))
        return false;
    return ReadCornerFaces(v, path, "tverts", "tfaces", "texture", mesh.tVerts.size(), mesh.faces.size(),
                           mesh.tvFace) &&
           ReadCornerFaces(v, path, "cverts", "cfaces", "colour", mesh.vertCol.size(), mesh.faces.size(),
                           mesh.vcFace);
}

bool SceneReader::ReadFace(const Json& v, const std::string& path, size_t vertexCount, Face& face) {
    if (!CheckKeys(v, path, {"v", "smooth", "matId"})) return false;
    const Json* corners = Find(v, "v");
    if (!corners) return Fail(Key(path, "v"), "missing: a face needs its vertex indices [a, b, c]");
    const std::string limit = "the mesh has " + Plural(vertexCount, "vertex", "vertices");
    if (!ReadTriple(*corners, Key(path, "v"), vertexCount, "vertex index", limit, face.v)) return false;
    if (const Json* s = Find(v, "smooth")) {
        int64_t smooth = 0;
        if (!ReadInteger(*s, Key(path, "smooth"), 0, kMaxUint32, "an unsigned integer", smooth)) return false;
        face.smGroup = static_cast<uint32_t>(smooth);
    }
    if (const Json* m = Find(v, "matId")) {
        int64_t id = 0;
        if (!ReadInteger(*m, Key(path, "matId"), 0, kMaxMaterialId, "a material id", id)) return false;
        face.setMatID(static_cast<uint32_t>(id));
    }
    return true;
}

// Texture and colour faces: one per face, required once their vertices exist.
bool SceneReader::ReadCornerFaces(const Json& mesh, const std::string& path, const char* vertsKey,
                                  const char* facesKey, const std::string& what, size_t vertexCount, size_t faceCount,
                                  std::vector<TVFace>& out) {
    const Json* list = Find(mesh, facesKey);
    const std::string p = Key(path, facesKey);
    if (!list) {
        if (vertexCount == 0) return true;
        return Fail(p, std::string("missing: the mesh has ") + vertsKey + ", so it needs one " + what +
                           " face per face (" + Plural(faceCount, "face", "faces") + ")");
    }
    if (!ReadArray(*list, p, 0, "an array of [a, b, c]")) return false;
    if (vertexCount == 0 && list->empty()) return true;
    if (list->size() != faceCount) {
        return Fail(p, std::string("expected one ") + what + " face per face (" + Plural(faceCount, "face", "faces") +
                           "), found " + std::to_string(list->size()));
    }
    out.resize(faceCount);
    const std::string limit = "the mesh has " + std::to_string(vertexCount) + " " + vertsKey;
    for (size_t i = 0; i < faceCount; ++i) {
        if (QuickTriple((*list)[i], vertexCount, out[i].t)) continue;
        if (!ReadTriple((*list)[i], Index(p, i), vertexCount, what + " vertex index", limit, out[i].t)) {
            return false;
        }
    }
    return true;
}

bool SceneReader::ReadTransformKeys(const Json& v, const std::string& path, std::vector<TransformKey>& out) {
    if (!ReadArray(v, path, 0, "an array of {\"frame\": number, \"rows\": 4 x 3 numbers}")) return false;
    for (size_t i = 0; i < v.size(); ++i) {
        const std::string p = Index(path, i);
        if (!CheckKeys(v[i], p, {"frame", "rows"})) return false;
        const Json* frame = Find(v[i], "frame");
        const Json* rows = Find(v[i], "rows");
        if (!frame) return Fail(Key(p, "frame"), "missing: a transform key needs its frame");
        if (!rows) return Fail(Key(p, "rows"), "missing: a transform key needs its 4 rows");
        TransformKey key;
        if (!ReadNumber(*frame, Key(p, "frame"), key.frame) || !ReadRows(*rows, Key(p, "rows"), key.rows)) return false;
        out.push_back(key);
    }
    std::stable_sort(out.begin(), out.end(), [](const TransformKey& a, const TransformKey& b) { return a.frame < b.frame; });
    return true;
}

bool SceneReader::ReadVertexKeys(const Json& v, const std::string& path, const SceneNode& node,
                                 std::vector<VertexKey>& out) {
    if (!ReadArray(v, path, 0, "an array of {\"frame\": number, \"vertices\": [[x, y, z], ...]}")) return false;
    if (!node.hasMesh && !v.empty()) return Fail(path, "vertex keys need a mesh to animate");
    const size_t count = node.mesh.verts.size();
    for (size_t i = 0; i < v.size(); ++i) {
        const std::string p = Index(path, i);
        if (!CheckKeys(v[i], p, {"frame", "vertices"})) return false;
        const Json* frame = Find(v[i], "frame");
        const Json* verts = Find(v[i], "vertices");
        if (!frame) return Fail(Key(p, "frame"), "missing: a vertex key needs its frame");
        if (!verts) return Fail(Key(p, "vertices"), "missing: a vertex key lists every vertex of the mesh");
        VertexKey key;
        if (!ReadNumber(*frame, Key(p, "frame"), key.frame)) return false;
        const std::string vp = Key(p, "vertices");
        if (!ReadArray(*verts, vp, 0, "an array of [x, y, z]")) return false;
        if (verts->size() != count) {
            return Fail(vp, "expected " + Plural(count, "vertex", "vertices") + ", one per mesh vertex, found " +
                                std::to_string(verts->size()));
        }
        key.vertices.resize(count);
        for (size_t j = 0; j < count; ++j) {
            if (QuickPoint((*verts)[j], 3, 3, key.vertices[j])) continue;
            if (!ReadPoint((*verts)[j], Index(vp, j), 3, 3, key.vertices[j])) return false;
        }
        out.push_back(std::move(key));
    }
    std::stable_sort(out.begin(), out.end(), [](const VertexKey& a, const VertexKey& b) { return a.frame < b.frame; });
    return true;
}

bool SceneReader::ReadModifier(const Json& v, const std::string& path, const SceneNode& node, SceneModifier& mod) {
    if (!CheckKeys(v, path, {"name", "level", "toggles", "values", "vertexSelection", "faceSelection"})) return false;
    const Json* name = Find(v, "name");
    if (!name) return Fail(Key(path, "name"), "missing: a modifier needs its name");
    std::string text;
    if (!ReadString(*name, Key(path, "name"), text)) return false;
    mod.name = text.c_str();
    int64_t n = 0;
    if (const Json* l = Find(v, "level")) {
        if (!ReadInteger(*l, Key(path, "level"), kMinInt32, kMaxInt32, "a selection level", n)) return false;
        mod.level = static_cast<int>(n);
    }
    if (const Json* t = Find(v, "toggles")) {
        const std::string p = Key(path, "toggles");
        if (!ReadArray(*t, p, kFlagToggles, "an array of 32 integers")) return false;
        for (size_t k = 0; k < kFlagToggles; ++k) {
            if (!ReadInteger((*t)[k], Index(p, k), kMinInt32, kMaxInt32, "an integer", n)) return false;
            mod.toggles[k] = static_cast<int>(n);
        }
    }
    if (const Json* vals = Find(v, "values")) {
        const std::string p = Key(path, "values");
        if (!ReadArray(*vals, p, kFlagValues, "an array of 8 unsigned integers")) return false;
        for (size_t k = 0; k < kFlagValues; ++k) {
            if (!ReadInteger((*vals)[k], Index(p, k), 0, kMaxUint32, "an unsigned integer", n)) return false;
            mod.values[k] = static_cast<uint32_t>(n);
        }
    }
    return ReadSelection(Find(v, "vertexSelection"), Key(path, "vertexSelection"),
                         static_cast<int64_t>(node.mesh.verts.size()), "vertex", "vertices", mod.selection.vertSel) &&
           ReadSelection(Find(v, "faceSelection"), Key(path, "faceSelection"),
                         static_cast<int64_t>(node.mesh.faces.size()), "face", "faces", mod.selection.faceSel);
}

bool SceneReader::ReadSelection(const Json* v, const std::string& path, int64_t defaultSize, const char* one,
                                const char* many, BitArray& out) {
    int64_t size = defaultSize;
    const Json* set = nullptr;
    if (v) {
        if (!CheckKeys(*v, path, {"size", "set"})) return false;
        if (const Json* s = Find(*v, "size")) {
            if (!ReadInteger(*s, Key(path, "size"), 0, defaultSize + kSelectionSlack, "a selection size", size)) {
                return false;
            }
        }
        set = Find(*v, "set");
    }
    out.SetSize(static_cast<int>(size));
    if (!set) return true;
    const std::string p = Key(path, "set");
    if (!ReadArray(*set, p, 0, "an array of indices")) return false;
    const std::string limit = "the selection has " + Plural(static_cast<size_t>(size), one, many);
    for (size_t i = 0; i < set->size(); ++i) {
        size_t bit = 0;
        if (!ReadIndex((*set)[i], Index(p, i), static_cast<size_t>(size), std::string(one) + " index", limit, bit)) {
            return false;
        }
        out.Set(static_cast<int>(bit));
    }
    return true;
}

}  // namespace

std::optional<std::string> SceneFolderOf(const std::string& path) {
    const size_t slash = path.find_last_of("/\\");
    if (slash == std::string::npos) return std::nullopt;
    return path.substr(0, slash);
}

bool LoadJsonSceneText(const std::string& text, const std::optional<std::string>& sceneFolder, Scene& out,
                       std::string& error, const std::string& fileName) {
    error.clear();
    try {
        Json doc;
        try {
            doc = Json::parse(text);
        } catch (const Json::parse_error& e) {
            std::string what = e.what();
            const size_t bracket = what.find("] ");
            if (bracket != std::string::npos) what = what.substr(bracket + 2);
            error = fileName + ": not valid JSON: " + what;
            return false;
        }
        Scene scene;
        SceneReader reader(sceneFolder, fileName);
        if (!reader.ReadDocument(doc, scene)) {
            error = reader.error();
            return false;
        }
        out = std::move(scene);
        return true;
    } catch (const std::exception& e) {  // out of memory, in practice
        error = fileName + ": cannot load the scene: " + e.what();
        return false;
    }
}

bool LoadJsonScene(const std::string& path, Scene& out, std::string& error) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        error = path + ": cannot open the file";
        return false;
    }
    std::ostringstream text;
    text << in.rdbuf();
    if (in.bad()) {
        error = path + ": cannot read the file";
        return false;
    }
    return LoadJsonSceneText(text.str(), SceneFolderOf(path), out, error, path);
}

}  // namespace standin
