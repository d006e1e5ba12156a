// Instruction operands: how each operand format is written, and the parse of an
// instruction's operand texts into the values the instruction encoder takes.
#pragma once

#include <span>
#include <string_view>

#include "fxasm/numbers.h"
#include "fxasm/parsed.h"
#include "fxcore/instruction_set.h"

namespace fxasm {

// The operand list as written for the format, e.g. "ra, rb".
std::string_view operandSyntax(fxcore::OperandFormat format);
size_t operandCount(fxcore::OperandFormat format);

struct InstructionOperands {
    fxcore::Operands values;
    std::string_view jumpLabel;  // RJ and J: the target, turned into J once every label is known
};

// Operand errors name the operand; the caller adds the mnemonic.
Parsed<InstructionOperands> parseOperands(fxcore::OperandFormat format,
                                          std::span<const std::string_view> operands,
                                          const Constants& constants);

}  // namespace fxasm
