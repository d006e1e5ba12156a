// Quitting while the stream's thread reports an audio error. The thread gives no
// sign to the main thread after its report (the stream reads as stopped before
// the report is made, as with RtAudio), so under ThreadSanitizer any read of state
// that quitting writes, such as the program's global host pointer, shows up as a
// race whether the report comes before or after the quit.
#include <gtest/gtest.h>

#include "host_fixture.h"

namespace {

using namespace satest;

using QuitDuringAStreamError = HostFixture;

TEST_F(QuitDuringAStreamError, TheReportReachesItsHostWithoutRacingTheQuit) {
    audio.devices = {{"Interface", 2, 2, {48000}, 48000}};
    attach();
    host->startAudioThreadOn(1, 2, true, 1, 2, true, 48000);
    ASSERT_TRUE(eventually([&] { return audio.streamThreadBlocks.load() > 0; }));
    audio.streamFailure = kAudioDeviceDisconnect;
    ASSERT_TRUE(eventually([&] { return !host->rtaDac->stream.isRunning(); }));
    // The host object goes with its stream still open: its thread is joined only
    // while the host is being destroyed.
    mainFinish();
    EXPECT_EQ(standaloneHost, nullptr);
}

}  // namespace
