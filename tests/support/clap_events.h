// Input events as a CLAP host hands them to a plug-in: events built field by field
// and an input event list over a vector of them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <utility>
#include <vector>

#include "clap/clap.h"

namespace testsupport {

// Room for any event the tests send or receive.
union Event {
    clap_event_header header;
    clap_event_param_value value;
    clap_event_param_gesture gesture;
    clap_event_midi midi;
    clap_event_note note;
    clap_event_transport transport;
};

inline Event paramEvent(uint32_t time, uint32_t id, double value) {
    Event e{};
    e.value.header = {sizeof(clap_event_param_value), time, CLAP_CORE_EVENT_SPACE_ID, CLAP_EVENT_PARAM_VALUE, 0};
    e.value.param_id = id;
    e.value.note_id = -1;
    e.value.port_index = -1;
    e.value.channel = -1;
    e.value.key = -1;
    e.value.value = value;
    return e;
}

inline Event midiEvent(uint32_t time, uint8_t status, uint8_t data1, uint8_t data2) {
    Event e{};
    e.midi.header = {sizeof(clap_event_midi), time, CLAP_CORE_EVENT_SPACE_ID, CLAP_EVENT_MIDI, 0};
    e.midi.port_index = 0;
    e.midi.data[0] = status;
    e.midi.data[1] = data1;
    e.midi.data[2] = data2;
    return e;
}

// A control change on channel 1 (0-based channel 0) unless told otherwise.
inline Event ccEvent(uint32_t time, uint8_t cc, uint8_t value, uint8_t channel = 0) {
    return midiEvent(time, static_cast<uint8_t>(0xB0 | (channel & 0x0F)), cc, value);
}

inline Event noteOnEvent(uint32_t time, int16_t key = 60) {
    Event e{};
    e.note.header = {sizeof(clap_event_note), time, CLAP_CORE_EVENT_SPACE_ID, CLAP_EVENT_NOTE_ON, 0};
    e.note.note_id = -1;
    e.note.port_index = 0;
    e.note.channel = 0;
    e.note.key = key;
    e.note.velocity = 1.0;
    return e;
}

inline Event inSpace(Event e, uint16_t space) {
    e.header.space_id = space;
    return e;
}

// An input event list over a vector of events, which the list owns; events are
// added in time order. Counts the host calls the plug-in makes on it.
class InputEvents {
public:
    InputEvents() { wire(); }
    InputEvents(std::initializer_list<Event> events) : events_(events) { wire(); }
    explicit InputEvents(std::vector<Event> events) : events_(std::move(events)) { wire(); }
    InputEvents(const InputEvents&) = delete;
    InputEvents& operator=(const InputEvents&) = delete;

    InputEvents& add(const Event& e) {
        events_.push_back(e);
        return *this;
    }
    void clear() { events_.clear(); }
    const clap_input_events* list() const { return &list_; }
    size_t size() const { return events_.size(); }
    int gets() const { return gets_; }

private:
    void wire() {
        list_.ctx = this;
        list_.size = [](const clap_input_events* l) {
            return static_cast<uint32_t>(static_cast<const InputEvents*>(l->ctx)->events_.size());
        };
        list_.get = [](const clap_input_events* l, uint32_t index) -> const clap_event_header* {
            auto* self = static_cast<InputEvents*>(l->ctx);
            ++self->gets_;
            return index < self->events_.size() ? &self->events_[index].header : nullptr;
        };
    }

    std::vector<Event> events_;
    int gets_ = 0;
    clap_input_events list_{};
};

}  // namespace testsupport
