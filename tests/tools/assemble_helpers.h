// Helpers for assembler tests: assemble a source that must be valid, or collect
// the errors of one that must not be.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "fxasm/assembler.h"

namespace fxasm::test {

inline std::string describe(const std::vector<AsmError>& errors) {
    std::string text;
    for (const AsmError& e : errors) text += std::to_string(e.line) + ": " + e.message + "\n";
    return text;
}

// The output of a source that must assemble cleanly.
inline AsmOutput assembleOk(std::string_view source) {
    AsmOutput out = assemble(source);
    EXPECT_TRUE(out.ok()) << "source:\n" << source << "\nerrors:\n" << describe(out.errors);
    return out;
}

// The only word of a one-instruction program.
inline uint32_t wordOf(std::string_view line) {
    const AsmOutput out = assembleOk(line);
    return out.words.size() == 1 ? out.words[0] : 0xDEADBEEFu;
}

// The single error of a source with exactly one bad line.
inline AsmError onlyError(std::string_view source) {
    const AsmOutput out = assemble(source);
    EXPECT_EQ(out.errors.size(), 1u) << "source:\n" << source << "\nerrors:\n" << describe(out.errors);
    EXPECT_TRUE(out.words.empty());
    return out.errors.empty() ? AsmError{} : out.errors.front();
}

}  // namespace fxasm::test
