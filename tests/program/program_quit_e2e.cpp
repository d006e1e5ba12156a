// The real `lumivex` program ended from outside (a hang-up, unless it was started
// with hang-ups ignored; a quit while a chooser or the replace question is open): it
// ends at once, with this run's settings kept.
#include <vector>

#include "program_fixture.h"

namespace {

using namespace programtest;

TEST_F(LumivexProgram, HangUpQuitsLikeTerminateAndKeepsTheKnobsOfTheRun) {
    Program run;
    ASSERT_NO_FATAL_FAILURE(launch(run));
    ASSERT_TRUE(turnKnobsByMidi(run));

    ::kill(run.pid, SIGHUP);
    ASSERT_NO_FATAL_FAILURE(quitsCleanly(run, "SIGHUP"));
    EXPECT_NE(contentOf(settingsFile()), contentOf(settingsFile().parent_path() / "defaults.claphost"))
        << "the knobs of the run are lost";
}

// `nohup` starts a program with the hang-up ignored, so that it outlives its terminal.
TEST_F(LumivexProgram, AHangUpIgnoredAtStartStaysIgnoredAndTerminateStillQuits) {
    Program run;
    const auto inherited = ::signal(SIGHUP, SIG_IGN);
    launch(run);
    ::signal(SIGHUP, inherited);
    ASSERT_FALSE(HasFatalFailure());

    ::kill(run.pid, SIGHUP);
    ASSERT_TRUE(turnKnobsByMidi(run)) << "the program ended at the hang-up";
    ::kill(run.pid, SIGTERM);
    ASSERT_NO_FATAL_FAILURE(quitsCleanly(run, "SIGTERM"));
    EXPECT_NE(contentOf(settingsFile()), contentOf(settingsFile().parent_path() / "defaults.claphost"));
}

struct OpenDialogCase {
    const char* name;
    std::vector<KeySym> keys;  // typed into the chooser once it shows
    const char* waitFor;       // the title of the window open when quit is asked for
    bool closeWindow;          // quit by closing the main window, else by SIGTERM
};

void PrintTo(const OpenDialogCase& row, std::ostream* out) { *out << row.name; }

struct QuitWithADialogOpen : LumivexProgram, ::testing::WithParamInterface<OpenDialogCase> {};

// The chooser starts at home, where "Untitled.chstream" is: Return there asks
// whether to replace it.
TEST_P(QuitWithADialogOpen, EndsTheProgramAtOnceWithTheSettingsWrittenAndNothingElse) {
    const OpenDialogCase& row = GetParam();
    const std::string old = "a preset the user keeps";
    std::ofstream(home / "Untitled.chstream", std::ios::binary) << old;
    Program run;
    ASSERT_NO_FATAL_FAILURE(launch(run));
    pressKeys(run.window, {XK_Control_L, XK_Shift_L, XK_s});
    ASSERT_TRUE(within([&] { return titled("Save State As") != 0; })) << "Ctrl+Shift+S opens no chooser";
    // A chooser just shown may drop keys typed before it focuses its name field.
    bool shown = false;
    for (int attempt = 0; attempt < 20 && !shown; ++attempt) {
        for (KeySym key : row.keys) pressKeys(run.window, {key});
        shown = within([&] { return titled(row.waitFor) != 0; }, 1s);
    }
    ASSERT_TRUE(shown) << "no window titled " << row.waitFor;

    if (row.closeWindow)
        requestClose(run.window);
    else
        ::kill(run.pid, SIGTERM);
    int status = -1;
    ASSERT_TRUE(within([&] { return run.ended(status); }, 10s)) << "still running 10 s after quit was asked for";
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "wait status " << status;
    EXPECT_TRUE(fs::exists(settingsFile()));
    EXPECT_EQ(contentOf(home / "Untitled.chstream"), old);
}

INSTANTIATE_TEST_SUITE_P(
    LumivexProgram, QuitWithADialogOpen,
    ::testing::Values(OpenDialogCase{"Chooser", {}, "Save State As", false},
                      OpenDialogCase{"ReplaceQuestion", {XK_Return}, "Replace State File", false},
                      OpenDialogCase{"ReplaceQuestionAndTheWindowClosed", {XK_Return}, "Replace State File", true}),
    [](const ::testing::TestParamInfo<OpenDialogCase>& info) { return info.param.name; });

}  // namespace
