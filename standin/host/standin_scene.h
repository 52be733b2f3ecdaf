// The stand-in modelling host: an in-memory scene behind the host SDK surface.
//
// A scene is built in code (tests) or loaded from a JSON scene file
// (json_scene_loader.h). Every class here implements one abstract class of
// platform/host_sdk.h; the plug-in never sees these concrete types.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/host_sdk.h"

namespace standin {

constexpr int kDefaultTicksPerFrame = 160;

// --- Materials and maps ------------------------------------------------------

class SceneBitmapTex : public BitmapTex {
public:
    explicit SceneBitmapTex(std::string fileName) : fileName(std::move(fileName)) {}
    Class_ID ClassID() override { return bitmapTexClassID; }
    const char* GetMapName() override { return fileName.c_str(); }
    std::string fileName;
};

// A map of some other class (a procedural map, say): never a bitmap.
class SceneOtherTexmap : public Texmap {
public:
    explicit SceneOtherTexmap(Class_ID id) : classId(id) {}
    Class_ID ClassID() override { return classId; }
    Class_ID classId;
};

class SceneMaterial : public Mtl {
public:
    CStr& GetName() override { return name; }
    int NumSubMtls() override { return static_cast<int>(subMaterials.size()); }
    Mtl* GetSubMtl(int i) override;
    Texmap* GetSubTexmap(int i) override { return i == ID_DI ? diffuse.get() : nullptr; }

    CStr name;
    std::unique_ptr<Texmap> diffuse;
    // A multi-material's slots; null is an empty slot. The materials belong to the scene.
    std::vector<SceneMaterial*> subMaterials;
};

// --- Modifiers ---------------------------------------------------------------

// Any modifier of a node's stack. Every one can answer as the flag modifier;
// the plug-in reads the flag data only of those named "Vezo zi!".
class SceneModifier : public FlagModifier {
public:
    CStr GetName() override { return name; }
    uint32_t FlagValue(int i) override { return (i >= 0 && i < 8) ? values[i] : 0; }
    int FlagToggle(int k) override { return (k >= 0 && k < 32) ? toggles[k] : 0; }
    int SelectionLevel() override { return level; }

    CStr name;
    int level = 0;
    int toggles[32] = {};
    uint32_t values[8] = {};
    FlagModData selection;  // the context's vertex and face selections for the node
    ModContext context;
};

// --- Objects -----------------------------------------------------------------

// A node's object as evaluated at one time.
class SceneTriObject : public TriObject {
public:
    SceneTriObject(Mesh m, SClass_ID superClass, bool ownedByCaller)
        : mesh(std::move(m)), superClass(superClass), ownedByCaller(ownedByCaller) {
        if (ownedByCaller) ++liveConversions;
    }
    ~SceneTriObject() override {
        if (ownedByCaller) --liveConversions;
    }
    SClass_ID SuperClassID() override { return superClass; }
    int CanConvertToType(Class_ID type) override { return type == triObjectClassID; }
    Object* ConvertToType(TimeValue, Class_ID type) override { return type == triObjectClassID ? this : nullptr; }
    void DeleteThis() override {
        if (ownedByCaller) delete this;
    }
    Mesh& GetMesh() override { return mesh; }

    Mesh mesh;
    SClass_ID superClass;
    bool ownedByCaller;
    // Conversion results created and not yet released, over all scenes.
    static int liveConversions;
};

// An evaluated object that is not itself a triangle mesh. It converts when the
// node says so, creating a new triangle-mesh object the caller releases.
class SceneGenericObject : public Object {
public:
    SceneGenericObject(SClass_ID superClass, bool convertible, const Mesh* mesh)
        : superClass(superClass), convertible(convertible), mesh(mesh) {}
    SClass_ID SuperClassID() override { return superClass; }
    int CanConvertToType(Class_ID type) override { return convertible && type == triObjectClassID; }
    Object* ConvertToType(TimeValue t, Class_ID type) override;
    void DeleteThis() override {}

    SClass_ID superClass;
    bool convertible;
    const Mesh* mesh;  // the evaluated mesh a conversion copies; null converts to nothing
};

// The object reference of a node with a modifier stack.
class SceneDerivedObject : public IDerivedObject {
public:
    SClass_ID SuperClassID() override { return GEN_DERIVOB_CLASS_ID; }
    int CanConvertToType(Class_ID) override { return 0; }
    Object* ConvertToType(TimeValue, Class_ID) override { return nullptr; }
    void DeleteThis() override {}
    int NumModifiers() override { return static_cast<int>(modifiers->size()); }
    Modifier* GetModifier(int i) override;
    ModContext* GetModContext(int i) override;

    std::vector<std::unique_ptr<SceneModifier>>* modifiers = nullptr;
};

// The object reference of a node without a modifier stack.
class SceneBaseObject : public Object {
public:
    SClass_ID SuperClassID() override { return superClass; }
    int CanConvertToType(Class_ID) override { return 0; }
    Object* ConvertToType(TimeValue, Class_ID) override { return nullptr; }
    void DeleteThis() override {}
    SClass_ID superClass = 16;
};

// --- Animation keys ----------------------------------------------------------

struct TransformKey {
    double frame = 0.0;
    Matrix3 rows;
};

struct VertexKey {
    double frame = 0.0;
    std::vector<Point3> vertices;
};

// Where a sorted key list is at position f: keys a and b and the blend s
// (a == b when one key holds as it stands: on a key, outside the list, at NaN,
// and for an empty list).
struct KeySpan {
    size_t a = 0, b = 0;
    double s = 0.0;
};
KeySpan FindKeySpan(const std::vector<double>& keys, double f);
// v0 + (v1 - v0) * s, in single precision.
float Blend(float v0, float v1, float s);

// --- Nodes -------------------------------------------------------------------

class SceneNode : public INode {
public:
    SceneNode();
    ~SceneNode() override;

