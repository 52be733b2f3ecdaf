#include "support/scratch_folder.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "standin/host/host_files.h"
#include "support/test_files.h"

ScratchFolder::ScratchFolder() {
    path_ = testing_files::MakeTempFolder();
    standin::SetDriveFolder('C', path_);
}

ScratchFolder::~ScratchFolder() {
    standin::SetDriveFolder('C', "");
    std::error_code ignored;
    if (!path_.empty()) std::filesystem::remove_all(path_, ignored);
}

std::vector<unsigned char> ScratchFolder::Read(const std::string& name) const {
    std::ifstream in(File(name), std::ios::binary);
    return std::vector<unsigned char>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

bool ScratchFolder::Exists(const std::string& name) const { return std::filesystem::exists(File(name)); }
