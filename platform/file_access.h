// The one door through which the plug-in opens files.
//
// A file the plug-in writes is replaced whole or not at all, so that a full
// disk, a failure or a killed host leaves either the file as it was or the new
// one. Opened for writing, the file is a temporary beside the target, named
// "<target>.partial" (never a name the plug-in forms for a model or a skin);
// CloseWrittenFile flushes it to disk and renames it over the target, and
// DropWrittenFile removes it. From the open to either of them the writer holds
// an exclusive lock on the target, so that exports to one file take turns and
// an update reads, checks and replaces the model as one step.
//
// On Windows these are the C library's files over the system's own calls
// (platform/file_access_win32.cpp). The stand-in maps a drive path such as
// "C:\tris.asc" into a folder chosen for that drive and gives text mode ("t")
// the carriage-return line ends the host platform writes, so that every output
// is the same bytes on both.
#pragma once

#include <cstdio>

// Opens path with an fopen mode; null when it cannot, with the reason for
// HostFileError and errno set (ENOENT, EEXIST as below).
//   "rb"          reads the file itself;
//   "wb", "wt"    write a new file (binary, text);
//   "wbx"         the same, but fails with EEXIST when the target exists;
//   "r+b"         updates: reads and writes a copy of the file, failing with
//                 ENOENT when there is none.
// A target that is a device is written in place, and counts as no file: it
// is not updated ("r+b" fails with ENOENT) and "wbx" writes it.
std::FILE* OpenHostFile(const char* path, const char* mode);

// Ends a file opened for writing: its bytes go to disk and replace the target.
// 1 then; 0, with the target as it was and the temporary gone, when a write,
// the flush or the rename failed.
int CloseWrittenFile(std::FILE* file);

// Ends a file opened for writing without replacing the target.
void DropWrittenFile(std::FILE* file);

// The operating system's text for this thread's last failure of the door
// ("No space left on device"); empty when there was none.
const char* HostFileError();
