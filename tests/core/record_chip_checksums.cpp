// Writes the checksums that chip_checksum_test holds the chip to, eight cases a line:
//   record_chip_checksums > tests/core/data/chip_checksums.txt
// Record only from a chip whose results are known to be right.
#include <cinttypes>
#include <cstdio>

#include "chip_checksum_cases.h"

int main() {
    std::printf("# Chip state checksums of the seeded random cases in chip_checksum_cases.cpp, eight a line.\n");
    for (int i = 0; i < chiptest::kChecksumCases; ++i)
        std::printf("%016" PRIx64 "%c", chiptest::checksumOfCase(i), i % 8 == 7 ? '\n' : ' ');
    if (chiptest::kChecksumCases % 8 != 0) std::printf("\n");
    return 0;
}
