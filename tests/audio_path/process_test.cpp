// The process call as a host drives it: ports and channels, the block without a
// program, the empty block, events at their sample time, the Monitor pair, the
// trims, and the chip's pin word under switch values, panel presses and MIDI
// momentary presses.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <vector>

#include "core_probe.h"
#include "host_side.h"

namespace {

using namespace audiopath;
using fxcore::CoreProbe;

constexpr uint32_t kTapBit = 1u << 6;

// A block of `frames` whose inputs are two different ramps: left k/64, right -k/128.
Block rampBlock(uint32_t frames, uint32_t inChannels = 2, uint32_t outChannels = 2) {
    Block b(frames, inChannels, outChannels);
    for (uint32_t c = 0; c < inChannels; ++c)
        for (uint32_t k = 0; k < frames; ++k)
            b.in(c)[k] = c == 0 ? static_cast<float>(k % 64) / 64.0f : -static_cast<float>(k % 128) / 128.0f;
    return b;
}

// Runs one silent block and returns the pin word the chip saw at every sample
// (the pin-probe program must be running).
std::vector<uint32_t> pinWords(FXCorePlugin& p, uint32_t frames, const InputEvents* events = nullptr,
                               OutputEvents* out = nullptr) {
    Block b(frames);
    if (events != nullptr) b.events(*events);
    if (out != nullptr) b.output(*out);
    EXPECT_EQ(b.runOn(p), CLAP_PROCESS_CONTINUE);
    std::vector<uint32_t> words;
    for (float s : b.out(0)) words.push_back(static_cast<uint32_t>(wordOf(s)));
    return words;
}

// Samples [from, to) of a pin-word record in which `bit` is cleared (pressed).
size_t pressedSamples(const std::vector<uint32_t>& words, uint32_t bit, size_t from = 0, size_t to = SIZE_MAX) {
    size_t n = 0;
    for (size_t i = from; i < to && i < words.size(); ++i)
        if ((words[i] & bit) == 0) ++n;
    return n;
}

// ---------------------------------------------------------------------------
// Ports

TEST(ProcessPorts, WithoutAnOutputPortNothingHappensAtAll) {
    Rig rig;
    rig->triggerSwitch(0);
    rig->guiSetParam(param::kPot0, 0.2);
    InputEvents events{paramEvent(0, param::kMonitor, 1.0), ccEvent(0, 51, 127)};
    OutputEvents out;
    Block b(32);
    b.events(events).output(out).noOutputPort();

    EXPECT_EQ(b.runOn(*rig), CLAP_PROCESS_CONTINUE);
    EXPECT_EQ(events.gets(), 0);
    EXPECT_TRUE(out.events().empty()) << "the panel queue waits";
    EXPECT_EQ(rig->paramValue(param::kMonitor), 0.0);
    EXPECT_EQ(rig->paramValue(param::kPot0 + 1), 0.5);
    EXPECT_EQ(rig->pendingSwitchTriggers.load(), 1u);
    EXPECT_FALSE(rig->core.isLoaded()) << "not even the first installation runs";
    EXPECT_EQ(rig.host.callbackRequests.load(), 0);
    EXPECT_EQ(rig->outEvents, nullptr);

    // The next real block finds everything where it was left.
    Block real(4);
    real.output(out);
    EXPECT_EQ(real.runOn(*rig), CLAP_PROCESS_CONTINUE);
    EXPECT_TRUE(rig->core.isLoaded());
    EXPECT_EQ(out.seen(), std::vector<Seen>{valueSeen(param::kPot0, 0.2)});
}

TEST(ProcessPorts, AnOutputPortWithoutUsableBuffersIsTreatedAsNoOutputPort) {
    for (auto reshape : {+[](clap_audio_buffer& port) { port.data32 = nullptr; },  // 64-bit buffers only
                         +[](clap_audio_buffer& port) { port.channel_count = 0; },
                         +[](clap_audio_buffer& port) { port.data32[0] = nullptr; }}) {
        Rig rig;
        rig->triggerSwitch(0);
        InputEvents events{paramEvent(0, param::kMonitor, 1.0)};
        Block b(32);
        EXPECT_EQ(b.events(events).outputPortAs(reshape).runOn(*rig), CLAP_PROCESS_CONTINUE);
        EXPECT_EQ(b.out(1), std::vector<float>(32, Block::kUnwritten));
        EXPECT_EQ(events.gets(), 0);
        EXPECT_EQ(rig->pendingSwitchTriggers.load(), 1u);
    }
}

TEST(ProcessPorts, StereoInAndOutCarryTheChipsFirstPair) {
    Rig rig;
    Block b = rampBlock(200);
    EXPECT_EQ(b.runOn(*rig), CLAP_PROCESS_CONTINUE);
    EXPECT_EQ(b.out(0), b.in(0));
    EXPECT_EQ(b.out(1), b.in(1));
}

TEST(ProcessPorts, AOneChannelOutputPortReceivesTheSecondOutputOfThePair) {
    Rig rig;
    Block first = rampBlock(100, 2, 1);
    first.runOn(*rig);
    EXPECT_EQ(first.out(0), first.in(1)) << "OUT1 overwrites OUT0 in the one buffer";

    rig->storeParam(param::kMonitor, 1.0);
    Block second = rampBlock(100, 2, 1);
    second.runOn(*rig);
    EXPECT_EQ(second.out(0), std::vector<float>(100, kOut3));
}

TEST(ProcessPorts, AOneChannelInputPortFeedsBothChipInputs) {
    Rig rig;
    Block b = rampBlock(100, 1, 2);
    b.runOn(*rig);
    EXPECT_EQ(b.out(0), b.in(0));
    EXPECT_EQ(b.out(1), b.in(0));
}

TEST(ProcessPorts, NoUsableInputPortFeedsTheChipZeros) {
    Rig rig;
    Block none(50, 0, 2);
    none.runOn(*rig);
    EXPECT_EQ(none.out(0), std::vector<float>(50, 0.0f));
    EXPECT_EQ(none.out(1), std::vector<float>(50, 0.0f));

    Block only64 = rampBlock(50);
    only64.inputWithout32BitBuffers();
    only64.runOn(*rig);
    EXPECT_EQ(only64.out(0), std::vector<float>(50, 0.0f));
    EXPECT_EQ(only64.out(1), std::vector<float>(50, 0.0f));
}

// ---------------------------------------------------------------------------
// Monitor and trims

TEST(ProcessOutputs, MonitorAtOneHalfSelectsOut2AndOut3) {
    Rig rig;
    rig->storeParam(param::kMonitor, 0.5);
    Block on = rampBlock(20);
    on.runOn(*rig);
    EXPECT_EQ(on.out(0), std::vector<float>(20, kOut2));
    EXPECT_EQ(on.out(1), std::vector<float>(20, kOut3));

    rig->storeParam(param::kMonitor, 0.49);
    Block off = rampBlock(20);
    off.runOn(*rig);
    EXPECT_EQ(off.out(0), off.in(0));
    EXPECT_EQ(off.out(1), off.in(1));
}

TEST(ProcessOutputs, TrimFactorsAtTheEndsOfTheirRange) {
    EXPECT_EQ(trimGain(0.0), 1.0f);
    EXPECT_NEAR(trimGain(24.0), 15.848932, 1e-6);
    EXPECT_NEAR(trimGain(-24.0), 0.0630957, 1e-7);
}

TEST(ProcessOutputs, InputTrimScalesTheChipsInputsExactly) {
    for (const double dB : {-24.0, -6.0, 0.0, 6.0, 24.0}) {
        Rig rig;
        rig->storeParam(param::kInputTrim, dB);
        const float gain = trimGain(dB);
        Block b(64);
        // Scaled inputs between a quarter and a half of full scale: the chip holds
        // them without rounding, and the louder trims stay below full scale.
        const float headroom = std::max(gain, 1.0f);
        for (uint32_t k = 0; k < 64; ++k) {
            b.in(0)[k] = (0.25f + static_cast<float>(k) / 256.0f) / headroom;
            b.in(1)[k] = -(0.5f - static_cast<float>(k % 8) / 32.0f) / headroom;
        }
        b.runOn(*rig);
        for (uint32_t k = 0; k < 64; ++k) {
            ASSERT_EQ(b.out(0)[k], b.in(0)[k] * gain) << dB << " dB, sample " << k;
            ASSERT_EQ(b.out(1)[k], b.in(1)[k] * gain) << dB << " dB, sample " << k;
        }
    }
}

TEST(ProcessOutputs, OutputTrimScalesBothOutputsExactly) {
    for (const double dB : {-24.0, -6.0, 0.0, 6.0, 24.0}) {
        Rig rig;
        rig->storeParam(param::kOutputTrim, dB);
        rig->storeParam(param::kMonitor, 1.0);
        Block b(8);
        b.runOn(*rig);
        EXPECT_EQ(b.out(0), std::vector<float>(8, kOut2 * trimGain(dB))) << dB << " dB";
        EXPECT_EQ(b.out(1), std::vector<float>(8, kOut3 * trimGain(dB))) << dB << " dB";
    }
}

// ---------------------------------------------------------------------------
// A chip without a program

TEST(ProcessWithoutProgram, GivesSilenceAndLeavesEverythingWaiting) {
    Rig rig(48000.0, brokenFirmware());
    rig->tapTimers[0] = 100;
    rig->switchPulses[1] = 50;
    rig->triggerSwitch(5);
    rig->guiSetParam(param::kPot0, 0.2);
    InputEvents events{paramEvent(0, param::kMonitor, 1.0), ccEvent(3, 50, 127), ccEvent(5, 115, 127)};
    OutputEvents out;
    Block b = rampBlock(64);
    b.events(events).output(out);

    EXPECT_EQ(b.runOn(*rig), CLAP_PROCESS_CONTINUE);
    EXPECT_FALSE(rig->core.isLoaded());
    EXPECT_EQ(b.out(0), std::vector<float>(64, 0.0f));
    EXPECT_EQ(b.out(1), std::vector<float>(64, 0.0f));
    EXPECT_EQ(events.gets(), 0) << "the block's events are not read";
    EXPECT_EQ(rig->paramValue(param::kMonitor), 0.0);
    EXPECT_EQ(rig->paramValue(param::kPot0), 0.2) << "the panel's own store stands";
    EXPECT_TRUE(out.events().empty()) << "the panel queue is not drained";
    EXPECT_EQ(rig->pendingSwitchTriggers.load(), 1u << 5);
    EXPECT_EQ(rig->tapTimers[0], 100);
    EXPECT_EQ(rig->switchPulses[1], 50);
    EXPECT_EQ(rig->outEvents, nullptr);
}

TEST(ProcessWithoutProgram, APanelPressWaitsForTheFirstBlockWithAProgram) {
    Rig rig(48000.0, brokenFirmware());
    rig->triggerSwitch(5);
    rig->guiBeginGesture(param::kPot0 + 2);
    OutputEvents out;
    InputEvents lost{paramEvent(0, param::kMonitor, 1.0)};
    for (int i = 0; i < 3; ++i) {
        Block b(256);
        b.events(lost).output(out);
        b.runOn(*rig);
    }
    EXPECT_TRUE(out.events().empty());

    std::string error;
    ASSERT_TRUE(rig->loadCustomHex(hexOf(pinsSource()), "pins", error)) << error;
    std::vector<uint32_t> words = pinWords(*rig, 1000, nullptr, &out);
    const std::vector<uint32_t> more = pinWords(*rig, 1000);
    words.insert(words.end(), more.begin(), more.end());
    EXPECT_EQ(pressedSamples(words, kTapBit, 0, 1200), 1200u) << "pressed from the first sample";
    EXPECT_EQ(pressedSamples(words, kTapBit, 1200), 0u);
    EXPECT_EQ(out.seen(), std::vector<Seen>{beginSeen(param::kPot0 + 2)});
    EXPECT_EQ(rig->paramValue(param::kMonitor), 0.0) << "events of silent blocks never take effect";
}

// ---------------------------------------------------------------------------
// The empty block

TEST(ProcessZeroFrames, RefreshesOnceReadsEveryEventLateAndDrainsTheQueue) {
    Rig rig;
    rig.pins();
    pinWords(*rig, 16);  // installs the probe
    const int callbacks = rig.host.callbackRequests.load();

    rig->storeParam(param::kPot0, 1.0);  // a change between blocks
    rig->guiSetParamValue(param::kSw0 + 3, 1.0);
    InputEvents events{paramEvent(0, param::kPot0 + 1, 1.0), ccEvent(0, 52, 127), paramEvent(0, param::kProgram, 0.0)};
    OutputEvents out;
    Block empty(0);
    empty.events(events).output(out);
    EXPECT_EQ(empty.runOn(*rig), CLAP_PROCESS_CONTINUE);

    EXPECT_EQ(CoreProbe::potRaw(rig->core, 0), 4095) << "the block's one refresh";
    EXPECT_EQ(CoreProbe::potRaw(rig->core, 1), 2048) << "events of an empty block wait for the next refresh";
    EXPECT_EQ(rig->paramValue(param::kPot0 + 1), 1.0);
    EXPECT_EQ(rig->paramValue(param::kProgram), 0.0);
    EXPECT_EQ(rig.host.callbackRequests.load(), callbacks) << "no installation after the events";
    EXPECT_EQ(out.seen(), (std::vector<Seen>{valueSeen(param::kPot0 + 2, 1.0), valueSeen(param::kSw0 + 3, 1.0)}))
        << "the MIDI echo during the events, then the drained queue";
    EXPECT_EQ(rig->outEvents, nullptr);

    Block next(1);
    next.runOn(*rig);
    EXPECT_EQ(CoreProbe::potRaw(rig->core, 1), 4095);
    EXPECT_EQ(rig.host.callbackRequests.load(), callbacks + 1) << "the new selection installs now";
    EXPECT_EQ(next.out(0)[0], 0.0f) << "the pass-through program runs, on silence";
}

// ---------------------------------------------------------------------------
// Events in time

TEST(ProcessEvents, TakeEffectAtTheirSample) {
    Rig rig;
    InputEvents events{paramEvent(10, param::kMonitor, 1.0), paramEvent(20, param::kOutputTrim, -24.0),
                       paramEvent(30, param::kMonitor, 0.0), paramEvent(40, param::kOutputTrim, 0.0)};
    Block b = rampBlock(64);
    b.events(events);
    b.runOn(*rig);
    const float quiet = trimGain(-24.0);
    for (uint32_t s = 0; s < 64; ++s) {
        float left = b.in(0)[s], right = b.in(1)[s];
        if (s >= 10 && s < 30) left = kOut2, right = kOut3;
        if (s >= 20 && s < 40) left *= quiet, right *= quiet;
        ASSERT_EQ(b.out(0)[s], left) << s;
        ASSERT_EQ(b.out(1)[s], right) << s;
    }
}

TEST(ProcessEvents, AProgramChangeInstallsAtItsSample) {
    Rig rig;
    Block b = rampBlock(32);
    InputEvents events{paramEvent(8, param::kProgram, 1.0)};
    b.events(events);
    b.runOn(*rig);
    for (uint32_t s = 0; s < 8; ++s) EXPECT_EQ(b.out(0)[s], b.in(0)[s]) << s;
    for (uint32_t s = 8; s < 32; ++s) EXPECT_EQ(wordOf(b.out(0)[s]), 0x7F) << "the pin probe from sample 8, " << s;
    EXPECT_EQ(wordOf(b.out(1)[31]) - wordOf(b.out(1)[8]), 23) << "counting since its installation";
}

TEST(ProcessEvents, EventsTimedAtOrPastTheEndApplyAtTheNextBlock) {
    Rig rig;
    InputEvents events{paramEvent(4, param::kMonitor, 1.0), paramEvent(5, param::kOutputTrim, 6.0)};
    Block b = rampBlock(4);
    b.events(events);
    b.runOn(*rig);
    EXPECT_EQ(b.out(0), b.in(0));
    EXPECT_EQ(b.out(1), b.in(1));
    EXPECT_EQ(rig->paramValue(param::kMonitor), 1.0);
    EXPECT_EQ(rig->paramValue(param::kOutputTrim), 6.0);

    Block next(2);
    next.runOn(*rig);
    EXPECT_EQ(next.out(0)[0], kOut2 * trimGain(6.0)) << "from the first sample of the next block";
    EXPECT_EQ(next.out(1)[0], kOut3 * trimGain(6.0));
}

TEST(ProcessEvents, TheCursorOnlyMovesForward) {
    // A host that lists an earlier event after a later one: the earlier one waits.
    Rig rig;
    InputEvents events{paramEvent(6, param::kOutputTrim, -6.0), paramEvent(2, param::kMonitor, 1.0)};
    Block b = rampBlock(10);
    b.events(events);
    b.runOn(*rig);
    for (uint32_t s = 0; s < 6; ++s) EXPECT_EQ(b.out(0)[s], b.in(0)[s]) << s;
    for (uint32_t s = 6; s < 10; ++s) EXPECT_EQ(b.out(0)[s], kOut2 * trimGain(-6.0)) << s;
}

TEST(ProcessEvents, EventsAtOneSampleAreAllAppliedBeforeTheChipRunsIt) {
    Rig rig;
    rig.pins();
    pinWords(*rig, 8);
    const int callbacks = rig.host.callbackRequests.load();
    InputEvents events{paramEvent(3, param::kSw0, 1.0),     paramEvent(3, param::kSw0, 0.0),
                       paramEvent(3, param::kSw0 + 1, 1.0), paramEvent(3, param::kSw0 + 2, 1.0),
                       paramEvent(3, param::kProgram, 0.0), paramEvent(3, param::kProgram, 1.0)};
    Block b(8);
    b.events(events);
    b.runOn(*rig);
    for (uint32_t s = 0; s < 8; ++s) {
        const auto word = static_cast<uint32_t>(wordOf(b.out(0)[s]));
        EXPECT_EQ(word, s < 3 ? 0x7Fu : 0x79u) << "SW1 and SW2 together, SW0 never, sample " << s;
    }
    EXPECT_EQ(rig.host.callbackRequests.load(), callbacks) << "one look at the selection after both changes";
    EXPECT_EQ(wordOf(b.out(1)[7]) - wordOf(b.out(1)[0]), 7) << "the chip was not reinstalled";
}

TEST(ProcessEvents, IgnoredEventsChangeNothing) {
    Rig rig;
    InputEvents events{inSpace(paramEvent(1, param::kMonitor, 1.0), 1), noteOnEvent(2), paramEvent(3, 999, 1.0),
                       inSpace(ccEvent(4, 50, 127), 7)};
    clap_event_transport transport{};
    transport.header = {sizeof(clap_event_transport), 5, CLAP_CORE_EVENT_SPACE_ID, CLAP_EVENT_TRANSPORT, 0};
    Event t{};
    t.transport = transport;
    events.add(t);
    OutputEvents out;
    Block b = rampBlock(16);
    b.events(events).output(out);
    b.runOn(*rig);
    EXPECT_EQ(b.out(0), b.in(0));
    EXPECT_EQ(b.out(1), b.in(1));
    EXPECT_TRUE(out.events().empty());
    for (const auto& def : FXCorePlugin::paramDefs()) EXPECT_EQ(rig->paramValue(def.id), def.def) << def.name;
}

// ---------------------------------------------------------------------------
// The pin word

TEST(ProcessPins, SwitchValuesPressTheirPinsAndEnableNone) {
    Rig rig;
    rig.pins();
    EXPECT_EQ(pinWords(*rig, 2)[1], 0x7Fu) << "everything released, bit 5 included";
    struct Case {
        uint32_t id;
        double value;
        uint32_t word;
    };
    const Case cases[] = {
        {param::kSw0, 1.0, 0x7E},     {param::kSw0 + 1, 1.0, 0x7D}, {param::kSw0 + 2, 1.0, 0x7B},
        {param::kSw0 + 3, 1.0, 0x77}, {param::kSw0 + 4, 1.0, 0x6F}, {param::kTap, 1.0, 0x3F},
        {param::kSw0, 0.5, 0x7E},     {param::kSw0, 0.49, 0x7F},    {param::kTap, 0.5, 0x3F},
        {param::kTap, 0.49, 0x7F},    {param::kEnable, 0.0, 0x7F},  {param::kEnable, 1.0, 0x7F},
    };
    for (const Case& c : cases) {
        for (const auto& def : FXCorePlugin::paramDefs())
            if (def.id != param::kProgram) rig->storeParam(def.id, def.def);
        rig->storeParam(c.id, c.value);
        EXPECT_EQ(pinWords(*rig, 2)[1], c.word) << c.id << " at " << c.value;
    }
    for (const uint32_t id :
         {param::kSw0, param::kSw0 + 1, param::kSw0 + 2, param::kSw0 + 3, param::kSw0 + 4, param::kTap, param::kEnable})
        rig->storeParam(id, 1.0);
    EXPECT_EQ(pinWords(*rig, 2)[1], 0x20u) << "all six pressed; the spare input stays released";
}

TEST(ProcessPins, APanelPressHoldsThePinFor25MillisecondsAcrossBlocks) {
    for (const auto& [rate, pulse] : {std::pair{48000.0, 1200u}, std::pair{44100.0, 1102u}}) {
        for (int index = 0; index <= 5; ++index) {
            Rig rig(rate);
            rig.pins();
            pinWords(*rig, 10);
            const uint32_t bit = index == 5 ? kTapBit : 1u << index;
            rig->triggerSwitch(index);
            rig->triggerSwitch(index);  // requests before the block merge into one press
            OutputEvents out;
            std::vector<uint32_t> words;
            for (int block = 0; block < 5; ++block) {
                const std::vector<uint32_t> w = pinWords(*rig, 500, nullptr, &out);
                words.insert(words.end(), w.begin(), w.end());
            }
            EXPECT_EQ(pressedSamples(words, bit, 0, pulse), pulse) << rate << " Hz, switch " << index;
            EXPECT_EQ(pressedSamples(words, bit, pulse), 0u) << rate << " Hz, switch " << index;
            EXPECT_EQ(pressedSamples(words, 0x7Fu & ~bit), 0u) << "no other pin";
            EXPECT_EQ(rig->paramValue(FXCorePlugin::switchParamId(index)), 0.0) << "the value is not touched";
            EXPECT_TRUE(out.events().empty());
        }
    }
}

TEST(ProcessPins, APanelPressDuringAPressStartsItAgain) {
    Rig rig;
    rig.pins();
    rig->triggerSwitch(3);
    std::vector<uint32_t> words = pinWords(*rig, 500);
    rig->triggerSwitch(3);
    for (int block = 0; block < 4; ++block) {
        const std::vector<uint32_t> w = pinWords(*rig, 500);
        words.insert(words.end(), w.begin(), w.end());
    }
    EXPECT_EQ(pressedSamples(words, 1u << 3, 0, 1700), 1700u) << "a full 25 ms from the second block";
    EXPECT_EQ(pressedSamples(words, 1u << 3, 1700), 0u);
}

TEST(ProcessPins, OutOfRangePanelPressesAndHigherBitsDoNothing) {
    Rig rig;
    rig.pins();
    pinWords(*rig, 10);
    rig->triggerSwitch(6);
    rig->triggerSwitch(-1);
    rig->triggerSwitch(31);
    EXPECT_EQ(rig->pendingSwitchTriggers.load(), 0u);
    rig->pendingSwitchTriggers.fetch_or(1u << 7 | 1u << 31);
    EXPECT_EQ(pressedSamples(pinWords(*rig, 100), 0x7F), 0u);
    EXPECT_EQ(rig->pendingSwitchTriggers.load(), 0u) << "taken, and ignored";
    for (int i = 0; i < 6; ++i) EXPECT_EQ(rig->switchPulses[static_cast<size_t>(i)], 0);
}

TEST(ProcessPins, APulseOverAHeldSwitchLeavesItPressed) {
    Rig rig;
    rig.pins();
    rig->storeParam(param::kSw0 + 2, 1.0);
    rig->triggerSwitch(2);
    const std::vector<uint32_t> words = pinWords(*rig, 3000);
    EXPECT_EQ(pressedSamples(words, 1u << 2), 3000u);

    rig->storeParam(param::kTap, 0.0);
    rig->triggerSwitch(5);  // a panel tap while the TAP value stays 0
    const std::vector<uint32_t> tap = pinWords(*rig, 3000);
    EXPECT_EQ(pressedSamples(tap, kTapBit), 1200u);
    EXPECT_EQ(pressedSamples(tap, 1u << 2), 3000u);
}

TEST(ProcessPins, AHostTapValueHoldsThePinAsLongAsItStaysOn) {
    Rig rig;
    rig.pins();
    InputEvents events{paramEvent(100, param::kTap, 1.0), paramEvent(2000, param::kTap, 0.6),
                       paramEvent(2500, param::kTap, 0.4)};
    Block b(3000);
    b.events(events);
    b.runOn(*rig);
    std::vector<uint32_t> words;
    for (float s : b.out(0)) words.push_back(static_cast<uint32_t>(wordOf(s)));
    EXPECT_EQ(pressedSamples(words, kTapBit, 0, 100), 0u);
    EXPECT_EQ(pressedSamples(words, kTapBit, 100, 2500), 2400u);
    EXPECT_EQ(pressedSamples(words, kTapBit, 2500), 0u);
}

TEST(ProcessPins, ResetAndActivateEndPanelPressesButNotMidiPresses) {
    Rig rig;
    rig.pins();
    pinWords(*rig, 10);
    rig->triggerSwitch(0);
    InputEvents press{ccEvent(0, 116, 127)};  // SW1 momentary
    EXPECT_EQ(pressedSamples(pinWords(*rig, 100, &press), 1u << 0), 100u);
    rig->reset();
    EXPECT_EQ(rig->switchPulses[0], 0);
    EXPECT_EQ(pressedSamples(pinWords(*rig, 100), 1u << 0), 0u);

    rig->activate(48000.0, 1, 4096);
    EXPECT_EQ(rig->tapTimers[1], 5760 - 200);
    OutputEvents out;
    std::vector<uint32_t> words;
    for (int block = 0; block < 12; ++block) {
        const std::vector<uint32_t> w = pinWords(*rig, 512, nullptr, &out);
        words.insert(words.end(), w.begin(), w.end());
    }
    EXPECT_EQ(pressedSamples(words, 1u << 1), 5760u - 201u) << "the timer carried through both";
    EXPECT_EQ(out.seen(), std::vector<Seen>{valueSeen(param::kSw0 + 1, 0.0)});
}

// ---------------------------------------------------------------------------
// MIDI momentary presses and their automatic release

TEST(ProcessMomentary, AMidiPressAtSampleSIsReleasedAtSPlusTMinusOne) {
    for (const auto& [rate, length] : {std::pair{48000.0, 5760u}, std::pair{44100.0, 5292u}}) {
        Rig rig(rate);
        rig.pins();
        pinWords(*rig, 10);
        InputEvents press{ccEvent(37, 115, 127)};
        OutputEvents out;
        std::vector<uint32_t> words = pinWords(*rig, 1000, &press, &out);
        EXPECT_EQ(out.seen(), std::vector<Seen>{valueSeen(param::kSw0, 1.0)});
        std::vector<size_t> releaseBlocks;
        for (size_t block = 1; block < 8; ++block) {
            out.clear();
            const std::vector<uint32_t> w = pinWords(*rig, 1000, nullptr, &out);
            words.insert(words.end(), w.begin(), w.end());
            if (!out.events().empty()) {
                EXPECT_EQ(out.seen(), std::vector<Seen>{valueSeen(param::kSw0, 0.0)});
                expectValueShape(out.events()[0]);
                releaseBlocks.push_back(block);
            }
        }
        const size_t release = 37 + length - 1;
        EXPECT_EQ(releaseBlocks, std::vector<size_t>{release / 1000}) << rate;
        EXPECT_EQ(pressedSamples(words, 1u, 0, 37), 0u);
        EXPECT_EQ(pressedSamples(words, 1u, 37, release), length - 1) << rate;
        EXPECT_EQ(pressedSamples(words, 1u, release), 0u) << rate;
        EXPECT_EQ(rig->paramValue(param::kSw0), 0.0);
        EXPECT_EQ(rig->tapTimers[0], 0);
    }
}

TEST(ProcessMomentary, ASecondPressRestartsTheTimerWithoutAReleaseBetween) {
    Rig rig;
    rig.pins();
    pinWords(*rig, 10);
    InputEvents presses{ccEvent(0, 93, 100), ccEvent(3000, 93, 100), ccEvent(4000, 93, 10)};
    OutputEvents out;
    std::vector<uint32_t> words = pinWords(*rig, 5000, &presses, &out);
    EXPECT_EQ(out.seen(), (std::vector<Seen>{valueSeen(param::kTap, 1.0), valueSeen(param::kTap, 0.0),
                                             valueSeen(param::kTap, 1.0)}))
        << "release and press at once; a value below 64 is no press";
    const std::vector<uint32_t> rest = pinWords(*rig, 5000);
    words.insert(words.end(), rest.begin(), rest.end());
    EXPECT_EQ(pressedSamples(words, kTapBit, 0, 3000 + 5759), 3000u + 5759u) << "held without a gap";
    EXPECT_EQ(pressedSamples(words, kTapBit, 3000 + 5759), 0u);
}

TEST(ProcessMomentary, ARefusedReleaseEchoStillReleases) {
    Rig rig;
    rig.pins();
    InputEvents press{ccEvent(0, 119, 127)};
    OutputEvents out;
    pinWords(*rig, 100, &press, &out);
    EXPECT_EQ(out.seen(), std::vector<Seen>{valueSeen(param::kSw0 + 4, 1.0)});
    out.clear();
    out.refuseAll();
    std::vector<uint32_t> words;
    for (int i = 0; i < 7; ++i) {
        const std::vector<uint32_t> w = pinWords(*rig, 1000, nullptr, &out);
        words.insert(words.end(), w.begin(), w.end());
    }
    EXPECT_EQ(out.attempts(), 1u) << "the release was offered";
    EXPECT_TRUE(out.events().empty());
    EXPECT_EQ(rig->paramValue(param::kSw0 + 4), 0.0);
    EXPECT_EQ(pressedSamples(words, 1u << 4, 0, 5659), 5659u);
    EXPECT_EQ(pressedSamples(words, 1u << 4, 5659), 0u);

    // Without an output list the release is stored all the same.
    InputEvents again{ccEvent(0, 119, 127)};
    Block b(6000);
    b.events(again);
    b.runOn(*rig);
    EXPECT_EQ(rig->paramValue(param::kSw0 + 4), 0.0);
    EXPECT_EQ(rig->tapTimers[4], 0);
}

}  // namespace
