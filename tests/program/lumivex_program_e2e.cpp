// The real `lumivex` program, end to end, as a user meets it on a day without
// surprises: it plays, answers MIDI and the pointer, remembers its devices and
// comes back as it was left.
#include "program_fixture.h"

namespace {

using namespace programtest;

TEST_F(LumivexProgram, PlaysThePedalRemembersItsDevicesAndComesBackAsItWasLeft) {
    Screenshot turned;
    {
        Program run;
        ASSERT_NO_FATAL_FAILURE(launch(run));
        XWindowAttributes main{};
        XGetWindowAttributes(display, run.window, &main);
        EXPECT_EQ(main.width, kPanelWidth) << "the main window is as wide as the pedal";

        // The program's JACK client is named after the process; the rig feeds its
        // inputs and records its outputs.
        std::vector<std::string> inputs, outputs;
        ASSERT_TRUE(within([&] {
            inputs = portNames(jack_get_ports(rig.client(), "^Lumivex-[0-9]+:", nullptr, JackPortIsInput));
            outputs = portNames(jack_get_ports(rig.client(), "^Lumivex-[0-9]+:", nullptr, JackPortIsOutput));
            return inputs.size() == 2 && outputs.size() == 2;
        })) << inputs.size() << " input and " << outputs.size() << " output ports of the program's stream";
        for (int c = 0; c < 2; ++c) {
            ASSERT_EQ(jack_connect(rig.client(), rig.feedPort(c), inputs[c].c_str()), 0) << inputs[c];
            ASSERT_EQ(jack_connect(rig.client(), outputs[c].c_str(), rig.recordPort(c)), 0) << outputs[c];
        }

        // No repeats after the first, no modulation, the tone wide open: one clean
        // echo.
        ASSERT_TRUE(turnKnobsByMidi(run)) << "the panel does not show the knobs turned by MIDI";
        const uint64_t settled = rig.frames() + 2 * rig.rate();  // the knobs' smoothing settles
        ASSERT_TRUE(within([&] { return rig.frames() >= settled; })) << "the JACK server stopped";
        ASSERT_NO_FATAL_FAILURE(expectClick(true));

        // A press of the BYPASS footswitch with the pointer: the lamp goes out once the
        // firmware has taken the effect out, and from then on only the dry click sounds.
        const double lit = grab(run.panel).meanLevel(kOnLamp.x, kOnLamp.y, 4);
        double level = lit;
        button(run.panel, kBypass, true);
        EXPECT_TRUE(within([&] {
            const Screenshot now = grab(run.panel);
            level = now.empty() ? lit : now.meanLevel(kOnLamp.x, kOnLamp.y, 4);
            return level < lit - 40;
        })) << "the On lamp stays at " << level << " (lit: " << lit << ")";
        button(run.panel, kBypass, false);
        ASSERT_NO_FATAL_FAILURE(expectClick(false));

        // The devices the stream runs on and the rate, remembered at the watcher's
        // tick: the JACK clients the program's ports are wired to.
        std::string input, output;
        EXPECT_TRUE(within([&] {
            input = remembered(devicesFile(), "FXCoreAudioInputDevice");
            output = remembered(devicesFile(), "FXCoreAudioOutputDevice");
            return !input.empty() && !output.empty() &&
                   remembered(devicesFile(), "FXCoreAudioSampleRate") == std::to_string(rig.rate());
        })) << devicesFile() << " does not remember the devices and the rate";
        for (const auto& wired : {std::pair{inputs[0], input}, {outputs[0], output}}) {
            const std::string &port = wired.first, device = wired.second;
            const std::vector<std::string> peers = portNames(
                jack_port_get_all_connections(rig.client(), jack_port_by_name(rig.client(), port.c_str())));
            EXPECT_TRUE(std::any_of(peers.begin(), peers.end(), [&](auto& p) { return p.starts_with(device + ":"); }))
                << port << " is not wired to the remembered device \"" << device << "\"";
        }

        // Ctrl+C in the terminal, or a session's end: the settings are saved all the same.
        turned = grab(run.panel);
        ::kill(run.pid, SIGTERM);
        ASSERT_NO_FATAL_FAILURE(quitsCleanly(run, "SIGTERM"));
    }
    Program again;
    ASSERT_NO_FATAL_FAILURE(launch(again));
    int differing = 0;
    EXPECT_TRUE(within(
        [&] {
            const Screenshot now = grab(again.panel);
            differing = 0;
            for (Point k : kTurnedKnobs) differing += now.changedPixels(turned, k.x, k.y, 30, 8);
            return differing == 0;
        },
        10s))
        << "the knobs are not where MIDI left them: " << differing << " pixels differ";
    // Closing the window must write the file anew.
    ASSERT_TRUE(fs::remove(settingsFile()));
    requestClose(again.window);
    quitsCleanly(again, "closing the main window");
}

}  // namespace
