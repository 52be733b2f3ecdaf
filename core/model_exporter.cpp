#include "core/model_exporter.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <utility>

#include "core/output_name.h"
#include "platform/file_access.h"

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

void ModelExporter::LatchFileFailure(const char* format, const char* path) {
    char what[kErrorTextSize];
    std::snprintf(what, sizeof what, format, path ? path : "");
    LatchError((std::string(what) + ": " + HostFileError()).c_str(), "File Error");
}
