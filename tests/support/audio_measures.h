// Measurements on recorded audio.
#pragma once

#include <cmath>
#include <cstddef>
#include <vector>

namespace testsupport {

// Index of the largest magnitude in [from, to).
inline size_t loudest(const std::vector<float>& x, size_t from, size_t to) {
    size_t best = from;
    for (size_t i = from; i < to && i < x.size(); ++i)
        if (std::fabs(x[i]) > std::fabs(x[best])) best = i;
    return best;
}

}  // namespace testsupport
