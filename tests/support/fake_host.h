// A CLAP host for driving the plug-in in tests. It offers "clap.params" (unless told
// not to) and counts what the plug-in asks of it: extension look-ups, callback,
// flush and rescan requests, with the flags of the last rescan. Counters are
// atomic: the plug-in calls from the audio thread and from the panel's thread.
#pragma once

#include <atomic>
#include <cstdint>
#include <cstring>

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

    FakeHost() {
        fillHostRecord(host, this, "lumivex test host");
        host.get_extension = [](const clap_host* h, const char* id) -> const void* {
            FakeHost& self = of(h);
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
    }
    FakeHost(const FakeHost&) = delete;
    FakeHost& operator=(const FakeHost&) = delete;

    static FakeHost& of(const clap_host* h) { return *static_cast<FakeHost*>(h->host_data); }
};

}  // namespace testsupport
