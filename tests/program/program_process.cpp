#include "program_process.h"

#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include <cstring>
#include <thread>
#include <vector>

extern char** environ;

namespace e2e {

ProgramProcess::~ProgramProcess() {
    if (pid_ <= 0) return;
    ::kill(pid_, SIGKILL);
    int status = 0;
    ::waitpid(pid_, &status, 0);
}

bool ProgramProcess::start(const std::string& path, const std::map<std::string, std::string>& environment,
                           std::string& why) {
    std::vector<std::string> variables;
    for (char** e = environ; *e != nullptr; ++e) {
        const std::string entry = *e;
        const std::string name = entry.substr(0, entry.find('='));
        if (!environment.contains(name)) variables.push_back(entry);
    }
    for (const auto& [name, value] : environment) variables.push_back(name + "=" + value);
    std::vector<char*> envp;
    for (std::string& v : variables) envp.push_back(v.data());
    envp.push_back(nullptr);
    std::string arg0 = path;
    char* argv[] = {arg0.data(), nullptr};

    const int error = ::posix_spawn(&pid_, path.c_str(), nullptr, nullptr, argv, envp.data());
    if (error == 0) return true;
    pid_ = 0;
    why = path + ": " + std::strerror(error);
    return false;
}

void ProgramProcess::signal(int number) {
    if (pid_ > 0) ::kill(pid_, number);
}

std::optional<int> ProgramProcess::waitForExit(std::chrono::steady_clock::duration patience) {
    const auto deadline = std::chrono::steady_clock::now() + patience;
    while (pid_ > 0) {
        int status = 0;
        const pid_t done = ::waitpid(pid_, &status, WNOHANG);
        if (done == pid_) {
            pid_ = 0;
            return status;
        }
        if (done < 0 || std::chrono::steady_clock::now() > deadline) break;
        // Paces the polls; the bound above decides how long to wait, not this.
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return std::nullopt;
}

std::string describeWaitStatus(int status) {
    if (WIFEXITED(status)) return "exited with status " + std::to_string(WEXITSTATUS(status));
    if (WIFSIGNALED(status)) return std::string("killed by signal ") + ::strsignal(WTERMSIG(status));
    return "ended with wait status " + std::to_string(status);
}

}  // namespace e2e
