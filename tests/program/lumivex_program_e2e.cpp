// The real `lumivex` program, end to end, as a user meets it: started as a child
// process on a virtual X server (no window manager) and a JACK server, with the
// user's folders in a scratch directory. The test finds its window by title, reads
// the window's pixels back, clicks into it through XTest, plays a click into its
// JACK inputs and records its outputs, turns knobs over JACK MIDI, and closes it as
// a window manager would or with SIGTERM. Skipped without a display or a JACK server.
#include <glib.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <initializer_list>
#include <map>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "audio_measures.h"
#include "fxcoreedit/panel_layouts.h"
#include "jack_rig.h"
#include "panel_face.h"
#include "program_process.h"
#include "program_window.h"
#include "wait.h"

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using testsupport::JackRig;
using testsupport::loudest;
using testsupport::Screenshot;

constexpr char kTitle[] = "Lumivex";
constexpr char kPluginId[] = "com.quendry.lumivex";
constexpr int kPanelWidth = 394;
constexpr int kPanelHeight = 722;
constexpr int64_t kEchoFrames = 8700;  // the echo's Time knob at its default of 0.5

// Where the pedal's controls sit on its face (the "lumivex" layout).
struct Point {
    int x, y;
};
constexpr Point kTimeKnob{73, 91};     // POT0, MIDI CC 50
constexpr Point kRepeatsKnob{196, 91}; // POT1, CC 51
constexpr Point kModKnob{72, 211};     // POT3, CC 53
constexpr Point kToneKnob{196, 211};   // POT4, CC 54
constexpr Point kBypass{324, 626};     // the SW4 footswitch
constexpr Point kOnLamp{338, 552};     // USER1: lit while the effect is engaged

// Paced polling for what another process brings about; the bound decides.
template <class Done>
bool within(std::chrono::steady_clock::duration patience, Done done) {
    return testsupport::waitFor(
        [&] {
            if (done()) return true;
            std::this_thread::sleep_for(10ms);
            return false;
        },
        patience);
}

bool knobMoved(const Screenshot& before, const Screenshot& now, Point knob) {
    return now.changedPixels(before, knob.x, knob.y, 15) > 20;
}

// One run of the program with the windows and ports it shows.
struct ProgramRun {
    e2e::ProgramProcess process;
    unsigned long window = 0;  // the top-level window titled "Lumivex"
    unsigned long panel = 0;   // the pedal's window inside it
    Screenshot firstShot;      // the panel as it first showed whole
    std::vector<std::string> inputs, outputs;  // its JACK audio ports, once connected
};

class LumivexProgram : public ::testing::Test {
protected:
    void SetUp() override {
        if (!screen.opened()) GTEST_SKIP() << "no X display (cannot open $DISPLAY)";
        std::string why;
        if (!screen.usable(why)) GTEST_SKIP() << why;
        if (!rig.open()) GTEST_SKIP() << "no JACK server running";
        char pattern[] = "/tmp/lumivex-program-XXXXXX";
        ASSERT_NE(::mkdtemp(pattern), nullptr);
        home = pattern;
        // Fontconfig, under GTK's text rendering, keeps the font patterns it matched
        // in caches it never frees; a sanitizer build would end the program with an
        // error at exit for them.
        const char* lsan = std::getenv("LSAN_OPTIONS");
        environment = {{"HOME", home.string()},
                       {"XDG_CONFIG_HOME", (home / "config").string()},
                       {"XDG_DATA_HOME", (home / "data").string()},
                       {"JACK_NO_START_SERVER", "1"},
                       {"LSAN_OPTIONS", std::string(lsan != nullptr ? lsan : "") +
                                            ":suppressions=" LUMIVEX_LSAN_SUPPRESSIONS}};
    }
    void TearDown() override {
        if (!home.empty()) fs::remove_all(home);
    }

    fs::path settingsFile() const { return home / "data" / "clap-standalone-host" / kPluginId / "settings.claphost"; }
    fs::path devicesFile() const { return home / "config" / "lumivex" / "defaults.conf"; }

