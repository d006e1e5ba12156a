// What the host reads about the parameters: names, modules and visibility follow
// the installed program's control names; values convert to and from text.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>

#include "fxcoreplug/fxcore_plugin.h"
#include "fxcoreplug/param_ids.h"

namespace fxcoreplug {

bool FXCorePlugin::paramsInfo(uint32_t index, clap_param_info* info) const {
    if (index >= kParamCount) return false;
    const ParamDef& row = paramDefs()[index];
    const ControlNames& names = activeControlNames();
    std::string name = row.name;
    std::string module = row.module;
    bool hidden = false;
    bool pedalControl = false;  // pots, switches, ENABLE and TAP carry the product name

    const uint32_t id = row.id;
    if (id >= param::kPot0 && id < param::kPot0 + 6) {
        const int i = static_cast<int>(id - param::kPot0);
        name = names.potName(i);
        hidden = !names.potUsed(i);
        pedalControl = true;
    } else if (id >= param::kSw0 && id < param::kSw0 + 5) {
        const int i = static_cast<int>(id - param::kSw0);
        name = names.switchName(i);
        hidden = names.loaded && names.switches[static_cast<size_t>(i)].empty();
        pedalControl = true;
    } else if (id == param::kEnable) {
        name = names.enableName();
        hidden = true;
        pedalControl = true;
    } else if (id == param::kTap) {
        name = names.tapName();
        hidden = names.loaded && names.tap.empty();
        pedalControl = true;
    } else if (id == param::kMode) {
        const Bank* bank = bankAt(currentBank());
        hidden = bank == nullptr || bank->programs.size() < 2;
    }
    if (pedalControl && !names.name.empty()) module = names.name;

    info->id = id;
    info->flags = row.flags | (hidden ? static_cast<uint32_t>(CLAP_PARAM_IS_HIDDEN) : 0u);
    info->cookie = nullptr;
    std::snprintf(info->name, sizeof(info->name), "%s", name.c_str());
    std::snprintf(info->module, sizeof(info->module), "%s", module.c_str());
    info->min_value = row.min;
    info->max_value = row.max;
    info->default_value = row.def;
    return true;
}

bool FXCorePlugin::paramsValue(uint32_t id, double* value) const {
    if (defFor(id) == nullptr) return false;
    *value = paramValue(id);
    return true;
}

bool FXCorePlugin::paramsValueToText(uint32_t id, double value, char* display, uint32_t size) const {
    if (defFor(id) == nullptr) return false;
    auto write = [&](const char* format, auto... args) {
        if (size > 0) std::snprintf(display, size, format, args...);
        return true;
    };
    const bool atLeastHalf = value >= 0.5;  // NaN gives the second word
    if (id >= param::kPot0 && id < param::kPot0 + 6) return write("%.3f", value);
    if ((id >= param::kSw0 && id < param::kSw0 + 5) || id == param::kTap)
        return write("%s", atLeastHalf ? "pressed" : "released");
    if (id == param::kEnable) return write("%s", atLeastHalf ? "engaged" : "off");
    if (id == param::kProgram) {
        const std::string name = bankName(roundIndex(value));
        return write("%s", name.empty() ? "-" : name.c_str());
    }
    if (id == param::kMonitor) return write("%s", atLeastHalf ? "OUT2 / OUT3" : "OUT0 / OUT1");
    if (id == param::kMode) {
        const Bank* bank = bankAt(currentBank());
        const int modes = bank == nullptr ? 1 : std::max(1, static_cast<int>(bank->programs.size()));
        const int m = roundIndex(value);
        if (m < 0 || m >= modes) return write("%s", "-");
        std::string program;
        if (bank != nullptr && static_cast<size_t>(m) < bank->programs.size()) {
            const int slot = bank->programs[static_cast<size_t>(m)];
            if (slot >= 0 && slot < static_cast<int>(programs.size())) program = programName(slot);
        }
        return write("%d: %s", m, program.empty() ? "-" : program.c_str());
    }
    return write("%.1f dB", value);  // the trims
}

bool FXCorePlugin::paramsTextToValue(uint32_t id, const char* display, double* value) const {
    if (display == nullptr) return false;
    if ((id >= param::kSw0 && id < param::kSw0 + 5) || id == param::kEnable || id == param::kTap) {
        const bool on = std::strstr(display, "press") != nullptr || std::strstr(display, "engag") != nullptr ||
                        std::strstr(display, "on") != nullptr;
        *value = on ? 1.0 : 0.0;
        return true;
    }
    if (id == param::kProgram) {
        for (int b = 0; b < bankCount(); ++b) {
            if (banks[static_cast<size_t>(b)].name == display) {
                *value = static_cast<double>(b);
                return true;
            }
        }
        return false;
    }
    char* end = nullptr;
    const double parsed = std::strtod(display, &end);
    // "nan" parses, but NaN is never a parameter value.
    if (end == display || std::isnan(parsed)) return false;
    *value = parsed;
    return true;
}

}  // namespace fxcoreplug
