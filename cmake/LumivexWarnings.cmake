# The strict build is the default for every target of ours.
add_compile_options(-Wall -Wextra -Werror)
# GCC 12 at -O3 reports -Wrestrict inside libstdc++'s char_traits when a
# std::string is built by operator+ from a literal and a string (GCC bug 105329,
# fixed in GCC 13). The warning is a false positive in the library's own code, not
# ours; switch off only that one warning, only for GCC 12.
if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU"
   AND CMAKE_CXX_COMPILER_VERSION VERSION_GREATER_EQUAL 12
   AND CMAKE_CXX_COMPILER_VERSION VERSION_LESS 13)
  add_compile_options($<$<COMPILE_LANGUAGE:CXX>:-Wno-restrict>)
endif()
# The chip's arithmetic must stay bit-exact: no contraction of a*b+c into FMA, no
# value-changing math shortcuts. (-march=native and -ffast-math are never used.)
add_compile_options(-ffp-contract=off)
