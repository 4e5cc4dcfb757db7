# vt5_add_test(<name> SOURCES <files...> LIBS <targets...> [TIMEOUT <s>] [SERIAL] [PURE])
# One GoogleTest executable; every test case becomes its own CTest test so that
# `ctest -j` spreads them over the cores. PURE: the tests only compute (no threads, timers,
# sockets, child processes or clock), labelled "pure" so that scripts/shake leaves them out
# of its repeats.
function(vt5_add_test name)
  cmake_parse_arguments(T "SERIAL;PURE" "TIMEOUT" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE ${T_LIBS} GTest::gtest GTest::gtest_main GTest::gmock)
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 120)
  endif()
  # A cross build's tests run under an emulator, several times slower than natively.
  set(discovery_timeout 60)
  if(CMAKE_CROSSCOMPILING_EMULATOR)
    math(EXPR T_TIMEOUT "${T_TIMEOUT} * 5")
    set(discovery_timeout 300)
  endif()
  if(VT5_SANITIZE)
    target_sources(${name} PRIVATE ${PROJECT_SOURCE_DIR}/cmake/lsan_suppressions.cpp)
  endif()
  set(props TIMEOUT ${T_TIMEOUT})
  if(T_SERIAL)
    list(APPEND props RUN_SERIAL TRUE)
  endif()
  gtest_discover_tests(${name} DISCOVERY_TIMEOUT ${discovery_timeout} PROPERTIES ${props})
  # gtest_discover_tests splits a list-valued property into words, so the environment (a
  # list) is set on the discovered tests by a file CTest reads after them. Each test is
  # labelled with its executable, so that ctest -L runs a chosen share of the suite; the
  # labels are set here, together, as a later LABELS would replace an earlier one.
  set(labels ${name})
  if(T_PURE)
    list(APPEND labels pure)
  endif()
  set(environment_file ${CMAKE_CURRENT_BINARY_DIR}/${name}_environment.cmake)
  file(GENERATE OUTPUT ${environment_file} CONTENT
       "if(${name}_TESTS)\n  set_tests_properties(\${${name}_TESTS} PROPERTIES ENVIRONMENT [==[${VT5_TEST_ENVIRONMENT}]==] LABELS \"${labels}\")\nendif()\n")
  set_property(DIRECTORY APPEND PROPERTY TEST_INCLUDE_FILES ${environment_file})
endfunction()

# vt5_add_bench(<name> SOURCES <files...> LIBS <targets...>)
function(vt5_add_bench name)
  cmake_parse_arguments(B "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${B_SOURCES})
  target_link_libraries(${name} PRIVATE ${B_LIBS} benchmark::benchmark benchmark::benchmark_main)
endfunction()

# Adds every immediate subfolder of the current folder that has a CMakeLists.txt.
function(vt5_add_subfolders)
  file(GLOB children LIST_DIRECTORIES true RELATIVE ${CMAKE_CURRENT_SOURCE_DIR}
       ${CMAKE_CURRENT_SOURCE_DIR}/*)
  list(SORT children)
  foreach(child ${children})
    if(EXISTS ${CMAKE_CURRENT_SOURCE_DIR}/${child}/CMakeLists.txt)
      add_subdirectory(${child})
    endif()
  endforeach()
endfunction()

# vt5_qt_target(<target>): moc and rcc for a target that uses Qt.
function(vt5_qt_target target)
  set_target_properties(${target} PROPERTIES AUTOMOC ON AUTORCC ON)
endfunction()

# vt5_add_fuzzer(<name> SOURCES <files...> LIBS <targets...> [CORPUS <dir>] [DICT <file>]
#                [SECONDS <n>])
# A libFuzzer target (fuzz build only), run by CTest under the label "fuzz" for a bounded
# time: it must neither crash, leak nor hang.
function(vt5_add_fuzzer name)
  if(NOT VT5_FUZZ)
    return()
  endif()
  cmake_parse_arguments(F "" "CORPUS;DICT;SECONDS" "SOURCES;LIBS" ${ARGN})
  if(NOT F_SECONDS)
    set(F_SECONDS ${VT5_FUZZ_SECONDS})
  endif()
  add_executable(${name} ${F_SOURCES})
  target_link_libraries(${name} PRIVATE ${F_LIBS})
  target_link_options(${name} PRIVATE -fsanitize=fuzzer)
  add_dependencies(vt5_fuzzers ${name})
  set(corpus ${CMAKE_CURRENT_BINARY_DIR}/${name}-corpus)
  file(MAKE_DIRECTORY ${corpus})
  set(seeds)
  if(F_CORPUS)
    set(seeds ${F_CORPUS})
  endif()
  set(dict)
  if(F_DICT)
    set(dict -dict=${F_DICT})
  endif()
  add_test(NAME ${name}
           COMMAND ${name} -max_total_time=${F_SECONDS} -timeout=10 -rss_limit_mb=2048
                   -print_final_stats=1 ${dict} ${corpus} ${seeds})
  set_tests_properties(${name} PROPERTIES LABELS fuzz TIMEOUT 600 ENVIRONMENT
                       "${VT5_TEST_ENVIRONMENT};VT5_USB_BACKENDS=none;VT5_USB_BUS=/nonexistent/vt5-fuzz-bus")
endfunction()
