// The panel's operations and the queue that carries their changes to the host: what
// is stored, what is queued, when the host is asked to flush, and what the host's
// output list receives from a block or a parameter flush.

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <vector>

#include "host_side.h"

namespace {

using namespace audiopath;

// Drains the queue through a one-sample block and returns what the host received.
std::vector<Seen> drainByBlock(FXCorePlugin& p) {
    OutputEvents out;
    Block b(1);
    b.output(out);
    b.runOn(p);
    return out.seen();
}

TEST(PanelQueue, HoldsTwoHundredFiftyFiveEntriesAndDropsTheNextWithoutAFlushRequest) {
    Rig rig;
    for (uint32_t i = 0; i < 255; ++i) rig->guiBeginGesture(1000 + i);
    EXPECT_EQ(rig.host.flushRequests.load(), 255);
    rig->guiSetParamValue(param::kPot0, 0.125);  // the 256th
    EXPECT_EQ(rig.host.flushRequests.load(), 255) << "dropped, so no flush";
    EXPECT_EQ(rig->paramValue(param::kPot0), 0.125) << "the value is stored all the same";

    const std::vector<Seen> seen = drainByBlock(*rig);
    ASSERT_EQ(seen.size(), 255u);
    for (uint32_t i = 0; i < 255; ++i) EXPECT_EQ(seen[i], beginSeen(1000 + i)) << i;

    rig->guiEndGesture(7);
    EXPECT_EQ(rig.host.flushRequests.load(), 256) << "room again after the drain";
    EXPECT_EQ(drainByBlock(*rig), std::vector<Seen>{endSeen(7)});
}

TEST(PanelQueue, AKnobDragReachesTheHostInTheOrderThePanelMadeIt) {
    Rig rig;
    std::vector<Seen> want{beginSeen(param::kPot0 + 2)};
    rig->guiBeginGesture(param::kPot0 + 2);
    for (int step = 1; step <= 20; ++step) {
        rig->guiSetParam(param::kPot0 + 2, step / 20.0);
        want.push_back(valueSeen(param::kPot0 + 2, step / 20.0));
    }
    rig->guiEndGesture(param::kPot0 + 2);
    want.push_back(endSeen(param::kPot0 + 2));
    rig->guiSetParamValue(param::kSw0 + 4, 1.0);  // a footswitch toggle after the drag
    want.push_back(valueSeen(param::kSw0 + 4, 1.0));
    EXPECT_EQ(drainByBlock(*rig), want);
    EXPECT_EQ(drainByBlock(*rig), std::vector<Seen>{}) << "each entry once";
}

TEST(PanelQueue, TheRingWrapsWithoutLosingOrder) {
    Rig rig;
    std::vector<Seen> got;
    for (uint32_t round = 0; round < 6; ++round) {
        for (uint32_t i = 0; i < 200; ++i) rig->guiBeginGesture(round * 200 + i);
        const std::vector<Seen> s = drainByBlock(*rig);
        got.insert(got.end(), s.begin(), s.end());
    }
    ASSERT_EQ(got.size(), 1200u);
    for (uint32_t i = 0; i < 1200; ++i) ASSERT_EQ(got[i], beginSeen(i));
}

TEST(PanelQueue, GuiSetParamScalesANormalizedValueAndQueuesItBeforeTheClamp) {
    Rig rig;
    rig->guiSetParam(param::kOutputTrim, 0.75);
    EXPECT_EQ(rig->paramValue(param::kOutputTrim), 12.0);
    rig->guiSetParam(param::kInputTrim, 0.0);
    EXPECT_EQ(rig->paramValue(param::kInputTrim), -24.0);
    rig->guiSetParam(param::kPot0, 1.5);
    EXPECT_EQ(rig->paramValue(param::kPot0), 1.0);
    rig->guiSetParam(param::kMode, -0.5);
    EXPECT_EQ(rig->paramValue(param::kMode), 0.0);
    EXPECT_EQ(drainByBlock(*rig),
              (std::vector<Seen>{valueSeen(param::kOutputTrim, 12.0), valueSeen(param::kInputTrim, -24.0),
                                 valueSeen(param::kPot0, 1.5), valueSeen(param::kMode, -3.5)}));
}

TEST(PanelQueue, GuiSetParamValueClampsBeforeStoringAndQueuing) {
    Rig rig;
    rig->guiSetParamValue(param::kMode, 9.0);
    rig->guiSetParamValue(param::kInputTrim, -30.0);
    rig->guiSetParamValue(param::kPot0 + 1, 0.3);
    EXPECT_EQ(rig->paramValue(param::kMode), 7.0);
    EXPECT_EQ(rig->paramValue(param::kInputTrim), -24.0);
    EXPECT_EQ(drainByBlock(*rig), (std::vector<Seen>{valueSeen(param::kMode, 7.0), valueSeen(param::kInputTrim, -24.0),
                                                     valueSeen(param::kPot0 + 1, 0.3)}));
}

TEST(PanelQueue, UnknownIdsAreIgnoredByValuesButQueuedByGestures) {
    Rig rig;
    rig->guiSetParam(999, 0.5);
    rig->guiSetParamValue(12345, 0.5);
    EXPECT_EQ(rig.host.flushRequests.load(), 0);
    EXPECT_EQ(rig->paramValue(999), 0.0);
    for (const auto& def : FXCorePlugin::paramDefs()) EXPECT_EQ(rig->paramValue(def.id), def.def) << def.name;
    rig->guiBeginGesture(999);
    rig->guiEndGesture(999);
    EXPECT_EQ(rig.host.flushRequests.load(), 2);
    EXPECT_EQ(drainByBlock(*rig), (std::vector<Seen>{beginSeen(999), endSeen(999)}));
}

TEST(PanelQueue, SetParamFromGuiStoresWithoutQueuing) {
    Rig rig;
    rig->setParamFromGui(param::kOutputTrim, 40.0);
    rig->setParamFromGui(999, 1.0);
    EXPECT_EQ(rig->paramValue(param::kOutputTrim), 24.0);
    EXPECT_EQ(rig.host.flushRequests.load(), 0);
    EXPECT_EQ(drainByBlock(*rig), std::vector<Seen>{});
}

TEST(PanelQueue, NanIsNeitherStoredNorQueued) {
    Rig rig;
    const double nan = std::numeric_limits<double>::quiet_NaN();
    rig->guiSetParam(param::kOutputTrim, nan);
    rig->guiSetParamValue(param::kInputTrim, nan);
    for (const auto& def : FXCorePlugin::paramDefs()) EXPECT_EQ(rig->paramValue(def.id), def.def) << def.name;
    EXPECT_EQ(drainByBlock(*rig), std::vector<Seen>{});
}

TEST(PanelQueue, EveryKindBitIsSentInTheOrderBeginValueEnd) {
    Rig rig;
    rig->pushGuiChange(param::kPot0, 0.3, 7);
    rig->pushGuiChange(param::kPot0 + 1, 0.4, 6);
    rig->pushGuiChange(param::kPot0 + 2, 0.5, 5);
    rig->pushGuiChange(param::kPot0 + 3, 0.6, 0);  // takes a slot, sends nothing
    rig->pushGuiChange(param::kPot0 + 4, 0.7, 8);  // no known bit
    EXPECT_EQ(rig.host.flushRequests.load(), 5);
    EXPECT_EQ(drainByBlock(*rig),
              (std::vector<Seen>{beginSeen(param::kPot0), valueSeen(param::kPot0, 0.3), endSeen(param::kPot0),
                                 valueSeen(param::kPot0 + 1, 0.4), endSeen(param::kPot0 + 1),
                                 beginSeen(param::kPot0 + 2), endSeen(param::kPot0 + 2)}));
    EXPECT_EQ(rig->paramValue(param::kPot0), 0.5) << "pushing stores nothing";
}

TEST(PanelQueue, EventsHaveTheirPublishedShapes) {
    Rig rig;
    rig->guiBeginGesture(param::kPot0 + 5);
    rig->guiSetParam(param::kPot0 + 5, 0.25);
    rig->guiEndGesture(param::kPot0 + 5);
    OutputEvents out;
    Block b(64);
    b.output(out);
    b.runOn(*rig);
    ASSERT_EQ(out.events().size(), 3u);
    expectGestureShape(out.events()[0], CLAP_EVENT_PARAM_GESTURE_BEGIN);
    EXPECT_EQ(out.events()[0].gesture.param_id, param::kPot0 + 5);
    expectValueShape(out.events()[1]);
    EXPECT_EQ(out.events()[1].value.param_id, param::kPot0 + 5);
    EXPECT_EQ(out.events()[1].value.value, 0.25);
    expectGestureShape(out.events()[2], CLAP_EVENT_PARAM_GESTURE_END);
    EXPECT_EQ(out.events()[2].gesture.param_id, param::kPot0 + 5);
}

TEST(PanelQueue, ANullOutputListKeepsEveryEntry) {
    Rig rig;
    rig->guiBeginGesture(1);
    rig->guiSetParamValue(param::kSw0, 1.0);
    rig->guiEndGesture(1);
    rig->drainGuiQueue(nullptr);
    Block noList(16);
    noList.noOutputList();
    noList.runOn(*rig);
    rig->paramsFlush(nullptr, nullptr);
    OutputEvents out;
    rig->paramsFlush(nullptr, out.list());
    EXPECT_EQ(out.seen(), (std::vector<Seen>{beginSeen(1), valueSeen(param::kSw0, 1.0), endSeen(1)}));
}

TEST(PanelQueue, RefusedEventsAreLostAndTheirEntriesConsumed) {
    Rig rig;
    for (uint32_t i = 0; i < 4; ++i) rig->guiBeginGesture(i);
    OutputEvents out;
    out.acceptOnly(2);
    rig->drainGuiQueue(out.list());
    EXPECT_EQ(out.attempts(), 4u);
    EXPECT_EQ(out.seen(), (std::vector<Seen>{beginSeen(0), beginSeen(1)}));
    EXPECT_EQ(drainByBlock(*rig), std::vector<Seen>{});
}

TEST(PanelQueue, EntriesQueuedDuringADrainWaitForTheNextOne) {
    Rig rig;
    rig->guiBeginGesture(1);
    rig->guiBeginGesture(2);
    OutputEvents out;
    int pushes = 0;
    out.onPush = [&] {
        if (pushes++ == 0) rig->guiEndGesture(3);
    };
    rig->drainGuiQueue(out.list());
    EXPECT_EQ(out.seen(), (std::vector<Seen>{beginSeen(1), beginSeen(2)}));
    EXPECT_EQ(drainByBlock(*rig), std::vector<Seen>{endSeen(3)});
}

TEST(PanelQueue, TheHostIsAskedForItsParamsExtensionAtEveryAppend) {
    Rig rig;
    rig->guiBeginGesture(1);
    rig->guiSetParam(param::kPot0, 0.1);
    EXPECT_EQ(rig.host.paramsLookups.load(), 2);
    EXPECT_EQ(rig.host.flushRequests.load(), 2);

    rig.host.offerParams = false;  // a host that withdraws the extension is asked again
    rig->guiSetParam(param::kPot0, 0.2);
    rig->guiEndGesture(1);
    EXPECT_EQ(rig.host.paramsLookups.load(), 4);
    EXPECT_EQ(rig.host.flushRequests.load(), 2);

    rig.host.offerParams = true;
    rig->guiSetParamValue(param::kSw0 + 1, 1.0);
    EXPECT_EQ(rig.host.paramsLookups.load(), 5);
    EXPECT_EQ(rig.host.flushRequests.load(), 3);

    EXPECT_EQ(drainByBlock(*rig).size(), 5u) << "queued with or without the extension";
}

TEST(PanelQueue, WorksWithoutAHost) {
    FXCorePlugin plugin(nullptr, probeFirmware().table());
    plugin.activate(48000.0, 1, 512);
    plugin.guiBeginGesture(param::kPot0);
    plugin.guiSetParam(param::kPot0, 0.8);
    plugin.triggerSwitch(1);
    EXPECT_EQ(drainByBlock(plugin), (std::vector<Seen>{beginSeen(param::kPot0), valueSeen(param::kPot0, 0.8)}));
    EXPECT_EQ(plugin.paramValue(param::kPot0), 0.8);
    EXPECT_EQ(plugin.switchPulses[1], 1199);
}

TEST(PanelQueue, SurvivesActivationAndReset) {
    Rig rig;
    rig->guiBeginGesture(1);
    rig->deactivate();
    rig->activate(44100.0, 1, 256);
    rig->reset();
    rig->guiEndGesture(1);
    EXPECT_EQ(drainByBlock(*rig), (std::vector<Seen>{beginSeen(1), endSeen(1)}));
}

TEST(PanelQueue, TheBlocksOwnEchoesComeBeforeTheQueue) {
    Rig rig;
    rig->guiSetParamValue(param::kSw0, 1.0);
    InputEvents events{ccEvent(3, 52, 127)};
    OutputEvents out;
    Block b(8);
    b.events(events).output(out);
    b.runOn(*rig);
    EXPECT_EQ(out.seen(), (std::vector<Seen>{valueSeen(param::kPot0 + 2, 1.0), valueSeen(param::kSw0, 1.0)}));
}

}  // namespace
