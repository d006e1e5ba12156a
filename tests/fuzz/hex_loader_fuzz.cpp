// libFuzzer target for the program-image loader: arbitrary bytes as HEX text.
// A load must never crash, throw or leak; its result must be consistent and
// repeatable (a second load of the same text starts from scratch and gives the
// same image); an image that loaded must install into a core and run.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include "fxcore/fxcore_core.h"
#include "fxcore/fxcore_program.h"

namespace {

void require(bool condition) {
    if (!condition) std::abort();
}

bool samePresets(const fxcore::FXCoreCore::Presets& a, const fxcore::FXCoreCore::Presets& b) {
    return std::memcmp(&a, &b, sizeof a) == 0;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);

    fxcore::FXCoreProgram image;
    image.name = "fuzz";
    const fxcore::FXCoreProgram::Result first = image.loadFromText(text);
    require(first.ok == first.error.empty());
    require(first.ok ? !image.words.empty() && image.words.size() <= fxcore::FXCoreCore::kProgramWords
                     : image.words.empty());
    require(image.name == "fuzz");

    const auto words = image.words;
    const auto presets = image.presets;
    const fxcore::FXCoreProgram::Result second = image.loadFromText(text);
    require(second.ok == first.ok && second.error == first.error && second.warnings == first.warnings);
    require(image.words == words && samePresets(image.presets, presets));

    if (first.ok) {
        auto core = std::make_unique<fxcore::FXCoreCore>();
        require(image.applyTo(*core));
        const float in[4] = {0.5f, -0.25f, 0.999f, -1.0f};
        for (int k = 0; k < fxcore::FXCoreCore::kPots; ++k) core->setPot(k, static_cast<float>(k) / 5.0f);
        core->setPin(0, true);
        for (int i = 0; i < 8; ++i) core->run(in);
        float out[4];
        core->getOutputs(out);
    }
    return 0;
}
