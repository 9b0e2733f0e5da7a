# Installing Talvane as a desktop program, and building its Debian package.
#
#   cmake --install <build> --prefix <prefix>   the program, its launcher, icons and metainfo
#   cd <build> && cpack -G DEB                   talvane_<version>_<arch>.deb
#
# Everything the desktop sees goes by one application id: the launcher is <id>.desktop, the
# icon is named <id> in the hicolor theme, the metainfo is <id>.metainfo.xml. The program
# must announce the same name through QGuiApplication::setDesktopFileName, or desktops
# cannot match its windows to the launcher and its icon.

include(GNUInstallDirs)

set(TALVANE_APP_ID "io.github.talvane.Talvane")
set(_talvane_packaging "${PROJECT_SOURCE_DIR}/packaging")
set(_talvane_resources "${PROJECT_SOURCE_DIR}/src/app/resources")

# ---- Icons -------------------------------------------------------------------------------
# The XPMs are the source of the pixel icons. The icon theme wants PNGs, so a small Qt tool
# built here converts them with Qt's own XPM reader: the build needs nothing beyond Qt, and
# the installed icons are exactly the pixels of the window icon.
add_executable(talvane_xpm2png "${_talvane_packaging}/xpm2png.cpp")
target_link_libraries(talvane_xpm2png PRIVATE Qt6::Gui)
set_target_properties(talvane_xpm2png PROPERTIES
  RUNTIME_OUTPUT_DIRECTORY "${CMAKE_BINARY_DIR}/packaging"
  AUTOMOC OFF)

set(_talvane_icon_pngs)
foreach(size 16 32)
  set(png "${CMAKE_BINARY_DIR}/packaging/icons/talvane-${size}.png")
  add_custom_command(
    OUTPUT "${png}"
    COMMAND "${CMAKE_COMMAND}" -E make_directory "${CMAKE_BINARY_DIR}/packaging/icons"
    # The tool is a short-lived converter: a sanitizer build must not fail it over leak checks.
    COMMAND "${CMAKE_COMMAND}" -E env ASAN_OPTIONS=detect_leaks=0
            $<TARGET_FILE:talvane_xpm2png> "${_talvane_resources}/talvane-${size}.xpm" ${size} "${png}"
    DEPENDS talvane_xpm2png "${_talvane_resources}/talvane-${size}.xpm"
    COMMENT "Converting the ${size}x${size} icon to PNG"
    VERBATIM)
  list(APPEND _talvane_icon_pngs "${png}")
  install(FILES "${png}"
    DESTINATION "${CMAKE_INSTALL_DATAROOTDIR}/icons/hicolor/${size}x${size}/apps"
    RENAME "${TALVANE_APP_ID}.png")
endforeach()
add_custom_target(talvane_icons ALL DEPENDS ${_talvane_icon_pngs})

install(FILES "${_talvane_resources}/talvane.svg"
  DESTINATION "${CMAKE_INSTALL_DATAROOTDIR}/icons/hicolor/scalable/apps"
  RENAME "${TALVANE_APP_ID}.svg")

# ---- Launcher and metainfo ---------------------------------------------------------------
install(FILES "${_talvane_packaging}/${TALVANE_APP_ID}.desktop"
  DESTINATION "${CMAKE_INSTALL_DATAROOTDIR}/applications")
install(FILES "${_talvane_packaging}/${TALVANE_APP_ID}.metainfo.xml"
  DESTINATION "${CMAKE_INSTALL_DATAROOTDIR}/metainfo")

# ---- Manual page, licence and changelog --------------------------------------------------
# Manual pages and changelogs are installed compressed. gzip -n leaves out the file's name
# and time, so the same sources always give the same bytes.
find_program(TALVANE_GZIP gzip REQUIRED)
set(_talvane_gzipped)
foreach(doc talvane.1 changelog)
  set(copy "${CMAKE_BINARY_DIR}/packaging/doc/${doc}")
  add_custom_command(
    OUTPUT "${copy}.gz"
    COMMAND "${CMAKE_COMMAND}" -E make_directory "${CMAKE_BINARY_DIR}/packaging/doc"
    COMMAND "${CMAKE_COMMAND}" -E copy "${_talvane_packaging}/${doc}" "${copy}"
    COMMAND "${TALVANE_GZIP}" -9 -n -f "${copy}"
    DEPENDS "${_talvane_packaging}/${doc}"
    COMMENT "Compressing ${doc}"
    VERBATIM)
  list(APPEND _talvane_gzipped "${copy}.gz")
endforeach()
add_custom_target(talvane_docs ALL DEPENDS ${_talvane_gzipped})

install(FILES "${CMAKE_BINARY_DIR}/packaging/doc/talvane.1.gz"
  DESTINATION "${CMAKE_INSTALL_MANDIR}/man1")
# Debian looks for the licence and the changelog of a package under these very names.
install(FILES "${_talvane_packaging}/copyright" "${CMAKE_BINARY_DIR}/packaging/doc/changelog.gz"
  DESTINATION "${CMAKE_INSTALL_DATAROOTDIR}/doc/talvane")

# ---- Debian package ----------------------------------------------------------------------
set(CPACK_PACKAGE_NAME "talvane")
set(CPACK_PACKAGE_VENDOR "Talvane developers")
set(CPACK_PACKAGE_CONTACT "Talvane developers <talvane@example.org>")
set(CPACK_PACKAGE_VERSION "${PROJECT_VERSION}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "manager for a folder of small banner pictures")
set(CPACK_PACKAGE_DESCRIPTION
  "Talvane looks after a folder of banners, small 12x8 pixel BMP pictures.
It lists every banner of a folder with its picture in four views (large
icons, small icons, list and details), previews the selected banner three
times enlarged, renames banners in place, deletes them after confirmation,
opens them in the program the desktop associates with them, and scans the
folder again on F5.")
# The debugging information of a RelWithDebInfo build stays in the build directory.
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGING_INSTALL_PREFIX "/usr")

set(CPACK_DEBIAN_PACKAGE_NAME "talvane")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "Talvane developers <talvane@example.org>")
set(CPACK_DEBIAN_PACKAGE_SECTION "graphics")
set(CPACK_DEBIAN_PACKAGE_PRIORITY "optional")
# The libraries come from dpkg-shlibdeps (package dpkg-dev). Two needs it cannot see:
# xdg-open, which opens a banner in its associated program, and Qt's platform plugins,
# which libqt6gui6 only recommends although no window can open without them.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "xdg-utils, qt6-qpa-plugins")
# On a Wayland desktop (KDE Plasma, GNOME) Talvane then runs as a native Wayland client.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "qt6-wayland")

include(CPack)
