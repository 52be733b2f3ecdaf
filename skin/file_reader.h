// Little-endian reading of a host file that never runs past its end.
//
// The image readers and the TIM position read share it so that every reader
// treats a short or lying file the same way: a read that would pass the end
// fails, the failure sticks, and sizes taken from a header can be checked
// against what the file still holds before anything is allocated for them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>

class HostFileReader {
public:
    // Opens path through OpenHostFile in "rb" mode.
    explicit HostFileReader(const char* path);
    ~HostFileReader();
    HostFileReader(const HostFileReader&) = delete;
    HostFileReader& operator=(const HostFileReader&) = delete;

    bool IsOpen() const { return file_ != nullptr; }
    // False once any read or skip has come up short (or the file is not open).
    bool Ok() const { return ok_; }
    // Bytes between the current position and the end of the file.
    uint64_t Remaining() const { return remaining_; }
    // True when count items of size bytes each are still in the file; no overflow.
    bool Holds(uint64_t count, uint64_t size) const;

    // Each read fills its target completely or fails; a failed read leaves
    // zeros, and every later read fails too.
    bool Read(void* target, size_t bytes);
    bool Skip(uint64_t bytes);
    uint8_t U8();
    uint16_t U16();
    int16_t I16();
    uint32_t U32();
    int32_t I32();

private:
    std::FILE* file_ = nullptr;
    uint64_t remaining_ = 0;
    bool ok_ = false;
};
