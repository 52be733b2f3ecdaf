// Little-endian fields of the skin files, written one at a time. As with every
// write of the skin writers, the results are not examined.
#pragma once

#include <cstdint>
#include <cstdio>

inline void PutU8(std::FILE* file, uint8_t value) { std::fputc(value, file); }

inline void PutU16(std::FILE* file, uint16_t value) {
    PutU8(file, static_cast<uint8_t>(value));
    PutU8(file, static_cast<uint8_t>(value >> 8));
}

inline void PutU32(std::FILE* file, uint32_t value) {
    PutU16(file, static_cast<uint16_t>(value));
    PutU16(file, static_cast<uint16_t>(value >> 16));
}

inline void PutZeros(std::FILE* file, int count) {
    for (int i = 0; i < count; ++i) PutU8(file, 0);
}
