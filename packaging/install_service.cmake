# Installs vt5-server's units, its settings file and its system user (run by `cmake --install`
# with CMAKE_INSTALL_PREFIX and DESTDIR of that install; VT5_PACKAGING_DIR and VT5_STAGING_DIR
# set by the caller).
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

file(INSTALL "${staging}/system/vt5-server.service" DESTINATION "$ENV{DESTDIR}${prefix}/lib/systemd/system")
file(INSTALL "${staging}/user/vt5-server.service" DESTINATION "$ENV{DESTDIR}${prefix}/lib/systemd/user")
file(INSTALL "${staging}/sysusers/veltra5.conf" DESTINATION "$ENV{DESTDIR}${prefix}/lib/sysusers.d")
file(INSTALL "${staging}/default/vt5-server" DESTINATION "$ENV{DESTDIR}${VT5_DEFAULTS_DIR}")
