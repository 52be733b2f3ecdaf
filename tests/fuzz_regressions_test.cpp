// Inputs that once broke a promise under the fuzzers, replayed through the
// same harnesses: tests/data/regressions/<target>/<input>. Each must now pass.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "fuzz/harness/fuzz_support.h"

namespace {

namespace fs = std::filesystem;

using Harness = std::string (*)(const uint8_t*, size_t);

struct Target {
    const char* folder;
    Harness check;
};

const Target kTargets[] = {
    {"image_readers", vorn_fuzz::CheckImageInput},
    {"model_update", vorn_fuzz::CheckModelUpdateInput},
    {"json_scene", vorn_fuzz::CheckJsonSceneInput},
    {"export", vorn_fuzz::CheckExportInput},
    {"preview", vorn_fuzz::CheckPreviewInput},
    {"real_scene", vorn_fuzz::CheckRealSceneInput},
};

std::vector<fs::path> InputsOf(const char* folder) {
    std::vector<fs::path> inputs;
    const fs::path dir = fs::path(VORN_TEST_DATA_DIR) / "regressions" / folder;
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(dir, ec)) inputs.push_back(entry.path());
    std::sort(inputs.begin(), inputs.end());
    return inputs;
}

TEST(FuzzRegressions, EveryCommittedInputKeepsItsPromises) {
    int replayed = 0;
    for (const Target& target : kTargets) {
        for (const fs::path& input : InputsOf(target.folder)) {
            vorn_fuzz::Bytes bytes;
            ASSERT_TRUE(vorn_fuzz::ReadBytes(input.string(), bytes)) << input;
            EXPECT_EQ(target.check(bytes.data(), bytes.size()), "") << input;
            ++replayed;
        }
    }
    EXPECT_GT(replayed, 0);
}

}  // namespace
