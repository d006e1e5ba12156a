// The plug-in with its shipped kv-lumivex echo, played through host blocks: the
// block size the host picks does not change a single output sample, and a MIDI tap
// sets the echo time through the chip's tap unit.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

#include "audio_measures.h"
#include "host_side.h"

namespace {

using namespace audiopath;
using testsupport::loudest;

constexpr double kRate = 48000.0;

struct Knobs {
    double time = 0.0, repeats = 0.5, mix = 0.5, mod = 0.0, tone = 1.0, space = 0.0;
};

std::unique_ptr<FXCorePlugin> shippedPedal(FakeHost& host, const Knobs& k) {
    auto p = std::make_unique<FXCorePlugin>(&host.host);
    p->activate(kRate, 1, 4096);
    const double pots[6] = {k.time, k.repeats, k.mix, k.mod, k.tone, k.space};
    for (uint32_t i = 0; i < 6; ++i) p->storeParam(param::kPot0 + i, pots[i]);
    return p;
}

// An event at an absolute sample of the whole take.
struct Timed {
    uint64_t at;
    Event event;
};

struct Take {
    std::vector<float> left, right;
    std::vector<Seen> echoes;
};

// Plays `input` (one value per sample, the right channel at a third of it, negated)
// through the plug-in in blocks whose sizes cycle through `sizes`, handing each
// event to the block that contains it at its offset in that block.
Take play(FXCorePlugin& p, const std::vector<float>& input, const std::vector<uint32_t>& sizes,
          const std::vector<Timed>& events = {}) {
    Take t;
    uint64_t start = 0;
    size_t next = 0;
    for (size_t block = 0; start < input.size(); ++block) {
        const auto n = static_cast<uint32_t>(std::min<uint64_t>(sizes[block % sizes.size()], input.size() - start));
        Block b(n);
        for (uint32_t k = 0; k < n; ++k) {
            b.in(0)[k] = input[start + k];
            b.in(1)[k] = -input[start + k] / 3.0f;
        }
        InputEvents in;
        while (next < events.size() && events[next].at < start + n) {
            Event e = events[next++].event;
            e.header.time = static_cast<uint32_t>(e.header.time - start);
            in.add(e);
        }
        OutputEvents out;
        b.events(in).output(out);
        EXPECT_EQ(b.runOn(p), CLAP_PROCESS_CONTINUE);
        t.left.insert(t.left.end(), b.out(0).begin(), b.out(0).end());
        t.right.insert(t.right.end(), b.out(1).begin(), b.out(1).end());
        const std::vector<Seen> s = out.seen();
        t.echoes.insert(t.echoes.end(), s.begin(), s.end());
        start += n;
    }
    return t;
}

Timed at(uint64_t sample, Event e) {
    e.header.time = static_cast<uint32_t>(sample);  // rebased per block by play
    return {sample, e};
}

// Where the first repeat of a click lands, in samples after the click.
size_t echoTime(FXCorePlugin& p) {
    std::vector<float> click(20000, 0.0f);
    click[0] = 0.5f;
    const Take t = play(p, click, {4096});
    const size_t left = loudest(t.left, 100, t.left.size());
    EXPECT_EQ(loudest(t.right, 100, t.right.size()), left) << "both channels repeat together";
    return left;
}

void settle(FXCorePlugin& p, size_t samples = 96000) { play(p, std::vector<float>(samples, 0.0f), {4096}); }

TEST(ShippedFirmware, HostBlockSizesGiveTheSameOutputAsOneSampleAtATime) {
    // Plucks of a decaying tone, every knob away from its end, and control changes
    // from the host, the MIDI map and the panel along the way.
    std::vector<float> input(60000, 0.0f);
    for (size_t i = 0; i < input.size(); ++i) {
        const size_t phase = i % 7000;
        input[i] = 0.4f * std::exp(-static_cast<float>(phase) / 900.0f) *
                   std::sin(2.0f * 3.14159265f * 220.0f * static_cast<float>(i) / 48000.0f);
    }
    const std::vector<Timed> events = {
        at(5000, ccEvent(0, 51, 100)),
        at(9001, paramEvent(0, param::kPot0 + 3, 0.8)),
        at(12000, ccEvent(0, 93, 127)),
        at(21000, ccEvent(0, 93, 127)),
        at(26000, ccEvent(0, 119, 127)),
        at(33333, paramEvent(0, param::kOutputTrim, -3.0)),
        at(40000, ccEvent(0, 119, 127)),
        at(40000, paramEvent(0, param::kInputTrim, 4.5)),
        at(47000, paramEvent(0, param::kMonitor, 1.0)),
        at(47001, paramEvent(0, param::kMonitor, 0.0)),
        at(52000, ccEvent(0, 50, 20)),
    };
    const Knobs knobs{.time = 0.4, .repeats = 0.6, .mix = 0.45, .mod = 0.3, .tone = 0.7, .space = 0.5};

    FakeHost refHost;
    auto reference = shippedPedal(refHost, knobs);
    reference->triggerSwitch(4);
    const Take one = play(*reference, input, {1}, events);

    FakeHost host;
    auto pedal = shippedPedal(host, knobs);
    pedal->triggerSwitch(4);
    const Take blocks = play(*pedal, input, {1, 7, 64, 256, 4096}, events);

    ASSERT_EQ(one.left.size(), blocks.left.size());
    size_t differing = 0, firstDiff = SIZE_MAX;
    for (size_t i = 0; i < one.left.size(); ++i) {
        if (std::memcmp(&one.left[i], &blocks.left[i], sizeof(float)) != 0 ||
            std::memcmp(&one.right[i], &blocks.right[i], sizeof(float)) != 0) {
            ++differing;
            firstDiff = std::min(firstDiff, i);
        }
    }
    EXPECT_EQ(differing, 0u) << "first at sample " << firstDiff;
    EXPECT_EQ(one.echoes, blocks.echoes);
    EXPECT_EQ(one.echoes.size(), 10u) << "two knob turns, and two taps and two bypass presses with their releases";
    float peak = 0.0f;
    for (float s : one.left) peak = std::max(peak, std::fabs(s));
    EXPECT_GT(peak, 0.05f) << "the pedal was playing";
}

TEST(ShippedFirmware, TwoMidiTapsSetTheEchoTimeToTheirInterval) {
    // Interval in samples, and the echo time the firmware makes of it.
    const struct {
        uint64_t interval;
        size_t echo;
    } cases[] = {{9000, 9000}, {14321, 14321}, {24000, 12000}};
    for (const auto& c : cases) {
        FakeHost host;
        auto pedal = shippedPedal(host, {});
        settle(*pedal);
        ASSERT_EQ(echoTime(*pedal), 1200u) << "the Time knob at its start";

        const std::vector<Timed> taps = {at(1000, ccEvent(0, 93, 127)), at(1000 + c.interval, ccEvent(0, 93, 127))};
        const Take t = play(*pedal, std::vector<float>(1000 + c.interval + 96000, 0.0f), {256}, taps);
        EXPECT_EQ(t.echoes, (std::vector<Seen>{valueSeen(param::kTap, 1.0), valueSeen(param::kTap, 0.0),
                                               valueSeen(param::kTap, 1.0), valueSeen(param::kTap, 0.0)}));
        EXPECT_EQ(echoTime(*pedal), c.echo) << "taps " << c.interval << " samples apart";
    }
}

TEST(ShippedFirmware, ASecondMidiTapWithinAPressMeasuresNothing) {
    // The second CC 93 arrives while the first press is held: the chip never sees the
    // pin released, so no interval is measured and the knob keeps the time.
    FakeHost host;
    auto pedal = shippedPedal(host, {});
    const std::vector<Timed> taps = {at(1000, ccEvent(0, 93, 127)), at(4000, ccEvent(0, 93, 127))};
    play(*pedal, std::vector<float>(4000 + 96000, 0.0f), {256}, taps);
    EXPECT_EQ(echoTime(*pedal), 1200u);
}

TEST(ShippedFirmware, APanelTapPairSetsTheEchoTimeToo) {
    // Two 25 ms panel presses: each block boundary is where the press starts.
    FakeHost host;
    auto pedal = shippedPedal(host, {});
    settle(*pedal, 4096);
    pedal->triggerSwitch(5);
    play(*pedal, std::vector<float>(10240, 0.0f), {1024});
    pedal->triggerSwitch(5);
    settle(*pedal);
    EXPECT_EQ(echoTime(*pedal), 10240u);
}

}  // namespace
