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
