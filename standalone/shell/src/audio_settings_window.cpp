#include "shell/audio_settings_window.h"

#include <cstdlib>
#include <map>
#include <optional>
#include <span>
#include <string>

#include "standalone/audio_device_choice.h"
#include "standalone/call_shield.h"
#include "standalone/lifecycle.h"

namespace brevlin::clap_host::standalone {

namespace {

constexpr char kTitle[] = "Audio/MIDI Settings";
constexpr char kNoInput[] = "No Input";

// A control's place as the layout gives it: origin at the content's bottom left,
// y growing upward.
struct Frame {
    int x, y, width, height;
};

constexpr Frame kOkFrame{240, 0, 80, 30};
constexpr Frame kCancelFrame{320, 0, 80, 30};
constexpr Frame kOutputLabelFrame{10, 320, 200, 30};
constexpr Frame kOutputFrame{100, 320, 290, 30};
constexpr Frame kRateLabelFrame{10, 285, 200, 30};
constexpr Frame kRateFrame{100, 285, 120, 30};
constexpr Frame kInputLabelFrame{10, 250, 200, 30};
constexpr Frame kInputFrame{100, 250, 290, 30};
constexpr Frame kResetFrame{95, 215, 300, 30};
constexpr Frame kSeparatorFrame{10, 205, 380, 1};
constexpr Frame kMidiLabelFrame{10, 165, 200, 30};
constexpr Frame kMidiNoticeFrame{100, 165, 200, 30};

// GtkFixed counts from the top left.
void place(GtkFixed* content, GtkWidget* widget, const Frame& frame) {
    gtk_widget_set_size_request(widget, frame.width, frame.height);
    gtk_fixed_put(content, widget, frame.x, AudioSettingsWindow::kContentHeight - frame.y - frame.height);
}

GtkWidget* makeLabel(const char* text) {
    GtkWidget* label = gtk_label_new(text);
    gtk_label_set_selectable(GTK_LABEL(label), FALSE);
    gtk_label_set_xalign(GTK_LABEL(label), 0.0f);
    return label;
}

// The rates that the two lists name exactly twice between them, ascending. With
// no input device the output's list is passed twice, which keeps all of its rates.
std::vector<int32_t> ratesCountedTwice(std::span<const unsigned int> first, std::span<const unsigned int> second) {
    std::map<int32_t, int> counts;
    for (std::span<const unsigned int> list : {first, second})
        for (unsigned int rate : list) ++counts[static_cast<int32_t>(rate)];
    std::vector<int32_t> rates;
    for (const auto& [rate, count] : counts)
        if (count == 2) rates.push_back(rate);
    return rates;
}

std::optional<int> positionOf(const std::vector<AudioDeviceInfo>& devices, uint32_t id) {
    for (size_t i = 0; i < devices.size(); ++i)
        if (devices[i].ID == id) return static_cast<int>(i);
    return std::nullopt;
}

int selectedIndex(GtkComboBoxText* combo) { return gtk_combo_box_get_active(GTK_COMBO_BOX(combo)); }

void select(GtkComboBoxText* combo, int index) { gtk_combo_box_set_active(GTK_COMBO_BOX(combo), index); }

// A title read as a leading decimal integer: 0 when it does not start with one.
int32_t integerValue(const gchar* title) {
    if (title == nullptr) return 0;
    return static_cast<int32_t>(std::strtol(title, nullptr, 10));
}

// The integer value of item `index`'s title.
int32_t itemValue(GtkComboBoxText* combo, int index) {
    GtkTreeModel* model = gtk_combo_box_get_model(GTK_COMBO_BOX(combo));
    GtkTreeIter item;
    if (!gtk_tree_model_iter_nth_child(model, &item, nullptr, index)) return 0;
    gchar* title = nullptr;
    gtk_tree_model_get(model, &item, gtk_combo_box_get_entry_text_column(GTK_COMBO_BOX(combo)), &title, -1);
    const int32_t value = integerValue(title);
    g_free(title);
    return value;
}

int itemCount(GtkComboBoxText* combo) {
    return gtk_tree_model_iter_n_children(gtk_combo_box_get_model(GTK_COMBO_BOX(combo)), nullptr);
}

StandaloneHost& host() { return *getStandaloneHost(); }

// A signal of a control runs one of the window's actions. GTK calls it through C,
// so nothing thrown may get past it.
template <void (AudioSettingsWindow::*Action)()>
void run(gpointer /*widget*/, gpointer window) noexcept {
    Clap::shielded("audio settings", [window] { (static_cast<AudioSettingsWindow*>(window)->*Action)(); });
}

// The window manager's close button is Cancel. The window is gone when Cancel
// returns, so GTK is told not to destroy it a second time.
gboolean closeRequested(GtkWidget*, GdkEvent*, gpointer window) noexcept {
    run<&AudioSettingsWindow::cancelButtonPressed>(nullptr, window);
    return TRUE;
}

}  // namespace

AudioSettingsWindow* AudioSettingsWindow::open() {
    auto* settings = new AudioSettingsWindow();
    try {
        settings->setupContents();
    } catch (...) {
        settings->close();  // takes the object with it
        throw;
    }
    gtk_window_set_position(settings->window_, GTK_WIN_POS_CENTER);
    gtk_widget_show_all(GTK_WIDGET(settings->window_));
    gtk_window_present(settings->window_);
    return settings;
}

AudioSettingsWindow::AudioSettingsWindow() {
    window_ = GTK_WINDOW(gtk_window_new(GTK_WINDOW_TOPLEVEL));
    gtk_window_set_default_size(window_, kContentWidth, kContentHeight);
    gtk_window_set_resizable(window_, TRUE);
    content_ = GTK_FIXED(gtk_fixed_new());
    gtk_container_add(GTK_CONTAINER(window_), GTK_WIDGET(content_));
    g_signal_connect(window_, "destroy", G_CALLBACK(destroyed), this);
    g_signal_connect(window_, "delete-event", G_CALLBACK(closeRequested), this);
}

void AudioSettingsWindow::setupContents() {
    gtk_window_set_title(window_, kTitle);
    okButton_ = GTK_BUTTON(gtk_button_new_with_label("OK"));
    place(content_, GTK_WIDGET(okButton_), kOkFrame);
    g_signal_connect(okButton_, "clicked", G_CALLBACK(run<&AudioSettingsWindow::okButtonPressed>), this);
    cancelButton_ = GTK_BUTTON(gtk_button_new_with_label("Cancel"));
    g_signal_connect(cancelButton_, "clicked", G_CALLBACK(run<&AudioSettingsWindow::cancelButtonPressed>), this);

    place(content_, makeLabel("Output"), kOutputLabelFrame);
    place(content_, makeLabel("Sample Rate"), kRateLabelFrame);
    place(content_, makeLabel("Input"), kInputLabelFrame);
    outputSelection_ = GTK_COMBO_BOX_TEXT(gtk_combo_box_text_new());
    inputSelection_ = GTK_COMBO_BOX_TEXT(gtk_combo_box_text_new());
    sampleRateSelection_ = GTK_COMBO_BOX_TEXT(gtk_combo_box_text_new());
    resetButton_ = GTK_BUTTON(gtk_button_new_with_label("Reset to System Default"));
    place(content_, GTK_WIDGET(resetButton_), kResetFrame);
    g_signal_connect(resetButton_, "clicked", G_CALLBACK(run<&AudioSettingsWindow::defaultButtonPressed>), this);
    place(content_, gtk_separator_new(GTK_ORIENTATION_HORIZONTAL), kSeparatorFrame);
    place(content_, makeLabel("MIDI"), kMidiLabelFrame);
    place(content_, makeLabel("Coming Soon"), kMidiNoticeFrame);

    // The lists are filled and the running devices selected before the selection
    // handlers are connected: filling is not a choice of the user's. They come from
    // one fresh look at the system, which also finds a sound server started since.
    host().refreshAudioDevices();
    outDevices_ = host().getOutputAudioDevices();
    for (const AudioDeviceInfo& device : outDevices_)
        gtk_combo_box_text_append_text(outputSelection_, device.name.c_str());
    const std::optional<int> runningOutput = positionOf(outDevices_, host().currentOutputDevice);
    select(outputSelection_, runningOutput.value_or(outDevices_.empty() ? -1 : 0));
    g_signal_connect(outputSelection_, "changed", G_CALLBACK(run<&AudioSettingsWindow::onSourceMenuChanged>), this);

    inDevices_ = host().getInputAudioDevices();
    gtk_combo_box_text_append_text(inputSelection_, kNoInput);
    for (const AudioDeviceInfo& device : inDevices_)
        gtk_combo_box_text_append_text(inputSelection_, device.name.c_str());
    const std::optional<int> runningInput = positionOf(inDevices_, host().currentInputDevice);
    select(inputSelection_, runningInput ? *runningInput + 1 : 0);
    g_signal_connect(inputSelection_, "changed", G_CALLBACK(run<&AudioSettingsWindow::onSourceMenuChanged>), this);

    resetSampleRateSelection();

    place(content_, GTK_WIDGET(outputSelection_), kOutputFrame);
    place(content_, GTK_WIDGET(inputSelection_), kInputFrame);
    place(content_, GTK_WIDGET(sampleRateSelection_), kRateFrame);
    place(content_, GTK_WIDGET(cancelButton_), kCancelFrame);
}

void AudioSettingsWindow::resetSampleRateSelection() {
    const int output = selectedIndex(outputSelection_);
    gtk_combo_box_text_remove_all(sampleRateSelection_);
    const int32_t running = host().streamSampleRate;

    // Without an output device the output offers nothing, and so the list stays empty.
    std::span<const unsigned int> outputRates;
    if (output >= 0 && output < static_cast<int>(outDevices_.size())) outputRates = outDevices_[output].sampleRates;
    const int input = selectedIndex(inputSelection_);
    std::span<const unsigned int> inputRates = outputRates;
    if (input >= 1 && input <= static_cast<int>(inDevices_.size())) inputRates = inDevices_[input - 1].sampleRates;

    const std::vector<int32_t> rates = ratesCountedTwice(outputRates, inputRates);
    int selected = rates.empty() ? -1 : 0;
    for (size_t i = 0; i < rates.size(); ++i) {
        gtk_combo_box_text_append_text(sampleRateSelection_, std::to_string(rates[i]).c_str());
        if (rates[i] == running) selected = static_cast<int>(i);
    }
    select(sampleRateSelection_, selected);
}

void AudioSettingsWindow::onSourceMenuChanged() { resetSampleRateSelection(); }

void AudioSettingsWindow::okButtonPressed() {
    const int output = selectedIndex(outputSelection_);
    const bool useOutput = output >= 0 && output < static_cast<int>(outDevices_.size());
    const uint32_t outputDevice = useOutput ? outDevices_[output].ID : 0;
    const int input = selectedIndex(inputSelection_);
    const bool useInput = input >= 1 && input <= static_cast<int>(inDevices_.size());
    const uint32_t inputDevice = useInput ? inDevices_[input - 1].ID : 0;
    const int rateItem = selectedIndex(sampleRateSelection_);
    const int32_t rate = rateItem >= 0 ? itemValue(sampleRateSelection_, rateItem) : 0;

    // A failed restart has been shown by the host already; the window goes anyway.
    // The devices are looked at afresh for the open; their ids stay what the lists
    // showed.
    Clap::shielded("restarting audio", [&] {
        host().refreshAudioDevices();
        host().startAudioThreadOn(inputDevice, kChannelsEachWay, useInput, outputDevice, kChannelsEachWay, useOutput,
                                  rate);
        if (audioDevicesChosenByUser) audioDevicesChosenByUser();
    });
    close();
}

void AudioSettingsWindow::cancelButtonPressed() { close(); }

void AudioSettingsWindow::defaultButtonPressed() {
    host().refreshAudioDevices();
    const auto [defaultInput, defaultOutput, defaultRate] = host().getDefaultAudioInOutSampleRate();
    // A default device that came after the window was built is not in its lists;
    // that choice then stays as it is.
    if (const std::optional<int> input = positionOf(inDevices_, defaultInput)) select(inputSelection_, *input + 1);
    if (const std::optional<int> output = positionOf(outDevices_, defaultOutput)) select(outputSelection_, *output);
    resetSampleRateSelection();
    for (int i = 0; i < itemCount(sampleRateSelection_); ++i) {
        if (itemValue(sampleRateSelection_, i) == defaultRate) {
            select(sampleRateSelection_, i);
            break;
        }
    }
}

// Destroying the window deletes this object (see destroyed).
void AudioSettingsWindow::close() { gtk_widget_destroy(GTK_WIDGET(window_)); }

void AudioSettingsWindow::destroyed(GtkWidget*, gpointer self) noexcept {
    delete static_cast<AudioSettingsWindow*>(self);
}

}  // namespace brevlin::clap_host::standalone
