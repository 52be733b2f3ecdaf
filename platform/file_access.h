// The one door through which the plug-in opens and removes files.
//
// On Windows these are the C library's fopen and remove. The stand-in maps a
// drive path such as "C:\tris.asc" into a folder chosen for that drive and gives
// text mode ("t") the carriage-return line ends the host platform writes, so
// that every output is the same bytes on both.
#pragma once

#include <cstdio>

// Opens path with an fopen mode ("rb", "wb", "r+b", "wt"); null when it cannot.
std::FILE* OpenHostFile(const char* path, const char* mode);

// Removes a file the plug-in created; 1 when it is gone.
int RemoveHostFile(const char* path);

// Closes a file the plug-in has just written. One that a write or the close
// failed on would be cut short, so it is removed: 0 then, else 1.
inline int CloseWrittenFile(std::FILE* file, const char* path) {
    const bool failed = std::ferror(file) != 0;
    if (std::fclose(file) != 0 || failed) {
        RemoveHostFile(path);
        return 0;
    }
    return 1;
}
