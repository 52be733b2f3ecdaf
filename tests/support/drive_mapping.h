// Drive letters ("C:\tris.asc") land in folders only through the Linux
// stand-in's file access (standin::SetDriveFolder). On Windows they are the
// machine's own drives, which a test must not write, so tests that rely on
// the mapping step aside there.
#pragma once

#if defined(_WIN32)
#define SKIP_WITHOUT_DRIVE_MAPPING() \
    GTEST_SKIP() << "maps a drive letter into a scratch folder, which only the Linux stand-in's file access does"
#else
#define SKIP_WITHOUT_DRIVE_MAPPING() static_cast<void>(0)
#endif
