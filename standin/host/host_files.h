// The stand-in's side of the plug-in's file access (platform/file_access.h):
// Windows drive paths land in folders, and text mode writes CR LF line ends.
// On Windows the plug-in opens files itself, and the mapping has no effect.
#pragma once

#include <string>

namespace standin {

// Where paths on drive letter (A..Z) land; by default the current directory.
void SetDriveFolder(char drive, const std::string& folder);

// The local path a plug-in path names: "C:\x\y.asc" becomes <folder of C>/x/y.asc;
// any other path keeps its text, backslashes turned into '/'.
std::string MapHostPath(const char* path);

// Makes the file door fail as a full disk would, with error (an errno value),
// at step `step` counted from now over every file written: each byte written
// is a step, the flush to disk of a file another and its rename a third. A
// negative step turns the fault off. For tests that break a write at every
// point of it.
void SetWriteFault(long step, int error);

// Whether a written file is flushed to disk before it replaces its target (by
// default it is). A kill of the writer leaves the old file or the new one
// either way; the flush guards against losing the machine itself, and a fuzzer
// that writes thousands of files a second can do without it.
void SetSyncToDisk(bool sync);

}  // namespace standin
