// Plays the assembled kv-lumivex firmware on the emulated chip the way a guitarist
// would: knobs through setPots, footswitches and tap through the pin word (held
// past the 480-sample debounce), audio in on IN0/IN1, echoes out of OUT0/OUT1.

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <fstream>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "fxcore/fxcore_core.h"
#include "fxcore/fxcore_program.h"
#include "audio_measures.h"
#include "fxcoreplug/control_names.h"

namespace {

using testsupport::loudest;

constexpr uint32_t kSw4Pin = 1u << 4;
constexpr uint32_t kTapPin = 1u << 6;
constexpr size_t kHold = 600;         // a footswitch press, longer than the debounce
constexpr size_t kSettle = 96000;     // knob smoothing and time glide have finished
constexpr double kMinus90dB = 3.1623e-5;

const fxcore::FXCoreProgram& image() {
    static const fxcore::FXCoreProgram program = [] {
        fxcore::FXCoreProgram p;
        const auto result = p.loadFromFile(LUMIVEX_KV_HEX);
        EXPECT_TRUE(result.ok) << result.error;
        return p;
    }();
    return program;
}

struct Knobs {
    float time = 0.5f, repeats = 0.5f, mix = 0.5f, mod = 0.0f, tone = 1.0f, space = 0.0f;
};

struct Take {
    std::vector<float> left, right;
};

class Pedal {
public:
    explicit Pedal(const Knobs& k) {
        core.sampleRate = 48000.0;
        image().applyTo(core);
        turn(k);
        quiet(kSettle);
    }

    void turn(const Knobs& k) {
        const float pots[6] = {k.time, k.repeats, k.mix, k.mod, k.tone, k.space};
        core.setPots(pots);
    }

    // Plays n samples; source(i) gives the left and right input of sample i.
    template <class Source>
    Take play(size_t n, Source source) {
        Take t;
        t.left.resize(n);
        t.right.resize(n);
        for (size_t i = 0; i < n; ++i) {
            const auto [l, r] = source(i);
            const float in[4] = {l, r, 0.0f, 0.0f};
            core.run(in);
            t.left[i] = core.getOutput(0);
            t.right[i] = core.getOutput(1);
        }
        return t;
    }
    Take quiet(size_t n) {
        return play(n, [](size_t) { return std::pair{0.0f, 0.0f}; });
    }
    // A click of the given height on both channels, then silence.
    Take click(size_t n, float height = 0.5f) {
        return play(n, [height](size_t i) { return i == 0 ? std::pair{height, height} : std::pair{0.0f, 0.0f}; });
    }

    void press(uint32_t pin, size_t hold = kHold) {
        core.pins &= ~pin;
        quiet(hold);
        core.pins |= pin;
    }
    // Two taps whose press edges lie `interval` samples apart.
    void tap(size_t interval, size_t hold = kHold) {
        press(kTapPin, hold);
        quiet(interval - hold);
        press(kTapPin, hold);
    }

    std::array<float, 2> lamps() {
        float duty[2];
        core.readUserDuty(duty);
        return {duty[0], duty[1]};
    }

    fxcore::FXCoreCore core;
};

double energy(const std::vector<float>& x, size_t from, size_t to) {
    double e = 0.0;
    for (size_t i = from; i < to && i < x.size(); ++i) e += double{x[i]} * x[i];
    return e;
}

double peak(const std::vector<float>& x, size_t from = 0, size_t to = SIZE_MAX) {
    double p = 0.0;
    for (size_t i = from; i < to && i < x.size(); ++i) p = std::max(p, double{std::fabs(x[i])});
    return p;
}

// The pedal's echo time: where the first repeat of a click lands.
size_t echoTime(Pedal& pedal) {
    const Take t = pedal.click(20000);
    return loudest(t.left, 100, t.left.size());
}

}  // namespace

