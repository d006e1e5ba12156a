// Parameter ids: the single list every part of the plug-in and its panel uses.
#pragma once

#include <cstdint>

namespace fxcoreplug::param {

inline constexpr uint32_t kPot0 = 100;  // POT0-POT5: 100-105
inline constexpr uint32_t kSw0 = 200;   // SW0-SW4: 200-204
inline constexpr uint32_t kEnable = 300;
inline constexpr uint32_t kTap = 301;
inline constexpr uint32_t kProgram = 400;
inline constexpr uint32_t kMonitor = 401;
inline constexpr uint32_t kMode = 402;
inline constexpr uint32_t kInputTrim = 500;
inline constexpr uint32_t kOutputTrim = 501;

inline constexpr int kSwitchCount = 6;  // switch indices 0-4 are SW0-SW4, 5 is TAP

// Switch index to parameter id: 200 + i for SW0-SW4, 301 for the tap.
constexpr uint32_t switchParam(int index) { return index == 5 ? kTap : kSw0 + static_cast<uint32_t>(index); }

}  // namespace fxcoreplug::param
