// The state record: its exact bytes, round trips, the versions and limits the
// reader accepts, what a load changes and, for every way a record can be cut off
// or a stream can fail, that nothing changes at all.
#include <algorithm>
#include <cstddef>
#include <cstring>
#include <string>
#include <vector>

#include "fxcoreplug/fxcore_plugin.h"
#include "fxcoreplug/param_ids.h"
#include "surface_support.h"

namespace {

using fxcoreplug::FXCorePlugin;
using surface::Bytes;
using surface::RecordWriter;
namespace param = fxcoreplug::param;

constexpr uint32_t kMaxString = 0x1000000;

std::vector<double> valuesOf(const FXCorePlugin& p) {
    std::vector<double> values;
    for (const auto& def : FXCorePlugin::paramDefs()) values.push_back(p.paramValue(def.id));
    return values;
}

// Every field differs from a fresh plug-in's.
void tweakAll(FXCorePlugin& p) {
    double v = 0.05;
    for (const auto& def : FXCorePlugin::paramDefs()) {
        if (def.id == param::kProgram) continue;
        p.storeParam(def.id, def.min + (def.max - def.min) * v);
        v += 0.05;
    }
}

float firstOutputSample(FXCorePlugin& p) {
    surface::StereoBlock block(4);
    p.process(&block.process);
    return block.outL[0];
}

// ---- writing ----

TEST(StateSave, AFreshPluginWritesTheDefaultRecordByteForByte) {
    FXCorePlugin p(nullptr);
    const Bytes saved = surface::saveOf(p);
    ASSERT_EQ(saved.size(), 250u);
    EXPECT_EQ(saved, surface::record(surface::freshPairs(), "", "", "kv-lumivex"));

    const Bytes head = {'F', 'X', 'C', '1', 2, 0, 0, 0, 18, 0, 0, 0, 100, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0xE0, 0x3F};
    EXPECT_TRUE(std::equal(head.begin(), head.end(), saved.begin()));
    const std::string tail = std::string(8, '\0') + std::string("\x0a\0\0\0", 4) + "kv-lumivex";
    EXPECT_EQ(std::string(saved.end() - 22, saved.end()), tail);
}

TEST(StateSave, ARecordWithoutBanksEndsWithAnEmptyBankName) {
    surface::Firmware fw;
    fw.add("broken", "no image here");
    FXCorePlugin p(nullptr, fw.table());
    const Bytes saved = surface::saveOf(p);
    EXPECT_EQ(saved.size(), 240u);
    EXPECT_EQ(saved, surface::record(surface::freshPairs(), "", "", ""));
}

TEST(StateSave, AStreamTakingOneByteAtATimeGetsTheSameBytes) {
    FXCorePlugin p(nullptr);
    tweakAll(p);
    std::string error;
    ASSERT_TRUE(p.loadCustomHex(surface::constantProgram(0.25), "Mine", error)) << error;
    const Bytes whole = surface::saveOf(p);

    surface::MemoryOut out;
    out.chunk = 1;
    ASSERT_TRUE(p.stateSave(&out.stream));
    EXPECT_EQ(out.data, whole);
    EXPECT_EQ(out.calls, static_cast<int>(whole.size()));
}

TEST(StateSave, AStreamThatRefusesBytesFailsTheSaveAndKeepsWhatWasWritten) {
    FXCorePlugin p(nullptr);
    const Bytes whole = surface::saveOf(p);
    for (int64_t refusal : {0, -1}) {
        for (size_t stop : {size_t{0}, size_t{2}, size_t{4}, size_t{13}, size_t{100}, size_t{236}, size_t{249}}) {
            surface::MemoryOut out;
            out.chunk = 3;  // partial writes before the refusal
            out.failAfter = stop;
            out.failResult = refusal;
            EXPECT_FALSE(p.stateSave(&out.stream)) << "refusal " << refusal << " after " << stop;
            EXPECT_EQ(out.refusals, 1) << "the save ends at the first refusal";
            EXPECT_EQ(out.data, Bytes(whole.begin(), whole.begin() + static_cast<ptrdiff_t>(stop)));
        }
    }
    EXPECT_EQ(surface::saveOf(p), whole) << "a failed save changes nothing";
}

// ---- round trips ----

TEST(StateRoundTrip, ValuesAndBankArriveInAFreshInstanceAndSaveAgainIdentically) {
    surface::Firmware fw;
    fw.add("echo_0", surface::constantProgram(0.125))
        .add("echo_1", surface::constantProgram(0.25))
        .add("solo", surface::constantProgram(0.5));
    FXCorePlugin a(nullptr, fw.table());
    tweakAll(a);
    a.storeParam(param::kProgram, 1.0);
    const Bytes saved = surface::saveOf(a);
    EXPECT_EQ(std::string(saved.end() - 4, saved.end()), "solo");

    FXCorePlugin b(nullptr, fw.table());
    ASSERT_TRUE(surface::loadInto(b, saved));
    EXPECT_EQ(valuesOf(b), valuesOf(a));
    EXPECT_EQ(b.currentBank(), 1);
    EXPECT_EQ(surface::saveOf(b), saved);

    FXCorePlugin c(nullptr, fw.table());
    ASSERT_TRUE(surface::loadInto(c, saved, 1)) << "one byte per read";
    EXPECT_EQ(surface::saveOf(c), saved);
}

TEST(StateRoundTrip, ACustomProgramTravelsWithProgramAndMode) {
    // Saved on mode 1 of a compiled-in bank while a custom program is held:
    // installing the custom program on load must not move the selection.
    surface::Firmware fw;
    fw.add("echo_0", surface::constantProgram(0.125)).add("echo_1", surface::constantProgram(0.25));
    const std::string hex = surface::constantProgram(-0.375);
    FXCorePlugin a(nullptr, fw.table());
    std::string error;
    ASSERT_TRUE(a.loadCustomHex(hex, "Mine", error)) << error;
    a.storeParam(param::kProgram, 0.0);
    a.storeParam(param::kMode, 1.0);
    a.storeParam(param::kPot0 + 1, 0.9);
    const Bytes saved = surface::saveOf(a);

    FXCorePlugin b(nullptr, fw.table());
    ASSERT_TRUE(surface::loadInto(b, saved));
    EXPECT_EQ(b.customHexText(), hex);
    EXPECT_EQ(b.customProgramName(), "Mine");
    EXPECT_EQ(valuesOf(b), valuesOf(a));
    ASSERT_TRUE(b.activate(48000.0, 1, 64));
    EXPECT_EQ(firstOutputSample(b), 0.25f) << "echo_1 plays, not echo_0";
    EXPECT_EQ(surface::saveOf(b), saved);

    b.storeParam(param::kProgram, 1.0);  // "(loaded)"
    EXPECT_EQ(firstOutputSample(b), -0.375f);
}

// ---- reading ----

TEST(StateLoad, VersionsZeroAndOneEndAfterTheCustomProgramAndLaterBytesStayUnread) {
    for (uint32_t version : {0u, 1u, 2u}) {
        FXCorePlugin p(nullptr);
        RecordWriter w;
        w.header(version, 1).pair(param::kPot0 + 4, 0.125).str("").str("");
        if (version == 2) w.str("kv-lumivex");
        const size_t length = w.size();
        w.raw("trailing bytes");
        surface::MemoryIn in(w.bytes());
        EXPECT_TRUE(p.stateLoad(&in.stream)) << version;
        EXPECT_EQ(in.pos, length) << version;
        EXPECT_EQ(p.paramValue(param::kPot0 + 4), 0.125) << version;
    }
}

TEST(StateLoad, WrongMagicOrNewerVersionIsRefused) {
    FXCorePlugin p(nullptr);
    const Bytes before = surface::saveOf(p);
    for (uint32_t version : {3u, 0xFFFFFFFFu}) {
        RecordWriter w;
        w.header(version, 1).pair(param::kPot0, 0.9).str("").str("").str("kv-lumivex");
        EXPECT_FALSE(surface::loadInto(p, w.bytes())) << version;
    }
    Bytes wrongMagic = surface::record({{param::kPot0, 0.9}}, "", "", "");
    wrongMagic[3] = '2';
    EXPECT_FALSE(surface::loadInto(p, wrongMagic));
    EXPECT_FALSE(surface::loadInto(p, {}));
    EXPECT_EQ(surface::saveOf(p), before);
}

TEST(StateLoad, PairsAreClampedUnknownIdsSkippedAndMissingIdsKept) {
    FXCorePlugin p(nullptr);
    p.storeParam(param::kPot0 + 3, 0.8);
    const Bytes rec = surface::record({{param::kPot0 + 5, 0.2},  // any order
                                       {param::kPot0, 5.0},
                                       {param::kPot0 + 1, -2.0},
                                       {param::kInputTrim, 30.0},
                                       {param::kOutputTrim, -30.0},
                                       {param::kPot0 + 2, 0.1},
                                       {param::kPot0 + 2, 0.7},  // the last value counts
                                       {999, 0.3}},
                                      "", "", "");
    ASSERT_TRUE(surface::loadInto(p, rec));
    EXPECT_EQ(p.paramValue(param::kPot0 + 5), 0.2);
    EXPECT_EQ(p.paramValue(param::kPot0), 1.0);
    EXPECT_EQ(p.paramValue(param::kPot0 + 1), 0.0);
    EXPECT_EQ(p.paramValue(param::kInputTrim), 24.0);
    EXPECT_EQ(p.paramValue(param::kOutputTrim), -24.0);
    EXPECT_EQ(p.paramValue(param::kPot0 + 2), 0.7);
    EXPECT_EQ(p.paramValue(param::kPot0 + 3), 0.8);
    EXPECT_EQ(p.paramValue(param::kEnable), 1.0);
}

TEST(StateLoad, CountZeroGoesStraightToTheStrings) {
    surface::Firmware fw;
    fw.add("echo", surface::constantProgram(0.125)).add("solo", surface::constantProgram(0.5));
    FXCorePlugin p(nullptr, fw.table());
    p.storeParam(param::kPot0, 0.9);
    ASSERT_TRUE(surface::loadInto(p, surface::record({}, "", "", "solo")));
    EXPECT_EQ(p.paramValue(param::kPot0), 0.9);
    EXPECT_EQ(p.paramValue(param::kProgram), 1.0);
}

TEST(StateLoad, TheBankNameSelectsOnlyAnExactMatch) {
    surface::Firmware fw;
    fw.add("echo", surface::constantProgram(0.125)).add("solo", surface::constantProgram(0.5));
    const struct {
        const char* bank;
        double program;
    } cases[] = {{"echo", 0.0}, {"solo", 1.0}, {"ECHO", 1.0}, {"Solo", 1.0}, {"ech", 1.0}, {"", 1.0}};
    for (const auto& c : cases) {
        FXCorePlugin p(nullptr, fw.table());
        ASSERT_TRUE(surface::loadInto(p, surface::record({{param::kProgram, 1.0}}, "", "", c.bank))) << c.bank;
        EXPECT_EQ(p.paramValue(param::kProgram), c.program) << "bank \"" << c.bank << "\"";
    }
}

TEST(StateLoad, StringLengthLimit) {
    // Exactly 16 MiB in each string field is read whole.
    for (int field = 0; field < 3; ++field) {
        const std::string big(kMaxString, 'z');
        FXCorePlugin p(nullptr);
        const Bytes rec = surface::record({{param::kPot0, 0.25}}, field == 0 ? big : "", field == 1 ? big : "",
                                          field == 2 ? big : "kv-lumivex");
        surface::MemoryIn in(rec);
        // A 16 MiB HEX text of 'z' is no program, which refuses the record.
        EXPECT_EQ(p.stateLoad(&in.stream), field != 1) << "field " << field;
        EXPECT_EQ(in.pos, rec.size());
        EXPECT_EQ(p.paramValue(param::kPot0), field != 1 ? 0.25 : 0.5);
        EXPECT_EQ(p.customHexText(), "");
    }
    // One byte more is refused right after its length, and nothing is applied.
    for (int field = 0; field < 3; ++field) {
        FXCorePlugin p(nullptr);
        const Bytes before = surface::saveOf(p);
        RecordWriter w;
        w.header(2, 1).pair(param::kPot0, 0.25);
        if (field > 0) w.str("");
        if (field > 1) w.str("");
        w.u32(kMaxString + 1);
        const size_t afterLength = w.size();
        w.raw(std::string(64, 'z'));
        surface::MemoryIn in(w.bytes());
        EXPECT_FALSE(p.stateLoad(&in.stream)) << "field " << field;
        EXPECT_EQ(in.pos, afterLength) << "field " << field;
        EXPECT_EQ(surface::saveOf(p), before) << "field " << field;
    }
}

TEST(StateLoad, CustomHexWithLoadedBankInstallsAtTheNextBlock) {
    FXCorePlugin p(nullptr);
    ASSERT_TRUE(p.activate(48000.0, 1, 64));
    const float firmwareOut = firstOutputSample(p);
    const std::string hex = surface::constantProgram(0.625);
    auto pairs = surface::freshPairs();
    pairs[15].second = 3.0;  // Mode
    ASSERT_TRUE(surface::loadInto(p, surface::record(pairs, "Patch", hex, "(loaded)")));

    EXPECT_EQ(p.bankCount(), 2);
    EXPECT_EQ(p.bankName(1), "(loaded)");
    EXPECT_EQ(p.paramValue(param::kProgram), 1.0);
    EXPECT_EQ(p.paramValue(param::kMode), 3.0) << "kept; the bank's only program plays";
    EXPECT_EQ(p.customProgramName(), "Patch");
    EXPECT_EQ(p.customHexText(), hex);
    EXPECT_NE(firmwareOut, 0.625f);
    EXPECT_EQ(firstOutputSample(p), 0.625f);
}

TEST(StateLoad, ACustomProgramLoadPutsTheRecordsProgramAndModeValuesBack) {
    // A version 1 record has no bank name: Program and Mode stay at their pairs'
    // values although loading the custom program selected "(loaded)" meanwhile.
    FXCorePlugin p(nullptr);
    RecordWriter w;
    w.header(1, 2).pair(param::kProgram, 0.0).pair(param::kMode, 5.0).str("V1").str(surface::constantProgram(0.25));
    ASSERT_TRUE(surface::loadInto(p, w.bytes()));
    EXPECT_EQ(p.customProgramName(), "V1");
    EXPECT_EQ(p.paramValue(param::kProgram), 0.0);
    EXPECT_EQ(p.paramValue(param::kMode), 5.0);
    EXPECT_EQ(p.bankName(1), "(loaded)");
}

TEST(StateLoad, AnInvalidCustomHexRefusesTheRecordAndAnEmptyOneKeepsTheProgram) {
    const std::string hex = surface::constantProgram(0.25);
    FXCorePlugin p(nullptr);
    std::string error;
    ASSERT_TRUE(p.loadCustomHex(hex, "Old", error)) << error;
    p.storeParam(param::kProgram, 0.0);
    const Bytes before = surface::saveOf(p);

    EXPECT_FALSE(surface::loadInto(p, surface::record({{param::kPot0, 0.1}}, "Bad", ":00000001FE\nnonsense", "")));
    EXPECT_EQ(surface::saveOf(p), before) << "values, custom program and bank all as they were";

    ASSERT_TRUE(surface::loadInto(p, surface::record({}, "Other", "", "(loaded)")));
    EXPECT_EQ(p.customHexText(), hex);
    EXPECT_EQ(p.customProgramName(), "Old");
    EXPECT_EQ(p.paramValue(param::kProgram), 1.0);
    EXPECT_EQ(p.bankCount(), 2);

    FXCorePlugin none(nullptr);
    EXPECT_FALSE(surface::loadInto(none, surface::record({}, "Bad", "garbage", "(loaded)")));
    EXPECT_EQ(none.bankCount(), 1) << "no \"(loaded)\" bank without a custom program";
    EXPECT_EQ(none.customHexText(), "");
}

TEST(StateLoad, AHostIsToldToReadTheValuesAgainOnlyAfterALoadThatChangedThem) {
    surface::FakeHost host;
    FXCorePlugin p(&host.host);
    const Bytes changing = surface::record({{param::kPot0, 0.1}}, "", "", "");
    ASSERT_TRUE(surface::loadInto(p, changing));
    EXPECT_EQ(host.rescans.load(), 1);
    EXPECT_EQ(host.lastRescanFlags.load(), CLAP_PARAM_RESCAN_VALUES);

    ASSERT_TRUE(surface::loadInto(p, changing)) << "the same values again";
    EXPECT_FALSE(surface::loadInto(p, surface::record({{param::kPot0, 0.2}}, "", "bad", "")));
    EXPECT_EQ(host.rescans.load(), 1);

    host.offerParams = false;
    ASSERT_TRUE(surface::loadInto(p, surface::record({{param::kPot0, 0.4}}, "", "", "")));
    EXPECT_EQ(host.rescans.load(), 1);
}

TEST(StateLoad, ALoadInstallsTheProgramAgainAtTheNextBlock) {
    surface::Firmware fw;
    fw.add("kv-lumivex", surface::constantProgram(0.25));
    FXCorePlugin p(nullptr, fw.table());
    ASSERT_TRUE(p.activate(48000.0, 1, 64));
    surface::StereoBlock block(64);
    for (int i = 0; i < 3; ++i) p.process(&block.process);
    EXPECT_EQ(p.core.readSFR(46), 192) << "samples since the chip was reset";

    const Bytes saved = surface::saveOf(p);
    EXPECT_FALSE(surface::loadInto(p, Bytes(saved.begin(), saved.end() - 1)));
    p.process(&block.process);
    EXPECT_EQ(p.core.readSFR(46), 256) << "a refused record does not touch the chip";

    ASSERT_TRUE(surface::loadInto(p, saved));
    p.process(&block.process);
    EXPECT_EQ(p.core.readSFR(46), 64);
}

// ---- failures change nothing ----

TEST(StateLoad, ARecordCutOffOrFailingAnywhereChangesNothing) {
    const std::string hex = surface::constantProgram(0.25);
    FXCorePlugin source(nullptr);
    tweakAll(source);
    std::string error;
    ASSERT_TRUE(source.loadCustomHex(hex, "Cut", error)) << error;
    const Bytes full = surface::saveOf(source);

    FXCorePlugin p(nullptr);
    p.storeParam(param::kPot0, 0.9);
    const Bytes before = surface::saveOf(p);

    for (uint64_t chunk : {uint64_t{0}, uint64_t{1}, uint64_t{7}}) {
        for (size_t cut = 0; cut < full.size(); ++cut) {
            // The stream ends at `cut`, or fails there with -1.
            for (bool fails : {false, true}) {
                surface::MemoryIn in(fails ? full : Bytes(full.begin(), full.begin() + static_cast<ptrdiff_t>(cut)),
                                     chunk);
                if (fails) in.errorAt = cut;
                const std::string where = "at " + std::to_string(cut) + ", chunk " + std::to_string(chunk) +
                                          (fails ? ", read error" : ", end of stream");
                ASSERT_FALSE(p.stateLoad(&in.stream)) << where;
                ASSERT_EQ(in.endReads, fails ? 0 : 1) << where << ": the load ends there";
                ASSERT_EQ(surface::saveOf(p), before) << where;
                ASSERT_EQ(p.bankCount(), 1) << where;
            }
        }
    }
    ASSERT_TRUE(surface::loadInto(p, full));
    EXPECT_EQ(surface::saveOf(p), full);
}

TEST(StateLoad, ACutInsideTheCustomHexLeavesValuesProgramAndBankAlone) {
    surface::Firmware fw;
    fw.add("echo", surface::constantProgram(0.125)).add("solo", surface::constantProgram(0.5));
    FXCorePlugin p(nullptr, fw.table());
    p.storeParam(param::kProgram, 1.0);
    const std::string hex = surface::constantProgram(0.25);
    const Bytes full = surface::record({{param::kPot0, 0.1}, {param::kProgram, 0.0}}, "Half", hex, "echo");
    const size_t hexStart = 12 + 2 * 12 + 4 + 4 + 4;
    const Bytes cut(full.begin(), full.begin() + static_cast<ptrdiff_t>(hexStart + hex.size() / 2));

    EXPECT_FALSE(surface::loadInto(p, cut));
    EXPECT_EQ(p.paramValue(param::kPot0), 0.5);
    EXPECT_EQ(p.paramValue(param::kProgram), 1.0);
    EXPECT_EQ(p.customHexText(), "");
    EXPECT_EQ(p.bankCount(), 2);
}

}  // namespace
