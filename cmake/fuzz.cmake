# Fuzzing build (VORNIK_FUZZ): every library and program is compiled with
# libFuzzer's coverage instrumentation and runs under AddressSanitizer and
# UndefinedBehaviorSanitizer; the targets in tests/fuzz add libFuzzer's driver
# when they link. Undefined behaviour aborts, so that the fuzzer keeps the
# input as a crash instead of printing a report and carrying on. Only clang
# has libFuzzer, and it does not know GCC's -Wshadow=local, hence the last
# option.
if(VORNIK_FUZZ)
  if(NOT CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
    message(FATAL_ERROR "VORNIK_FUZZ needs clang: configure with -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++")
  endif()
  add_compile_options(-fsanitize=fuzzer-no-link,address,undefined -fno-sanitize-recover=undefined
                      -fno-omit-frame-pointer -Wno-unknown-warning-option)
  add_link_options(-fsanitize=address,undefined)
endif()
