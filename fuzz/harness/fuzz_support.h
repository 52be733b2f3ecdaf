// What every fuzz harness shares: a scratch folder of its own for the files an
// input becomes, a way to say that a promise broke, and a reader of input
// bytes as numbers.
//
// A harness runs one input and returns what broke (empty when nothing did).
// The libFuzzer targets abort on a non-empty answer, so that libFuzzer keeps
// the input; the regression tests replay committed inputs through the same
// harness and expect an empty answer.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace vorn_fuzz {

using Bytes = std::vector<uint8_t>;

// One input of each target; the answer is empty when every promise held.
std::string CheckImageInput(const uint8_t* data, size_t size);
std::string CheckModelUpdateInput(const uint8_t* data, size_t size);
std::string CheckJsonSceneInput(const uint8_t* data, size_t size);
std::string CheckExportInput(const uint8_t* data, size_t size);
std::string CheckPreviewInput(const uint8_t* data, size_t size);
std::string CheckRealSceneInput(const uint8_t* data, size_t size);

// A folder made for this process (under TMPDIR, else /tmp) and removed with
// everything in it when the process exits, or by a later process when this
// one crashed. Drive C of the stand-in's file
// access is pointed into it by every call, so "C:\name" is <folder>/name.
const std::string& ScratchFolder();
// <folder>/name.
std::string ScratchFile(const std::string& name);
// Removes every file in the scratch folder.
void ClearScratchFolder();
// Names of the files in the scratch folder, sorted.
std::vector<std::string> ScratchFileNames();

void WriteBytes(const std::string& path, const uint8_t* data, size_t size);
// Every byte of the file; false when it cannot be read.
bool ReadBytes(const std::string& path, Bytes& out);
bool FileExists(const std::string& path);

// A broken promise: thrown by Require, turned into the harness's answer.
struct BrokenPromise {
    std::string what;
};
[[noreturn]] void Fail(const std::string& what, const std::string& detail = "");
inline void Require(bool ok, const char* what, const std::string& detail = "") {
    if (!ok) Fail(what, detail);
}

// Runs body; the answer of a harness.
template <typename Body>
std::string Answer(Body body) {
    try {
        body();
        return std::string();
    } catch (const BrokenPromise& broken) {
        return broken.what;
    }
}

// Numbers and strings read from the front of the input, one after another;
// once the input is used up every read gives the smallest value allowed.
class ByteSource {
public:
    ByteSource(const uint8_t* data, size_t size) : data_(data), size_(size) {}

    size_t Remaining() const { return size_ - at_; }
    uint8_t Byte() { return at_ < size_ ? data_[at_++] : 0; }
    bool Bool() { return (Byte() & 1) != 0; }
    // An integer in lo .. hi (lo <= hi), from as many bytes as the span needs.
    int64_t Int(int64_t lo, int64_t hi);
    // Up to maxLength characters: a length byte, then the characters.
    std::string String(size_t maxLength);
    Bytes Take(size_t count);

private:
    const uint8_t* data_;
    size_t size_;
    size_t at_ = 0;
};

}  // namespace vorn_fuzz
