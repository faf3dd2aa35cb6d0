# The packages people install, made by `cmake --build --preset native
# --target package` (build/native/tarnel_VERSION_ARCH.deb) and the same with
# the windows preset (build/windows/tarnel-VERSION-win32.zip). Both hold
# stripped programs.
set(CPACK_PACKAGE_NAME tarnel)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "The tarnel developers")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "read an environmental sensor on a serial port")
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
set(CPACK_STRIP_FILES ON)
# Only binary packages: the sources are the repository.
set(CPACK_SOURCE_GENERATOR "")

if(WIN32)
  # A folder holding tarnel.exe, README.txt and LICENSE.txt.
  set(CPACK_GENERATOR ZIP)
  set(CPACK_SYSTEM_NAME win32)
  set(CPACK_PACKAGE_FILE_NAME ${CPACK_PACKAGE_NAME}-${CPACK_PACKAGE_VERSION}-${CPACK_SYSTEM_NAME})
  set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY ON)
else()
  set(CPACK_GENERATOR DEB)
  set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
  set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
  set(CPACK_DEBIAN_PACKAGE_MAINTAINER "The tarnel developers <tarnel@example.org>")
  set(CPACK_DEBIAN_PACKAGE_SECTION utils)
  set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
  # The dependencies follow the binary; a static one has none.
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
  # Its programs feed these systems (src/integrations).
  set(CPACK_DEBIAN_PACKAGE_ENHANCES "collectd-core, munin-node, prometheus-node-exporter")
  # The summary comes first by itself; CPack indents these lines.
  set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "tarnel queries an environmental sensor attached to a serial port for its
temperature, humidity, pressure and name with a small line-oriented text
protocol, and prints the readings as bare lines or as one JSON object on one
line, for scripts, cron jobs and home-automation setups.

The exit status tells whether every selected reading was obtained.

The package also holds the programs that feed the readings to the Prometheus
node exporter's textfile collector, to collectd's exec plugin and to Munin.")
endif()
include(CPack)
