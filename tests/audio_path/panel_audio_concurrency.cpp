// The panel on one thread and the host's audio thread on another, as in a running
// host: the panel stores values, queues changes and gestures and requests switch
// presses while the audio thread processes blocks and drains the queue. Every
// change the queue accepted must reach the host once, in the panel's order; a
// panel that waits for room loses nothing.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <latch>
#include <string>
#include <thread>
#include <vector>

#include "host_side.h"

namespace {

using namespace audiopath;

constexpr auto kPatience = std::chrono::seconds(120);  // a bound for waits that normally take microseconds

// One panel operation that may append an entry, and the event the entry becomes.
struct PanelStep {
    enum Op { Begin, Set, SetValue, End, Trigger } op;
    uint32_t id;
    double value;
};

std::vector<PanelStep> panelScript(int drags) {
    std::vector<PanelStep> steps;
    for (int d = 0; d < drags; ++d) {
        const uint32_t knob = param::kPot0 + static_cast<uint32_t>(d % 6);
        steps.push_back({PanelStep::Begin, knob, 0.0});
        for (int k = 1; k <= 3; ++k) steps.push_back({PanelStep::Set, knob, (d % 97 + k) / 100.0});
        steps.push_back({PanelStep::End, knob, 0.0});
        steps.push_back({PanelStep::Trigger, static_cast<uint32_t>(d % 6), 0.0});
        steps.push_back(
            {PanelStep::SetValue, param::kSw0 + static_cast<uint32_t>(d % 5), (d / 5) % 2 == 0 ? 1.0 : 0.0});
    }
    return steps;
}

Seen expectedEvent(const PanelStep& s) {
    switch (s.op) {
        case PanelStep::Begin:
            return beginSeen(s.id);
        case PanelStep::End:
            return endSeen(s.id);
        default:
            return valueSeen(s.id, s.value);
    }
}

void perform(FXCorePlugin& p, const PanelStep& s) {
    switch (s.op) {
        case PanelStep::Begin:
            p.guiBeginGesture(s.id);
            break;
        case PanelStep::Set:
            p.guiSetParam(s.id, s.value);
            break;  // pots: normalized equals plain
        case PanelStep::SetValue:
            p.guiSetParamValue(s.id, s.value);
            break;
        case PanelStep::End:
            p.guiEndGesture(s.id);
            break;
        case PanelStep::Trigger:
            p.triggerSwitch(static_cast<int>(s.id));
            break;
    }
}

// The audio side: blocks (and, when asked, parameter flushes in between) until the
// panel is done, then one more block that takes whatever is left. `delivered`
// counts the events received so far, for a panel that waits for room.
struct AudioSide {
    OutputEvents out{1 << 16};
    std::atomic<size_t> delivered{0};
    std::atomic<long> blocks{0};

    void run(FXCorePlugin& p, const std::atomic<bool>& panelDone, bool alsoFlush) {
        Block b(64);
        for (uint32_t k = 0; k < 64; ++k) b.in(0)[k] = b.in(1)[k] = static_cast<float>(k) / 128.0f;
        b.output(out);
        const clap_process* record = b.record();
        bool last = false;
        do {
            last = panelDone.load(std::memory_order_acquire);
            p.process(record);
            if (alsoFlush && !last) p.paramsFlush(nullptr, out.list());
            blocks.fetch_add(1, std::memory_order_release);
            delivered.store(out.events().size(), std::memory_order_release);
        } while (!last);
    }
};

TEST(PanelAudioConcurrency, EveryAcceptedChangeArrivesOnceAndInOrder) {
    Rig rig;
    const std::vector<PanelStep> script = panelScript(4000);
    std::vector<Seen> accepted;  // the panel's record of what the queue took
    size_t appends = 0;

    std::latch start(2);
    std::atomic<bool> panelDone{false};
    AudioSide audio;
    std::thread audioThread([&] {
        start.arrive_and_wait();
        audio.run(*rig, panelDone, /*alsoFlush=*/true);
    });

    start.arrive_and_wait();
    const auto deadline = std::chrono::steady_clock::now() + kPatience;
    for (size_t i = 0; i < script.size(); ++i) {
        const PanelStep& s = script[i];
        if (i % 400 == 0) {
            // Bursts longer than the queue, each after the audio thread has run
            // again: some entries are dropped, many are not.
            const long seen = audio.blocks.load(std::memory_order_acquire);
            while (audio.blocks.load(std::memory_order_acquire) == seen && std::chrono::steady_clock::now() < deadline)
                std::this_thread::yield();
        }
        // Only the panel's appends ask for a flush, and only those the queue took.
        const int before = rig.host.flushRequests.load();
        perform(*rig, s);
        if (s.op == PanelStep::Trigger) continue;
        ++appends;
        if (rig.host.flushRequests.load() != before) accepted.push_back(expectedEvent(s));
    }
    const bool audioKeptUp = std::chrono::steady_clock::now() < deadline;
    panelDone.store(true, std::memory_order_release);
    audioThread.join();

    ASSERT_TRUE(audioKeptUp) << "the audio thread stopped running blocks";
    RecordProperty("appends", static_cast<int>(appends));
    RecordProperty("dropped", static_cast<int>(appends - accepted.size()));
    RecordProperty("blocks", static_cast<int>(audio.blocks.load()));
    const std::vector<Seen> got = audio.out.seen();
    EXPECT_EQ(got.size(), accepted.size()) << appends << " appends, " << audio.blocks.load() << " blocks";
    size_t firstMismatch = 0;
    while (firstMismatch < got.size() && firstMismatch < accepted.size() &&
           got[firstMismatch] == accepted[firstMismatch])
        ++firstMismatch;
    EXPECT_EQ(firstMismatch, accepted.size()) << "first difference at event " << firstMismatch;
    EXPECT_EQ(rig->pendingSwitchTriggers.load(), 0u) << "the last block took every press request";
    const PanelStep& lastSet = script[script.size() - 4];
    EXPECT_EQ(rig->paramValue(lastSet.id), lastSet.value);
}

TEST(PanelAudioConcurrency, APanelThatWaitsForRoomLosesNothing) {
    Rig rig;
    const std::vector<PanelStep> script = panelScript(3000);
    std::vector<Seen> pushed;
    std::string timeout;

    std::latch start(2);
    std::atomic<bool> panelDone{false};
    AudioSide audio;
    std::thread audioThread([&] {
        start.arrive_and_wait();
        audio.run(*rig, panelDone, /*alsoFlush=*/false);
    });

    start.arrive_and_wait();
    const auto deadline = std::chrono::steady_clock::now() + kPatience;
    for (const PanelStep& s : script) {
        if (s.op != PanelStep::Trigger) {
            // At most 200 entries in flight: the 255-entry queue is never full.
            while (pushed.size() - audio.delivered.load(std::memory_order_acquire) >= 200) {
                if (std::chrono::steady_clock::now() > deadline) break;
                std::this_thread::yield();
            }
            if (pushed.size() - audio.delivered.load(std::memory_order_acquire) >= 200) {
                timeout = "the audio thread stopped draining after " + std::to_string(pushed.size()) + " entries";
                break;
            }
            pushed.push_back(expectedEvent(s));
        }
        perform(*rig, s);
    }
    panelDone.store(true, std::memory_order_release);
    audioThread.join();

    ASSERT_TRUE(timeout.empty()) << timeout;
    EXPECT_EQ(rig.host.flushRequests.load(), static_cast<int>(pushed.size())) << "every append was taken";
    EXPECT_EQ(audio.out.seen(), pushed);
}

}  // namespace
