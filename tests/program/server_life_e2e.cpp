// The real `lumivex` program through its JACK server's life: the server stopped,
// killed, started only after the program, and killed again and again while blocks
// are slow. Each test runs a JACK server of its own, since it ends and restarts it.
#include <pthread.h>
#include <sched.h>
#include <sys/resource.h>

#include <map>
#include <stop_token>
#include <thread>

#include "test_programs.h"
// After the plug-in's headers: it brings Xlib's macros.
#include "program_fixture.h"

namespace {

using namespace programtest;

constexpr char kAlertTitle[] = "Unable to configure audio";
constexpr char kSettingsTitle[] = "Audio/MIDI Settings";
constexpr Point kSettingsOk{280, 345};  // the settings window's OK button: 80 x 30 at (240, 330)
constexpr Point kSettingsReset{245, 130};  // "Reset to System Default": 300 x 30 at (95, 115)

// JACK keeps a registry of at most 8 servers, and a killed one keeps its entry until
// one of the same name starts: a test keeps one name for all its restarts and runs.
class OwnJackServer {
public:
    explicit OwnJackServer(std::string name) : name_(std::move(name)) {}
    ~OwnJackServer() { stop(SIGTERM); }
    const std::string& name() const { return name_; }

    // Starts it and waits until a client can connect.
    bool start() {
        const char* argv[] = {"jackd", "-n", name_.c_str(), "--no-realtime", "-d", "dummy",
                              "-r",    "48000", "-p",     "256",           nullptr};
        const int failed = ::posix_spawnp(&pid_, "jackd", nullptr, nullptr, const_cast<char* const*>(argv), environ);
        if (failed != 0) pid_ = 0;
        const auto options = static_cast<jack_options_t>(JackNoStartServer | JackServerName);
        return failed == 0 && within([&] {
                   jack_client_t* probe = jack_client_open("lumivex-life-probe", options, nullptr, name_.c_str());
                   if (probe != nullptr) jack_client_close(probe);
                   return probe != nullptr;
               }, 20s);
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

    // Wires the rig to the program's stream and hears a click come back through it.
    void playsThroughTheRig() {
        ASSERT_TRUE(wireRigToStream()) << "the program's stream does not run";
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

    void dismissTheAlert() {
        ASSERT_TRUE(within([&] { return titled(kAlertTitle) != 0; }, 10s)) << "no \"" << kAlertTitle << "\"";
        ASSERT_TRUE(dismiss(kAlertTitle)) << "the alert does not go";
    }

    // File → Audio/MIDI Settings… from the keyboard (F10 opens the menu bar), then
    // OK with the pointer, after "Reset to System Default" when asked, until the
    // stream starts without an alert: a device look-up that fails now and then on
    // a server just started is answered and tried again, as a user would.
    void settingsOk(const Program& run, bool resetFirst = false) {
        bool alerted = true;
        for (int attempt = 0; attempt < 3 && alerted; ++attempt) {
            Window settings = 0;
            for (int open = 0; open < 3 && settings == 0; ++open) {
                type(run.window, {XK_F10, XK_Down, XK_Down, XK_Down, XK_Return});
                within([&] { return (settings = titled(kSettingsTitle)) != 0; }, 5s);
            }
            ASSERT_NE(settings, 0u) << "no \"" << kSettingsTitle << "\" window";
            auto click = [&](Point at) {
                button(settings, at, true);
                button(settings, at, false);
            };
            if (resetFirst) click(kSettingsReset);
            click(kSettingsOk);
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

// The rig's MIDI port is there from the start: the program listens to it.
TEST_F(ProgramThroughItsServersLife, AServerStoppedOrKilledIsToldOnceAndSettingsOkPlaysAndTakesMidiAgain) {
    Program run;
    ASSERT_NO_FATAL_FAILURE(launch(run));
    ASSERT_NO_FATAL_FAILURE(playsThroughTheRig());
    for (int ending : {SIGTERM, SIGKILL}) {
        server->stop(ending);
        ASSERT_NO_FATAL_FAILURE(dismissTheAlert());
        ASSERT_NO_FATAL_FAILURE(restartServer());
        ASSERT_NO_FATAL_FAILURE(settingsOk(run));
        ASSERT_NO_FATAL_FAILURE(playsThroughTheRig());
        EXPECT_EQ(titled(kAlertTitle), 0u) << "told once";
        EXPECT_TRUE(ending != SIGTERM || turnKnobsByMidi(run)) << "MIDI does not reach the knobs after the restart";
    }
    requestClose(run.window);
    quitsCleanly(run, "closing the main window after the server came back");
}

TEST_F(ProgramThroughItsServersLife, AServerStartedAfterTheProgramPlaysOnSettingsOk) {
    server->stop(SIGTERM);  // it ran only for the rig to set up
    Program run;
    ASSERT_NO_FATAL_FAILURE(spawn(run));
    // No audio device at start: the alert covers the pedal until it is answered.
    ASSERT_TRUE(within([&] { return (run.window = titled("Lumivex")) != 0; }));
    ASSERT_NO_FATAL_FAILURE(dismissTheAlert());
    ASSERT_NO_FATAL_FAILURE(restartServer());
    // The program ran without input, so the window offers "No Input" first.
    ASSERT_NO_FATAL_FAILURE(settingsOk(run, true));
    ASSERT_NO_FATAL_FAILURE(playsThroughTheRig());
    requestClose(run.window);
    quitsCleanly(run, "closing the main window");
}

// CPU time so far (ns) of each thread of a process.
std::map<pid_t, long> threadTimes(pid_t pid) {
    std::map<pid_t, long> times;
    for (const auto& task : fs::directory_iterator("/proc/" + std::to_string(pid) + "/task"))
        times[static_cast<pid_t>(std::stol(task.path().filename().string()))] =
            std::atol(contentOf(task.path() / "schedstat").c_str());
    return times;
}

// A state record that runs a custom program of 1024 words, about the heaviest a
// chip runs: crossfaded ramp reads of the delay memory.
std::string heavyState() {
    std::string source;
    for (int i = 0; i < 1023; ++i) source += "RDRAMP RAMP0, 1024, " + std::to_string(100 + i) + "\n";
    std::string record = "FXC1";
    auto u32 = [&](uint32_t v) {
        for (int i = 0; i < 4; ++i) record.push_back(static_cast<char>(v >> (8 * i)));
    };
    u32(2);  // version
    u32(0);  // no values: the defaults
    for (const std::string& s : {std::string("Heavy"), testsupport::hexOf(source + "WRSFR R0, OUT0\n"),
                                 std::string("(loaded)")}) {  // name, program, the custom program's bank
        u32(static_cast<uint32_t>(s.size()));
        record += s;
    }
    return record;
}

TEST_F(ProgramThroughItsServersLife, TheServerKilledAgainAndAgainWhileBlocksAreSlowNeverEndsTheProgram) {
    fs::create_directories(settingsFile().parent_path());
    std::ofstream(settingsFile(), std::ios::binary) << heavyState();
    // The stream's thread shares the last CPU we may use with two busy threads, at
    // the lowest priority, so that its blocks take most of each period, while the
    // program's other threads, which carry the news of the server's death, run freely.
    cpu_set_t one;
    ASSERT_EQ(sched_getaffinity(0, sizeof one, &one), 0);
    int cpu = 0;
    for (int c = 0; c < CPU_SETSIZE; ++c)
        if (CPU_ISSET(c, &one)) cpu = c;
    CPU_ZERO(&one);
    CPU_SET(cpu, &one);
    std::vector<std::jthread> busy;
    for (int i = 0; i < 2; ++i) {
        busy.emplace_back([](std::stop_token stop) {
            while (!stop.stop_requested()) {
            }
        });
        pthread_setaffinity_np(busy.back().native_handle(), sizeof one, &one);
    }

    Program run;
    ASSERT_NO_FATAL_FAILURE(launch(run));
    for (int kill = 0; kill < 8; ++kill) {
        if (kill > 0) {
            ASSERT_NO_FATAL_FAILURE(settingsOk(run));
        }
        ASSERT_TRUE(within([&] { return streamPorts(JackPortIsOutput).size() == 2; })) << "no stream";
        const std::map<pid_t, long> before = threadTimes(run.pid);
        const uint64_t playing = rig.frames() + rig.rate() / 2 + 37 * static_cast<uint64_t>(kill);
        ASSERT_TRUE(within([&] { return rig.frames() >= playing; }));
        // The thread that worked most meanwhile, the stream's, goes onto that CPU at
        // the least share: a thread that needs little CPU otherwise gets all it needs.
        pid_t busiest = 0;
        long most = -1;
        for (const auto& [tid, ticks] : threadTimes(run.pid)) {
            const long worked = ticks - (before.contains(tid) ? before.at(tid) : 0);
            if (tid != run.pid && worked > most) busiest = tid, most = worked;
        }
        ASSERT_EQ(sched_setaffinity(busiest, sizeof one, &one), 0);
        ASSERT_EQ(setpriority(PRIO_PROCESS, static_cast<id_t>(busiest), 19), 0);
        const uint64_t slowed = rig.frames() + rig.rate() / 4;
        ASSERT_TRUE(within([&] { return rig.frames() >= slowed; }));
        server->stop(SIGKILL);
        int status = 0;
        within([&] { return titled(kAlertTitle) != 0 || run.ended(status); }, 10s);
        ASSERT_NE(run.pid, 0) << "the program ended at server kill " << kill << ", wait status " << status;
        ASSERT_NO_FATAL_FAILURE(dismissTheAlert());
        ASSERT_NO_FATAL_FAILURE(restartServer());
    }
    requestClose(run.window);
    quitsCleanly(run, "closing the main window after the kills");
}

}  // namespace
