// The firmware compiled into the plug-in: one row per program, then a row of nulls.
#pragma once

namespace fxcoreplug {

struct EmbeddedProgram {
    const char* name;              // the program's name; its bank and mode slot derive from it
    const char* hexText;           // the program image, Intel HEX text
    const char* controlNamesText;  // the control-names text, or null / empty
};

extern const EmbeddedProgram kEmbeddedPrograms[];
extern const int kEmbeddedProgramCount;

}  // namespace fxcoreplug
