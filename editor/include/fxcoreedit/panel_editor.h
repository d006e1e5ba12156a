// The plug-in's window: the pedal's face with its knobs, lever switches,
// footswitches and LEDs, built from the layout the active control names ask for,
// kept in step with the plug-in by a 33 ms timer and editing the plug-in through
// its GUI-side operations only.
//
// Main thread only. The host drives it: after open, onHostTimer() at the timer's
// interval (it also pumps the window's events, so a host that does not watch
// connectionFd() still works) and pumpEvents() whenever connectionFd() is readable.
#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "fxcoreedit/led_view.h"
#include "fxcoreedit/rotation_frames.h"
#include "fxcoreedit/toggle_view.h"
#include "lumivex_ui/bitmap.h"
#include "lumivex_ui/control.h"
#include "lumivex_ui/frame.h"
#include "lumivex_ui/timer.h"

namespace fxcoreplug {

class FXCorePlugin;
struct ControlNames;
struct KnobSpec;
struct PanelLayout;

class PanelEditor : public lumivex::ui::ControlListener {
public:
    // What a lever switch stands for. kind is a ControlNames::Slot value
    // (SwitchToggle, PotToggle or ModeToggle); pot the knob position's pot (0-5);
    // switchA and switchB the switches a switch toggle drives (0-4, -1 for none).
    struct ToggleBinding {
        ToggleView* view = nullptr;
        int32_t kind = 0;
        int32_t pot = 0;
        int32_t switchA = -1;
        int32_t switchB = -1;
    };

    static constexpr uint32_t kTimerIntervalMs = 33;
    static constexpr double kPanelWidth = 394.0;  // what getSize reports at scale 1
    static constexpr double kPanelHeight = 722.0;

    explicit PanelEditor(FXCorePlugin& plugin);
    ~PanelEditor() override;  // closes first
    PanelEditor(const PanelEditor&) = delete;
    PanelEditor& operator=(const PanelEditor&) = delete;

    // The compiled-in image `name` at the best resolution present ("@3x", "@2x",
    // then the plain one), colours inverted when asked. Null when there is none or
    // it does not decode.
    static std::shared_ptr<lumivex::ui::Bitmap> loadImage(const char* name, bool invert);

    // Builds the face in a child window of the X11 window `parent` and starts the
    // timer. True in every case, also when the window could not be made (the face
    // then exists off screen); a second open while open does nothing.
    bool open(unsigned long parent);
    // Tears everything down; the editor can be opened again.
    void close();
    bool isOpen() const { return frame_ != nullptr; }

    // 394 x 722 points at the scale, rounded; fixed, whatever the layout.
    void getSize(uint32_t& width, uint32_t& height) const;
    // A scale that is not a positive number becomes 1.0; an open frame zooms to it.
    void setScale(double s);
    double scale() const { return scale_; }

    // A left-button press and release at (x, y) in frame points; nothing while closed.
    void clickAt(double x, double y);
    // Every knob and footswitch to its parameter's value now.
    void syncFromPlugin();

    // ---- host driving
    // One tick of the host's timer: the refresh, then the window's pending events
    // and the redraw of what changed.
    void onHostTimer();
    // The window's pending events (the connection became readable).
    void pumpEvents();
    // The X connection to watch for reading; -1 when there is none (closed, or the
    // window could not be made or was lost).
    int connectionFd() const { return frame_ != nullptr ? frame_->connectionFd() : -1; }

    // ---- the listener side: what the views report
    void valueChanged(lumivex::ui::Control& control) override;
    void editBegan(lumivex::ui::Control& control) override;  // a control's begin-edit
    void editEnded(lumivex::ui::Control& control) override;  // and its end-edit

    // ---- read-only views for tests and hosts
    lumivex::ui::Frame* frame() const { return frame_.get(); }
    const std::vector<lumivex::ui::Control*>& controls() const { return controls_; }
    const std::vector<ToggleBinding>& toggles() const { return toggles_; }
    const std::array<LedView*, 2>& leds() const { return leds_; }
    const std::map<std::string, FrameList>& frameCache() const { return frameCache_; }
    const std::shared_ptr<lumivex::ui::Bitmap>& footswitchBitmap(bool left) const {
        return left ? leftFootswitchBitmap_ : rightFootswitchBitmap_;
    }
    lumivex::ui::Control* editingControl() const { return editingControl_; }

private:
    // One view per layout position: knobs and toggles in slot order, then the
    // footswitches, then the LEDs (later views draw on top).
    void buildControls(const ControlNames& names, const PanelLayout& layout);
    void addKnob(const KnobSpec& spec);
    void addToggle(const KnobSpec& spec, int32_t kind, int32_t switchA, int32_t switchB);
    void onTimer();
    void refreshToggle(const ToggleBinding& binding);
    void applyToggle(const ToggleBinding& binding);

    FXCorePlugin& plugin_;                      // the owner; outlives the editor
    std::unique_ptr<lumivex::ui::Frame> frame_;  // owns every view; null while closed
    std::unique_ptr<lumivex::ui::Timer> timer_;  // null while closed
    std::shared_ptr<lumivex::ui::Bitmap> faceBitmap_;
    std::shared_ptr<lumivex::ui::Bitmap> leftFootswitchBitmap_;
    std::shared_ptr<lumivex::ui::Bitmap> rightFootswitchBitmap_;
    std::shared_ptr<lumivex::ui::Bitmap> toggleUpBitmap_;
    std::shared_ptr<lumivex::ui::Bitmap> toggleMidBitmap_;
    std::shared_ptr<lumivex::ui::Bitmap> toggleDownBitmap_;
    // Knob rotation frames by "<image>@<size>": made once, shared by every knob with
    // that key (turning 128 frames is the costly part of opening).
    std::map<std::string, FrameList> frameCache_;
    std::vector<lumivex::ui::Control*> controls_;  // knobs, then footswitches; owned by the frame
    lumivex::ui::Control* editingControl_ = nullptr;  // between its begin- and end-edit
    std::array<LedView*, 2> leds_{};                  // the layout's LED 0 and 1; owned by the frame
    std::vector<ToggleBinding> toggles_;
    double scale_ = 1.0;
};

}  // namespace fxcoreplug
