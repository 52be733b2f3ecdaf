// The libFuzzer entry of one target: VORN_FUZZ_CHECK names its harness.
// A broken promise aborts, so that libFuzzer reports it and keeps the input.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "fuzz/harness/fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string broken = vorn_fuzz::VORN_FUZZ_CHECK(data, size);
    if (!broken.empty()) {
        std::fprintf(stderr, "vorn fuzz: %s\n", broken.c_str());
        std::abort();
    }
    return 0;
}
