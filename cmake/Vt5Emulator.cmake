# A cross build's programs run on the build machine through the emulator the toolchain names:
# <build>/emulate <program> [arguments] (the manual pages, the package's checks).
if(CMAKE_CROSSCOMPILING AND CMAKE_CROSSCOMPILING_EMULATOR)
  set(words)
  foreach(word IN LISTS CMAKE_CROSSCOMPILING_EMULATOR)
    string(REPLACE "'" "'\\''" word "${word}")
    string(APPEND words " '${word}'")
  endforeach()
  set(VT5_EMULATE ${CMAKE_BINARY_DIR}/emulate)
  file(CONFIGURE OUTPUT ${VT5_EMULATE} CONTENT "#!/bin/sh\nexec${words} \"$@\"\n" @ONLY)
  file(CHMOD ${VT5_EMULATE} PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ
       GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
endif()

# vt5_runnable(<var> <target>): a command that runs the program <target> on this machine: the
# program itself, or in a cross build a script of the program's name that starts it through
# the emulator (for help2man, which names the page after the program, and for test scripts).
function(vt5_runnable var target)
  if(NOT VT5_EMULATE)
    set(${var} $<TARGET_FILE:${target}> PARENT_SCOPE)
    return()
  endif()
  set(script ${CMAKE_BINARY_DIR}/run/${target})
  get_property(made GLOBAL PROPERTY vt5_runnable_${target})
  if(NOT made)
    file(GENERATE OUTPUT ${script}
         CONTENT "#!/bin/sh\nexec '${VT5_EMULATE}' '$<TARGET_FILE:${target}>' \"$@\"\n"
         FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE
                          WORLD_READ WORLD_EXECUTE)
    set_property(GLOBAL PROPERTY vt5_runnable_${target} TRUE)
  endif()
  set(${var} ${script} PARENT_SCOPE)
endfunction()
