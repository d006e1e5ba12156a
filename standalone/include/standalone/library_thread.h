// One audio library object and the one thread that calls into it.
//
// Making an RtAudio object, counting and probing its devices and opening a stream
// all open and close JACK clients, and libjack can stick inside such a close for
// good. So those calls never run on the main thread: they run here, and the
// caller waits at most `bound` for each. A call that does not answer in time
// leaves this object not answering for the rest of its life: nothing calls into
// its library again, and its thread, which may hold libjack's locks, is never
// joined and its library never destroyed. The caller makes a fresh one to try
// again.
//
// Threads: every public operation is the owner's (the main thread); the library
// object is touched only by this object's thread, and by the owner only between
// two calls (readStream), when the thread is idle.
#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <thread>

#include "standalone/audio_api.h"
#include "standalone/audio_backend.h"

namespace brevlin::clap_host::standalone {

class LibraryThread {
public:
    // Starts the thread and makes the library for `api` on it. A library that
    // cannot be made leaves every call failing with how it failed.
    LibraryThread(const AudioBackendFactory& factory, AudioApi api, std::chrono::milliseconds bound);
    // Destroys the library on its thread (closing any stream it has open) and
    // joins; a thread that does not answer within the bound is left behind.
    ~LibraryThread();
    LibraryThread(const LibraryThread&) = delete;
    LibraryThread& operator=(const LibraryThread&) = delete;

    // Runs `call` with the library on the thread. kAudioNoError; the type of what
    // it threw, with `message`; kAudioSystemNotAnswering once a call has outrun
    // the bound, from then on at once and without running anything. `call` may
    // still run after the caller gave up on it: it must own what it touches.
    AudioErrorType run(std::function<void(AudioBackend&)> call, std::string& message);

    // The same for a call with an answer, which is written to `answer` only when
    // the call finished.
    template <class Answer>
    AudioErrorType ask(std::function<Answer(AudioBackend&)> call, Answer& answer, std::string& message) {
        auto given = std::make_shared<Answer>();
        const AudioErrorType type =
            run([call = std::move(call), given](AudioBackend& library) { *given = call(library); }, message);
        if (type == kAudioNoError) answer = std::move(*given);
        return type;
    }

    bool answering() const { return answering_; }
    // A plain look at the library's stream flags, never a call into the audio
    // system; false once the library does not answer.
    bool streamOpen() const;
    bool streamRunning() const;

private:
    struct Shared;
    // Runs `call` on the thread with the library's slot itself, waiting at most
    // the bound.
    AudioErrorType post(std::function<void(std::unique_ptr<AudioBackend>&)> call, std::string& message);


    std::shared_ptr<Shared> shared_;
    std::thread thread_;
    std::chrono::milliseconds bound_;
    bool answering_ = true;
    // How making the library failed; kAudioNoError when it was made.
    AudioErrorType madeType_ = kAudioNoError;
    std::string madeMessage_;
};

}  // namespace brevlin::clap_host::standalone
