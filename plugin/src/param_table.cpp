// The table of the 18 parameters and the lookups by id.
#include <cmath>

#include "fxcoreplug/fxcore_plugin.h"
#include "fxcoreplug/param_ids.h"

namespace fxcoreplug {

namespace {
constexpr uint32_t kContinuous = CLAP_PARAM_IS_AUTOMATABLE | CLAP_PARAM_IS_MODULATABLE;  // 1056
constexpr uint32_t kStepped = CLAP_PARAM_IS_STEPPED | CLAP_PARAM_IS_AUTOMATABLE;         // 33
}  // namespace

const std::vector<FXCorePlugin::ParamDef>& FXCorePlugin::paramDefs() {
    // A function-local static: built once, thread-safe, on first use.
    static const std::vector<ParamDef> defs = [] {
        // Every bank index the plug-in can reach, "(loaded)" included, is at most the
        // number of compiled-in programs.
        const double maxProgram = static_cast<double>(kEmbeddedProgramCount);
        using namespace param;
        return std::vector<ParamDef>{
            {kPot0 + 0, "POT0", "Pots", 0.0, 1.0, 0.5, kContinuous},
            {kPot0 + 1, "POT1", "Pots", 0.0, 1.0, 0.5, kContinuous},
            {kPot0 + 2, "POT2", "Pots", 0.0, 1.0, 0.5, kContinuous},
            {kPot0 + 3, "POT3", "Pots", 0.0, 1.0, 0.5, kContinuous},
            {kPot0 + 4, "POT4", "Pots", 0.0, 1.0, 0.5, kContinuous},
            {kPot0 + 5, "POT5", "Pots", 0.0, 1.0, 0.5, kContinuous},
            {kSw0 + 0, "SW0", "Switches", 0.0, 1.0, 0.0, kStepped},
            {kSw0 + 1, "SW1", "Switches", 0.0, 1.0, 0.0, kStepped},
            {kSw0 + 2, "SW2", "Switches", 0.0, 1.0, 0.0, kStepped},
            {kSw0 + 3, "SW3", "Switches", 0.0, 1.0, 0.0, kStepped},
            {kSw0 + 4, "SW4", "Switches", 0.0, 1.0, 0.0, kStepped},
            {kEnable, "ENABLE", "Switches", 0.0, 1.0, 1.0, kStepped},
            {kTap, "TAP", "Switches", 0.0, 1.0, 0.0, kStepped},
            {kProgram, "Program", "Program", 0.0, maxProgram, 0.0, kStepped},
            {kMonitor, "Monitor", "Program", 0.0, 1.0, 0.0, kStepped},
            {kMode, "Mode", "Program", 0.0, 7.0, 0.0, kStepped},
            {kInputTrim, "Input Trim", "Levels", -24.0, 24.0, 0.0, kContinuous},
            {kOutputTrim, "Output Trim", "Levels", -24.0, 24.0, 0.0, kContinuous},
        };
    }();
    return defs;
}

int roundIndex(double value) {
    // Halves away from zero; the result taken as a 32-bit integer (modulo 2^32).
    return static_cast<int32_t>(static_cast<uint32_t>(std::lround(value)));
}

size_t FXCorePlugin::positionOf(uint32_t id) const {
    const auto& defs = paramDefs();
    for (size_t i = 0; i < defs.size(); ++i)
        if (defs[i].id == id) return i;
    return kParamCount;
}

const FXCorePlugin::ParamDef* FXCorePlugin::defFor(uint32_t id) const {
    const size_t pos = positionOf(id);
    return pos < kParamCount ? &paramDefs()[pos] : nullptr;
}

std::atomic<double>* FXCorePlugin::slotFor(uint32_t id) {
    const size_t pos = positionOf(id);
    return pos < kParamCount ? &values[pos] : nullptr;
}

double FXCorePlugin::paramValue(uint32_t id) const {
    const size_t pos = positionOf(id);
    return pos < kParamCount ? values[pos].load(std::memory_order_acquire) : 0.0;
}

double FXCorePlugin::storeParam(uint32_t id, double value) {
    const size_t pos = positionOf(id);
    if (pos >= kParamCount) return 0.0;
    // NaN is refused: as Output Trim it would turn every output sample into NaN,
    // as Input Trim it would silence the pedal, and a state save would keep it.
    if (std::isnan(value)) return values[pos].load(std::memory_order_acquire);
    const ParamDef& def = paramDefs()[pos];
    // Above the maximum first, then below the minimum (infinities land on the ends).
    if (value > def.max) value = def.max;
    else if (value < def.min) value = def.min;
    values[pos].store(value, std::memory_order_release);
    return value;
}

std::array<double, FXCorePlugin::kParamCount> FXCorePlugin::valueSnapshot() const {
    std::array<double, kParamCount> snapshot{};
    for (size_t i = 0; i < kParamCount; ++i) snapshot[i] = values[i].load(std::memory_order_acquire);
    return snapshot;
}

int FXCorePlugin::currentBank() const {
    const int count = publishedBanks.load(std::memory_order_acquire);
    if (count == 0) return 0;
    int b = roundIndex(paramValue(param::kProgram));
    if (b < 0) b = 0;
    if (b > count - 1) b = count - 1;
    return b;
}

}  // namespace fxcoreplug
