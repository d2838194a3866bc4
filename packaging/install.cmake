# What `cmake --install` puts where, and the Debian package (`cpack -G DEB`).
include(GNUInstallDirs)

set(TOVRIN_CONFIG_ROOT /etc/tovrin CACHE PATH
    "Folder of the service instances' configuration folders (one per instance)")
set(TOVRIN_SPOOL_ROOT /var/spool/tovrin CACHE PATH
    "Folder of the spool folders the service instances may write without a drop-in")
set(TOVRIN_SYSTEMD_UNIT_DIR lib/systemd/system CACHE STRING
    "Where the service template goes, relative to the prefix")

set(TOVRIN_PACKAGING_DIR ${CMAKE_CURRENT_LIST_DIR})

install(TARGETS tovrin-batch RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
configure_file(${CMAKE_SOURCE_DIR}/doc/tovrin-batch.1 ${CMAKE_BINARY_DIR}/doc/tovrin-batch.1 @ONLY)
install(FILES ${CMAKE_BINARY_DIR}/doc/tovrin-batch.1 DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)

if(TARGET tovrin)
  install(TARGETS tovrin RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  configure_file(${CMAKE_SOURCE_DIR}/doc/tovrin.1 ${CMAKE_BINARY_DIR}/doc/tovrin.1 @ONLY)
  install(FILES ${CMAKE_BINARY_DIR}/doc/tovrin.1 DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
  install(FILES ${TOVRIN_PACKAGING_DIR}/tovrin.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
  install(FILES ${TOVRIN_PACKAGING_DIR}/tovrin.svg
          DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
endif()

# The unit names the program by its absolute path, which is known only at
# install time (`--prefix`, the package's /usr), so it is written then. Each
# destination gets its own copy in the build folder: installs may run at once.
install(CODE "
  set(TOVRIN_CONFIG_ROOT \"${TOVRIN_CONFIG_ROOT}\")
  set(TOVRIN_SPOOL_ROOT \"${TOVRIN_SPOOL_ROOT}\")
  set(TOVRIN_BINDIR \"\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}\")
  string(MD5 tovrin_destination \"\$ENV{DESTDIR}|\${CMAKE_INSTALL_PREFIX}\")
  set(tovrin_unit \"${CMAKE_BINARY_DIR}/packaging/\${tovrin_destination}/tovrin-batch@.service\")
  configure_file(\"${TOVRIN_PACKAGING_DIR}/tovrin-batch@.service.in\" \"\${tovrin_unit}\" @ONLY)
  file(INSTALL DESTINATION \"\${CMAKE_INSTALL_PREFIX}/${TOVRIN_SYSTEMD_UNIT_DIR}\"
       TYPE FILE FILES \"\${tovrin_unit}\")
")

# ---- Debian package ----------------------------------------------------------

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME tovrin)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "Tovrin maintainers <tovrin@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "batch plotting of CAD drawings (OFI) to HP-GL/2 plotters")
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "Tovrin translates every OFI drawing a CAD system writes into a spool folder
into a GLF file (HP-GL/2 wrapped in PCL escapes), sends it unchanged to a raw
CUPS queue or keeps it, and deletes or keeps the finished drawing.

tovrin is the desktop program; tovrin-batch the headless one, with the service
template tovrin-batch@.service for unattended spool folders.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION graphics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# What the binaries link (libc, libstdc++, libcups2, Qt 6, SQLite) is read from
# them by dpkg-shlibdeps; without it, the list is written out.
find_program(TOVRIN_DPKG_SHLIBDEPS dpkg-shlibdeps)
set(tovrin_depends "adduser, fonts-ipafont-gothic, qt6-qpa-plugins")
if(TOVRIN_DPKG_SHLIBDEPS)
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
else()
  string(APPEND tovrin_depends ", libc6, libstdc++6, libcups2, libqt6core6, libqt6gui6, libqt6widgets6, libqt6svg6")
endif()
set(CPACK_DEBIAN_PACKAGE_DEPENDS "${tovrin_depends}")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "cups-daemon, cups-client")
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA
    ${TOVRIN_PACKAGING_DIR}/debian/postinst
    ${TOVRIN_PACKAGING_DIR}/debian/prerm
    ${TOVRIN_PACKAGING_DIR}/debian/postrm)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
include(CPack)
