// The real program looking at the audio devices on a live JACK graph: another
// client's ports come and go while the settings window is opened and closed, and
// the audio library's look-up clients stick in libjack's close (a preloaded
// wrapper). A look-up must neither stop the sound nor hold the program.
#include <atomic>
#include <iostream>
#include <memory>

#include "program_fixture.h"

namespace {

using namespace programtest;

constexpr char kAlertTitle[] = "Unable to configure audio";
constexpr char kSettingsTitle[] = "Audio/MIDI Settings";

// A client with two output ports that comes and goes every few tens of
// milliseconds, as a browser tab that plays does under PipeWire's JACK. libjack's
// close may stick for it too: its thread is then left behind after a bounded wait.
class PortsComingAndGoing {
public:
    PortsComingAndGoing() {
        std::thread([state = state_] {
            while (*state == 0) {
                jack_client_t* client = jack_client_open("lumivex-comes-and-goes", JackNoStartServer, nullptr);
                if (client != nullptr) {
                    for (const char* port : {"out_1", "out_2"})
                        jack_port_register(client, port, JACK_DEFAULT_AUDIO_TYPE, JackPortIsOutput, 0);
                    jack_activate(client);
                }
                std::this_thread::sleep_for(40ms);  // paces the load
                if (client != nullptr) jack_client_close(client);
            }
            *state = 2;
        }).detach();
    }
    ~PortsComingAndGoing() {
        *state_ = 1;
        within([&] { return *state_ == 2; }, 10s);
    }

private:
    // 0 while it runs, 1 once asked to stop, 2 once stopped.
    std::shared_ptr<std::atomic<int>> state_ = std::make_shared<std::atomic<int>>(0);
};

class DeviceLookUps : public LumivexProgram {
protected:
    void TearDown() override {
        ::unsetenv("LD_PRELOAD");
        ::unsetenv("LOOKUP_HANG_ARMED_FILE");
        LumivexProgram::TearDown();
    }

    // The programs started from now on have their look-up clients' close wrapped;
    // it sticks once arm() made the file. False where it cannot be preloaded.
    bool wrapLookUpClose() {
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
        return false;  // nothing can come before a sanitizer's runtime
#endif
        ::setenv("LD_PRELOAD", LOOKUP_CLOSE_HANG_LIBRARY, 1);
        ::setenv("LOOKUP_HANG_ARMED_FILE", (home / "look-ups-stick").c_str(), 1);
        return true;
    }
    void arm() const { std::ofstream(home / "look-ups-stick") << "stuck\n"; }

    // Wires the rig to the program's stream, turns the knobs for one clean echo
    // and hears it.
    void playsThroughTheRig(const Program& run) {
        ASSERT_TRUE(wireRigToStream()) << "the program's stream does not run";
        ASSERT_TRUE(turnKnobsByMidi(run));
        const uint64_t settled = rig.frames() + 2 * rig.rate();
        ASSERT_TRUE(within([&] { return rig.frames() >= settled; })) << "the JACK server stopped";
        ASSERT_TRUE(echoes()) << "no echo before any look-up";
    }

    // A click played in: true when both channels bring back the click and its echo
    // in one of three takes (a cycle that a loaded server drops may swallow one).
    bool echoes() {
        for (int take = 0; take < 3; ++take) {
            rig.clickSoonAndRecord();
            if (!within([&] { return rig.recordingDone(); }, 10s)) return false;
            const auto& heard = rig.recording();
            if (std::all_of(heard.begin(), heard.end(), [](const std::vector<float>& channel) {
                    const size_t dry = testsupport::loudest(channel, 0, 4096);
                    const size_t echo = testsupport::loudest(channel, dry + kEchoFrames / 2, dry + kEchoFrames * 3 / 2);
                    return std::fabs(channel[dry]) > 0.2 && std::fabs(channel[echo]) > 0.2;
                }))
                return true;
        }
        return false;
    }

    // The audio alert answered when it shows; true when it did.
    bool answerAlert() {
        if (titled(kAlertTitle) == 0) return false;
        EXPECT_TRUE(dismiss(kAlertTitle)) << "the alert does not go";
        return true;
    }

