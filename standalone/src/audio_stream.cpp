// Plug-in activation, the audio library object, opening, starting and stopping the
// stream and the device queries.
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <chrono>
#include <string>
#include <thread>

#include "standalone/audio_error_text.h"
#include "standalone/standalone_host.h"

namespace brevlin::clap_host::standalone {

void StandaloneHost::activatePlugin(int sampleRate, int minFrames, int maxFrames) {
    if (instance() == nullptr) return;
    deactivatePlugin();
    clapPlugin->setSampleRate(static_cast<double>(sampleRate));
    clapPlugin->setBlockSizes(static_cast<uint32_t>(minFrames), static_cast<uint32_t>(maxFrames));
    pluginActive = clapPlugin->activate();
    // A plug-in that refused activation is not asked to process.
    pluginProcessing = pluginActive && clapPlugin->start_processing();
}

void StandaloneHost::deactivatePlugin() {
    if (instance() == nullptr) return;
    if (pluginProcessing) {
        clapPlugin->stop_processing();  // counts as the audio thread for the call
        pluginProcessing = false;
    }
    if (pluginActive) {
        clapPlugin->deactivate();
        pluginActive = false;
    }
}

void StandaloneHost::setAudioApi(AudioApi api) {
    // The library's errors reach this object directly: it outlives every library
    // object it makes (it deletes them first when it goes), whereas the program's
    // global pointer to it is reset on the main thread while a stream thread may
    // still be reporting.
    rtaDac = std::make_unique<AudioLibrary>(
        api, [this](AudioErrorType type, const std::string& message) { rtaErrorCallback(*this, type, message); },
        audioBackendFactory, libraryAnswerBound);
    rtaDac->stream.onEnded = [this](const StreamEnd& end) { streamEnded(end); };
    audioApi = api;
    audioApiName = AudioLibrary::getApiName(api);
    audioApiDisplayName = AudioLibrary::getApiDisplayName(api);
}

void StandaloneHost::guaranteeRtAudioDAC() {
    if (rtaDac == nullptr) setAudioApi(AudioApi::Unspecified);
}

void StandaloneHost::stopStreamAndWait() {
    running.store(false, std::memory_order_release);
    // Only a running stream has a block to wait for; one that the library ended on
    // its own runs none and never acknowledges.
    for (uint32_t polls = 0; !stopAcknowledged.load(std::memory_order_acquire) && polls < stopPollLimit &&
                             rtaDac->stream.isRunning();
         ++polls)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    rtaDac->stream.close();
}

bool StandaloneHost::refreshAudioDevices() {
    guaranteeRtAudioDAC();
    std::string message;
    const AudioErrorType result = rtaDac->devices.refreshDevices(!rtaDac->stream.isOpen(), message);
    if (result == kAudioSystemNotAnswering)
        tellNotAnswering(message);
    else if (result != kAudioNoError)
        std::fprintf(stderr, "Audio: %s\n", message.c_str());
    return result == kAudioNoError;
}

void StandaloneHost::ensureDevices() {
    guaranteeRtAudioDAC();
    if (!rtaDac->devices.looked()) refreshAudioDevices();
}

void StandaloneHost::tellNotAnswering(const std::string& message) {
    std::fprintf(stderr, "Audio: %s\n", message.c_str());
    if (notAnsweringQueued_) return;
    notAnsweringQueued_ = true;
    queueAudioError(kAudioSystemNotAnsweringText);
}

namespace {

// The name of this process's stream, and so of its JACK client: unique to the
// process, so that JACK keeps it as it is and the device lists can leave that one
// client out while other programs' clients stay.
std::string ownStreamName() { return "Lumivex-" + std::to_string(::getpid()); }

}  // namespace

// The record of a device the stream is to use: from the devices' snapshot, or from
// a fresh one when the snapshot does not hold it. A device that is not there then
// either is told; so is a look that does not answer.
bool StandaloneHost::lookUpForStream(uint32_t id, AudioDeviceInfo& info) {
    if (rtaDac->devices.findDevice(id, &info)) return true;
    refreshAudioDevices();
    if (rtaDac->devices.lastLook() == kAudioSystemNotAnswering) return false;
    if (rtaDac->devices.findDevice(id, &info)) return true;
    rtaErrorCallback(*this, kAudioInvalidParameter, "device id " + std::to_string(id) + " not found");
    return false;
}

void StandaloneHost::startAudioThreadOn(uint32_t inputDevice, uint32_t inputChannels, bool useInput,
                                        uint32_t outputDevice, uint32_t outputChannels, bool useOutput,
                                        int32_t sampleRate) {
    guaranteeRtAudioDAC();
    if (rtaDac->stream.isOpen()) stopStreamAndWait();
    currentInputDevice = inputDevice;
    inputEnabled = useInput;
    currentOutputDevice = outputDevice;
    outputEnabled = useOutput;
    // Without a plug-in there is nothing to run a stream for.
    if (instance() == nullptr) return;

    // One look at the devices serves the whole open: the records below come from
    // the snapshot the caller's decision was made on.
    AudioStreamParameters outputParams{outputDevice, 0, 0};
    if (useOutput) {
        AudioDeviceInfo info;
        if (!lookUpForStream(outputDevice, info)) return;
        outputParams.nChannels = std::min(outputChannels, info.outputChannels);
        const auto& rates = info.sampleRates;
        if (sampleRate < 0 ||
            std::find(rates.begin(), rates.end(), static_cast<unsigned int>(sampleRate)) == rates.end())
            sampleRate = static_cast<int32_t>(info.preferredSampleRate);
    }
    AudioStreamParameters inputParams{inputDevice, 0, 0};
    if (useInput) {
        AudioDeviceInfo info;
        if (!lookUpForStream(inputDevice, info)) return;
        inputParams.nChannels = std::min(inputChannels, info.inputChannels);
        if (sampleRate < 0) sampleRate = static_cast<int32_t>(info.preferredSampleRate);
    }
    const int32_t rate = sampleRate >= 0 ? sampleRate : kFallbackSampleRate;
    streamSampleRate = rate;

    AudioStreamOptions options;
    options.flags = kAudioScheduleRealtime;
    options.streamName = ownStreamName();
    if (bufferFrames == 0) bufferFrames = kFirstBufferFrames;

    const AudioErrorType result =
        rtaDac->openStream(useOutput ? &outputParams : nullptr, useInput ? &inputParams : nullptr, kAudioFloat32,
                           static_cast<unsigned int>(rate), &bufferFrames, rtaCallback, this, &options);
    if (result != kAudioNoError) return;

    activatePlugin(rate, 1, static_cast<int>(2 * bufferFrames));
    streamOutputChannels = useOutput ? outputParams.nChannels : 0;
    streamInputChannels = useInput ? inputParams.nChannels : 0;
    // Every stream that opens processes from its first block, whatever stopped the
    // one before it (a stop leaves processing off and acknowledged). Its thread
    // starts after these stores.
    stopAcknowledged.store(false, std::memory_order_release);
    running.store(true, std::memory_order_release);
    if (rtaDac->startStream() == kAudioNoError) reopenSetAsideMidiInputs();
}

void StandaloneHost::stopAudioThread() {
    if (rtaDac == nullptr || !rtaDac->stream.isOpen()) return;
    stopStreamAndWait();
}

void StandaloneHost::startAudioThread() {
    ensureDevices();
    // That has been told, and there is nothing to open on.
    if (rtaDac->devices.lastLook() == kAudioSystemNotAnswering) return;
    if (startupSelection.present) {
        const StartupSelection& s = startupSelection;
        startAudioThreadOn(s.inputDevice, 2, s.inputDevice != 0 && numAudioInputs != 0, s.outputDevice, 2,
                           s.outputDevice != 0 && numAudioOutputs != 0, s.sampleRate);
        return;
    }
    // A direction whose default device is none (id 0) is left out, as with a
    // start-up selection.
    const auto [input, output, rate] = getDefaultAudioInOutSampleRate();
    startAudioThreadOn(input, 2, numAudioInputs != 0 && input != 0, output, 2, numAudioOutputs != 0 && output != 0,
                       rate);
}

std::tuple<uint32_t, uint32_t, int32_t> StandaloneHost::getDefaultAudioInOutSampleRate() {
    ensureDevices();
    const uint32_t input = rtaDac->devices.getDefaultInputDevice();
    const uint32_t output = rtaDac->devices.getDefaultOutputDevice();
    int32_t rate = -1;  // no output device: the input's preferred rate
    if (output != 0) {
        const AudioDeviceInfo info = rtaDac->devices.getDeviceInfo(output);
        rate = static_cast<int32_t>(info.currentSampleRate != 0 ? info.currentSampleRate : info.preferredSampleRate);
    }
    return {input, output, rate};
}

std::vector<AudioDeviceInfo> filterDevicesBy(const std::unique_ptr<AudioLibrary>& dac,
                                             std::function<bool(const AudioDeviceInfo&)> predicate) {
    std::vector<AudioDeviceInfo> result;
    for (AudioDeviceInfo& info : dac->devices.getDevices())
        if (predicate(info)) result.push_back(std::move(info));
    return result;
}

std::vector<AudioDeviceInfo> StandaloneHost::getInputAudioDevices() {
    ensureDevices();
    return filterDevicesBy(rtaDac, [](const AudioDeviceInfo& info) { return info.inputChannels != 0; });
}

std::vector<AudioDeviceInfo> StandaloneHost::getOutputAudioDevices() {
    ensureDevices();
    return filterDevicesBy(rtaDac, [](const AudioDeviceInfo& info) { return info.outputChannels != 0; });
}

std::vector<AudioApi> StandaloneHost::getCompiledApi() { return AudioLibrary::getCompiledApi(); }

std::vector<int32_t> StandaloneHost::getSampleRates() {
    ensureDevices();
    if (currentInputDevice == 0) return {};
    std::vector<int32_t> rates;
    for (unsigned int rate : rtaDac->devices.getDeviceInfo(currentInputDevice).sampleRates)
        rates.push_back(static_cast<int32_t>(rate));
    return rates;
}

std::vector<int32_t> StandaloneHost::getBufferSizes() {
    return {16, 32, 48, 64, 96, 128, 144, 160, 192, 224, 256, 480, 512, 1024, 2048, 4096};
}

}  // namespace brevlin::clap_host::standalone