    // RtAudio names its JACK client "RtApiJack" (with a number when that is taken).
    std::vector<std::string> audioPorts(unsigned long direction) const {
        return rig.ports("^RtApiJack[^:]*:", direction);
    }

    // Starts the program and waits until its window shows the whole pedal face.
    void launch(ProgramRun& run) {
        portsBefore = audioPorts(JackPortIsInput);
        const auto more = audioPorts(JackPortIsOutput);
        portsBefore.insert(portsBefore.end(), more.begin(), more.end());
        std::string why;
        ASSERT_TRUE(run.process.start(LUMIVEX_PROGRAM, environment, why)) << why;
        const bool shown = within(30s, [&] {
            run.window = screen.topLevelTitled(kTitle);
            return run.window != 0 || !run.process.running() || run.process.waitForExit(0s).has_value();
        });
        ASSERT_TRUE(shown && run.window != 0) << "no top-level window titled \"" << kTitle << "\" ("
                                              << (run.process.running() ? "still running" : "the program ended") << ")";
        const testsupport::PanelFace face(fxcoreplug::layoutNamed("lumivex"));
        ASSERT_NE(face.bitmap, nullptr);
        testsupport::FaceMatch match;
        const bool whole = within(30s, [&] {
            run.panel = screen.innermostOfSize(run.window, kPanelWidth, kPanelHeight);
            if (run.panel == 0) return false;
            run.firstShot = screen.grab(run.panel);
            if (run.firstShot.width != kPanelWidth || run.firstShot.height != kPanelHeight) return false;
            match = face.clearSquaresMatching(run.firstShot);
            return match.samples > 0 && match.matching >= match.samples * 95 / 100;
        });
        ASSERT_TRUE(whole) << (run.panel == 0 ? "no 394 x 722 window inside the main window"
                                              : std::to_string(match.matching) + " of " +
                                                    std::to_string(match.samples) + " squares show the face");
    }

    // Wires the program's audio ports to the rig: feed -> its inputs, its outputs -> record.
    void connectAudio(ProgramRun& run) {
        const auto fresh = [&](unsigned long direction) {
            std::vector<std::string> ports;
            for (const std::string& p : audioPorts(direction))
                if (std::find(portsBefore.begin(), portsBefore.end(), p) == portsBefore.end()) ports.push_back(p);
            return ports;
        };
        ASSERT_TRUE(within(30s, [&] {
            run.inputs = fresh(JackPortIsInput);
            run.outputs = fresh(JackPortIsOutput);
            return run.inputs.size() == 2 && run.outputs.size() == 2;
        })) << run.inputs.size() << " input and " << run.outputs.size() << " output ports of the program's stream";
        for (int c = 0; c < 2; ++c) {
            ASSERT_TRUE(rig.connect(rig.feedPort(c), run.inputs[c])) << run.inputs[c];
            ASSERT_TRUE(rig.connect(run.outputs[c], rig.recordPort(c))) << run.outputs[c];
        }
    }

    // The program opens the MIDI inputs present when its audio starts: the rig's one.
    void waitForMidi() {
        ASSERT_TRUE(within(30s, [&] { return rig.midiConnected(); })) << "the program did not open the rig's MIDI port";
    }

    // Control changes are absolute, so they are sent again every few JACK cycles until
    // the panel shows that they arrived.
    void sendUntilShown(ProgramRun& run, std::initializer_list<std::array<uint8_t, 3>> messages,
                        std::initializer_list<Point> knobs) {
        Screenshot now;
        const bool shown = within(30s, [&] {
            rig.sendMidiEvery(1024, messages);
            now = screen.grab(run.panel);
            return !now.empty() && std::all_of(knobs.begin(), knobs.end(),
                                               [&](Point k) { return knobMoved(run.firstShot, now, k); });
        });
        ASSERT_TRUE(shown) << "the panel does not show the knobs turned by MIDI";
    }

