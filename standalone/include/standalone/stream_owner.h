// The audio stream and everything known about its life. The stream has a library
// object of its own, which only opens, starts, stops and closes it: device
// look-ups go elsewhere (DeviceCatalogue), so none of their failures can stop it.
//
// Its state changes here and nowhere else:
//
//   Closed --open--> Open --start--> Running --close--> Closed
//   Running --the library ends it--> EndedByLibrary --close--> Closed
//   any call that does not answer --> NotAnswering (like Closed for the next open)
//
// The library ends a stream on its own when its device fails (it stops the
// stream and reports the error from its own thread) or when its JACK server goes
// away (it closes the stream from a thread of its own, and says nothing). That is
// seen on the main thread by the first operation after it, and handed once to
// `onEnded`, which decides both what the user is told and what becomes of the MIDI
// inputs.
//
// Threads: the main thread calls everything; the library's threads call only the
// stream's error sink, which publishes the first error with release.
#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <string>

#include "standalone/audio_api.h"
#include "standalone/audio_backend.h"
#include "standalone/library_thread.h"

namespace brevlin::clap_host::standalone {

enum class StreamState { Closed, Open, Running, EndedByLibrary, NotAnswering };

struct StreamEnd {
    // The library stopped the stream for an error (a device lost); otherwise it
    // closed the stream silently: its server went away.
    bool deviceFailed = false;
    AudioApi api = AudioApi::Unspecified;  // the audio system the stream ran on
    std::string message;                   // the library's words, when it had any
};

class StreamOwner {
public:
    StreamOwner(AudioBackendFactory factory, std::chrono::milliseconds bound);
    ~StreamOwner();
    StreamOwner(const StreamOwner&) = delete;
    StreamOwner& operator=(const StreamOwner&) = delete;

    // Main thread: told once about every stream the library ends.
    std::function<void(const StreamEnd&)> onEnded;

    // Each of these first notices a stream the library ended.
    StreamState state();
    // The stream exists: open, running, or ended but not yet closed.
    bool isOpen();
    bool isRunning();

    // From Closed or NotAnswering: opens a stream on `api` with its own library
    // object (made anew when the audio system differs or the last one did not
    // answer). Devices are named by their positions in that system.
    AudioErrorType open(AudioApi api, const AudioStreamParameters* output, const AudioStreamParameters* input,
                        AudioFormat format, unsigned int sampleRate, unsigned int* frames,
                        AudioStreamCallback callback, void* userData, const AudioStreamOptions& options,
                        std::string& message);
    // Open to Running. A stream that does not run afterwards is closed and the
    // failure returned.
    AudioErrorType start(std::string& message);
    // To Closed: a running stream is aborted, without waiting for the device to
    // drain (callers silence it first: a drain may wait without bound in RtAudio
    // 5's JACK backend), then closed; one the library ended is closed as it is.
    void close();

    // A library object of a stream was left behind not answering; its stream
    // thread may still call the stream's callback.
    bool leftAStreamBehind() const { return leftBehind_; }

private:
    struct EndReport;
    void noticeEnd();
    // Runs one call on the stream's library; one that does not answer leaves the
    // library behind.
    AudioErrorType call(std::function<void(AudioBackend&)> what, std::string& message);

    AudioBackendFactory factory_;
    std::chrono::milliseconds bound_;
    std::unique_ptr<LibraryThread> library_;
    AudioApi api_ = AudioApi::Unspecified;  // of library_
    StreamState state_ = StreamState::Closed;
    // The current stream's first error; shared with its sink, which may outlive
    // this object in a library left behind.
    std::shared_ptr<EndReport> report_;
    bool leftBehind_ = false;
};

}  // namespace brevlin::clap_host::standalone
