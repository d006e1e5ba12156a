// Host events and MIDI control changes into parameter values; changes the plug-in
// makes itself are echoed to the host.
#include "fxcoreplug/fxcore_plugin.h"
#include "fxcoreplug/param_ids.h"

namespace fxcoreplug {

namespace {
constexpr double kMidiPressSeconds = 0.12;  // a MIDI momentary press lasts 120 ms
}  // namespace

uint32_t FXCorePlugin::switchParamId(int index) {
    return index >= 0 && index <= 4 ? param::kSw0 + static_cast<uint32_t>(index) : param::kTap;
}

void FXCorePlugin::pushParamValue(const clap_output_events* out, uint32_t id, double value) {
    if (out == nullptr || out->try_push == nullptr) return;
    clap_event_param_value event{};
    event.header.size = sizeof(clap_event_param_value);
    event.header.time = 0;
    event.header.space_id = CLAP_CORE_EVENT_SPACE_ID;
    event.header.type = CLAP_EVENT_PARAM_VALUE;
    event.header.flags = 0;
    event.param_id = id;
    event.cookie = nullptr;
    event.note_id = -1;
    event.port_index = -1;
    event.channel = -1;
    event.key = -1;
    event.value = value;
    out->try_push(out, &event.header);
}

void FXCorePlugin::pushGesture(const clap_output_events* out, uint16_t type, uint32_t id) {
    if (out == nullptr || out->try_push == nullptr) return;
    clap_event_param_gesture event{};
    event.header.size = sizeof(clap_event_param_gesture);
    event.header.time = 0;
    event.header.space_id = CLAP_CORE_EVENT_SPACE_ID;
    event.header.type = type;
    event.header.flags = 0;
    event.param_id = id;
    out->try_push(out, &event.header);
}

void FXCorePlugin::emitParamChange(uint32_t id, double value) {
    if (defFor(id) == nullptr) return;
    pushParamValue(outEvents, id, storeParam(id, value));
}

void FXCorePlugin::handleEvent(const clap_event_header* event) {
    if (event == nullptr || event->space_id != CLAP_CORE_EVENT_SPACE_ID) return;
    if (event->type == CLAP_EVENT_MIDI) {
        handleMidi(reinterpret_cast<const clap_event_midi*>(event));
    } else if (event->type == CLAP_EVENT_PARAM_VALUE) {
        const auto* change = reinterpret_cast<const clap_event_param_value*>(event);
        storeParam(change->param_id, change->value);  // from the host: not echoed; a NaN is dropped
    }
}

void FXCorePlugin::midiTapSwitch(int index) {
    if (index < 0 || index > 5) return;
    const uint32_t id = switchParamId(index);
    if (tapTimers[static_cast<size_t>(index)] > 0) emitParamChange(id, 0.0);  // release before the new press
    emitParamChange(id, 1.0);
    tapTimers[static_cast<size_t>(index)] = static_cast<int32_t>(sampleRate * kMidiPressSeconds);
}

void FXCorePlugin::handleMidi(const clap_event_midi* midi) {
    if (midi == nullptr || (midi->data[0] & 0xF0) != 0xB0) return;  // control changes only, any channel
    const int cc = midi->data[1] & 0x7F;
    const int v = midi->data[2] & 0x7F;
    const bool on = v >= 64;
    auto toggle = [&](uint32_t id) { emitParamChange(id, paramValue(id) >= 0.5 ? 0.0 : 1.0); };

    if (cc >= 50 && cc <= 55) {
        emitParamChange(param::kPot0 + static_cast<uint32_t>(cc - 50), v / 127.0);
    } else if (cc == 93) {
        if (on) midiTapSwitch(5);
    } else if (cc == 102) {
        emitParamChange(param::kEnable, on ? 1.0 : 0.0);
    } else if (cc >= 103 && cc <= 107) {
        emitParamChange(param::kSw0 + static_cast<uint32_t>(cc - 103), on ? 1.0 : 0.0);
    } else if (cc == 108) {
        emitParamChange(param::kTap, on ? 1.0 : 0.0);
    } else if (cc >= 109 && cc <= 113) {
        if (on) toggle(param::kSw0 + static_cast<uint32_t>(cc - 109));
    } else if (cc == 114) {
        if (on) toggle(param::kTap);
    } else if (cc >= 115 && cc <= 119) {
        if (on) midiTapSwitch(cc - 115);
    }
}

void FXCorePlugin::paramsFlush(const clap_input_events* in, const clap_output_events* out) {
    outEvents = out;
    const uint32_t count = in != nullptr && in->size != nullptr ? in->size(in) : 0;
    for (uint32_t i = 0; i < count; ++i) handleEvent(in->get(in, i));
    drainGuiQueue(out);
    outEvents = nullptr;
}

}  // namespace fxcoreplug
