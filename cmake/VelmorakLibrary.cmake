# The shared library libvelmorak: every object of the core, with only the
# exported routines of include/velmorak/velmorak.h and d12.h visible (the
# core is built with hidden visibility). Installed with its headers and a
# CMake package, so that another program finds it with find_package(velmorak)
# and links velmorak::velmorak.
include(GNUInstallDirs)
include(CMakePackageConfigHelpers)

add_library(velmorak_shared SHARED $<TARGET_OBJECTS:velmorak_core>)
add_library(velmorak::velmorak ALIAS velmorak_shared)
set_target_properties(velmorak_shared PROPERTIES
  OUTPUT_NAME velmorak
  EXPORT_NAME velmorak
  LINKER_LANGUAGE CXX
  VERSION ${PROJECT_VERSION}
  SOVERSION ${PROJECT_VERSION_MAJOR})
target_link_libraries(velmorak_shared PRIVATE ZLIB::ZLIB Threads::Threads)
target_include_directories(velmorak_shared PUBLIC
  $<BUILD_INTERFACE:${PROJECT_SOURCE_DIR}/include>
  $<INSTALL_INTERFACE:${CMAKE_INSTALL_INCLUDEDIR}>)
if(VELMORAK_SANITIZE)
  # An instrumented library needs the sanitizer run-times in the program that loads it.
  target_link_options(velmorak_shared INTERFACE -fsanitize=address,undefined)
endif()

install(TARGETS velmorak RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(TARGETS velmorak_shared EXPORT velmorakTargets
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
  ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR}
  RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES ${PROJECT_SOURCE_DIR}/include/velmorak/velmorak.h ${PROJECT_SOURCE_DIR}/include/velmorak/d12.h
  DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/velmorak)

set(VELMORAK_CMAKE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/velmorak)
install(EXPORT velmorakTargets NAMESPACE velmorak:: DESTINATION ${VELMORAK_CMAKE_DIR})
configure_package_config_file(${PROJECT_SOURCE_DIR}/cmake/velmorakConfig.cmake.in
  ${PROJECT_BINARY_DIR}/velmorakConfig.cmake
  INSTALL_DESTINATION ${VELMORAK_CMAKE_DIR})
write_basic_package_version_file(${PROJECT_BINARY_DIR}/velmorakConfigVersion.cmake
  VERSION ${PROJECT_VERSION}
  COMPATIBILITY SameMajorVersion)
install(FILES ${PROJECT_BINARY_DIR}/velmorakConfig.cmake ${PROJECT_BINARY_DIR}/velmorakConfigVersion.cmake
  DESTINATION ${VELMORAK_CMAKE_DIR})
