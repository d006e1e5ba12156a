# Script mode: turns one file into a C++ source holding its bytes as a constant array.
#   cmake -DINPUT=<file> -DOUTPUT=<cpp> -DSYMBOL=<name> -DNAMESPACE=<ns> [-DTEXT=ON] -P EmbedFile.cmake
# Binary files become `const unsigned char <name>[]`, text files (TEXT=ON) `const char
# <name>[]`, usable as a C string; both get a trailing 0 not counted in <name>_size, and
# both are constant-initialised.
file(READ "${INPUT}" content HEX)
string(LENGTH "${content}" hex_length)
math(EXPR size "${hex_length} / 2")
if(TEXT)
  set(type "char")
  string(REGEX REPLACE "([0-9a-f][0-9a-f])" "'\\\\x\\1'," bytes "${content}")
  set(terminator "'\\0'")
  string(REPEAT "'\\\\x[0-9a-f][0-9a-f]'," 24 per_line)
else()
  set(type "unsigned char")
  string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${content}")
  set(terminator "0x00")
  string(REPEAT "0x[0-9a-f][0-9a-f]," 32 per_line)
endif()
# Break the initializer into lines so compilers and diffs stay comfortable (CMake's
# regular expressions have no {n} counts, hence the repeated pattern).
string(REGEX REPLACE "(${per_line})" "\\1\n    " bytes "${bytes}")
file(WRITE "${OUTPUT}.tmp"
"// Generated from ${INPUT}; do not edit.
#include <cstddef>

namespace ${NAMESPACE} {
extern const ${type} ${SYMBOL}[];
extern const std::size_t ${SYMBOL}_size;
const ${type} ${SYMBOL}[] = {
    ${bytes}${terminator}};
const std::size_t ${SYMBOL}_size = ${size};
}  // namespace ${NAMESPACE}
")
file(COPY_FILE "${OUTPUT}.tmp" "${OUTPUT}" ONLY_IF_DIFFERENT)
file(REMOVE "${OUTPUT}.tmp")
