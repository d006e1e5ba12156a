// A fixed ring of N entries (N a power of two) that many producer threads append
// to and one consumer thread takes from, without a lock and without allocation.
//
// writeIndex and readIndex are the ring positions (0..N-1): entries from readIndex
// up to writeIndex wait, so at most N-1 can wait; the ring is empty when the two
// are equal. A producer
//   1. reserves an entry by advancing a free-running reservation counter with a
//      compare-exchange, but only while fewer than N-1 entries are reserved and
//      unread; when the ring is full the new entry is dropped and the ones
//      already queued are kept. The counter is read before and after readIndex
//      (acquire loads, so the three stay in order): "full" counts only when both
//      readings agree, and a reservation only when the compare-exchange finds
//      the counter as it was read;
//   2. fills its entry, which no other thread touches until it is published;
//   3. publishes entries in reservation order: it waits until writeIndex reaches
//      its entry (earlier reservations published), then moves writeIndex past it
//      with a release store.
// So entries reach the consumer whole, once and, for each producer, in the order
// it appended them. Only producers ever wait, and only for one another's step 2;
// the consumer never waits. The consumer's release store of readIndex hands a
// consumed entry back to the producers, whose acquire load of it comes before they
// refill the entry.
#pragma once

#include <atomic>
#include <cstdint>
#include <thread>

namespace brevlin::clap_host::standalone {

template <class Entry, uint32_t N>
class PublishedRing {
    static_assert(N >= 2 && (N & (N - 1)) == 0, "N must be a power of two");

public:
    static constexpr uint32_t kSize = N;
    static constexpr uint32_t kMask = N - 1;

    // Producers. `fill(entry)` writes the new entry in place. False when the ring
    // is full; nothing is stored then.
    template <class Fill>
    bool tryPush(Fill&& fill) {
        uint32_t reserved = reserved_.load(std::memory_order_acquire);
        for (;;) {
            const uint32_t read = readIndex.load(std::memory_order_acquire);
            if (((reserved - read) & kMask) == kMask) {
                // Full only if no entry was reserved since `reserved` was read:
                // otherwise `read` may already have passed it. Look again then.
                const uint32_t now = reserved_.load(std::memory_order_acquire);
                if (now == reserved) return false;
                reserved = now;
                continue;
            }
            if (reserved_.compare_exchange_weak(reserved, reserved + 1, std::memory_order_acquire,
                                                std::memory_order_acquire))
                break;
        }
        const uint32_t slot = reserved & kMask;
        fill(entries[slot]);
        while (writeIndex.load(std::memory_order_acquire) != slot) std::this_thread::yield();
        writeIndex.store((slot + 1) & kMask, std::memory_order_release);
        return true;
    }

    // Consumer only.
    bool empty() const {
        return writeIndex.load(std::memory_order_acquire) == readIndex.load(std::memory_order_relaxed);
    }

    // Consumer only: hands the oldest entry to `take(entry)` and frees it. False
    // when nothing waits.
    template <class Take>
    bool tryPop(Take&& take) {
        const uint32_t read = readIndex.load(std::memory_order_relaxed);
        if (writeIndex.load(std::memory_order_acquire) == read) return false;
        take(static_cast<const Entry&>(entries[read]));
        readIndex.store((read + 1) & kMask, std::memory_order_release);
        return true;
    }

    // Entries waiting, as seen from the consumer.
    uint32_t waiting() const {
        return (writeIndex.load(std::memory_order_acquire) - readIndex.load(std::memory_order_relaxed)) & kMask;
    }

    Entry entries[N]{};
    std::atomic<uint32_t> writeIndex{0};
    std::atomic<uint32_t> readIndex{0};

private:
    std::atomic<uint32_t> reserved_{0};
};

}  // namespace brevlin::clap_host::standalone
