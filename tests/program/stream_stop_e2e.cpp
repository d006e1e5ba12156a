// The real program quits while its JACK stream runs, with the JACK backend's wait
// for the end of a drain delayed (a preloaded wrapper): a stop that waited for the
// drain would miss the stream thread's only signal and never return.
// GCC 12 takes the fixture's window-list vector, inlined here, for memory not on
// the heap (a false -Wfree-nonheap-object).
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wfree-nonheap-object"
#include "program_fixture.h"
#pragma GCC diagnostic pop

namespace {

using namespace programtest;

// The program's JACK ports: its client is named after the process.
std::vector<std::string> streamPorts(jack_client_t* client, unsigned long flags) {
    return portNames(jack_get_ports(client, "^Lumivex-[0-9]+:", nullptr, flags));
}

// Sets an environment variable for the programs started while it lives.
struct ScopedEnv {
    const char* name;
    ScopedEnv(const char* n, const char* value) : name(n) { ::setenv(name, value, 1); }
    ~ScopedEnv() { ::unsetenv(name); }
};

struct StreamStop : LumivexProgram {
    // Starts the program with the wait delayed, lets blocks flow and quits it.
    void quitWhilePlaying(bool bySignal) {
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
        GTEST_SKIP() << "a preloaded library cannot come before a sanitizer's runtime";
#endif
        Program run;
        {
            const ScopedEnv preload("LD_PRELOAD", STOP_WAIT_DELAY_LIBRARY);
            ASSERT_NO_FATAL_FAILURE(launch(run));
        }
        ASSERT_TRUE(within([&] { return streamPorts(rig.client(), JackPortIsOutput).size() == 2; }))
            << "the program's stream does not run";
        // Blocks flow: the drain would have something to wait for.
        const uint64_t later = rig.frames() + rig.rate() / 4;
        ASSERT_TRUE(within([&] { return rig.frames() >= later; })) << "the JACK server stopped";
        if (bySignal)
            ::kill(run.pid, SIGTERM);
        else
            requestClose(run.window);
        ASSERT_NO_FATAL_FAILURE(quitsCleanly(run, bySignal ? "SIGTERM" : "closing the window"));
    }
};

TEST_F(StreamStop, SigtermNeverWaitsForTheStreamToDrain) { quitWhilePlaying(true); }

TEST_F(StreamStop, ClosingTheWindowNeverWaitsForTheStreamToDrain) { quitWhilePlaying(false); }

}  // namespace
