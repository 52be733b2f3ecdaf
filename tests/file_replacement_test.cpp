// Files replaced whole or not at all: every writer broken at every step of its
// write, as a full disk would break it, and exports of one model at once.
#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "core/quake_export_utility.h"
#include "standin/host/host_files.h"
#include "support/image_files.h"
#include "support/quad_scene.h"
#include "support/scratch_folder.h"

namespace {

using Bytes = std::vector<unsigned char>;

constexpr int32_t kFrames = 6;
constexpr size_t kFrameSize = 40 + 4 * 4;
constexpr size_t kFirstFrame = 116;

struct Exporter {
    Exporter() {
        testing_scenes::PrepareExport(utility, *quad.host);
        utility.frameCount = kFrames;
        vorn_test::SetSkin(utility, 4, {0xFF0000, 0x00FF00, 0x0000FF, 0x808080, 0x102030});
    }
    int Save(const char* name, int32_t start, int32_t end, uint32_t first) {
        char path[kPathBufferSize];
        std::snprintf(path, sizeof path, "C:\\%s", name);
        return utility.SaveModel(path, start, end, first, 1.0f);
    }
    testing_scenes::QuadScene quad;
    QuakeExportUtility utility;
};

struct Write {
    const char* what;
    const char* file;
    bool previous;  // a file is there to be replaced
    std::function<int(Exporter&)> write;
};

const Write kWrites[] = {
    {"a new model", "m.md2", false, [](Exporter& e) { return e.Save("m", 1, 3, 7); }},
    {"an update", "m.md2", true, [](Exporter& e) { return e.Save("m", 2, 4, 9); }},
    {"the BMP skin", "s.bmp", true,
     [](Exporter& e) {
         char name[kTextBufferSize] = "C:\\s";
         return e.utility.WriteBmpSkin(name);
     }},
    {"the listing", "tris.asc", true,
     [](Exporter& e) {
         return e.utility.engine.DumpMeshText("C:\\tris.asc", e.utility.vertices, e.utility.vertexCount,
                                              e.utility.faces, e.utility.faceCount);
     }},
};

// The write fails at step n, for every n until it succeeds: the file is the
// previous one or the new one, byte for byte, and no temporary is left.
TEST(FileReplacement, AWriteBrokenAtAnyStepLeavesTheOldFileOrTheNew) {
    SKIP_WITHOUT_DRIVE_MAPPING();
    for (const Write& w : kWrites) {
        SCOPED_TRACE(w.what);
        ScratchFolder folder;
        if (w.previous) {
            Exporter before;
            ASSERT_EQ(before.Save("m", 0, kFrames - 1, 0), 1);
            if (std::strcmp(w.file, "m.md2") != 0) vorn_test::WriteFile(folder.File(w.file), Bytes(900, 'o'));
        }
        if (w.previous) std::filesystem::permissions(folder.File(w.file), std::filesystem::perms(0640));
        const Bytes old = folder.Read(w.file);
        Exporter clean;
        ASSERT_EQ(w.write(clean), 1);
        const Bytes fresh = folder.Read(w.file);
        if (w.previous) { EXPECT_EQ(std::filesystem::status(folder.File(w.file)).permissions(), std::filesystem::perms(0640)); }
        ASSERT_NE(fresh, old);
        vorn_test::WriteFile(folder.File(w.file), old);
        if (!w.previous) std::filesystem::remove(folder.File(w.file));
        long step = 0;
        for (int written = 0; !written; ++step) {
            Exporter e;
            standin::SetWriteFault(step, ENOSPC);
            written = w.write(e);
            standin::SetWriteFault(-1, 0);
            ASSERT_EQ(folder.Read(w.file), written ? fresh : old) << "step " << step;
            ASSERT_EQ(folder.Exists(w.file), written || w.previous) << "step " << step;
            ASSERT_EQ(folder.Exists(std::string(w.file) + ".partial"), false) << "step " << step;
            if (!written) { ASSERT_NE(std::strstr(e.utility.engine.errorText, "No space left on device"), nullptr); }
        }
        // Every byte (an update's copy of the model and its frames), the flush and the rename.
        const bool update = w.previous && std::strcmp(w.file, "m.md2") == 0;
        EXPECT_EQ(static_cast<size_t>(step - 1), (update ? old.size() + 3 * kFrameSize : fresh.size()) + 2);
    }
}

// Two exports of different ranges into one model, new or existing, at once:
// each range lands, whichever export comes second.
TEST(FileReplacement, ConcurrentExportsOfOneModelKeepBothRanges) {
    SKIP_WITHOUT_DRIVE_MAPPING();
    ScratchFolder folder;
    Exporter a, b;
    ASSERT_EQ(a.Save("a", 0, 2, 5), 1);
    ASSERT_EQ(b.Save("b", 3, 5, 9), 1);
    Bytes both = folder.Read("a.md2");
    const Bytes alone = folder.Read("b.md2");
    std::copy(alone.begin() + kFirstFrame + 3 * kFrameSize, alone.begin() + kFirstFrame + 6 * kFrameSize,
              both.begin() + kFirstFrame + 3 * kFrameSize);
    for (int round = 0; round < 40; ++round) {
        if (round % 2 == 0) std::filesystem::remove(folder.File("m.md2"));
        std::thread first([&a]() { EXPECT_EQ(a.Save("m", 0, 2, 5), 1); });
        std::thread second([&b]() { EXPECT_EQ(b.Save("m", 3, 5, 9), 1); });
        first.join();
        second.join();
        ASSERT_EQ(folder.Read("m.md2"), both) << "round " << round;
    }
}

}  // namespace
