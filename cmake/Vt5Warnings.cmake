# Warnings for the project's own targets; third-party headers come in as system headers.
add_compile_options(-Wall -Wextra -Wpedantic -Wshadow -Wnon-virtual-dtor -Wcast-align
                    -Wunused -Woverloaded-virtual -Wimplicit-fallthrough)
if(VT5_WERROR)
  add_compile_options(-Werror)
endif()
if(VT5_SANITIZE)
  add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
  add_link_options(-fsanitize=address,undefined)
endif()

# The fuzz build instruments everything for libFuzzer's coverage; fuzz targets link the
# fuzzer's main (vt5_add_fuzzer).
if(VT5_FUZZ)
  if(NOT CMAKE_CXX_COMPILER_ID MATCHES "Clang")
    message(FATAL_ERROR "VT5_FUZZ needs clang (CC=clang CXX=clang++)")
  endif()
  add_compile_options(-fsanitize=fuzzer-no-link,address,undefined -fno-omit-frame-pointer)
  add_link_options(-fsanitize=address,undefined)
endif()
