// A stream that ends without the host stopping it: its device failed, or its audio
// server went away. The stream's owner sees it on the main thread and hands it
// here once; the user is told at the next delivery of audio errors, and MIDI comes
// back with the next stream.
#include <cstdio>

#include "standalone/audio_error_text.h"
#include "standalone/standalone_host.h"

namespace brevlin::clap_host::standalone {

void StandaloneHost::noticeStreamEnd() {
    if (rtaDac != nullptr) rtaDac->stream.state();
}

void StandaloneHost::streamEnded(const StreamEnd& end) {
    running.store(false, std::memory_order_release);
    if (!end.message.empty()) std::fprintf(stderr, "Audio: %s\n", end.message.c_str());
    // A JACK stream ends on its own only with its server. MIDI inputs on that
    // server lost their client with it: the library would call into the dead
    // client when they are deleted.
    const bool serverGone = end.api == AudioApi::UnixJack || !end.deviceFailed;
    if (end.api == AudioApi::UnixJack && midiApiInUse == MidiApi::UnixJack) setAsideMidiInputs();
    // Queued even here on the main thread: this may be the middle of an action of
    // the user's, which an alert's own loop must not re-enter.
    queueAudioError(serverGone ? kAudioServerStoppedText : kDeviceDisconnectedText);
}

}  // namespace brevlin::clap_host::standalone
