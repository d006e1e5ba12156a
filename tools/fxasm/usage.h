// The command line's help text: usage, the language in brief and every mnemonic
// with its operands, listed from the instruction table.
#pragma once

#include <string>

namespace fxasm {

std::string usageText();

}  // namespace fxasm