    // File → Audio/MIDI Settings… from the keyboard (F10 opens the menu bar), typed
    // again while nothing shows (after an alert the window is on its way), answering
    // and counting alerts meanwhile; then Cancel through the window manager's close
    // button. GTK drops a close that comes while an alert holds the modal grab: the
    // user closes again. The settings window, or 0 when none opened.
    Window openAndCancelSettings(const Program& run, int& alerts) {
        Window settings = 0;
        for (int attempt = 0; attempt < 3 && settings == 0; ++attempt) {
            if (alerts == 0) type(run.window, {XK_F10, XK_Down, XK_Down, XK_Down, XK_Return});
            within([&] {
                alerts += answerAlert();
                return (settings = titled(kSettingsTitle)) != 0;
            }, 5s);
        }
        if (settings != 0) requestClose(settings);
        EXPECT_TRUE(within([&] {
            if (answerAlert()) {
                ++alerts;
                if (settings != 0) requestClose(settings);
            }
            return titled(kSettingsTitle) == 0;
        }, 10s)) << "the settings window stays";
        return settings;
    }
};

TEST_F(DeviceLookUps, SettingsOpenedTenTimesWhileAnotherClientsPortsComeAndGoKeepTheEchoAndShowNoAlert) {
    Program run;
    ASSERT_NO_FATAL_FAILURE(launch(run));
    ASSERT_NO_FATAL_FAILURE(playsThroughTheRig(run));
    int alerted = 0, silent = 0, status = 0;
    {
        PortsComingAndGoing other;
        for (int round = 1; round <= 10; ++round) {
            int alerts = 0;
            EXPECT_NE(openAndCancelSettings(run, alerts), 0u) << "round " << round << ": no settings window";
            silent += !echoes();
            alerts += answerAlert();
            alerted += alerts > 0;
            ASSERT_FALSE(run.ended(status)) << "the program ended in round " << round << ", wait status " << status;
        }
    }
    // The figures, to compare across changes; the alerts' words are on standard error.
    std::cout << "10 rounds: " << alerted << " with an alert, " << silent << " without the echo\n";
    EXPECT_EQ(alerted, 0) << "rounds with an alert";
    EXPECT_EQ(silent, 0) << "rounds without the echo";
    requestClose(run.window);
    quitsCleanly(run, "closing the main window after the rounds");
}

TEST_F(DeviceLookUps, ALookUpStuckAtStartIsToldAndClosingTheWindowStillSavesAndExits) {
    if (!wrapLookUpClose()) GTEST_SKIP() << "a preloaded library cannot come before a sanitizer's runtime";
    arm();
    Program run;
    ASSERT_NO_FATAL_FAILURE(spawn(run));
    int status = 0;
    EXPECT_TRUE(within([&] { return titled(kAlertTitle) != 0 || run.ended(status); }, 15s))
        << "the user is not told within 15 s";
    ASSERT_FALSE(run.ended(status)) << "the program ended, wait status " << status;
    answerAlert();
    ASSERT_TRUE(within([&] { return (run.window = titled("Lumivex")) != 0; }, 10s)) << "no main window";
    requestClose(run.window);
    quitsCleanly(run, "closing the main window with the look-ups stuck");
}

TEST_F(DeviceLookUps, ALookUpStuckFromTheSettingsWindowIsToldTheWindowOpensAndTheEchoGoesOn) {
    if (!wrapLookUpClose()) GTEST_SKIP() << "a preloaded library cannot come before a sanitizer's runtime";
    Program run;
    ASSERT_NO_FATAL_FAILURE(launch(run));
    ASSERT_NO_FATAL_FAILURE(playsThroughTheRig(run));
    arm();
    int alerts = 0;
    EXPECT_NE(openAndCancelSettings(run, alerts), 0u) << "the settings window does not open";
    // The window may open with what is known before the user is told.
    if (alerts == 0) within([&] { return (alerts += answerAlert()) > 0; }, 5s);
    EXPECT_GT(alerts, 0) << "the user is not told";
    EXPECT_TRUE(echoes()) << "the echo is gone";
    requestClose(run.window);
    quitsCleanly(run, "closing the main window with the look-ups stuck");
}

}  // namespace
