#include "core/model_exporter.h"

#include <cstdlib>
#include <cstring>
#include <utility>

#include "core/output_name.h"

NodeMesh::~NodeMesh() {
    if (created_) created_->DeleteThis();
}

NodeMesh::NodeMesh(NodeMesh&& other) noexcept
    : mesh_(std::exchange(other.mesh_, nullptr)), created_(std::exchange(other.created_, nullptr)) {}

NodeMesh& NodeMesh::operator=(NodeMesh&& other) noexcept {
    if (this != &other) {
        if (created_) created_->DeleteThis();
        mesh_ = std::exchange(other.mesh_, nullptr);
        created_ = std::exchange(other.created_, nullptr);
    }
    return *this;
}

ModelExporter::ModelExporter() {
    errorText[0] = '\0';
    errorCaption[0] = '\0';
}

ModelExporter::~ModelExporter() {
    std::free(nodes);
    nodes = nullptr;
    nodeCount = 0;
}

void ModelExporter::LatchError(const char* text, const char* caption) {
    if (errorSet) return;
    CopyCut(errorText, sizeof errorText, text);
    CopyCut(errorCaption, sizeof errorCaption, caption);
    errorSet = 1;
}
