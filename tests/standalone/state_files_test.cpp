// State files and the lifecycle around them: where they live, what start and quit
// write and read, and that a save that cannot complete leaves the old file alone.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fcntl.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <optional>

#include "file_faults.h"
#include "host_fixture.h"
#include "standalone/startup_settings.h"
#include "standalone/state_files.h"

namespace {

using namespace satest;
namespace fs = std::filesystem;

std::vector<uint8_t> bytesOf(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// A scratch directory that is also the user's data directory for the test.
struct StateFiles : ::testing::Test {
    FakeWorld world;
    fs::path root;
    std::string savedXdg;
    bool hadXdg = false;
    char arg0[8] = "Lumivex";
    char* argv[2] = {arg0, nullptr};

    StateFiles() {
        char pattern[] = "/tmp/lumivex-state-XXXXXX";
        root = ::mkdtemp(pattern);
        if (const char* xdg = std::getenv("XDG_DATA_HOME")) savedXdg = xdg, hadXdg = true;
        ::setenv("XDG_DATA_HOME", (root / "data").c_str(), 1);
    }
    ~StateFiles() override {
        mainFinish();
        if (hadXdg) ::setenv("XDG_DATA_HOME", savedXdg.c_str(), 1);
        else ::unsetenv("XDG_DATA_HOME");
        fs::permissions(root, fs::perms::owner_all, fs::perm_options::add);
        fs::remove_all(root);
    }
    fs::path pluginDir() { return root / "data" / "clap-standalone-host" / FakeWorld::descriptor.id; }
    std::shared_ptr<Clap::Plugin> start() {
        return mainCreatePlugin(&FakeWorld::entry, FakeWorld::descriptor.id, 0, 1, argv);
    }
    // Leaves "settings.claphost" holding `text` and a plug-in that saves `state`.
    StandaloneHost& withOldSettings(const std::string& text, std::vector<uint8_t> state) {
        start();
        writeFile(pluginDir() / "settings.claphost", text);
        world.last->config.state = std::move(state);
        return *getStandaloneHost();
    }
};

TEST_F(StateFiles, ReadsGiveWhatIsLeftThenZeroAndMinusOneOnlyOnAReadError) {
    writeFile(root / "three", "abc");
    std::ifstream in(root / "three", std::ios::binary);
    const clap_istream stream{&in, clapread};
    char buffer[8];
    EXPECT_EQ(stream.read(&stream, buffer, 8), 3);
    EXPECT_EQ(stream.read(&stream, buffer, 8), 0);
    std::ifstream directory(root, std::ios::binary);
    const clap_istream broken{&directory, clapread};
    EXPECT_EQ(broken.read(&broken, buffer, 8), -1);
}

TEST_F(StateFiles, WritesReportAFailureAndWriteNothingAfterIt) {
    StateFileWriter writer{::open("/dev/full", O_WRONLY), false};
    ASSERT_GE(writer.fd, 0);
    const clap_ostream stream{&writer, clapwrite};
    EXPECT_EQ(stream.write(&stream, "abc", 3), -1);
    EXPECT_TRUE(writer.failed);
    ::close(writer.fd);
    writer = {::open("/dev/null", O_WRONLY), false};
    EXPECT_EQ(stream.write(&stream, "abc", 3), 3);
    ::close(writer.fd);
}

TEST_F(StateFiles, SettingsLiveInTheUsersDataDirectory) {
    EXPECT_EQ(getStandaloneSettingsPath(), root / "data" / "clap-standalone-host");
    ::setenv("XDG_DATA_HOME", "relative/dir", 1);  // not a valid one: ignored
    const auto fallback = getStandaloneSettingsPath();
    ASSERT_TRUE(fallback.has_value());
    EXPECT_EQ(fallback->filename(), "clap-standalone-host");
    EXPECT_EQ(fallback->parent_path().filename(), "share");
}

TEST_F(StateFiles, FirstStartCreatesTheDirectoriesAndWritesOnlyTheDefaults) {
    ASSERT_NE(start(), nullptr);
    EXPECT_EQ(world.entryCalls, (std::vector<std::string>{"init Lumivex"}));
    EXPECT_EQ(bytesOf(pluginDir() / "defaults.claphost"), world.config.state);
    EXPECT_FALSE(fs::exists(pluginDir() / "settings.claphost"));
    EXPECT_TRUE(world.last->readResults.empty()) << "nothing loaded";
    EXPECT_EQ(getMainPlugin(), getStandaloneHost()->clapPlugin);
}

TEST_F(StateFiles, QuitThenStartHandsThePluginExactlyTheBytesItWrote) {
    world.config.state = {'R', 'U', 'N', '1', 0, 0xFF, 0x80, 9, 8};
    start();
    mainFinish();
    EXPECT_EQ(world.destroyedCalls, std::vector<std::string>{"init"}) << "never activated: nothing to undo";
    EXPECT_EQ(world.entryCalls.back(), "deinit");
    EXPECT_EQ(bytesOf(pluginDir() / "settings.claphost"), world.config.state);

    const std::vector<uint8_t> written = world.config.state;
    world.config.state = {'F', 'R', 'E', 'S', 'H'};
    start();
    EXPECT_EQ(world.last->loaded, written);
    EXPECT_EQ(bytesOf(pluginDir() / "defaults.claphost"), world.config.state) << "defaults never get the settings";
}

TEST_F(StateFiles, AnEmptySettingsFileIsStillHandedToThePlugin) {
    fs::create_directories(pluginDir());
    writeFile(pluginDir() / "settings.claphost", "");
    start();
    EXPECT_EQ(world.last->readResults, (std::vector<int64_t>{0}));
}

TEST_F(StateFiles, ASaveWithoutPluginOrStateTableAnswersFalseAndTouchesNothing) {
    StandaloneHost& host = *getStandaloneHost();
    EXPECT_FALSE(host.saveStandaloneAndPluginSettings(root, "none.claphost"));
    EXPECT_FALSE(fs::exists(root / "none.claphost"));
    world.config.extensions.erase(CLAP_EXT_STATE);
    start();
    writeFile(root / "kept.claphost", "old");
    EXPECT_FALSE(host.saveStandaloneAndPluginSettings(root, "kept.claphost"));
    EXPECT_FALSE(host.tryLoadStandaloneAndPluginSettings(root, "kept.claphost"));
    EXPECT_EQ(bytesOf(root / "kept.claphost"), (std::vector<uint8_t>{'o', 'l', 'd'}));
}

TEST_F(StateFiles, ASaveThatRunsOutOfSpaceKeepsThePreviousSettings) {
    StandaloneHost& host = withOldSettings("previous settings", std::vector<uint8_t>(64 * 1024, 0x5A));
    const StateFileOutcome outcome = (FullDisk(), host.writeStateFile(pluginDir(), "settings.claphost"));

    EXPECT_EQ(outcome.kind, StateFileOutcome::Kind::CannotWrite);
    EXPECT_EQ(outcome.reason, "File too large") << "the system's own words";
    const std::string previous = "previous settings";
    EXPECT_EQ(bytesOf(pluginDir() / "settings.claphost"), std::vector<uint8_t>(previous.begin(), previous.end()));
    EXPECT_EQ(std::distance(fs::directory_iterator(pluginDir()), fs::directory_iterator()), 2)
        << "defaults and settings only: no temporary file left";
}

TEST_F(StateFiles, ASaveThePluginReportsAsFailedKeepsThePreviousSettings) {
    StandaloneHost& host = withOldSettings("previous", {1, 2, 3});
    world.last->config.saveResult = false;
    EXPECT_EQ(host.writeStateFile(pluginDir(), "settings.claphost").kind, StateFileOutcome::Kind::Refused);
    const std::string previous = "previous";
    EXPECT_EQ(bytesOf(pluginDir() / "settings.claphost"), std::vector<uint8_t>(previous.begin(), previous.end()));
    EXPECT_EQ(std::distance(fs::directory_iterator(pluginDir()), fs::directory_iterator()), 2)
        << "no temporary file left";
}

TEST_F(StateFiles, ASaveIntoAReadOnlyDirectoryKeepsThePreviousSettings) {
    StandaloneHost& host = withOldSettings("previous", {1, 2, 3});
    fs::permissions(pluginDir(), fs::perms::owner_read | fs::perms::owner_exec);
    if (::access(pluginDir().c_str(), W_OK) == 0) {
        fs::permissions(pluginDir(), fs::perms::owner_all);
        GTEST_SKIP() << "this user writes into read-only directories";
    }
    EXPECT_FALSE(host.saveStandaloneAndPluginSettings(pluginDir(), "settings.claphost"));
    fs::permissions(pluginDir(), fs::perms::owner_all);
    const std::string previous = "previous";
    EXPECT_EQ(bytesOf(pluginDir() / "settings.claphost"), std::vector<uint8_t>(previous.begin(), previous.end()));
}

TEST_F(StateFiles, ASaveOverADirectoryFailsAndLeavesNoTemporaryFile) {
    StandaloneHost& host = *getStandaloneHost();
    start();
    fs::create_directories(root / "taken" / "occupied");
    const StateFileOutcome outcome = host.writeStateFile(root / "taken", "occupied");
    EXPECT_EQ(outcome.kind, StateFileOutcome::Kind::CannotWrite);
    EXPECT_EQ(outcome.reason, "Is a directory");
    EXPECT_EQ(std::distance(fs::directory_iterator(root / "taken"), fs::directory_iterator()), 1);
}

TEST_F(StateFiles, ALoadTellsAFileItCouldNotReadFromOneThePluginRefused) {
    StandaloneHost& host = *getStandaloneHost();
    start();
    fs::create_directories(root / "folder");
    writeFile(root / "state.chstream", "bytes");
    using Kind = StateFileOutcome::Kind;
    const struct {
        const char* name;
        bool pluginTakesIt;
        Kind kind;
        const char* reason;
    } cases[] = {
        {"folder", true, Kind::CannotRead, "Is a directory"},
        {"state.chstream", false, Kind::Refused, ""},
        {"state.chstream", true, Kind::Done, ""},
    };
    for (const auto& c : cases) {
        world.last->config.loadResult = c.pluginTakesIt;
        const StateFileOutcome outcome = host.readStateFile(root, c.name);
        EXPECT_EQ(outcome.kind, c.kind) << c.name;
        EXPECT_EQ(outcome.reason, c.reason) << c.name;
    }
}

struct StartCase {
    const char* name;
    std::optional<std::string> settings;  // the file's bytes; none: no file; "/": a folder in its place
    bool pluginTakesIt, earlierKeptCopy, fullDisk;
    const char* kept;  // where the settings went; null: they stayed
    StartupNotice::Kind notice;
    std::vector<std::string> words;  // of the notice's text
    int waysFailing = 0;             // of the rename, the link and the new file, the first so many fail
};

// A file system without the rename that refuses to replace and without links
// (CIFS without Unix extensions), and perhaps without room for a copy either.
struct FailingNaming {
    NoReplaceNaming system = noReplaceNaming;
    explicit FailingNaming(int ways) {
        if (ways > 0) noReplaceNaming.renameNoReplace = [](const char*, const char*) { return errno = EINVAL, -1; };
        if (ways > 1) noReplaceNaming.link = [](const char*, const char*) { return errno = EPERM, -1; };
        if (ways > 2) noReplaceNaming.createNew = [](const char*) { return errno = ENOSPC, -1; };
    }
    ~FailingNaming() { noReplaceNaming = system; }
};

const std::string kRefusedWords = "could not be used: it is not a settings file of this pedal";
const std::string kNotKeptWords = "the settings of this run will not be kept";

struct StartingOn : StateFiles, ::testing::WithParamInterface<StartCase> {};

// Nothing of the user's is overwritten, neither at start nor at quit, and they hear of it once.
TEST_P(StartingOn, SettingsThePluginCannotUseAreKeptAsideAndTold) {
    const StartCase& c = GetParam();
    const fs::path dir = pluginDir(), settings = dir / "settings.claphost";
    const bool folder = c.settings == "/";
    fs::create_directories(folder ? settings / "inside" : dir);
    if (c.settings && !folder) writeFile(settings, *c.settings);
    if (c.earlierKeptCopy) writeFile(dir / "settings.refused.claphost", "kept before");
    world.config.loadResult = c.pluginTakesIt;
    world.config.state.assign(c.fullDisk ? 4096 : 16, 0x42);
    {
        std::optional<FullDisk> full;
        if (c.fullDisk) full.emplace();
        const FailingNaming naming(c.waysFailing);
        ASSERT_NE(start(), nullptr);
    }
    const std::vector<StartupNotice> notices = takeStartupNotices();
    ASSERT_EQ(notices.size(), 1u);
    EXPECT_EQ(notices[0].kind, c.notice);
    for (const std::string& words : c.words) EXPECT_NE(notices[0].text.find(words), std::string::npos) << notices[0].text;
    EXPECT_TRUE(takeStartupNotices().empty()) << "told once";
    EXPECT_EQ(fs::exists(settings), !c.kept && c.settings) << "moved aside before anything can overwrite it";

    mainFinish();
    if (c.kept) { EXPECT_EQ(textOf(dir / c.kept), *c.settings); }
    if (c.earlierKeptCopy) { EXPECT_EQ(textOf(dir / "settings.refused.claphost"), "kept before"); }
    if (folder) { EXPECT_TRUE(fs::exists(settings / "inside")); }
    if (!c.kept && c.settings && !folder) { EXPECT_EQ(textOf(settings), *c.settings) << "never written over"; }
}

constexpr auto kNotLoaded = StartupNotice::Kind::SettingsNotLoaded;
INSTANTIATE_TEST_SUITE_P(
    StateFiles, StartingOn,
    ::testing::Values(
        StartCase{"RandomBytes", "\x93\x11garbage", false, false, false, "settings.refused.claphost", kNotLoaded,
                  {"The pedal's saved settings \u201C", "settings.claphost\u201D " + kRefusedWords +
                                                            ". The pedal starts from its defaults. The file was kept as \u201C",
                   "settings.refused.claphost\u201D."}},
        StartCase{"TruncatedBesideAnEarlierKeptOne", std::string("FAKE\0\1", 6), false, true, false,
                  "settings.refused-2.claphost", kNotLoaded, {kRefusedWords, "settings.refused-2.claphost"}},
        StartCase{"AFolderInItsPlace", "/", true, false, false, nullptr, kNotLoaded, {"is a folder", kNotKeptWords}},
        StartCase{"FullDisk", std::nullopt, true, false, true, nullptr, StartupNotice::Kind::SettingsNotKept,
                  {"File too large", kNotKeptWords}},
        StartCase{"NoRenameNorLinkBesideAnEarlierKeptOne", "\x93\x11garbage", false, true, false,
                  "settings.refused-2.claphost", kNotLoaded,
                  {kRefusedWords, "The file was kept as \u201C", "settings.refused-2.claphost\u201D."}, 2},
        StartCase{"NoRenameNorLinkNorCopy", "\x93\x11garbage", false, false, false, nullptr, kNotLoaded,
                  {kRefusedWords, "moved aside (No space left on device) and stays as it is", kNotKeptWords}, 3}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(StateFiles, StartRemovesOnlyTheTemporaryFilesOfSavesWhoseProcessIsGone) {
    const pid_t gone = ::fork();
    if (gone == 0) ::_exit(0);
    ::waitpid(gone, nullptr, 0);
    const std::string dead = std::to_string(gone), alive = std::to_string(::getpid());
    const fs::path dir = pluginDir(), link = dir / (".settings.claphost.tmp-" + dead + "-5");
    fs::create_directories(dir);
    const std::pair<std::string, bool> files[] = {  // the name, removed
        {".settings.claphost.tmp-" + dead + "-3", true},
        {".defaults.claphost.tmp-" + dead + "-0", true},
        {".settings.claphost.tmp-" + alive + "-1", false},  // a save still going on
        {".take.claphost.tmp-" + dead + "-0", false},  // not a name the program saves under here
    };
    for (const auto& [name, removed] : files) writeFile(dir / name, "leftover");
    writeFile(root / "elsewhere", "not ours");
    fs::create_symlink(root / "elsewhere", link);
    start();
    for (const auto& [name, removed] : files) EXPECT_EQ(!fs::exists(dir / name), removed) << name;
    EXPECT_TRUE(fs::is_symlink(link));
}

TEST_F(StateFiles, StartWithoutFactoryOrPluginCreatesNothingAndQuitStillDeinitialises) {
    world.offerFactory = false;
    EXPECT_EQ(start(), nullptr);
    mainFinish();
    EXPECT_EQ(world.entryCalls, (std::vector<std::string>{"init Lumivex", "deinit"}));

    world.offerFactory = true;
    EXPECT_EQ(mainCreatePlugin(&FakeWorld::entry, "no.such.plugin", 0, 1, argv), nullptr);
    EXPECT_NE(standaloneHost, nullptr) << "the host object exists without a plug-in";
    world.config.initResult = false;
    EXPECT_EQ(start(), nullptr);
    EXPECT_FALSE(fs::exists(root / "data")) << "no file touched";
}

TEST_F(StateFiles, APluginIdThatWouldLeaveTheSettingsFolderGetsNoStateFiles) {
    for (const char* id : {"../escaped", "a/b", ".hidden", "a..b"}) {
        world.config.descriptorId = id;
        testing::internal::CaptureStderr();
        ASSERT_NE(start(), nullptr) << id;
        mainFinish();
        EXPECT_NE(testing::internal::GetCapturedStderr().find("cannot name a settings folder"), std::string::npos)
            << id;
        EXPECT_EQ(std::distance(fs::recursive_directory_iterator(root), fs::recursive_directory_iterator()), 0)
            << id;
    }
}

TEST_F(StateFiles, StartAudioAndQuitRunTheWholeLifecycleInOrder) {
    FakeAudioSystem audio;
    audio.devices = {{"Interface", 2, 2, {48000}, 48000}};
    FakeMidiSystem midi;
    midi.ports[MidiApi::LinuxAlsa] = 1;
    StandaloneHost& host = *getStandaloneHost();  // made early, as the entry's init does
    host.audioBackendFactory = audio.factory();
    host.midiSystem = &midi;
    EXPECT_NE(mainCreatePlugin(&FakeWorld::entry, "", 0, 1, argv), nullptr) << "by index when no identifier";
    mainStartAudio();
    EXPECT_TRUE(host.rtaDac->stream.isRunning());
    ASSERT_EQ(midi.opened.size(), 1u);
    ASSERT_TRUE(eventually([&] { return audio.streamThreadBlocks.load() > 0; }));
    mainFinish();
    EXPECT_FALSE(midi.opened[0]->alive);
    EXPECT_EQ(audio.closes, 1);
    EXPECT_EQ(world.destroyedCalls, (std::vector<std::string>{"init", "activate", "start_processing",
                                                              "stop_processing", "deactivate"}));
    EXPECT_TRUE(fs::exists(pluginDir() / "settings.claphost"));
    EXPECT_EQ(standaloneHost, nullptr);
    EXPECT_EQ(getMainPlugin(), nullptr);
    EXPECT_EQ(mainWait(), 0);
}

}  // namespace
