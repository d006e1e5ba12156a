// The process call: the chip runs once per sample, events are applied at their
// sample time, timed presses become switch pins, the selected output pair is scaled
// into the output port. Nothing here allocates, locks or waits.
#include <cmath>

#include "fxcoreplug/fxcore_plugin.h"
#include "fxcoreplug/param_ids.h"

namespace fxcoreplug {

namespace {

constexpr double kPanelPressSeconds = 0.025;  // a panel switch press lasts 25 ms

// Pin of switch index i: SW0-SW4 on bits 0-4, TAP on bit 6.
constexpr uint32_t pinBit(int index) { return index == 5 ? 1u << 6 : 1u << index; }

}  // namespace

void FXCorePlugin::refreshControls() {
    float pots[6];
    for (uint32_t k = 0; k < 6; ++k) pots[k] = static_cast<float>(paramValue(param::kPot0 + k));
    core.setPots(pots);

    uint32_t word = 0x7F;  // bit 5, the spare switch input, stays released
    for (int i = 0; i < 6; ++i)
        if (paramValue(switchParamId(i)) >= 0.5) word &= ~pinBit(i);
    controls.switchWord = word;

    controls.inputGain = static_cast<float>(std::pow(10.0, paramValue(param::kInputTrim) / 20.0));
    controls.outputGain = static_cast<float>(std::pow(10.0, paramValue(param::kOutputTrim) / 20.0));
    controls.outputPair = paramValue(param::kMonitor) >= 0.5 ? 2 : 0;
}

clap_process_status FXCorePlugin::process(const clap_process* p) {
    if (p == nullptr || p->audio_outputs_count == 0 || p->audio_outputs == nullptr) return CLAP_PROCESS_CONTINUE;
    // An output port without 32-bit channels has nowhere to put a sample: the block
    // is one without outputs, unless it has no sample to put. A second channel that
    // is missing makes it a one-channel port.
    const uint32_t frames = p->frames_count;
    const clap_audio_buffer& outPort = p->audio_outputs[0];
    if (outPort.data32 == nullptr || outPort.channel_count == 0) return CLAP_PROCESS_CONTINUE;
    float* outLeft = outPort.data32[0];
    if (outLeft == nullptr && frames > 0) return CLAP_PROCESS_CONTINUE;
    float* outRight = outPort.channel_count >= 2 && outPort.data32[1] != nullptr ? outPort.data32[1] : outLeft;

    const clap_input_events* in = p->in_events;
    const uint32_t eventCount = in != nullptr && in->size != nullptr ? in->size(in) : 0;

    const float* inLeft = nullptr;
    const float* inRight = nullptr;
    if (p->audio_inputs_count > 0 && p->audio_inputs != nullptr && p->audio_inputs[0].data32 != nullptr &&
        p->audio_inputs[0].channel_count > 0) {
        const clap_audio_buffer& inPort = p->audio_inputs[0];
        inLeft = inPort.data32[0];
        inRight = inPort.channel_count >= 2 ? inPort.data32[1] : inPort.data32[0];
    }

    outEvents = p->out_events;
    applyProgramIfChanged();

    if (!core.isLoaded()) {
        // Nothing to run: silence, and this block's events and the panel queue wait.
        outEvents = nullptr;
        for (uint32_t s = 0; s < frames; ++s) outLeft[s] = outRight[s] = 0.0f;
        return CLAP_PROCESS_CONTINUE;
    }

    if (const uint32_t triggers = pendingSwitchTriggers.exchange(0, std::memory_order_acq_rel)) {
        const auto pulse = static_cast<int32_t>(sampleRate * kPanelPressSeconds);
        for (int i = 0; i < 6; ++i)
            if (triggers & (1u << i)) switchPulses[static_cast<size_t>(i)] = pulse;
    }
    refreshControls();

    uint32_t cursor = 0;
    for (uint32_t s = 0; s < frames; ++s) {
        bool anyEvent = false;
        while (cursor < eventCount) {
            const clap_event_header* event = in->get(in, cursor);
            if (event != nullptr && event->time > s) break;
            ++cursor;
            anyEvent = true;
            handleEvent(event);
        }
        if (anyEvent) {
            applyProgramIfChanged();
            refreshControls();
        }

        for (int i = 0; i < 6; ++i) {
            int32_t& timer = tapTimers[static_cast<size_t>(i)];
            if (timer <= 0) continue;
            if (--timer == 0) {
                emitParamChange(switchParamId(i), 0.0);  // the MIDI momentary press ends
                refreshControls();
            }
        }

        uint32_t pinWord = controls.switchWord;
        for (int i = 0; i < 6; ++i) {
            int32_t& pulse = switchPulses[static_cast<size_t>(i)];
            if (pulse <= 0) continue;
            pinWord &= ~pinBit(i);
            --pulse;
        }
        core.pins = pinWord & 0x7F;

        const float gain = controls.inputGain;
        const float chipIn[4] = {inLeft != nullptr ? inLeft[s] * gain : 0.0f,
                                 inRight != nullptr ? inRight[s] * gain : 0.0f, 0.0f, 0.0f};
        core.run(chipIn);
        outLeft[s] = core.getOutput(controls.outputPair) * controls.outputGain;
        outRight[s] = core.getOutput(controls.outputPair + 1) * controls.outputGain;
    }

    // Events timed at or after the block's end take effect at the next block.
    for (; cursor < eventCount; ++cursor) handleEvent(in->get(in, cursor));

    drainGuiQueue(p->out_events);
    outEvents = nullptr;
    return CLAP_PROCESS_CONTINUE;
}

}  // namespace fxcoreplug
