# What an install holds besides the program, the library and its CMake
# package (cmake/VelmorakLibrary.cmake): the manual page, the README, the
# bundled example and the licence as Debian's copyright file; and the CPack
# settings of the Debian package, made with
#   cmake --build <build> --target package    (or: bash build.sh --deb)
# The Windows zip has a layout of its own (cmake/VelmorakPlatform.cmake): no
# manual page, and the README and the example at its top.
include(GNUInstallDirs)
set(VELMORAK_PACKAGE_CONTACT "velmorak authors <velmorak@example.org>" CACHE STRING
  "Maintainer of the packages (name <address>)")
if(NOT WIN32)
  # The manual page, compressed the way Debian installs manual pages (gzip -9n:
  # no name or time stamp in the header, so the same page gives the same bytes).
  set(VELMORAK_MANPAGE ${PROJECT_SOURCE_DIR}/man/velmorak.1)
  find_program(VELMORAK_GZIP gzip)
  if(VELMORAK_GZIP)
    set(VELMORAK_MANPAGE_GZ ${PROJECT_BINARY_DIR}/man/velmorak.1.gz)
    add_custom_command(OUTPUT ${VELMORAK_MANPAGE_GZ}
      COMMAND ${CMAKE_COMMAND} -E copy ${VELMORAK_MANPAGE} ${PROJECT_BINARY_DIR}/man/velmorak.1
      COMMAND ${VELMORAK_GZIP} -9nf ${PROJECT_BINARY_DIR}/man/velmorak.1
      DEPENDS ${VELMORAK_MANPAGE}
      COMMENT "Compressing the manual page")
    add_custom_target(velmorak_manpage ALL DEPENDS ${VELMORAK_MANPAGE_GZ})
    install(FILES ${VELMORAK_MANPAGE_GZ} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
  else()
    install(FILES ${VELMORAK_MANPAGE} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
  endif()

  # The licence in the machine-readable form of Debian's copyright files, where
  # lintian and a packager look for it: the MIT text is Debian's "Expat", each
  # line indented by one blank and an empty line written as " .".
  file(READ ${PROJECT_SOURCE_DIR}/LICENSE VELMORAK_LICENSE_TEXT)
  string(REGEX MATCH "Copyright \\(c\\) ([^\n]*)" VELMORAK_COPYRIGHT_LINE "${VELMORAK_LICENSE_TEXT}")
  set(VELMORAK_COPYRIGHT_HOLDERS "${CMAKE_MATCH_1}")
  # the permission text: from the paragraph after the copyright line to the end
  string(REGEX REPLACE "^.*Copyright \\(c\\) [^\n]*\n\n" "" VELMORAK_LICENSE_BODY "${VELMORAK_LICENSE_TEXT}")
  string(REGEX REPLACE "\n+$" "" VELMORAK_LICENSE_BODY "${VELMORAK_LICENSE_BODY}")
  string(REPLACE "\n\n" "\n.\n" VELMORAK_LICENSE_BODY "${VELMORAK_LICENSE_BODY}")
  string(REPLACE "\n" "\n " VELMORAK_LICENSE_BODY " ${VELMORAK_LICENSE_BODY}")
  file(WRITE ${PROJECT_BINARY_DIR}/copyright
"Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/
Upstream-Name: ${PROJECT_NAME}

Files: *
Copyright: ${VELMORAK_COPYRIGHT_HOLDERS}
License: Expat

License: Expat
${VELMORAK_LICENSE_BODY}
")
  install(FILES ${PROJECT_BINARY_DIR}/copyright DESTINATION ${CMAKE_INSTALL_DOCDIR})

  # The Debian changelog each package carries (lintian's no-changelog is an
  # error): the release in the form dpkg-parsechangelog reads, compressed like
  # the manual page. The packages are native (their version has no Debian
  # revision), so Debian policy names it changelog.gz; changelog.Debian.gz is
  # the name in a package of another project's source, and lintian warns of
  # it here. The project's history itself is its git log.
  set(VELMORAK_RELEASE_DATE "Tue, 08 Dec 2026 12:00:00 +0000" CACHE STRING
    "Date of the release in the Debian changelog (RFC 5322)")
  function(velmorak_debian_changelog package out_var)
    set(text "${package} (${PROJECT_VERSION}) unstable; urgency=medium

  * Release ${PROJECT_VERSION}: 12d ASCII to MapInfo MIF/MID breakline and
    cross-section layers, MIF/MID lines to 2D and 3D 12d ASCII strings.

 -- ${VELMORAK_PACKAGE_CONTACT}  ${VELMORAK_RELEASE_DATE}
")
    set(dir ${PROJECT_BINARY_DIR}/debian/${package})
    file(WRITE ${dir}/changelog "${text}")
    if(VELMORAK_GZIP)
      add_custom_command(OUTPUT ${dir}/changelog.gz
        COMMAND ${VELMORAK_GZIP} -9nkf ${dir}/changelog
        DEPENDS ${dir}/changelog
        COMMENT "Compressing the Debian changelog of ${package}")
      add_custom_target(velmorak_changelog_${package} ALL DEPENDS ${dir}/changelog.gz)
      set(${out_var} ${dir}/changelog.gz PARENT_SCOPE)
    else()
      set(${out_var} ${dir}/changelog PARENT_SCOPE)
    endif()
  endfunction()
  velmorak_debian_changelog(${PROJECT_NAME} VELMORAK_CHANGELOG)
  install(FILES ${VELMORAK_CHANGELOG} DESTINATION ${CMAKE_INSTALL_DOCDIR})

  # Lintian's warnings on the package that are how the project ships it, each
  # with its reason, where lintian and Debian's tools look for them.
  file(WRITE ${PROJECT_BINARY_DIR}/debian/lintian-overrides
"# One package holds the program, the shared library and its development
# files (header, CMake package, the unversioned link), as the project ships
# them; Debian would split them into libvelmorak1 and libvelmorak-dev.
${PROJECT_NAME}: package-name-doesnt-match-sonames libvelmorak1
${PROJECT_NAME}: link-to-shared-library-in-wrong-package *
# CPack writes postinst and postrm scripts that run ldconfig for a package
# with a shared library; the package has the ldconfig trigger as well, so a
# newer CPack that leaves the scripts out changes nothing.
${PROJECT_NAME}: maintscript-calls-ldconfig [postinst]
${PROJECT_NAME}: maintscript-calls-ldconfig [postrm]
")
  install(FILES ${PROJECT_BINARY_DIR}/debian/lintian-overrides
    DESTINATION ${CMAKE_INSTALL_DATADIR}/lintian/overrides RENAME ${PROJECT_NAME})
  install(FILES ${PROJECT_SOURCE_DIR}/README.md DESTINATION ${CMAKE_INSTALL_DOCDIR})
  # the bundled example only, not the layers a run of it writes beside it
  install(FILES ${PROJECT_SOURCE_DIR}/examples/site.12da ${PROJECT_SOURCE_DIR}/examples/Header.mif
    DESTINATION ${CMAKE_INSTALL_DOCDIR}/examples)
endif()

# The Windows zip: velmorak.exe and velmorak.dll are installed stripped (half
# their size: the static run-times bring their debugging sections along). With
# VELMORAK_DEBUG_FILES the sections are kept apart first, as velmorak.exe.debug
# and velmorak.dll.debug in the build folder's debug/, which the stripped files
# name (.gnu_debuglink), so that gdb finds them; the zip holds neither.
if(WIN32 AND CMAKE_STRIP AND CMAKE_OBJCOPY)
  option(VELMORAK_DEBUG_FILES "Keep the debugging sections of the Windows program and library as .debug files" ON)
  # Run after the program and the library are installed (their rules come first).
  install(CODE "
    set(VELMORAK_STRIP \"${CMAKE_STRIP}\")
    set(VELMORAK_OBJCOPY \"${CMAKE_OBJCOPY}\")
    set(VELMORAK_DEBUG_DIR \"$<$<BOOL:${VELMORAK_DEBUG_FILES}>:${PROJECT_BINARY_DIR}/debug>\")
    set(VELMORAK_BIN_DIR \"${CMAKE_INSTALL_BINDIR}\")")
  install(SCRIPT ${PROJECT_SOURCE_DIR}/cmake/StripWindowsBinaries.cmake)
endif()

# ------------------------------------------------------------------ CPack
set(CPACK_PACKAGE_NAME ${PROJECT_NAME})
set(CPACK_PACKAGE_VENDOR "the velmorak authors")
set(CPACK_PACKAGE_CONTACT "${VELMORAK_PACKAGE_CONTACT}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "converter between 12d ASCII and MapInfo MIF/MID layers")
set(CPACK_PACKAGE_DESCRIPTION
"velmorak is a console converter for terrain and hydraulic modellers. It
turns the strings of a 12d ASCII file (.12da, .4da) into a MapInfo
Interchange breakline layer (.mif and .mid), or into cross-section .csv
files with their line and point layers; and the lines and polylines of a
MIF layer into 2D strings of a 12d ASCII file, or into 3D breaklines whose
elevations come from a points layer snapped onto their vertices.
.
The package also holds the shared library libvelmorak with the routines
the converter exports for texts, numbers, file names and plane geometry,
its C header and its CMake package files.")
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
set(CPACK_RESOURCE_FILE_README ${PROJECT_SOURCE_DIR}/README.md)
set(CPACK_STRIP_FILES ON)

if(CMAKE_SYSTEM_NAME STREQUAL "Linux")
  set(CPACK_GENERATOR DEB)
  # velmorak_<version>_<architecture>.deb
  set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
  set(CPACK_DEBIAN_PACKAGE_SECTION science)
  set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
  # Depends from dpkg-shlibdeps: whatever the program and the library link
  # (the C and C++ run-times today) with the versions they need.
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
  # The shlibs file, so that a package built against libvelmorak depends on
  # this one; and the trigger that runs ldconfig once the library is unpacked.
  set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS ON)
  set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS_POLICY ">=")
  file(WRITE ${PROJECT_BINARY_DIR}/debian/triggers "activate-noawait ldconfig\n")
  set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA ${PROJECT_BINARY_DIR}/debian/triggers)
  set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
endif()

# The GDAL plugin in a package of its own, velmorak-gdal, which depends on
# GDAL's library: users who want only the converter do not pull GDAL in.
if(TARGET ogr_12DA AND CMAKE_SYSTEM_NAME STREQUAL "Linux")
  set(CPACK_DEB_COMPONENT_INSTALL ON)
  set(CPACK_COMPONENTS_ALL converter gdal)
  set(CPACK_DEBIAN_CONVERTER_PACKAGE_NAME ${PROJECT_NAME})
  set(CPACK_DEBIAN_CONVERTER_DESCRIPTION "${CPACK_PACKAGE_DESCRIPTION_SUMMARY}\n${CPACK_PACKAGE_DESCRIPTION}")
  # CPack would put the one summary above both descriptions; each names its own first line.
  unset(CPACK_PACKAGE_DESCRIPTION_SUMMARY)
  set(CPACK_DEBIAN_CONVERTER_PACKAGE_CONTROL_EXTRA ${CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA})
  unset(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA)
  set(CPACK_DEBIAN_GDAL_PACKAGE_NAME ${PROJECT_NAME}-gdal)
  set(CPACK_DEBIAN_GDAL_DESCRIPTION "GDAL driver for 12d ASCII files (.12da, .4da, .12daz)
The 12DA driver, a plugin that GDAL loads, lets ogrinfo, ogr2ogr, QGIS
and every other program built on GDAL read 12d ASCII files and their
compressed archives as layers, one per model, with the strings' names,
colours, styles and attributes as fields; and write any vector layer as
12d ASCII strings (.12da, or a .12daz archive).")
  install(FILES ${PROJECT_BINARY_DIR}/copyright DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/${PROJECT_NAME}-gdal
    COMPONENT gdal)
  velmorak_debian_changelog(${PROJECT_NAME}-gdal VELMORAK_GDAL_CHANGELOG)
  install(FILES ${VELMORAK_GDAL_CHANGELOG} DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/${PROJECT_NAME}-gdal
    COMPONENT gdal)
endif()

# The Windows build makes its zip from the platform's settings.
if(NOT WIN32)
  include(CPack)
endif()
