#!/usr/bin/env bash
# Cross-builds velmorak for 64-bit Windows with Debian's mingw-w64 toolchain and
# runs the test suite under Wine. On a fresh machine it first installs what it
# needs (Debian packages). The GDAL interoperability tests stay on the Linux build.
#   bash tests/run-windows.sh            # build-windows/
#   BUILD_DIR=b bash tests/run-windows.sh
set -euo pipefail
cd "$(dirname "$0")/.."

missing=()
command -v cmake >/dev/null || missing+=(cmake)
command -v ninja >/dev/null || missing+=(ninja-build)
command -v x86_64-w64-mingw32-g++-posix >/dev/null || missing+=(g++-mingw-w64-x86-64-posix)
[ -f /usr/x86_64-w64-mingw32/lib/libz.a ] || missing+=(libz-mingw-w64-dev)
[ -f /usr/src/googletest/CMakeLists.txt ] || missing+=(googletest)
command -v wine >/dev/null || missing+=(wine wine64)
command -v unzip >/dev/null || missing+=(unzip)
if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  apt-get update -qq && DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "${missing[@]}" >/dev/null
fi

build_dir=${BUILD_DIR:-build-windows}
jobs=$(nproc)
toolchain=$PWD/cmake/mingw-w64-x86_64.cmake
mkdir -p "$build_dir"
build_dir=$(cd "$build_dir" && pwd)

# Wine: a prefix of its own in the build folder, no display, no debug output.
export WINEPREFIX=$build_dir/wine-prefix
export WINEDEBUG=-all
unset DISPLAY WAYLAND_DISPLAY
if [ ! -f "$WINEPREFIX/.update-timestamp" ]; then
  echo "Setting up the Wine prefix"
  WINEDLLOVERRIDES="mscoree,mshtml=" wineboot --init >/dev/null 2>&1 || true
  wineserver -w
fi
# One Wine server and Wine's own services for the whole run, started here with
# their output away from ours: started by a test program instead, they would
# keep its output open and CTest would wait for them.
wineserver -p || true
wineboot </dev/null >/dev/null 2>&1 || true
trap 'wineserver -k >/dev/null 2>&1 || true' EXIT

# GoogleTest built for the target from Debian's sources.
gtest_prefix=$build_dir/googletest-install
if [ ! -f "$gtest_prefix/lib/cmake/GTest/GTestConfig.cmake" ]; then
  cmake -S /usr/src/googletest -B "$build_dir/googletest" -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_TOOLCHAIN_FILE="$toolchain" -DBUILD_GMOCK=OFF -DCMAKE_INSTALL_PREFIX="$gtest_prefix" >/dev/null
  cmake --build "$build_dir/googletest" -j"$jobs"
  cmake --install "$build_dir/googletest" >/dev/null
fi

cmake -S . -B "$build_dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
  -DCMAKE_PREFIX_PATH="$gtest_prefix" -DVELMORAK_TESTS=ON -DVELMORAK_WERROR=ON "$@" >/dev/null
cmake --build "$build_dir" -j"$jobs"
# One test at a time: Wine starts each in a few hundredths of a second. The
# installed package's consumer test is the Linux build's; here the 12d
# consumer (capi_d12_consumer) runs against the build's velmorak.dll instead.
ctest --test-dir "$build_dir" --output-on-failure --no-tests=error -j1 -E '^capi_(install|consumer)$'

# The Windows zip, and the C programs of the suite built with the mingw
# toolchain against its contents only, run under Wine beside velmorak.dll.
cmake --build "$build_dir" --target package >/dev/null
zip_file=$build_dir/velmorak-$(sed -n 's/^project(velmorak .*VERSION \([0-9.]*\)).*/\1/p' CMakeLists.txt)-win64.zip
consumer_dir=$build_dir/zip-consumer
rm -rf "$consumer_dir" && mkdir -p "$consumer_dir"
unzip -q "$zip_file" -d "$consumer_dir"
unpacked=$(echo "$consumer_dir"/velmorak-*-win64)
# The zip holds what the README's table lists, each once, and no manual page.
entries=$(unzip -Z1 "$zip_file" | sed 's|^[^/]*/||' | grep -v '/$')
top=$(sed 's|/.*||' <<<"$entries" | LC_ALL=C sort -u | tr '\n' ' ')
if [ "$top" != "LICENSE README.md bin examples include lib " ] || grep -q '^share/\|\.1$\|\.1\.gz$' <<<"$entries"; then
  echo "The Windows zip holds other files than the README lists:"; echo "$entries"; exit 1
fi
# The program and the library are stripped, their debugging sections kept apart.
for bin in velmorak.exe velmorak.dll; do
  if x86_64-w64-mingw32-objdump -h "$unpacked/bin/$bin" | grep -q '\.debug_'; then
    echo "$bin in the Windows zip holds debugging sections"; exit 1
  fi
  [ -s "$build_dir/debug/$bin.debug" ] || { echo "no $build_dir/debug/$bin.debug"; exit 1; }
done
x86_64-w64-mingw32-gcc-posix -std=c99 -Wall -Wextra -Wpedantic -Werror -I"$unpacked/include" \
  tests/capi/consumer/consumer.c -L"$unpacked/lib" -lvelmorak -o "$consumer_dir/consumer.exe"
x86_64-w64-mingw32-gcc-posix -std=c99 -Wall -Wextra -Wpedantic -Werror -I"$unpacked/include" \
  tests/capi/consumer/d12_consumer.c -L"$unpacked/lib" -lvelmorak -o "$consumer_dir/d12_consumer.exe"
cp "$unpacked/bin/velmorak.dll" "$consumer_dir/"
cmake/wine-run.sh "$consumer_dir/consumer.exe"
cmake/wine-run.sh "$consumer_dir/d12_consumer.exe" "Z:$unpacked/examples/site.12da" "Z:$consumer_dir"
# The zip's program converts its example (status 0 only after "Finished.").
(cd "$unpacked/examples" && "$OLDPWD/cmake/wine-run.sh" ../bin/velmorak.exe site.12da </dev/null >/dev/null)
test -s "$unpacked/examples/site.12da.mif" && test -s "$unpacked/examples/site.12da.mid"
echo "Windows zip: $zip_file"
