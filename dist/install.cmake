# Install rules (`cmake --install`, `make install`) and the Debian package (`make package`).
include(GNUInstallDirs)

# Installing and packaging need only the monitor, not every test: the Makefile builds it first.
set(CMAKE_SKIP_INSTALL_ALL_DEPENDENCY TRUE)

install(TARGETS tarnwicker RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES ${CMAKE_SOURCE_DIR}/dist/tarnwicker.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${CMAKE_SOURCE_DIR}/dist/tarnwicker.svg DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
install(FILES ${TW_ALARM_WAV} DESTINATION ${CMAKE_INSTALL_DATADIR}/tarnwicker)

# The unit names the executable by its installed path, and the package installs under another
# prefix than `make install`: so the unit is written when it is installed, for the prefix in use.
install(CODE "
    file(READ \"${CMAKE_SOURCE_DIR}/dist/tarnwicker.service.in\" unit)
    string(REPLACE \"@BINDIR@\" \"\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}\" unit \"\${unit}\")
    file(WRITE \"${CMAKE_BINARY_DIR}/unit/tarnwicker.service\" \"\${unit}\")
    file(INSTALL \"${CMAKE_BINARY_DIR}/unit/tarnwicker.service\"
         DESTINATION \"\${CMAKE_INSTALL_PREFIX}/lib/systemd/system\")
")

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME tarnwicker)
set(CPACK_PACKAGE_VENDOR "Tarnwicker")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "network monitor: pings an address list and raises alarms")
set(CPACK_PACKAGE_DESCRIPTION "Pings a list of IPv4 addresses at a set interval, keeps the line quality and\n\
round-trip time of each, and raises alarms by sound, network message, mail and telephone.\n\
Chinese user interface; also runs headless as a system service (tarnwicker.service).")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "Tarnwicker developers <tarnwicker@example.org>")
set(CPACK_DEBIAN_PACKAGE_SECTION net)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# setcap, for the capability postinst grants; a CJK font, without which every caption is boxes;
# baresip, which carries the telephone alarms over SIP.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "libcap2-bin, fonts-wqy-microhei | fonts-noto-cjk, qt6-translations-l10n, baresip-core")

set(TW_PACKAGE_BINDIR ${CPACK_PACKAGING_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR})
foreach(script postinst postrm)
    file(READ ${CMAKE_SOURCE_DIR}/dist/${script}.in text)
    string(REPLACE "@BINDIR@" "${TW_PACKAGE_BINDIR}" text "${text}")
    file(WRITE ${CMAKE_BINARY_DIR}/debian/${script} "${text}")
    file(CHMOD ${CMAKE_BINARY_DIR}/debian/${script} PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE
         GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
endforeach()
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA ${CMAKE_BINARY_DIR}/debian/postinst ${CMAKE_BINARY_DIR}/debian/postrm)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION TRUE)

include(CPack)
