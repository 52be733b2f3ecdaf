// Frames of the panel's list named on the command line: one by index or name,
// a range of two, and the list's animations with their ranges.
#pragma once

#include <string>
#include <vector>

namespace md2export {

// value all digits is an index into list, anything else the first entry of
// that name. False with error (starting with option) when there is none.
bool ResolveFrame(const std::string& option, const std::string& value, const std::vector<std::string>& list, int& index,
                  std::string& error);

// "FIRST-LAST", each end as ResolveFrame takes it; a name holding a dash is
// found by trying every dash. LAST must not come before FIRST.
bool ResolveFrameRange(const std::string& option, const std::string& value, const std::vector<std::string>& list,
                       int& first, int& last, std::string& error);

// One line per animation of the list: its name, range and frame names.
std::string DescribeFrameGroups(const std::vector<std::string>& list);

}  // namespace md2export
