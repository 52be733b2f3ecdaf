// The names md2export hands to the plug-in, and the names the user means by them.
#pragma once

#include <string>

namespace md2export {

// path without any leading "./" (or ".\"): the plug-in would cut "./x" to nothing.
std::string DropLeadingDotSlash(const std::string& path);

// The name a user means by name: its last extension, if the file part has
// one, replaced by extension.
std::string IntendedFileName(const std::string& name, const std::string& extension);

// The base name of a path without its last extension ("scenes/robot.json" → "robot").
std::string BaseNameWithoutExtension(const std::string& path);

// The folder part of a path, without its last separator; "" when it has none.
std::string FolderOf(const std::string& path);

}  // namespace md2export
