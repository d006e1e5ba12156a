// The real `lumivex` program meeting settings it cannot use: it says so once it
// plays, keeps the file aside untouched and starts the pedal from its defaults.
#include <fstream>
#include <iterator>

#include "program_fixture.h"

namespace {

using namespace programtest;
using namespace std::string_literals;

std::string contentsOf(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

TEST_F(LumivexProgram, DamagedSettingsAreKeptAsideToldAndThePedalStartsFromItsDefaults) {
    const std::string damaged = "\x93\x11\0\xfe not a state record at all \x7f"s;
    fs::create_directories(settingsFile().parent_path());
    std::ofstream(settingsFile(), std::ios::binary) << damaged;
    const fs::path kept = settingsFile().parent_path() / "settings.refused.claphost";

    Program run;
    ASSERT_NO_FATAL_FAILURE(spawn(run));
    Window alert = 0;
    int status = 0;
    EXPECT_TRUE(within([&] { return (alert = titled("Unable to open file")) != 0 || run.ended(status); }));
    ASSERT_NE(alert, 0u) << "no alert titled \"Unable to open file\"";
    EXPECT_EQ(contentsOf(kept), damaged) << "kept aside before the alert";
    EXPECT_TRUE(within([&] {
        pressReturn(alert);
        return titled("Unable to open file") == 0 || (std::this_thread::sleep_for(200ms), false);
    })) << "the alert does not go with Return";

    ASSERT_NE(run.window = titled("Lumivex"), 0u);
    requestClose(run.window);
    ASSERT_NO_FATAL_FAILURE(quitsCleanly(run, "closing the main window"));
    // Untouched since start, the pedal's state at quit is the one it was created with.
    EXPECT_EQ(contentsOf(settingsFile()), contentsOf(settingsFile().parent_path() / "defaults.claphost"));
    EXPECT_EQ(contentsOf(kept), damaged) << "the kept copy, byte for byte";
}

}  // namespace
