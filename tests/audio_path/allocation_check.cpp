// Nothing the host's audio thread calls allocates: blocks with events, MIDI control
// and momentary releases, the panel queue's drain, the parameter flush, and the
// installation of a program after a selection change, an activation or a custom
// load. Each runs under a global allocator that counts (counting_allocator.cpp).
#include <gtest/gtest.h>

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>

#include "counting_allocator.h"
#include "host_side.h"

namespace {

using namespace audiopath;
using testsupport::allocationsDuring;

std::atomic<void*> g_sink{nullptr};

TEST(AudioPathAllocation, TheCountingAllocatorSeesNew) {
    EXPECT_EQ(allocationsDuring([] { g_sink.store(new int[16]); }), 1);
    delete[] static_cast<int*>(g_sink.exchange(nullptr));
}

// A block's events: host values, a selection change and its way back (two program
// installations), every kind of MIDI control including momentary presses, and
// events the plug-in ignores.
void addBusyEvents(InputEvents& e) {
    e.add(paramEvent(0, param::kPot0, 0.7))
        .add(ccEvent(3, 51, 99))
        .add(ccEvent(3, 93, 127))
        .add(ccEvent(10, 115, 127))
        .add(ccEvent(11, 109, 127))
        .add(ccEvent(12, 103, 127))
        .add(ccEvent(13, 102, 0))
        .add(ccEvent(14, 108, 127))
        .add(ccEvent(15, 114, 127))
        .add(noteOnEvent(20))
        .add(inSpace(paramEvent(21, param::kMonitor, 1.0), 9))
        .add(paramEvent(100, param::kProgram, 1.0))
        .add(paramEvent(200, param::kMonitor, 1.0))
        .add(paramEvent(300, param::kProgram, 0.0))
        .add(paramEvent(400, param::kOutputTrim, -12.0))
        .add(ccEvent(3000, 116, 127))
        .add(ccEvent(3001, 116, 127))
        .add(paramEvent(9000, param::kInputTrim, 3.0));  // past the end of the block
}

void queuePanelChanges(FXCorePlugin& p) {
    for (int i = 0; i < 40; ++i) {
        p.guiBeginGesture(param::kPot0 + 2);
        p.guiSetParam(param::kPot0 + 2, i / 40.0);
        p.guiEndGesture(param::kPot0 + 2);
    }
    p.guiSetParamValue(param::kMode, 3.0);
    p.triggerSwitch(5);
    p.triggerSwitch(1);
}

TEST(AudioPathAllocation, BlocksWithEventsMidiReleasesAndTheQueueDoNotAllocate) {
    Rig rig;
    InputEvents events;
    addBusyEvents(events);
    OutputEvents out;
    queuePanelChanges(*rig);
    Block first(8192);
    first.events(events).output(out);
    const clap_process* firstRecord = first.record();
    EXPECT_EQ(allocationsDuring([&] { rig->process(firstRecord); }), 0) << "with the first installation";

    Block later(512);
    InputEvents none;
    later.events(none).output(out);
    const clap_process* laterRecord = later.record();
    queuePanelChanges(*rig);
    EXPECT_EQ(allocationsDuring([&] {
                  for (int i = 0; i < 20; ++i) rig->process(laterRecord);
              }),
              0);
    EXPECT_GT(out.events().size(), 240u) << "echoes, releases and the drained queue arrived";
    EXPECT_EQ(rig->tapTimers[1], 0) << "the momentary presses were released";
}

TEST(AudioPathAllocation, ProgramInstallationsDoNotAllocate) {
    Rig rig;
    Block b(64);
    const clap_process* record = b.record();
    rig->process(record);

    rig->storeParam(param::kProgram, 1.0);  // a selection change between blocks
    EXPECT_EQ(allocationsDuring([&] { rig->process(record); }), 0);

    rig->activate(44100.0, 1, 64);  // activation installs again
    EXPECT_EQ(allocationsDuring([&] { rig->process(record); }), 0);

    std::string error;
    ASSERT_TRUE(rig->loadCustomHex(hexOf(passThroughSource()), "custom", error)) << error;
    const int callbacks = rig.host.callbackRequests.load();
    EXPECT_EQ(allocationsDuring([&] { rig->process(record); }), 0) << "the custom image";
    ASSERT_TRUE(rig->loadCustomHex(hexOf(pinsSource()), "custom 2", error)) << error;
    EXPECT_EQ(allocationsDuring([&] { rig->process(record); }), 0) << "a second custom image";
    EXPECT_EQ(rig.host.callbackRequests.load(), callbacks + 2) << "both were installed";
    EXPECT_EQ(wordOf(b.out(0)[0]), 0x7F) << "the pin probe runs";
}

TEST(AudioPathAllocation, TheShippedFirmwareAndTheParamsFlushDoNotAllocate) {
    FakeHost host;
    auto pedal = std::make_unique<FXCorePlugin>(&host.host);
    pedal->activate(48000.0, 1, 256);
    InputEvents events;
    addBusyEvents(events);
    OutputEvents out;
    Block b(256);
    for (uint32_t k = 0; k < 256; ++k) b.in(0)[k] = b.in(1)[k] = 0.3f * static_cast<float>(k % 32) / 32.0f;
    b.events(events).output(out);
    const clap_process* record = b.record();
    queuePanelChanges(*pedal);
    EXPECT_EQ(allocationsDuring([&] {
                  for (int i = 0; i < 40; ++i) pedal->process(record);
              }),
              0);

    queuePanelChanges(*pedal);
    EXPECT_EQ(allocationsDuring([&] { pedal->paramsFlush(events.list(), out.list()); }), 0);
    EXPECT_EQ(allocationsDuring([&] { pedal->paramsFlush(nullptr, nullptr); }), 0);
}

}  // namespace
