// Little-endian fields for the file formats, written into and read from byte
// buffers one by one, whatever the machine's own order.
#pragma once

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <vector>

inline void PutU8(std::vector<uint8_t>& out, uint8_t v) { out.push_back(v); }

inline void PutU16(std::vector<uint8_t>& out, uint16_t v) {
    out.push_back(static_cast<uint8_t>(v));
    out.push_back(static_cast<uint8_t>(v >> 8));
}

inline void PutU32(std::vector<uint8_t>& out, uint32_t v) {
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

inline void PutI16(std::vector<uint8_t>& out, int16_t v) { PutU16(out, static_cast<uint16_t>(v)); }
inline void PutI32(std::vector<uint8_t>& out, int32_t v) { PutU32(out, static_cast<uint32_t>(v)); }

inline void PutF32(std::vector<uint8_t>& out, float v) {
    uint32_t bits;
    std::memcpy(&bits, &v, sizeof bits);
    PutU32(out, bits);
}

// The same fields stored at p, into a buffer sized first and filled after.
inline void StoreU32(uint8_t* p, uint32_t v) {
    for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
}

inline void StoreF32(uint8_t* p, float v) {
    uint32_t bits;
    std::memcpy(&bits, &v, sizeof bits);
    StoreU32(p, bits);
}

inline uint16_t GetU16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }

inline uint32_t GetU32(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
           (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

inline int32_t GetI32(const uint8_t* p) { return static_cast<int32_t>(GetU32(p)); }

inline float GetF32(const uint8_t* p) {
    uint32_t bits = GetU32(p);
    float v;
    std::memcpy(&v, &bits, sizeof v);
    return v;
}

// The same fields written straight to a file; like every write of the writers,
// the results are not examined.
inline void PutU8(std::FILE* file, uint8_t v) { std::fputc(v, file); }

inline void PutU16(std::FILE* file, uint16_t v) {
    PutU8(file, static_cast<uint8_t>(v));
    PutU8(file, static_cast<uint8_t>(v >> 8));
}

inline void PutU32(std::FILE* file, uint32_t v) {
    PutU16(file, static_cast<uint16_t>(v));
    PutU16(file, static_cast<uint16_t>(v >> 16));
}

inline void PutZeros(std::FILE* file, int count) {
    for (int i = 0; i < count; ++i) PutU8(file, 0);
}
