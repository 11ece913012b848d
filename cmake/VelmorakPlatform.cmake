# The platform layer: src/io/platform_posix.cpp or platform_windows*.cpp,
# whichever fits the target system; the other is left out of the build.
if(WIN32)
  set(VELMORAK_OTHER_PLATFORM ${PROJECT_SOURCE_DIR}/src/io/platform_posix.cpp)
else()
  set(VELMORAK_OTHER_PLATFORM ${PROJECT_SOURCE_DIR}/src/io/platform_windows.cpp
    ${PROJECT_SOURCE_DIR}/src/io/platform_windows_text.cpp)
endif()
set_source_files_properties(${VELMORAK_OTHER_PLATFORM} PROPERTIES HEADER_FILE_ONLY ON)

if(WIN32)
  # The exported routines are marked __declspec(dllexport) where the core is
  # built and used (velmorak.dll, velmorak.exe, the tests), dllimport elsewhere.
  target_compile_definitions(velmorak_core PUBLIC VELMORAK_BUILDING)
  # CommandLineToArgvW: the command line is read as wide characters.
  target_link_libraries(velmorak_core PUBLIC shell32)
  target_link_libraries(velmorak_shared PRIVATE shell32)
  # velmorak.dll (not libvelmorak.dll) with its import library libvelmorak.dll.a.
  # The executable exports the same names; the import library the toolchain
  # makes for every program would have the library's name and replace it.
  set_target_properties(velmorak_shared PROPERTIES PREFIX "")
  set_target_properties(velmorak PROPERTIES ENABLE_EXPORTS OFF ARCHIVE_OUTPUT_NAME velmorak_exe)
  # velmorak.dll is loaded by programs of other compilers (QGIS's Python,
  # through ctypes) and velmorak.exe travels alone in the QGIS plugin: the
  # mingw-w64 run-times (libgcc, libstdc++, winpthread) and zlib are linked
  # into both, so that they need no DLL but Windows's own. The cross build's
  # toolchain file links every program so; this holds for any mingw-w64 build.
  # The export tests check what the two import.
  if(MINGW)
    target_link_options(velmorak PRIVATE -static)
    target_link_options(velmorak_shared PRIVATE -static)
  endif()
endif()

# Paths of this (Linux) machine as a Windows program under Wine sees them: the
# Unix root is drive Z:.
set(VELMORAK_HOST_DRIVE "")
if(WIN32 AND CMAKE_CROSSCOMPILING AND CMAKE_HOST_UNIX)
  set(VELMORAK_HOST_DRIVE "Z:")
endif()

# The Windows zip (cpack, or the "package" target): velmorak.exe, velmorak.dll
# and its import library, the header, the CMake package files, and at its top
# the README, the licence and the bundled example; no manual page, which
# Windows has no reader for.
if(WIN32)
  install(FILES ${PROJECT_SOURCE_DIR}/README.md ${PROJECT_SOURCE_DIR}/LICENSE DESTINATION .)
  install(FILES ${PROJECT_SOURCE_DIR}/examples/site.12da ${PROJECT_SOURCE_DIR}/examples/Header.mif
    DESTINATION examples)
  set(CPACK_GENERATOR ZIP)
  set(CPACK_PACKAGE_FILE_NAME velmorak-${PROJECT_VERSION}-win64)
  set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY ON)
  include(CPack)
endif()
