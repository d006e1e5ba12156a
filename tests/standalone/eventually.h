// Waiting for a condition that another thread brings about, with a generous bound
// instead of a fixed sleep.
#pragma once

#include <chrono>

#include "wait.h"

namespace satest {

template <class Condition>
bool eventually(Condition condition) {
    return testsupport::waitFor(condition, std::chrono::seconds(20));
}

}  // namespace satest
