# `make package` (cpack) builds ringwise_<version>_<arch>.deb from the install rules. The
# prefix is the configured one: the Makefile configures /usr for the package.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME ringwise)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "Ringwise developers <ringwise@example.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "caller-ID server for one telephone line")
set(CPACK_PACKAGE_DESCRIPTION
    "Ringwise reads a caller-ID device on a serial port, stores every call in
an SQLite database, matches the number to a contact book, names unknown
callers from an online directory and tells every computer on the network
who is calling.
.
It runs as a desktop program with a tray icon, or as a system service on a
headless machine next to the telephone line (ringwise-server.service, not
started until it is enabled).")
set(CPACK_PACKAGING_INSTALL_PREFIX ${CMAKE_INSTALL_PREFIX})
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION comm)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# adduser for the maintainer script (deb-systemd-invoke is in every Debian system); Qt
# finds its display plugins in qt6-qpa-plugins, which no library names.
set(CPACK_DEBIAN_PACKAGE_DEPENDS adduser)
if(RINGWISE_GUI)
    string(APPEND CPACK_DEBIAN_PACKAGE_DEPENDS ", qt6-qpa-plugins")
endif()
# MQTT publishing opens libmosquitto at run time, so no linked library names it.
string(APPEND CPACK_DEBIAN_PACKAGE_DEPENDS ", libmosquitto1")
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA
    ${CMAKE_CURRENT_LIST_DIR}/debian/postinst
    ${CMAKE_CURRENT_LIST_DIR}/debian/prerm
    ${CMAKE_CURRENT_LIST_DIR}/debian/postrm)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
include(CPack)