    void waitFrames(uint64_t frames) {
        const uint64_t until = rig.frames() + frames;
        ASSERT_TRUE(within(30s, [&] { return rig.frames() >= until; })) << "the JACK server stopped";
    }

    std::array<std::vector<float>, 2> takeClick() {
        rig.clickSoonAndRecord();
        EXPECT_TRUE(within(30s, [&] { return rig.recordingDone(); })) << "the JACK server stopped";
        return rig.recording();
    }

    void quitsCleanly(ProgramRun& run, const char* how) {
        const std::optional<int> status = run.process.waitForExit(30s);
        ASSERT_TRUE(status.has_value()) << "still running 30 s after " << how;
        EXPECT_TRUE(WIFEXITED(*status) && WEXITSTATUS(*status) == 0)
            << how << ": " << e2e::describeWaitStatus(*status);
        EXPECT_TRUE(fs::exists(settingsFile())) << how << " left no " << settingsFile();
    }

    e2e::Screen screen;
    JackRig rig{"lumivex-program-e2e"};
    fs::path home;
    std::map<std::string, std::string> environment;
    std::vector<std::string> portsBefore;  // the RtApiJack ports of other programs
};

// The group of the user's defaults file, as GLib's key files read it.
std::optional<std::string> remembered(const fs::path& file, const char* key) {
    GKeyFile* keys = g_key_file_new();
    std::optional<std::string> value;
    if (g_key_file_load_from_file(keys, file.c_str(), G_KEY_FILE_NONE, nullptr)) {
        if (gchar* v = g_key_file_get_string(keys, "defaults", key, nullptr)) {
            value = v;
            g_free(v);
        }
    }
    g_key_file_free(keys);
    return value;
}

// Whether `port` is connected to a port of the JACK client `client`.
bool connectedToClient(const JackRig& rig, const std::string& port, const std::string& client) {
    const char** peers = jack_port_get_all_connections(rig.client(), jack_port_by_name(rig.client(), port.c_str()));
    bool found = false;
    for (const char** p = peers; p != nullptr && *p != nullptr; ++p)
        found = found || std::string(*p).starts_with(client + ":");
    if (peers != nullptr) jack_free(peers);
    return found;
}

