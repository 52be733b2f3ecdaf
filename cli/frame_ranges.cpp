#include "cli/frame_ranges.h"

#include <algorithm>
#include <cstdio>

#include "preview/contact_sheet.h"

namespace md2export {

bool ResolveFrame(const std::string& option, const std::string& value, const std::vector<std::string>& list, int& index,
                  std::string& error) {
    const std::string range = list.empty() ? "the frame list is empty"
                                           : "the frame list has " + std::to_string(list.size()) + " entries, 0 to " +
                                                 std::to_string(list.size() - 1);
    if (!value.empty() && std::all_of(value.begin(), value.end(), [](char c) { return c >= '0' && c <= '9'; })) {
        const size_t digits = value.find_first_not_of('0');
        const std::string significant = digits == std::string::npos ? "0" : value.substr(digits);
        if (significant.size() > 9 || std::stoul(significant) >= list.size()) {
            error = option + " " + value + ": " + range;
            return false;
        }
        index = static_cast<int>(std::stoul(significant));
        return true;
    }
    const auto found = std::find(list.begin(), list.end(), value);
    if (found == list.end()) {
        error = option + " " + value + ": no frame of that name (" + range + ")";
        return false;
    }
    index = static_cast<int>(found - list.begin());
    return true;
}

bool ResolveFrameRange(const std::string& option, const std::string& value, const std::vector<std::string>& list,
                       int& first, int& last, std::string& error) {
    std::string firstError;
    for (size_t dash = value.find('-'); dash != std::string::npos; dash = value.find('-', dash + 1)) {
        std::string ignored;
        if (!ResolveFrame(option, value.substr(0, dash), list, first, firstError) ||
            !ResolveFrame(option, value.substr(dash + 1), list, last, ignored))
            continue;
        if (last >= first) return true;
        error = option + " " + value + ": " + list[static_cast<size_t>(last)] + " comes before " +
                list[static_cast<size_t>(first)];
        return false;
    }
    error = firstError.empty() ? option + " " + value + ": not FIRST-LAST, two frame names or indices"
                               : firstError + "; or not FIRST-LAST";
    return false;
}

std::string DescribeFrameGroups(const std::vector<std::string>& list) {
    const std::vector<int> starts = preview::AnimationStarts(list);
    std::string out;
    for (size_t g = 0; g < starts.size(); ++g) {
        const size_t first = static_cast<size_t>(starts[g]);
        const size_t last = g + 1 < starts.size() ? static_cast<size_t>(starts[g + 1]) - 1 : list.size() - 1;
        char line[160];
        std::snprintf(line, sizeof line, "%-10s %3zu-%-3zu %3zu frames  %s-%s\n",
                      preview::AnimationName(list[first]).c_str(), first, last, last - first + 1, list[first].c_str(),
                      list[last].c_str());
        out += line;
    }
    return out;
}

}  // namespace md2export
