# What `cmake --install` puts under the prefix for the Linux program: the program, the menu entry that
# file managers offer in « Ouvrir avec », the software centres' description, the icon in every size the
# pictures come in, the manual page and the package's documents, and what lintian is told of it.
if(NOT QUORVIN_BUILD_QT)
  return()
endif()
include(GNUInstallDirs)

# The desktop's name for Quorvin: the AppStream description and the icon are named after it. The menu
# entry has an id of its own that sorts after the text editors' (see the entry).
set(QUORVIN_APP_ID example.ravendo.Quorvin)
set(QUORVIN_DESKTOP_ID zz-quorvin)
set(linux_resources ${PROJECT_SOURCE_DIR}/resources/linux)

install(TARGETS quorvin RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES ${linux_resources}/${QUORVIN_DESKTOP_ID}.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${linux_resources}/${QUORVIN_APP_ID}.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)

# app_icon_<N>.png is the N x N picture; the menu looks for it under hicolor/<N>x<N>/apps.
file(GLOB app_icons CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/resources/app_icon_*.png)
foreach(icon IN LISTS app_icons)
  if(icon MATCHES "/app_icon_([0-9]+)\\.png$")
    set(size ${CMAKE_MATCH_1})
    install(FILES ${icon} DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps
      RENAME ${QUORVIN_APP_ID}.png)
  endif()
endforeach()

# Debian wants the manual page and the change log compressed, the same bytes at every build.
set(compressed ${CMAKE_BINARY_DIR}/compressed)
foreach(pair "quorvin.1;quorvin.1.gz" "changelog;changelog.gz")
  list(GET pair 0 source)
  list(GET pair 1 target)
  add_custom_command(OUTPUT ${compressed}/${target}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${compressed}
    COMMAND sh -c "gzip -9nc \"$0\" > \"$1\"" ${linux_resources}/${source} ${compressed}/${target}
    DEPENDS ${linux_resources}/${source} VERBATIM)
  list(APPEND compressed_files ${compressed}/${target})
endforeach()
add_custom_target(quorvin_compressed_documents ALL DEPENDS ${compressed_files})
install(FILES ${compressed}/quorvin.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${compressed}/changelog.gz ${linux_resources}/copyright DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/quorvin)
install(FILES ${linux_resources}/quorvin.lintian-overrides DESTINATION ${CMAKE_INSTALL_DATADIR}/lintian/overrides
  RENAME quorvin)
