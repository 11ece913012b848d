# Checks a binary's dynamic symbol table (a Windows .dll or .exe: its export
# table) against the exported names of the C headers: every routine and
# variable declared with VELMORAK_API must be defined there. With ONLY=ON, the
# binary must also export nothing else of the program's own code (no symbol of
# the velmorak namespaces).
#
# A Windows binary is also checked for the DLLs it imports: Windows's own
# only, so that velmorak.dll loads into any program (one built with MSVC,
# Python through ctypes) and velmorak.exe runs on a bare machine. A mingw-w64
# run-time DLL (libgcc_s_seh-1, libstdc++-6, libwinpthread-1, zlib1) among
# them means a library was not linked statically.
#   cmake -DHEADER=velmorak.h -DBINARY=<file> -DNM=<nm> [-DONLY=ON] -P check_exports.cmake
cmake_minimum_required(VERSION 3.20)
foreach(var HEADER BINARY NM)
  if(NOT DEFINED ${var})
    message(FATAL_ERROR "check_exports: ${var} is not set")
  endif()
endforeach()

# Declarations start a line with VELMORAK_API; the exported name is the
# identifier right before the "(" of a routine or the ";" of a variable.
# HEADER may name several headers (a list): the names of all of them count.
# Names declared inside "#if defined(_WIN32)" (the wide-path functions) count
# only for a Windows binary.
set(declared "")
set(windows_binary OFF)
if(BINARY MATCHES "\\.(dll|exe)$")
  set(windows_binary ON)
endif()
foreach(header IN LISTS HEADER)
  file(STRINGS "${header}" header_lines REGEX "^[ \t]*(VELMORAK_API[ \t]|#)")
  set(depth 0)
  set(windows_depth 0)  # the depth of the "#if defined(_WIN32)" block we are in; 0: none
  foreach(line IN LISTS header_lines)
    if(line MATCHES "^[ \t]*#[ \t]*if")
      math(EXPR depth "${depth} + 1")
      if(windows_depth EQUAL 0 AND line MATCHES "^[ \t]*#[ \t]*if[ \t]+defined[ \t]*\\(_WIN32\\)[ \t]*$")
        set(windows_depth ${depth})
      endif()
    elseif(line MATCHES "^[ \t]*#[ \t]*(else|elif)" AND depth EQUAL windows_depth)
      set(windows_depth 0)
    elseif(line MATCHES "^[ \t]*#[ \t]*endif")
      if(depth EQUAL windows_depth)
        set(windows_depth 0)
      endif()
      math(EXPR depth "${depth} - 1")
    elseif(line MATCHES "^[ \t]*#")
    elseif(windows_depth GREATER 0 AND NOT windows_binary)
    elseif(line MATCHES "([A-Za-z_][A-Za-z0-9_]*)[ \t]*[(;]")
      list(APPEND declared "${CMAKE_MATCH_1}")
    else()
      message(FATAL_ERROR "check_exports: cannot read the name declared in: ${line}")
    endif()
  endforeach()
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

set(defined "")
if(windows_binary)
  # A Windows binary: its export table, as the toolchain's objdump lists it
  # ("[ordinal] name" lines after "[Ordinal/Name Pointer] Table").
  string(REGEX REPLACE "nm$" "objdump" OBJDUMP "${NM}")
  execute_process(COMMAND "${OBJDUMP}" -p "${BINARY}"
    OUTPUT_VARIABLE dump_output ERROR_VARIABLE dump_error RESULT_VARIABLE dump_status)
  if(NOT dump_status EQUAL 0)
    message(FATAL_ERROR "check_exports: ${OBJDUMP} failed on ${BINARY}: ${dump_error}")
  endif()
  string(REPLACE "\n" ";" dump_lines "${dump_output}")
  set(in_table OFF)
  set(imported "")
  foreach(line IN LISTS dump_lines)
    if(line MATCHES "^[ \t]*DLL Name: (.+)$")
      list(APPEND imported "${CMAKE_MATCH_1}")
    endif()
    if(line MATCHES "\\[Ordinal/Name Pointer\\] Table")
      set(in_table ON)
    elseif(in_table AND line MATCHES "^[ \t]*\\[ *[0-9]+\\] ([^ ]+)")
      list(APPEND defined "${CMAKE_MATCH_1}")
    elseif(in_table)
      set(in_table OFF)
    endif()
  endforeach()
else()
  execute_process(COMMAND "${NM}" -D --defined-only "${BINARY}"
    OUTPUT_VARIABLE nm_output ERROR_VARIABLE nm_error RESULT_VARIABLE nm_status)
  if(NOT nm_status EQUAL 0)
    message(FATAL_ERROR "check_exports: ${NM} failed on ${BINARY}: ${nm_error}")
  endif()
  string(REPLACE "\n" ";" nm_lines "${nm_output}")
  foreach(line IN LISTS nm_lines)
    # "<address> <type> <name>", with the version after "@" on some names.
    if(line MATCHES "^[0-9a-fA-F]* *[A-Za-z] ([^ @]+)")
      list(APPEND defined "${CMAKE_MATCH_1}")
    endif()
  endforeach()
endif()

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
    # A Windows export table lists only what the code marks for export: there
    # every name must be one of the header's.
    if(NOT name IN_LIST declared AND (windows_binary OR name MATCHES "velmorak"))
      list(APPEND internal "${name}")
    endif()
  endforeach()
  if(internal)
    message(FATAL_ERROR "check_exports: ${BINARY} exports internals: ${internal}")
  endif()
endif()
if(windows_binary)
  # Windows's own DLLs: the build imports KERNEL32, msvcrt (the C run-time of
  # mingw-w64, part of every Windows) and SHELL32; the others are system DLLs a
  # change may bring in, as the API sets that stand for them are.
  set(system_dlls kernel32.dll msvcrt.dll shell32.dll advapi32.dll user32.dll ws2_32.dll ntdll.dll)
  set(foreign "")
  foreach(dll IN LISTS imported)
    string(TOLOWER "${dll}" name)
    if(NOT name IN_LIST system_dlls AND NOT name MATCHES "^api-ms-win-[a-z0-9-]+\\.dll$")
      list(APPEND foreign "${dll}")
    endif()
  endforeach()
  if(NOT imported)
    message(FATAL_ERROR "check_exports: no import table found in ${BINARY}")
  endif()
  if(foreign)
    message(FATAL_ERROR "check_exports: ${BINARY} needs DLLs that are not Windows's own: ${foreign} (it imports: ${imported})")
  endif()
endif()
message(STATUS "check_exports: ${BINARY} exports all ${declared_count} names of ${HEADER}")
