// Building the face: compiled-in images, and one view per position of the layout.
#include <cmath>
#include <string>

#include "fxcoreedit/footswitch_view.h"
#include "fxcoreedit/image_decode.h"
#include "fxcoreedit/image_table.h"
#include "fxcoreedit/panel_editor.h"
#include "fxcoreedit/panel_layouts.h"
#include "fxcoreedit/rotary_knob.h"
#include "fxcoreplug/fxcore_plugin.h"
#include "fxcoreplug/param_ids.h"

namespace fxcoreplug {

namespace {

using lumivex::ui::Rect;
using Slot = ControlNames::Slot;

constexpr int kKnobFrames = 128;
constexpr double kKnobHalfSweep = 135.0;  // degrees either side of straight up

// LEDs in bi-colour mode: green when only the second output is lit, amber for both.
constexpr lumivex::ui::Colour kSecondLit{90, 255, 90, 255};
constexpr lumivex::ui::Colour kBothLit{255, 190, 60, 255};

Rect centred(double x, double y, double width, double height) {
    return {x - width / 2.0, y - height / 2.0, x + width / 2.0, y + height / 2.0};
}

}  // namespace

std::shared_ptr<lumivex::ui::Bitmap> PanelEditor::loadImage(const char* name, bool invert) {
    double scale = 1.0;
    const EmbeddedImage* entry = chooseImageCandidate(name, scale);
    if (entry == nullptr) return nullptr;
    return decodeImage(entry->data, static_cast<std::size_t>(entry->size), scale, invert);
}

void PanelEditor::buildControls(const ControlNames& names, const PanelLayout& layout) {
    for (int i = 0; i < layout.knobCount; ++i) {
        const KnobSpec& spec = layout.knobs[i];
        const int pot = spec.tag - static_cast<int>(param::kPot0);
        const Slot kind = pot >= 0 && pot < 6 ? names.potType(pot) : Slot::Knob;
        switch (kind) {
            case Slot::None: break;
            case Slot::SwitchToggle: {
                const ControlNames::PotSlot& slot = names.pots[static_cast<size_t>(pot)];
                addToggle(spec, static_cast<int32_t>(kind), slot.swA, slot.swB);
                break;
            }
            case Slot::PotToggle:
            case Slot::ModeToggle: addToggle(spec, static_cast<int32_t>(kind), -1, -1); break;
            default: addKnob(spec); break;
        }
    }
    for (int i = 0; i < layout.footswitchCount; ++i) {
        const FootswitchSpec& spec = layout.footswitches[i];
        controls_.push_back(frame_->emplaceView<FootswitchView>(
            centred(spec.x, spec.y, spec.width, spec.height), this, spec.tag,
            spec.leftImage ? leftFootswitchBitmap_ : rightFootswitchBitmap_, spec.momentary));
    }
    for (int i = 0; i < layout.ledCount && i < 2; ++i) {
        const LedSpec& spec = layout.leds[i];
        // The glow reaches 0.42 diameters beyond the lamp on every side.
        const auto side = static_cast<double>(std::lround(spec.diameter * 1.9));
        LedView* led = frame_->emplaceView<LedView>(centred(spec.x, spec.y, side, side), spec.colour,
                                                    static_cast<double>(spec.diameter));
        if (names.ledsCombined) led->setBiColour(kSecondLit, kBothLit);
        leds_[static_cast<size_t>(i)] = led;
    }
}

void PanelEditor::addKnob(const KnobSpec& spec) {
    const char* image = spec.image != nullptr ? spec.image : "";
    FrameList& frames = frameCache_[std::string(image) + "@" + std::to_string(spec.size)];
    // An image that gave no frames is tried again by the next knob that wants it.
    if (frames.empty()) {
        const std::shared_ptr<lumivex::ui::Bitmap> source = loadImage(image, false);
        frames = makeRotationFrames(source.get(), kKnobFrames, 0.0, kKnobHalfSweep, spec.size);
    }
    controls_.push_back(
        frame_->emplaceView<RotaryKnob>(centred(spec.x, spec.y, spec.size, spec.size), this, spec.tag, frames));
}

void PanelEditor::addToggle(const KnobSpec& spec, int32_t kind, int32_t switchA, int32_t switchB) {
    const int modes = plugin_.modeCountFor(roundIndex(plugin_.paramValue(param::kProgram)));
    double width = spec.size;
    double height = spec.size;
    if (toggleMidBitmap_ != nullptr) {
        width = std::trunc(toggleMidBitmap_->width());
        height = std::trunc(toggleMidBitmap_->height());
    }
    const bool modeToggle = kind == static_cast<int32_t>(Slot::ModeToggle);
    const int32_t tag = modeToggle ? static_cast<int32_t>(param::kMode) : spec.tag;
    // A bank of one or two modes gets a plain two-position lever.
    const int positions = modeToggle && modes < 3 ? 2 : 3;
    ToggleView* view = frame_->emplaceView<ToggleView>(centred(spec.x, spec.y, width, height), this, tag,
                                                       toggleUpBitmap_, toggleMidBitmap_, toggleDownBitmap_, positions);
    toggles_.push_back({view, kind, spec.tag - static_cast<int32_t>(param::kPot0), switchA, switchB});
}

}  // namespace fxcoreplug
