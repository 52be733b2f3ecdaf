// Whole files in and out, for the preview's models, skins and pictures.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace preview {

// Reads the whole file (at most 256 MiB). On failure the error names the path and the cause.
bool ReadFileBytes(const std::string& path, std::vector<uint8_t>& bytes, std::string& error);

// Replaces path with bytes whole or not at all: written beside it under a
// temporary name, flushed, then renamed over it.
bool WriteFileWhole(const std::string& path, const std::vector<uint8_t>& bytes, std::string& error);

}  // namespace preview
