// One block of the stream: device input into the plug-in's first input port, the
// MIDI ring into CLAP MIDI events, the plug-in's process call, and its first output
// port into the device output. Runs on the stream's thread; allocates nothing.
#include <algorithm>
#include <new>

#include "standalone/process_lock.h"
#include "standalone/standalone_host.h"

namespace brevlin::clap_host::standalone {

void StandaloneHost::clapProcess(void* output, const void* input, uint32_t frames) {
    ProcessLockHold hold(processLock);

    auto* out = static_cast<float*>(output);
    const uint32_t outChannels = streamOutputChannels;
    auto writeSilence = [&] {
        if (out != nullptr) std::fill_n(out, static_cast<size_t>(frames) * outChannels, 0.0f);
    };

    if (!running.load(std::memory_order_acquire)) {
        writeSilence();
        stopAcknowledged.exchange(true, std::memory_order_acq_rel);
        return;
    }
    // More than the port buffers hold: this block is silence.
    const clap_plugin* plugin = instance();
    if (frames >= kScratchFrames || plugin == nullptr) {
        writeSilence();
        return;
    }

    const uint32_t inputs = numAudioInputs;
    const uint32_t outputs = numAudioOutputs;
    float* channels[kScratchChannels] = {};
    clap_audio_buffer buffers[kMaxPorts] = {};
    for (uint32_t port = 0; port < inputs + outputs; ++port) {
        channels[2 * port] = scratchChannels[2 * port];
        channels[2 * port + 1] = scratchChannels[2 * port + 1];
        buffers[port].data32 = &channels[2 * port];
        buffers[port].data64 = nullptr;
        buffers[port].channel_count = 2;
        if (port < inputs) {
            std::fill_n(scratchChannels[2 * port], frames, 0.0f);
            std::fill_n(scratchChannels[2 * port + 1], frames, 0.0f);
        }
    }

    // The device's first two channels feed the first input port; a one-channel
    // device feeds both of its channels.
    const uint32_t inChannels = streamInputChannels;
    if (input != nullptr && inputs > 0 && frames > 0 && inChannels > 0) {
        const auto* in = static_cast<const float*>(input);
        const uint32_t right = inChannels >= 2 ? 1 : 0;
        float* l = scratchChannels[0];
        float* r = scratchChannels[1];
        for (uint32_t i = 0; i < frames; ++i) {
            l[i] = in[i * inChannels];
            r[i] = in[i * inChannels + right];
        }
    }

    inputEventCount = 0;
    while (midiRing.tryPop([&](const MidiEntry& bytes) {
        if (inputEventCount >= kEventSlots) return;  // consumed and dropped
        auto* event = new (inputEventSlots[inputEventCount]) clap_event_midi{};
        event->header.size = sizeof(clap_event_midi);
        event->header.time = 0;
        event->header.space_id = CLAP_CORE_EVENT_SPACE_ID;
        event->header.type = CLAP_EVENT_MIDI;
        event->header.flags = 0;
        event->port_index = 0;
        std::copy(bytes.begin(), bytes.end(), event->data);
        ++inputEventCount;
    })) {
    }

    clap_process process{};
    process.steady_time = -1;
    process.frames_count = frames;
    process.transport = nullptr;
    process.audio_inputs = buffers;
    process.audio_outputs = buffers + inputs;
    process.audio_inputs_count = inputs;
    process.audio_outputs_count = outputs;
    process.in_events = &inputEventList;
    process.out_events = &outputEventList;
    plugin->process(plugin, &process);

    if (out == nullptr) return;
    if (outputs == 0) {
        writeSilence();
        return;
    }
    // The first output port, as two channels per frame; a one-channel stream gets
    // their mix, channels beyond the second get silence.
    const float* l = scratchChannels[2 * inputs];
    const float* r = scratchChannels[2 * inputs + 1];
    if (outChannels == 1) {
        for (uint32_t i = 0; i < frames; ++i) out[i] = 0.5f * (l[i] + r[i]);
    } else if (outChannels >= 2) {
        for (uint32_t i = 0; i < frames; ++i) {
            float* frame = out + static_cast<size_t>(i) * outChannels;
            frame[0] = l[i];
            frame[1] = r[i];
            std::fill(frame + 2, frame + outChannels, 0.0f);
        }
    }
}

uint32_t StandaloneHost::ie_getsize(const clap_input_events* list) noexcept {
    return static_cast<const StandaloneHost*>(list->ctx)->inputEventCount;
}

const clap_event_header* StandaloneHost::ie_get(const clap_input_events* list, uint32_t index) noexcept {
    const auto* host = static_cast<const StandaloneHost*>(list->ctx);
    if (index >= host->inputEventCount) return nullptr;
    return reinterpret_cast<const clap_event_header*>(host->inputEventSlots[index]);
}

bool StandaloneHost::oe_try_push(const clap_output_events*, const clap_event_header*) noexcept { return true; }

}  // namespace brevlin::clap_host::standalone
