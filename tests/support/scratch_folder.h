// A fresh temporary folder for one test, removed with everything in it when
// the test ends. Drive C of the stand-in's file access points into it meanwhile.
#pragma once

#include "support/drive_mapping.h"

#include <string>
#include <vector>

#include "support/test_files.h"

class ScratchFolder {
public:
    ScratchFolder();
    ~ScratchFolder();
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;

    const std::string& path() const { return dir_.path(); }
    // The local path of a file in the folder.
    std::string File(const std::string& name) const { return dir_ / name; }
    // Every byte of a file; empty when it cannot be read.
    std::vector<unsigned char> Read(const std::string& name) const { return testing_files::ReadBytes(File(name)); }
    bool Exists(const std::string& name) const { return testing_files::FileExists(File(name)); }
    // Makes name a link to a device that takes no bytes, as a full disk does;
    // the reason when it cannot, else "".
    std::string LinkToFullDevice(const std::string& name) const;

private:
    testing_files::TempDir dir_;
};
