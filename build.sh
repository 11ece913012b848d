#!/usr/bin/env bash
# Builds the velmorak program in Release into build-release/, first installing
# with apt-get what the build needs when it is missing (CMake, Ninja, a C++
# compiler). The test suite is not built: bash tests/run.sh does that.
#   bash build.sh                  # build-release/velmorak
#   bash build.sh --deb            # and build-release/velmorak_<version>_<arch>.deb
#   BUILD_DIR=b bash build.sh -DCMAKE_CXX_COMPILER=clang++   # more arguments go to cmake
set -euo pipefail
cd "$(dirname "$0")"

deb=no
if [ "${1:-}" = --deb ]; then
  deb=yes
  shift
fi

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
