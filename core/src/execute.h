// The instruction dispatcher: one pre-decoded word, one case. Each case opens with
// its mnemonic and effect; the arithmetic helpers live in q31.h and ops_*.h.
// Included only by run.cpp, so the whole dispatch inlines into the sample loop.
#pragma once

#include "fxcore/fxcore_core.h"
#include "fxcore/q31.h"
#include "ops_alu.h"
#include "ops_modulated_reads.h"

namespace fxcore {

__attribute__((always_inline)) inline int FXCoreCore::execute(const DecodedWord& d, int pc) {
    using namespace q31;
    const int32_t A = regs[d.ra];
    const int32_t B = regs[d.rb];  // for formats without rb this is slot 0..31, unused
    int32_t& X = regs[kAcc32];
    int32_t& R = regs[d.ra];       // register result, written after A was read
    const int next = pc + 1;
    const int jump = pc + 1 + d.addr;

    switch (d.op) {
        // ---- results in ACC32 ----
        case 0: X = absSat(A); break;                                    // ABS: |A|, sat
        case 2: X = wrap32(static_cast<int64_t>(A) + d.imm); break;      // ADDI: A + S16, wrap
        case 3: X = wrap32(static_cast<int64_t>(A) + B); break;          // ADD: A + B, wrap
        case 4: X = sat32(static_cast<int64_t>(A) + B); break;           // ADDS: A + B, sat
        case 5: X = sat32(static_cast<int64_t>(A) + d.imm); break;       // ADDSH: A + H, sat
        case 6: X = wrap32(static_cast<int64_t>(A) - B); break;          // SUB: A - B, wrap
        case 7: X = sat32(static_cast<int64_t>(A) - B); break;           // SUBS: A - B, sat
        case 8: X = shl(A, d.rb); break;                                 // SLI: A << n
        case 9: X = shl(A, B & 31); break;                               // SL: A << B
        case 10: X = satShiftLeft(A, d.rb); break;                       // SLSI: A << n, sat
        case 11: X = satShiftLeft(A, B & 31); break;                     // SLS: A << B, sat
        case 12: X = shrLogical(A, d.rb); break;                         // SRLI: A >>> n
        case 13: X = shrLogical(A, B & 31); break;                       // SRL: A >>> B
        case 14: X = shrArith(A, d.rb); break;                           // SRAI: A >> n
        case 15: X = shrArith(A, B & 31); break;                         // SRA: A >> B
        case 24: X = mulS31(A, B); break;                                // MULRR: A * B
        case 25: X = mulS31(A, d.imm); break;                            // MULRI: A * H
        case 26: X = negSat(A); break;                                   // NEG: -A, sat
        case 27: X = ops::log2Q26(A); break;                             // LOG2
        case 28: X = ops::exp2Q26(A); break;                             // EXP2
        case 80: X = ~A; break;                                          // NOT
        case 81: X = A | B; break;                                       // OR
        case 82: X = A | d.imm; break;                                   // ORI: A | U16
        case 83: X = A & B; break;                                       // AND
        case 84: X = A & d.imm; break;                                   // ANDI: A & U16
        case 85: X = A ^ B; break;                                       // XOR
        case 86: X = A ^ d.imm; break;                                   // XORI: A ^ U16

        // ---- ACC64 (products added with saturation) ----
        case 1: acc64 = 0; break;                                        // CLRACC64
        case 16: addToAcc64(mulFrac64(A, B)); break;                     // MACRR: Y += A*B
        case 17: addToAcc64(mulFrac64(A, d.imm)); break;                 // MACRI: Y += A*H
        case 18: addToAcc64(mulFrac64(A, readDelay(d.addr))); break;     // MACRD: Y += A*D(a)
        case 19: addToAcc64(mulFrac64(d.imm, readDelay(d.addr))); break; // MACCD: Y += C*D(a)
        case 20: addToAcc64(ops::mulEighth(A, B >> 3)); break;           // MAC8RR: Y += A*B/8
        case 21: addToAcc64(ops::mulEighth(A, d.imm)); break;            // MAC8RI: Y += A*S16/8
        case 22: addToAcc64(ops::mulEighth(A, ops::delayEighth(readDelay(d.addr)))); break;      // MAC8RD
        case 23: addToAcc64(ops::mulEighth(d.imm, ops::delayEighth(readDelay(d.addr)))); break;  // MAC8CD
        case 64: R = static_cast<int32_t>(acc64 >> 32); break;           // RDACCH: ra := Y high
        case 65: R = wrap32(acc64); break;                               // RDACCL: ra := Y low
        case 66:                                                         // WRACCH: Y high := A
            acc64 = static_cast<int64_t>((static_cast<uint64_t>(asUnsigned(A)) << 32) |
                                         (static_cast<uint64_t>(acc64) & 0xFFFFFFFFull));
            break;
        case 67:                                                         // WRACCL: Y low := A
            acc64 = static_cast<int64_t>((static_cast<uint64_t>(acc64) & 0xFFFFFFFF00000000ull) | asUnsigned(A));
            break;
        case 74: R = satShiftLeft(static_cast<int32_t>(acc64 >> 32), 3); break;  // RDACC8: 8 x Y high, sat

        // ---- register, memory-register, SFR and delay moves ----
        case 48: R = B; break;                                           // MOV: ra := B
        case 49: R = regs[kMregBase + d.sel]; break;                     // LDM: ra := MREG M
        case 50: R = readSFR(d.sel); break;                              // RDSFR: ra := SFR K
        case 51: regs[kMregBase + d.sel] = A; break;                     // STM: MREG M := A
        case 52: writeSFR(d.sel, A); break;                              // WRSFR: SFR K := A
        case 53: R = regs[kMregBase + (B & 127)]; break;                 // LDMR: ra := MREG (B & 127)
        case 68: R = readDelay(d.addr); break;                           // RDDEL: ra := D(a)
        case 69: writeDelay(d.addr, A); break;                           // WRDEL: D(a) := A
        case 70: R = readDelay(B); break;                                // RDDELR: ra := D(B)
        case 71: writeDelay(A, B); break;                                // WRDELR: D(A) := B
        case 72: R = readDelayDirect(B); break;                          // RDDELA: ra := M[B]
        case 73: writeDelayDirect(A, B); break;                          // WRDELA: M[A] := B
        case 75: R = d.imm; break;                                       // LDH: ra := H

        // ---- forward jumps: skip J words when the condition holds ----
        case 87: return A >= 0 ? jump : next;                            // JGEZ
        case 88: return A < 0 ? jump : next;                             // JNEG
        case 89: return A != 0 ? jump : next;                            // JNZ
        case 90: return A == 0 ? jump : next;                            // JZ
        case 91: return (A ^ X) < 0 ? jump : next;                       // JSIGN: A, X signs differ
        case 92: return jump;                                            // JMP

        // ---- filter pairs: first half reads t into R15, second half writes old X ----
        case 96: {                                                       // FRDC: X += C*D(a)
            const int32_t t = readDelay(d.addr);
            X = sat32(static_cast<int64_t>(X) + mulS31(d.imm, t));
            regs[15] = t;
            break;
        }
        case 97: {                                                       // FWRC: D(a) := X; X := C*X + R15
            const int32_t oldX = X;
            writeDelay(d.addr, oldX);
            X = sat32(static_cast<int64_t>(mulS31(d.imm, oldX)) + regs[15]);
            break;
        }
        case 98:                                                         // FRD: X -= A*D(a)
        case 100:                                                        // FRDR: X -= A*D(B)
        case 102: {                                                      // FRDM: X -= A*MREG M
            const int32_t t = d.op == 98 ? readDelay(d.addr)
                              : d.op == 100 ? readDelay(B)
                                            : regs[kMregBase + d.sel];
            X = sat32(static_cast<int64_t>(X) + mulS31(negSat(A), t));
            regs[15] = t;
            break;
        }
        case 99:                                                         // FWR: D(a) := X; X := A*X + R15
        case 101:                                                        // FWRR: D(B) := X; ...
        case 103: {                                                      // FWRM: MREG M := X (32 bits); ...
            const int32_t oldX = X;
            if (d.op == 99) writeDelay(d.addr, oldX);
            else if (d.op == 101) writeDelay(B, oldX);
            else regs[kMregBase + d.sel] = oldX;
            X = sat32(static_cast<int64_t>(mulS31(A, oldX)) + regs[15]);
            break;
        }

        // ---- modulated reads and user outputs ----
        case 104: X = lfoRead(d); break;                                 // RDLFO
        case 105: X = rampRead(d); break;                                // RDRAMP
        case 107: X = fracRead(d.addr, A); break;                        // RDFRAC
        case 106: userOut[d.sel] = static_cast<int32_t>((asUnsigned(A) >> d.rb) & 1u); break;  // USER

        default: break;  // invalid word: skipped, changes nothing
    }
    return next;
}

}  // namespace fxcore
