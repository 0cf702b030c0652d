# SPDX-License-Identifier: GPL-3.0-or-later
# Installation of the programs and their desktop integration, and the
# Debian package (cpack -G DEB).
#
#   cmake --install build --prefix ~/.local     # into a prefix
#   cpack --config build/CPackConfig.cmake      # build/packages/skimra_<version>_<arch>.deb
#
# The package is monolithic: whatever any install() rule of the project puts
# in place (in any component) goes into the one package, so a program that
# brings its own install(TARGETS ...) is packaged without a change here.
include(GNUInstallDirs)

# Directories made by the installation are 0755 whatever the umask, as a
# package expects.
set(CMAKE_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
  OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)

foreach(program skimra-cli sk-gui)
  if(TARGET ${program})
    install(TARGETS ${program} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  endif()
endforeach()

# Desktop integration of sk-gui. The desktop entry's file name is the
# application id (so the shell matches windows to it), and the icons are
# installed under that name, which is also the entry's Icon=. The PNGs are the
# ones the build renders for the resource bundle.
set(SKIMRA_APP_ID com.skimra)
if(TARGET sk-gui)
  set(gui_data ${PROJECT_SOURCE_DIR}/gui/data)
  get_target_property(gui_binary_dir sk-gui BINARY_DIR)
  install(FILES ${gui_data}/${SKIMRA_APP_ID}.desktop
    DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
  install(FILES ${gui_data}/${SKIMRA_APP_ID}.metainfo.xml
    DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
  foreach(size 32 256)
    install(FILES ${gui_binary_dir}/resources/sk-${size}.png
      DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps
      RENAME ${SKIMRA_APP_ID}.png)
  endforeach()
  install(FILES ${PROJECT_SOURCE_DIR}/gui/resources/skimra.svg
    DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps
    RENAME ${SKIMRA_APP_ID}.svg)
endif()

# Manual pages, the licence terms and the changelog. Debian wants the pages
# and the changelog gzipped at the highest level without a name or time in
# the header (gzip -9n), so the same sources always give the same bytes;
# man reads them so from any prefix.
find_program(SKIMRA_GZIP gzip REQUIRED)
set(skimra_man_pages skimra-cli skimra-logbook)
if(TARGET sk-gui)
  list(APPEND skimra_man_pages sk-gui)
endif()
set(skimra_doc_dir ${PROJECT_BINARY_DIR}/doc)
set(skimra_gzipped_man_pages)
foreach(page ${skimra_man_pages})
  set(gz ${skimra_doc_dir}/${page}.1.gz)
  add_custom_command(OUTPUT ${gz}
    COMMAND ${CMAKE_COMMAND} -E copy ${PROJECT_SOURCE_DIR}/man/${page}.1 ${skimra_doc_dir}/${page}.1
    COMMAND ${SKIMRA_GZIP} -9nf ${skimra_doc_dir}/${page}.1
    DEPENDS ${PROJECT_SOURCE_DIR}/man/${page}.1
    COMMENT "Compressing the manual page ${page}(1)" VERBATIM)
  list(APPEND skimra_gzipped_man_pages ${gz})
endforeach()
add_custom_command(OUTPUT ${skimra_doc_dir}/changelog.gz
  COMMAND ${CMAKE_COMMAND} -E copy ${PROJECT_SOURCE_DIR}/packaging/changelog ${skimra_doc_dir}/changelog
  COMMAND ${SKIMRA_GZIP} -9nf ${skimra_doc_dir}/changelog
  DEPENDS ${PROJECT_SOURCE_DIR}/packaging/changelog
  COMMENT "Compressing the changelog" VERBATIM)
add_custom_target(skimra_docs ALL DEPENDS ${skimra_gzipped_man_pages} ${skimra_doc_dir}/changelog.gz)
install(FILES ${skimra_gzipped_man_pages} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${PROJECT_SOURCE_DIR}/packaging/copyright ${skimra_doc_dir}/changelog.gz
  DESTINATION ${CMAKE_INSTALL_DOCDIR})

# --- Debian package ----------------------------------------------------------
set(SKIMRA_PACKAGE_MAINTAINER "Skimra developers <dev@skimra.example>"
  CACHE STRING "Maintainer field of the Debian package")

set(CPACK_GENERATOR DEB)
set(CPACK_MONOLITHIC_INSTALL ON)
set(CPACK_PACKAGE_NAME skimra)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "Skimra")
set(CPACK_PACKAGE_CONTACT "${SKIMRA_PACKAGE_MAINTAINER}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "canopy swoop analysis from GPS logger tracks")
# Kept to lines under 80 characters, as the package's long description.
string(JOIN "\n" CPACK_PACKAGE_DESCRIPTION
  "Skimra tells a canopy pilot how a swoop went. From the track of a GPS"
  "logger it finds the exit, the turn, the rollout, the gate crossings, the"
  "touchdown and the stop, the degrees turned and the speeds, in the frame of"
  "a course surveyed by walking it with the same logger."
  ""
  "skimra-cli writes a report, a KML flight path and a PDF of eight plots;"
  "sk-gui opens a course and many swoops, compares them and plays them back"
  "over the plots.")
set(CPACK_PACKAGE_DIRECTORY ${PROJECT_BINARY_DIR}/packages)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION science)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)

# Library dependencies come from dpkg-shlibdeps (dpkg-dev, and CPack needs
# file(1) to find the binaries); without them, the libraries the programs link
# are named by hand. The plots ask fontconfig for "arial", which Liberation
# Sans answers; sk-gui sets the Adwaita theme and icons by name.
find_program(SKIMRA_DPKG_SHLIBDEPS dpkg-shlibdeps)
find_program(SKIMRA_FILE_PROGRAM file)
set(skimra_depends fonts-liberation)
if(TARGET sk-gui)
  # The video page plays with GStreamer's plugins, which no library
  # dependency names: the GTK sink, the containers and VP8 (good), playbin
  # and the base elements, and libav for the cameras' H.264 and H.265.
  list(APPEND skimra_depends adwaita-icon-theme gstreamer1.0-plugins-base gstreamer1.0-plugins-good
    gstreamer1.0-gtk3 gstreamer1.0-libav)
endif()
if(SKIMRA_DPKG_SHLIBDEPS AND SKIMRA_FILE_PROGRAM)
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
else()
  list(APPEND skimra_depends libc6 libstdc++6 libgcc-s1 libglib2.0-0 libcairo2
    libpango-1.0-0 libpangocairo-1.0-0)
  if(TARGET sk-gui)
    list(APPEND skimra_depends libgtk-3-0 libgdk-pixbuf-2.0-0 libgstreamer1.0-0 libgstreamer-plugins-base1.0-0)
  endif()
endif()
list(JOIN skimra_depends ", " CPACK_DEBIAN_PACKAGE_DEPENDS)

set(CPACK_SOURCE_GENERATOR TGZ)
set(CPACK_SOURCE_IGNORE_FILES "/\\\\.git/" "/build[^/]*/" "/Testing/" "/fuzz/corpus-work/")
include(CPack)
