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

TEST_F(LumivexProgram, QuitNeverWaitsForTheStreamToDrain) {
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
    GTEST_SKIP() << "a preloaded library cannot come before a sanitizer's runtime";
#endif
    Program run;
    ::setenv("LD_PRELOAD", STOP_WAIT_DELAY_LIBRARY, 1);
    launch(run);
    ::unsetenv("LD_PRELOAD");
    ASSERT_TRUE(within([&] { return streamPorts(JackPortIsOutput).size() == 2; })) << "no stream";
    const uint64_t later = rig.frames() + rig.rate() / 4;
    ASSERT_TRUE(within([&] { return rig.frames() >= later; }));
    ::kill(run.pid, SIGTERM);
    quitsCleanly(run, "SIGTERM");
}

}  // namespace
