// Keeps X errors on our own connections from ending the process. Xlib's error
// handlers are process-wide; ours record errors and lost connections of the
// displays we watch and hand everything else to the handlers that were there
// before. Main thread only.
#pragma once

#include <X11/Xlib.h>

namespace lumivex::ui::x11 {

// Installs the handlers with the first watched display; the last unwatch puts the
// previous error handler back when ours is still the current one.
void watch(Display* display);
void unwatch(Display* display);
// The error code of the first X error on the display since the last call; 0 for none.
int takeError(Display* display);
// True once the display's connection was lost; it must then only be closed.
bool connectionLost(Display* display);

}  // namespace lumivex::ui::x11
