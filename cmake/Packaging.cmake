# Installation into a prefix (cmake --install) and the Debian package (cpack -G DEB).
#
# The version is project(... VERSION) alone: --version, Settings.VersionText, the man pages, the
# metainfo and the package all take PROJECT_VERSION.
include(GNUInstallDirs)

# The desktop id: names the desktop entry, the metainfo, the icon and the running program.
set(PELMAR_APP_ID "com.quorvant.Pelmar")
# The day PROJECT_VERSION was released: the metainfo, the man pages and the changelog name it.
set(PELMAR_RELEASE_DATE "2026-12-10")
set(PELMAR_PACKAGING_DIR "${CMAKE_SOURCE_DIR}/packaging")
set(PELMAR_PACKAGING_OUT "${CMAKE_BINARY_DIR}/packaging")

# The window asks the desktop for the entry's icon and is matched to the entry (Wayland app id).
target_compile_definitions(pelmar PRIVATE PELMAR_APP_ID="${PELMAR_APP_ID}")

install(TARGETS pelmar pelmar-tool RUNTIME DESTINATION "${CMAKE_INSTALL_BINDIR}")

# --- desktop entry and AppStream metainfo ---------------------------------------------------------
configure_file("${PELMAR_PACKAGING_DIR}/${PELMAR_APP_ID}.metainfo.xml.in"
               "${PELMAR_PACKAGING_OUT}/${PELMAR_APP_ID}.metainfo.xml" @ONLY)
install(FILES "${PELMAR_PACKAGING_DIR}/${PELMAR_APP_ID}.desktop"
        DESTINATION "${CMAKE_INSTALL_DATADIR}/applications")
install(FILES "${PELMAR_PACKAGING_OUT}/${PELMAR_APP_ID}.metainfo.xml"
        DESTINATION "${CMAKE_INSTALL_DATADIR}/metainfo")

# --- icon: the SVG, and PNG sizes rendered from it for desktops that want bitmaps ----------------
set(PELMAR_ICON_SVG "${PELMAR_PACKAGING_DIR}/pelmar.svg")
install(FILES "${PELMAR_ICON_SVG}" DESTINATION "${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps"
        RENAME "${PELMAR_APP_ID}.svg")
set(PELMAR_ICON_SIZES 16 22 24 32 48 64 128 256)
find_program(PELMAR_RSVG_CONVERT rsvg-convert)
if(PELMAR_RSVG_CONVERT)
  set(png_files)
  foreach(size IN LISTS PELMAR_ICON_SIZES)
    set(dir "${PELMAR_PACKAGING_OUT}/icons/${size}x${size}/apps")
    set(png "${dir}/${PELMAR_APP_ID}.png")
    add_custom_command(OUTPUT "${png}"
      COMMAND "${CMAKE_COMMAND}" -E make_directory "${dir}"
      COMMAND "${PELMAR_RSVG_CONVERT}" -w ${size} -h ${size} -o "${png}" "${PELMAR_ICON_SVG}"
      DEPENDS "${PELMAR_ICON_SVG}" VERBATIM)
    list(APPEND png_files "${png}")
    install(FILES "${png}" DESTINATION "${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps")
    set_source_files_properties("${png}" PROPERTIES QT_RESOURCE_ALIAS "${size}.png")
  endforeach()
  add_custom_target(pelmar_icons ALL DEPENDS ${png_files})
  # The same pictures inside the program, for its window when the theme has no icon (a run from
  # the build folder, a prefix the desktop does not search).
  qt_add_resources(pelmar pelmar_app_icon PREFIX "/pelmar/appicon" FILES ${png_files})
else()
  message(WARNING "rsvg-convert not found (Debian: librsvg2-bin): only the SVG icon is installed")
endif()

# --- man pages: roff sources with the version filled in, compressed as Debian ships them --------
find_program(PELMAR_GZIP gzip REQUIRED)
set(man_files)
foreach(page pelmar pelmar-tool)
  configure_file("${PELMAR_PACKAGING_DIR}/${page}.1.in" "${PELMAR_PACKAGING_OUT}/${page}.1" @ONLY)
  set(gz "${PELMAR_PACKAGING_OUT}/${page}.1.gz")
  # -n keeps the name and time out of the archive, so the package builds reproducibly.
  add_custom_command(OUTPUT "${gz}"
    COMMAND "${PELMAR_GZIP}" -9nc "${PELMAR_PACKAGING_OUT}/${page}.1" > "${gz}"
    DEPENDS "${PELMAR_PACKAGING_OUT}/${page}.1" "${PELMAR_PACKAGING_DIR}/${page}.1.in")
  list(APPEND man_files "${gz}")
