// The real `lumivex` program meeting files in its folders that it cannot use or
// did not make: settings it cannot use are told once it plays, kept aside
// untouched, and the pedal starts from its defaults; the user's own files beside
// the remembered devices stay.
#include "program_fixture.h"

namespace {

using namespace programtest;
using namespace std::string_literals;

TEST_F(LumivexProgram, DamagedSettingsAreKeptAsideToldAndThePedalStartsFromItsDefaults) {
    const std::string damaged = "\x93\x11\0\xfe not a state record at all \x7f"s;
    fs::create_directories(settingsFile().parent_path());
    std::ofstream(settingsFile(), std::ios::binary) << damaged;
    const fs::path kept = settingsFile().parent_path() / "settings.refused.claphost";

    Program run;
    ASSERT_NO_FATAL_FAILURE(spawn(run));
    int status = 0;
    ASSERT_TRUE(within([&] { return titled("Unable to open file") != 0 || run.ended(status); }) && run.pid != 0);
    EXPECT_EQ(contentOf(kept), damaged) << "kept aside before the alert";
    EXPECT_TRUE(dismiss("Unable to open file"));

    ASSERT_NE(run.window = titled("Lumivex"), 0u);
    requestClose(run.window);
    ASSERT_NO_FATAL_FAILURE(quitsCleanly(run, "closing the main window"));
    // Untouched since start, the pedal's state at quit is the one it was created with.
    EXPECT_EQ(contentOf(settingsFile()), contentOf(settingsFile().parent_path() / "defaults.claphost"));
    EXPECT_EQ(contentOf(kept), damaged);
}

// Files of the user's beside the remembered devices, named like GLib's temporary files, stay.
TEST_F(LumivexProgram, TheUsersOwnFilesBesideTheRememberedDevicesStay) {
    const fs::path dir = devicesFile().parent_path();
    fs::create_directories(dir);
    for (const char* name : {"defaults.conf.backup", "defaults.conf.before"}) {
        std::ofstream(dir / name) << "[defaults]\n";
        fs::last_write_time(dir / name, fs::file_time_type::clock::now() - 2min);
    }
    Program run;
    ASSERT_NO_FATAL_FAILURE(launch(run));
    EXPECT_TRUE(within([&] { return !remembered(devicesFile(), "FXCoreAudioOutputDevice").empty(); }))
        << "the devices are remembered as before";
    ::kill(run.pid, SIGTERM);
    ASSERT_NO_FATAL_FAILURE(quitsCleanly(run, "SIGTERM"));
    EXPECT_TRUE(fs::exists(dir / "defaults.conf.backup"));
    EXPECT_TRUE(fs::exists(dir / "defaults.conf.before"));
}

}  // namespace
