#include "standin/host/standin_scene.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>

Point3 VectorTransform(const Matrix3& m, const Point3& p) {
    const Point3& r0 = m.row[0];
    const Point3& r1 = m.row[1];
    const Point3& r2 = m.row[2];
    return Point3(p.x * r0.x + p.y * r1.x + p.z * r2.x,
                  p.x * r0.y + p.y * r1.y + p.z * r2.y,
                  p.x * r0.z + p.y * r1.z + p.z * r2.z);
}

namespace standin {

int SceneTriObject::liveConversions = 0;

namespace {
StandinHost* g_active = nullptr;
}

Mtl* SceneMaterial::GetSubMtl(int i) {
    if (i < 0 || i >= NumSubMtls()) return nullptr;
    return subMaterials[static_cast<size_t>(i)];
}

Object* SceneGenericObject::ConvertToType(TimeValue, Class_ID type) {
    if (!convertible || type != triObjectClassID || !mesh) return nullptr;
    return new SceneTriObject(*mesh, superClass, /*ownedByCaller=*/true);
}

Modifier* SceneDerivedObject::GetModifier(int i) {
    if (i < 0 || i >= NumModifiers()) return nullptr;
    return (*modifiers)[static_cast<size_t>(i)].get();
}

ModContext* SceneDerivedObject::GetModContext(int i) {
    if (i < 0 || i >= NumModifiers()) return nullptr;
    SceneModifier* m = (*modifiers)[static_cast<size_t>(i)].get();
    m->context.localData = &m->selection;
    return &m->context;
}

KeySpan FindKeySpan(const std::vector<double>& frames, double f) {
    KeySpan span;
    const size_t n = frames.size();
    // NaN (a node with no ticks per frame, say) holds the first key too.
    if (n == 0 || !(f > frames.front())) return span;
    if (f >= frames.back()) {
        span.a = span.b = n - 1;
        return span;
    }
    // The first key at or after f.
    size_t b = static_cast<size_t>(std::lower_bound(frames.begin(), frames.end(), f) - frames.begin());
    if (frames[b] == f) {
        span.a = span.b = b;
        return span;
    }
    span.a = b - 1;
    span.b = b;
    const double a = frames[span.a];
    span.s = (f - a) / (frames[b] - a);
    return span;
}

float Blend(float v0, float v1, float s) {
    float d = v1 - v0;
    float p = d * s;
    return v0 + p;
}

SceneNode::SceneNode() {
    derived_.modifiers = &modifiers;
}

SceneNode::~SceneNode() = default;

INode* SceneNode::GetChildNode(int i) {
    if (i < 0 || i >= NumberOfChildren()) return nullptr;
    return children[static_cast<size_t>(i)].get();
}

namespace {
void SetTicks(SceneNode* node, int ticks) {
    node->ticksPerFrame = ticks;
    for (auto& c : node->children) SetTicks(c.get(), ticks);
}
}  // namespace

SceneNode* SceneNode::AddChild(std::unique_ptr<SceneNode> child) {
    // A subtree built before it is attached takes this tree's ticks throughout.
    SetTicks(child.get(), ticksPerFrame);
    children.push_back(std::move(child));
    return children.back().get();
}

namespace {

// The node's mesh with its animation sampled at t, written into out over
// whatever out held, reusing its storage: a scene is evaluated at every frame
// of an export, twice for each capture.
void SampleMesh(const SceneNode& node, TimeValue t, Mesh& out) {
    out = node.mesh;
    if (node.deformAt) {
        node.deformAt(t, out);
        return;
    }
    if (node.vertexKeys.empty()) return;
    std::vector<double> frames;
    frames.reserve(node.vertexKeys.size());
    for (const VertexKey& k : node.vertexKeys) frames.push_back(k.frame);
    const KeySpan span = FindKeySpan(frames, static_cast<double>(t) / node.ticksPerFrame);
    const std::vector<Point3>& v0 = node.vertexKeys[span.a].vertices;
    const std::vector<Point3>& v1 = node.vertexKeys[span.b].vertices;
    const float s = static_cast<float>(span.s);
    const size_t n = std::min({out.verts.size(), v0.size(), v1.size()});
    for (size_t i = 0; i < n; ++i) {
        if (span.a == span.b) {
            out.verts[i] = v0[i];
        } else {
            out.verts[i] = Point3(Blend(v0[i].x, v1[i].x, s), Blend(v0[i].y, v1[i].y, s),
                                  Blend(v0[i].z, v1[i].z, s));
        }
    }
}

}  // namespace

Mesh SceneNode::MeshAt(TimeValue t) const {
    Mesh m;
    SampleMesh(*this, t, m);
    return m;
}

namespace {

// The evaluated object of a node whose vertices nothing moves: its mesh at any
// time is the node's own, so it is handed out as it stands instead of copied.
class NodeMeshObject : public TriObject {
public:
    explicit NodeMeshObject(SceneNode* node) : node_(node) {}
    SClass_ID SuperClassID() override { return node_->superClass; }
    int CanConvertToType(Class_ID type) override { return type == triObjectClassID; }
    Object* ConvertToType(TimeValue, Class_ID type) override { return type == triObjectClassID ? this : nullptr; }
    void DeleteThis() override {}
    Mesh& GetMesh() override { return node_->mesh; }

private:
    SceneNode* node_;
};

}  // namespace

const ObjectState& SceneNode::EvalWorldState(TimeValue t, int) {
    ++evaluations;
    if (convertible && hasMesh && !conversionCreates && vertexKeys.empty() && !deformAt) {
        if (!dynamic_cast<NodeMeshObject*>(evaluated_.get())) evaluated_ = std::make_unique<NodeMeshObject>(this);
    } else if (convertible && hasMesh && !conversionCreates) {
        // The node's own evaluated object is evaluated again in place.
        auto* tri = dynamic_cast<SceneTriObject*>(evaluated_.get());
        if (!tri) {
            evaluated_ = std::make_unique<SceneTriObject>(Mesh(), superClass, /*ownedByCaller=*/false);
            tri = static_cast<SceneTriObject*>(evaluated_.get());
        }
        tri->superClass = superClass;
        SampleMesh(*this, t, tri->mesh);
    } else {
        auto generic = std::make_unique<SceneGenericObject>(superClass, convertible, nullptr);
        if (hasMesh) {
            // The conversion copies the mesh as evaluated at t.
            SampleMesh(*this, t, evaluatedMesh_);
            generic->mesh = &evaluatedMesh_;
        }
        evaluated_ = std::move(generic);
    }
    state_ = ObjectState(evaluated_.get());
    return state_;
}

Matrix3 SceneNode::GetObjectTM(TimeValue t, void*) {
    if (StandinHost* h = StandinHost::Active(); h && h->transformObserver) h->transformObserver(this, t);
    if (transformAt) return transformAt(t);
    if (transformKeys.empty()) return transform;
    std::vector<double> frames;
    frames.reserve(transformKeys.size());
    for (const TransformKey& k : transformKeys) frames.push_back(k.frame);
    const KeySpan span = FindKeySpan(frames, static_cast<double>(t) / ticksPerFrame);
    if (span.a == span.b) return transformKeys[span.a].rows;
    const Matrix3& m0 = transformKeys[span.a].rows;
    const Matrix3& m1 = transformKeys[span.b].rows;
    const float s = static_cast<float>(span.s);
    Matrix3 m;
    for (int r = 0; r < 4; ++r) {
        m.row[r] = Point3(Blend(m0.row[r].x, m1.row[r].x, s), Blend(m0.row[r].y, m1.row[r].y, s),
                          Blend(m0.row[r].z, m1.row[r].z, s));
    }
    return m;
}

Object* SceneNode::GetObjectRef() {
    if (hasModifierStack) return &derived_;
    base_.superClass = superClass;
    return &base_;
}

Scene::Scene() : root(std::make_unique<SceneNode>()) {
    root->name = "Scene Root";
}

SceneMaterial* Scene::AddMaterial(const std::string& name) {
    materials.push_back(std::make_unique<SceneMaterial>());
    materials.back()->name = name.c_str();
    return materials.back().get();
}

void Scene::SetTicksPerFrame(int ticks) {
    ticksPerFrame = ticks;
    if (root) SetTicks(root.get(), ticks);
}

StandinHost::StandinHost(Scene* scene, RollupArea* rollups)
    : scene(scene), rollups(rollups), previous_(g_active) {
    g_active = this;
}

StandinHost::~StandinHost() {
    // Hosts may go in any order: unlink this one from the chain of live hosts,
    // so that no host is left answering through a destroyed one.
    if (g_active == this) {
        g_active = previous_;
        return;
    }
    for (StandinHost* h = g_active; h; h = h->previous_) {
        if (h->previous_ == this) {
            h->previous_ = previous_;
            return;
        }
    }
}

StandinHost* StandinHost::Active() { return g_active; }

int StandinHost::customControlInits = 0;

HWND StandinHost::AddRollupPage(HINSTANCE module, LPCSTR dialogTemplate, DLGPROC proc, LPCSTR title,
                                LPARAM param, DWORD flags, int category) {
    rollupCalls.push_back({title ? title : "", param, flags, category});
    return rollups ? rollups->AddPage(module, dialogTemplate, proc, title, param) : nullptr;
}

void StandinHost::DeleteRollupPage(HWND page) {
    if (rollups) rollups->DeletePage(page);
}

void StandinHost::RollupMouseMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    mouseMessages.push_back({window, message, wParam, lParam});
}

