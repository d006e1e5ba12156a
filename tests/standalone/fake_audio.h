// An audio library for the tests, behind the adapter as the real one is: devices
// by position, failures thrown, and a stream thread that runs blocks while the
// stream runs.
#pragma once

#include <atomic>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "standalone/audio_backend.h"

namespace satest {

using namespace brevlin::clap_host::standalone;

struct FakeDevice {
    std::string name;
    unsigned int inputs = 0, outputs = 0;
    std::vector<unsigned int> rates;
    unsigned int preferred = 0;
    bool probed = true;  // false: busy elsewhere, only its name is seen
};

// What the fake's backends share with the test: the devices and what was done.
struct FakeAudioSystem {
    std::vector<FakeDevice> devices;
    unsigned int defaultInput = 0, defaultOutput = 0;  // positions, flagged in their records
    unsigned int chosenFrames = 0;                     // the size the driver picks; 0 keeps the one asked
    AudioErrorType openFailure = kAudioNoError;        // thrown by openStream when set
    bool failConstruction = false;
    std::atomic<bool> runBlocks{true};  // false: a stream thread that never calls back
    // Set: the stream thread meets this error at its next block and, as RtAudio
    // does, stops the stream on its own, then reports the error from its thread.
    std::atomic<AudioErrorType> streamFailure{kAudioNoError};
    // Set: at its next block the stream thread ends the stream as RtAudio does when
    // its JACK server goes away: closed from the library's own thread, unreported.
    std::atomic<bool> serverGoes{false};
    AudioApi api = AudioApi::Dummy;  // the API the backends say they run on

    struct Open {
        bool hasOutput = false, hasInput = false;
        AudioStreamParameters output, input;  // positions
        unsigned int rate = 0, framesAsked = 0;
        AudioStreamOptions options;
    };
    // Probes are the deviceCount and deviceInfo calls, counted from 1.
    int probes = 0;
    std::function<void(int probe)> beforeProbe;  // devices may change mid-enumeration
    int failedProbes = 0;                        // the next ones give what a failed connection gives
    // The next probes meet a device that went, as RtAudio 5 does: an object whose
    // stream runs with an error callback aborts that stream and then calls back;
    // any other throws.
    int invalidProbes = 0;
    int emptyCounts = 0;
    // An open stream's own client is a device too, last, to every backend, as with
    // JACK. Set by the backend that opened it, on whichever thread.
    std::mutex clientMutex;
    std::string openClient;
    void setOpenClient(const std::string& name) {
        std::lock_guard lock(clientMutex);
        openClient = name;
    }
    int backendsMade = 0;
    int refusedOpens = 0;            // the next opens fail as when devices moved under the library's numbering

    std::vector<Open> opens;
    int closes = 0, starts = 0, stops = 0, aborts = 0;
    std::atomic<int> streamThreadBlocks{0};
    std::vector<float> lastOutput;  // the last block's output, after the stream stopped

    AudioBackendFactory factory();

    // Set: device counts wait inside the library until released, as a look-up
    // stuck in libjack does. A released one fails at once, and so does every later
    // look through that backend, touching nothing more.
    std::atomic<bool> lookupsHang{false};
    void releaseLookups();  // and waits until none is inside
    std::mutex gateMutex;
    std::condition_variable gate;
    int hanging = 0;
};

class FakeAudioBackend final : public AudioBackend {
public:
    explicit FakeAudioBackend(FakeAudioSystem& system) : system_(system) {}
    ~FakeAudioBackend() override { endThread(); }

    AudioApi currentApi() override { return hung_ ? AudioApi::Unspecified : system_.api; }
    unsigned int deviceCount() override;
    BackendDeviceInfo deviceInfo(unsigned int index) override;
    void openStream(const AudioStreamParameters* output, const AudioStreamParameters* input, AudioFormat format,
                    unsigned int sampleRate, unsigned int* frames, AudioStreamCallback callback, void* userData,
                    AudioStreamOptions* options, AudioErrorSink errors) override;
    void closeStream() override;
    void startStream() override;
    void stopStream() override;
    void abortStream() override;
    bool isStreamOpen() const override { return open_.load(std::memory_order_acquire); }
    bool isStreamRunning() const override { return running_.load(std::memory_order_acquire); }
    void showWarnings(bool) override {}

private:
    void endThread();
    std::vector<FakeDevice> visible() const;
    void probe();

    FakeAudioSystem& system_;
    std::string streamName_;
    bool hung_ = false;  // its thread's only
    std::atomic<bool> open_{false};  // the stream thread closes it when the server goes
    std::atomic<bool> running_{false};
    std::thread thread_;
    AudioStreamCallback callback_ = nullptr;
    void* userData_ = nullptr;
    AudioErrorSink errors_;
    unsigned int frames_ = 0, inChannels_ = 0, outChannels_ = 0;
};

}  // namespace satest
