// RtMidi 5 underneath the MIDI adapter. Every RtMidiError becomes a message; an
// error callback on each input keeps later failures from being thrown at all.
#include <RtMidi.h>

#include <iostream>

#include "standalone/call_shield.h"
#include "standalone/midi_library.h"

namespace brevlin::clap_host::standalone {

static_assert(static_cast<int>(MidiApi::LinuxAlsa) == RtMidi::LINUX_ALSA);
static_assert(static_cast<int>(MidiApi::UnixJack) == RtMidi::UNIX_JACK);
static_assert(static_cast<int>(MidiApi::WebMidi) == RtMidi::WEB_MIDI_API);

namespace {

class RtMidiInput final : public MidiInput {
public:
    explicit RtMidiInput(std::unique_ptr<RtMidiIn> in) : in_(std::move(in)) {
        in_->setErrorCallback(&RtMidiInput::onError, this);
    }

    unsigned int getPortCount() override {
        try {
            return in_->getPortCount();
        } catch (const RtMidiError&) {
            return 0;
        }
    }

    bool openPort(unsigned int port, const std::string& portName, std::string& error) override {
        return run([&] { in_->openPort(port, portName); }, error);
    }

    bool setCallback(MidiInputCallback callback, void* userData, std::string& error) override {
        return run([&] { in_->setCallback(callback, userData); }, error);
    }

private:
    template <class Call>
    bool run(Call&& call, std::string& error) {
        lastError_.clear();
        try {
            call();
        } catch (const RtMidiError& e) {
            lastError_ = e.getMessage();
        }
        if (lastError_.empty()) return true;
        error = lastError_;
        return false;
    }

    // Warnings (a JACK server that is not there) are printed the library's way;
    // errors fail the call in progress. The library reports them only from inside
    // the calls above, all made on the main thread.
    static void onError(RtMidiError::Type type, const std::string& text, void* self) noexcept {
        Clap::shielded("MIDI error report", [&] {
            if (type == RtMidiError::WARNING || type == RtMidiError::DEBUG_WARNING) {
                std::cerr << '\n' << text << "\n\n";
                return;
            }
            static_cast<RtMidiInput*>(self)->lastError_ = text;
        });
    }

    std::unique_ptr<RtMidiIn> in_;
    std::string lastError_;  // main thread only
};

class RtMidiSystem final : public MidiSystem {
public:
    std::vector<MidiApi> compiledApis() override {
        std::vector<RtMidi::Api> apis;
        RtMidi::getCompiledApi(apis);
        std::vector<MidiApi> result;
        for (RtMidi::Api api : apis) result.push_back(static_cast<MidiApi>(api));
        return result;
    }

    std::unique_ptr<MidiInput> makeInput(MidiApi api, const std::string& clientName, unsigned int queueSizeLimit,
                                         std::string& error) override {
        try {
            auto in = std::make_unique<RtMidiIn>(static_cast<RtMidi::Api>(api), clientName, queueSizeLimit);
            return std::make_unique<RtMidiInput>(std::move(in));
        } catch (const RtMidiError& e) {
            error = e.getMessage();
            return nullptr;
        }
    }
};

}  // namespace

MidiSystem& rtMidiSystem() {
    static RtMidiSystem system;
    return system;
}

}  // namespace brevlin::clap_host::standalone
