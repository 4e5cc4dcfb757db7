# cmake -DPROBE=<program> -DFAULT=<fault> -DREPORT=<text> [-DCLEAR_OPTIONS=ON] -P expect_halt.cmake
# Passes when the probe, committing FAULT, stopped with a failing status and REPORT on its
# standard error before it could run on. CLEAR_OPTIONS runs it without sanitizer options, so
# that only the way it was built decides.
if(CLEAR_OPTIONS)
  unset(ENV{ASAN_OPTIONS})
  unset(ENV{UBSAN_OPTIONS})
endif()
execute_process(COMMAND ${PROBE} ${FAULT} RESULT_VARIABLE status OUTPUT_VARIABLE out
                ERROR_VARIABLE err)
message("${err}")
if(status EQUAL 0 OR out MATCHES "ran on")
  message(FATAL_ERROR "the probe ran on after '${FAULT}' (exit ${status}): ${out}")
endif()
string(FIND "${err}" "${REPORT}" at)
if(at EQUAL -1)
  message(FATAL_ERROR "no '${REPORT}' in what the probe reported (exit ${status})")
endif()
