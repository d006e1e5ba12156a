// The audio settings window on the fake audio library, driven through its real
// widgets: which rates it offers for which devices, what OK, Cancel, the close
// button and "Reset to System Default" do to the host's stream.
#include <gtest/gtest.h>

#include <cstdlib>
#include <list>
#include <string>
#include <tuple>
#include <vector>

#include "gtk_session.h"
#include "host_fixture.h"
#include "shell/audio_settings_window.h"

// Fontconfig, under GTK's text rendering, keeps the font patterns it matched in
// caches that it never frees; they are not this program's leaks.
extern "C" const char* __lsan_default_suppressions() { return "leak:libfontconfig.so\n"; }

namespace {

using namespace satest;
using shelltest::gtkStarted;
using shelltest::pump;
using Titles = std::vector<std::string>;

Titles titles(GtkComboBoxText* combo) {
    Titles result;
    GtkTreeModel* model = gtk_combo_box_get_model(GTK_COMBO_BOX(combo));
    GtkTreeIter item;
    for (bool more = gtk_tree_model_get_iter_first(model, &item); more; more = gtk_tree_model_iter_next(model, &item)) {
        gchar* title = nullptr;
        gtk_tree_model_get(model, &item, 0, &title, -1);
        result.emplace_back(title);
        g_free(title);
    }
    return result;
}

std::string selected(GtkComboBoxText* combo) {
    gchar* title = gtk_combo_box_text_get_active_text(combo);
    std::string result = title != nullptr ? title : "(none)";
    g_free(title);
    return result;
}

void choose(GtkComboBoxText* combo, int index) { gtk_combo_box_set_active(GTK_COMBO_BOX(combo), index); }

struct SettingsWindow : HostFixture {
    struct Opened {
        AudioSettingsWindow* window = nullptr;
        bool closed = false;  // its GtkWindow was destroyed, and with it the object
    };
    std::list<Opened> windows;  // stable addresses for the destroy handlers

    void SetUp() override {
        if (!gtkStarted()) GTEST_SKIP() << "no display: GTK cannot start";
        // Positions 0 to 3 are device ids 1 to 4.
        audio.devices = {{"Interface", 2, 2, {44100, 48000, 96000}, 48000},
                         {"Mic", 2, 0, {48000, 96000}, 48000},
                         {"Phone Mic", 1, 0, {16000}, 16000},
                         {"Speakers", 0, 2, {44100, 48000}, 44100}};
        audio.defaultInput = 0;
        audio.defaultOutput = 0;
    }
    void TearDown() override {
        for (Opened& o : windows)
            if (!o.closed) gtk_widget_destroy(GTK_WIDGET(o.window->window()));
        pump();
    }

