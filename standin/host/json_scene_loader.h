// Loads a JSON scene description (.json, "md2-scene" version 1) into the
// stand-in host's Scene.
//
// The loader is strict: an unknown key, a value of the wrong type or an index
// outside its array is an error, so that a typo never silently changes an
// export. Errors come back as text naming the file, the JSON path of the
// offending value (e.g. root.children[0].mesh.faces[3].v[1]) and what was
// expected; nothing is thrown.
#pragma once

#include <optional>
#include <string>

#include "standin/host/standin_scene.h"

namespace standin {

// Nodes nested deeper than this are refused, so that a hostile file cannot
// exhaust the stack of the loader or of anything that walks the tree later.
constexpr int kMaxSceneDepth = 256;

// Reads the file at path and loads it. Relative bitmap paths are joined to the
// folder part of path as given (folder + "/" + bitmap); a path without a folder
// leaves them as written. On success out is replaced by the new scene and
// error is cleared; on failure out is left as it was and error says why.
bool LoadJsonScene(const std::string& path, Scene& out, std::string& error);

// Loads a scene from JSON text. sceneFolder is the folder relative bitmap
// paths are joined to; std::nullopt leaves them as written. fileName only
// names the source in error messages.
bool LoadJsonSceneText(const std::string& text, const std::optional<std::string>& sceneFolder,
                       Scene& out, std::string& error, const std::string& fileName = "<scene text>");

// The folder part of a scene file's path as given (the text before its last
// '/' or '\'), or std::nullopt when the path has no folder.
std::optional<std::string> SceneFolderOf(const std::string& path);

}  // namespace standin
