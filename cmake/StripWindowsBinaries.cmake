# Part of the install of the Windows build (cmake/Packaging.cmake): strips the
# installed velmorak.exe and velmorak.dll. When VELMORAK_DEBUG_DIR is set, their
# debugging sections are first kept there as <name>.debug, and each stripped
# file names its .debug file (.gnu_debuglink) for gdb.
foreach(name velmorak.exe velmorak.dll)
  set(file "$ENV{DESTDIR}${CMAKE_INSTALL_PREFIX}/${VELMORAK_BIN_DIR}/${name}")
  if(NOT EXISTS "${file}")
    continue()
  endif()
  if(VELMORAK_DEBUG_DIR)
    file(MAKE_DIRECTORY "${VELMORAK_DEBUG_DIR}")
    execute_process(COMMAND "${VELMORAK_OBJCOPY}" --only-keep-debug "${file}" "${VELMORAK_DEBUG_DIR}/${name}.debug"
      COMMAND_ERROR_IS_FATAL ANY)
  endif()
  execute_process(COMMAND "${VELMORAK_STRIP}" --strip-all "${file}" COMMAND_ERROR_IS_FATAL ANY)
  if(VELMORAK_DEBUG_DIR)
    execute_process(COMMAND "${VELMORAK_OBJCOPY}" "--add-gnu-debuglink=${VELMORAK_DEBUG_DIR}/${name}.debug" "${file}"
      COMMAND_ERROR_IS_FATAL ANY)
  endif()
endforeach()
