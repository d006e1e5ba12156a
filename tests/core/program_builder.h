// Helpers for instruction-level tests: word encoders that fail the test on a bad
// operand, a chip wrapper that installs a program and pokes state, and a snapshot
// of everything an instruction can touch.
#pragma once

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <initializer_list>
#include <memory>
#include <vector>

#include "core_probe.h"
#include "fxcore/fxcore_core.h"
#include "fxcore/instruction_set.h"
#include "fxcore/q31.h"

namespace fxcore::test {

// ---- Word encoders --------------------------------------------------------------

inline uint32_t encode(unsigned opcode, const Operands& ops) {
    const EncodeResult r = encodeInstruction(opcode, ops);
    EXPECT_TRUE(r.error.empty()) << "opcode " << opcode << ": " << r.error;
    return r.word;
}

inline uint32_t opNone(unsigned op) { return encode(op, {}); }
inline uint32_t opR(unsigned op, int ra) { return encode(op, {.ra = ra}); }
// rb is a register slot or a shift count / bit number, whichever the opcode takes.
inline uint32_t opRR(unsigned op, int ra, int rb) { return encode(op, {.ra = ra, .rb = rb}); }
inline uint32_t opRI(unsigned op, int ra, int32_t imm) { return encode(op, {.ra = ra, .imm = imm}); }
inline uint32_t opRA(unsigned op, int ra, int addr) { return encode(op, {.ra = ra, .addr = addr}); }
inline uint32_t opCA(unsigned op, int coef, int addr) { return encode(op, {.addr = addr, .coef = coef}); }
// M, K or J after the register.
inline uint32_t opRX(unsigned op, int ra, int index) { return encode(op, {.ra = ra, .index = index}); }
inline uint32_t opJ(unsigned op, int j) { return encode(op, {.index = j}); }
inline uint32_t opLfo(int output, int negate, int addr) {
    return encode(104, {.addr = addr, .select = output, .option = negate});
}
inline uint32_t opRamp(int ramp, int windowSize, int addr) {
    return encode(105, {.addr = addr, .select = ramp, .option = windowSize});
}
inline uint32_t opUser(int ra, int user, int bit) { return encode(106, {.ra = ra, .rb = bit, .select = user}); }

// Builds the word for `op` with A in slot ra and the second operand in `second`:
// the slot of B for two-register forms, n for shift forms, the immediate otherwise.
inline uint32_t opGeneric(unsigned op, int ra, int32_t second) {
    const OpcodeInfo* info = findOpcode(op);
    EXPECT_NE(info, nullptr) << "opcode " << op;
    if (!info) return 0;
    switch (info->format) {
        case OperandFormat::None: return opNone(op);
        case OperandFormat::R: return opR(op, ra);
        case OperandFormat::RR:
        case OperandFormat::RN: return opRR(op, ra, second);
        case OperandFormat::RS16:
        case OperandFormat::RU16: return opRI(op, ra, second);
        default: ADD_FAILURE() << "opGeneric does not build format of opcode " << op; return 0;
    }
}

// ---- Chip wrapper ---------------------------------------------------------------

inline constexpr int32_t kMin = q31::kMin;
inline constexpr int32_t kMax = q31::kMax;
inline constexpr int64_t kMax64 = q31::kMax64;
inline constexpr int64_t kMin64 = q31::kMin64;

// Slot numbers of the non-core registers.
inline constexpr unsigned kAcc32 = 16;
inline constexpr unsigned kFlags = 17;
inline constexpr unsigned kMreg0 = 18;

// A delay sample as the Q1.31 value a read returns.
constexpr int32_t q16(int sample) { return static_cast<int32_t>(static_cast<uint32_t>(sample) << 16); }

class Chip {
public:
    Chip() : core_(std::make_unique<FXCoreCore>()) {}

    FXCoreCore& core() { return *core_; }
    FXCoreCore::Presets presets;

    // Installs presets and program; the chip is reset from the presets.
    void load(const std::vector<uint32_t>& words) {
        core_->setPresets(presets);
        ASSERT_TRUE(core_->setProgram(words.data(), words.size()));
        length_ = static_cast<int>(words.size());
    }

    int step(int pc = 0) { return core_->step(pc); }

    // Executes the program from word 0 the way a sample does, without the
    // per-sample peripherals: each word as `step` runs it, until pc leaves it.
    int stepAll() {
        int pc = 0;
        int executed = 0;
        while (pc < length_) {
            pc = core_->step(pc);
            ++executed;
        }
        return executed;
    }

