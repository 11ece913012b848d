#!/usr/bin/env bash
# Builds velmorak and runs every test. On a fresh machine it first installs
# what the build and the tests need (Debian packages). Warnings are errors.
#   bash tests/run.sh                 # build/ (Release, as users and the benchmarks build)
#   BUILD_DIR=b bash tests/run.sh -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVELMORAK_SANITIZE=ON
set -euo pipefail
cd "$(dirname "$0")/.."

missing=()
command -v cmake >/dev/null || missing+=(cmake)
command -v ninja >/dev/null || missing+=(ninja-build)
command -v g++ >/dev/null || missing+=(g++)
[ -f /usr/include/gtest/gtest.h ] || missing+=(libgtest-dev)
[ -f /usr/include/zlib.h ] || missing+=(zlib1g-dev)
# Info-ZIP's zip: the archive fixtures are remade with it (tests/data/d12/archives/make.sh)
command -v zip >/dev/null || missing+=(zip)
# GDAL's ogrinfo and ogr2ogr: the interoperability tests read and write MIF with them
{ command -v ogrinfo >/dev/null && command -v ogr2ogr >/dev/null; } || missing+=(gdal-bin)
# the GDAL plugin is built against GDAL's headers and tested through its Python bindings
[ -f /usr/include/gdal/ogrsf_frmts.h ] || missing+=(libgdal-dev)
/usr/bin/python3 -c 'from osgeo import ogr' >/dev/null 2>&1 || missing+=(python3-gdal)
# the QGIS plugin is tested in a headless QGIS, with qgis_process
command -v qgis_process.bin >/dev/null || missing+=(qgis)
/usr/bin/python3 -c 'import qgis.core' >/dev/null 2>&1 || missing+=(python3-qgis)
# and in the QGIS application itself, on a virtual display
command -v xvfb-run >/dev/null || missing+=(xvfb)
# the manual page check, and the Debian package with its dependencies and lintian
command -v groff >/dev/null || missing+=(groff-base)
command -v dpkg-shlibdeps >/dev/null || missing+=(dpkg-dev)
command -v file >/dev/null || missing+=(file)
command -v lintian >/dev/null || missing+=(lintian)
if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  apt-get update -qq && DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "${missing[@]}" >/dev/null
fi

build_dir=${BUILD_DIR:-build}
jobs=$(nproc)
cmake -S . -B "$build_dir" -G Ninja -DCMAKE_BUILD_TYPE=Release -DVELMORAK_TESTS=ON -DVELMORAK_WERROR=ON \
  -DVELMORAK_GDAL=ON "$@" >/dev/null
cmake --build "$build_dir" -j"$jobs"
# the interoperability and plugin tests fail rather than skip should GDAL's tools or bindings be missing
export VELMORAK_GDAL_REQUIRED=1
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-halt_on_error=1:print_stacktrace=1}
ctest --test-dir "$build_dir" --output-on-failure -j"$jobs"
