// The program under test as a child process: started with the caller's environment
// plus some variables of the test's choosing, ended by a signal, reaped with a bound.
// A child still running when the object goes away is killed and reaped, so a failed
// test leaves no program behind.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <map>
#include <optional>
#include <string>

namespace e2e {

class ProgramProcess {
public:
    ProgramProcess() = default;
    ~ProgramProcess();
    ProgramProcess(const ProgramProcess&) = delete;
    ProgramProcess& operator=(const ProgramProcess&) = delete;

    // Starts `path` (argv[0] is the path) with these variables set or replaced.
    // False, with the reason, when it could not be started.
    bool start(const std::string& path, const std::map<std::string, std::string>& environment, std::string& why);
    bool running() const { return pid_ > 0; }
    pid_t pid() const { return pid_; }

    void signal(int number);
    // The wait status once the child has ended within `patience`; none otherwise
    // (the child keeps running).
    std::optional<int> waitForExit(std::chrono::steady_clock::duration patience);

private:
    pid_t pid_ = 0;
};

// "exited with status 0", "killed by signal 11", ...
std::string describeWaitStatus(int status);

}  // namespace e2e
