// The chip's results, held to the checksums recorded from an earlier build: a
// faster chip must compute exactly what the recorded one did, sample by sample.
// After a deliberate change of behaviour, record them anew with
// record_chip_checksums (see its source).
#include <gtest/gtest.h>

#include <cstdint>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "chip_checksum_cases.h"

namespace {

std::vector<uint64_t> recordedChecksums() {
    std::ifstream file(CHIP_CHECKSUMS_FILE);
    std::vector<uint64_t> sums;
    std::string line;
    while (std::getline(file, line)) {
        if (!line.empty() && line[0] == '#') continue;
        std::istringstream words(line);
        for (uint64_t sum = 0; words >> std::hex >> sum;) sums.push_back(sum);
    }
    return sums;
}

TEST(ChipChecksums, EveryRecordedCaseComputesTheSameChipStateAfterEverySample) {
    const auto recorded = recordedChecksums();
    ASSERT_EQ(recorded.size(), static_cast<size_t>(chiptest::kChecksumCases)) << CHIP_CHECKSUMS_FILE;
#ifdef NDEBUG
    constexpr int kStride = 1;
#else
    constexpr int kStride = 5;  // unoptimised (sanitizer) builds take every fifth case
#endif
    int mismatches = 0;
    for (int i = 0; i < chiptest::kChecksumCases; i += kStride) {
        if (chiptest::checksumOfCase(i) == recorded[static_cast<size_t>(i)]) continue;
        if (++mismatches <= 10) ADD_FAILURE() << "case " << i << " computes a different chip state";
    }
    EXPECT_EQ(mismatches, 0);
}

}  // namespace
