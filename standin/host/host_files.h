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

}  // namespace standin
