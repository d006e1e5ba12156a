// One source line cut into its parts: labels, then a mnemonic or directive, then
// the comma-separated operands. Nothing here knows what the words mean.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace fxasm {

struct Statement {
    std::vector<std::string_view> labels;    // each `name:` before the keyword
    std::string_view keyword;                // mnemonic or directive; empty on a label-only line
    std::vector<std::string_view> operands;  // trimmed; an empty one marks a missing operand
    std::string error;                       // a malformed label; the rest is still cut
};

// The views point into `line`. Comments (from ';') are dropped here.
Statement splitStatement(std::string_view line);

std::string_view trim(std::string_view text);

}  // namespace fxasm
