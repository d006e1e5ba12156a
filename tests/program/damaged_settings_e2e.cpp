// The real `lumivex` program meeting settings it cannot use: it says so once it
// plays, keeps the file aside untouched and starts the pedal from its defaults.
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

}  // namespace