TEST(KvLumivexImage, LoadsCleanWithDefaultSfrPresetsAndAnLfoRate) {
    fxcore::FXCoreProgram p;
    const auto result = p.loadFromFile(LUMIVEX_KV_HEX);
    ASSERT_TRUE(result.ok) << result.error;
    EXPECT_TRUE(result.warnings.empty()) << result.warnings.front();
    EXPECT_GE(p.words.size(), 1u);
    EXPECT_LE(p.words.size(), 1024u);

    const auto defaults = fxcore::FXCoreProgram::defaultPresets();
    for (int i = 0; i < fxcore::FXCoreCore::kSfrCount; ++i) {
        if (i == fxcore::LFO0_RATE) continue;  // drives the modulation
        EXPECT_EQ(p.presets.sfr[i], defaults.sfr[i]) << "SFR " << i;
    }
    EXPECT_NE(p.presets.sfr[fxcore::LFO0_RATE], 0);
    EXPECT_EQ(p.presets.userInit[0], 0);
    EXPECT_EQ(p.presets.userInit[1], 0);
    EXPECT_EQ(p.presets.tapHoldSamples, defaults.tapHoldSamples);
    EXPECT_EQ(p.presets.switchDebounceSamples, defaults.switchDebounceSamples);
}

TEST(KvLumivexControls, NameTheTenUsedControlsBehindProseComments) {
    std::ifstream file(LUMIVEX_KV_CONTROLS);
    ASSERT_TRUE(file) << LUMIVEX_KV_CONTROLS;
    std::stringstream text;
    text << file.rdbuf();

    // Three prose comment lines, NAME and PANEL, then ten "#" lines.
    std::vector<std::string> lines;
    std::istringstream in(text.str());
    for (std::string line; std::getline(in, line);)
        if (!line.empty()) lines.push_back(line);
    ASSERT_EQ(lines.size(), 15u);
    for (size_t i = 0; i < 3; ++i) EXPECT_EQ(lines[i][0], ';') << lines[i];
    for (size_t i = 5; i < lines.size(); ++i) EXPECT_EQ(lines[i][0], '#') << lines[i];

    // Parsed, the prose names nothing; the firmware's controls are named and
    // everything else stays unnamed, so the host hides it.
    const fxcoreplug::ControlNames names = fxcoreplug::ControlNames::parse(text.str());
    EXPECT_EQ(names.name, "Lumivex");
    EXPECT_EQ(names.panel, "lumivex");
    const std::array<std::string, 6> knobs = {"Time", "Repeats", "Mix", "Mod", "Tone", "Space"};
    for (size_t i = 0; i < knobs.size(); ++i) {
        EXPECT_EQ(names.pots[i].type, fxcoreplug::ControlNames::Slot::Knob) << "POT" << i;
        EXPECT_EQ(names.pots[i].label, knobs[i]);
    }
    EXPECT_EQ(names.tap, "Tap");
    EXPECT_EQ(names.switches, (std::array<std::string, 5>{"", "", "", "", "Bypass"}));
    EXPECT_EQ(names.enable, "");
    EXPECT_EQ(names.users, (std::array<std::string, 2>{"Tempo", "On"}));
    EXPECT_FALSE(names.ledsCombined);
}

TEST(KvLumivexEcho, TimeKnobSpansShortSlapToTheLongestEcho) {
    // Repeats land at whole multiples of the echo time, on both channels.
    const struct { float knob; size_t samples; } settings[] = {
        {0.0f, 1200}, {0.5f, 8700}, {1.0f, 16196}};  // 25 ms, 181 ms, 337 ms
    for (const auto& s : settings) {
        Pedal pedal({.time = s.knob});
        const Take t = pedal.click(3 * s.samples + 200);
        for (const auto* ch : {&t.left, &t.right}) {
            for (size_t n = 1; n <= 3; ++n) {
                const size_t at = loudest(*ch, n * s.samples - s.samples / 2, n * s.samples + s.samples / 2);
                EXPECT_EQ(at, n * s.samples) << "knob " << s.knob << " repeat " << n;
            }
        }
        EXPECT_NEAR(t.left[s.samples], 0.5, 0.005) << "the first repeat comes back at full level";
    }
}

TEST(KvLumivexEcho, RepeatsSetTheDecayPerEcho) {
    for (const float repeats : {0.25f, 0.5f, 0.75f, 1.0f}) {
        Pedal pedal({.repeats = repeats});
        const Take t = pedal.click(5 * 8700);
        for (size_t n = 1; n <= 3; ++n) {
            const double ratio = t.left[(n + 1) * 8700] / t.left[n * 8700];
            EXPECT_NEAR(ratio, 0.97 * repeats, 0.01) << "repeats " << repeats << ", echo " << n;
        }
    }
    Pedal none({.repeats = 0.0f});
    const Take t = none.click(3 * 8700);
    EXPECT_NEAR(t.left[8700], 0.5, 0.005);
    EXPECT_LT(peak(t.left, 2 * 8700 - 100, 2 * 8700 + 100), 1e-4) << "without repeats only one echo comes back";
}

