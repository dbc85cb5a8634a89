# SPDX-License-Identifier: GPL-3.0-or-later
# `make package` (cpack) builds one .deb per install component from the one build tree:
# build/ringwise-server_<version>_<arch>.deb, ringwise-desktop_... and ringwise-client_...
# The prefix is the configured one: the Makefile configures /usr for the packages.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME ringwise)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "${RINGWISE_MAINTAINER}")
set(CPACK_PACKAGING_INSTALL_PREFIX ${CMAKE_INSTALL_PREFIX})
set(CPACK_STRIP_FILES ON)
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_ALL ${RINGWISE_COMPONENTS})
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION comm)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
# Until 0.92 one package, ringwise, held all three programs. Each package takes over its
# files, while ringwise itself is upgraded to a transitional package (below): the upgrade
# runs the old prerm with "upgrade", which leaves the service running, and never its
# postrm "purge", which would delete /etc/ringwise.
foreach(component SERVER DESKTOP CLIENT)
    set(CPACK_DEBIAN_${component}_PACKAGE_REPLACES "ringwise (<< 0.93~)")
    set(CPACK_DEBIAN_${component}_PACKAGE_BREAKS "ringwise (<< 0.93~)")
endforeach()

set(ringwise_summary "caller-ID server for one telephone line")
set(ringwise_about "Ringwise reads a caller-ID device on a serial port, stores every call in
an SQLite database, matches the number to a contact book, names unknown
callers from an online directory and tells every computer on the network
who is calling.
.
")

set(CPACK_DEBIAN_SERVER_PACKAGE_NAME ringwise-server)
set(CPACK_COMPONENT_SERVER_DESCRIPTION "${ringwise_summary} (system service)
${ringwise_about}This package holds the server without windows, run as a system service
on a machine next to the telephone line (ringwise-server.service, not
started until it is enabled). It needs no graphical libraries.")
# adduser for the maintainer script (deb-systemd-invoke is in every Debian system).
set(CPACK_DEBIAN_SERVER_PACKAGE_DEPENDS adduser)
# MQTT publishing opens libmosquitto at run time, so no linked library names it.
string(APPEND CPACK_DEBIAN_SERVER_PACKAGE_DEPENDS ", libmosquitto1")
set(CPACK_DEBIAN_SERVER_PACKAGE_CONTROL_EXTRA
    ${CMAKE_CURRENT_LIST_DIR}/debian/postinst
    ${CMAKE_CURRENT_LIST_DIR}/debian/prerm
    ${CMAKE_CURRENT_LIST_DIR}/debian/postrm)

set(CPACK_DEBIAN_DESKTOP_PACKAGE_NAME ringwise-desktop)
set(CPACK_COMPONENT_DESKTOP_DESCRIPTION "${ringwise_summary} (desktop program)
${ringwise_about}This package holds the server as a desktop program: a window with the
last call, a tray icon and a notification for each call.")
# Qt finds its display plugins in qt6-qpa-plugins, which no library names.
set(CPACK_DEBIAN_DESKTOP_PACKAGE_DEPENDS qt6-qpa-plugins)

set(CPACK_DEBIAN_CLIENT_PACKAGE_NAME ringwise-client)
set(CPACK_COMPONENT_CLIENT_DESCRIPTION "${ringwise_summary} (client)
${ringwise_about}This package holds ringwise-client, which watches the calls of a server
on the network, shows them as desktop notifications or runs a program for
each, and queries the server, with a user unit that runs it at login.")

set(CPACK_DEBIAN_TRANSITIONAL_PACKAGE_NAME ringwise)
set(CPACK_DEBIAN_TRANSITIONAL_PACKAGE_SECTION oldlibs)
set(CPACK_DEBIAN_TRANSITIONAL_PACKAGE_ARCHITECTURE all)
set(CPACK_DEBIAN_TRANSITIONAL_PACKAGE_SHLIBDEPS OFF)
set(CPACK_COMPONENT_TRANSITIONAL_DESCRIPTION "${ringwise_summary} (transitional package)
This package depends on ringwise-server, ringwise-desktop and ringwise-client,
which hold what it held until 0.92. It can safely be removed.")
set(CPACK_DEBIAN_TRANSITIONAL_PACKAGE_DEPENDS
    "ringwise-server (= ${PROJECT_VERSION}), ringwise-desktop (= ${PROJECT_VERSION}), ringwise-client (= ${PROJECT_VERSION})")
include(CPack)
