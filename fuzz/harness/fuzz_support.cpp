#include "fuzz/harness/fuzz_support.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <system_error>

#include <signal.h>
#include <unistd.h>

#include "standin/host/host_files.h"

namespace vorn_fuzz {

namespace fs = std::filesystem;

namespace {

std::string g_folder;

constexpr char kFolderPrefix[] = "vorn-fuzz-";

void RemoveFolder() {
    std::error_code ignored;
    if (!g_folder.empty()) fs::remove_all(g_folder, ignored);
}

// A process that crashed (libFuzzer ends it without running exit handlers)
// leaves its folder behind; the next process removes the folders of those
// that are gone. Folders are named vorn-fuzz-<process id>-<random>.
void RemoveFoldersOfEndedProcesses(const fs::path& base) {
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(base, ec)) {
        const std::string name = entry.path().filename().string();
        if (name.compare(0, sizeof kFolderPrefix - 1, kFolderPrefix) != 0) continue;
        char* end = nullptr;
        const long pid = std::strtol(name.c_str() + sizeof kFolderPrefix - 1, &end, 10);
        if (pid <= 0 || *end != '-') continue;
        if (kill(static_cast<pid_t>(pid), 0) != 0 && errno == ESRCH) {
            std::error_code ignored;
            fs::remove_all(entry.path(), ignored);
        }
    }
}

}  // namespace

const std::string& ScratchFolder() {
    if (g_folder.empty()) {
        std::error_code ec;
        fs::path base = fs::temp_directory_path(ec);
        if (ec) base = "/tmp";
        RemoveFoldersOfEndedProcesses(base);
        std::string pattern =
            (base / (kFolderPrefix + std::to_string(static_cast<long>(getpid())) + "-XXXXXX")).string();
        if (!mkdtemp(pattern.data())) Fail("cannot make a scratch folder", pattern);
        g_folder = pattern;
        std::atexit(RemoveFolder);
        // Kills and failed writes are the fuzzer's concern, lost power is not:
        // a flush to disk would make it wait on the disk at every file.
        standin::SetSyncToDisk(false);
    }
    standin::SetDriveFolder('C', g_folder);
    return g_folder;
}

std::string ScratchFile(const std::string& name) { return ScratchFolder() + "/" + name; }

void ClearScratchFolder() {
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(ScratchFolder(), ec)) fs::remove_all(entry.path(), ec);
}

std::vector<std::string> ScratchFileNames() {
    std::vector<std::string> names;
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(ScratchFolder(), ec)) {
        names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

void WriteBytes(const std::string& path, const uint8_t* data, size_t size) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    if (size) out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    if (!out) Fail("cannot write a scratch file", path);
}

bool ReadBytes(const std::string& path, Bytes& out) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    out.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return !in.bad();
}

bool FileExists(const std::string& path) {
    std::error_code ec;
    return fs::exists(path, ec);
}

void Fail(const std::string& what, const std::string& detail) {
    throw BrokenPromise{detail.empty() ? what : what + ": " + detail};
}

int64_t ByteSource::Int(int64_t lo, int64_t hi) {
    const uint64_t span = static_cast<uint64_t>(hi) - static_cast<uint64_t>(lo);
    uint64_t value = 0;
    for (uint64_t covered = 0; covered < span && Remaining() > 0; covered = (covered << 8) | 0xFF) {
        value = (value << 8) | Byte();
    }
    if (span != UINT64_MAX) value %= span + 1;
    return static_cast<int64_t>(static_cast<uint64_t>(lo) + value);
}

std::string ByteSource::String(size_t maxLength) {
    const size_t length = static_cast<size_t>(Int(0, static_cast<int64_t>(maxLength)));
    std::string text;
    for (size_t i = 0; i < length && Remaining() > 0; ++i) text += static_cast<char>(Byte());
    return text;
}

Bytes ByteSource::Take(size_t count) {
    if (count > Remaining()) count = Remaining();
    Bytes bytes(data_ + at_, data_ + at_ + count);
    at_ += count;
    return bytes;
}

}  // namespace vorn_fuzz
