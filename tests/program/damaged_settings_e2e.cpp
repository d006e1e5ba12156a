// The real `lumivex` program meeting settings it cannot use: it says so once it
// plays, keeps the file aside untouched and starts the pedal from its defaults.
#include <fstream>
#include <iterator>

#include "program_fixture.h"

namespace {

using namespace programtest;

std::string contentsOf(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

TEST_F(LumivexProgram, TruncatedSettingsAreKeptAsideToldAndThePedalStartsFromItsDefaults) {
    Screenshot defaults;
    {
        // Knobs turned away from their defaults, saved at quit.
        Program run;
        ASSERT_NO_FATAL_FAILURE(launch(run));
        defaults = run.firstShot;
        ASSERT_TRUE(within([&] {
            rig.sendMidiEvery(1024, {{0xB0, 51, 0}, {0xB0, 53, 0}, {0xB0, 54, 127}});
            const Screenshot now = grab(run.panel);
            return !now.empty() && std::all_of(kTurnedKnobs.begin(), kTurnedKnobs.end(), [&](Point k) {
                       return now.changedPixels(defaults, k.x, k.y, 15) > 20;
                   });
        })) << "the panel does not show the knobs turned by MIDI";
        ::kill(run.pid, SIGTERM);
        ASSERT_NO_FATAL_FAILURE(quitsCleanly(run, "SIGTERM"));
    }
    // The file cut short, as a full disk or a crash of another program may leave it.
    const std::string whole = contentsOf(settingsFile());
    ASSERT_GT(whole.size(), 8u);
    const std::string damaged = whole.substr(0, whole.size() * 2 / 5);
    std::ofstream(settingsFile(), std::ios::binary | std::ios::trunc) << damaged;
    const fs::path kept = settingsFile().parent_path() / "settings.refused.claphost";

    Program run;
    ASSERT_NO_FATAL_FAILURE(spawn(run));
    Window alert = 0;
    int status = 0;
    EXPECT_TRUE(within([&] { return (alert = titled("Unable to open file")) != 0 || run.ended(status); }))
        << "no alert titled \"Unable to open file\"";
    ASSERT_NE(alert, 0u);
    EXPECT_EQ(contentsOf(kept), damaged) << "kept aside before the alert";
    EXPECT_FALSE(fs::exists(settingsFile()));
    // The alert is answered once; it does not come back.
    ASSERT_TRUE(within([&] {
        if (titled("Unable to open file") == 0) return true;
        pressReturn(alert);
        return std::this_thread::sleep_for(200ms), false;
    })) << "the alert does not go with Return";
    ASSERT_NO_FATAL_FAILURE(awaitPanel(run));
    int differing = 0;
    EXPECT_TRUE(within(
        [&] {
            const Screenshot now = grab(run.panel);
            differing = 0;
            for (Point k : kTurnedKnobs) differing += now.changedPixels(defaults, k.x, k.y, 30, 8);
            return differing == 0;
        },
        10s))
        << "the knobs are not at their defaults: " << differing << " pixels differ";
    EXPECT_EQ(titled("Unable to open file"), 0u);

    requestClose(run.window);
    ASSERT_NO_FATAL_FAILURE(quitsCleanly(run, "closing the main window"));
    EXPECT_NE(contentsOf(settingsFile()), damaged) << "quit writes new settings";
    EXPECT_EQ(contentsOf(kept), damaged) << "the kept copy, byte for byte";
}

}  // namespace
