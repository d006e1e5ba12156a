// A global allocator that counts: counting_allocator.cpp replaces every form of
// operator new and delete for the binary it is linked into. Only binaries that
// check for allocations link it, and each such check gets a binary of its own.
#pragma once

namespace testsupport {

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
