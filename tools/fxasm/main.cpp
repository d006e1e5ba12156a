// fxcore-asm: assembles an FXCore source file into an Intel HEX program image.
#include <cstdio>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>

#include "fxasm/assembler.h"
#include "fxasm/hex_writer.h"
#include "fxasm/usage.h"

namespace {

struct Arguments {
    std::string input;
    std::string output;  // empty: standard output
    bool help = false;
    std::string error;
};

Arguments parseArguments(int argc, char** argv) {
    Arguments args;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--help" || arg == "-h") {
            args.help = true;
        } else if (arg == "-o") {
            if (i + 1 >= argc) {
                args.error = "-o needs an output file name";
                return args;
            }
            args.output = argv[++i];
        } else if (arg.size() > 1 && arg[0] == '-') {
            args.error = "unknown option " + arg;
            return args;
        } else if (!args.input.empty()) {
            args.error = "more than one input file";
            return args;
        } else {
            args.input = arg;
        }
    }
    if (!args.help && args.input.empty()) args.error = "no input file";
    return args;
}

bool readFile(const std::string& path, std::string& text) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    std::ostringstream buffer;
    buffer << in.rdbuf();
    text = buffer.str();
    return !in.bad();
}

bool writeFile(const std::string& path, const std::string& text) {
    {
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        if (out && out.write(text.data(), static_cast<std::streamsize>(text.size())) && out.flush()) return true;
    }
    std::remove(path.c_str());  // leave no half-written image behind
    return false;
}

}  // namespace

int main(int argc, char** argv) {
    const Arguments args = parseArguments(argc, argv);
    if (args.help) {
        std::cout << fxasm::usageText();
        return 0;
    }
    if (!args.error.empty()) {
        std::cerr << "fxcore-asm: " << args.error << "\nusage: fxcore-asm [-o output.hex] input.fxasm\n";
        return 2;
    }

    std::string source;
    if (!readFile(args.input, source)) {
        std::cerr << "fxcore-asm: cannot read " << args.input << '\n';
        return 1;
    }
    const fxasm::AsmOutput assembled = fxasm::assemble(source);
    for (const fxasm::AsmError& e : assembled.errors)
        std::cerr << args.input << ':' << e.line << ": " << e.message << '\n';
    if (!assembled.ok()) return 1;

    const fxasm::HexOutput hex = fxasm::writeHex(assembled.words, assembled.presets);
    if (!hex.error.empty()) {
        std::cerr << args.input << ": " << hex.error << '\n';
        return 1;
    }
    if (args.output.empty()) {
        std::cout << hex.text;
        return std::cout.flush() ? 0 : 1;
    }
    if (!writeFile(args.output, hex.text)) {
        std::cerr << "fxcore-asm: cannot write " << args.output << '\n';
        return 1;
    }
    return 0;
}
