#include "core/output_name.h"

#include <cstring>

void CutAtFirstDot(char* path) {
    if (char* dot = std::strchr(path, '.')) *dot = '\0';
}

void CopyCut(char* target, size_t capacity, const char* source) {
    size_t n = source ? std::strlen(source) : 0;
    if (n > capacity - 1) n = capacity - 1;
    if (n) std::memcpy(target, source, n);
    target[n] = '\0';
}

int FormOutputName(char* name, size_t capacity, const char* extension) {
    const char* dot = std::strchr(name, '.');
    size_t stem = dot ? static_cast<size_t>(dot - name) : std::strlen(name);
    size_t ext = std::strlen(extension);
    if (stem + ext + 1 > capacity) return 0;
    std::memcpy(name + stem, extension, ext + 1);
    return 1;
}
