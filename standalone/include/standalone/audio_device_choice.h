// The settings window's word to whoever keeps the remembered audio devices (the
// program's entry, which the window does not see): the user has just chosen the
// stream's devices with OK. Main thread only.
#pragma once

#include <functional>

namespace brevlin::clap_host::standalone {

// Called right after the stream was restarted on the user's choice, whether or not
// it started. Empty while nobody keeps the devices.
inline std::function<void()> audioDevicesChosenByUser;

}  // namespace brevlin::clap_host::standalone
