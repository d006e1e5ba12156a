// Writes the checksums that chip_checksum_test holds the chip to, one case a line:
//   record_chip_checksums > tests/core/data/chip_checksums.txt
// Record only from a chip whose results are known to be right.
#include <cinttypes>
#include <cstdio>

#include "chip_checksum_cases.h"

int main() {
    std::printf("# Chip state checksums of the seeded random cases in chip_checksum_cases.cpp, one a line.\n");
    for (int i = 0; i < chiptest::kChecksumCases; ++i)
        std::printf("%016" PRIx64 "\n", chiptest::checksumOfCase(i));
    return 0;
}
