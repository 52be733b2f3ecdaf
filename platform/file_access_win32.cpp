// On Windows the plug-in's files are the C library's own over the system's
// calls: drive paths are real and text mode writes CR LF by itself. A written
// file is a temporary beside the target, locked with a byte-range lock far
// past its data while it is open, flushed, and put in the target's place by
// ReplaceFile (which keeps the target's attributes) or, for a new target,
// MoveFileEx.
#include <windows.h>

#include <fcntl.h>
#include <io.h>

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "platform/file_access.h"

namespace {

thread_local std::string lastError;

void FailWithErrno(int error) {
    lastError = std::strerror(error);
    errno = error;
}

// The system's text for a failed call, and the errno the C library would give.
void FailWithSystemError(DWORD code) {
    char text[256] = "";
    const DWORD n = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code, 0,
                                   text, sizeof text, nullptr);
    std::string message(text, n);
    while (!message.empty() && (message.back() == '\r' || message.back() == '\n' || message.back() == '.'))
        message.pop_back();
    if (message.empty()) message = "system error " + std::to_string(code);
    lastError = message;
    switch (code) {
        case ERROR_FILE_NOT_FOUND:
        case ERROR_PATH_NOT_FOUND: errno = ENOENT; break;
        case ERROR_FILE_EXISTS:
        case ERROR_ALREADY_EXISTS: errno = EEXIST; break;
        case ERROR_DISK_FULL:
        case ERROR_HANDLE_DISK_FULL: errno = ENOSPC; break;
        case ERROR_ACCESS_DENIED:
        case ERROR_SHARING_VIOLATION: errno = EACCES; break;
        default: errno = EIO; break;
    }
}

struct WrittenFile {
    HANDLE handle = INVALID_HANDLE_VALUE;
    bool inPlace = false;  // a device: written as it is
    std::string target;
    std::string temporary;
};

std::mutex openFilesMutex;
std::map<std::FILE*, WrittenFile>& OpenFiles() {
    static std::map<std::FILE*, WrittenFile> files;
    return files;
}

// A lock on one byte at the far end of the offsets: no read or write of the
// file's data comes near it.
OVERLAPPED LockPlace() {
    OVERLAPPED place = {};
    place.Offset = 0xFFFFFFFEu;
    place.OffsetHigh = 0x7FFFFFFFu;
    return place;
}

bool SameFile(HANDLE held, const std::string& path) {
    const HANDLE named = CreateFileA(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                     nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (named == INVALID_HANDLE_VALUE) return false;
    BY_HANDLE_FILE_INFORMATION a, b;
    const bool same = GetFileInformationByHandle(held, &a) && GetFileInformationByHandle(named, &b) &&
                      a.dwVolumeSerialNumber == b.dwVolumeSerialNumber && a.nFileIndexHigh == b.nFileIndexHigh &&
                      a.nFileIndexLow == b.nFileIndexLow;
    CloseHandle(named);
    return same;
}

// Opens and locks the temporary; one renamed or removed by another writer
// between the open and the lock is tried again. One that another writer is
// removing cannot be opened until that writer lets it go: that is waited for
// too, a little.
HANDLE LockTemporary(const std::string& path) {
    for (int denied = 0;;) {
        const HANDLE handle =
            CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                        nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (handle == INVALID_HANDLE_VALUE && GetLastError() == ERROR_ACCESS_DENIED && ++denied < 200) {
            Sleep(10);
            continue;
        }
        if (handle == INVALID_HANDLE_VALUE) return handle;
        OVERLAPPED place = LockPlace();
        if (!LockFileEx(handle, LOCKFILE_EXCLUSIVE_LOCK, 0, 1, 0, &place)) {
            const DWORD code = GetLastError();
            CloseHandle(handle);
            SetLastError(code);
            return INVALID_HANDLE_VALUE;
        }
        if (SameFile(handle, path)) return handle;
        CloseHandle(handle);
    }
}

bool CopyInto(const std::string& path, HANDLE to) {
    const HANDLE from = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                    nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (from == INVALID_HANDLE_VALUE) return false;
    std::vector<char> buffer(1 << 16);
    bool ok = true;
    for (;;) {
        DWORD got = 0, put = 0;
        if (!ReadFile(from, buffer.data(), static_cast<DWORD>(buffer.size()), &got, nullptr)) ok = false;
        if (!ok || got == 0) break;
        if (!WriteFile(to, buffer.data(), got, &put, nullptr) || put != got) {
            ok = false;
            break;
        }
    }
    const DWORD code = GetLastError();
    CloseHandle(from);
    SetLastError(code);
    return ok && SetFilePointer(to, 0, nullptr, FILE_BEGIN) != INVALID_SET_FILE_POINTER;
}

// The handle for mode, locked, with the target's state checked under the
// lock; false with the system's error set when it cannot be had.
bool Prepare(WrittenFile& file, const char* mode) {
    const bool update = mode[0] == 'r';
    const bool exclusive = std::strchr(mode, 'x') != nullptr;
    const DWORD attributes = GetFileAttributesA(file.target.c_str());
    // A device holds no file to update, and takes what is written as it comes.
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DEVICE)) {
        if (update) {
            SetLastError(ERROR_FILE_NOT_FOUND);
            return false;
        }
        file.inPlace = true;
        file.handle = CreateFileA(file.target.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
        return file.handle != INVALID_HANDLE_VALUE;
    }
    if (attributes != INVALID_FILE_ATTRIBUTES && exclusive) {
        SetLastError(ERROR_FILE_EXISTS);
        return false;
    }
    file.temporary = file.target + ".partial";
    file.handle = LockTemporary(file.temporary);
    if (file.handle == INVALID_HANDLE_VALUE) return false;
    const DWORD now = GetFileAttributesA(file.target.c_str());
    const bool exists = now != INVALID_FILE_ATTRIBUTES;
    if ((exclusive && exists) || (update && !exists)) {
        SetLastError(exists ? ERROR_FILE_EXISTS : ERROR_FILE_NOT_FOUND);
        return false;
    }
    // A read-only target is refused, as an open for writing refuses it.
    if (exists && (now & FILE_ATTRIBUTE_READONLY)) {
        SetLastError(ERROR_ACCESS_DENIED);
        return false;
    }
    if (SetFilePointer(file.handle, 0, nullptr, FILE_BEGIN) == INVALID_SET_FILE_POINTER ||
        !SetEndOfFile(file.handle))
        return false;
    return !update || CopyInto(file.target, file.handle);
}

