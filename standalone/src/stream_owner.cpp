#include "standalone/stream_owner.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <utility>

namespace brevlin::clap_host::standalone {

// The first error the library reports for one stream, from whichever thread.
struct StreamOwner::EndReport {
    std::atomic<int> type{kAudioNoError};
    std::atomic<bool> ready{false};  // text and length are written before, read after
    char text[256]{};
    size_t length = 0;

    // No allocation: this may be the stream's own thread.
    void take(AudioErrorType reported, const std::string& message) noexcept {
        if (reported == kAudioWarning) return;
        int none = kAudioNoError;
        if (!type.compare_exchange_strong(none, reported, std::memory_order_acq_rel)) return;
        length = std::min(message.size(), sizeof text);
        std::memcpy(text, message.data(), length);
        ready.store(true, std::memory_order_release);
    }
};

StreamOwner::StreamOwner(AudioBackendFactory factory, std::chrono::milliseconds bound)
    : factory_(std::move(factory)), bound_(bound), report_(std::make_shared<EndReport>()) {}

StreamOwner::~StreamOwner() {
    // Going away is not the library ending the stream.
    onEnded = nullptr;
    close();
}

void StreamOwner::noticeEnd() {
    // While the library's own thread closes a JACK stream, the stream still reads
    // as running; once it reads otherwise, that thread is done with the library.
    if (state_ != StreamState::Running || library_->streamRunning()) return;
    state_ = StreamState::EndedByLibrary;
    StreamEnd end;
    end.api = api_;
    // The library stops the stream before it reports why, so the report may still
    // be on its way; but only a lost server closes the stream as well.
    end.deviceFailed = library_->streamOpen();
    if (report_->ready.load(std::memory_order_acquire)) {
        end.deviceFailed = true;
        end.message.assign(report_->text, report_->length);
    }
    if (onEnded) onEnded(end);
}

StreamState StreamOwner::state() {
    noticeEnd();
    return state_;
}

bool StreamOwner::isOpen() {
    const StreamState now = state();
    return now == StreamState::Open || now == StreamState::Running || now == StreamState::EndedByLibrary;
}

bool StreamOwner::isRunning() { return state() == StreamState::Running; }

AudioErrorType StreamOwner::call(std::function<void(AudioBackend&)> what, std::string& message) {
    const AudioErrorType result = library_->run(std::move(what), message);
    if (result == kAudioSystemNotAnswering) {
        library_.reset();  // left behind, with whatever stream it holds
        leftBehind_ = true;
        state_ = StreamState::NotAnswering;
    }
    return result;
}

AudioErrorType StreamOwner::open(AudioApi api, const AudioStreamParameters* output,
                                 const AudioStreamParameters* input, AudioFormat format, unsigned int sampleRate,
                                 unsigned int* frames, AudioStreamCallback callback, void* userData,
                                 const AudioStreamOptions& options, std::string& message) {
    const StreamState now = state();
    if (now != StreamState::Closed && now != StreamState::NotAnswering) {
        message = "a stream is open already";
        return kAudioInvalidUse;
    }
    if (library_ == nullptr || api_ != api) {
        library_.reset();
        library_ = std::make_unique<LibraryThread>(factory_, api, bound_);
        api_ = api;
    }
    state_ = StreamState::Closed;
    // The call may outlive this one (see LibraryThread): it takes copies.
    auto report = std::make_shared<EndReport>();
    const AudioStreamParameters out = output != nullptr ? *output : AudioStreamParameters{};
    const AudioStreamParameters in = input != nullptr ? *input : AudioStreamParameters{};
    const bool hasOutput = output != nullptr, hasInput = input != nullptr;
    const unsigned int asked = *frames;
    auto chosen = std::make_shared<unsigned int>(asked);
    AudioErrorType result = call(
        [=](AudioBackend& library) {
            AudioStreamOptions given = options;
            unsigned int size = asked;
            library.openStream(hasOutput ? &out : nullptr, hasInput ? &in : nullptr, format, sampleRate, &size,
                               callback, userData, &given,
                               [report](AudioErrorType type, const std::string& text) { report->take(type, text); });
            *chosen = size;
        },
        message);
    if (result == kAudioSystemNotAnswering) return result;
    if (result != kAudioNoError) {
        // Whatever the failed open left: a stream that is open refuses the next one.
        std::string ignored;
        if (library_->streamOpen()) call([](AudioBackend& library) { library.closeStream(); }, ignored);
        return result;
    }
    *frames = *chosen;
    report_ = std::move(report);
    state_ = StreamState::Open;
    return kAudioNoError;
}

AudioErrorType StreamOwner::start(std::string& message) {
    if (state() != StreamState::Open) {
        message = "no stream is open to start";
        return kAudioInvalidUse;
    }
    AudioErrorType result = call([](AudioBackend& library) { library.startStream(); }, message);
    if (result == kAudioSystemNotAnswering) return result;
    if (result == kAudioNoError && library_->streamRunning()) {
        state_ = StreamState::Running;
        return kAudioNoError;
    }
    // With a stream open, RtAudio reports a failed start through the stream's
    // error callback instead of throwing.
    if (result == kAudioNoError) {
        const bool reported = report_->ready.load(std::memory_order_acquire);
        result = reported ? static_cast<AudioErrorType>(report_->type.load(std::memory_order_acquire))
                          : kAudioSystemError;
        message = reported ? std::string(report_->text, report_->length) : "the stream did not start";
    }
    close();
    return result;
}

void StreamOwner::close() {
    const StreamState now = state();
    if (now == StreamState::Closed || now == StreamState::NotAnswering) return;
    std::string ignored;
    if (library_->streamRunning() &&
        call([](AudioBackend& library) { library.abortStream(); }, ignored) == kAudioSystemNotAnswering)
        return;
    if (library_->streamOpen() &&
        call([](AudioBackend& library) { library.closeStream(); }, ignored) == kAudioSystemNotAnswering)
        return;
    state_ = StreamState::Closed;
}

}  // namespace brevlin::clap_host::standalone
