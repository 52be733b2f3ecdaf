#include "support/child_process.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>

extern char** environ;

namespace testing_process {

namespace {

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// A file for one of the child's outputs; "" when none could be made.
std::string MakeCaptureFile() {
    std::string pattern = (std::filesystem::temp_directory_path() / "vorn-capture-XXXXXX").string();
    const int fd = mkstemp(pattern.data());
    if (fd < 0) return "";
    close(fd);
    return pattern;
}

}  // namespace

ProcessResult RunProcess(const std::string& program, const std::vector<std::string>& arguments,
                         const ProcessOptions& options) {
    ProcessResult result;

    // Everything the child needs is made before the fork.
    std::vector<std::string> environment;
    for (char** e = environ; *e; ++e) {
        const std::string entry = *e;
        const std::string name = entry.substr(0, entry.find('='));
        bool dropped = false;
        for (const std::string& u : options.unset) dropped = dropped || u == name;
        for (const auto& kv : options.environment) dropped = dropped || kv.first == name;
        if (!dropped) environment.push_back(entry);
    }
    for (const auto& kv : options.environment) environment.push_back(kv.first + "=" + kv.second);
    std::vector<char*> envp;
    for (std::string& e : environment) envp.push_back(e.data());
    envp.push_back(nullptr);

    std::vector<std::string> argvStrings = {program};
    argvStrings.insert(argvStrings.end(), arguments.begin(), arguments.end());
    std::vector<char*> argv;
    for (std::string& a : argvStrings) argv.push_back(a.data());
    argv.push_back(nullptr);

    const std::string outPath = MakeCaptureFile();
    const std::string errPath = options.stderrOnTerminal ? "" : MakeCaptureFile();
    int terminal = -1;
    int terminalChild = -1;  // the child's end, held open by the parent too so reads never fail early
    if (options.stderrOnTerminal) {
        terminal = posix_openpt(O_RDWR | O_NOCTTY);
        if (terminal < 0 || grantpt(terminal) != 0 || unlockpt(terminal) != 0) return result;
        terminalChild = open(ptsname(terminal), O_RDWR | O_NOCTTY);
        if (terminalChild < 0) return result;
        fcntl(terminal, F_SETFL, fcntl(terminal, F_GETFL) | O_NONBLOCK);
    }

    const pid_t child = fork();
    if (child == 0) {
        if (!options.workingFolder.empty() && chdir(options.workingFolder.c_str()) != 0) _exit(127);
        const int out = open(outPath.c_str(), O_WRONLY | O_TRUNC);
        const int err = options.stderrOnTerminal ? terminalChild : open(errPath.c_str(), O_WRONLY | O_TRUNC);
        if (out < 0 || err < 0 || dup2(out, 1) < 0 || dup2(err, 2) < 0) _exit(127);
        if (terminal >= 0) close(terminal);
        execve(program.c_str(), argv.data(), envp.data());
        _exit(127);
    }

    int status = 0;
    bool exited = false;
    if (terminal >= 0) {
        // Read while the child runs, so that it never waits on a full terminal.
        auto drain = [&] {
            char buffer[4096];
            ssize_t got;
            while ((got = read(terminal, buffer, sizeof buffer)) > 0) result.err.append(buffer, static_cast<size_t>(got));
        };
        while (child > 0 && !exited) {
            pollfd p = {terminal, POLLIN, 0};
            poll(&p, 1, 100);
            drain();
            exited = waitpid(child, &status, WNOHANG) == child;
        }
        drain();
        close(terminal);
        close(terminalChild);
    }
    if (child > 0 && !exited) exited = waitpid(child, &status, 0) == child;
    if (exited && WIFEXITED(status)) result.status = WEXITSTATUS(status);

    result.out = ReadFile(outPath);
    std::remove(outPath.c_str());
    if (!options.stderrOnTerminal) {
        result.err = ReadFile(errPath);
        std::remove(errPath.c_str());
    }
    return result;
}

}  // namespace testing_process