// Gives the temporary up: removed while still locked, so no other writer takes it half made.
void Abandon(WrittenFile& file) {
    if (!file.inPlace) DeleteFileA(file.temporary.c_str());
    CloseHandle(file.handle);
}

// Puts the temporary in the target's place.
bool Replace(const WrittenFile& file) {
    if (GetFileAttributesA(file.target.c_str()) != INVALID_FILE_ATTRIBUTES &&
        ReplaceFileA(file.target.c_str(), file.temporary.c_str(), nullptr,
                     REPLACEFILE_IGNORE_MERGE_ERRORS, nullptr, nullptr))
        return true;
    // A new target, or one ReplaceFile cannot take while the temporary is
    // open (or took away without putting the temporary there): the target's
    // attributes, if it is still there, go onto the temporary, which is renamed.
    const DWORD attributes = GetFileAttributesA(file.target.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES)
        SetFileAttributesA(file.temporary.c_str(), attributes & ~FILE_ATTRIBUTE_READONLY);
    return MoveFileExA(file.temporary.c_str(), file.target.c_str(),
                       MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
}

}  // namespace

std::FILE* OpenHostFile(const char* path, const char* mode) {
    if (!std::strpbrk(mode, "wa+")) {
        std::FILE* f = std::fopen(path, mode);
        if (!f) FailWithErrno(errno);
        return f;
    }
    WrittenFile file;
    file.target = path;
    if (!Prepare(file, mode)) {
        const DWORD code = GetLastError();
        if (file.handle != INVALID_HANDLE_VALUE) Abandon(file);
        FailWithSystemError(code);
        return nullptr;
    }
    const bool text = std::strchr(mode, 't') != nullptr;
    const int fd = _open_osfhandle(reinterpret_cast<intptr_t>(file.handle), _O_RDWR | (text ? _O_TEXT : _O_BINARY));
    std::FILE* stream = fd < 0 ? nullptr : _fdopen(fd, mode[0] == 'r' ? "r+b" : text ? "wt" : "wb");
    if (!stream) {
        const int error = errno;
        if (fd >= 0) {
            if (!file.inPlace) DeleteFileA(file.temporary.c_str());
            _close(fd);
        } else {
            Abandon(file);
        }
        FailWithErrno(error);
        return nullptr;
    }
    std::lock_guard<std::mutex> hold(openFilesMutex);
    OpenFiles()[stream] = file;
    return stream;
}

int CloseWrittenFile(std::FILE* stream) {
    WrittenFile file;
    {
        std::lock_guard<std::mutex> hold(openFilesMutex);
        auto it = OpenFiles().find(stream);
        if (it == OpenFiles().end()) return std::fclose(stream) == 0 ? 1 : 0;
        file = it->second;
        OpenFiles().erase(it);
    }
    if (std::fflush(stream) != 0 || std::ferror(stream)) {
        const int error = errno ? errno : EIO;
        if (!file.inPlace) DeleteFileA(file.temporary.c_str());
        std::fclose(stream);
        FailWithErrno(error);
        return 0;
    }
    DWORD code = 0;
    if (!file.inPlace && (!FlushFileBuffers(file.handle) || !Replace(file))) code = GetLastError();
    if (code && !file.inPlace) DeleteFileA(file.temporary.c_str());
    // Closing the stream closes the handle, and with it goes the lock.
    std::fclose(stream);
    if (code) {
        FailWithSystemError(code);
        return 0;
    }
    return 1;
}

void DropWrittenFile(std::FILE* stream) {
    WrittenFile file;
    {
        std::lock_guard<std::mutex> hold(openFilesMutex);
        auto it = OpenFiles().find(stream);
        if (it != OpenFiles().end()) {
            file = it->second;
            OpenFiles().erase(it);
        }
    }
    if (!file.temporary.empty() && !file.inPlace) DeleteFileA(file.temporary.c_str());
    std::fclose(stream);
}

const char* HostFileError() { return lastError.c_str(); }
