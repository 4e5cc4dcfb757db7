# Cross build for arm64 (64-bit ARM Linux, the small computers at the telescope) with Debian's
# cross toolchain (crossbuild-essential-arm64) and the arm64 libraries that scripts/arm64-root
# unpacks (VT5_ARM64_ROOT). Tests and build steps that run a built program go through
# qemu-aarch64.
#
#   VT5_ARM64_ROOT=$(scripts/arm64-root) \
#     cmake -S . -B build-arm64 -G Ninja --toolchain cmake/aarch64-linux-gnu.cmake
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR aarch64)
set(CMAKE_LIBRARY_ARCHITECTURE aarch64-linux-gnu)
set(CMAKE_C_COMPILER aarch64-linux-gnu-gcc)
set(CMAKE_CXX_COMPILER aarch64-linux-gnu-g++)

# VT5_ARM64_ROOT: the folder scripts/arm64-root prints (scripts/build-arm64 passes it in the
# environment, which also carries it into CMake's compiler checks, as they read this file anew).
if(NOT VT5_ARM64_ROOT AND DEFINED ENV{VT5_ARM64_ROOT})
  set(VT5_ARM64_ROOT "$ENV{VT5_ARM64_ROOT}/root")
endif()
if(NOT VT5_ARM64_ROOT)
  message(FATAL_ERROR "No arm64 libraries named: configure with scripts/build-arm64, or set "
                      "VT5_ARM64_ROOT to the folder scripts/arm64-root prints")
endif()
get_filename_component(VT5_ARM64_ROOT "${VT5_ARM64_ROOT}" ABSOLUTE)
set(VT5_ARM64_ROOT "${VT5_ARM64_ROOT}" CACHE PATH "The unpacked arm64 libraries (scripts/arm64-root)")
if(NOT EXISTS "${VT5_ARM64_ROOT}/usr/include")
  message(FATAL_ERROR "No arm64 libraries in ${VT5_ARM64_ROOT}: run scripts/arm64-root")
endif()
set(VT5_ARM64_TOOLCHAIN_ROOT /usr/aarch64-linux-gnu)

# Headers and libraries come from the toolchain and the unpacked root only; programs from here.
set(CMAKE_FIND_ROOT_PATH ${VT5_ARM64_ROOT} ${VT5_ARM64_TOOLCHAIN_ROOT})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
# Multiarch headers (libjpeg's jconfig.h, Qt's qconfig) as the native compiler finds its own.
set(CMAKE_C_STANDARD_INCLUDE_DIRECTORIES ${VT5_ARM64_ROOT}/usr/include/aarch64-linux-gnu)
set(CMAKE_CXX_STANDARD_INCLUDE_DIRECTORIES ${VT5_ARM64_ROOT}/usr/include/aarch64-linux-gnu)

# The libraries' own dependencies (libusb's libudev, Qt's ICU) are found by the linker here.
set(vt5_arm64_libs ${VT5_ARM64_ROOT}/usr/lib/aarch64-linux-gnu ${VT5_ARM64_ROOT}/lib/aarch64-linux-gnu)
string(REPLACE ";" ":" vt5_arm64_path "${vt5_arm64_libs}")
set(CMAKE_EXE_LINKER_FLAGS_INIT "-Wl,-rpath-link,${vt5_arm64_path}")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-Wl,-rpath-link,${vt5_arm64_path}")
set(CMAKE_MODULE_LINKER_FLAGS_INIT "-Wl,-rpath-link,${vt5_arm64_path}")

# pkg-config reads the arm64 .pc files and prefixes their paths with the root.
set(ENV{PKG_CONFIG_LIBDIR} "${VT5_ARM64_ROOT}/usr/lib/aarch64-linux-gnu/pkgconfig:${VT5_ARM64_ROOT}/usr/share/pkgconfig")
set(ENV{PKG_CONFIG_SYSROOT_DIR} "${VT5_ARM64_ROOT}")
set(ENV{PKG_CONFIG_PATH} "")

# The package: its architecture, and where dpkg-shlibdeps finds the libraries' symbols files
# (each run-time package unpacked with its control files).
set(VT5_DEBIAN_ARCH arm64)
file(GLOB VT5_SHLIBDEPS_DIRS LIST_DIRECTORIES true
     ${VT5_ARM64_ROOT}/../pkgs/*/usr/lib/aarch64-linux-gnu ${VT5_ARM64_ROOT}/../pkgs/*/lib/aarch64-linux-gnu)

# Qt's code generators (moc, rcc) are the build machine's own.
set(QT_HOST_PATH /usr CACHE PATH "")
set(QT_HOST_PATH_CMAKE_DIR /usr/lib/x86_64-linux-gnu/cmake CACHE PATH "")

# arm64 programs run under the emulator, with the toolchain's C library and the root's others
# and Qt plugins. The programs the tests start go through the same emulator (VT5_TEST_EMULATOR),
# which finds the C library from QEMU_LD_PREFIX.
find_program(VT5_QEMU_AARCH64 qemu-aarch64)
if(VT5_QEMU_AARCH64)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${VT5_QEMU_AARCH64} -L ${VT5_ARM64_TOOLCHAIN_ROOT}
      -E QEMU_LD_PREFIX=${VT5_ARM64_TOOLCHAIN_ROOT}
      -E LD_LIBRARY_PATH=${vt5_arm64_path}
      -E QT_PLUGIN_PATH=${VT5_ARM64_ROOT}/usr/lib/aarch64-linux-gnu/qt6/plugins
      -E VT5_TEST_EMULATOR=${VT5_QEMU_AARCH64})
endif()
