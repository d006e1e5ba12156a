// MIDI input: which inputs are opened on which API, what a message becomes in the
// ring, and what happens when the ring is full.
#include <gtest/gtest.h>

#include "host_fixture.h"

namespace {

using namespace satest;

struct MidiInputTest : HostFixture {
    std::vector<StandaloneHost::MidiEntry> drain() {
        std::vector<StandaloneHost::MidiEntry> entries;
        while (host->midiRing.tryPop([&](const StandaloneHost::MidiEntry& e) { entries.push_back(e); })) {
        }
        return entries;
    }
    std::string startCapturingErrors() {
        testing::internal::CaptureStderr();
        host->startMIDIThread();
        return testing::internal::GetCapturedStderr();
    }
};

TEST_F(MidiInputTest, EveryPortIsOpenedUnderOneNameAndAllDeliverIntoTheOneRing) {
    midi.ports[MidiApi::LinuxAlsa] = 2;
    host->startMIDIThread();
    EXPECT_EQ(host->numMIDIPorts, 2u);
    EXPECT_EQ(host->midiApiInUse, MidiApi::LinuxAlsa);
    ASSERT_EQ(midi.opened.size(), 2u);
    for (const auto& input : midi.opened) EXPECT_EQ(input->portName, "RtMidi Input");
    for (const auto& client : midi.clients) EXPECT_EQ(client, "RtMidi Input Client");
    midi.opened[1]->send({0x90, 60, 100});
    midi.opened[0]->send({0xC0, 5});
    EXPECT_EQ(drain(), (std::vector<StandaloneHost::MidiEntry>{{0x90, 60, 100}, {0xC0, 5, 0}}));
}

TEST_F(MidiInputTest, MessagesOfAtMostThreeBytesArriveZeroPaddedLongerOnesNever) {
    midi.ports[MidiApi::LinuxAlsa] = 1;
    host->startMIDIThread();
    const auto& input = *midi.opened[0];
    input.send({0xF0, 1, 2, 3, 0xF7});
    input.send({0xF8});
    input.send({});
    EXPECT_EQ(drain(), (std::vector<StandaloneHost::MidiEntry>{{0xF8, 0, 0}, {0, 0, 0}}));
}

TEST_F(MidiInputTest, AnApiThatCannotBeOpenedIsReportedAndTheNextOneTried) {
    midi.broken = {MidiApi::LinuxAlsa};
    midi.ports[MidiApi::UnixJack] = 1;
    EXPECT_NE(startCapturingErrors().find("no sequencer"), std::string::npos);
    EXPECT_EQ(host->midiApiInUse, MidiApi::UnixJack);
    EXPECT_EQ(host->midiInputs.size(), 1u);
}

TEST_F(MidiInputTest, WithoutAnyMidiSubsystemTheHostRunsOnWithoutInputs) {
    midi.broken = {MidiApi::LinuxAlsa, MidiApi::UnixJack};
    startCapturingErrors();
    EXPECT_EQ(host->numMIDIPorts, 0u);
    EXPECT_TRUE(host->midiInputs.empty());
    host->midiApi = MidiApi::LinuxAlsa;  // asked for by name: the same
    startCapturingErrors();
    EXPECT_TRUE(host->midiInputs.empty());
}

TEST_F(MidiInputTest, TheLibrarysChoiceIsTheFirstApiWithPorts) {
    midi.ports[MidiApi::UnixJack] = 1;
    host->startMIDIThread();
    EXPECT_EQ(host->midiApiInUse, MidiApi::UnixJack);
    host->stopMIDIThread();
    host->midiInputs.clear();
    host->midiApi = MidiApi::LinuxAlsa;
    host->startMIDIThread();
    EXPECT_EQ(host->numMIDIPorts, 0u) << "the API asked for, although it has no ports";
}

TEST_F(MidiInputTest, APortThatFailsIsSkippedAndTheOthersOpened) {
    midi.ports[MidiApi::LinuxAlsa] = 3;
    midi.refusingPorts = {1};
    EXPECT_NE(startCapturingErrors().find("port refuses"), std::string::npos);
    ASSERT_EQ(host->midiInputs.size(), 2u);
    EXPECT_EQ(midi.opened[0]->port, 0u);
    EXPECT_EQ(midi.opened[1]->port, 2u);
}

TEST_F(MidiInputTest, StopClosesEveryInputOnceAndKeepsTheListsLength) {
    midi.ports[MidiApi::LinuxAlsa] = 2;
    host->startMIDIThread();
    host->stopMIDIThread();
    for (const auto& input : midi.opened) EXPECT_FALSE(input->alive);
    EXPECT_EQ(host->midiInputs.size(), 2u);
    EXPECT_EQ(host->midiInputs[0], nullptr);
    host->stopMIDIThread();
}

TEST_F(MidiInputTest, AFullRingDropsTheNewMessageAndKeepsTheQueuedOnes) {
    for (unsigned i = 0; i < StandaloneHost::kMidiRingSize; ++i) {
        std::vector<unsigned char> m = {0xB0, static_cast<unsigned char>(i >> 7), static_cast<unsigned char>(i & 127)};
        StandaloneHost::midiCallback(0.0, &m, host);
    }
    const auto entries = drain();
    ASSERT_EQ(entries.size(), StandaloneHost::kMidiRingSize - 1);
    for (unsigned i = 0; i < entries.size(); ++i) ASSERT_EQ(entries[i][1] * 128u + entries[i][2], i);
    std::vector<unsigned char> m = {0x80, 1, 2};
    StandaloneHost::midiCallback(0.0, &m, host);
    EXPECT_EQ(drain(), (std::vector<StandaloneHost::MidiEntry>{{0x80, 1, 2}})) << "room again once read";
}

}  // namespace
