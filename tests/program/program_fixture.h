// The fixture of the `lumivex` program's end-to-end tests: the real program,
// started as a child process on a virtual X server (no window manager) and a JACK
// server, with the user's folders in a scratch directory. The test finds its window by title, reads
// the window's pixels back, clicks into it through XTest, plays a click into its
// JACK inputs and records its outputs, turns knobs over JACK MIDI, and ends it with
// SIGTERM or closes it as a window manager would. Skipped without a display or a
// JACK server.
#pragma once

#include <glib.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

#include "audio_measures.h"
#include "fxcoreedit/panel_layouts.h"
#include "jack_rig.h"
#include "panel_face.h"
#include "wait.h"

// Last: Xlib's macros (None, Bool, Status...) would upset the headers above.
#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>

extern char** environ;

namespace programtest {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using testsupport::Screenshot;

constexpr int kPanelWidth = 394;
constexpr int kPanelHeight = 722;
constexpr size_t kEchoFrames = 8700;  // the echo's Time knob at its default of 0.5

// Where the pedal's controls sit on its face (the "lumivex" layout).
struct Point {
    int x, y;
};
// Repeats (POT1, CC 51), Mod (POT3, CC 53), Tone (POT4, CC 54).
constexpr std::array<Point, 3> kTurnedKnobs{{{196, 91}, {72, 211}, {196, 211}}};
constexpr Point kBypass{324, 626};  // the SW4 footswitch
constexpr Point kOnLamp{338, 552};  // USER1: lit while the effect is engaged

// Paced polling for what another process brings about; the bound decides.
template <class Done>
inline bool within(Done done, std::chrono::steady_clock::duration patience = 30s) {
    return testsupport::waitFor([&] { return done() || (std::this_thread::sleep_for(10ms), false); }, patience);
}

// Windows of another client may vanish between two of our requests.
inline int ignoreXError(Display*, XErrorEvent*) { return 0; }

inline std::vector<Window> childrenOf(Display* display, Window window) {
    Window root = 0, parent = 0, *list = nullptr;
    unsigned int count = 0;
    if (XQueryTree(display, window, &root, &parent, &list, &count) == 0) return {};
    std::vector<Window> out(list, list + count);
    if (list != nullptr) XFree(list);
    return out;
}

// The deepest viewable window inside `window` of the panel's size, or 0.
inline Window panelInside(Display* display, Window window) {
    Window found = 0;
    for (Window child : childrenOf(display, window)) {
        XWindowAttributes a{};
        if (XGetWindowAttributes(display, child, &a) == 0 || a.map_state != IsViewable) continue;
        if (const Window inner = panelInside(display, child); inner != 0) return inner;
        if (a.width == kPanelWidth && a.height == kPanelHeight) found = child;
    }
    return found;
}

// One run of the program; still running when the test ends, it is killed.
struct Program {
    pid_t pid = 0;
    Window window = 0;    // the top-level window titled "Lumivex"
    Window panel = 0;     // the pedal's window inside it
    Screenshot firstShot;  // the panel as it first showed whole
    ~Program() {
        if (pid > 0 && ::kill(pid, SIGKILL) == 0) ::waitpid(pid, nullptr, 0);
    }
    bool ended(int& status) {
        if (pid > 0 && ::waitpid(pid, &status, WNOHANG) == pid) pid = 0;
        return pid == 0;
    }
};

// The user's remembered audio setting under `key`, as GLib's key files read it; "" when none.
inline std::string remembered(const fs::path& file, const char* key) {
    GKeyFile* keys = g_key_file_new();
    gchar* v = nullptr;
    if (g_key_file_load_from_file(keys, file.c_str(), G_KEY_FILE_NONE, nullptr))
        v = g_key_file_get_string(keys, "defaults", key, nullptr);
    const std::string value = v != nullptr ? v : "";
    g_free(v);
    g_key_file_free(keys);
    return value;
}

// The names in a list the JACK library made, which is then freed.
inline std::vector<std::string> portNames(const char** found) {
    std::vector<std::string> names;
    for (const char** p = found; p != nullptr && *p != nullptr; ++p) names.emplace_back(*p);
    if (found != nullptr) jack_free(found);
    return names;
}

inline std::string contentOf(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

class LumivexProgram : public ::testing::Test {
protected:
    void SetUp() override {
        // An X server starts over when its last client leaves (Xvfb between two
        // tests) and refuses connections until it is back.
        if (std::getenv("DISPLAY") == nullptr ||
            !within([&] { return (display = XOpenDisplay(nullptr)) != nullptr; }, 10s))
            GTEST_SKIP() << "no X display (cannot open $DISPLAY)";
        XSetErrorHandler(ignoreXError);
        int event = 0, error = 0, major = 0, minor = 0;
        if (!XTestQueryExtension(display, &event, &error, &major, &minor)) GTEST_SKIP() << "no XTEST extension";
        if (DefaultDepth(display, DefaultScreen(display)) != 24) GTEST_SKIP() << "needs a 24-bit screen";
        if (!rig.open()) GTEST_SKIP() << "no JACK server running";
        char pattern[] = "/tmp/lumivex-program-XXXXXX";
        ASSERT_NE(::mkdtemp(pattern), nullptr);
        home = pattern;
        // The program inherits these. Fontconfig, under GTK's text rendering, keeps
        // the font patterns it matched in caches it never frees; a sanitizer build
        // would end the program with an error at exit for them.
        const char* lsan = std::getenv("LSAN_OPTIONS");
        const std::string suppressions =
            std::string(lsan != nullptr ? lsan : "") + ":suppressions=" LUMIVEX_LSAN_SUPPRESSIONS;
        for (const auto& [name, value] : {std::pair<const char*, std::string>{"HOME", home.string()},
                                          {"XDG_CONFIG_HOME", (home / "config").string()},
                                          {"XDG_DATA_HOME", (home / "data").string()},
                                          {"JACK_NO_START_SERVER", "1"},
                                          {"LSAN_OPTIONS", suppressions}})
            ::setenv(name, value.c_str(), 1);
    }
    void TearDown() override {
        if (!home.empty()) fs::remove_all(home);
        if (display != nullptr) XCloseDisplay(display);
    }

    fs::path settingsFile() const {
        return home / "data" / "clap-standalone-host" / "com.quendry.lumivex" / "settings.claphost";
    }
    fs::path devicesFile() const { return home / "config" / "lumivex" / "defaults.conf"; }
    Screenshot grab(Window window) const { return testsupport::grabWindow(display, window); }

    // Starts the program and waits until its window shows the whole pedal face.
    void launch(Program& run) {
        ASSERT_NO_FATAL_FAILURE(spawn(run));
        int status = 0;
        EXPECT_TRUE(within([&] { return (run.window = titled("Lumivex")) != 0 || run.ended(status); }));
        ASSERT_NE(run.window, 0u) << "no top-level window titled \"Lumivex\" (the program "
                                  << (run.pid != 0 ? "still runs)" : "ended)");
        const testsupport::PanelFace face(fxcoreplug::layoutNamed("lumivex"));
        ASSERT_NE(face.bitmap, nullptr);
        testsupport::FaceMatch match;
        ASSERT_TRUE(within([&] {
            if ((run.panel = panelInside(display, run.window)) == 0) return false;
            run.firstShot = grab(run.panel);
            if (run.firstShot.width != kPanelWidth) return false;
            match = face.clearSquaresMatching(run.firstShot);
            return match.samples > 0 && match.matching >= match.samples * 95 / 100;
        })) << (run.panel == 0 ? "no 394 x 722 window inside the main window"
                               : std::to_string(match.matching) + " of " + std::to_string(match.samples) +
                                     " squares show the face");
    }

    // Starts the program and comes back at once; launch() also waits for its face.
    void spawn(Program& run) {
        char path[] = LUMIVEX_PROGRAM;
        char* argv[] = {path, nullptr};
        if (::posix_spawn(&run.pid, path, nullptr, nullptr, argv, environ) != 0) run.pid = 0;
        ASSERT_NE(run.pid, 0) << path;
    }

    // Return pressed in the window titled `title`, given the keyboard focus as a
    // window manager would, until it goes; false when it stays.
    bool dismiss(const char* title) const {
        const KeyCode key = XKeysymToKeycode(display, XK_Return);
        return within([&] {
            const Window alert = titled(title);
            if (alert != 0) {
                XSetInputFocus(display, alert, RevertToPointerRoot, CurrentTime);
                XTestFakeKeyEvent(display, key, True, CurrentTime);
                XTestFakeKeyEvent(display, key, False, CurrentTime);
                XSync(display, False);
            }
            return alert == 0 || (std::this_thread::sleep_for(200ms), false);
        }, 10s);
    }

    // The audio ports of the program's stream: its client is named after the process.
    std::vector<std::string> streamPorts(unsigned long flags) const {
        return portNames(jack_get_ports(rig.client(), "^Lumivex-[0-9]+:", JACK_DEFAULT_AUDIO_TYPE, flags));
    }

    // Feeds the rig's clicks into the program's stream and records what comes out;
    // false when the stream's ports do not come.
    bool wireRigToStream() {
        std::vector<std::string> inputs, outputs;
        if (!within([&] {
                inputs = streamPorts(JackPortIsInput);
                outputs = streamPorts(JackPortIsOutput);
                return inputs.size() == 2 && outputs.size() == 2;
            }))
            return false;
        for (int c = 0; c < 2; ++c) {
            jack_connect(rig.client(), rig.feedPort(c), inputs[c].c_str());
            jack_connect(rig.client(), outputs[c].c_str(), rig.recordPort(c));
        }
        return true;
    }

    // The viewable top-level window with this title, or 0.
    Window titled(const char* title) const {
        for (Window w : childrenOf(display, DefaultRootWindow(display))) {
            XWindowAttributes a{};
            char* name = nullptr;
            const bool match = XGetWindowAttributes(display, w, &a) != 0 && a.map_state == IsViewable &&
                               XFetchName(display, w, &name) != 0 && name != nullptr && std::string(name) == title;
            if (name != nullptr) XFree(name);
            if (match) return w;
        }
        return 0;
    }

    // The left button through the input devices' path, as a user's hand presses it.
    void button(Window window, Point at, bool down) const {
        int x = 0, y = 0;
        Window child = 0;
        XTranslateCoordinates(display, window, DefaultRootWindow(display), at.x, at.y, &x, &y, &child);
        XTestFakeMotionEvent(display, DefaultScreen(display), x, y, CurrentTime);
        XTestFakeButtonEvent(display, Button1, down, CurrentTime);
        XSync(display, False);
    }

    // Keys pressed together in order, then let go, with the pointer over the menu
    // bar of `window`: without a window manager the keyboard goes to the window
    // under the pointer (a dialog, once one covers it).
    void pressKeys(Window window, const std::vector<KeySym>& keys) const {
        int x = 0, y = 0;
        Window child = 0;
        XTranslateCoordinates(display, window, DefaultRootWindow(display), 200, 10, &x, &y, &child);
        XTestFakeMotionEvent(display, DefaultScreen(display), x, y, CurrentTime);
        for (KeySym key : keys) XTestFakeKeyEvent(display, XKeysymToKeycode(display, key), True, CurrentTime);
        for (auto key = keys.rbegin(); key != keys.rend(); ++key)
            XTestFakeKeyEvent(display, XKeysymToKeycode(display, *key), False, CurrentTime);
        XSync(display, False);
    }

    // Keys typed one after another into `window`, which gets the keyboard focus.
    void type(Window window, std::initializer_list<KeySym> keys) const {
        XSetInputFocus(display, window, RevertToParent, CurrentTime);
        for (KeySym key : keys) {
            const KeyCode code = XKeysymToKeycode(display, key);
            XTestFakeKeyEvent(display, code, True, CurrentTime);
            XTestFakeKeyEvent(display, code, False, CurrentTime);
            XSync(display, False);
        }
    }

    // WM_DELETE_WINDOW, as a window manager sends it when the user closes the window.
    void requestClose(Window window) const {
        XEvent e{};
        e.xclient.type = ClientMessage;
        e.xclient.window = window;
        e.xclient.message_type = XInternAtom(display, "WM_PROTOCOLS", False);
        e.xclient.format = 32;
        e.xclient.data.l[0] = static_cast<long>(XInternAtom(display, "WM_DELETE_WINDOW", False));
        XSendEvent(display, window, False, NoEventMask, &e);
        XSync(display, False);
    }

    // Plays a click into the program and checks each channel of what comes back:
    // the dry click, then the echo kEchoFrames later or nothing more at all.
    void expectClick(bool echo) {
        rig.clickSoonAndRecord();
        ASSERT_TRUE(within([&] { return rig.recordingDone(); })) << "the JACK server stopped";
        for (const auto& channel : rig.recording()) {
            const size_t dry = testsupport::loudest(channel, 0, 4096);
            EXPECT_GT(std::fabs(channel[dry]), 0.2) << "the dry click comes through";
            if (echo) {
                const size_t next = testsupport::loudest(channel, dry + kEchoFrames / 2, dry + kEchoFrames * 3 / 2);
                EXPECT_EQ(next - dry, kEchoFrames) << "the echo at the Time setting";
                EXPECT_GT(std::fabs(channel[next]), 0.2) << "the echo";
            } else {
                const size_t rest = testsupport::loudest(channel, dry + 64, channel.size());
                EXPECT_LT(std::fabs(channel[rest]), 0.02) << "bypassed, yet " << channel[rest] << " after the click";
            }
        }
    }

    // Repeats, Mod and Tone to the ends of their travel over JACK MIDI. Control
    // changes are absolute, so they are sent again every few cycles until the
    // panel shows the knobs turned; false when it never does.
    bool turnKnobsByMidi(const Program& run) {
        return within([&] {
            rig.sendMidiEvery(1024, {{0xB0, 51, 0}, {0xB0, 53, 0}, {0xB0, 54, 127}});
            const Screenshot now = grab(run.panel);
            return !now.empty() && std::all_of(kTurnedKnobs.begin(), kTurnedKnobs.end(), [&](Point k) {
                       return now.changedPixels(run.firstShot, k.x, k.y, 15) > 20;
                   });
        });
    }

    void quitsCleanly(Program& run, const char* how) {
        int status = -1;
        ASSERT_TRUE(within([&] { return run.ended(status); })) << "still running 30 s after " << how;
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0)
            << how << ": " << (WIFSIGNALED(status) ? "killed by signal " : "exit status ")
            << (WIFSIGNALED(status) ? WTERMSIG(status) : WEXITSTATUS(status));
        EXPECT_TRUE(fs::exists(settingsFile())) << how << " left no " << settingsFile();
    }

    Display* display = nullptr;
    testsupport::JackRig rig{"lumivex-program-e2e"};
    fs::path home;
};

}  // namespace programtest
