// A lamp of the panel: a dark body with a glow in rings whose strength follows a
// brightness between 0 and 1. In bi-colour mode it shows which of two outputs is
// lit by its colour. Takes no mouse input.
#pragma once

#include "lumivex_ui/view.h"

namespace fxcoreplug {

class LedView : public lumivex::ui::View {
public:
    // diameter in points; 0 or less fits the lamp to the view. Transparent.
    LedView(const lumivex::ui::Rect& rect, lumivex::ui::Colour colour, double diameter);
    LedView(const LedView& other) = default;
    std::unique_ptr<lumivex::ui::View> clone() const override;

    // a: shown when only the second output is the brighter one; b: when both are lit.
    void setBiColour(lumivex::ui::Colour a, lumivex::ui::Colour b);
    // Redraws only when the level moves by more than 0.004.
    void setBrightness(float level);
    // The duties of the two outputs. Without bi-colour mode, the one-level form with
    // `first`. Otherwise the brighter of the two, in the colour that says which is lit;
    // redraws when the level moves by more than 0.004 or the colour changes.
    void setBrightness(float first, float second);

    float brightness() const { return brightness_; }
    lumivex::ui::Colour colour() const { return colour_; }
    lumivex::ui::Colour currentColour() const { return currentColour_; }
    bool biColour() const { return biColour_; }
    double diameter() const { return diameter_; }

    void draw(lumivex::ui::Canvas& canvas) override;

private:
    lumivex::ui::Colour colour_;
    lumivex::ui::Colour biColourA_{255, 255, 255, 255};
    lumivex::ui::Colour biColourB_{255, 255, 255, 255};
    lumivex::ui::Colour currentColour_{255, 255, 255, 255};
    bool biColour_ = false;
    double diameter_;
    float brightness_ = 0.0f;
};

}  // namespace fxcoreplug
