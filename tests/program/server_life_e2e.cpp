// The real `lumivex` program through its JACK server's life, as Linux audio users
// live it: the server killed while the pedal plays, stopped and started again with
// MIDI wired in, started only after the program, and killed again and again while
// blocks are slow. Each test runs a JACK server of its own under a name of its own
// and points the program and the rig at it, since it ends and restarts it.
#include <fcntl.h>
#include <pthread.h>
#include <sched.h>
#include <sys/resource.h>

#include <atomic>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <map>
#include <sstream>

#include "test_programs.h"
// After the plug-in's headers: it brings Xlib's macros.
#include "program_fixture.h"
#include <X11/keysym.h>

namespace {

using namespace programtest;

constexpr char kAlertTitle[] = "Unable to configure audio";
constexpr char kSettingsTitle[] = "Audio/MIDI Settings";
constexpr Point kSettingsOk{280, 345};  // the settings window's OK button: 80 x 30 at (240, 330)
constexpr Point kSettingsReset{245, 130};  // "Reset to System Default": 300 x 30 at (95, 115)

// A JACK server (dummy driver) that the test starts and ends itself. JACK keeps a
// registry of at most 8 servers; one that was killed keeps its entry until a
// server of the same name starts again. So a test keeps one name for all its
// restarts and from run to run, and ends its server in order.
class OwnJackServer {
public:
    explicit OwnJackServer(std::string name) : name_(std::move(name)) {}
    ~OwnJackServer() { stop(SIGTERM); }
    OwnJackServer(const OwnJackServer&) = delete;
    OwnJackServer& operator=(const OwnJackServer&) = delete;

    const std::string& name() const { return name_; }

    // Starts it and waits until a client can connect.
    bool start() {
        std::vector<std::string> args = {"jackd", "-n",     name_, "--no-realtime", "-d",
                                         "dummy", "-r",     "48000", "-p",           "256"};
        std::vector<char*> argv;
        for (std::string& a : args) argv.push_back(a.data());
        argv.push_back(nullptr);
        posix_spawn_file_actions_t quiet;
        posix_spawn_file_actions_init(&quiet);
        posix_spawn_file_actions_addopen(&quiet, 1, "/dev/null", O_WRONLY, 0);
        posix_spawn_file_actions_addopen(&quiet, 2, "/dev/null", O_WRONLY, 0);
        const int failed = ::posix_spawnp(&pid_, "jackd", &quiet, nullptr, argv.data(), environ);
        posix_spawn_file_actions_destroy(&quiet);
        if (failed != 0) {
            pid_ = 0;
            return false;
        }
        return within(
            [&] {
                const auto options = static_cast<jack_options_t>(JackNoStartServer | JackServerName);
                jack_client_t* probe = jack_client_open("lumivex-life-probe", options, nullptr, name_.c_str());
                if (probe != nullptr) jack_client_close(probe);
                return probe != nullptr;
            },
            20s);
    }

    // Ends it with `signal` (SIGKILL: it dies; SIGTERM: it shuts down in order).
    void stop(int signal) {
        if (pid_ <= 0) return;
        ::kill(pid_, signal);
        ::waitpid(pid_, nullptr, 0);
        pid_ = 0;
    }

private:
    std::string name_;
    pid_t pid_ = 0;
};

class ProgramThroughItsServersLife : public LumivexProgram {
protected:
    void SetUp() override {
        const auto* test = ::testing::UnitTest::GetInstance()->current_test_info();
        server = std::make_unique<OwnJackServer>(std::string("lumivex-life-") + test->name());
        ::setenv("JACK_DEFAULT_SERVER", server->name().c_str(), 1);
        if (!server->start()) GTEST_SKIP() << "no JACK server of the test's own (jackd)";
        LumivexProgram::SetUp();
    }
    void TearDown() override {
        LumivexProgram::TearDown();
        server.reset();
        ::unsetenv("JACK_DEFAULT_SERVER");
    }

    // The server comes back; the rig joins the new one.
    void restartServer() {
        ASSERT_TRUE(server->start()) << "jackd did not start again";
        ASSERT_TRUE(rig.reopen());
    }

    // The program's stream ports of one direction: audio ports of neither the
    // server nor the rig.
    std::vector<std::string> programPorts(unsigned long direction) const {
        std::vector<std::string> found;
        for (std::string& name : portNames(jack_get_ports(rig.client(), nullptr, JACK_DEFAULT_AUDIO_TYPE, direction)))
            if (!name.starts_with("system:") && !name.starts_with("lumivex-program-e2e:")) found.push_back(name);
        return found;
    }

