// Host events and MIDI control changes as the plug-in receives them inside a block
// or through the parameter flush, and the events it sends back.

#include <gtest/gtest.h>

#include <cstdint>
#include <map>
#include <vector>

#include "core_probe.h"
#include "host_side.h"

namespace {

using namespace audiopath;
using fxcore::CoreProbe;

constexpr int32_t kPressSamples = 5760;  // 120 ms at 48 kHz

// What one control change does to a plug-in whose values are all at their
// defaults: the echoes in order, and the momentary press started, if any.
struct CcEffect {
    std::vector<Seen> echoes;
    int pressIndex = -1;  // switch index whose timer starts
};

CcEffect expectedEffect(int cc, int v) {
    const bool on = v >= 64;
    const double onOff = on ? 1.0 : 0.0;
    CcEffect e;
    if (cc >= 50 && cc <= 55)
        e.echoes = {valueSeen(param::kPot0 + static_cast<uint32_t>(cc - 50), v / 127.0)};
    else if (cc == 93 && on)
        e.echoes = {valueSeen(param::kTap, 1.0)}, e.pressIndex = 5;
    else if (cc == 102)
        e.echoes = {valueSeen(param::kEnable, onOff)};
    else if (cc >= 103 && cc <= 107)
        e.echoes = {valueSeen(param::kSw0 + static_cast<uint32_t>(cc - 103), onOff)};
    else if (cc == 108)
        e.echoes = {valueSeen(param::kTap, onOff)};
    else if (cc >= 109 && cc <= 113 && on)
        e.echoes = {valueSeen(param::kSw0 + static_cast<uint32_t>(cc - 109), 1.0)};
    else if (cc == 114 && on)
        e.echoes = {valueSeen(param::kTap, 1.0)};
    else if (cc >= 115 && cc <= 119 && on)
        e.echoes = {valueSeen(param::kSw0 + static_cast<uint32_t>(cc - 115), 1.0)}, e.pressIndex = cc - 115;
    return e;
}

// Plays one event at sample 0 of a one-sample block and returns the echoes.
std::vector<Seen> playOne(FXCorePlugin& p, const Event& e) {
    InputEvents events{e};
    OutputEvents out;
    Block b(1);
    b.events(events).output(out);
    b.runOn(p);
    return out.seen();
}

// ---------------------------------------------------------------------------
// The MIDI map

TEST(MidiMap, EveryControllerAndValueClassAgainstTheMap) {
    for (int cc = 0; cc < 128; ++cc) {
        for (const int v : {0, 1, 63, 64, 100, 127}) {
            Rig rig;
            const CcEffect want = expectedEffect(cc, v);
            const std::vector<Seen> echoes =
                playOne(*rig, ccEvent(0, static_cast<uint8_t>(cc), static_cast<uint8_t>(v)));
            ASSERT_EQ(echoes, want.echoes) << "CC " << cc << " value " << v;

            std::map<uint32_t, double> values;
            for (const auto& def : FXCorePlugin::paramDefs()) values[def.id] = def.def;
            for (const Seen& s : want.echoes) values[s.id] = s.value;
            for (const auto& def : FXCorePlugin::paramDefs())
                ASSERT_EQ(rig->paramValue(def.id), values[def.id]) << def.name << " after CC " << cc << " value " << v;
            for (int i = 0; i < 6; ++i)
                ASSERT_EQ(rig->tapTimers[static_cast<size_t>(i)], i == want.pressIndex ? kPressSamples - 1 : 0)
                    << "timer " << i << " after CC " << cc << " value " << v;
        }
    }
}

TEST(MidiMap, PotsTakeTheValueOver127) {
    Rig rig;
    playOne(*rig, ccEvent(0, 50, 127));
    EXPECT_EQ(rig->paramValue(param::kPot0), 1.0);
    playOne(*rig, ccEvent(0, 50, 0));
    EXPECT_EQ(rig->paramValue(param::kPot0), 0.0);
    playOne(*rig, ccEvent(0, 55, 64));
    EXPECT_EQ(rig->paramValue(param::kPot0 + 5), 64.0 / 127.0);
}

TEST(MidiMap, AnyChannelActsAndTheDataBytesAreMaskedTo7Bits) {
    Rig rig;
    EXPECT_EQ(playOne(*rig, ccEvent(0, 103, 64, 15)), std::vector<Seen>{valueSeen(param::kSw0, 1.0)})
        << "status 0xBF, channel 16";
    EXPECT_EQ(playOne(*rig, midiEvent(0, 0xB7, 0x80 | 51, 0xFF)), std::vector<Seen>{valueSeen(param::kPot0 + 1, 1.0)});
    EXPECT_EQ(playOne(*rig, midiEvent(0, 0xB3, 0x80 | 103, 0x80 | 10)), std::vector<Seen>{valueSeen(param::kSw0, 0.0)})
        << "0x8A is value 10: off";
}

TEST(MidiMap, MessagesOtherThanControlChangesChangeNothing) {
    Rig rig;
    const Event others[] = {midiEvent(0, 0x90, 50, 127), midiEvent(0, 0x80, 50, 127), midiEvent(0, 0xA0, 103, 127),
                            midiEvent(0, 0xC0, 50, 0),   midiEvent(0, 0xD0, 127, 0),  midiEvent(0, 0xE0, 0x7F, 0x7F),
                            midiEvent(0, 0xF0, 50, 127), midiEvent(0, 0x30, 103, 127)};
    for (const Event& e : others) EXPECT_TRUE(playOne(*rig, e).empty()) << std::hex << int{e.midi.data[0]};
    for (const auto& def : FXCorePlugin::paramDefs()) EXPECT_EQ(rig->paramValue(def.id), def.def) << def.name;
    rig->handleMidi(nullptr);
    for (int i = 0; i < 6; ++i) EXPECT_EQ(rig->tapTimers[static_cast<size_t>(i)], 0);
}

TEST(MidiMap, TogglesFlipOnPressOnlyAndReadTheCurrentValue) {
    Rig rig;
    EXPECT_EQ(playOne(*rig, ccEvent(0, 109, 127)), std::vector<Seen>{valueSeen(param::kSw0, 1.0)});
    EXPECT_EQ(playOne(*rig, ccEvent(0, 109, 0)), std::vector<Seen>{});
    EXPECT_EQ(playOne(*rig, ccEvent(0, 109, 64)), std::vector<Seen>{valueSeen(param::kSw0, 0.0)});
    rig->storeParam(param::kSw0 + 4, 0.5);
    EXPECT_EQ(playOne(*rig, ccEvent(0, 113, 127)), std::vector<Seen>{valueSeen(param::kSw0 + 4, 0.0)})
        << "0.5 counts as on";
    rig->storeParam(param::kTap, 0.49);
    EXPECT_EQ(playOne(*rig, ccEvent(0, 114, 127)), std::vector<Seen>{valueSeen(param::kTap, 1.0)});
    EXPECT_EQ(playOne(*rig, ccEvent(0, 114, 127)), std::vector<Seen>{valueSeen(param::kTap, 0.0)});
}

TEST(MidiMap, EnableIsReportedButDoesNotTouchTheAudio) {
    Rig rig;
    InputEvents events{ccEvent(5, 102, 0), ccEvent(9, 102, 127), ccEvent(12, 102, 0)};
    OutputEvents out;
    Block b(16);
    for (uint32_t k = 0; k < 16; ++k) b.in(0)[k] = b.in(1)[k] = 0.125f * static_cast<float>(k % 4);
    b.events(events).output(out);
    b.runOn(*rig);
    EXPECT_EQ(out.seen(), (std::vector<Seen>{valueSeen(param::kEnable, 0.0), valueSeen(param::kEnable, 1.0),
                                             valueSeen(param::kEnable, 0.0)}));
    EXPECT_EQ(b.out(0), b.in(0)) << "no bypass";
    EXPECT_EQ(rig->paramValue(param::kEnable), 0.0);
}

// ---------------------------------------------------------------------------
// Momentary presses

TEST(MidiMomentary, CcOneFifteenPressesAndTheReleaseArrives120MillisecondsLater) {
    Rig rig;
    InputEvents press{ccEvent(0, 115, 127)};
    OutputEvents out;
    Block first(kPressSamples - 1);
    first.events(press).output(out);
    first.runOn(*rig);
    EXPECT_EQ(out.seen(), std::vector<Seen>{valueSeen(param::kSw0, 1.0)});
    EXPECT_EQ(rig->paramValue(param::kSw0), 1.0) << "still held after T - 1 samples";
    EXPECT_EQ(rig->tapTimers[0], 1) << "one sample to go";

    out.clear();
    Block last(1);
    last.output(out);
    last.runOn(*rig);
    EXPECT_EQ(out.seen(), std::vector<Seen>{valueSeen(param::kSw0, 0.0)});
    EXPECT_EQ(rig->paramValue(param::kSw0), 0.0);
}

TEST(MidiMomentary, TheTimerFollowsTheSampleRate) {
    for (const auto& [rate, samples] : {std::pair{44100.0, 5292}, std::pair{96000.0, 11520}, std::pair{0.0, 5760}}) {
        Rig rig(rate);
        playOne(*rig, ccEvent(0, 93, 127));
        EXPECT_EQ(rig->tapTimers[5], samples - 1) << rate;
    }
}

TEST(MidiMomentary, OutOfRangeIndicesDoNothingAndSwitchIdsMap) {
    Rig rig;
    OutputEvents out;
    rig->outEvents = out.list();
    rig->midiTapSwitch(6);
    rig->midiTapSwitch(-1);
    rig->outEvents = nullptr;
    EXPECT_TRUE(out.events().empty());
    for (int i = 0; i < 6; ++i) EXPECT_EQ(rig->tapTimers[static_cast<size_t>(i)], 0);
    for (int i = 0; i < 5; ++i) EXPECT_EQ(FXCorePlugin::switchParamId(i), 200u + static_cast<uint32_t>(i));
    for (const int i : {5, 6, -1, 100}) EXPECT_EQ(FXCorePlugin::switchParamId(i), param::kTap) << i;
}

// ---------------------------------------------------------------------------
// Host parameter events and the events the plug-in sends

TEST(HostValues, AreClampedStoredAndNotEchoed) {
    Rig rig;
    InputEvents events{paramEvent(0, param::kPot0, 2.0),       paramEvent(1, param::kPot0 + 1, -1.0),
                       paramEvent(2, param::kMode, 9.0),       paramEvent(3, param::kOutputTrim, -30.0),
                       paramEvent(4, param::kInputTrim, 12.5), paramEvent(5, 999, 0.5),
                       paramEvent(6, param::kEnable, 0.0)};
    OutputEvents out;
    Block b(8);
    b.events(events).output(out);
    b.runOn(*rig);
    EXPECT_TRUE(out.events().empty());
    EXPECT_EQ(rig->paramValue(param::kPot0), 1.0);
    EXPECT_EQ(rig->paramValue(param::kPot0 + 1), 0.0);
    EXPECT_EQ(rig->paramValue(param::kMode), 7.0);
    EXPECT_EQ(rig->paramValue(param::kOutputTrim), -24.0);
    EXPECT_EQ(rig->paramValue(param::kInputTrim), 12.5);
    EXPECT_EQ(rig->paramValue(param::kEnable), 0.0);
    EXPECT_EQ(rig->paramValue(999), 0.0);
}

TEST(OutputEventShape, ValueEventsCarryTimeZeroAndNoTarget) {
    Rig rig;
    InputEvents events{ccEvent(0, 50, 10), ccEvent(77, 104, 127), ccEvent(200, 118, 127), ccEvent(255, 93, 127)};
    OutputEvents out;
    Block b(256);
    b.events(events).output(out);
    b.runOn(*rig);
    ASSERT_EQ(out.seen(), (std::vector<Seen>{valueSeen(param::kPot0, 10 / 127.0), valueSeen(param::kSw0 + 1, 1.0),
                                             valueSeen(param::kSw0 + 3, 1.0), valueSeen(param::kTap, 1.0)}));
    for (const Event& e : out.events()) expectValueShape(e);
    EXPECT_FALSE(out.sawOversized());
    EXPECT_EQ(rig->outEvents, nullptr);
}

TEST(OutputEventShape, ARefusedEchoIsLostButTheValueStands) {
    Rig rig;
    InputEvents events{ccEvent(0, 51, 127), ccEvent(1, 52, 0), ccEvent(2, 105, 127)};
    OutputEvents out;
    out.acceptOnly(1);
    Block b(4);
    b.events(events).output(out);
    b.runOn(*rig);
    EXPECT_EQ(out.attempts(), 3u);
    EXPECT_EQ(out.seen(), std::vector<Seen>{valueSeen(param::kPot0 + 1, 1.0)});
    EXPECT_EQ(rig->paramValue(param::kPot0 + 2), 0.0);
    EXPECT_EQ(rig->paramValue(param::kSw0 + 2), 1.0);
}

TEST(OutputEventShape, EmitClampsAndIgnoresUnknownIds) {
    Rig rig;
    OutputEvents out;
    rig->outEvents = out.list();
    rig->emitParamChange(999, 1.0);
    rig->emitParamChange(param::kPot0 + 3, 3.0);
    rig->emitParamChange(param::kInputTrim, -99.0);
    rig->outEvents = nullptr;
    rig->emitParamChange(param::kPot0 + 4, 0.25);  // no list: stored, not sent
    EXPECT_EQ(out.seen(), (std::vector<Seen>{valueSeen(param::kPot0 + 3, 1.0), valueSeen(param::kInputTrim, -24.0)}));
    EXPECT_EQ(rig->paramValue(param::kPot0 + 3), 1.0);
    EXPECT_EQ(rig->paramValue(param::kInputTrim), -24.0);
    EXPECT_EQ(rig->paramValue(param::kPot0 + 4), 0.25);
}

// ---------------------------------------------------------------------------
// The parameter flush

TEST(ParamsFlush, HandlesEventsEchoesMidiAndThenDrainsThePanelQueue) {
    Rig rig;
    rig->guiSetParamValue(param::kSw0 + 2, 1.0);
    InputEvents events{ccEvent(900, 53, 127), paramEvent(0, param::kPot0 + 4, 0.0), noteOnEvent(0),
                       inSpace(ccEvent(0, 54, 127), 3), ccEvent(0, 110, 127)};
    OutputEvents out;
    rig->paramsFlush(events.list(), out.list());
    EXPECT_EQ(events.gets(), 5);
    EXPECT_EQ(out.seen(), (std::vector<Seen>{valueSeen(param::kPot0 + 3, 1.0), valueSeen(param::kSw0 + 1, 1.0),
                                             valueSeen(param::kSw0 + 2, 1.0)}));
    for (const Event& e : out.events()) expectValueShape(e);
    EXPECT_EQ(rig->paramValue(param::kPot0 + 4), 0.0);
    EXPECT_EQ(rig->paramValue(param::kPot0 + 5), 0.5);
    EXPECT_EQ(rig->outEvents, nullptr);

    out.clear();
    rig->paramsFlush(nullptr, out.list());
    EXPECT_TRUE(out.events().empty()) << "the queue was emptied";
}

TEST(ParamsFlush, WithoutAnOutputListStoresButNeitherEchoesNorDrains) {
    Rig rig;
    rig->guiBeginGesture(param::kPot0);
    InputEvents events{ccEvent(0, 50, 0)};
    rig->paramsFlush(events.list(), nullptr);
    EXPECT_EQ(rig->paramValue(param::kPot0), 0.0);
    EXPECT_EQ(rig->outEvents, nullptr);
    OutputEvents out;
    rig->paramsFlush(nullptr, out.list());
    EXPECT_EQ(out.seen(), std::vector<Seen>{beginSeen(param::kPot0)});
}

TEST(ParamsFlush, NeitherInstallsNorRefreshesUntilTheNextBlock) {
    Rig rig;
    Block(4).runOn(*rig);
    const int callbacks = rig.host.callbackRequests.load();
    InputEvents events{paramEvent(0, param::kProgram, 1.0), paramEvent(0, param::kPot0, 1.0)};
    rig->paramsFlush(events.list(), nullptr);
    EXPECT_EQ(rig.host.callbackRequests.load(), callbacks);
    EXPECT_EQ(CoreProbe::potRaw(rig->core, 0), 2048);

    Block next(2);
    next.runOn(*rig);
    EXPECT_EQ(rig.host.callbackRequests.load(), callbacks + 1);
    EXPECT_EQ(CoreProbe::potRaw(rig->core, 0), 4095);
    EXPECT_EQ(wordOf(next.out(0)[0]), 0x7F) << "the pin probe runs";
}

TEST(ParamsFlush, AMomentaryPressStartsCountingInTheNextBlock) {
    Rig rig;
    rig.pins();
    InputEvents press{ccEvent(0, 117, 127)};  // SW2
    OutputEvents out;
    rig->paramsFlush(press.list(), out.list());
    EXPECT_EQ(out.seen(), std::vector<Seen>{valueSeen(param::kSw0 + 2, 1.0)});
    EXPECT_EQ(rig->tapTimers[2], kPressSamples);

    out.clear();
    Block b(kPressSamples + 10);
    b.output(out);
    b.runOn(*rig);
    for (uint32_t s = 0; s < b.frames(); ++s)
        ASSERT_EQ((wordOf(b.out(0)[s]) & 4) == 0, s < static_cast<uint32_t>(kPressSamples - 1)) << s;
    EXPECT_EQ(out.seen(), std::vector<Seen>{valueSeen(param::kSw0 + 2, 0.0)});
}

}  // namespace
