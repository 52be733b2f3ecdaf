#include "preview/file_bytes.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace preview {

bool ReadFileBytes(const std::string& path, std::vector<uint8_t>& bytes, std::string& error) {
    constexpr long kLimit = 256L << 20;
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (!file) {
        error = path + ": " + std::strerror(errno);
        return false;
    }
    long size = -1;
    if (std::fseek(file, 0, SEEK_END) == 0) size = std::ftell(file);
    if (size < 0 || size > kLimit || std::fseek(file, 0, SEEK_SET) != 0) {
        std::fclose(file);
        error = path + (size > kLimit ? ": larger than 256 MiB" : ": cannot be read to its end");
        return false;
    }
    bytes.resize(static_cast<std::size_t>(size));
    const bool complete = std::fread(bytes.data(), 1, bytes.size(), file) == bytes.size();
    std::fclose(file);
    if (!complete) error = path + ": read short";
    return complete;
}

bool WriteFileWhole(const std::string& path, const std::vector<uint8_t>& bytes, std::string& error) {
    const std::string temporary = path + ".part";
    std::FILE* file = std::fopen(temporary.c_str(), "wb");
    if (!file) {
        error = temporary + ": " + std::strerror(errno);
        return false;
    }
    bool written = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    written = std::fflush(file) == 0 && written;
    written = std::fclose(file) == 0 && written;
#ifdef _WIN32
    // Windows renames only onto a free name.
    if (written) std::remove(path.c_str());
#endif
    if (!written || std::rename(temporary.c_str(), path.c_str()) != 0) {
        error = path + ": " + (written ? "cannot replace it: " : "cannot write it: ") + std::strerror(errno);
        std::remove(temporary.c_str());
        return false;
    }
    return true;
}

}  // namespace preview
