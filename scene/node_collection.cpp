// Node collection: which scene nodes make up the exported model, in pre-order.
#include <cstdlib>
#include <cstring>

#include "core/model_exporter.h"

namespace {

// Nodes with these exact names (case matters) are the scene's root and never
// taken themselves; their children are still walked.
constexpr const char* kRootNames[] = {"Root", "Scene Root"};

// The super-class number NODE_SUPER_CLASS_MATCH asks for.
constexpr SClass_ID kMatchedSuperClass = 0x30;

constexpr int32_t kPropertyBits = NODE_SUPER_CLASS_MATCH | NODE_TRI_MESH | NODE_HAS_MATERIAL | NODE_SELECTED;

struct NodeProperty {
    int32_t bit;
    bool (*has)(INode* node, Object* evaluated);
};

// Every property is asked of every node, whatever the request.
constexpr NodeProperty kNodeProperties[] = {
    {NODE_HAS_MATERIAL, [](INode* node, Object*) { return node->GetMtl() != nullptr; }},
    {NODE_TRI_MESH, [](INode*, Object* obj) { return obj && obj->CanConvertToType(triObjectClassID) != 0; }},
    {NODE_SUPER_CLASS_MATCH, [](INode*, Object* obj) { return obj && obj->SuperClassID() == kMatchedSuperClass; }},
    {NODE_SELECTED, [](INode* node, Object*) { return node->Selected() != 0; }},
};

bool IsRootName(const char* name) {
    if (!name) return false;
    for (const char* root : kRootNames) {
        if (std::strcmp(name, root) == 0) return true;
    }
    return false;
}

}  // namespace

int ModelExporter::CollectNodes(Interface* ip, int32_t bits) {
    INode* root = ip ? ip->GetRootNode() : nullptr;
    // The counting pass must not store, whatever the caller passed.
    const int32_t request = bits & ~NODE_STORE;

    nodeCount = 0;
    WalkNodes(root, request);
    const int32_t counted = nodeCount;

    std::free(nodes);
    nodes = nullptr;
    nodeCount = 0;
    nodeCapacity = 0;
    // Zero handles is no failure, whatever malloc(0) answers.
    nodes = static_cast<INode**>(std::malloc(sizeof(INode*) * static_cast<size_t>(counted)));
    if (!nodes && counted > 0) {
        LatchError("Could not allocate memory for node enumeration", "Memory error");
        return 0;
    }
    nodeCapacity = counted;

    WalkNodes(root, request | NODE_STORE);
    return 1;
}

void ModelExporter::WalkNodes(INode* node, int32_t bits) {
    if (!node) return;
    const int children = node->NumberOfChildren();
    TestNode(node, bits);
    for (int i = 0; i < children; ++i) WalkNodes(node->GetChildNode(i), bits);
}

void ModelExporter::TestNode(INode* node, int32_t bits) {
    if (!node || IsRootName(node->GetName())) return;
    const ObjectState state = node->EvalWorldState(0, 1);

    int32_t has = 0;
    for (const NodeProperty& property : kNodeProperties) {
        if (property.has(node, state.obj)) has |= property.bit;
    }
    const int32_t wanted = bits & kPropertyBits;
    if ((has & wanted) != wanted) return;

    if (bits & NODE_STORE) {
        // A node the counting pass did not see has no slot: it is left out
        // rather than written beyond the list.
        if (!nodes || nodeCount >= nodeCapacity) return;
        nodes[nodeCount] = node;
    }
    ++nodeCount;
}
