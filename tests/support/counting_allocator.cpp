// The counting global allocator. The replacement forwards to malloc/free
// (aligned_alloc for over-aligned types), so it also works beneath
// AddressSanitizer's malloc interception.
#include "counting_allocator.h"

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <new>

namespace {

std::atomic<long> g_allocations{0};
std::atomic<std::size_t> g_sizeLimit{SIZE_MAX};

void* countedMalloc(std::size_t size) noexcept {
    g_allocations.fetch_add(1, std::memory_order_relaxed);
    if (size > g_sizeLimit.load(std::memory_order_relaxed)) return nullptr;
    return std::malloc(size == 0 ? 1 : size);
}

void* countedAlignedAlloc(std::size_t size, std::align_val_t alignment) noexcept {
    g_allocations.fetch_add(1, std::memory_order_relaxed);
    if (size > g_sizeLimit.load(std::memory_order_relaxed)) return nullptr;
    const std::size_t a = static_cast<std::size_t>(alignment);
    // aligned_alloc wants the size to be a multiple of the alignment.
    const std::size_t rounded = size == 0 ? a : (size + a - 1) / a * a;
    return std::aligned_alloc(a, rounded);
}

void* orThrow(void* p) {
    if (p == nullptr) throw std::bad_alloc();
    return p;
}

}  // namespace

long testsupport::allocationCount() { return g_allocations.load(); }

void testsupport::limitAllocationSize(std::size_t bytes) { g_sizeLimit.store(bytes); }

void* operator new(std::size_t n) { return orThrow(countedMalloc(n)); }
void* operator new[](std::size_t n) { return orThrow(countedMalloc(n)); }
void* operator new(std::size_t n, const std::nothrow_t&) noexcept { return countedMalloc(n); }
void* operator new[](std::size_t n, const std::nothrow_t&) noexcept { return countedMalloc(n); }
void* operator new(std::size_t n, std::align_val_t a) { return orThrow(countedAlignedAlloc(n, a)); }
void* operator new[](std::size_t n, std::align_val_t a) { return orThrow(countedAlignedAlloc(n, a)); }
void* operator new(std::size_t n, std::align_val_t a, const std::nothrow_t&) noexcept {
    return countedAlignedAlloc(n, a);
}
void* operator new[](std::size_t n, std::align_val_t a, const std::nothrow_t&) noexcept {
    return countedAlignedAlloc(n, a);
}

// The replaced operator new hands out malloc memory, so free is the matching release.
// GCC cannot see that pairing once it inlines both sides and would warn.
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"

void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }
void operator delete(void* p, const std::nothrow_t&) noexcept { std::free(p); }
void operator delete[](void* p, const std::nothrow_t&) noexcept { std::free(p); }
void operator delete(void* p, std::align_val_t) noexcept { std::free(p); }
void operator delete[](void* p, std::align_val_t) noexcept { std::free(p); }
void operator delete(void* p, std::size_t, std::align_val_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t, std::align_val_t) noexcept { std::free(p); }
void operator delete(void* p, std::align_val_t, const std::nothrow_t&) noexcept { std::free(p); }
void operator delete[](void* p, std::align_val_t, const std::nothrow_t&) noexcept { std::free(p); }
