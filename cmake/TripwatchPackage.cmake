# `make package`: a Debian package of the installed tree (TripwatchInstall),
# made by CPack's DEB generator: the dependencies come from dpkg-shlibdeps over
# the binaries, the binaries are stripped, the maintainer scripts make the
# system user the systemd units run as.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME tripwatch)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "Tripwatch developers <tripwatch@tripwatch.invalid>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "checks that a plant's automatic protection operated")
string(CONCAT CPACK_PACKAGE_DESCRIPTION
    "Tripwatch reads a plant's archive of variables and finds every interval in\n"
    "which a protection contour's sensor showed its protection condition long\n"
    "enough, and whether the contour's output relay and switching apparatus\n"
    "operated in time. It also classifies every operation of a relay or an\n"
    "apparatus, so that one without a demand is seen. A systemd timer runs the\n"
    "daily report and catches up the days a server was off.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION misc)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS ${CMAKE_BINARY_DIR}/bin)
# Not a library the binaries link: the maintainer script's.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "adduser")
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA
    ${CMAKE_SOURCE_DIR}/packaging/postinst ${CMAKE_SOURCE_DIR}/packaging/postrm)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
include(CPack)
