// The names md2export hands to the plug-in, and what the plug-in makes of
// them: it ends every file name at its first "." (anywhere, a folder's name
// included) and appends its own extension.
#pragma once

#include <string>

namespace md2export {

// The plug-in's path buffers hold 260 characters with the terminating zero;
// the panel's text fields 256.
constexpr size_t kPluginPathCapacity = 260;
constexpr size_t kPluginTextCapacity = 256;

// path without any leading "./" (or ".\"): the plug-in would cut "./x" to nothing.
std::string DropLeadingDotSlash(const std::string& path);

// The name the plug-in forms from name: up to its first ".", then extension
// (with its dot).
std::string PluginFileName(const std::string& name, const std::string& extension);

// The name a user means by name: its last extension, if the file part has
// one, replaced by extension.
std::string IntendedFileName(const std::string& name, const std::string& extension);

// The base name of a path without its last extension ("scenes/robot.json" → "robot").
std::string BaseNameWithoutExtension(const std::string& path);

// The folder part of a path, without its last separator; "" when it has none.
std::string FolderOf(const std::string& path);

}  // namespace md2export
