#include "export/quake_export_utility.h"

void QuakeExportUtility::BeginEditParams(Interface*, IUtil*) {}

void QuakeExportUtility::EndEditParams(Interface*, IUtil*) {}
