// Several MIDI input threads appending to the ring while one thread takes from it:
// every accepted message arrives whole, once, and in its sender's order.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

#include "host_fixture.h"

namespace {

using namespace satest;

constexpr int kProducers = 4;

// Stops and joins a worker on every way out of a test, failed assertions included.
struct StopAndJoin {
    std::atomic<bool>& stop;
    std::thread& thread;
    void now() {
        stop.store(true, std::memory_order_release);
        if (thread.joinable()) thread.join();
    }
    ~StopAndJoin() { now(); }
};

TEST(PublishedRingThreads, AcceptedEntriesArriveWholeOnceAndInEachProducersOrder) {
    struct Entry {
        uint32_t producer, seq, check;
    };
    static PublishedRing<Entry, 64> ring;  // small, so that it fills and wraps often
    constexpr uint32_t kPerProducer = 20000;
    std::vector<std::vector<uint32_t>> accepted(kProducers), received(kProducers);
    std::atomic<int> producing{kProducers};
    bool torn = false;

    std::thread consumer([&] {
        for (;;) {
            const bool done = producing.load(std::memory_order_acquire) == 0;
            bool took = false;
            while (ring.tryPop([&](const Entry& e) {
                torn |= e.check != (e.seq * 2654435761u ^ e.producer);
                received[e.producer].push_back(e.seq);
            }))
                took = true;
            if (done && !took) return;
            std::this_thread::yield();
        }
    });
    std::vector<std::thread> producers;
    for (uint32_t p = 0; p < kProducers; ++p) {
        producers.emplace_back([&, p] {
            for (uint32_t seq = 0; seq < kPerProducer; ++seq) {
                if (ring.tryPush([&](Entry& e) { e = {p, seq, seq * 2654435761u ^ p}; })) accepted[p].push_back(seq);
            }
            producing.fetch_sub(1, std::memory_order_release);
        });
    }
    for (auto& t : producers) t.join();
    consumer.join();
    EXPECT_FALSE(torn);
    for (int p = 0; p < kProducers; ++p) EXPECT_EQ(received[p], accepted[p]) << "producer " << p;
}

TEST(PublishedRingThreads, NeverReportsFullWhileThereIsRoom) {
    // More producers than cores, so that they are preempted between their steps.
    static PublishedRing<uint32_t, 1024> ring;
    constexpr int kThreads = 16;
    constexpr uint32_t kPerRound = 60;  // 960 waiting at most, under 1023
    std::atomic<bool> stop{false};
    std::atomic<uint32_t> taken{0};
    std::thread consumer([&] {
        while (!stop.load(std::memory_order_acquire))
            if (ring.tryPop([](uint32_t) {})) taken.fetch_add(1, std::memory_order_release);
    });
    StopAndJoin join{stop, consumer};
    std::atomic<uint32_t> refused{0};
    for (uint32_t round = 0; round < 50; ++round) {
        std::vector<std::thread> producers;
        for (int p = 0; p < kThreads; ++p)
            producers.emplace_back([&] {
                for (uint32_t i = 0; i < kPerRound; ++i)
                    if (!ring.tryPush([](uint32_t& e) { e = 1; })) refused.fetch_add(1, std::memory_order_relaxed);
            });
        for (auto& t : producers) t.join();
        ASSERT_TRUE(eventually([&] {
            return taken.load(std::memory_order_acquire) + refused.load() == (round + 1) * kPerRound * kThreads;
        }));
    }
    EXPECT_EQ(refused.load(), 0u);
}

struct MidiIntoBlocks : HostFixture {
    static constexpr int kRounds = 25;
    static constexpr int kPerRound = 50;  // per producer: 200 in flight at most, under one block's 256
    std::vector<StandaloneHost::MidiEntry> got =
        std::vector<StandaloneHost::MidiEntry>(kRounds * kPerRound * kProducers);
    std::atomic<size_t> gotCount{0};

    static clap_process_status collect(const clap_plugin* plugin, const clap_process* process) {
        auto* self = static_cast<MidiIntoBlocks*>(FakePlugin::of(plugin).userData);
        const uint32_t n = process->in_events->size(process->in_events);
        size_t at = self->gotCount.load(std::memory_order_relaxed);
        for (uint32_t i = 0; i < n && at < self->got.size(); ++i, ++at) {
            const auto* e = reinterpret_cast<const clap_event_midi*>(process->in_events->get(process->in_events, i));
            self->got[at] = {e->data[0], e->data[1], e->data[2]};
        }
        self->gotCount.store(at, std::memory_order_release);
        return CLAP_PROCESS_CONTINUE;
    }
};

TEST_F(MidiIntoBlocks, ProducerThreadsAgainstTheBlockConsumerLoseNothing) {
    FakePlugin& p = attach();
    p.userData = this;
    p.plugin.process = collect;
    std::atomic<bool> stop{false};
    std::thread audio([&] {
        while (!stop.load(std::memory_order_acquire)) host->clapProcess(nullptr, nullptr, 16);
    });
    StopAndJoin join{stop, audio};
    for (int round = 0; round < kRounds; ++round) {
        std::vector<std::thread> inputs;
        for (int producer = 0; producer < kProducers; ++producer) {
            inputs.emplace_back([&, producer, round] {
                for (int i = 0; i < kPerRound; ++i) {
                    const int seq = round * kPerRound + i;
                    std::vector<unsigned char> m = {static_cast<unsigned char>(0xB0 | producer),
                                                    static_cast<unsigned char>(seq >> 7),
                                                    static_cast<unsigned char>(seq & 127)};
                    StandaloneHost::midiCallback(0.0, &m, host);
                }
            });
        }
        for (auto& t : inputs) t.join();
        const size_t expected = static_cast<size_t>(round + 1) * kPerRound * kProducers;
        ASSERT_TRUE(eventually([&] { return gotCount.load(std::memory_order_acquire) >= expected; }));
    }
    join.now();
    ASSERT_EQ(gotCount.load(), got.size());
    std::vector<int> next(kProducers, 0);
    for (const auto& m : got) {
        const int producer = m[0] & 0x0F;
        ASSERT_EQ(m[0] & 0xF0, 0xB0);
        ASSERT_LT(producer, kProducers);
        EXPECT_EQ(m[1] * 128 + m[2], next[producer]++) << "producer " << producer;
    }
}

}  // namespace
