# Quarry on the desktop: the launcher (which also offers Quarry for local
# HTML files), the icon in the theme's sizes, the software-centre entry and
# the help pages the Help menu opens. Included from app/CMakeLists.txt.

set(quarry_desktop_id example.quarry.Quarry)

install(FILES ${CMAKE_CURRENT_SOURCE_DIR}/desktop/${quarry_desktop_id}.desktop
  DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)

configure_file(${CMAKE_CURRENT_SOURCE_DIR}/desktop/${quarry_desktop_id}.metainfo.xml.in
  ${CMAKE_CURRENT_BINARY_DIR}/${quarry_desktop_id}.metainfo.xml @ONLY)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/${quarry_desktop_id}.metainfo.xml
  DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)

# The icon: the drawn pictures at their sizes, the drawing for the rest.
foreach(size 16 22 24 32 48 64 128 256)
  install(FILES ${CMAKE_CURRENT_SOURCE_DIR}/resources/png/quarry-${size}.png
    DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps
    RENAME quarry.png)
endforeach()
install(FILES ${CMAKE_CURRENT_SOURCE_DIR}/resources/svg/quarry.svg
  DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)

install(FILES ${PROJECT_SOURCE_DIR}/docs/index.html ${PROJECT_SOURCE_DIR}/docs/sample-page.html
  DESTINATION ${QUARRY_HELP_INSTALL_DIR})
install(FILES ${PROJECT_SOURCE_DIR}/README.md ${PROJECT_SOURCE_DIR}/docs/ztreg.md
    ${PROJECT_SOURCE_DIR}/docs/ztregsvr.md
  DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/doc/quarry)

install(FILES ${CMAKE_CURRENT_SOURCE_DIR}/desktop/Quarry.1 DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
