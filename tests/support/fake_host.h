// A CLAP host for driving the plug-in in tests. It offers "clap.params",
// "clap.timer-support" and "clap.posix-fd-support" (each unless told not to) and
// counts what the plug-in asks of it: extension look-ups, callback, flush and
// rescan requests, with the flags of the last rescan. Counters are atomic: the
// plug-in calls from the audio thread and from the panel's thread. The timers and
// fds the panel registers are kept as they stand (main thread only).
#pragma once

#include <atomic>
#include <cstdint>
#include <cstring>
#include <map>
#include <set>

#include "clap/clap.h"

namespace testsupport {

// The fields of a test host's record that no test looks at: version, texts and the
// restart, process and callback requests (which do nothing; the callback request
// is counted by the caller when it cares).
inline void fillHostRecord(clap_host& host, void* data, const char* name) {
    host.clap_version = CLAP_VERSION_INIT;
    host.host_data = data;
    host.name = name;
    host.vendor = "tests";
    host.url = "";
    host.version = "1";
    host.request_restart = [](const clap_host*) {};
    host.request_process = [](const clap_host*) {};
    host.request_callback = [](const clap_host*) {};
}

struct FakeHost {
    clap_host host{};
    clap_host_params params{};
    std::atomic<bool> offerParams{true};
    std::atomic<int> paramsLookups{0};
    std::atomic<int> callbackRequests{0};
    std::atomic<int> flushRequests{0};
    std::atomic<int> rescans{0};
    std::atomic<uint32_t> lastRescanFlags{0};

    clap_host_timer_support timerSupport{};
    clap_host_posix_fd_support fdSupport{};
    bool offerTimers = true;
    bool offerFds = true;
    std::map<clap_id, uint32_t> timers;  // id -> period in ms
    std::set<int> fds;                   // registered for reading
    int strayUnregisters = 0;            // of timers or fds that were not registered

    FakeHost() {
        fillHostRecord(host, this, "lumivex test host");
        host.get_extension = [](const clap_host* h, const char* id) -> const void* {
            FakeHost& self = of(h);
            if (id != nullptr && std::strcmp(id, CLAP_EXT_TIMER_SUPPORT) == 0)
                return self.offerTimers ? &self.timerSupport : nullptr;
            if (id != nullptr && std::strcmp(id, CLAP_EXT_POSIX_FD_SUPPORT) == 0)
                return self.offerFds ? &self.fdSupport : nullptr;
            if (id == nullptr || std::strcmp(id, CLAP_EXT_PARAMS) != 0) return nullptr;
            self.paramsLookups.fetch_add(1);
            return self.offerParams.load() ? &self.params : nullptr;
        };
        host.request_callback = [](const clap_host* h) { of(h).callbackRequests.fetch_add(1); };
        params.rescan = [](const clap_host* h, clap_param_rescan_flags flags) {
            of(h).lastRescanFlags.store(flags);
            of(h).rescans.fetch_add(1);
        };
        params.clear = [](const clap_host*, clap_id, clap_param_clear_flags) {};
        params.request_flush = [](const clap_host* h) { of(h).flushRequests.fetch_add(1); };
        timerSupport.register_timer = [](const clap_host* h, uint32_t period, clap_id* id) {
            FakeHost& self = of(h);
            *id = self.timers.empty() ? 7 : self.timers.rbegin()->first + 1;
            self.timers[*id] = period;
            return true;
        };
        timerSupport.unregister_timer = [](const clap_host* h, clap_id id) {
            const bool known = of(h).timers.erase(id) == 1;
            of(h).strayUnregisters += known ? 0 : 1;
            return known;
        };
        fdSupport.register_fd = [](const clap_host* h, int fd, clap_posix_fd_flags_t flags) {
            return flags == CLAP_POSIX_FD_READ && of(h).fds.insert(fd).second;
        };
        fdSupport.unregister_fd = [](const clap_host* h, int fd) {
            const bool known = of(h).fds.erase(fd) == 1;
            of(h).strayUnregisters += known ? 0 : 1;
            return known;
        };
    }
    FakeHost(const FakeHost&) = delete;
    FakeHost& operator=(const FakeHost&) = delete;

    static FakeHost& of(const clap_host* h) { return *static_cast<FakeHost*>(h->host_data); }
};

}  // namespace testsupport
