// The fxcore-asm program end to end: files in, HEX or errors out, exit codes.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "fxasm/assembler.h"
#include "fxasm/hex_writer.h"
#include "fxcore/fxcore_program.h"
#include "fxcore/instruction_set.h"

namespace fs = std::filesystem;

namespace {

class AsmCommandLine : public ::testing::Test {
protected:
    void SetUp() override {
        const std::string name = ::testing::UnitTest::GetInstance()->current_test_info()->name();
        dir_ = fs::temp_directory_path() / ("fxasm_cli_" + std::to_string(getpid()) + "_" + name);
        fs::create_directories(dir_);
    }
    void TearDown() override { fs::remove_all(dir_); }

    std::string path(const std::string& file) const { return (dir_ / file).string(); }

    void write(const std::string& file, const std::string& text) const { std::ofstream(path(file)) << text; }

    std::string read(const std::string& file) const {
        std::ifstream in(path(file), std::ios::binary);
        std::ostringstream s;
        s << in.rdbuf();
        return s.str();
    }

    // Runs fxcore-asm with `args`; stdout and stderr land in files "out" and "err".
    int run(const std::string& args) const {
        const std::string command = std::string(FXCORE_ASM_PATH) + " " + args + " >" + path("out") + " 2>" + path("err");
        const int status = std::system(command.c_str());
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

    fs::path dir_;
};

TEST_F(AsmCommandLine, WritesAHexImageThatLoads) {
    const std::string source = ".sfr LFO0_RATE, 100\nRDSFR R0, IN0\nWRSFR R0, OUT0\n";
    write("prog.fxasm", source);
    ASSERT_EQ(run(path("prog.fxasm") + " -o " + path("prog.hex")), 0) << read("err");
    EXPECT_TRUE(read("err").empty());
    fxcore::FXCoreProgram program;
    const auto result = program.loadFromText(read("prog.hex"));
    ASSERT_TRUE(result.ok) << result.error;
    EXPECT_TRUE(result.warnings.empty());
    EXPECT_EQ(program.words.size(), 2u);
    EXPECT_EQ(program.presets.sfr[28], 100);

    // Without -o the same text goes to standard output.
    ASSERT_EQ(run(path("prog.fxasm")), 0);
    EXPECT_EQ(read("out"), read("prog.hex"));
}

TEST_F(AsmCommandLine, ErrorsGoToStderrWithFileAndLineAndNothingIsWritten) {
    write("bad.fxasm", "ABS R0\nADD R0, R99\nSLI R0, 40\n");
    EXPECT_NE(run(path("bad.fxasm") + " -o " + path("bad.hex")), 0);
    const std::string err = read("err");
    EXPECT_NE(err.find(path("bad.fxasm") + ":2: ADD: 'R99' is not a register"), std::string::npos) << err;
    EXPECT_NE(err.find(path("bad.fxasm") + ":3: SLI: "), std::string::npos) << err;
    EXPECT_FALSE(fs::exists(path("bad.hex")));
    EXPECT_TRUE(read("out").empty());
}

TEST_F(AsmCommandLine, BadArgumentsAndMissingFiles) {
    EXPECT_NE(run(""), 0);
    EXPECT_NE(run("--frobnicate x.fxasm"), 0);
    EXPECT_NE(run(path("a") + " " + path("b")), 0);
    EXPECT_NE(run(path("missing.fxasm")), 0);
    EXPECT_NE(read("err").find("cannot read"), std::string::npos);
}

TEST_F(AsmCommandLine, HelpListsEveryMnemonicWithItsOperands) {
    ASSERT_EQ(run("--help"), 0);
    const std::string help = read("out");
    for (const fxcore::OpcodeInfo& info : fxcore::opcodeTable()) {
        const char after = info.format == fxcore::OperandFormat::None ? '\n' : ' ';
        EXPECT_NE(help.find("\n  " + std::string(info.mnemonic) + after), std::string::npos) << info.mnemonic;
    }
    EXPECT_NE(help.find("USER0|USER1"), std::string::npos);
    EXPECT_NE(help.find(".equ"), std::string::npos);
}

}  // namespace
