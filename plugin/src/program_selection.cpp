// Which program runs: Program picks a bank, Mode a program in it; the audio thread
// installs a changed selection or a newly loaded custom image into the chip.
#include <algorithm>

#include "fxcoreplug/fxcore_plugin.h"
#include "fxcoreplug/param_ids.h"

namespace fxcoreplug {

namespace {
const char* const kLoadedBank = "(loaded)";
}  // namespace

int FXCorePlugin::resolveProgramIndex() const {
    const int count = publishedBanks.load(std::memory_order_acquire);
    if (count == 0) return 0;
    const int b = std::clamp(roundIndex(paramValue(param::kProgram)), 0, count - 1);
    const std::vector<int>& list = banks[static_cast<size_t>(b)].programs;
    if (list.empty()) return 0;
    const int m = std::clamp(roundIndex(paramValue(param::kMode)), 0, static_cast<int>(list.size()) - 1);
    return list[static_cast<size_t>(m)];
}

void FXCorePlugin::applyProgramIfChanged() {
    const int idx = std::clamp(resolveProgramIndex(), 0, static_cast<int>(programs.size()) - 1);
    const int32_t generation = customGeneration.load(std::memory_order_acquire);
    if (reinstallRequested.load(std::memory_order_relaxed) && reinstallRequested.exchange(false, std::memory_order_acq_rel))
        lastAppliedProgram = -1;
    if (idx == lastAppliedProgram && generation == lastAppliedGeneration) return;

    lastAppliedProgram = idx;
    lastAppliedGeneration = generation;
    activeProgram.store(idx, std::memory_order_release);
    requestParamRescan();
    if (idx == customSlot()) {
        if (const fxcore::FXCoreProgram* image = custom.latest()) image->applyTo(core);
    } else if (const auto& image = programs[static_cast<size_t>(idx)]) {
        image->applyTo(core);
    }
    // An empty slot leaves the chip running what it ran, or nothing.
}

void FXCorePlugin::requestParamRescan() {
    paramRescanPending.exchange(true, std::memory_order_acq_rel);
    if (host != nullptr && host->request_callback != nullptr) host->request_callback(host);
}

void FXCorePlugin::onMainThread() {
    if (!paramRescanPending.exchange(false, std::memory_order_acq_rel) || host == nullptr ||
        host->get_extension == nullptr)
        return;
    const auto* params = static_cast<const clap_host_params*>(host->get_extension(host, CLAP_EXT_PARAMS));
    if (params != nullptr && params->rescan != nullptr) params->rescan(host, CLAP_PARAM_RESCAN_INFO);
}

const ControlNames& FXCorePlugin::activeControlNames() const {
    static const ControlNames none;
    const int32_t active = activeProgram.load(std::memory_order_acquire);
    if (active < 0 || active >= static_cast<int32_t>(controlNames.size())) return none;
    return controlNames[static_cast<size_t>(active)];
}

int FXCorePlugin::modeCountFor(int bank) const {
    if (bank < 0 || bank >= bankCount()) return 1;
    return std::max(1, static_cast<int>(banks[static_cast<size_t>(bank)].programs.size()));
}

std::string FXCorePlugin::programName(int slot) const {
    if (slot == customSlot()) return customLoaded ? customName : "(no custom program)";
    if (slot < 0 || slot >= customSlot() || !programs[static_cast<size_t>(slot)]) return {};
    return programs[static_cast<size_t>(slot)]->name;
}

std::string FXCorePlugin::bankName(int bank) const {
    if (bank < 0 || bank >= bankCount()) return {};
    return banks[static_cast<size_t>(bank)].name;
}

bool FXCorePlugin::loadCustomHex(const std::string& hex, const std::string& name, std::string& error) {
    // Loaded into the exchange's own slot, which no other thread reads until publish.
    fxcore::FXCoreProgram& image = custom.loading();
    image = fxcore::FXCoreProgram{};
    const fxcore::FXCoreProgram::Result result = image.loadFromText(hex);
    if (!result.ok) {
        error = result.error;
        return false;
    }
    image.name = name;
    custom.publish();
    customHex = hex;
    customName = name;
    customLoaded = true;

    auto loaded = std::find_if(banks.begin(), banks.end(), [](const Bank& b) { return b.name == kLoadedBank; });
    if (loaded == banks.end()) {
        // Within the reserved storage: no bank the audio thread reads moves.
        loaded = banks.insert(banks.end(), Bank{kLoadedBank, {customSlot()}});
        publishedBanks.store(static_cast<int>(banks.size()), std::memory_order_release);
    }
    // Stored directly: neither queued nor reported to the host.
    values[positionOf(param::kProgram)].store(static_cast<double>(loaded - banks.begin()), std::memory_order_release);
    values[positionOf(param::kMode)].store(0.0, std::memory_order_release);
    customGeneration.fetch_add(1, std::memory_order_acq_rel);
    return true;
}

}  // namespace fxcoreplug