    Opened& open() {
        Opened& o = windows.emplace_back();
        o.window = AudioSettingsWindow::open();
        g_signal_connect(o.window->window(), "destroy",
                         G_CALLBACK(+[](GtkWidget*, gpointer closed) { *static_cast<bool*>(closed) = true; }),
                         &o.closed);
        pump();
        return o;
    }
};

TEST_F(SettingsWindow, OffersTheRatesBothDevicesListAndRefillsOnEveryChange) {
    attach();
    host->startAudioThreadOn(2, 2, true, 1, 2, true, 96000);  // Mic into Interface
    AudioSettingsWindow& w = *open().window;
    EXPECT_EQ(titles(w.outputSelection()), (Titles{"Interface", "Speakers"}));
    EXPECT_EQ(titles(w.inputSelection()), (Titles{"No Input", "Interface", "Mic", "Phone Mic"}));
    EXPECT_EQ(selected(w.outputSelection()), "Interface");
    EXPECT_EQ(selected(w.inputSelection()), "Mic");
    EXPECT_EQ(titles(w.sampleRateSelection()), (Titles{"48000", "96000"}));
    EXPECT_EQ(selected(w.sampleRateSelection()), "96000") << "the running rate";

    choose(w.inputSelection(), 0);
    EXPECT_EQ(titles(w.sampleRateSelection()), (Titles{"44100", "48000", "96000"})) << "No Input: all of the output's";
    EXPECT_EQ(selected(w.sampleRateSelection()), "96000");
    choose(w.outputSelection(), 1);
    EXPECT_EQ(titles(w.sampleRateSelection()), (Titles{"44100", "48000"}));
    EXPECT_EQ(selected(w.sampleRateSelection()), "44100") << "the first when the running rate is not offered";
    choose(w.inputSelection(), 3);
    EXPECT_EQ(titles(w.sampleRateSelection()), Titles{}) << "Speakers and Phone Mic share no rate";
    EXPECT_EQ(gtk_combo_box_get_active(GTK_COMBO_BOX(w.sampleRateSelection())), -1);
}

TEST_F(SettingsWindow, OkRestartsTheStreamOnTheChoiceAndClosesWhetherOrNotItStarted) {
    FakePlugin& p = attach();
    host->startAudioThreadOn(1, 2, true, 1, 2, true, 48000);
    Opened& first = open();
    choose(first.window->inputSelection(), 2);       // Mic
    choose(first.window->sampleRateSelection(), 1);  // 96000
    gtk_button_clicked(first.window->okButton());
    EXPECT_TRUE(first.closed);
    ASSERT_EQ(audio.opens.size(), 2u);
    const FakeAudioSystem::Open& r = audio.opens.back();  // devices by position: Mic is 1, Interface 0
    EXPECT_EQ(std::tie(r.input.deviceId, r.input.nChannels, r.output.deviceId, r.output.nChannels, r.rate),
              std::make_tuple(1u, 2u, 0u, 2u, 96000u));
    const uint64_t before = p.blocks.load();
    EXPECT_TRUE(eventually([&] { return p.blocks.load() > before; })) << "the plug-in processes again";

    // No common rate: rate 0, which no device lists, so the output's preferred one.
    Opened& second = open();
    choose(second.window->outputSelection(), 1);  // Speakers
    choose(second.window->inputSelection(), 3);   // Phone Mic
    gtk_button_clicked(second.window->okButton());
    EXPECT_EQ(audio.opens.back().rate, 44100u);
    EXPECT_EQ(host->currentInputDevice, 3u);
    EXPECT_EQ(host->currentOutputDevice, 4u);

    Opened& third = open();
    choose(third.window->inputSelection(), 0);
    std::vector<std::string> shown;
    host->displayError = [&](const std::string& message) { shown.push_back(message); };
    audio.openFailure = kAudioDriverError;
    gtk_button_clicked(third.window->okButton());
    EXPECT_TRUE(third.closed);
    EXPECT_EQ(shown, Titles{"the driver refuses"}) << "through the host's error display";
    EXPECT_EQ(host->currentInputDevice, 0u);
    EXPECT_FALSE(host->inputEnabled) << "No Input";
}

TEST_F(SettingsWindow, ResetSelectsTheDefaultsThatAreInItsListsAndAppliesNothing) {
    attach();
    audio.devices[0].preferred = 96000;                       // the default output's rate
    host->startAudioThreadOn(3, 2, true, 4, 2, true, 44100);  // Phone Mic into Speakers
    AudioSettingsWindow& w = *open().window;
    gtk_button_clicked(w.resetButton());
    EXPECT_EQ(selected(w.inputSelection()), "Interface");
    EXPECT_EQ(selected(w.outputSelection()), "Interface");
    EXPECT_EQ(selected(w.sampleRateSelection()), "96000") << "the default rate, not the running 44100";

    choose(w.inputSelection(), 2);  // Mic
    audio.devices.push_back({"Headset", 1, 0, {48000}, 48000});
    audio.defaultInput = 4;  // plugged in after the window was built
    gtk_button_clicked(w.resetButton());
    EXPECT_EQ(selected(w.inputSelection()), "Mic") << "a default missing from the list changes nothing";
    EXPECT_EQ(audio.opens.size(), 1u) << "nothing applied before OK";
}

TEST_F(SettingsWindow, CancelAndTheCloseButtonLeaveTheStreamAloneAndEachWindowKeepsItsOwnLists) {
    FakePlugin& p = attach();
    host->startAudioThreadOn(1, 2, true, 1, 2, true, 48000);
    Opened& first = open();
    audio.devices.push_back({"Headset", 1, 1, {48000}, 48000});
    Opened& second = open();
    EXPECT_EQ(titles(first.window->outputSelection()).size(), 2u);
    EXPECT_EQ(titles(second.window->outputSelection()).size(), 3u);

    choose(first.window->outputSelection(), 1);
    gtk_button_clicked(first.window->cancelButton());
    EXPECT_TRUE(first.closed);
    EXPECT_FALSE(second.closed);
    choose(second.window->inputSelection(), 0);
    gtk_window_close(second.window->window());  // as the window manager's close button
    pump();
    EXPECT_TRUE(second.closed);

    EXPECT_EQ(audio.opens.size(), 1u);
    EXPECT_EQ(audio.stops, 0);
    EXPECT_TRUE(host->rtaDac->isStreamRunning());
    EXPECT_EQ(host->currentInputDevice, 1u);
    EXPECT_EQ(p.calls, (std::vector<std::string>{"init", "activate", "start_processing"}));
}

}  // namespace