    const char* GetName() override { return name.c_str(); }
    int NumberOfChildren() override { return static_cast<int>(children.size()); }
    INode* GetChildNode(int i) override;
    int Selected() override { return selected ? 1 : 0; }
    Mtl* GetMtl() override { return material; }
    const ObjectState& EvalWorldState(TimeValue t, int stopAtWSM = 1) override;
    Matrix3 GetObjectTM(TimeValue t, void* valid = nullptr) override;
    Object* GetObjectRef() override;

    // The mesh with its vertex keys sampled at t.
    Mesh MeshAt(TimeValue t) const;
    SceneNode* AddChild(std::unique_ptr<SceneNode> child);

    std::string name;
    bool selected = false;
    SceneMaterial* material = nullptr;  // belongs to the scene
    SClass_ID superClass = 16;          // the evaluated object's super-class number
    bool convertible = false;           // can become a triangle mesh
    bool hasMesh = false;
    Mesh mesh;
    // Conversion creates a new object (as for a host primitive) instead of
    // answering with the evaluated object itself.
    bool conversionCreates = false;
    Matrix3 transform;
    std::vector<TransformKey> transformKeys;  // sorted by frame; replaces transform
    std::vector<VertexKey> vertexKeys;        // sorted by frame
    // Animation a loader evaluates itself (scenes read through the asset-import
    // library): when set, they replace the keys above.
    std::function<Matrix3(TimeValue)> transformAt;
    std::function<void(TimeValue, Mesh&)> deformAt;  // moves the mesh's vertices to where they are at t
    std::vector<std::unique_ptr<SceneModifier>> modifiers;
    bool hasModifierStack = false;
    std::vector<std::unique_ptr<SceneNode>> children;
    int ticksPerFrame = kDefaultTicksPerFrame;  // set by the scene

    // How many times the node was evaluated (tests count host work with it).
    int evaluations = 0;

private:
    std::unique_ptr<Object> evaluated_;
    Mesh evaluatedMesh_;
    ObjectState state_;
    SceneDerivedObject derived_;
    SceneBaseObject base_;
};

// --- The scene ---------------------------------------------------------------

class Scene {
public:
    Scene();
    SceneMaterial* AddMaterial(const std::string& name);
    // Sets the ticks per frame on every node (call after building the tree too).
    void SetTicksPerFrame(int ticks);

    int ticksPerFrame = kDefaultTicksPerFrame;
    std::vector<std::unique_ptr<SceneMaterial>> materials;
    std::unique_ptr<SceneNode> root;
};

// Where the host puts rollup pages: the window-system stand-in supplies it.
class RollupArea {
public:
    virtual ~RollupArea() = default;
    virtual HWND AddPage(HINSTANCE module, LPCSTR dialogTemplate, DLGPROC proc, LPCSTR title, LPARAM param) = 0;
    virtual void DeletePage(HWND page) = 0;
};

// The host interface over one scene. The most recently constructed host that
// is still alive answers GetTicksPerFrame and the accelerator switches.
class StandinHost : public Interface {
public:
    explicit StandinHost(Scene* scene, RollupArea* rollups = nullptr);
    ~StandinHost() override;

    HWND AddRollupPage(HINSTANCE module, LPCSTR dialogTemplate, DLGPROC proc, LPCSTR title,
                       LPARAM param = 0, DWORD flags = 0, int category = 4000) override;
    void DeleteRollupPage(HWND page) override;
    void RollupMouseMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) override;
    INode* GetRootNode() override;
    LogSys* Log() override { return &log; }

    struct RollupCall {
        std::string title;
        LPARAM param = 0;
        DWORD flags = 0;
        int category = 0;
    };
    struct MouseMessage {
        HWND window = nullptr;
        UINT message = 0;
        WPARAM wParam = 0;
        LPARAM lParam = 0;
    };

    // The system log: every entry kept, in order, for whoever drives the host.
    class EntryLog : public LogSys {
    public:
        struct Entry {
            DWORD type = 0;
            std::string title;
            std::string text;
        };
        void LogEntry(DWORD type, BOOL dialogue, const char* title, const char* format, ...) override;
        std::vector<Entry> entries;
    };

    Scene* scene;
    RollupArea* rollups;
    EntryLog log;
    std::vector<RollupCall> rollupCalls;
    std::vector<MouseMessage> mouseMessages;
    bool acceleratorsEnabled = true;
    int acceleratorSwitches = 0;  // every DisableAccelerators / EnableAccelerators call
    // While this host is the active one, told the node and the time whenever a
    // scene node is asked for its world transform (GetObjectTM), so that a
    // command can follow the frames an export captures. Optional.
    std::function<void(INode* node, TimeValue t)> transformObserver;
    // InitCustomControls calls since the process started (a module calls it before any host exists).
    static int customControlInits;

    static StandinHost* Active();

private:
    StandinHost* previous_;
};

}  // namespace standin
