// MIDI input: every input port present at start, opened under one client name,
// hands its short messages to the audio thread through the host's MIDI ring.
#include <pthread.h>

#include <algorithm>
#include <cstdio>

#include "standalone/call_shield.h"
#include "standalone/standalone_host.h"

namespace brevlin::clap_host::standalone {

namespace {

constexpr char kClientName[] = "RtMidi Input Client";
constexpr char kPortName[] = "RtMidi Input";
constexpr unsigned int kQueueSizeLimit = 100;

void printMidiError(const std::string& message) { std::fprintf(stderr, "\n%s\n\n", message.c_str()); }

// Inputs whose JACK server went away. Deleting one makes the library unregister its
// port on the dead client, which crashes inside it; so they stay here, never
// called again, until the process ends. Reachable from a global, they are no leak.
std::vector<std::unique_ptr<MidiInput>>& setAsideInputs() {
    static auto* const inputs = new std::vector<std::unique_ptr<MidiInput>>();
    return *inputs;
}

}  // namespace

void StandaloneHost::startMIDIThread() {
    // Which API the inputs use: the one asked for, or the library's own choice
    // (the first API with ports, else the last one that opened). An API that cannot
    // be opened on this machine (ALSA without a sequencer) is reported and passed
    // over; with none left the program runs on without MIDI. So is JACK while a
    // call into it is stuck: that call may hold the lock every JACK client's open
    // and close takes.
    const bool jackStuck = rtaDac != nullptr && rtaDac->leftACallBehind();
    std::unique_ptr<MidiInput> probe;
    MidiApi api = midiApi;
    std::string error;
    if (api != MidiApi::Unspecified) {
        if (api != MidiApi::UnixJack || !jackStuck) probe = midiSystem->makeInput(api, kClientName, kQueueSizeLimit, error);
        if (probe == nullptr) printMidiError(error);
    } else {
        for (MidiApi candidate : midiSystem->compiledApis()) {
            if (candidate == MidiApi::UnixJack && jackStuck) continue;
            std::unique_ptr<MidiInput> input = midiSystem->makeInput(candidate, kClientName, kQueueSizeLimit, error);
            if (input == nullptr) {
                printMidiError(error);
                continue;
            }
            const bool hasPorts = input->getPortCount() > 0;
            probe = std::move(input);
            api = candidate;
            if (hasPorts) break;
        }
    }
    if (probe == nullptr) {
        numMIDIPorts = 0;
        return;
    }
    midiApiInUse = api;
    numMIDIPorts = probe->getPortCount();
    probe.reset();

    for (uint32_t port = 0; port < numMIDIPorts; ++port) {
        std::unique_ptr<MidiInput> input = midiSystem->makeInput(api, kClientName, kQueueSizeLimit, error);
        if (input == nullptr || !input->openPort(port, kPortName, error) ||
            !input->setCallback(&StandaloneHost::midiCallback, this, error)) {
            printMidiError(error);
            continue;
        }
        midiInputs.push_back(std::move(input));
    }
}

void StandaloneHost::setAsideMidiInputs() {
    for (std::unique_ptr<MidiInput>& slot : midiInputs)
        if (slot != nullptr) setAsideInputs().push_back(std::move(slot));
    midiInputs.clear();
    midiInputsSetAside_ = true;
}

void StandaloneHost::reopenSetAsideMidiInputs() {
    if (!midiInputsSetAside_) return;
    midiInputsSetAside_ = false;
    startMIDIThread();
}

void StandaloneHost::stopMIDIThread() {
    // A server that went away since the last look must not have its inputs deleted:
    // looking at the stream hands its end on (streamEnded).
    noticeStreamEnd();
    // Nor those whose close would wait for the lock of a JACK library call that is
    // stuck: the program is quitting, and must end.
    if (midiApiInUse == MidiApi::UnixJack && rtaDac != nullptr && rtaDac->leftACallBehind()) setAsideMidiInputs();
    for (std::unique_ptr<MidiInput>& slot : midiInputs) {
        std::unique_ptr<MidiInput> input = std::move(slot);
        input.reset();
    }
}

namespace {

void deliver(StandaloneHost& host, double timeStamp, std::vector<unsigned char>* message) noexcept {
    Clap::shielded("MIDI input", [&] { host.processMIDIEvents(timeStamp, message); });
}

}  // namespace

// RtMidi's JACK input delivers on libjack's process thread, which libjack cancels,
// asynchronously, when its server dies. An unwind that started in the middle of a
// delivery would meet deliver's noexcept and catch (...), which end the program,
// or, where the compiler left neither, leave the MIDI ring with a slot taken and
// never published, which stalls every other input. So, as for the stream's
// blocks (rtaCallback), cancellation is off while a message is delivered; one that
// came meanwhile acts as it is switched back on, and its unwind leaves through
// this frame, neither noexcept nor inside a handler, into the library's frames.
void StandaloneHost::midiCallback(double timeStamp, std::vector<unsigned char>* message, void* userData) {
    int cancelState = PTHREAD_CANCEL_ENABLE;
    pthread_setcancelstate(PTHREAD_CANCEL_DISABLE, &cancelState);
    deliver(*static_cast<StandaloneHost*>(userData), timeStamp, message);
    pthread_setcancelstate(cancelState, nullptr);
}

void StandaloneHost::processMIDIEvents(double, std::vector<unsigned char>* message) {
    if (message == nullptr || message->size() > 3) return;
    // A full ring drops this message and keeps the waiting ones.
    midiRing.tryPush([&](MidiEntry& entry) {
        entry = {0, 0, 0};
        std::copy(message->begin(), message->end(), entry.begin());
    });
}

}  // namespace brevlin::clap_host::standalone
