# Warnings for the project's own targets; third-party headers come in as system headers.
add_compile_options(-Wall -Wextra -Wpedantic -Wshadow -Wnon-virtual-dtor -Wcast-align
                    -Wunused -Woverloaded-virtual -Wimplicit-fallthrough)
if(VT5_WERROR)
  add_compile_options(-Werror)
endif()
# Plain char is unsigned on arm64: this build runs the byte parsers that way on any machine.
if(VT5_UNSIGNED_CHAR)
  add_compile_options(-funsigned-char)
endif()
# Every sanitizer finding ends the program: a report that scrolls past in a passing run is
# a finding lost.
if(VT5_SANITIZE)
  add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=all)
  add_link_options(-fsanitize=address,undefined)
endif()

# The fuzz build instruments everything for libFuzzer's coverage, but for the simulated
# HC's pixel loops (fuzz-coverage-ignore.txt); fuzz targets link the fuzzer's main
# (vt5_add_fuzzer). Long runs may trade AddressSanitizer for speed with
# VT5_FUZZ_SANITIZERS=undefined; what they find is then replayed in the default build.
set(VT5_FUZZ_SANITIZERS "address,undefined" CACHE STRING "Sanitizers of the fuzz build")
if(VT5_FUZZ)
  if(NOT CMAKE_CXX_COMPILER_ID MATCHES "Clang")
    message(FATAL_ERROR "VT5_FUZZ needs clang (CC=clang CXX=clang++)")
  endif()
  add_compile_options(-fsanitize=fuzzer-no-link,${VT5_FUZZ_SANITIZERS} -fno-omit-frame-pointer
                      -fno-sanitize-recover=all
                      -fsanitize-coverage-ignorelist=${CMAKE_CURRENT_LIST_DIR}/fuzz-coverage-ignore.txt)
  add_link_options(-fsanitize=${VT5_FUZZ_SANITIZERS})
endif()

# The environment of every test and fuzz run. In the sanitizer and fuzz builds the runtimes
# halt on the first finding as well, whatever the options a program was built with.
set(VT5_TEST_ENVIRONMENT "QT_QPA_PLATFORM=offscreen")
if(VT5_SANITIZE OR VT5_FUZZ)
  list(APPEND VT5_TEST_ENVIRONMENT "ASAN_OPTIONS=halt_on_error=1"
       "UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1")
endif()
