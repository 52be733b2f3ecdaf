#include "core/quake_export_utility.h"


#include "platform/export_report.h"

const char kModelFileFilter[] = "Quake models (*.md2)\0*.md2\0";
const char kSaveModelTitle[] = "Save Quake Model";

QuakeExportUtility::~QuakeExportUtility() {
    ReleaseExportBuffers();
}

void QuakeExportUtility::ReleaseExportBuffers() {
    delete[] vertices;
    vertices = nullptr;
    delete[] faces;
    faces = nullptr;
    delete[] textures;  // destroys every record of the allocation, releasing its image
    textures = nullptr;
    delete[] skinBuffer;
    skinBuffer = nullptr;
    delete[] skinIndexBuffer;
    skinIndexBuffer = nullptr;
    delete[] frameVertices;
    frameVertices = nullptr;
    delete[] frameFaces;
    frameFaces = nullptr;
}

void QuakeExportUtility::SelectionSetChanged(Interface*, IUtil*) {}

// The object is static and lives until the module is unloaded.
void QuakeExportUtility::DeleteThis() {}

void QuakeExportUtility::SetStartupParam(CStr) {}

void QuakeExportUtility::ReportWritten(const char* prefix, const char* path) {
    if (LogSys* log = hostInterface ? hostInterface->Log() : nullptr) {
        log->LogEntry(SYSLOG_INFO, FALSE, kReportTitle, "%s%s", prefix, path);
    }
}

void QuakeExportUtility::ReportLatchedReason() {
    if (!engine.errorSet) return;
    if (LogSys* log = hostInterface ? hostInterface->Log() : nullptr) {
        log->LogEntry(SYSLOG_ERROR, FALSE, engine.errorCaption, "%s", engine.errorText);
    }
}
