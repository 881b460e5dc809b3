# The packages a user installs: `cpack` in the Linux build makes quorvin_<version>_amd64.deb from what
# `cmake --install` puts in place; the `installer` target of the Windows build makes
# Quorvin-<version>-setup.exe with NSIS.
if(QUORVIN_BUILD_QT)
  set(CPACK_GENERATOR DEB)
  set(CPACK_PACKAGE_NAME quorvin)
  set(CPACK_PACKAGE_VENDOR Ravendo)
  set(CPACK_PACKAGE_CONTACT "Ravendo <contact@ravendo.example>")
  set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
  set(CPACK_STRIP_FILES ON)
  set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
  set(CPACK_DEBIAN_PACKAGE_SECTION utils)
  set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
  set(CPACK_DEBIAN_PACKAGE_HOMEPAGE https://ravendo.example)
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)  # the libraries the program links, as dpkg-shlibdeps finds them
  # What no linker sees. Qt's French texts, without which its file dialog and buttons speak English; the
  # narrow face the labels are laid out with, without which they run under their fields; the About
  # window's stand-in for Comic Sans MS. Qt's X11 plugin comes with libqt6gui6.
  set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-translations-l10n, fonts-dejavu-extra, fonts-comic-neue")
  # Without these the program still works: on Wayland through XWayland, and the About window's links
  # open in $BROWSER or a browser Qt finds instead of the desktop's default handlers.
  set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "qt6-wayland, xdg-utils")
  set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
  set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "chercher une chaîne de caractères dans un fichier")
  set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "Quorvin dit si un texte se trouve dans un fichier, sans tenir compte des
majuscules. Les fichiers de toute taille sont lus par blocs ; une longue
recherche montre sa progression et peut être annulée. L'interface est en
français.")
  include(CPack)
endif()

if(QUORVIN_BUILD_WIN32)
  find_program(QUORVIN_MAKENSIS makensis)
  if(QUORVIN_MAKENSIS)
    set(setup ${CMAKE_BINARY_DIR}/Quorvin-${PROJECT_VERSION}-setup.exe)
    set(script ${PROJECT_SOURCE_DIR}/resources/windows/installer.nsi)
    # The program installed is the portable one without its debugging information, as in the .deb.
    set(installed ${CMAKE_BINARY_DIR}/installer/Quorvin.exe)
    add_custom_command(OUTPUT ${setup}
      COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/installer
      COMMAND ${CMAKE_STRIP} -o ${installed} $<TARGET_FILE:Quorvin>
      COMMAND ${QUORVIN_MAKENSIS} -V2 -INPUTCHARSET UTF8 -DVERSION=${PROJECT_VERSION} -DEXE=${installed}
        -DICON=${PROJECT_SOURCE_DIR}/resources/app_icon.ico -DOUTFILE=${setup} ${script}
      DEPENDS Quorvin ${script} ${PROJECT_SOURCE_DIR}/resources/app_icon.ico
      VERBATIM)
    add_custom_target(installer DEPENDS ${setup})
  endif()
endif()
