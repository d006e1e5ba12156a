#include "standalone/audio_device_prefs.h"

#include <algorithm>
#include <optional>
#include <string>
#include <vector>

#include "standalone/lifecycle.h"
#include "standalone/standalone_entry.h"
#include "standalone/user_defaults.h"

namespace fxcore::standalone {

namespace {

using brevlin::clap_host::standalone::AudioDeviceInfo;
using brevlin::clap_host::standalone::StandaloneHost;
using Devices = std::vector<AudioDeviceInfo>;
using Selection = StandaloneHost::StartupSelection;

// Devices are remembered by name, and only the very same bytes name the same
// device: a device that was renamed, even in letter case only, may well be
// another one.
bool findByName(const Devices& devices, const std::string& name, AudioDeviceInfo& info) {
    const auto found = std::find_if(devices.begin(), devices.end(), [&](const auto& d) { return d.name == name; });
    if (found == devices.end()) return false;
    info = *found;
    return true;
}

bool offers(const AudioDeviceInfo& device, unsigned int rate) {
    return std::find(device.sampleRates.begin(), device.sampleRates.end(), rate) != device.sampleRates.end();
}

// An absent or empty name finds nothing: the stream last ran without that side.
bool findRemembered(const Devices& devices, const std::optional<std::string>& name, AudioDeviceInfo& info) {
    return name && !name->empty() && findByName(devices, *name, info);
}

// The remembered devices, as far as they are present now, at the remembered rate.
// A rate that a present device does not offer discards the whole choice: the host's
// own default then serves better than a device at a rate the user never chose.
std::optional<Selection> rememberedSelection(StandaloneHost& host, const std::optional<std::string>& inputName,
                                             const std::optional<std::string>& outputName, int32_t rate) {
    const Devices inputs = host.getInputAudioDevices();
    const Devices outputs = host.getOutputAudioDevices();
    AudioDeviceInfo input, output;
    const bool foundInput = findRemembered(inputs, inputName, input);
    const bool foundOutput = findRemembered(outputs, outputName, output);
    if (!foundInput && !foundOutput) return std::nullopt;
    const auto fits = [rate](bool found, const AudioDeviceInfo& d) {
        return !found || offers(d, static_cast<unsigned int>(rate));
    };
    if (rate <= 0 || !fits(foundInput, input) || !fits(foundOutput, output)) return std::nullopt;
    return Selection{true, foundInput ? input.ID : 0, foundOutput ? output.ID : 0, rate};
}

// A rate both devices offer: the output's current one, else the input's, else the
// highest they share. None when they share none.
std::optional<unsigned int> sharedRate(const AudioDeviceInfo& input, const AudioDeviceInfo& output) {
    const auto both = [&](unsigned int rate) { return offers(input, rate) && offers(output, rate); };
    if (both(output.currentSampleRate)) return output.currentSampleRate;
    if (both(input.currentSampleRate)) return input.currentSampleRate;
    std::optional<unsigned int> highest;
    for (unsigned int rate : input.sampleRates)
        if (offers(output, rate) && (!highest || rate > *highest)) highest = rate;
    return highest;
}

// The system's default devices at a rate both offer; with none in common the
// output alone, at its current rate, since a stream without input still plays.
std::optional<Selection> systemDefaultSelection(const Devices& inputs, const Devices& outputs) {
    const auto input = std::find_if(inputs.begin(), inputs.end(), [](const auto& d) { return d.isDefaultInput; });
    const auto output = std::find_if(outputs.begin(), outputs.end(), [](const auto& d) { return d.isDefaultOutput; });
    if (input == inputs.end() || output == outputs.end()) return std::nullopt;
    const std::optional<unsigned int> rate = sharedRate(*input, *output);
    if (!rate) return Selection{true, 0, output->ID, static_cast<int32_t>(output->currentSampleRate)};
    if (*rate == 0) return std::nullopt;
    return Selection{true, input->ID, output->ID, static_cast<int32_t>(*rate)};
}

}  // namespace

void installAudioDevicePrefs() {
    StandaloneHost* host = brevlin::clap_host::standalone::getStandaloneHost();
    if (host == nullptr) return;
    UserDefaults::removeLeftoverTemporaryFiles();
    const UserDefaults defaults = UserDefaults::read();
    const std::optional<std::string> inputName = defaults.getString(kAudioInputDeviceKey);
    const std::optional<std::string> outputName = defaults.getString(kAudioOutputDeviceKey);
    host->guaranteeRtAudioDAC();

    std::optional<Selection> selection;
    std::optional<AudioDeviceChoice> remembered;
    if (inputName || outputName) {
        // The host's rates are 32-bit: a larger stored number keeps its low 32 bits.
        const auto rate = static_cast<int32_t>(defaults.getInteger(kAudioSampleRateKey).value_or(0));
        selection = rememberedSelection(*host, inputName, outputName, rate);
        remembered = AudioDeviceChoice{inputName.value_or(""), outputName.value_or(""), rate};
    } else {
        selection = systemDefaultSelection(host->getInputAudioDevices(), host->getOutputAudioDevices());
    }
    // Without a selection the host starts on its own default choice.
    if (selection) host->startupSelection = *selection;

    FXCoreAudioPrefsWatcher::startForProcess().rememberedAtStart(std::move(remembered));
}

}  // namespace fxcore::standalone
