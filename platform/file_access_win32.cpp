// On Windows the plug-in's files are the C library's own: drive paths are real
// and text mode writes CR LF by itself.
#include <cstdio>

#include "platform/file_access.h"

std::FILE* OpenHostFile(const char* path, const char* mode) { return std::fopen(path, mode); }

int RemoveHostFile(const char* path) { return std::remove(path) == 0 ? 1 : 0; }