    // Wires the rig to the program's stream and hears a click come back through it.
    void playsThroughTheRig() {
        std::vector<std::string> inputs, outputs;
        ASSERT_TRUE(within([&] {
            inputs = programPorts(JackPortIsInput);
            outputs = programPorts(JackPortIsOutput);
            return inputs.size() == 2 && outputs.size() == 2;
        })) << inputs.size() << " input and " << outputs.size() << " output ports of the program's stream";
        for (int c = 0; c < 2; ++c) {
            jack_connect(rig.client(), rig.feedPort(c), inputs[c].c_str());
            jack_connect(rig.client(), outputs[c].c_str(), rig.recordPort(c));
        }
        // A stream just started may still be silent while the plug-in settles.
        double quietest = 0;
        for (int take = 0; take < 10 && quietest <= 0.2; ++take) {
            rig.clickSoonAndRecord();
            ASSERT_TRUE(within([&] { return rig.recordingDone(); })) << "the JACK server stopped";
            quietest = 1e9;
            for (const auto& channel : rig.recording())
                quietest = std::min<double>(quietest, std::fabs(channel[testsupport::loudest(channel, 0, 4096)]));
        }
        EXPECT_GT(quietest, 0.2) << "the click does not come back through the program";
    }

    void focus(Window window) const {
        XSetInputFocus(display, window, RevertToParent, CurrentTime);
        XSync(display, False);
    }
    void key(KeySym symbol) const {
        const KeyCode code = XKeysymToKeycode(display, symbol);
        XTestFakeKeyEvent(display, code, True, CurrentTime);
        XTestFakeKeyEvent(display, code, False, CurrentTime);
        XSync(display, False);
    }

    // Waits for the audio alert and answers it from the keyboard.
    void dismissTheAlert() {
        Window alert = 0;
        EXPECT_TRUE(within([&] { return (alert = titled(kAlertTitle)) != 0; }, 10s)) << "no \"" << kAlertTitle << "\"";
        for (int attempt = 0; attempt < 4 && titled(kAlertTitle) != 0; ++attempt) {
            focus(alert);
            key(attempt % 2 == 0 ? XK_Return : XK_Escape);
            within([&] { return titled(kAlertTitle) == 0; }, 3s);
        }
        ASSERT_EQ(titled(kAlertTitle), 0u) << "the alert does not go";
    }

    // File → Audio/MIDI Settings… from the keyboard (F10 opens the menu bar), then
    // OK with the pointer: the stream starts again on the devices it shows, or on
    // the system's own after "Reset to System Default".
    void openSettingsAndPressOk(const Program& run, bool resetFirst) {
        Window settings = 0;
        for (int attempt = 0; attempt < 3 && settings == 0; ++attempt) {
            focus(run.window);
            key(XK_F10);
            for (int step = 0; step < 3; ++step) key(XK_Down);
            key(XK_Return);
            within([&] { return (settings = titled(kSettingsTitle)) != 0; }, 5s);
        }
        ASSERT_NE(settings, 0u) << "no \"" << kSettingsTitle << "\" window";
        if (resetFirst) {
            button(settings, kSettingsReset, true);
            button(settings, kSettingsReset, false);
        }
        button(settings, kSettingsOk, true);
        button(settings, kSettingsOk, false);
    }

    // Settings → OK until the stream starts without an alert: a device look-up
    // that fails now and then on a server just started is answered and tried
    // again, as a user would.
    void settingsOk(const Program& run, bool resetFirst = false) {
        bool alerted = true;
        for (int attempt = 0; attempt < 3 && alerted; ++attempt) {
            ASSERT_NO_FATAL_FAILURE(openSettingsAndPressOk(run, resetFirst));
            within([&] { return titled(kSettingsTitle) == 0 || titled(kAlertTitle) != 0; });
            alerted = titled(kAlertTitle) != 0;
            if (alerted) {
                ASSERT_NO_FATAL_FAILURE(dismissTheAlert());
            }
            ASSERT_TRUE(within([&] { return titled(kSettingsTitle) == 0; })) << "OK leaves the window open";
        }
        ASSERT_FALSE(alerted) << "every OK met an audio alert";
    }

