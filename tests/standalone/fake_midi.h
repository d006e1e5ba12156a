// A MIDI library for the tests: APIs that work or not, ports per API, ports that
// refuse to open, and the callbacks of the opened inputs to send messages through.
#pragma once

#include <functional>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "standalone/midi_library.h"

namespace satest {

using brevlin::clap_host::standalone::MidiApi;
using brevlin::clap_host::standalone::MidiInput;
using brevlin::clap_host::standalone::MidiInputCallback;

struct FakeMidiSystem final : brevlin::clap_host::standalone::MidiSystem {
    struct Opened {
        MidiApi api;
        unsigned int port;
        std::string portName;
        MidiInputCallback callback = nullptr;
        void* userData = nullptr;
        bool alive = true;
        void send(std::vector<unsigned char> bytes) const { callback(0.0, &bytes, userData); }
    };

    std::vector<MidiApi> apis = {MidiApi::LinuxAlsa, MidiApi::UnixJack};
    std::set<MidiApi> broken;  // cannot be opened on this machine
    std::map<MidiApi, unsigned int> ports;
    std::set<unsigned int> refusingPorts;
    std::vector<std::string> clients;  // client names, one per input made
    std::vector<std::shared_ptr<Opened>> opened;
    std::function<void()> onDelete;  // called as an input is deleted

    std::vector<MidiApi> compiledApis() override { return apis; }

    std::unique_ptr<MidiInput> makeInput(MidiApi api, const std::string& clientName, unsigned int,
                                         std::string& error) override {
        if (broken.count(api) != 0) {
            error = "no sequencer for this API";
            return nullptr;
        }
        clients.push_back(clientName);
        return std::make_unique<Input>(*this, api);
    }

private:
    struct Input final : MidiInput {
        Input(FakeMidiSystem& s, MidiApi a) : system(s), api(a) {}
        ~Input() override {
            if (system.onDelete) system.onDelete();
            if (opened) opened->alive = false;
        }
        unsigned int getPortCount() override { return system.ports[api]; }
        bool openPort(unsigned int port, const std::string& name, std::string& error) override {
            if (system.refusingPorts.count(port) != 0) {
                error = "port refuses";
                return false;
            }
            opened = std::make_shared<Opened>(Opened{api, port, name});
            system.opened.push_back(opened);
            return true;
        }
        bool setCallback(MidiInputCallback callback, void* userData, std::string&) override {
            opened->callback = callback;
            opened->userData = userData;
            return true;
        }
        FakeMidiSystem& system;
        MidiApi api;
        std::shared_ptr<Opened> opened;
    };
};

}  // namespace satest
