#include "skin/file_reader.h"

#include <cstring>
#include <limits>

#include "core/byte_order.h"
#include "platform/file_access.h"

HostFileReader::HostFileReader(const char* path) {
    if (!path) return;
    file_ = OpenHostFile(path, "rb");
    if (!file_) return;
    // A file whose size cannot be learnt is read as an empty one: every read fails.
    if (std::fseek(file_, 0, SEEK_END) == 0) {
        const long size = std::ftell(file_);
        if (size > 0 && std::fseek(file_, 0, SEEK_SET) == 0) remaining_ = static_cast<uint64_t>(size);
    }
    ok_ = true;
}

HostFileReader::~HostFileReader() {
    if (file_) std::fclose(file_);
}

bool HostFileReader::Holds(uint64_t count, uint64_t size) const {
    if (size != 0 && count > std::numeric_limits<uint64_t>::max() / size) return false;
    return count * size <= remaining_;
}

bool HostFileReader::Read(void* target, size_t bytes) {
    if (!ok_ || bytes > remaining_) {
        ok_ = false;
        std::memset(target, 0, bytes);
        return false;
    }
    const size_t got = std::fread(target, 1, bytes, file_);
    remaining_ -= got;
    if (got != bytes) {
        ok_ = false;
        std::memset(static_cast<uint8_t*>(target) + got, 0, bytes - got);
    }
    return ok_;
}

bool HostFileReader::Skip(uint64_t bytes) {
    // remaining_ came from ftell, so any count up to it fits a long.
    if (!ok_ || bytes > remaining_ || std::fseek(file_, static_cast<long>(bytes), SEEK_CUR) != 0) {
        ok_ = false;
        return false;
    }
    remaining_ -= bytes;
    return true;
}

uint8_t HostFileReader::U8() {
    uint8_t b = 0;
    Read(&b, 1);
    return b;
}

uint16_t HostFileReader::U16() {
    uint8_t b[2];
    Read(b, sizeof b);
    return GetU16(b);
}

int16_t HostFileReader::I16() { return static_cast<int16_t>(U16()); }

uint32_t HostFileReader::U32() {
    uint8_t b[4];
    Read(b, sizeof b);
    return GetU32(b);
}

int32_t HostFileReader::I32() { return static_cast<int32_t>(U32()); }