endforeach()
add_custom_target(pelmar_manpages ALL DEPENDS ${man_files})
install(FILES ${man_files} DESTINATION "${CMAKE_INSTALL_MANDIR}/man1")
install(FILES "${CMAKE_SOURCE_DIR}/README.md" DESTINATION "${CMAKE_INSTALL_DOCDIR}")

# --- the check of what lands in a prefix, and of the package --------------------------------------
if(PELMAR_BUILD_TESTS)
  set(check "${CMAKE_SOURCE_DIR}/tests/install/check-install.sh")
  add_test(NAME install.prefix
           COMMAND bash "${check}" prefix "${CMAKE_COMMAND}" "${CMAKE_BINARY_DIR}" "${PROJECT_VERSION}"
                   "${PELMAR_APP_ID}")
  add_test(NAME install.package
           COMMAND bash "${check}" package "${CMAKE_CPACK_COMMAND}" "${CMAKE_BINARY_DIR}" "${PROJECT_VERSION}"
                   "${PELMAR_APP_ID}")
  # Both install the same build; cpack also writes into _CPack_Packages.
  set_tests_properties(install.prefix install.package PROPERTIES RESOURCE_LOCK pelmar_install
                       SKIP_RETURN_CODE 77 TIMEOUT 300)
endif()

# --- Debian package -------------------------------------------------------------------------------
set(PELMAR_PACKAGE_MAINTAINER "Pelmar developers <pelmar@quorvant.invalid>"
    CACHE STRING "Maintainer field of the Debian package")
# Debian wants a changelog among every package's documents; a native package has just this one.
# Its date is the release date, so that the package builds the same every time.
execute_process(COMMAND date -u -R -d "${PELMAR_RELEASE_DATE} 12:00" OUTPUT_VARIABLE PELMAR_CHANGELOG_DATE
                OUTPUT_STRIP_TRAILING_WHITESPACE COMMAND_ERROR_IS_FATAL ANY)
configure_file("${PELMAR_PACKAGING_DIR}/changelog.in" "${PELMAR_PACKAGING_OUT}/changelog" @ONLY)
add_custom_command(OUTPUT "${PELMAR_PACKAGING_OUT}/changelog.gz"
  COMMAND "${PELMAR_GZIP}" -9nc "${PELMAR_PACKAGING_OUT}/changelog" > "${PELMAR_PACKAGING_OUT}/changelog.gz"
  DEPENDS "${PELMAR_PACKAGING_OUT}/changelog" "${PELMAR_PACKAGING_DIR}/changelog.in")
add_custom_target(pelmar_changelog ALL DEPENDS "${PELMAR_PACKAGING_OUT}/changelog.gz")
install(FILES "${PELMAR_PACKAGING_OUT}/changelog.gz" DESTINATION "${CMAKE_INSTALL_DOCDIR}")

set(CPACK_GENERATOR "DEB")
set(CPACK_PACKAGE_NAME "pelmar")
set(CPACK_PACKAGE_VENDOR "Quorvant")
set(CPACK_PACKAGE_VERSION "${PROJECT_VERSION}")
set(CPACK_PACKAGE_CONTACT "${PELMAR_PACKAGE_MAINTAINER}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "FidoNet (FTN) netmail and echomail reader and editor")
# Lines stay below 80 columns, as Debian's tools show them.
set(CPACK_PACKAGE_DESCRIPTION
    "Pelmar reads the message bases a tosser fills (*.MSG, Squish, JAM, Hudson)
and writes new messages, replies and forwards back into them with the right
control lines. It offers an area tree with live unread counters, a threaded
message list, a coloured message view, templates, quoting, a nodelist
browser and an address book. The user interface is in Russian.")
set(CPACK_PACKAGING_INSTALL_PREFIX "/usr")
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION "mail")
set(CPACK_DEBIAN_PACKAGE_PRIORITY "optional")
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The icon is looked up through the hicolor theme, which a bare system may lack. The toolkit's own
# texts (standard buttons, file dialogs) are English without its Russian translation.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "hicolor-icon-theme, qt6-translations-l10n")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
# What the program finds at run time rather than links: spelling dictionaries, the pseudographics
# fonts and the toolkit's SVG icon engine. crashmail is a tosser that fills the bases.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS
    "hunspell-ru, hunspell-en-us, fonts-terminus-otb, fonts-dejavu-core, libqt6svg6")
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "crashmail, qt6-wayland")
include(CPack)
