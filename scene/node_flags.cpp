// Vertex and face flags: the marks of a node's "Vezo zi!" modifiers, gathered
// into one FlagBlock per mesh vertex and one per mesh face.
#include <cstdint>

#include "core/model_exporter.h"

namespace {

constexpr int kVertexLevel = 3;
constexpr int kFaceLevel = 2;
constexpr int kToggleCount = 32;
constexpr int kValueCount = 8;

// ORs mask and values into the block of every selected element.
void MarkSelected(const BitArray& selection, int32_t count, FlagBlock* blocks, uint32_t mask,
                  const uint32_t (&values)[kValueCount]) {
    if (!blocks) return;
    for (int32_t i = 0; i < count; ++i) {
        if (!selection[i]) continue;
        blocks[i].flagMask |= mask;
        for (int v = 0; v < kValueCount; ++v) blocks[i].flagValues[v] |= values[v];
    }
}

}  // namespace

void ModelExporter::ReadNodeFlags(INode* node, int32_t vertexCount, FlagBlock* vertexBlocks, int32_t faceCount,
                                  FlagBlock* faceBlocks) {
    Object* ref = node ? node->GetObjectRef() : nullptr;
    if (!ref) {
        LatchError("Could not get object reference for flag retrieval", "Internal Program Error");
        return;
    }
    if (ref->SuperClassID() != GEN_DERIVOB_CLASS_ID) return;
    auto* stack = dynamic_cast<IDerivedObject*>(ref);
    if (!stack) return;

    const CStr flagModifierName(kFlagModifierName);
    for (int i = stack->NumModifiers() - 1; i >= 0; --i) {
        Modifier* modifier = stack->GetModifier(i);
        if (!modifier) continue;
        const CStr name = modifier->GetName();
        if (name != flagModifierName) continue;
        auto* marks = dynamic_cast<FlagModifier*>(modifier);
        if (!marks) continue;

        // A context without the modifier's data has empty selections, which
        // then disagree in size with any mesh that has vertices or faces.
        ModContext* context = stack->GetModContext(i);
        auto* data = context ? dynamic_cast<FlagModData*>(context->localData) : nullptr;
        const BitArray none;
        const BitArray& vertexSelection = data ? data->vertSel : none;
        const BitArray& faceSelection = data ? data->faceSel : none;
        if (vertexSelection.GetSize() != vertexCount) {
            LatchError("Mesh vertex count inconsistent throughout modifier stack..unable to get flags", "Scene Error");
            return;
        }
        if (faceSelection.GetSize() != faceCount) {
            LatchError("Mesh face count inconsistent throughout modifier stack..unable to get flags", "Scene Error");
            return;
        }

        uint32_t mask = 0;
        for (int k = 0; k < kToggleCount; ++k) mask |= static_cast<uint32_t>(marks->FlagToggle(k)) << k;
        uint32_t values[kValueCount];
        for (int v = 0; v < kValueCount; ++v) values[v] = marks->FlagValue(v);

        const int level = marks->SelectionLevel();
        if (level == kVertexLevel) {
            MarkSelected(vertexSelection, vertexCount, vertexBlocks, mask, values);
        } else if (level == kFaceLevel) {
            MarkSelected(faceSelection, faceCount, faceBlocks, mask, values);
        }
    }
}
