// What the host needs of the MIDI library: input clients on one of its APIs,
// their ports, and a callback per opened port. Nothing here throws: a failure
// comes back as false or null with the library's message. RtMidiSystem is the real
// library; tests bring their own.
#pragma once

#include <memory>
#include <string>
#include <vector>

namespace brevlin::clap_host::standalone {

enum class MidiApi {
    Unspecified,
    MacosxCore,
    LinuxAlsa,
    UnixJack,
    WindowsMm,
    Dummy,
    WebMidi,
};

// Called on the library's input thread of the port, once per message.
using MidiInputCallback = void (*)(double timeStamp, std::vector<unsigned char>* message, void* userData);

class MidiInput {
public:
    virtual ~MidiInput() = default;  // closes the port and ends its callbacks
    virtual unsigned int getPortCount() = 0;
    virtual bool openPort(unsigned int port, const std::string& portName, std::string& error) = 0;
    virtual bool setCallback(MidiInputCallback callback, void* userData, std::string& error) = 0;
};

class MidiSystem {
public:
    virtual ~MidiSystem() = default;
    // The APIs the library was built with, in its order of preference.
    virtual std::vector<MidiApi> compiledApis() = 0;
    // An input client on `api` (never Unspecified); null with the library's message
    // when the API cannot be used on this machine.
    virtual std::unique_ptr<MidiInput> makeInput(MidiApi api, const std::string& clientName,
                                                 unsigned int queueSizeLimit, std::string& error) = 0;
};

// RtMidi. One object serves the whole process.
MidiSystem& rtMidiSystem();

}  // namespace brevlin::clap_host::standalone
