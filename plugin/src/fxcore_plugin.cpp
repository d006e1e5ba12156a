// Construction of the plug-in object: the firmware into program slots, the slots
// into banks, the initial selection; activation and reset.
#include "fxcoreplug/fxcore_plugin.h"

#include <algorithm>
#include <cstring>

#include "clap_thunks.h"
#include "fxcoreedit/panel_editor.h"
#include "fxcoreplug/param_ids.h"

namespace fxcoreplug {

namespace {

// "echo_2" is mode 2 of bank "echo"; a name without a '_' followed by digits only
// is a bank of its own at mode 0.
void bankAndMode(const std::string& name, std::string& bank, size_t& mode) {
    // A larger mode number would need that many list entries; such a name stays whole.
    constexpr size_t kModeLimit = 65536;
    const size_t underscore = name.rfind('_');
    if (underscore != std::string::npos && underscore + 1 < name.size()) {
        size_t value = 0;
        bool digitsOnly = true;
        for (size_t i = underscore + 1; i < name.size() && digitsOnly; ++i) {
            digitsOnly = name[i] >= '0' && name[i] <= '9';
            value = std::min(value * 10 + static_cast<size_t>(name[i] - '0'), kModeLimit);
        }
        if (digitsOnly && value < kModeLimit) {
            bank = name.substr(0, underscore);
            mode = value;
            return;
        }
    }
    bank = name;
    mode = 0;
}

}  // namespace

FXCorePlugin::FXCorePlugin(const clap_host* host)
    : FXCorePlugin(host, std::span<const EmbeddedProgram>(kEmbeddedPrograms, static_cast<size_t>(kEmbeddedProgramCount))) {}

FXCorePlugin::FXCorePlugin(const clap_host* hostIn, std::span<const EmbeddedProgram> firmware) : host(hostIn) {
    fillClapPlugin(plugin, this);
    const auto& defs = paramDefs();
    for (size_t i = 0; i < kParamCount; ++i) values[i].store(defs[i].def, std::memory_order_relaxed);
    loadFirmware(firmware);
    buildBanks();
    chooseInitialBank();
}

// A remaining panel goes first, without a close of its own (its destructor closes
// it); the host hears first that its timer and fd are no longer wanted.
FXCorePlugin::~FXCorePlugin() {
    unregisterGui();
    editor.reset();
}

void FXCorePlugin::loadFirmware(std::span<const EmbeddedProgram> firmware) {
    programs.resize(firmware.size() + 1);  // the last slot is the custom slot
    controlNames.resize(firmware.size() + 1);
    for (size_t i = 0; i < firmware.size(); ++i) {
        const EmbeddedProgram& row = firmware[i];
        auto image = std::make_unique<fxcore::FXCoreProgram>();
        if (row.hexText != nullptr && image->loadFromText(row.hexText).ok) {
            image->name = row.name != nullptr ? row.name : "";
            programs[i] = std::move(image);
        }
        if (row.controlNamesText != nullptr && row.controlNamesText[0] != '\0')
            controlNames[i] = ControlNames::parse(row.controlNamesText);
    }
}

void FXCorePlugin::buildBanks() {
    // Room for one bank per compiled-in program and "(loaded)": appending later never
    // moves a bank the audio thread may be reading.
    banks.reserve(programs.size());
    for (int slot = 0; slot < customSlot(); ++slot) {
        if (!programs[static_cast<size_t>(slot)]) continue;
        std::string bankName;
        size_t mode = 0;
        bankAndMode(programs[static_cast<size_t>(slot)]->name, bankName, mode);
        auto bank = std::find_if(banks.begin(), banks.end(), [&](const Bank& b) { return b.name == bankName; });
        if (bank == banks.end()) bank = banks.insert(banks.end(), Bank{bankName, {}});
        if (mode >= bank->programs.size()) bank->programs.resize(mode + 1, -1);
        bank->programs[mode] = slot;
    }
    // Modes no program named play the bank's lowest-numbered mode.
    for (Bank& bank : banks) {
        const auto first = std::find_if(bank.programs.begin(), bank.programs.end(), [](int p) { return p >= 0; });
        const int fill = first == bank.programs.end() ? -1 : *first;
        std::replace_if(bank.programs.begin(), bank.programs.end(), [](int p) { return p < 0; }, fill);
    }
    publishedBanks.store(static_cast<int>(banks.size()), std::memory_order_release);
}

void FXCorePlugin::chooseInitialBank() {
    for (const char* preferred : {"kv-lumivex", "passthrough"}) {
        for (size_t j = 0; j < banks.size(); ++j) {
            if (banks[j].name != preferred) continue;
            values[positionOf(param::kProgram)].store(static_cast<double>(j), std::memory_order_release);
            activeProgram.store(banks[j].programs.empty() ? 0 : banks[j].programs.front(), std::memory_order_release);
            return;
        }
    }
}

bool FXCorePlugin::activate(double rate, uint32_t, uint32_t) {
    sampleRate = rate > 0.0 ? rate : 48000.0;
    core.sampleRate = sampleRate;
    requestReinstall();  // the next block installs again, which resets the chip
    switchPulses.fill(0);
    return true;
}

void FXCorePlugin::reset() {
    core.reset();
    switchPulses.fill(0);
}

}  // namespace fxcoreplug
