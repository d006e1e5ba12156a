// One block of the stream, called directly: device input into the first input
// port, MIDI into events, the process record, device output and the limits.
#include <gtest/gtest.h>

#include "host_fixture.h"

namespace {

using namespace satest;

struct BlockProcessing : HostFixture {
    void sendMidi(std::vector<unsigned char> bytes) { StandaloneHost::midiCallback(0.0, &bytes, host); }

    // Runs one block on interleaved device buffers of the given widths.
    std::vector<float> block(const std::vector<float>& input, uint32_t inChannels, uint32_t outChannels,
                             uint32_t frames) {
        host->streamInputChannels = inChannels;
        host->streamOutputChannels = outChannels;
        std::vector<float> output(static_cast<size_t>(frames) * outChannels, 9.0f);
        host->clapProcess(output.data(), input.empty() ? nullptr : input.data(), frames);
        return output;
    }
};

TEST_F(BlockProcessing, WhileProcessingIsOffTheBlockIsSilentAndAcknowledged) {
    FakePlugin& p = attach();
    sendMidi({0xB0, 50, 127});
    host->running = false;
    EXPECT_EQ(block({}, 0, 2, 8), std::vector<float>(16, 0.0f));
    EXPECT_TRUE(host->stopAcknowledged.load());
    EXPECT_EQ(p.blocks.load(), 0u);
    EXPECT_EQ(host->midiRing.waiting(), 1u) << "MIDI waits for processing";
}

// The libraries' callbacks let no exception unwind into the library's thread; the
// stream and MIDI callbacks let their thread's cancellation through
// (server_loss_test.cpp).
static_assert(!noexcept(rtaCallback(nullptr, nullptr, 0, 0.0, 0, nullptr)));
static_assert(!noexcept(StandaloneHost::midiCallback(0.0, nullptr, nullptr)));

TEST_F(BlockProcessing, ABlockThatThrowsIsSilenceAndTheNextOneRuns) {
    FakePlugin& p = attach();
    p.plugin.process = [](const clap_plugin*, const clap_process*) -> clap_process_status {
        throw std::runtime_error("process failed");
    };
    host->streamOutputChannels = 2;
    std::vector<float> output(8, 9.0f);
    EXPECT_EQ(rtaCallback(output.data(), nullptr, 4, 0.0, 0, host), 0);
    EXPECT_EQ(output, std::vector<float>(8, 0.0f));
    p.plugin.process = fakeProcess;
    EXPECT_EQ(block({}, 0, 2, 4).size(), 8u) << "the lock was released";
    EXPECT_EQ(p.blocks.load(), 1u);
}

TEST_F(BlockProcessing, DeviceInputFeedsTheFirstInputPortOnly) {
    world.config.audioInputs = 2;
    FakePlugin& p = attach();
    // One device channel feeds both; of four, the first two are used.
    EXPECT_EQ(block({0.1f, 0.2f}, 1, 2, 2), (std::vector<float>{0.1f, 0.1f, 0.2f, 0.2f}));
    EXPECT_EQ(block({1, 2, 3, 4, 5, 6, 7, 8}, 4, 2, 2), (std::vector<float>{1, 2, 5, 6}));
    const clap_audio_buffer& second = p.lastProcess.audio_inputs[1];
    EXPECT_EQ(second.data32[0][0], 0.0f);
    EXPECT_EQ(second.data32[1][1], 0.0f);
    // A stream without input: the ports hear silence.
    EXPECT_EQ(block({}, 0, 2, 2), std::vector<float>(4, 0.0f));
}

TEST_F(BlockProcessing, ProcessRecordHasEveryPortAsTwoChannelsNoTransportAndNoSteadyTime) {
    world.config.audioInputs = 0;
    world.config.audioOutputs = 2;
    world.config.channelsPerPort = 1;
    FakePlugin& p = attach();
    block({0.5f, 0.5f}, 2, 2, 1);
    const clap_process& proc = p.lastProcess;
    EXPECT_EQ(proc.steady_time, -1);
    EXPECT_EQ(proc.transport, nullptr);
    EXPECT_EQ(proc.frames_count, 1u);
    EXPECT_EQ(proc.audio_inputs_count, 0u);
    EXPECT_EQ(proc.audio_outputs_count, 2u);
    EXPECT_EQ(proc.audio_outputs[1].channel_count, 2u);
    EXPECT_EQ(proc.audio_outputs[1].data64, nullptr);
    EXPECT_EQ(proc.audio_outputs[1].data32[0], host->scratchChannels[2]);
    EXPECT_TRUE(p.pushAccepted) << "output events are accepted";
}

TEST_F(BlockProcessing, WaitingMidiBecomesAtMost256EventsAtTimeZeroAndTheRingEmpties) {
    FakePlugin& p = attach();
    for (int i = 0; i < 300; ++i) sendMidi({0xB0, static_cast<unsigned char>(i % 128), 1});
    block({}, 0, 2, 0);  // a block of no frames still drains the ring
    EXPECT_EQ(p.blocks.load(), 1u);
    EXPECT_EQ(p.lastProcess.frames_count, 0u);
    ASSERT_EQ(p.eventCount, 256u);
    for (uint32_t i = 0; i < p.eventCount; ++i) {
        const clap_event_midi& e = p.events[i];
        EXPECT_EQ(e.header.size, 24u);
        EXPECT_EQ(e.header.time, 0u);
        EXPECT_EQ(e.header.type, CLAP_EVENT_MIDI);
        EXPECT_EQ(e.header.space_id, CLAP_CORE_EVENT_SPACE_ID);
        EXPECT_EQ(e.port_index, 0u);
        EXPECT_EQ(e.data[1], i % 128);
    }
    EXPECT_EQ(host->midiRing.waiting(), 0u);
    EXPECT_EQ(StandaloneHost::ie_getsize(&host->inputEventList), 256u);
    EXPECT_EQ(StandaloneHost::ie_get(&host->inputEventList, 256), nullptr);
    block({}, 0, 2, 1);
    EXPECT_EQ(p.eventCount, 0u);
}

TEST_F(BlockProcessing, DeviceOutputFollowsTheStreamsWidthAndThePluginsPorts) {
    attach();
    const std::vector<float> mono = block({0.2f, 0.4f}, 2, 1, 1);
    ASSERT_EQ(mono.size(), 1u);
    EXPECT_FLOAT_EQ(mono[0], 0.3f) << "one channel gets the mix";
    EXPECT_EQ(block({0.2f, 0.4f}, 2, 0, 1), std::vector<float>{}) << "no output buffer";
    host->streamInputChannels = 2;
    host->streamOutputChannels = 2;
    host->clapProcess(nullptr, std::vector<float>{1, 1}.data(), 1);  // nothing written, nothing broken
}

TEST_F(BlockProcessing, APluginWithoutOutputPortsGivesSilence) {
    world.config.audioOutputs = 0;
    attach();
    EXPECT_EQ(block({0.2f, 0.4f}, 2, 2, 1), (std::vector<float>{0.0f, 0.0f}));
}

TEST_F(BlockProcessing, ABlockTooLargeForThePortBuffersIsSilenceAndSkipped) {
    FakePlugin& p = attach();
    sendMidi({0x90, 60, 100});
    const std::vector<float> output = block({}, 0, 2, StandaloneHost::kScratchFrames);
    EXPECT_EQ(output, std::vector<float>(output.size(), 0.0f));
    EXPECT_EQ(p.blocks.load(), 0u);
    EXPECT_EQ(host->midiRing.waiting(), 1u);
}

}  // namespace