TEST(KvLumivexEcho, TimeChangesGlideInsteadOfJumping) {
    // From the longest echo to the shortest the read position sweeps at most half a
    // sample per sample, so 20000 samples after the turn it is still far out.
    Pedal pedal({.time = 1.0f, .repeats = 0.0f});
    pedal.turn({.time = 0.0f, .repeats = 0.0f});
    pedal.quiet(20000);
    const Take during = pedal.click(20000);
    const size_t heard = loudest(during.left, 100, during.left.size());
    EXPECT_GT(heard, 3000u);
    EXPECT_LT(heard, 16196u - 10000u);
    EXPECT_GT(peak(during.left, 100), 0.05) << "the echo is still heard, pitched by the sweep";
    pedal.quiet(kSettle);
    EXPECT_EQ(echoTime(pedal), 1200u);
}

TEST(KvLumivexEcho, LeftAndRightAreSeparateLines) {
    Pedal pedal({});
    const Take t = pedal.play(3 * 8700, [](size_t i) { return i == 0 ? std::pair{0.5f, 0.0f} : std::pair{0.0f, 0.0f}; });
    EXPECT_EQ(peak(t.right), 0.0);
    EXPECT_NEAR(t.left[8700], 0.5, 0.005);
    EXPECT_NEAR(t.left[2 * 8700], 0.5 * 0.97 * 0.5, 0.005);
}

TEST(KvLumivexTap, TwoTapsSetTheEchoUntilTheTimeKnobMoves) {
    Pedal pedal({});
    pedal.tap(12000);
    pedal.quiet(kSettle);
    EXPECT_EQ(echoTime(pedal), 12000u);

    pedal.turn({.time = 0.51f});  // a nudge below 1/64 of a turn keeps the tapped time
    pedal.quiet(kSettle);
    EXPECT_EQ(echoTime(pedal), 12000u);

    pedal.turn({.time = 0.3f});  // a real turn hands the time back to the knob
    pedal.quiet(kSettle);
    Pedal reference({.time = 0.3f});
    EXPECT_EQ(echoTime(pedal), echoTime(reference));

    pedal.tap(9000);  // and a new tap takes it again
    pedal.quiet(kSettle);
    EXPECT_EQ(echoTime(pedal), 9000u);
}

TEST(KvLumivexTap, IntervalsBeyondTheLongestEchoAreHalved) {
    Pedal pedal({});
    pedal.tap(24000);  // 120 BPM quarter notes: echoes on the eighths
    pedal.quiet(kSettle);
    EXPECT_EQ(echoTime(pedal), 12000u);
    pedal.tap(32700);  // still too long after halving: the longest echo
    pedal.quiet(kSettle);
    EXPECT_EQ(echoTime(pedal), 16200u);
    pedal.tap(1100, 500);  // quicker than the shortest echo
    pedal.quiet(kSettle);
    EXPECT_EQ(echoTime(pedal), 1200u);
}

TEST(KvLumivexBypass, Sw4TogglesTheEffectAndLetsTheEchoesTrailOff) {
    Pedal pedal({.mix = 1.0f});  // echoes only while engaged
    pedal.lamps();
    pedal.quiet(1000);
    EXPECT_EQ(pedal.lamps()[1], 1.0f) << "engaged from the start";

    // A note, then the bypass press while its echoes are under way.
    Take before = pedal.click(2000);
    EXPECT_LT(std::fabs(before.left[0]), 0.001f) << "engaged at full mix: no dry";
    pedal.press(kSw4Pin);
    pedal.lamps();
    pedal.quiet(3000);
    const Take bypassed = pedal.click(3 * 8700);  // a second note, 5600 samples after the first
    EXPECT_EQ(pedal.lamps()[1], 0.0f);
    EXPECT_NEAR(bypassed.left[0], 0.5, 1e-4) << "bypassed: the dry note at full level";
    const size_t echo1 = 8700 - 5600, echo2 = 2 * 8700 - 5600;
    EXPECT_NEAR(bypassed.left[echo1], 0.5, 0.005) << "the first note's echoes keep going";
    EXPECT_NEAR(bypassed.left[echo2], 0.5 * 0.485, 0.005);
    EXPECT_LT(peak(bypassed.left, 8700 - 500, 8700 + 500), 1e-4) << "the note played while bypassed never enters the echo";

    pedal.press(kSw4Pin);
    pedal.quiet(2000);
    pedal.lamps();
    const Take again = pedal.click(8800);
    EXPECT_EQ(pedal.lamps()[1], 1.0f);
    EXPECT_LT(std::fabs(again.left[0]), 0.001f);
    EXPECT_NEAR(again.left[8700], 0.5, 0.005);
}

