// The surface of the modelling host's SDK that the plug-in is written against.
//
// Only what the plug-in calls is declared, with the SDK's own names where it has
// them. The plug-in sees the host through these abstract classes alone; a host
// (the real one, or the stand-in under standin/host) supplies the objects and
// defines the free functions at the bottom.
#pragma once

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "platform/window_system.h"

// ---------------------------------------------------------------------------
// Plain data types
// ---------------------------------------------------------------------------

using TimeValue = int;        // host time, in ticks
using SClass_ID = uint32_t;   // super-class number

// Super-class numbers the plug-in looks at.
constexpr SClass_ID GEN_DERIVOB_CLASS_ID = 2;  // an object with a modifier stack
constexpr SClass_ID UTILITY_CLASS_ID = 0x1020;

struct Point3 {
    float x = 0.0f, y = 0.0f, z = 0.0f;
    Point3() = default;
    Point3(float ax, float ay, float az) : x(ax), y(ay), z(az) {}
};

// A 4 x 3 matrix: rows 0..2 are the axes, row 3 the translation.
struct Matrix3 {
    Point3 row[4] = {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}, {0, 0, 0}};
    Point3 GetRow(int i) const { return row[i]; }
    void SetRow(int i, const Point3& p) { row[i] = p; }
};

// The three axis rows of m applied to p, in single precision:
// p.x * r0 + p.y * r1 + p.z * r2 (no translation).
Point3 VectorTransform(const Matrix3& m, const Point3& p);

class Class_ID {
public:
    constexpr Class_ID() = default;
    constexpr Class_ID(uint32_t a, uint32_t b) : a_(a), b_(b) {}
    constexpr uint32_t PartA() const { return a_; }
    constexpr uint32_t PartB() const { return b_; }
    constexpr bool operator==(const Class_ID& o) const { return a_ == o.a_ && b_ == o.b_; }
    constexpr bool operator!=(const Class_ID& o) const { return !(*this == o); }

private:
    uint32_t a_ = 0, b_ = 0;
};

constexpr Class_ID triObjectClassID(0x0009, 0);
constexpr Class_ID bitmapTexClassID(0x0240, 0);

// The host's string.
class CStr {
public:
    CStr() = default;
    CStr(const char* s) : s_(s ? s : "") {}  // NOLINT: implicit like the SDK's
    CStr(const CStr&) = default;
    CStr& operator=(const CStr&) = default;
    CStr& operator=(const char* s) { s_ = s ? s : ""; return *this; }
    ~CStr() = default;
    const char* data() const { return s_.c_str(); }
    int Length() const { return static_cast<int>(s_.size()); }
    bool operator==(const CStr& o) const { return s_ == o.s_; }
    bool operator!=(const CStr& o) const { return s_ != o.s_; }

private:
    std::string s_;
};

// A fixed-size array of bits.
class BitArray {
public:
    BitArray() = default;
    explicit BitArray(int size) : bits_(size > 0 ? static_cast<size_t>(size) : 0, false) {}
    int GetSize() const { return static_cast<int>(bits_.size()); }
    void SetSize(int size) { bits_.assign(size > 0 ? static_cast<size_t>(size) : 0, false); }
    void Set(int i, bool on = true) { if (i >= 0 && i < GetSize()) bits_[i] = on; }
    // Out-of-range bits read as clear.
    int operator[](int i) const { return (i >= 0 && i < GetSize() && bits_[i]) ? 1 : 0; }

private:
    std::vector<bool> bits_;
};

// ---------------------------------------------------------------------------
// Meshes
// ---------------------------------------------------------------------------

struct Face {
    uint32_t v[3] = {0, 0, 0};
    uint32_t smGroup = 0;
    uint32_t flags = 0;  // upper 16 bits: material id
    uint32_t getMatID() const { return flags >> 16; }
    void setMatID(uint32_t id) { flags = (flags & 0xFFFFu) | (id << 16); }
};

struct TVFace {
    uint32_t t[3] = {0, 0, 0};
};

// A triangle mesh as the plug-in reads it. Texture and colour faces run parallel
// to the faces when their vertex counts are above 0.
struct Mesh {
    std::vector<Point3> verts;
    std::vector<Face> faces;
    std::vector<Point3> tVerts;   // u, v and an ignored third component
    std::vector<TVFace> tvFace;
    std::vector<Point3> vertCol;  // red, green, blue
    std::vector<TVFace> vcFace;

    int getNumVerts() const { return static_cast<int>(verts.size()); }
    int getNumFaces() const { return static_cast<int>(faces.size()); }
    int getNumTVerts() const { return static_cast<int>(tVerts.size()); }
    int getNumVertCol() const { return static_cast<int>(vertCol.size()); }
};

// ---------------------------------------------------------------------------
// Scene objects
// ---------------------------------------------------------------------------

class Object {
public:
    virtual ~Object() = default;
    virtual SClass_ID SuperClassID() = 0;
    virtual int CanConvertToType(Class_ID type) = 0;
    // Returns this object when it already is of the type; otherwise a new object
    // the caller owns and must release with DeleteThis(). Null when it cannot.
    virtual Object* ConvertToType(TimeValue t, Class_ID type) = 0;
    // Releases an object that a conversion created.
    virtual void DeleteThis() = 0;
};

class TriObject : public Object {
public:
    virtual Mesh& GetMesh() = 0;
};

// The evaluated state of a node: its object at one time.
struct ObjectState {
    Object* obj = nullptr;
    ObjectState() = default;
    explicit ObjectState(Object* o) : obj(o) {}
    ObjectState(const ObjectState&) = default;
    ObjectState& operator=(const ObjectState&) = default;
    ~ObjectState() = default;
};

