// The pieces of the pedal panel. Each drawing fills a canvas of w x h points (the
// image's pixel size divided by its scale) and centres itself in it.
#pragma once

#include <cairo.h>

#include "fxcoreedit/panel_layouts.h"

namespace artgen {

// Knobs, seen from above at the middle of their travel: the pointer stands at
// 12 o'clock. The editor turns them at run time, so the shading is the same all round
// the axis and everything outside the knob's circle is transparent, including a margin
// of at least a pixel along every edge.
enum class KnobKind {
    FlutedSilver,   // "fluted-large": black fluted skirt, spun aluminium cap
    KnurledBlack,   // "knob-blk-large": black, fine knurl, white line
    FlutedCream,    // "knob-wht-large": cream fluted, black line
    SkirtedBlue,    // "lg-knob-blu"
    SkirtedOrange,  // "lg-knob-org"
    SkirtedYellow,  // "lg-knob-yel"
    SkirtedWhite,   // "wh-knob-large"
    Brutal,         // "brutal-large": heavy machined aluminium
    SmallBlack,     // "small-knob"
};
void drawKnob(cairo_t* cr, double w, double h, KnobKind kind);

// A stomp switch from above: a hex nut round a chrome cap. `pointyLeftRight` turns the
// nut so that its corners face left and right (the wider image) rather than up and down.
void drawFootswitch(cairo_t* cr, double w, double h, bool pointyLeftRight);

enum class LeverPosition { Up, Middle, Down };
void drawToggle(cairo_t* cr, double w, double h, LeverPosition position);

// A whole pedal face for one panel layout: the enclosure, its printing and the seats
// of the knobs, footswitches and lamps at the layout's positions.
void drawFace(cairo_t* cr, double w, double h, const fxcoreplug::PanelLayout& layout);

}  // namespace artgen
