# -DLUMIVEX_FUZZ=ON (configure with CC=clang CXX=clang++): every target of ours is
# compiled with libFuzzer's coverage instrumentation plus AddressSanitizer and
# UndefinedBehaviorSanitizer, and the libraries, the build-time tools and the fuzz
# targets are built (no tests, no benchmarks). Plain executables (the assembler that
# runs during the build) link the sanitizer runtimes; fuzz targets add libFuzzer.
set(LUMIVEX_FUZZ_SANITIZERS address,undefined)
if(LUMIVEX_FUZZ)
  if(NOT CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
    message(FATAL_ERROR "LUMIVEX_FUZZ needs clang: configure with CC=clang CXX=clang++")
  endif()
  if(LUMIVEX_SANITIZE)
    message(FATAL_ERROR "LUMIVEX_FUZZ brings its own sanitizers; leave LUMIVEX_SANITIZE empty")
  endif()
  add_compile_options(-fsanitize=fuzzer-no-link,${LUMIVEX_FUZZ_SANITIZERS}
                      -fno-sanitize-recover=all -fno-omit-frame-pointer)
  add_link_options(-fsanitize=${LUMIVEX_FUZZ_SANITIZERS})
endif()