TEST_F(LumivexProgram, ShowsThePedalEchoesAClickAndItsBypassFootswitchTakesTheEchoAway) {
    ProgramRun run;
    ASSERT_NO_FATAL_FAILURE(launch(run));
    const e2e::Rect window = screen.rect(run.window), panel = screen.rect(run.panel);
    EXPECT_EQ(window.width, kPanelWidth) << "the main window is as wide as the pedal";
    EXPECT_TRUE(panel.x >= window.x && panel.y >= window.y && panel.x + panel.width <= window.x + window.width &&
                panel.y + panel.height <= window.y + window.height)
        << "the pedal lies inside the main window";
    const std::string png = std::string(LUMIVEX_SCREENSHOT_DIR) + "/lumivex-window.png";
    EXPECT_TRUE(screen.grab(run.window).savePng(png)) << png;

    ASSERT_NO_FATAL_FAILURE(connectAudio(run));
    ASSERT_NO_FATAL_FAILURE(waitForMidi());
    // No repeats after the first, no modulation, the tone wide open: one clean echo.
    ASSERT_NO_FATAL_FAILURE(
        sendUntilShown(run, {{0xB0, 51, 0}, {0xB0, 53, 0}, {0xB0, 54, 127}}, {kRepeatsKnob, kModKnob, kToneKnob}));
    ASSERT_NO_FATAL_FAILURE(waitFrames(2 * rig.rate()));  // the knobs' smoothing settles
    for (const auto& channel : takeClick()) {
        const size_t dry = loudest(channel, 0, 4096);
        EXPECT_GT(std::fabs(channel[dry]), 0.2) << "the dry click comes through";
        const size_t echo = loudest(channel, dry + kEchoFrames / 2, dry + kEchoFrames * 3 / 2);
        EXPECT_EQ(echo - dry, static_cast<size_t>(kEchoFrames)) << "the echo at the Time setting";
        EXPECT_GT(std::fabs(channel[echo]), 0.2) << "the echo";
    }

    // A press of the BYPASS footswitch with the pointer: the lamp goes out once the
    // firmware has taken the effect out, and from then on only the dry click sounds.
    const double lit = screen.grab(run.panel).meanLevel(kOnLamp.x, kOnLamp.y, 4);
    screen.press(run.panel, kBypass.x, kBypass.y);
    double level = lit;
    const bool out = within(30s, [&] {
        const Screenshot now = screen.grab(run.panel);
        level = now.empty() ? lit : now.meanLevel(kOnLamp.x, kOnLamp.y, 4);
        return level < lit - 40;
    });
    screen.release(run.panel, kBypass.x, kBypass.y);
    EXPECT_TRUE(out) << "the On lamp stays at " << level << " (lit: " << lit << ")";
    for (const auto& channel : takeClick()) {
        const size_t dry = loudest(channel, 0, 4096);
        EXPECT_GT(std::fabs(channel[dry]), 0.2) << "the dry click comes through the bypass";
        const size_t rest = loudest(channel, dry + 64, channel.size());
        EXPECT_LT(std::fabs(channel[rest]), 0.02) << "no echo when bypassed, yet " << channel[rest] << " at "
                                                  << rest - dry << " frames after the click";
    }

    // The devices the stream runs on and the rate, remembered at the watcher's tick:
    // the JACK clients whose ports the program's stream is wired to.
    std::optional<std::string> input, output, rate;
    EXPECT_TRUE(within(30s, [&] {
        input = remembered(devicesFile(), "FXCoreAudioInputDevice");
        output = remembered(devicesFile(), "FXCoreAudioOutputDevice");
        rate = remembered(devicesFile(), "FXCoreAudioSampleRate");
        return input && output && rate;
    })) << devicesFile() << " does not remember the devices";
    if (input && output && rate) {
        EXPECT_EQ(*rate, std::to_string(rig.rate()));
        EXPECT_TRUE(connectedToClient(rig, run.inputs[0], *input)) << "input device \"" << *input << "\"";
        EXPECT_TRUE(connectedToClient(rig, run.outputs[0], *output)) << "output device \"" << *output << "\"";
    }

    screen.requestClose(run.window);
    quitsCleanly(run, "closing the main window");
}

TEST_F(LumivexProgram, AKnobTurnedByMidiIsWhereItWasLeftWhenTheProgramStartsAgain) {
    Screenshot turned;
    {
        ProgramRun run;
        ASSERT_NO_FATAL_FAILURE(launch(run));
        ASSERT_NO_FATAL_FAILURE(waitForMidi());
        ASSERT_NO_FATAL_FAILURE(sendUntilShown(run, {{0xB0, 50, 0}}, {kTimeKnob}));
        // The knob as it rests: two grabs in a row that agree.
        Screenshot previous = screen.grab(run.panel);
        ASSERT_TRUE(within(10s, [&] {
            turned = screen.grab(run.panel);
            const bool still = turned.changedPixels(previous, kTimeKnob.x, kTimeKnob.y, 30, 0) == 0;
            previous = turned;
            return still;
        }));
        // Ctrl+C in the terminal, or a session's end: the settings are saved all the same.
        run.process.signal(SIGTERM);
        ASSERT_NO_FATAL_FAILURE(quitsCleanly(run, "SIGTERM"));
    }
    ProgramRun again;
    ASSERT_NO_FATAL_FAILURE(launch(again));
    int differing = 0;
    EXPECT_TRUE(within(10s, [&] {
        differing = screen.grab(again.panel).changedPixels(turned, kTimeKnob.x, kTimeKnob.y, 30, 8);
        return differing == 0;
    })) << "the Time knob is not where MIDI left it: " << differing << " pixels differ";
    // Closing the window must write the file anew.
    ASSERT_TRUE(fs::remove(settingsFile()));
    screen.requestClose(again.window);
    quitsCleanly(again, "closing the main window");
}

}  // namespace
