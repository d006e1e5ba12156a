// The program's host object with a fake plug-in attached the way the lifecycle
// attaches one, and fake audio and MIDI libraries behind it.
#pragma once

#include <gtest/gtest.h>

#include <memory>

#include "eventually.h"
#include "fake_audio.h"
#include "fake_midi.h"
#include "fake_plugin.h"
#include "standalone/lifecycle.h"
#include "standalone/standalone_host.h"

namespace satest {

struct HostFixture : ::testing::Test {
    FakeWorld world;
    FakeAudioSystem audio;
    FakeMidiSystem midi;
    StandaloneHost* host = nullptr;

    // The host is the program's one (audio errors find it through
    // getStandaloneHost).
    HostFixture() {
        standaloneHost = std::make_unique<StandaloneHost>();
        host = standaloneHost.get();
        host->audioBackendFactory = audio.factory();
        host->midiSystem = &midi;
    }
    ~HostFixture() override {
        audio.releaseLookups();
        standaloneHost.reset();
    }

    // Creates the fake plug-in with the current configuration and attaches it.
    FakePlugin& attach() {
        host->clapPlugin =
            Clap::Plugin::createInstance(&FakeWorld::factory, std::string(FakeWorld::descriptor.id), host);
        host->clapPlugin->initialize();
        return *world.last;
    }
};

}  // namespace satest
