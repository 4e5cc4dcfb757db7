# Installs vt5-server's units, its settings file and its system user. Runs within
# `cmake --install` (or CPack) with that install's CMAKE_INSTALL_PREFIX; file(INSTALL) adds
# DESTDIR itself. The caller sets VT5_PACKAGING_DIR and VT5_STAGING_DIR.
# /etc belongs to the system only when the prefix is /usr; elsewhere it is <prefix>/etc.
set(prefix "${CMAKE_INSTALL_PREFIX}")
if(prefix STREQUAL "/usr")
  set(VT5_DEFAULTS_DIR /etc/default)
else()
  set(VT5_DEFAULTS_DIR "${prefix}/etc/default")
endif()
set(VT5_SERVER_BINARY "${prefix}/bin/vt5-server")

set(staging "${VT5_STAGING_DIR}")
configure_file("${VT5_PACKAGING_DIR}/systemd/vt5-server.service" "${staging}/system/vt5-server.service" @ONLY)
configure_file("${VT5_PACKAGING_DIR}/systemd/user/vt5-server.service" "${staging}/user/vt5-server.service" @ONLY)
configure_file("${VT5_PACKAGING_DIR}/systemd/veltra5-sysusers.conf" "${staging}/sysusers/veltra5.conf" COPYONLY)
configure_file("${VT5_PACKAGING_DIR}/systemd/vt5-server.default" "${staging}/default/vt5-server" COPYONLY)

file(INSTALL "${staging}/system/vt5-server.service" DESTINATION "${prefix}/lib/systemd/system")
file(INSTALL "${staging}/user/vt5-server.service" DESTINATION "${prefix}/lib/systemd/user")
file(INSTALL "${staging}/sysusers/veltra5.conf" DESTINATION "${prefix}/lib/sysusers.d")
file(INSTALL "${staging}/default/vt5-server" DESTINATION "${VT5_DEFAULTS_DIR}")
