#include "standalone/standalone_entry.h"

namespace fxcore::standalone {

// Nothing is remembered yet: the host starts on its own default devices.
void installAudioDevicePrefs() {}

}  // namespace fxcore::standalone
