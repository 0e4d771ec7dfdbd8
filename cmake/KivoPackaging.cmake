# What a native build installs, and the Debian package made from it
# (cpack -G DEB in the build tree): kivo for XScreenSaver, kivo-render, their
# manual pages and the files screen-saver front ends read.
include(GNUInstallDirs)

set(generated ${PROJECT_BINARY_DIR}/generated)
set(KIVO_MAN_DATE ${KIVO_RELEASE_DATE})
foreach(page kivo.6x kivo-render.1)
  configure_file(${PROJECT_SOURCE_DIR}/resources/man/${page}.in ${generated}/${page} @ONLY)
endforeach()
configure_file(${PROJECT_SOURCE_DIR}/resources/debian/changelog.in ${generated}/changelog @ONLY)

# Manual pages and the changelog go in compressed, without time stamps.
set(compressed ${generated}/kivo.6x.gz ${generated}/kivo-render.1.gz ${generated}/changelog.gz)
add_custom_command(OUTPUT ${compressed}
  COMMAND gzip -9nkf ${generated}/kivo.6x ${generated}/kivo-render.1 ${generated}/changelog
  DEPENDS ${generated}/kivo.6x ${generated}/kivo-render.1 ${generated}/changelog)
add_custom_target(kivo_docs ALL DEPENDS ${compressed})

install(FILES ${PROJECT_SOURCE_DIR}/resources/kivo.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications/screensavers)
# kivo -lock's PAM service: the system's common authentication. PAM looks in
# /etc/pam.d whatever the prefix; a file the administrator may change, so the
# package keeps their changes.
install(FILES ${PROJECT_SOURCE_DIR}/resources/pam/kivo DESTINATION /etc/pam.d)
file(WRITE ${generated}/conffiles "/etc/pam.d/kivo\n")
# On the PATH too, where Wayland idle daemons and session files look for it.
file(CREATE_LINK ../${CMAKE_INSTALL_LIBEXECDIR}/xscreensaver/kivo ${generated}/kivo-on-path SYMBOLIC)
install(FILES ${generated}/kivo-on-path DESTINATION ${CMAKE_INSTALL_BINDIR} RENAME kivo)
install(FILES ${generated}/kivo.6x.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man6)
install(FILES ${generated}/kivo-render.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${PROJECT_SOURCE_DIR}/resources/debian/copyright ${generated}/changelog.gz
        DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/kivo)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME kivo)
set(CPACK_PACKAGE_VENDOR Orvek)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "snow screen saver for Wayland and XScreenSaver")
set(CPACK_PACKAGE_DESCRIPTION "Thousands of small white and faintly tinted flakes drift down and towards
you out of a black night, swaying in the wind; the near ones glow as soft
discs. Every monitor gets a snowfall of its own.

This package holds kivo, the screen saver for Wayland sessions (full screen
on every output, as an animated wallpaper, or on a lock screen that the
system's password opens) and for XScreenSaver, and
kivo-render, which renders the same snow to a picture or an animated GIF
with no window.")
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "Orvek <kivo@orvek.invalid>")
set(CPACK_DEBIAN_PACKAGE_SECTION x11)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA ${generated}/conffiles)
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS xscreensaver)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_OUTPUT_FILE_PREFIX ${PROJECT_BINARY_DIR}/dist)
include(CPack)
