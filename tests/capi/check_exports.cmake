# Checks a binary's dynamic symbol table against the exported names of the C
# header: every routine and variable declared with VELMORAK_API must be
# defined there. With ONLY=ON, the binary must also export nothing else of the
# program's own code (no symbol of the velmorak namespaces).
#   cmake -DHEADER=velmorak.h -DBINARY=<file> -DNM=<nm> [-DONLY=ON] -P check_exports.cmake
cmake_minimum_required(VERSION 3.20)
foreach(var HEADER BINARY NM)
  if(NOT DEFINED ${var})
    message(FATAL_ERROR "check_exports: ${var} is not set")
  endif()
endforeach()

# Declarations start a line with VELMORAK_API; the exported name is the
# identifier right before the "(" of a routine or the ";" of a variable.
file(STRINGS "${HEADER}" header_lines REGEX "^[ \t]*VELMORAK_API[ \t]")
set(declared "")
foreach(line IN LISTS header_lines)
  if(line MATCHES "([A-Za-z_][A-Za-z0-9_]*)[ \t]*[(;]")
    list(APPEND declared "${CMAKE_MATCH_1}")
  else()
    message(FATAL_ERROR "check_exports: cannot read the name declared in: ${line}")
  endif()
endforeach()
list(LENGTH declared declared_count)
if(declared_count EQUAL 0)
  message(FATAL_ERROR "check_exports: no VELMORAK_API declaration found in ${HEADER}")
endif()
list(REMOVE_DUPLICATES declared)
list(LENGTH declared unique_count)
if(NOT unique_count EQUAL declared_count)
  message(FATAL_ERROR "check_exports: a name is declared twice in ${HEADER}")
endif()

execute_process(COMMAND "${NM}" -D --defined-only "${BINARY}"
  OUTPUT_VARIABLE nm_output ERROR_VARIABLE nm_error RESULT_VARIABLE nm_status)
if(NOT nm_status EQUAL 0)
  message(FATAL_ERROR "check_exports: ${NM} failed on ${BINARY}: ${nm_error}")
endif()
string(REPLACE "\n" ";" nm_lines "${nm_output}")
set(defined "")
foreach(line IN LISTS nm_lines)
  # "<address> <type> <name>", with the version after "@" on some names.
  if(line MATCHES "^[0-9a-fA-F]* *[A-Za-z] ([^ @]+)")
    list(APPEND defined "${CMAKE_MATCH_1}")
  endif()
endforeach()

set(missing "")
foreach(name IN LISTS declared)
  if(NOT name IN_LIST defined)
    list(APPEND missing "${name}")
  endif()
endforeach()
if(missing)
  message(FATAL_ERROR "check_exports: ${BINARY} does not export: ${missing}")
endif()

if(ONLY)
  set(internal "")
  foreach(name IN LISTS defined)
    if(NOT name IN_LIST declared AND name MATCHES "velmorak")
      list(APPEND internal "${name}")
    endif()
  endforeach()
  if(internal)
    message(FATAL_ERROR "check_exports: ${BINARY} exports internals: ${internal}")
  endif()
endif()
message(STATUS "check_exports: ${BINARY} exports all ${declared_count} names of ${HEADER}")
