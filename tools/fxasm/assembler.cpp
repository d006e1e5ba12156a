#include "fxasm/assembler.h"

#include <algorithm>

#include "fxasm/assembly_state.h"
#include "fxasm/directives.h"
#include "fxasm/operands.h"
#include "fxasm/statement.h"
#include "fxcore/fxcore_program.h"
#include "fxcore/instruction_set.h"

namespace fxasm {
namespace {

// A jump whose offset waits for its label.
struct PendingJump {
    size_t address;
    int line;
    const fxcore::OpcodeInfo* info;
    InstructionOperands operands;
};

// Cuts the source into lines at LF, CR or CR LF.
std::vector<std::string_view> splitLines(std::string_view source) {
    std::vector<std::string_view> lines;
    size_t start = 0;
    for (size_t i = 0; i < source.size(); ++i) {
        if (source[i] != '\n' && source[i] != '\r') continue;
        lines.push_back(source.substr(start, i - start));
        if (source[i] == '\r' && i + 1 < source.size() && source[i + 1] == '\n') ++i;
        start = i + 1;
    }
    if (start < source.size()) lines.push_back(source.substr(start));
    return lines;
}

class Assembler {
public:
    AsmOutput run(std::string_view source) {
        state_.presets = fxcore::FXCoreProgram::defaultPresets();
        const std::vector<std::string_view> lines = splitLines(source);
        for (size_t i = 0; i < lines.size(); ++i) statement(lines[i], static_cast<int>(i) + 1);
        for (const PendingJump& jump : jumps_) resolve(jump);
        if (words_.empty() && errors_.empty())
            error(std::max(1, static_cast<int>(lines.size())), "the program has no instructions");

        std::stable_sort(errors_.begin(), errors_.end(),
                         [](const AsmError& a, const AsmError& b) { return a.line < b.line; });
        AsmOutput out;
        out.presets = state_.presets;
        out.errors = std::move(errors_);
        if (out.errors.empty()) out.words = std::move(words_);
        return out;
    }

private:
    void error(int line, std::string message) { errors_.push_back({line, std::move(message)}); }

    void statement(std::string_view text, int line) {
        const Statement s = splitStatement(text);
        if (!s.error.empty()) error(line, s.error);
        for (std::string_view label : s.labels) defineLabel(label, line);
        if (s.keyword.empty()) return;
        if (s.keyword.front() == '.') {
            if (std::string e = applyDirective(s.keyword, s.operands, line, state_); !e.empty())
                error(line, std::move(e));
            return;
        }
        instruction(s, line);
    }

    void defineLabel(std::string_view name, int line) {
        if (std::string conflict = state_.nameConflict(name); !conflict.empty()) {
            error(line, "label " + conflict);
            return;
        }
        state_.labels.emplace(std::string(name), static_cast<int>(words_.size()));
        state_.definedAt.emplace(std::string(name), line);
    }

    void instruction(const Statement& s, int line) {
        // Every instruction line takes its word, valid or not, so the labels after it keep their addresses.
        const size_t address = words_.size();
        words_.push_back(0);
        if (address == kMaxProgramWords)
            error(line, "the program is longer than " + std::to_string(kMaxProgramWords) + " words");

        const fxcore::OpcodeInfo* info = fxcore::findMnemonic(s.keyword);
        if (!info) {
            error(line, "unknown instruction '" + std::string(s.keyword) + "'");
            return;
        }
        const Parsed<InstructionOperands> parsed = parseOperands(info->format, s.operands, state_.constants);
        if (!parsed.ok()) {
            error(line, std::string(info->mnemonic) + ": " + parsed.error);
            return;
        }
        if (info->format == fxcore::OperandFormat::RJ || info->format == fxcore::OperandFormat::J) {
            jumps_.push_back({address, line, info, parsed.value});
            return;
        }
        encode(address, line, *info, parsed.value.values);
    }

    void encode(size_t address, int line, const fxcore::OpcodeInfo& info, const fxcore::Operands& values) {
        const fxcore::EncodeResult r = fxcore::encodeInstruction(info.opcode, values);
        if (!r.error.empty()) {
            error(line, r.error);
            return;
        }
        words_[address] = r.word;
    }

    void resolve(const PendingJump& jump) {
        const std::string mnemonic(jump.info->mnemonic);
        const std::string label(jump.operands.jumpLabel);
        const auto it = state_.labels.find(label);
        if (it == state_.labels.end()) {
            const bool constant = state_.constants.count(label) > 0;
            error(jump.line, mnemonic + ": '" + label + (constant ? "' is a constant, not a label" : "' is not defined"));
            return;
        }
        const long offset = static_cast<long>(it->second) - static_cast<long>(jump.address + 1);
        if (offset < 0) {
            error(jump.line, mnemonic + ": '" + label + "' (line " + std::to_string(state_.definedAt.at(label)) +
                                 ") is not after the jump; jumps only go forward");
            return;
        }
        if (offset > 4095) {
            error(jump.line, mnemonic + ": '" + label + "' is " + std::to_string(offset) +
                                 " words past the next instruction; a jump skips at most 4095");
            return;
        }
        fxcore::Operands values = jump.operands.values;
        values.index = static_cast<int>(offset);
        encode(jump.address, jump.line, *jump.info, values);
    }

    AssemblyState state_;
    std::vector<uint32_t> words_;
    std::vector<PendingJump> jumps_;
    std::vector<AsmError> errors_;
};

}  // namespace

AsmOutput assemble(std::string_view source) { return Assembler{}.run(source); }

}  // namespace fxasm
