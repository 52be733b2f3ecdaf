#include "support/scratch_folder.h"

#include <filesystem>
#include <system_error>

#include "standin/host/host_files.h"
#include "support/test_files.h"

ScratchFolder::ScratchFolder() { standin::SetDriveFolder('C', dir_.path()); }

ScratchFolder::~ScratchFolder() { standin::SetDriveFolder('C', ""); }

std::string ScratchFolder::LinkToFullDevice(const std::string& name) const {
    std::error_code ec;
    std::filesystem::create_symlink("/dev/full", File(name), ec);
    return ec ? ec.message() : "";
}
