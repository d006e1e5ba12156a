// Handler numbers of the sample loop: each valid opcode's row in opcodes.inc, then
// one handler that skips an invalid word and one that ends the program.
#pragma once

#include <array>
#include <cstdint>
#include <iterator>

namespace fxcore::handlers {

inline constexpr uint8_t kOpcodeOfRow[] = {
#define OP(number, ...) number,
#include "opcodes.inc"
#undef OP
};
inline constexpr uint8_t kSkip = static_cast<uint8_t>(std::size(kOpcodeOfRow));
inline constexpr uint8_t kEnd = kSkip + 1;

inline constexpr std::array<uint8_t, 128> kRowOfOpcode = [] {
    std::array<uint8_t, 128> rows{};
    rows.fill(kSkip);
    for (uint8_t row = 0; row < std::size(kOpcodeOfRow); ++row) rows[kOpcodeOfRow[row]] = row;
    return rows;
}();

}  // namespace fxcore::handlers
