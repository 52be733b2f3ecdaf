#include "standin/host/host_files.h"

#include <cctype>
#include <cstdio>
#include <cstring>
#include <map>

#include "platform/file_access.h"

namespace standin {

namespace {

std::map<char, std::string>& DriveFolders() {
    static std::map<char, std::string> folders;
    return folders;
}

}  // namespace

void SetDriveFolder(char drive, const std::string& folder) {
    DriveFolders()[static_cast<char>(std::toupper(static_cast<unsigned char>(drive)))] = folder;
}

std::string MapHostPath(const char* path) {
    std::string rest = path ? path : "";
    std::string prefix;
    if (rest.size() >= 2 && std::isalpha(static_cast<unsigned char>(rest[0])) && rest[1] == ':') {
        const char drive = static_cast<char>(std::toupper(static_cast<unsigned char>(rest[0])));
        auto it = DriveFolders().find(drive);
        prefix = (it != DriveFolders().end() && !it->second.empty()) ? it->second : ".";
        rest = rest.substr(2);
        while (!rest.empty() && (rest[0] == '\\' || rest[0] == '/')) rest.erase(0, 1);
        prefix += '/';
    }
    for (char& c : rest) {
        if (c == '\\') c = '/';
    }
    return prefix + rest;
}

}  // namespace standin

// On Windows the plug-in opens its files with the C library itself
// (platform/file_access_win32.cpp), so drive folders change nothing there.
#if !defined(_WIN32)

namespace {

// Text mode as the host platform's C library has it: "\n" goes out as "\r\n".
// The text between line ends goes out in one piece; on a failed write the
// result is what was written of buf before it (-1 for nothing).
ssize_t WriteText(void* cookie, const char* buf, size_t size) {
    std::FILE* f = static_cast<std::FILE*>(cookie);
    auto written = [](size_t n) { return n ? static_cast<ssize_t>(n) : -1; };
    size_t done = 0;
    while (done < size) {
        const void* lineEnd = std::memchr(buf + done, '\n', size - done);
        const size_t end = lineEnd ? static_cast<size_t>(static_cast<const char*>(lineEnd) - buf) : size;
        const size_t put = std::fwrite(buf + done, 1, end - done, f);
        done += put;
        if (done != end) return written(done);
        if (!lineEnd) break;
        if (std::fputc('\r', f) == EOF || std::fputc('\n', f) == EOF) return written(done);
        ++done;
    }
    return static_cast<ssize_t>(size);
}

int CloseText(void* cookie) { return std::fclose(static_cast<std::FILE*>(cookie)); }

std::FILE* OpenLocalFile(const std::string& local, const char* mode) {
    const bool text = std::strchr(mode, 't') != nullptr;
    std::string m;
    for (const char* p = mode; *p; ++p) {
        if (*p != 't') m += *p;
    }
    if (!text || m.empty() || m[0] != 'w') return std::fopen(local.c_str(), m.c_str());
    std::FILE* raw = std::fopen(local.c_str(), "wb");
    if (!raw) return nullptr;
    cookie_io_functions_t io = {nullptr, WriteText, nullptr, CloseText};
    std::FILE* f = fopencookie(raw, "w", io);
    if (!f) std::fclose(raw);
    return f;
}

}  // namespace

std::FILE* OpenHostFile(const char* path, const char* mode) {
    return OpenLocalFile(standin::MapHostPath(path), mode);
}

int RemoveHostFile(const char* path) {
    return std::remove(standin::MapHostPath(path).c_str()) == 0 ? 1 : 0;
}

#endif