INode* StandinHost::GetRootNode() { return scene ? scene->root.get() : nullptr; }

void StandinHost::EntryLog::LogEntry(DWORD type, BOOL, const char* title, const char* format, ...) {
    std::va_list args;
    va_start(args, format);
    std::va_list measure;
    va_copy(measure, args);
    const int length = std::vsnprintf(nullptr, 0, format, measure);
    va_end(measure);
    std::string text(length > 0 ? static_cast<size_t>(length) : 0, '\0');
    if (length > 0) std::vsnprintf(&text[0], text.size() + 1, format, args);
    va_end(args);
    entries.push_back({type, title ? title : "", std::move(text)});
}

}  // namespace standin

// Host library functions, answered by the active stand-in host.

int GetTicksPerFrame() {
    standin::StandinHost* h = standin::StandinHost::Active();
    return (h && h->scene) ? h->scene->ticksPerFrame : standin::kDefaultTicksPerFrame;
}

void InitCustomControls(HINSTANCE) { ++standin::StandinHost::customControlInits; }

void DisableAccelerators() {
    if (standin::StandinHost* h = standin::StandinHost::Active()) {
        h->acceleratorsEnabled = false;
        ++h->acceleratorSwitches;
    }
}

void EnableAccelerators() {
    if (standin::StandinHost* h = standin::StandinHost::Active()) {
        h->acceleratorsEnabled = true;
        ++h->acceleratorSwitches;
    }
}
