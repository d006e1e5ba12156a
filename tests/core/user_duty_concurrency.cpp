// The user-output duty hand-off under real concurrency: one thread runs the chip as
// the audio thread does while the main thread reads the duty averages as the panel
// does. Every read must be a consistent snapshot of whole samples.
#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <cstdint>
#include <iterator>
#include <latch>
#include <memory>
#include <string>
#include <thread>

#include "fxcore/fxcore_core.h"
#include "fxcore/instruction_set.h"

namespace {

using fxcore::FXCoreCore;
using fxcore::makeWord;

constexpr uint32_t user(unsigned ra, unsigned which, unsigned bit) { return makeWord(106, ra, (which << 5) | bit); }
constexpr uint32_t rdsfr(unsigned ra, unsigned k) { return makeWord(50, ra, k); }
constexpr uint32_t notToAcc(unsigned ra) { return makeWord(80, ra, 0); }
constexpr unsigned kAcc32 = 16;

// Runs `audio` on a second thread while the calling thread reads the duty averages
// until the audio thread is done, with one more read after that. `check` sees every
// pair read, in order, and returns an empty string or what was wrong; the first
// complaint is returned, together with the number of reads.
struct ReadReport {
    long reads = 0;
    std::string firstProblem;
    float last[2] = {-1.0f, -1.0f};
};

template <class Audio, class Check>
ReadReport readWhileRunning(FXCoreCore& core, Audio audio, Check check) {
    std::latch start(2);
    std::atomic<bool> done{false};
    std::thread audioThread([&] {
        start.arrive_and_wait();
        audio();
        done.store(true, std::memory_order_release);
    });

    ReadReport report;
    start.arrive_and_wait();
    bool finished = false;
    do {
        finished = done.load(std::memory_order_acquire);
        float duty[2] = {-1.0f, -1.0f};
        core.readUserDuty(duty);
        ++report.reads;
        report.last[0] = duty[0];
        report.last[1] = duty[1];
        if (report.firstProblem.empty()) {
            std::string problem = check(duty[0], duty[1]);
            if (!problem.empty())
                report.firstProblem = "read " + std::to_string(report.reads) + " (" + std::to_string(duty[0]) +
                                      ", " + std::to_string(duty[1]) + "): " + problem;
        }
    } while (!finished);
    audioThread.join();
    return report;
}

TEST(UserDutyConcurrency, ReadsDuringRunAreWholeSampleSnapshots) {
    constexpr int kSamples = 1 << 18;
    auto core = std::make_unique<FXCoreCore>();
    FXCoreCore::Presets presets;
    presets.creg[1] = 1;
    core->setPresets(presets);
    // USER0 := bit 0 of R1, on every sample. USER1 := bit 17 of the sample counter:
    // off for the first half of the run, on for the second.
    const uint32_t words[] = {user(1, 0, 0), rdsfr(2, 46), user(2, 1, 17)};
    ASSERT_TRUE(core->setProgram(words, std::size(words)));

    // USER0 reads 0 only until the first sample is seen, then exactly 1.0: any mix of
    // sample and on counts from different moments would read otherwise.
    // USER1 goes 0 ... 0, then at most one window across the half-way point (read
    // again while no sample runs), then 1.0 ... 1.0.
    bool seenSample = false;
    int user1Phase = 0;  // 0 off, 1 the crossing window, 2 on
    float crossing = -1.0f;
    auto check = [&](float d0, float d1) -> std::string {
        if (d0 == 1.0f) seenSample = true;
        else if (d0 != 0.0f) return "USER0 is neither 0 nor 1";
        else if (seenSample) return "USER0 fell back to 0";
        if (!(d1 >= 0.0f && d1 <= 1.0f)) return "USER1 outside 0 to 1";
        if (d1 != 0.0f && !seenSample) return "USER1 on before USER0";
        if (d1 == 0.0f) {
            if (user1Phase != 0) return "USER1 off again";
        } else if (d1 == 1.0f) {
            user1Phase = 2;
        } else {
            if (!(user1Phase == 0 || (user1Phase == 1 && d1 == crossing))) return "USER1 crossed twice";
            user1Phase = 1;
            crossing = d1;
        }
        return {};
    };
    const ReadReport report = readWhileRunning(*core, [&] {
        for (int n = 0; n < kSamples; ++n) core->run(nullptr);
    }, check);

    RecordProperty("reads", static_cast<int>(report.reads));
    EXPECT_EQ(report.firstProblem, "") << "after " << report.reads << " reads";
    EXPECT_EQ(report.last[0], 1.0f);
    EXPECT_NE(report.last[1], 0.0f);

    // Back on one thread: the next 2^17 samples have bit 17 clear again.
    for (int n = 0; n < (1 << 17); ++n) core->run(nullptr);
    float duty[2] = {};
    core->readUserDuty(duty);
    EXPECT_EQ(duty[0], 1.0f);
    EXPECT_EQ(duty[1], 0.0f);
}

TEST(UserDutyConcurrency, ComplementaryOutputsAlwaysSumToOne) {
    constexpr int kSamples = 1 << 18;
    auto core = std::make_unique<FXCoreCore>();
    // USER0 := bit 0 of the sample counter, USER1 := its complement.
    const uint32_t words[] = {rdsfr(2, 46), user(2, 0, 0), notToAcc(2), user(kAcc32, 1, 0)};
    ASSERT_TRUE(core->setProgram(words, std::size(words)));

    // Both averages share one sample count; a torn pair would be off by at least
    // 1 / 2^18, far more than float rounding.
    auto check = [](float d0, float d1) -> std::string {
        if (!(d0 >= 0.0f && d0 <= 1.0f && d1 >= 0.0f && d1 <= 1.0f)) return "outside 0 to 1";
        if (d0 == 0.0f && d1 == 0.0f) return {};  // before the first sample
        if (std::fabs(static_cast<double>(d0) + d1 - 1.0) > 5e-7) return "the two do not sum to 1";
        return {};
    };
    const ReadReport report = readWhileRunning(*core, [&] {
        for (int n = 0; n < kSamples; ++n) core->run(nullptr);
    }, check);
    RecordProperty("reads", static_cast<int>(report.reads));
    EXPECT_EQ(report.firstProblem, "") << "after " << report.reads << " reads";
    EXPECT_NEAR(static_cast<double>(report.last[0]) + report.last[1], 1.0, 5e-7);
}

TEST(UserDutyConcurrency, ResetOnTheAudioThreadNeverMixesWindows) {
    constexpr int kRounds = 64;
    constexpr int kSamplesPerRound = 4096;
    auto core = std::make_unique<FXCoreCore>();
    FXCoreCore::Presets presets;
    presets.creg[1] = 1;
    core->setPresets(presets);
    // USER0 on every sample, USER1 (bit 0 of R3 = 0) never.
    const uint32_t words[] = {user(1, 0, 0), user(3, 1, 0)};
    ASSERT_TRUE(core->setProgram(words, std::size(words)));

    // Right after a reset the averages read 0; otherwise USER0 reads exactly 1.0.
    auto check = [](float d0, float d1) -> std::string {
        if (d0 != 0.0f && d0 != 1.0f) return "USER0 is neither 0 nor 1";
        if (d1 != 0.0f) return "USER1 is not 0";
        return {};
    };
    const ReadReport report = readWhileRunning(*core, [&] {
        for (int round = 0; round < kRounds; ++round) {
            for (int n = 0; n < kSamplesPerRound; ++n) core->run(nullptr);
            core->reset();
        }
        core->run(nullptr);
    }, check);
    RecordProperty("reads", static_cast<int>(report.reads));
    EXPECT_EQ(report.firstProblem, "") << "after " << report.reads << " reads";
    EXPECT_EQ(report.last[0], 1.0f);
}

}  // namespace
