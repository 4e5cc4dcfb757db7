# The Debian package (cpack -G DEB from the build folder, or scripts/package): everything
# `cmake --install` puts into /usr, the udev rule and units made known by the maintainer
# scripts, runtime dependencies found by dpkg-shlibdeps from the libraries actually linked.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME veltra5)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR NORVANE)
set(CPACK_PACKAGE_CONTACT "Veltra-5 PC suite developers <veltra5@norvane.example>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "PC software for the Veltra-5 telescope autoguider")
set(CPACK_PACKAGE_DESCRIPTION
    "The Veltra-5 autoguider's hand controller and guide camera on the PC:\n"
    "Gantrix shares the hand controller over TCP, browses its SD card and turns\n"
    "guiding logs into HTML reports; Starloom emulates the guide camera on a\n"
    "simulated sky and mount; Flashwell updates the firmware; Panelcast mirrors\n"
    "the display and buttons. With command-line tools for each, a simulated hand\n"
    "controller, and vt5-server as a systemd service for the computer at the\n"
    "telescope.")
if(NOT VT5_BUILD_GUI)
  list(APPEND CPACK_PACKAGE_DESCRIPTION
       "\nThis build holds the command-line tools and the service, without the windows.")
endif()
string(REPLACE ";" "" CPACK_PACKAGE_DESCRIPTION "${CPACK_PACKAGE_DESCRIPTION}")
# The install runs with DESTDIR and the real prefix, so that the units name /usr/bin/vt5-server
# and the settings file lands in /etc.
set(CPACK_SET_DESTDIR ON)
set(CPACK_INSTALL_PREFIX /usr)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_RELEASE 1)
set(CPACK_DEBIAN_PACKAGE_SECTION science)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://norvane.example/veltra-5")
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Loaded at run time, so dpkg-shlibdeps cannot see them: Qt's platform plugins (xcb, offscreen).
if(VT5_BUILD_GUI)
  set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins")
endif()
# A cross build is packaged for the machine it is built for; dpkg-shlibdeps (run with
# DEB_HOST_ARCH set, as scripts/package does) reads the symbols files of that machine's
# libraries from the unpacked packages the toolchain file names.
if(CMAKE_CROSSCOMPILING)
  if(NOT VT5_DEBIAN_ARCH)
    message(FATAL_ERROR "The toolchain file does not name the Debian architecture (VT5_DEBIAN_ARCH)")
  endif()
  set(CPACK_DEBIAN_PACKAGE_ARCHITECTURE ${VT5_DEBIAN_ARCH})
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS ${VT5_SHLIBDEPS_DIRS})
endif()
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "xdg-utils")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(dir ${PROJECT_SOURCE_DIR}/packaging/debian)
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA ${dir}/postinst ${dir}/postrm ${dir}/conffiles)

# Debian's own documents of the package.
set(doc ${CMAKE_BINARY_DIR}/packaging/doc)
file(MAKE_DIRECTORY ${doc})
add_custom_command(OUTPUT ${doc}/changelog.Debian.gz
  COMMAND gzip -9nc ${dir}/changelog > ${doc}/changelog.Debian.gz
  DEPENDS ${dir}/changelog VERBATIM)
add_custom_target(vt5_package_docs ALL DEPENDS ${doc}/changelog.Debian.gz)
install(FILES ${dir}/copyright ${doc}/changelog.Debian.gz DESTINATION share/doc/veltra5)

include(CPack)
