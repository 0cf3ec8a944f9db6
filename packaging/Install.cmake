# Installation: the program, the virtual instrument, the shipped catalogue and
# the desktop integration (desktop entry, AppStream metainfo, icons).
# Included from the top-level CMakeLists.txt once every target exists.
#
# Layout under the prefix (/usr in the Debian package):
#   bin/qle, bin/psu-sim
#   share/qle/mtype.mdb                      the shipped catalogue
#   share/applications/qle.desktop
#   share/metainfo/<QLE_APP_ID>.metainfo.xml
#   share/icons/hicolor/scalable/apps/qle.svg
#   share/icons/hicolor/<N>x<N>/apps/qle.png
# The program finds its shipped catalogue as <its folder>/../share/qle/mtype.mdb
# (DataFolder::shippedCatalogue), so bin/ and share/qle/ are fixed here and do
# not follow CMAKE_INSTALL_BINDIR / CMAKE_INSTALL_DATADIR.

# AppStream component id (reverse-DNS) and the date of this version's release,
# written into the metainfo file. Change the date with project(VERSION).
set(QLE_APP_ID "org.qle.QLE")
set(QLE_RELEASE_DATE "2026-12-08")

set(QLE_ICON_SVG ${PROJECT_SOURCE_DIR}/src/shell/icons/qle.svg)
set(QLE_ICON_SIZES 16 22 24 32 48 64 128 256)
set(QLE_PACKAGING_BINARY_DIR ${CMAKE_BINARY_DIR}/packaging)
set(QLE_ICON_THEME_DIR ${QLE_PACKAGING_BINARY_DIR}/hicolor)

# PNG icons rendered from the SVG at build time by a small Qt program.
add_executable(qle_render_icon ${CMAKE_CURRENT_LIST_DIR}/icon-render/RenderIcon.cpp)
target_link_libraries(qle_render_icon PRIVATE Qt6::Gui)
set_target_properties(qle_render_icon PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${QLE_PACKAGING_BINARY_DIR})

set(QLE_ICON_PNGS)
foreach(size IN LISTS QLE_ICON_SIZES)
  list(APPEND QLE_ICON_PNGS ${QLE_ICON_THEME_DIR}/${size}x${size}/apps/qle.png)
endforeach()
add_custom_command(
  OUTPUT ${QLE_ICON_PNGS}
  COMMAND ${CMAKE_COMMAND} -E env QT_QPA_PLATFORM=offscreen ASAN_OPTIONS=detect_leaks=0
          $<TARGET_FILE:qle_render_icon> ${QLE_ICON_SVG} ${QLE_ICON_THEME_DIR} qle ${QLE_ICON_SIZES}
  DEPENDS qle_render_icon ${QLE_ICON_SVG}
  COMMENT "Rendering the application icon"
  VERBATIM)
add_custom_target(qle_icons ALL DEPENDS ${QLE_ICON_PNGS})

configure_file(${CMAKE_CURRENT_LIST_DIR}/metainfo.xml.in
               ${QLE_PACKAGING_BINARY_DIR}/${QLE_APP_ID}.metainfo.xml @ONLY)

install(TARGETS qle qle-cli psu-sim RUNTIME DESTINATION bin)
install(FILES ${QLE_SHIPPED_CATALOGUE} DESTINATION share/qle)
install(FILES ${CMAKE_CURRENT_LIST_DIR}/qle.desktop DESTINATION share/applications)
install(FILES ${QLE_PACKAGING_BINARY_DIR}/${QLE_APP_ID}.metainfo.xml DESTINATION share/metainfo)
install(FILES ${QLE_ICON_SVG} DESTINATION share/icons/hicolor/scalable/apps)
foreach(size IN LISTS QLE_ICON_SIZES)
  install(FILES ${QLE_ICON_THEME_DIR}/${size}x${size}/apps/qle.png
          DESTINATION share/icons/hicolor/${size}x${size}/apps)
endforeach()
