#include "standin/host/host_files.h"

#include <atomic>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <map>
#include <mutex>
#include <vector>

#include "platform/file_access.h"

namespace standin {

namespace {

std::map<char, std::string>& DriveFolders() {
    static std::map<char, std::string> folders;
    return folders;
}

// Steps left before the injected fault (negative: none), and its errno.
std::atomic<long> faultStep{-1};
std::atomic<int> faultError{0};
std::atomic<bool> syncToDisk{true};

}  // namespace

void SetWriteFault(long step, int error) {
    faultError = error;
    faultStep = step;
}

void SetSyncToDisk(bool sync) { syncToDisk = sync; }

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

// On Windows the plug-in opens its files itself
// (platform/file_access_win32.cpp), so drive folders change nothing there.
#if !defined(_WIN32)

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <memory>

namespace {

thread_local std::string lastError;

void Fail(int error) {
    lastError = std::strerror(error);
    errno = error;
}

// How many of the next n steps may be taken before the injected fault.
size_t StepsAllowed(size_t n) {
    long left = standin::faultStep.load();
    for (;;) {
        if (left < 0) return n;
        const long allowed = static_cast<long>(std::min<size_t>(n, static_cast<size_t>(left)));
        if (standin::faultStep.compare_exchange_weak(left, left - allowed)) return static_cast<size_t>(allowed);
    }
}

bool TakeStep() {
    if (StepsAllowed(1) == 1) return true;
    errno = standin::faultError;
    return false;
}

// Writes all n bytes to fd; false with errno set when it cannot.
bool WriteBytes(int fd, const char* p, size_t n) {
    const size_t allowed = StepsAllowed(n);
    size_t done = 0;
    while (done < allowed) {
        const ssize_t put = ::write(fd, p + done, allowed - done);
        if (put < 0 && errno == EINTR) continue;
        if (put <= 0) {
            if (put == 0) errno = EIO;
            return false;
        }
        done += static_cast<size_t>(put);
    }
    if (allowed == n) return true;
    errno = standin::faultError;
    return false;
}

// A file the plug-in writes: the temporary that takes its bytes (or, for a
// target that is no regular file, the target itself), locked while open.
struct WrittenFile {
    std::FILE* stream = nullptr;
    int fd = -1;
    bool text = false;      // "\n" goes out as "\r\n", as the host platform's text mode has it
    bool inPlace = false;   // a device: nothing to rename, nothing to remove
    bool finished = false;  // renamed over the target: the temporary is no more
    int error = 0;          // errno of the first failed write
    std::string local;      // the plug-in's path, mapped
    std::string target;     // what is replaced: local with its links followed
    std::string temporary;
};

std::mutex openFilesMutex;
std::map<std::FILE*, WrittenFile*>& OpenFiles() {
    static std::map<std::FILE*, WrittenFile*> files;
    return files;
}

WrittenFile* Find(std::FILE* stream) {
    std::lock_guard<std::mutex> hold(openFilesMutex);
    auto it = OpenFiles().find(stream);
    return it == OpenFiles().end() ? nullptr : it->second;
}

ssize_t WriteStream(void* cookie, const char* buf, size_t size) {
    auto* file = static_cast<WrittenFile*>(cookie);
    bool ok = file->error == 0;
    if (ok && !file->text) ok = WriteBytes(file->fd, buf, size);
    if (ok && file->text) {
        std::string out;
        out.reserve(size + size / 16);
        for (size_t i = 0; i < size; ++i) {
            if (buf[i] == '\n') out += '\r';
            out += buf[i];
        }
        ok = WriteBytes(file->fd, out.data(), out.size());
    }
    if (ok) return static_cast<ssize_t>(size);
    if (file->error == 0) file->error = errno;
    errno = file->error;
    return -1;
}

ssize_t ReadStream(void* cookie, char* buf, size_t size) {
    const int fd = static_cast<WrittenFile*>(cookie)->fd;
    for (;;) {
        const ssize_t got = ::read(fd, buf, size);
        if (got >= 0 || errno != EINTR) return got;
    }
}

int SeekStream(void* cookie, off64_t* position, int whence) {
    const off_t at = ::lseek(static_cast<WrittenFile*>(cookie)->fd, static_cast<off_t>(*position), whence);
    if (at < 0) return -1;
    *position = at;
    return 0;
}

// The end of every written stream, whichever way it ends: an unfinished
// temporary is removed, and closing it gives up the lock.
int CloseStream(void* cookie) {
    std::unique_ptr<WrittenFile> file(static_cast<WrittenFile*>(cookie));
    {
        std::lock_guard<std::mutex> hold(openFilesMutex);
        OpenFiles().erase(file->stream);
    }
    if (!file->finished && !file->inPlace) ::unlink(file->temporary.c_str());
    return ::close(file->fd);
}

// Opens and locks the temporary. Another writer may have renamed or removed
// it between the open and the lock: then the lock is on a file no longer
// there, and it is tried again.
int LockTemporary(const std::string& path) {
    for (;;) {
        const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0666);
        if (fd < 0) return -1;
        int locked;
        while ((locked = ::flock(fd, LOCK_EX)) != 0 && errno == EINTR) {
        }
        struct stat held, named;
        if (locked == 0 && ::fstat(fd, &held) == 0 && ::lstat(path.c_str(), &named) == 0 &&
            held.st_dev == named.st_dev && held.st_ino == named.st_ino)
            return fd;
        const int error = errno;
        ::close(fd);
        if (locked != 0) {
            errno = error;
            return -1;
        }
    }
}

// Copies the file at path into fd, from its start; leaves fd at its start.
bool CopyInto(const std::string& path, int fd) {
    const int from = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (from < 0) return false;
    std::vector<char> buffer(size_t{1} << 16);
    bool ok = true;
    for (;;) {
        const ssize_t got = ::read(from, buffer.data(), buffer.size());
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) ok = false;
        if (got <= 0 || !WriteBytes(fd, buffer.data(), static_cast<size_t>(got))) {
            ok = ok && got == 0;
            break;
        }
    }
    const int error = errno;
    ::close(from);
    errno = error;
    return ok && ::lseek(fd, 0, SEEK_SET) == 0;
}

