// The "Audio/MIDI Settings" window: the user picks the output device, the input
// device (or none) and a rate both offer, and OK restarts the host's stream on
// that choice. Everything goes through the program's host object; errors of the
// restart reach the user through the host's own error display.
//
// Main thread only (GTK). The window owns itself: it is made by open() and deletes
// itself when its GtkWindow is destroyed (OK, Cancel or the window manager's close
// button, which counts as Cancel). Several may be open at once, each with device
// lists of its own taken when it was built.
#pragma once

#include <gtk/gtk.h>

#include <cstdint>
#include <vector>

#include "standalone/audio_api.h"

namespace brevlin::clap_host::standalone {

class AudioSettingsWindow {
public:
    // Content size of a new window.
    static constexpr int kContentWidth = 400;
    static constexpr int kContentHeight = 360;
    // Channels asked for each way when the stream is restarted.
    static constexpr uint32_t kChannelsEachWay = 2;

    // Makes a window, fills it from the host, centres it and shows it. GTK must be
    // initialised. The pointer stays valid until the window is closed.
    static AudioSettingsWindow* open();

    AudioSettingsWindow(const AudioSettingsWindow&) = delete;
    AudioSettingsWindow& operator=(const AudioSettingsWindow&) = delete;

    // Builds the controls and fills the lists from the host. Once per window.
    void setupContents();
    // Refills the rate list from the selected devices: the rates both offer (every
    // rate of the output with "No Input"), ascending, the running rate selected.
    void resetSampleRateSelection();
    // Either device list changed its selection.
    void onSourceMenuChanged();
    // Restarts the stream on the chosen devices and rate, then closes the window,
    // whether or not the stream started.
    void okButtonPressed();
    // Closes the window; the stream is untouched.
    void cancelButtonPressed();
    // Selects the system's default devices and rate in the window; nothing is
    // applied before OK.
    void defaultButtonPressed();

    // The real widgets, for driving the window from outside (tests).
    GtkWindow* window() const { return window_; }
    GtkComboBoxText* outputSelection() const { return outputSelection_; }
    GtkComboBoxText* inputSelection() const { return inputSelection_; }
    GtkComboBoxText* sampleRateSelection() const { return sampleRateSelection_; }
    GtkButton* okButton() const { return okButton_; }
    GtkButton* cancelButton() const { return cancelButton_; }
    GtkButton* resetButton() const { return resetButton_; }

private:
    AudioSettingsWindow();
    ~AudioSettingsWindow() = default;

    void close();

    // The window's "destroy" signal: the object goes with its window.
    static void destroyed(GtkWidget*, gpointer self) noexcept;

    // Widgets belong to the window; the pointers go with it.
    GtkWindow* window_ = nullptr;
    GtkFixed* content_ = nullptr;
    GtkComboBoxText* outputSelection_ = nullptr;      // item i: outDevices_[i]
    GtkComboBoxText* inputSelection_ = nullptr;       // item 0 "No Input", item i: inDevices_[i - 1]
    GtkComboBoxText* sampleRateSelection_ = nullptr;  // titled with the rate in Hz
    GtkButton* okButton_ = nullptr;
    GtkButton* cancelButton_ = nullptr;
    GtkButton* resetButton_ = nullptr;
    // The host's device lists as they were when the window was built; not
    // refreshed while it is open.
    std::vector<AudioDeviceInfo> outDevices_;
    std::vector<AudioDeviceInfo> inDevices_;
};

}  // namespace brevlin::clap_host::standalone
