# Cross build for 64-bit Windows with Debian's mingw-w64 toolchain
# (g++-mingw-w64-x86-64-posix, libz-mingw-w64-dev):
#   cmake -S . -B build-windows -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake
# Programs built here run on Linux under Wine: CTest and GoogleTest's test
# discovery start them through cmake/wine-run.sh.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(VELMORAK_MINGW_TRIPLET x86_64-w64-mingw32)

# The POSIX thread model: its C++ library has std::thread and std::mutex.
set(CMAKE_C_COMPILER ${VELMORAK_MINGW_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${VELMORAK_MINGW_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER ${VELMORAK_MINGW_TRIPLET}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${VELMORAK_MINGW_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
# Packages built for this target elsewhere (GoogleTest) come in through CMAKE_PREFIX_PATH.
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE BOTH)

# zlib is linked statically (libz.a), so no zlib1.dll has to travel along.
set(ZLIB_USE_STATIC_LIBS ON)

find_program(VELMORAK_WINE NAMES wine wine64)
if(VELMORAK_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/wine-run.sh)
endif()

# Every program and library links the C and C++ run-times and the thread
# library statically: velmorak.exe runs on a bare Windows machine, and
# velmorak.dll needs no DLL beside it.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static")
