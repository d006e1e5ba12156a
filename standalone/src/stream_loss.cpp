// A stream that ends without the host stopping it: its audio server went away. The
// host learns it on the main thread (the request timer, an OK in the settings
// window, quit), closes what is left, and gets MIDI back with the next stream.
#include "standalone/standalone_host.h"

namespace brevlin::clap_host::standalone {

bool StandaloneHost::takeLostStream() {
    // While the library's own thread closes a JACK stream, the stream still reads
    // as running; once it reads otherwise, that thread is done with the library.
    if (!streamLive || rtaDac == nullptr || rtaDac->isStreamRunning()) return false;
    streamLive = false;
    running.store(false, std::memory_order_release);
    // A stream the library only stopped would refuse the next open.
    if (rtaDac->isStreamOpen()) rtaDac->closeStream();
    // MIDI inputs on the same JACK server lost their client with it: the library
    // would call into the dead client when they are deleted.
    if (midiApiInUse == MidiApi::UnixJack && rtaDac->getBackendApi() == AudioApi::UnixJack) setAsideMidiInputs();
    return true;
}

void StandaloneHost::streamStarted() {
    streamLive = rtaDac != nullptr && rtaDac->isStreamRunning();
    if (!streamLive || !midiServerLost) return;
    midiServerLost = false;
    startMIDIThread();
}

}  // namespace brevlin::clap_host::standalone