TEST(KvLumivexLamps, TempoLampFlashesOncePerEcho) {
    const auto blinkPeriods = [](Pedal& pedal, size_t samples) {
        std::vector<size_t> rises;
        pedal.lamps();
        pedal.quiet(1);
        bool was = pedal.lamps()[0] > 0.5f;  // one sample: the lamp's state
        for (size_t i = 0; i < samples; ++i) {
            pedal.quiet(1);
            const bool on = pedal.lamps()[0] > 0.5f;
            if (on && !was) rises.push_back(i);
            was = on;
        }
        std::vector<size_t> periods;
        for (size_t i = 1; i < rises.size(); ++i) periods.push_back(rises[i] - rises[i - 1]);
        return periods;
    };
    Pedal knob({});
    const auto periods = blinkPeriods(knob, 5 * 8700);
    ASSERT_GE(periods.size(), 3u);
    for (size_t p : periods) EXPECT_EQ(p, 8700u);
    knob.lamps();
    knob.quiet(10 * 8700);
    EXPECT_NEAR(knob.lamps()[0], 2400.0 / 8700.0, 1e-3) << "a 50 ms flash per period";

    Pedal tapped({});
    tapped.tap(12000);
    tapped.quiet(kSettle);
    tapped.lamps();
    tapped.quiet(10 * 12000);
    EXPECT_NEAR(tapped.lamps()[0], 2400.0 / 12000.0, 1e-3);

    Pedal shortest({.time = 0.0f});
    shortest.lamps();
    shortest.quiet(10 * 1200);
    EXPECT_NEAR(shortest.lamps()[0], 0.5, 1e-3) << "short periods flash for half the period";
}

TEST(KvLumivexModulation, ModWobblesTheEchoTimeInQuadrature) {
    // Clicks every 12000 samples meet the 0.7 Hz LFO at different phases.
    const auto echoPositions = [](float mod) {
        Pedal pedal({.repeats = 0.0f, .mod = mod});
        std::vector<std::pair<size_t, size_t>> positions;
        for (int k = 0; k < 12; ++k) {
            const Take t = pedal.click(12000);
            positions.push_back({loudest(t.left, 100, 12000), loudest(t.right, 100, 12000)});
        }
        return positions;
    };
    for (const auto& [l, r] : echoPositions(0.0f)) {
        EXPECT_EQ(l, 8700u);
        EXPECT_EQ(r, 8700u);
    }
    size_t lo = 99999, hi = 0, differ = 0;
    for (const auto& [l, r] : echoPositions(1.0f)) {
        for (size_t p : {l, r}) {
            EXPECT_GE(p, 8700u);
            EXPECT_LE(p, 8700u + 129u);
            lo = std::min(lo, p);
            hi = std::max(hi, p);
        }
        if (l != r) ++differ;
    }
    EXPECT_GT(hi - lo, 80u) << "the wobble covers most of its 128-sample depth";
    EXPECT_GT(differ, 8u) << "left and right wobble out of phase";
}