// Sets up file for mode: its descriptor, locked, and the target's state checked
// under the lock. errno set when it cannot.
bool Prepare(WrittenFile& file, const char* mode) {
    const bool update = mode[0] == 'r';
    const bool exclusive = std::strchr(mode, 'x') != nullptr;
    file.target = file.local;
    struct stat st;
    if (::stat(file.local.c_str(), &st) == 0) {
        // A device holds no file to update, and takes what is written as it comes.
        if (!S_ISREG(st.st_mode) && !S_ISDIR(st.st_mode)) {
            if (update) {
                errno = ENOENT;
                return false;
            }
            file.inPlace = true;
            file.fd = ::open(file.local.c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC);
            return file.fd >= 0;
        }
        if (exclusive) {
            errno = EEXIST;
            return false;
        }
        // A link stays a link: what it names is replaced.
        if (char* real = ::realpath(file.local.c_str(), nullptr)) {
            file.target = real;
            std::free(real);
        }
    }
    file.temporary = file.target + ".partial";
    file.fd = LockTemporary(file.temporary);
    if (file.fd < 0) return false;
    const bool exists = ::stat(file.target.c_str(), &st) == 0;
    if ((exclusive && exists) || (update && !exists)) {
        errno = exists ? EEXIST : ENOENT;
        return false;
    }
    // The rename would replace a file its owner made read-only: refused, as
    // an open for writing refuses it.
    if (exists && ::access(file.target.c_str(), W_OK) != 0) return false;
    // What a killed writer left goes; an empty file is not truncated, which
    // some file systems answer with a flush to disk at the close.
    struct stat left;
    if (::fstat(file.fd, &left) != 0 || (left.st_size != 0 && ::ftruncate(file.fd, 0) != 0)) return false;
    if (exists && ::fchmod(file.fd, st.st_mode & 07777) != 0) return false;
    return !update || CopyInto(file.target, file.fd);
}

std::FILE* OpenForWriting(const std::string& local, const char* mode) {
    auto file = std::make_unique<WrittenFile>();
    file->local = local;
    file->text = std::strchr(mode, 't') != nullptr;
    if (!Prepare(*file, mode)) {
        const int error = errno;
        if (file->fd >= 0) {
            if (!file->inPlace) ::unlink(file->temporary.c_str());
            ::close(file->fd);
        }
        Fail(error);
        return nullptr;
    }
    cookie_io_functions_t io = {ReadStream, WriteStream, SeekStream, CloseStream};
    std::FILE* stream = fopencookie(file.get(), mode[0] == 'r' ? "r+" : "w", io);
    if (!stream) {
        const int error = errno;
        if (!file->inPlace) ::unlink(file->temporary.c_str());
        ::close(file->fd);
        Fail(error);
        return nullptr;
    }
    file->stream = stream;
    std::lock_guard<std::mutex> hold(openFilesMutex);
    OpenFiles()[stream] = file.release();
    return stream;
}

// The rename is on disk once the folder that holds it is.
void SyncFolder(const std::string& path) {
    const size_t slash = path.rfind('/');
    const std::string folder = slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    ::fsync(fd);
    ::close(fd);
}

}  // namespace

std::FILE* OpenHostFile(const char* path, const char* mode) {
    const std::string local = standin::MapHostPath(path);
    if (std::strpbrk(mode, "wa+") != nullptr) return OpenForWriting(local, mode);
    std::FILE* f = std::fopen(local.c_str(), mode);
    if (!f) Fail(errno);
    return f;
}

int CloseWrittenFile(std::FILE* stream) {
    WrittenFile* file = Find(stream);
    if (!file) return std::fclose(stream) == 0 ? 1 : 0;
    int error = 0;
    if (std::fflush(stream) != 0 || std::ferror(stream)) error = file->error ? file->error : errno ? errno : EIO;
    if (!error && !file->inPlace) {
        if (!TakeStep() || (standin::syncToDisk && ::fsync(file->fd) != 0)) error = errno;
    }
    if (!error && !file->inPlace) {
        if (!TakeStep() || ::rename(file->temporary.c_str(), file->target.c_str()) != 0) error = errno;
        if (!error && standin::syncToDisk) SyncFolder(file->target);
    }
    file->finished = error == 0;
    std::fclose(stream);
    if (error) {
        Fail(error);
        return 0;
    }
    return 1;
}

void DropWrittenFile(std::FILE* stream) { std::fclose(stream); }

const char* HostFileError() { return lastError.c_str(); }

#endif
