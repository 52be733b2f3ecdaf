// Files for tests: a temporary folder that goes away with the test, and whole
// files read and written as bytes.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace testing_files {

// Creates a new, empty folder under the system's temporary folder; "" when it cannot.
std::string MakeTempFolder();

class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::string& path() const { return path_; }
    std::string operator/(const std::string& name) const { return path_ + "/" + name; }

private:
    std::string path_;
};

std::vector<uint8_t> ReadBytes(const std::string& path);
void WriteBytes(const std::string& path, const std::vector<uint8_t>& bytes);
bool FileExists(const std::string& path);

}  // namespace testing_files
