#!/usr/bin/env bash
# The README's run command (build.sh, then the example) on a machine without
# GoogleTest: with the tests left to find GoogleTest themselves, the configure
# succeeds and says in one line that the tests are off and why, the program
# builds in Release, and it converts the bundled example.
#   run_command_test.sh SOURCE_DIR CXX CC
set -euo pipefail
src=$1 cxx=$2 cc=$3
fail() { echo "FAIL: $*"; exit 1; }
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

# CMAKE_DISABLE_FIND_PACKAGE_GTest makes find_package(GTest) find nothing, as
# on a machine without libgtest-dev; --log-level=STATUS shows the configure lines.
BUILD_DIR=$scratch/build bash "$src/build.sh" --log-level=STATUS -DVELMORAK_TESTS=AUTO \
  -DCMAKE_DISABLE_FIND_PACKAGE_GTest=ON -DCMAKE_CXX_COMPILER="$cxx" -DCMAKE_C_COMPILER="$cc" \
  >"$scratch/build.log" 2>&1 || { tail -n 60 "$scratch/build.log"; fail "build.sh failed"; }
lines=$(grep -c 'tests off' "$scratch/build.log" || true)
[ "$lines" -eq 1 ] || { cat "$scratch/build.log"; fail "$lines configure lines say the tests are off, not one"; }
grep -q -- '^-- velmorak: tests off: GoogleTest not found' "$scratch/build.log" ||
  fail "the configure line does not say why: $(grep 'tests off' "$scratch/build.log")"
grep -qx 'CMAKE_BUILD_TYPE:STRING=Release' "$scratch/build/CMakeCache.txt" || fail "not a Release build"
if ninja -C "$scratch/build" -t targets all | grep -q '^velmorak_tests:'; then
  fail "the build still has the test program"
fi

mkdir "$scratch/run"
cp "$src/examples/site.12da" "$src/examples/Header.mif" "$scratch/run/"
status=0
(cd "$scratch/run" && "$scratch/build/velmorak" site.12da </dev/null >console.txt 2>&1) || status=$?
[ "$status" -eq 0 ] || { cat "$scratch/run/console.txt"; fail "the conversion ended with status $status"; }
grep -q '^Pline' "$scratch/run/site.12da.mif" || fail "site.12da.mif holds no polyline"
echo "ok: built without GoogleTest in Release, converted the example"