    int32_t slot(unsigned s) const { return CoreProbe::slot(*core_, s); }
    void setSlot(unsigned s, int32_t v) { CoreProbe::setSlot(*core_, s, v); }
    int32_t& reg(int i) { return CoreProbe::creg(*core_, i); }
    int32_t& acc32() { return CoreProbe::acc32(*core_); }
    int32_t& flags() { return CoreProbe::flags(*core_); }
    int32_t& mreg(int i) { return CoreProbe::mreg(*core_, i); }
    int32_t& sfr(int i) { return CoreProbe::sfr(*core_, i); }
    int64_t& acc64() { return CoreProbe::acc64(*core_); }
    int32_t& writePos() { return CoreProbe::writePos(*core_); }
    int32_t& userOut(int i) { return CoreProbe::userOut(*core_, i); }
    int32_t& output(int i) { return CoreProbe::outputs(*core_, i); }

    // Raw 16-bit sample at an absolute index (masked to the memory).
    CoreProbe::DelaySample delayAbs(int index) { return CoreProbe::delay(*core_, index); }
    // Raw 16-bit sample at an address relative to the write position.
    CoreProbe::DelaySample delayRel(int rel) { return CoreProbe::delay(*core_, writePos() + rel); }

    // Sets both the ramp accumulator and its SFR, so the value is seen whichever
    // of the two an instruction reads.
    void setRamp(int j, uint32_t value) {
        CoreProbe::ramp(*core_, j) = value;
        sfr(RAMP0 + j) = q31::asSigned(value);
    }

private:
    std::unique_ptr<FXCoreCore> core_;
    int length_ = 0;
};

// How a test executes the word at index 0 of a one-word program: by `step`, or as
// the whole program of one sample. A sample first moves the write position down by
// one, so for Via::Run it is raised by one here and delay addresses resolve alike.
// A sample also rebuilds FLAGS and the peripheral SFRs before the program.
enum class Via { Step, Run };
inline constexpr Via kBothWays[] = {Via::Step, Via::Run};

inline const char* name(Via via) { return via == Via::Step ? "step" : "run"; }

inline void executeFirstWord(Chip& c, Via via) {
    if (via == Via::Step) {
        EXPECT_EQ(c.step(0), 1);
    } else {
        c.writePos() = (c.writePos() + 1) & (FXCoreCore::kDelaySamples - 1);
        c.core().run(nullptr);
    }
}

// ---- Whole-state snapshot ---------------------------------------------------------

struct Snapshot {
    std::array<int32_t, 16> creg{};
    int32_t acc32 = 0;
    int32_t flags = 0;
    std::array<int32_t, 128> mreg{};
    std::array<int32_t, 49> sfr{};
    int64_t acc64 = 0;
    int32_t writePos = 0;
    std::array<int32_t, 2> user{};
    std::array<int32_t, 4> outputs{};
    std::vector<int16_t> delay;

    bool operator==(const Snapshot&) const = default;

    // The register slot s as instructions see it: R0-R15, ACC32, FLAGS, MREG0-13.
    void setSlot(unsigned s, int32_t v) {
        if (s < 16) creg[s] = v;
        else if (s == 16) acc32 = v;
        else if (s == 17) flags = v;
        else mreg[s - 18] = v;
    }

    static Snapshot of(Chip& c) {
        Snapshot s;
        for (int i = 0; i < 16; ++i) s.creg[i] = c.reg(i);
        s.acc32 = c.acc32();
        s.flags = c.flags();
        for (int i = 0; i < 128; ++i) s.mreg[i] = c.mreg(i);
        for (int i = 0; i < 49; ++i) s.sfr[i] = c.sfr(i);
        s.acc64 = c.acc64();
        s.writePos = c.writePos();
        s.user = {c.userOut(0), c.userOut(1)};
        for (int i = 0; i < 4; ++i) s.outputs[i] = c.output(i);
        s.delay.resize(FXCoreCore::kDelaySamples);
        for (int i = 0; i < FXCoreCore::kDelaySamples; ++i) s.delay[i] = c.delayAbs(i);
        return s;
    }
};

// Fills every register, accumulator, SFR and part of the delay memory with
// distinct nonzero values, so that a stray write shows in a snapshot.
inline void scatterState(Chip& c) {
    for (int i = 0; i < 16; ++i) c.reg(i) = static_cast<int32_t>(0x01010101u * static_cast<uint32_t>(i + 1));
    c.acc32() = 0x13579BDF;
    c.flags() = 0x0F0F;
    for (int i = 0; i < 128; ++i) c.mreg(i) = -1000 - i;
    for (int i = 0; i < 49; ++i) c.sfr(i) = 7 * i + 3;
    c.acc64() = 0x0123456789ABCDEFll;
    c.writePos() = 12345;
    c.userOut(0) = 1;
    c.userOut(1) = 0;
    for (int i = 0; i < 4; ++i) c.output(i) = 0x100 * (i + 1);
    for (int i = 0; i < 4096; ++i) c.delayAbs(i * 8) = static_cast<int16_t>(i * 7 - 9000);
}

}  // namespace fxcore::test
