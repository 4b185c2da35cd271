# The Debian package kv5_VERSION-1_ARCH.deb, made by CPack from the install rules under /usr:
#
#     cpack -G DEB --config build/CPackConfig.cmake     (or scripts/package)
#
# Its dependencies are computed from the program by dpkg-shlibdeps; the post-install step makes
# udev read the logger's rule at once.
set(KV5_PACKAGE_MAINTAINER "Quorvane KV5 developers <kv5@quorvane.example>"
    CACHE STRING "Maintainer of the Debian package: name and mail address")

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME kv5)
set(CPACK_PACKAGE_VENDOR Quorvane)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "companion of the KV5 temperature, humidity and wood-moisture logger")

set(CPACK_DEBIAN_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_DEBIAN_PACKAGE_RELEASE 1)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER ${KV5_PACKAGE_MAINTAINER})
set(CPACK_DEBIAN_PACKAGE_SECTION science)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_COMPRESSION_TYPE xz)
# Below the summary; CPack indents it as Debian wants.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION [[The desktop program for the KV5, a battery-powered data logger of temperature,
relative humidity and, with its Q7R sensor, three wood-moisture channels.
It finds the logger on USB, reads and writes its settings, downloads its log
and keeps every download as a text file.

It shows a log as a table, as a chart with a readout under the mouse and as a
summary of highest and lowest values, computes EMC, dew point and grains per
pound for every record, corrects moisture readings for the wood species,
prints table and chart, and exports a log to a spreadsheet workbook with a
ready-made chart. A command line reads the logger and converts logs without
a display.

The package gives the user at the screen access to the logger through a udev
rule, without joining the dialout group.]])

# Maintainer scripts keep their own permissions (executable), as dpkg requires.
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA ${CMAKE_CURRENT_LIST_DIR}/postinst ${CMAKE_CURRENT_LIST_DIR}/postrm)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)

# Every Debian package carries its copyright and its change log in /usr/share/doc/kv5.
configure_file(${CMAKE_CURRENT_LIST_DIR}/copyright ${PROJECT_BINARY_DIR}/packaging/copyright @ONLY)
execute_process(COMMAND env LC_ALL=C date -u -R -d ${KV5_RELEASE_DATE}
                OUTPUT_VARIABLE KV5_CHANGELOG_DATE OUTPUT_STRIP_TRAILING_WHITESPACE COMMAND_ERROR_IS_FATAL ANY)
configure_file(${CMAKE_CURRENT_LIST_DIR}/changelog.in ${PROJECT_BINARY_DIR}/packaging/changelog @ONLY)
set(KV5_CHANGELOG_GZ ${PROJECT_BINARY_DIR}/packaging/changelog.gz)
add_custom_command(
  OUTPUT ${KV5_CHANGELOG_GZ}
  COMMAND gzip -9nkf ${PROJECT_BINARY_DIR}/packaging/changelog
  DEPENDS ${PROJECT_BINARY_DIR}/packaging/changelog
  VERBATIM)
add_custom_target(kv5-changelog ALL DEPENDS ${KV5_CHANGELOG_GZ})
include(GNUInstallDirs)
install(FILES ${PROJECT_BINARY_DIR}/packaging/copyright DESTINATION ${CMAKE_INSTALL_DOCDIR})
install(FILES ${KV5_CHANGELOG_GZ} DESTINATION ${CMAKE_INSTALL_DOCDIR} RENAME changelog.Debian.gz)
# What lintian need not say about this package, each with its reason.
install(FILES ${CMAKE_CURRENT_LIST_DIR}/lintian-overrides DESTINATION ${CMAKE_INSTALL_DATADIR}/lintian/overrides RENAME kv5)

include(CPack)
