// Runs a program as a child process, the way a shell would, and collects what
// it printed and its exit status.
#pragma once

#include <string>
#include <utility>
#include <vector>

namespace testing_process {

struct ProcessOptions {
    std::string workingFolder;  // empty: the test's own
    // Variables set for the child, on top of the test's environment.
    std::vector<std::pair<std::string, std::string>> environment;
    // Variables removed from the child's environment.
    std::vector<std::string> unset;
    // Standard error goes to a pseudo-terminal instead of a file, so the child
    // sees a terminal there; what it writes is collected as it comes.
    bool stderrOnTerminal = false;
};

struct ProcessResult {
    int status = -1;  // the exit status; -1 when it did not exit normally
    std::string out;
    std::string err;
};

ProcessResult RunProcess(const std::string& program, const std::vector<std::string>& arguments,
                         const ProcessOptions& options = {});

}  // namespace testing_process
