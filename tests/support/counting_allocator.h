// A global allocator that counts: counting_allocator.cpp replaces every form of
// operator new and delete for the binary it is linked into. Only binaries that
// check for allocations link it, and each such check gets a binary of its own.
// It can also refuse large allocations, as a machine short of memory would.
#pragma once

#include <cstddef>

namespace testsupport {

// From now on an allocation of more than `bytes` fails: std::bad_alloc, or null
// from the nothrow forms. SIZE_MAX (the start) lifts the limit.
void limitAllocationSize(std::size_t bytes);

// Allocations made through any operator new since the program started.
long allocationCount();

// Allocations made while f runs. f must not report anything itself: the test
// framework allocates when it records a result.
template <class F>
long allocationsDuring(F&& f) {
    const long before = allocationCount();
    f();
    return allocationCount() - before;
}

}  // namespace testsupport
