#!/usr/bin/env bash
# Builds the velmorak program in Release into build-release/, first installing
# with apt-get what the build needs when it is missing (CMake, Ninja, a C++
# compiler). The test suite is not built: bash tests/run.sh does that.
#   bash build.sh                  # build-release/velmorak
#   bash build.sh --deb            # and build-release/velmorak_<version>_<arch>.deb
#   bash build.sh --qgis-plugin    # and build-release/velmorak-qgis-plugin-<version>.zip, with
#                                  # velmorak.dll and velmorak.exe cross-built for Windows with
#                                  # mingw-w64 into build-release-windows/ (WINDOWS_BUILD_DIR)
#   BUILD_DIR=b bash build.sh -DCMAKE_CXX_COMPILER=clang++   # more arguments go to cmake
set -euo pipefail
cd "$(dirname "$0")"

deb=no
qgis_plugin=no
while [ $# -gt 0 ]; do
  case "$1" in
    --deb) deb=yes ;;
    --qgis-plugin) qgis_plugin=yes ;;
    *) break ;;
  esac
  shift
done

missing=()
command -v cmake >/dev/null || missing+=(cmake)
command -v ninja >/dev/null || missing+=(ninja-build)
{ command -v c++ >/dev/null && command -v cc >/dev/null; } || missing+=(g++)
[ -f /usr/include/zlib.h ] || missing+=(zlib1g-dev)
if [ $deb = yes ]; then
  # CPack finds the package's dependencies with dpkg-shlibdeps, which needs file(1)
  command -v dpkg-shlibdeps >/dev/null || missing+=(dpkg-dev)
  command -v file >/dev/null || missing+=(file)
fi
if [ $qgis_plugin = yes ]; then
  # The plugin carries the converter and its library for Windows too, linked statically
  command -v x86_64-w64-mingw32-g++-posix >/dev/null || missing+=(g++-mingw-w64-x86-64-posix)
  [ -f /usr/x86_64-w64-mingw32/lib/libz.a ] || missing+=(libz-mingw-w64-dev)
  command -v python3 >/dev/null || missing+=(python3)
fi
if [ ${#missing[@]} -gt 0 ]; then
  as_root=()
  [ "$(id -u)" -eq 0 ] || as_root=(sudo)
  echo "Installing: ${missing[*]}"
  "${as_root[@]}" apt-get update -qq
  "${as_root[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "${missing[@]}" >/dev/null
fi

build_dir=${BUILD_DIR:-build-release}
# configure quietly: warnings and errors only
cmake -S . -B "$build_dir" -G Ninja --log-level=NOTICE -DCMAKE_BUILD_TYPE=Release -DVELMORAK_TESTS=OFF -DVELMORAK_PCH=ON "$@"
cmake --build "$build_dir" -j"$(nproc)"
if [ $deb = yes ]; then
  cmake --build "$build_dir" --target package
fi
if [ $qgis_plugin = yes ]; then
  # Only the converter and the library: the tests and the GDAL plugin are Linux builds' business.
  windows_dir=${WINDOWS_BUILD_DIR:-build-release-windows}
  cmake -S . -B "$windows_dir" -G Ninja --log-level=NOTICE -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_TOOLCHAIN_FILE="$PWD/cmake/mingw-w64-x86_64.cmake" -DVELMORAK_TESTS=OFF -DVELMORAK_GDAL=OFF \
    -DVELMORAK_PCH=ON
  cmake --build "$windows_dir" -j"$(nproc)" --target velmorak velmorak_shared
  version=$(sed -n 's/^project(velmorak .*VERSION \([0-9.]*\)).*/\1/p' CMakeLists.txt)
  python3 qgis/package.py --linux-build "$build_dir" --windows-build "$windows_dir" \
    --tree "$build_dir/qgis-plugin" --zip "$build_dir/velmorak-qgis-plugin-$version.zip"
fi