// Per-node data a modifier keeps; the flag modifier's holds its selections.
class LocalModData {
public:
    virtual ~LocalModData() = default;
};

struct ModContext {
    LocalModData* localData = nullptr;
};

class Modifier {
public:
    virtual ~Modifier() = default;
    virtual CStr GetName() = 0;
};

// The "Vezo zi!" flag modifier, a host plug-in of its own: what the flag
// retrieval reads of it.
constexpr const char* kFlagModifierName = "Vezo zi!";

class FlagModifier : public Modifier {
public:
    virtual uint32_t FlagValue(int i) = 0;   // i = 0..7
    virtual int FlagToggle(int k) = 0;       // k = 0..31
    virtual int SelectionLevel() = 0;        // 3 vertices, 2 faces
};

class FlagModData : public LocalModData {
public:
    BitArray vertSel;
    BitArray faceSel;
};

// An object with a modifier stack (super-class GEN_DERIVOB_CLASS_ID).
class IDerivedObject : public Object {
public:
    virtual int NumModifiers() = 0;
    virtual Modifier* GetModifier(int i) = 0;
    virtual ModContext* GetModContext(int i) = 0;
};

class Texmap {
public:
    virtual ~Texmap() = default;
    virtual Class_ID ClassID() = 0;
};

// The host's bitmap texture (class id bitmapTexClassID).
class BitmapTex : public Texmap {
public:
    // Host-owned path text, valid while the material is unchanged.
    virtual const char* GetMapName() = 0;
};

// Sub-texture map slot 1 holds the diffuse map.
constexpr int ID_DI = 1;

class Mtl {
public:
    virtual ~Mtl() = default;
    virtual CStr& GetName() = 0;
    virtual int NumSubMtls() = 0;
    virtual Mtl* GetSubMtl(int i) = 0;  // null for an empty slot
    virtual Texmap* GetSubTexmap(int i) = 0;
};

class INode {
public:
    virtual ~INode() = default;
    virtual const char* GetName() = 0;
    virtual int NumberOfChildren() = 0;
    virtual INode* GetChildNode(int i) = 0;
    virtual int Selected() = 0;
    virtual Mtl* GetMtl() = 0;
    // The node's evaluated object at t; valid until the next evaluation of the node.
    virtual const ObjectState& EvalWorldState(TimeValue t, int stopAtWSM = 1) = 0;
    // Takes the mesh's points to world space at t.
    virtual Matrix3 GetObjectTM(TimeValue t, void* valid = nullptr) = 0;
    virtual Object* GetObjectRef() = 0;
};

// The panel side of the host's utility branch.
class IUtil {
public:
    virtual ~IUtil() = default;
    virtual void CloseUtility() = 0;
};

// The host interface handed to a utility.
// The host's system log: what a plug-in reports without a dialog, for the
// user's log window or a script that drives the host.
enum : DWORD {
    SYSLOG_ERROR = 0x00000001,
    SYSLOG_WARN = 0x00000002,
    SYSLOG_INFO = 0x00000004,
    SYSLOG_DEBUG = 0x00000008,
};

class LogSys {
public:
    virtual ~LogSys() = default;
    // A printf-style entry; dialogue asks the host to show it as well.
    virtual void LogEntry(DWORD type, BOOL dialogue, const char* title, const char* format, ...) = 0;
};

class Interface {
public:
    virtual ~Interface() = default;
    virtual LogSys* Log() = 0;
    virtual HWND AddRollupPage(HINSTANCE module, LPCSTR dialogTemplate, DLGPROC proc,
                               LPCSTR title, LPARAM param = 0, DWORD flags = 0,
                               int category = 4000) = 0;
    virtual void DeleteRollupPage(HWND page) = 0;
    virtual void RollupMouseMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) = 0;
    virtual INode* GetRootNode() = 0;
};

// ---------------------------------------------------------------------------
// Plug-in registration
// ---------------------------------------------------------------------------

class ClassDesc;

// Interfaces a class description can hand out; the plug-in adds none.
class FPInterface {
public:
    virtual ~FPInterface() = default;
};
struct Interface_ID {
    uint32_t a = 0, b = 0;
};

class ClassDesc {
public:
    virtual ~ClassDesc() = default;
    virtual int IsPublic() = 0;
    virtual void* Create(int loading = 0) = 0;
    virtual int BeginCreate(Interface* ip) { (void)ip; return 0; }
    virtual int EndCreate(Interface* ip) { (void)ip; return 0; }
    virtual const char* ClassName() = 0;
    virtual SClass_ID SuperClassID() = 0;
    virtual Class_ID ClassID() = 0;
    virtual const char* Category() = 0;
    // Base defaults: no interfaces are published.
    virtual FPInterface* GetInterface(Interface_ID id) { (void)id; return nullptr; }
    virtual void AddInterface(FPInterface* fp) { (void)fp; }
};

class UtilityObj {
public:
    virtual ~UtilityObj() = default;
    virtual void BeginEditParams(Interface* ip, IUtil* iu) = 0;
    virtual void EndEditParams(Interface* ip, IUtil* iu) = 0;
    virtual void SelectionSetChanged(Interface* ip, IUtil* iu) { (void)ip; (void)iu; }
    virtual void DeleteThis() = 0;
    virtual void SetStartupParam(CStr param) { (void)param; }
};

// Version identifier LibVersion answers: host release 4000, interface 8.
constexpr ULONG VERSION_3DSMAX = 0x0FA00800;

// ---------------------------------------------------------------------------
// Host library functions (defined by the host)
// ---------------------------------------------------------------------------

int GetTicksPerFrame();
void InitCustomControls(HINSTANCE module);
void DisableAccelerators();
void EnableAccelerators();
