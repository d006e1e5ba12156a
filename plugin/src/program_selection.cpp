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
    if (!paramRescanPending.exchange(false, std::memory_order_acq_rel)) return;
    const clap_host_params* params = hostParams();
    if (params != nullptr && params->rescan != nullptr) params->rescan(host, CLAP_PARAM_RESCAN_INFO);
}

const clap_host_params* FXCorePlugin::hostParams() const {
    if (host == nullptr || host->get_extension == nullptr) return nullptr;
    return static_cast<const clap_host_params*>(host->get_extension(host, CLAP_EXT_PARAMS));
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
    if (!prepareCustomHex(hex, error)) return false;
    installPreparedCustom(hex, name);
    return true;
}

bool FXCorePlugin::prepareCustomHex(const std::string& hex, std::string& error) {
    // Loaded into the exchange's own slot, which no other thread reads until publish.
    fxcore::FXCoreProgram& image = custom.loading();
    image = fxcore::FXCoreProgram{};
    const fxcore::FXCoreProgram::Result result = image.loadFromText(hex);
    if (!result.ok) error = result.error;
    return result.ok;
}

void FXCorePlugin::installPreparedCustom(const std::string& hex, const std::string& name) {
    // Everything that allocates comes first: should it throw, nothing has changed yet.
    custom.loading().name = name;
    std::string hexCopy = hex;
    std::string nameCopy = name;
    const auto found = std::find_if(banks.begin(), banks.end(), [](const Bank& b) { return b.name == kLoadedBank; });
    const bool newBank = found == banks.end();
    Bank bank = newBank ? Bank{kLoadedBank, {customSlot()}} : Bank{};
    const auto loadedBank = static_cast<double>(found - banks.begin());  // the new bank's index when appended

    custom.publish();
    customHex.swap(hexCopy);
    customName.swap(nameCopy);
    customLoaded = true;
    if (newBank) {
        // Within the reserved storage, so the move neither allocates nor moves a bank
        // the audio thread reads.
        banks.push_back(std::move(bank));
        publishedBanks.store(static_cast<int>(banks.size()), std::memory_order_release);
    }
    // Stored directly: neither queued nor reported to the host.
    values[positionOf(param::kProgram)].store(loadedBank, std::memory_order_release);
    values[positionOf(param::kMode)].store(0.0, std::memory_order_release);
    customGeneration.fetch_add(1, std::memory_order_acq_rel);
}

}  // namespace fxcoreplug
