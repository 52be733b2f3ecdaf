#include "cli/dialog_paths.h"

namespace md2export {

namespace {

bool IsSeparator(char c) { return c == '/' || c == '\\'; }

// Where the file part of a path begins.
size_t FilePartStart(const std::string& path) {
    const size_t slash = path.find_last_of("/\\");
    return slash == std::string::npos ? 0 : slash + 1;
}

}  // namespace

std::string DropLeadingDotSlash(const std::string& path) {
    size_t i = 0;
    while (i + 1 < path.size() && path[i] == '.' && IsSeparator(path[i + 1])) {
        i += 2;
        while (i < path.size() && IsSeparator(path[i])) ++i;
    }
    return path.substr(i);
}

std::string IntendedFileName(const std::string& name, const std::string& extension) {
    const size_t dot = name.find_last_of('.');
    if (dot == std::string::npos || dot < FilePartStart(name)) return name + extension;
    return name.substr(0, dot) + extension;
}

std::string BaseNameWithoutExtension(const std::string& path) {
    const std::string file = path.substr(FilePartStart(path));
    const size_t dot = file.find_last_of('.');
    return dot == std::string::npos || dot == 0 ? file : file.substr(0, dot);
}

std::string FolderOf(const std::string& path) {
    const size_t start = FilePartStart(path);
    if (start == 0) return std::string();
    return start == 1 ? path.substr(0, 1) : path.substr(0, start - 1);  // the root keeps its separator
}

}  // namespace md2export
