# The Debian package: `make package` (cpack in build/) writes
# tessel-console_VERSION_ARCH.deb from the install rules. Its dependencies are
# those dpkg-shlibdeps reads off the programs, plus what Qt loads at run time
# and so no linker sees: the SQLite driver of the history, and a font with the
# Chinese glyphs of the interface.
set(CPACK_PACKAGE_NAME tessel-console)
set(CPACK_PACKAGE_VENDOR "The tessel-console developers")
set(CPACK_PACKAGE_CONTACT "The tessel-console developers <tessel-console@example.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "${PROJECT_DESCRIPTION}")
set(CPACK_PACKAGE_DESCRIPTION
    "tessel-console finds networked LED-display player terminals, logs in to them
and sends them any of about two hundred operations of the Tessel terminal SDK,
one terminal or a batch at a time, keeping every request and result in a
history. tessel-run replays recorded requests without a display and compares
the results, on one terminal or a fleet, for build servers.

This build links the simulated SDK, a fleet of virtual terminals that never
opens a socket, unless it was configured for the vendor SDK.")
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
# RelWithDebInfo keeps the symbols in build/; the package goes without them.
set(CPACK_STRIP_FILES ON)

if(UNIX AND NOT APPLE)
    set(CPACK_GENERATOR DEB)
endif()
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${CPACK_PACKAGE_CONTACT}")
set(CPACK_DEBIAN_PACKAGE_SECTION net)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libqt5sql5-sqlite, fonts-wqy-microhei | fonts-noto-cjk")
# Qt's own texts (menus of the text boxes, file dialogs) in Chinese.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "qttranslations5-l10n")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)

include(CPack)
