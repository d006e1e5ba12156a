#include "standalone/library_thread.h"

#include <condition_variable>
#include <deque>
#include <exception>
#include <mutex>
#include <utility>

namespace brevlin::clap_host::standalone {

namespace {

struct Job {
    std::function<void(std::unique_ptr<AudioBackend>&)> call;
    // Written by the thread under the mutex, read by the owner once `done`.
    bool done = false;
    AudioErrorType type = kAudioNoError;
    std::string message;
};

// Runs one call into the library; what it throws comes back as a type and message.
AudioErrorType attempt(Job& job, std::unique_ptr<AudioBackend>& library) {
    try {
        job.call(library);
        return kAudioNoError;
    } catch (const AudioBackendError& e) {
        job.message = e.what();
        return e.type();
    } catch (const std::exception& e) {
        job.message = e.what();
        return kAudioUnknownError;
    } catch (...) {
        job.message = "unknown audio library failure";
        return kAudioUnknownError;
    }
}

}  // namespace

// Owned by the thread and by the owner together: a thread left behind keeps it,
// and with it its library, alive for good.
struct LibraryThread::Shared {
    std::mutex mutex;
    std::condition_variable changed;
    std::deque<std::shared_ptr<Job>> jobs;
    bool quit = false;
    std::unique_ptr<AudioBackend> library;  // the thread's (see the header)
};

LibraryThread::LibraryThread(const AudioBackendFactory& factory, AudioApi api, std::chrono::milliseconds bound)
    : shared_(std::make_shared<Shared>()), bound_(bound) {
    thread_ = std::thread([shared = shared_] {
        for (;;) {
            std::shared_ptr<Job> job;
            {
                std::unique_lock lock(shared->mutex);
                shared->changed.wait(lock, [&] { return shared->quit || !shared->jobs.empty(); });
                if (shared->jobs.empty()) return;
                job = std::move(shared->jobs.front());
                shared->jobs.pop_front();
            }
            const AudioErrorType type = attempt(*job, shared->library);
            {
                std::lock_guard lock(shared->mutex);
                job->type = type;
                job->done = true;
            }
            shared->changed.notify_all();
        }
    });
    madeType_ = post(
        [factory, api](std::unique_ptr<AudioBackend>& library) {
            library = factory(api);
            if (library == nullptr) throw AudioBackendError(kAudioNoDevicesFound, "no audio library available");
            library->showWarnings(false);  // the adapter reports what matters itself
        },
        madeMessage_);
}

LibraryThread::~LibraryThread() {
    std::string message;
    if (answering_ && post([](std::unique_ptr<AudioBackend>& library) { library.reset(); }, message) !=
                          kAudioSystemNotAnswering) {
        {
            std::lock_guard lock(shared_->mutex);
            shared_->quit = true;
        }
        shared_->changed.notify_all();
        thread_.join();
        return;
    }
    thread_.detach();
}

AudioErrorType LibraryThread::post(std::function<void(std::unique_ptr<AudioBackend>&)> call, std::string& message) {
    if (!answering_) {
        message = "the audio system did not answer before";
        return kAudioSystemNotAnswering;
    }
    auto job = std::make_shared<Job>();
    job->call = std::move(call);
    std::unique_lock lock(shared_->mutex);
    shared_->jobs.push_back(job);
    shared_->changed.notify_all();
    if (!shared_->changed.wait_for(lock, bound_, [&] { return job->done; })) {
        answering_ = false;
        message = "the audio system did not answer within " + std::to_string(bound_.count()) + " ms";
        return kAudioSystemNotAnswering;
    }
    message = std::move(job->message);
    return job->type;
}

AudioErrorType LibraryThread::run(std::function<void(AudioBackend&)> call, std::string& message) {
    if (madeType_ != kAudioNoError) {
        message = madeMessage_;
        return madeType_;
    }
    return post([call = std::move(call)](std::unique_ptr<AudioBackend>& library) { call(*library); }, message);
}

bool LibraryThread::streamOpen() const { return answering_ && madeType_ == kAudioNoError && shared_->library->isStreamOpen(); }

bool LibraryThread::streamRunning() const {
    return answering_ && madeType_ == kAudioNoError && shared_->library->isStreamRunning();
}

}  // namespace brevlin::clap_host::standalone