TEST(KvLumivexTone, ToneDarkensEachTripRoundTheLoop) {
    // Burst level of echo n, for a sine burst of the given frequency.
    const auto echoLevels = [](float tone, double hz) {
        Pedal pedal({.repeats = 0.9f, .tone = tone});
        const Take t = pedal.play(3 * 8700, [hz](size_t i) {
            const float s = i < 960 ? 0.25f * static_cast<float>(std::sin(2 * M_PI * hz * i / 48000.0)) : 0.0f;
            return std::pair{s, s};
        });
        std::array<double, 3> e{};
        for (size_t n = 0; n < 3; ++n) e[n] = std::sqrt(energy(t.left, n * 8700, n * 8700 + 1500));
        return e;
    };
    const auto bright = echoLevels(1.0f, 6000.0);
    EXPECT_NEAR(bright[1] / bright[0], 1.0, 0.03);
    const auto darkHigh = echoLevels(0.0f, 6000.0);
    const auto darkLow = echoLevels(0.0f, 150.0);
    EXPECT_LT(darkHigh[1] / darkHigh[0], 0.1) << "highs are cut";
    EXPECT_GT(darkLow[1] / darkLow[0], 0.7) << "lows pass";
    // The filter sits in the loop: the second trip cuts the highs again, where a
    // filter on the output alone would leave the repeats' own ratio of 0.873.
    EXPECT_LT(darkHigh[2] / darkHigh[1], 0.25);
    EXPECT_GT(darkLow[2] / darkLow[1], 0.6);
}

TEST(KvLumivexSpace, SpaceSmearsTheEchoWithoutChangingItsLevel) {
    const auto firstEcho = [](float space) {
        Pedal pedal({.repeats = 0.0f, .space = space});
        const Take t = pedal.click(2 * 8700);
        return std::pair{peak(t.left, 100), std::sqrt(energy(t.left, 100, t.left.size()))};
    };
    const auto [clearPeak, clearLevel] = firstEcho(0.0f);
    const auto [widePeak, wideLevel] = firstEcho(1.0f);
    EXPECT_LT(widePeak, 0.5 * clearPeak) << "the click is spread out in time";
    EXPECT_NEAR(wideLevel / clearLevel, 1.0, 0.05) << "the diffuser passes every frequency at unit gain";
}

TEST(KvLumivexSignal, SilenceInGivesSilenceOut) {
    Pedal fresh({.repeats = 1.0f, .mix = 0.7f, .mod = 1.0f, .tone = 0.3f, .space = 1.0f});
    const Take quietFromStart = fresh.quiet(3 * 48000);
    EXPECT_EQ(peak(quietFromStart.left), 0.0);
    EXPECT_EQ(peak(quietFromStart.right), 0.0);

    // After playing loud, the tail dies away completely: no DC, no idle noise.
    for (const float repeats : {0.6f, 1.0f}) {
        Pedal pedal({.repeats = repeats, .mod = 1.0f, .tone = 0.7f, .space = 0.6f});
        uint32_t seed = 1;
        pedal.play(2 * 48000, [&seed](size_t) {
            seed = seed * 1664525u + 1013904223u;
            const float s = static_cast<float>(static_cast<int32_t>(seed)) / 2147483648.0f;
            return std::pair{s, -s};
        });
        pedal.quiet(30 * 48000);
        const Take idle = pedal.quiet(48000);
        for (const auto* ch : {&idle.left, &idle.right}) {
            EXPECT_LT(peak(*ch), kMinus90dB) << "repeats " << repeats;
            double sum = 0.0;
            for (float v : *ch) sum += v;
            EXPECT_LT(std::fabs(sum / ch->size()), 1e-7) << "repeats " << repeats;
        }
    }
}

TEST(KvLumivexSignal, FullScaleInputStaysWithinFullScale) {
    Pedal pedal({.time = 0.1f, .repeats = 1.0f, .mix = 0.5f, .mod = 1.0f, .tone = 1.0f, .space = 1.0f});
    uint32_t seed = 7;
    const Take t = pedal.play(4 * 48000, [&seed](size_t i) {
        seed = seed * 1664525u + 1013904223u;
        const float square = (i / 240) % 2 ? 1.0f : -1.0f;
        const float noise = (seed >> 31) ? 1.0f : -1.0f;
        return i < 2 * 48000 ? std::pair{square, noise} : std::pair{-square, square};
    });
    for (const auto* ch : {&t.left, &t.right}) {
        for (float v : *ch) {
            ASSERT_TRUE(std::isfinite(v));
            ASSERT_LE(std::fabs(v), 1.0f);
        }
        EXPECT_GT(peak(*ch), 0.9) << "the pedal is driven hard";
    }
}
