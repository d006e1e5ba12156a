// The panel editor's life: opening and closing, size and zoom, the host's timer
// and events, and what the controls report.
#include "fxcoreedit/panel_editor.h"

#include <cmath>

#include "fxcoreedit/panel_layouts.h"
#include "fxcoreplug/fxcore_plugin.h"
#include "fxcoreplug/param_ids.h"
#include "lumivex_ui/knob.h"

namespace fxcoreplug {

using lumivex::ui::Control;
using lumivex::ui::MouseButtons;

PanelEditor::PanelEditor(FXCorePlugin& plugin) : plugin_(plugin) {}

PanelEditor::~PanelEditor() { close(); }

bool PanelEditor::open(unsigned long parent) {
    if (frame_ != nullptr) return true;
    try {
        const ControlNames& names = plugin_.activeControlNames();
        const PanelLayout& layout = layoutNamed(names.panel);
        frame_ = std::make_unique<lumivex::ui::Frame>(layout.width, layout.height);
        frame_->setZoom(scale_);
        // Knobs follow vertical mouse movement, as on a hardware-style panel.
        lumivex::ui::Knob::setDefaultMode(lumivex::ui::KnobMode::Linear);

        faceBitmap_ = loadImage(layout.faceImage, false);
        leftFootswitchBitmap_ = loadImage("left-footswitch", false);
        rightFootswitchBitmap_ = loadImage("right-footswitch", false);
        toggleUpBitmap_ = loadImage("toggle-up", false);
        toggleMidBitmap_ = loadImage("toggle-mid", false);
        toggleDownBitmap_ = loadImage("toggle-down", false);
        if (faceBitmap_ != nullptr) frame_->setBackground(faceBitmap_);

        buildControls(names, layout);
        syncFromPlugin();

        timer_ = std::make_unique<lumivex::ui::Timer>(kTimerIntervalMs, [this] { onTimer(); });
        timer_->start();
        frame_->invalidate();
        // The window comes last, so that its first picture is the finished face. A
        // window that cannot be made leaves the face off screen, still working.
        frame_->open(parent);
    } catch (...) {
        close();  // nothing half-built stays behind
        throw;
    }
    return true;
}

void PanelEditor::close() {
    timer_.reset();
    controls_.clear();
    leds_ = {};
    // Deleting the frame cancels a press in progress: the view ends its edit and
    // the plug-in hears the gesture end.
    frame_.reset();
    editingControl_ = nullptr;
    toggles_.clear();
    frameCache_.clear();
    faceBitmap_.reset();
    leftFootswitchBitmap_.reset();
    rightFootswitchBitmap_.reset();
    toggleUpBitmap_.reset();
    toggleMidBitmap_.reset();
    toggleDownBitmap_.reset();
}

void PanelEditor::getSize(uint32_t& width, uint32_t& height) const {
    width = static_cast<uint32_t>(std::lround(kPanelWidth * scale_));
    height = static_cast<uint32_t>(std::lround(kPanelHeight * scale_));
}

void PanelEditor::setScale(double s) {
    // An infinite scale is no scale either: getSize could not round it.
    scale_ = std::isfinite(s) && s > 0.0 ? s : 1.0;
    if (frame_ != nullptr) frame_->setZoom(scale_);
}

void PanelEditor::clickAt(double x, double y) {
    if (frame_ == nullptr) return;
    const MouseButtons left{MouseButtons::kLeft};
    frame_->dispatchMouseDown({x, y}, left);
    if (frame_ != nullptr) frame_->dispatchMouseUp({x, y}, left);
}

void PanelEditor::syncFromPlugin() {
    for (Control* control : controls_) {
        control->setNormalized(static_cast<float>(plugin_.paramValue(static_cast<uint32_t>(control->tag()))));
        control->invalidate();
    }
}

void PanelEditor::onHostTimer() {
    if (timer_ != nullptr) timer_->fire();
    if (frame_ != nullptr) frame_->pumpEvents();  // also redraws what the tick changed
}

void PanelEditor::pumpEvents() {
    if (frame_ != nullptr) frame_->pumpEvents();
}

void PanelEditor::onTimer() {
    float duty[2] = {0.0f, 0.0f};
    plugin_.core.readUserDuty(duty);
    if (plugin_.activeControlNames().ledsCombined) {
        for (LedView* led : leds_) {
            if (led != nullptr) led->setBrightness(duty[0], duty[1]);
        }
    } else {
        if (leds_[0] != nullptr) leds_[0]->setBrightness(duty[0]);
        if (leds_[1] != nullptr) leds_[1]->setBrightness(duty[1]);
    }
    // The control in the user's hand keeps what the user gives it.
    for (const ToggleBinding& binding : toggles_) {
        if (binding.view != nullptr && binding.view != editingControl_) refreshToggle(binding);
    }
    for (Control* control : controls_) {
        if (control == editingControl_) continue;
        const auto v = static_cast<float>(plugin_.paramValue(static_cast<uint32_t>(control->tag())));
        if (std::fabs(v - control->normalized()) > 1e-4f) {
            control->setNormalized(v);
            control->invalidate();
        }
    }
}

void PanelEditor::valueChanged(Control& control) {
    for (const ToggleBinding& binding : toggles_) {
        if (binding.view == &control) {
            applyToggle(binding);
            return;
        }
    }
    const int32_t tag = control.tag();
    const float v = control.normalized();
    plugin_.guiSetParam(static_cast<uint32_t>(tag), v);
    // A press also reaches the chip as a timed switch press, so that a tap is seen
    // even when the host sends the value back too late or not at all.
    if (v < 0.5f) return;
    if (tag == static_cast<int32_t>(param::kTap)) {
        plugin_.triggerSwitch(5);
    } else if (tag >= static_cast<int32_t>(param::kSw0) && tag <= static_cast<int32_t>(param::kSw0) + 4) {
        plugin_.triggerSwitch(tag - static_cast<int32_t>(param::kSw0));
    }
}

void PanelEditor::editBegan(Control& control) {
    editingControl_ = &control;
    plugin_.guiBeginGesture(static_cast<uint32_t>(control.tag()));
}

void PanelEditor::editEnded(Control& control) {
    if (editingControl_ == &control) editingControl_ = nullptr;
    plugin_.guiEndGesture(static_cast<uint32_t>(control.tag()));
}

}  // namespace fxcoreplug
