# What a native build installs, and the Debian package made from it
# (cpack -G DEB in the build tree): kivo for XScreenSaver, kivo-render, their
# manual pages and shell completions, the wallpaper's systemd user unit and
# the files screen-saver front ends read.
include(GNUInstallDirs)

set(generated ${PROJECT_BINARY_DIR}/generated)
set(KIVO_MAN_DATE ${KIVO_RELEASE_DATE})
# The pages' synopsis, options and settings come from the option table
# (kivo-options-doc); configure_file leaves those marks for it.
set(SYNOPSIS @SYNOPSIS@)
set(OPTIONS @OPTIONS@)
set(SETTINGS @SETTINGS@)
set(pages)
foreach(program kivo kivo-render)
  set(page ${program}.1)
  if(program STREQUAL "kivo")
    set(page kivo.6x)
  endif()
  configure_file(${PROJECT_SOURCE_DIR}/resources/man/${page}.in ${generated}/${page}.in @ONLY)
  add_custom_command(OUTPUT ${generated}/${page}
    COMMAND kivo-options-doc man ${program} ${generated}/${page}.in ${generated}/${page}
    DEPENDS kivo-options-doc ${generated}/${page}.in)
  list(APPEND pages ${generated}/${page})
endforeach()
configure_file(${PROJECT_SOURCE_DIR}/resources/debian/changelog.in ${generated}/changelog @ONLY)

# Manual pages and the changelog go in compressed, without time stamps.
set(compressed ${generated}/kivo.6x.gz ${generated}/kivo-render.1.gz ${generated}/changelog.gz)
add_custom_command(OUTPUT ${compressed}
  COMMAND gzip -9nkf ${pages} ${generated}/changelog
  DEPENDS ${pages} ${generated}/changelog)

# Shell completions, each where its shell looks for a command's own file.
set(completions)
foreach(program kivo kivo-render)
  foreach(shell bash zsh fish)
    set(file ${generated}/${shell}/${program})
    if(shell STREQUAL "zsh")
      set(file ${generated}/zsh/_${program})
    elseif(shell STREQUAL "fish")
      set(file ${generated}/fish/${program}.fish)
    endif()
    add_custom_command(OUTPUT ${file}
      COMMAND ${CMAKE_COMMAND} -E make_directory ${generated}/${shell}
      COMMAND kivo-options-doc ${shell} ${program} ${file}
      DEPENDS kivo-options-doc)
    list(APPEND completions ${file})
  endforeach()
endforeach()
add_custom_target(kivo_docs ALL DEPENDS ${compressed} ${completions})
install(DIRECTORY ${generated}/bash/ DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions)
install(DIRECTORY ${generated}/zsh/ DESTINATION ${CMAKE_INSTALL_DATADIR}/zsh/vendor-completions)
install(DIRECTORY ${generated}/fish/ DESTINATION ${CMAKE_INSTALL_DATADIR}/fish/vendor_completions.d)

# The wallpaper as a systemd user unit of the graphical session.
install(FILES ${PROJECT_SOURCE_DIR}/resources/systemd/kivo-background.service
        DESTINATION lib/systemd/user)

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
