#!/usr/bin/env bash
# Builds the fuzz targets with clang (libFuzzer, AddressSanitizer,
# UndefinedBehaviorSanitizer) and runs each for a short time on its seed
# corpus. Any crash, sanitizer report, leak or hang fails the run; the input
# that caused it is left in the artifact folder.
#   bash fuzz/smoke.sh                  # 30 seconds per target, build-fuzz/
#   FUZZ_TIME=600 bash fuzz/smoke.sh    # a longer local run
#   BUILD_DIR=b FUZZ_ARTIFACTS=out bash fuzz/smoke.sh fuzz_paths   # one target
# New inputs are kept in a scratch folder; the committed corpus is only read.
set -euo pipefail
cd "$(dirname "$0")/.."

missing=()
command -v cmake >/dev/null || missing+=(cmake)
command -v ninja >/dev/null || missing+=(ninja-build)
command -v clang++ >/dev/null || command -v clang++-14 >/dev/null || missing+=(clang)
cxx=$(command -v clang++ || command -v clang++-14 || true)
if [ -z "$cxx" ] || ! ls "$("$cxx" -print-resource-dir)"/lib/linux/libclang_rt.fuzzer-*.a >/dev/null 2>&1; then
  missing+=(libclang-rt-14-dev)
fi
if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  apt-get update -qq && DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "${missing[@]}" >/dev/null
  cxx=$(command -v clang++ || command -v clang++-14)
fi

build_dir=${BUILD_DIR:-build-fuzz}
seconds=${FUZZ_TIME:-30}
artifacts=${FUZZ_ARTIFACTS:-$build_dir/fuzz-artifacts}
targets=("$@")
[ ${#targets[@]} -gt 0 ] || targets=(fuzz_d12_reader fuzz_mif_reader fuzz_freeformat fuzz_digits_field fuzz_paths fuzz_archive)

cmake -S . -B "$build_dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER="$cxx" \
  -DVELMORAK_FUZZ=ON -DVELMORAK_TESTS=OFF -DVELMORAK_BENCH=OFF -DVELMORAK_WERROR=ON >/dev/null
# The GDAL driver's target is there when the build found GDAL (tests/run.sh installs it).
if [ $# -eq 0 ] && ninja -C "$build_dir" -t targets all | grep -q '^fuzz_gdal_12da:'; then
  targets+=(fuzz_gdal_12da)
fi
cmake --build "$build_dir" --target "${targets[@]}" -j"$(nproc)"

export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-halt_on_error=1:print_stacktrace=1}
mkdir -p "$artifacts"
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

failed=()
for target in "${targets[@]}"; do
  mkdir -p "$scratch/$target"
  echo "== $target: ${seconds}s"
  if ! "$build_dir/fuzz/$target" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
      -dict="fuzz/dict/$target.dict" -artifact_prefix="$artifacts/$target-" -print_final_stats=1 \
      "$scratch/$target" "fuzz/corpus/$target" 2>"$scratch/$target.log"; then
    tail -n 60 "$scratch/$target.log"
    failed+=("$target")
    continue
  fi
  grep -E '^(stat::number_of_executed_units|Done)' "$scratch/$target.log" || true
done

if [ ${#failed[@]} -gt 0 ]; then
  echo "FAILED: ${failed[*]} (inputs in $artifacts)"
  exit 1
fi
echo "All fuzz targets ran clean."
