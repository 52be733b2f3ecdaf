#include "support/scratch_folder.h"

#include "standin/host/host_files.h"
#include "support/test_files.h"

ScratchFolder::ScratchFolder() { standin::SetDriveFolder('C', dir_.path()); }

ScratchFolder::~ScratchFolder() { standin::SetDriveFolder('C', ""); }