    std::unique_ptr<OwnJackServer> server;
};

TEST_F(ProgramThroughItsServersLife, AServerKilledWhilePlayingIsToldOnceAndSettingsOkPlaysAgain) {
    Program run;
    ASSERT_NO_FATAL_FAILURE(launch(run));
    ASSERT_NO_FATAL_FAILURE(playsThroughTheRig());
    server->stop(SIGKILL);
    ASSERT_NO_FATAL_FAILURE(dismissTheAlert());
    ASSERT_NO_FATAL_FAILURE(restartServer());
    ASSERT_NO_FATAL_FAILURE(settingsOk(run));
    ASSERT_NO_FATAL_FAILURE(playsThroughTheRig());
    EXPECT_EQ(titled(kAlertTitle), 0u) << "told once";
    requestClose(run.window);
    quitsCleanly(run, "closing the main window after the server came back");
}

TEST_F(ProgramThroughItsServersLife, MidiTurnsTheKnobsAgainAfterTheServerRestartedAndQuitSavesTheSettings) {
    Program run;
    ASSERT_NO_FATAL_FAILURE(launch(run));  // the rig's MIDI port is there: the program listens to it
    ASSERT_NO_FATAL_FAILURE(playsThroughTheRig());
    server->stop(SIGTERM);
    ASSERT_NO_FATAL_FAILURE(dismissTheAlert());
    ASSERT_NO_FATAL_FAILURE(restartServer());
    ASSERT_NO_FATAL_FAILURE(settingsOk(run));
    ASSERT_NO_FATAL_FAILURE(playsThroughTheRig());
    EXPECT_TRUE(turnKnobsByMidi(run)) << "MIDI does not reach the knobs after the restart";
    requestClose(run.window);
    quitsCleanly(run, "closing the main window with MIDI inputs of a server that went away");
}

TEST_F(ProgramThroughItsServersLife, AServerStartedAfterTheProgramPlaysOnSettingsOk) {
    server->stop(SIGTERM);  // it ran only for the rig to set up
    Program run;
    char path[] = LUMIVEX_PROGRAM;
    char* argv[] = {path, nullptr};
    ASSERT_EQ(::posix_spawn(&run.pid, path, nullptr, nullptr, argv, environ), 0);
    // No audio device at start: the alert covers the pedal until it is answered.
    ASSERT_TRUE(within([&] { return (run.window = titled("Lumivex")) != 0; }));
    ASSERT_NO_FATAL_FAILURE(dismissTheAlert());
    ASSERT_TRUE(within([&] { return (run.panel = panelInside(display, run.window)) != 0; }));
    ASSERT_NO_FATAL_FAILURE(restartServer());
    // The program ran without input, so the window offers "No Input" first; the
    // system's devices are one press away.
    ASSERT_NO_FATAL_FAILURE(settingsOk(run, true));
    ASSERT_NO_FATAL_FAILURE(playsThroughTheRig());
    requestClose(run.window);
    quitsCleanly(run, "closing the main window");
}

// Threads that keep one CPU busy, so that the program's blocks, pinned to the same
// CPU, take most of each period, as on a loaded desktop.
class BusyCpu {
public:
    BusyCpu(int cpu, int threads) {
        for (int i = 0; i < threads; ++i) {
            pthread_t thread{};
            if (pthread_create(&thread, nullptr, spin, &stop_) != 0) continue;
            cpu_set_t set;
            CPU_ZERO(&set);
            CPU_SET(cpu, &set);
            pthread_setaffinity_np(thread, sizeof set, &set);
            threads_.push_back(thread);
        }
    }
    ~BusyCpu() {
        stop_ = true;
        for (pthread_t thread : threads_) pthread_join(thread, nullptr);
    }

private:
    static void* spin(void* stop) {
        while (!static_cast<std::atomic<bool>*>(stop)->load(std::memory_order_relaxed)) {
        }
        return nullptr;
    }
    std::atomic<bool> stop_{false};
    std::vector<pthread_t> threads_;
};

// CPU time so far (clock ticks) of each thread of a process.
std::map<pid_t, long> threadTimes(pid_t pid) {
    std::map<pid_t, long> times;
    for (const auto& task : fs::directory_iterator("/proc/" + std::to_string(pid) + "/task")) {
        std::ifstream file(task.path() / "stat");
        std::string stat((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
        const size_t name = stat.rfind(')');  // the thread's name may hold spaces
        if (name == std::string::npos) continue;
        std::istringstream fields(stat.substr(name + 2));
        std::string field;
        long ticks = 0;
        for (int i = 3; i <= 15 && fields >> field; ++i)  // utime and stime are fields 14 and 15
            if (i >= 14) ticks += std::stol(field);
        times[static_cast<pid_t>(std::stol(task.path().filename().string()))] = ticks;
    }
    return times;
}

// Moves the thread that worked most since `before`, the stream's, onto `cpu` and
// gives it the least share of it: a thread that needs little CPU otherwise gets
// all it needs at once among busy ones.
void pinBusiestThread(pid_t pid, const std::map<pid_t, long>& before, int cpu) {
    pid_t busiest = 0;
    long most = -1;
    for (const auto& [tid, ticks] : threadTimes(pid)) {
        const auto earlier = before.find(tid);
        const long worked = ticks - (earlier != before.end() ? earlier->second : 0);
        if (tid != pid && worked > most) busiest = tid, most = worked;
    }
    ASSERT_NE(busiest, 0);
    cpu_set_t one;
    CPU_ZERO(&one);
    CPU_SET(cpu, &one);
    ASSERT_EQ(sched_setaffinity(busiest, sizeof one, &one), 0);
    ASSERT_EQ(setpriority(PRIO_PROCESS, static_cast<id_t>(busiest), 19), 0);
}

// A state record that runs a custom program of 1024 words, about the heaviest a
// chip runs: crossfaded ramp reads of the delay memory.
std::string heavyState() {
    std::string source;
    for (int i = 0; i < 1023; ++i) source += "RDRAMP RAMP0, 1024, " + std::to_string(100 + i) + "\n";
    source += "WRSFR R0, OUT0\n";
    const std::string hex = testsupport::hexOf(source);
    std::string record;
    auto u32 = [&](uint32_t v) {
        for (int i = 0; i < 4; ++i) record.push_back(static_cast<char>(v >> (8 * i)));
    };
    auto str = [&](const std::string& s) {
        u32(static_cast<uint32_t>(s.size()));
        record += s;
    };
    record += "FXC1";
    u32(2);  // version
    u32(0);  // no values: the defaults
    str("Heavy");
    str(hex);
    str("(loaded)");  // the custom program's bank
    return record;
}

TEST_F(ProgramThroughItsServersLife, TheServerKilledAgainAndAgainWhileBlocksAreSlowNeverEndsTheProgram) {
    fs::create_directories(settingsFile().parent_path());
    {
        std::FILE* file = std::fopen(settingsFile().c_str(), "wb");
        ASSERT_NE(file, nullptr);
        const std::string state = heavyState();
        std::fwrite(state.data(), 1, state.size(), file);
        std::fclose(file);
    }
    // The stream's thread shares the last CPU we may use with two busy threads, at
    // the lowest priority, so that its blocks take most of each period, while the
    // program's other threads, which carry the news of the server's death, run freely.
    cpu_set_t mine;
    ASSERT_EQ(sched_getaffinity(0, sizeof mine, &mine), 0);
    int cpu = 0;
    for (int c = 0; c < CPU_SETSIZE; ++c)
        if (CPU_ISSET(c, &mine)) cpu = c;
    BusyCpu busy(cpu, 2);

    constexpr int kKills = 8;
    int deaths = 0;
    std::string howTheyDied;
    Program run;
    for (int kill = 0; kill < kKills; ++kill) {
        if (run.pid == 0) {
            ASSERT_NO_FATAL_FAILURE(launch(run));
        } else {
            ASSERT_NO_FATAL_FAILURE(settingsOk(run));
        }
        ASSERT_TRUE(within([&] { return programPorts(JackPortIsOutput).size() == 2; })) << "no stream";
        const std::map<pid_t, long> before = threadTimes(run.pid);
        const uint64_t playing = rig.frames() + rig.rate() / 2 + 37 * static_cast<uint64_t>(kill);
        ASSERT_TRUE(within([&] { return rig.frames() >= playing; }));
        ASSERT_NO_FATAL_FAILURE(pinBusiestThread(run.pid, before, cpu));
        const uint64_t slowed = rig.frames() + rig.rate() / 4;
        ASSERT_TRUE(within([&] { return rig.frames() >= slowed; }));
        server->stop(SIGKILL);
        int status = 0;
        const bool told = within([&] { return titled(kAlertTitle) != 0 || run.ended(status); }, 10s);
        if (run.pid == 0) {
            ++deaths;
            howTheyDied += WIFSIGNALED(status) ? " signal " + std::to_string(WTERMSIG(status))
                                               : " exit " + std::to_string(WEXITSTATUS(status));
        } else {
            EXPECT_TRUE(told) << "no alert after kill " << kill;
            if (told) {
                ASSERT_NO_FATAL_FAILURE(dismissTheAlert());
            }
        }
        ASSERT_NO_FATAL_FAILURE(restartServer());
    }
    EXPECT_EQ(deaths, 0) << "the program ended at" << howTheyDied << " of " << kKills << " server kills";
    if (run.pid != 0) {
        requestClose(run.window);
        quitsCleanly(run, "closing the main window after the kills");
    }
}

}  // namespace
