// The plug-in's folders stand in layers and depend on nothing but the C++
// standard library and platform/; md2export sees the plug-in only as a host
// does. Read from the sources, so a stray include fails here, not in review.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <regex>
#include <set>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

// Higher layers may include lower ones and their own folder, never a higher one.
const std::map<std::string, int> kLayers = {
    {"platform", 0}, {"core", 1}, {"scene", 2}, {"model", 2}, {"skin", 2}, {"export", 3}, {"shell", 4},
};

// The Windows side of platform/ talks to Windows itself, and gives the C
// library's streams the system's file handles (io.h, fcntl.h).
const std::set<std::string> kWindowsHeaders = {"windows.h", "commctrl.h", "commdlg.h", "io.h", "fcntl.h"};

const std::set<std::string> kStandardHeaders = {
    "algorithm", "array", "atomic", "bitset", "cassert", "cctype", "cerrno", "cfloat", "charconv", "chrono",
    "climits", "cmath", "cstdarg", "cstddef", "cstdint", "cstdio", "cstdlib", "cstring", "deque", "functional",
    "initializer_list", "iterator", "limits", "map", "memory", "mutex", "new", "numeric", "optional", "set",
    "string", "string_view", "system_error", "tuple", "type_traits", "unordered_map", "unordered_set",
    "utility", "vector",
};

struct Include {
    std::string file;
    std::string header;
    bool angled;
};

std::vector<Include> IncludesUnder(const fs::path& folder) {
    static const std::regex kInclude(R"re(^\s*#\s*include\s*([<"])([^>"]+)[>"])re");
    std::vector<Include> out;
    for (const auto& entry : fs::recursive_directory_iterator(folder)) {
        const std::string ext = entry.path().extension().string();
        if (ext != ".h" && ext != ".cpp") continue;  // the resource script is Windows' own
        std::ifstream in(entry.path());
        std::string line;
        std::smatch m;
        while (std::getline(in, line)) {
            if (std::regex_search(line, m, kInclude)) out.push_back({entry.path().string(), m[2], m[1] == "<"});
        }
    }
    return out;
}

TEST(Layering, PluginFoldersIncludeOnlyTheStandardLibraryPlatformAndLowerLayers) {
    for (const auto& [folder, layer] : kLayers) {
        for (const Include& inc : IncludesUnder(fs::path(VORN_SOURCE_DIR) / folder)) {
            if (inc.angled) {
                const bool windowsSide = folder == "platform" && kWindowsHeaders.count(inc.header);
                EXPECT_TRUE(kStandardHeaders.count(inc.header) || windowsSide)
                    << inc.file << " includes <" << inc.header << ">, which is not the standard library";
                continue;
            }
            const size_t slash = inc.header.find('/');
            if (slash == std::string::npos) continue;  // beside the including file
            const auto target = kLayers.find(inc.header.substr(0, slash));
            const bool allowed = target != kLayers.end() &&
                                 (target->first == folder || target->second < layer);
            EXPECT_TRUE(allowed) << inc.file << " (" << folder << ") includes \"" << inc.header << "\"";
        }
    }
}

TEST(Layering, Md2exportSeesThePluginOnlyAsAHostDoes) {
    for (const Include& inc : IncludesUnder(fs::path(VORN_SOURCE_DIR) / "cli")) {
        if (inc.angled) continue;
        const std::string top = inc.header.substr(0, inc.header.find('/'));
        if (!kLayers.count(top) || top == "platform") continue;
        EXPECT_EQ(inc.header, "shell/resources/resource_ids.h") << inc.file << " reaches into the plug-in";
    }
}

}  // namespace
