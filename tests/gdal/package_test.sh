#!/usr/bin/env bash
# The Debian package of the GDAL plugin, made by CPack beside the converter's:
# velmorak-gdal holds the plugin in GDAL's plugin folder and depends on GDAL's
# library; velmorak holds neither. The plugin extracted from the package is
# found by GDAL and reads a 12d file; lintian finds nothing but the remarks
# the converter's package accepts for the same reasons.
#   package_test.sh BUILD_DIR VERSION SAMPLE_12DA
set -euo pipefail
build=$1 version=$2 sample=$3
fail() { echo "FAIL: $*"; exit 1; }
for tool in cpack dpkg-deb lintian ogrinfo; do
  command -v "$tool" >/dev/null || fail "$tool is not installed (tests/run.sh installs it)"
done
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

cpack --config "$build/CPackConfig.cmake" -G DEB -B "$scratch/pkg" >"$scratch/cpack.log" 2>&1 ||
  { cat "$scratch/cpack.log"; fail "cpack failed"; }
arch=$(dpkg --print-architecture)
plugin_deb=$scratch/pkg/velmorak-gdal_${version}_$arch.deb
converter_deb=$scratch/pkg/velmorak_${version}_$arch.deb
[ -f "$plugin_deb" ] && [ -f "$converter_deb" ] || fail "cpack made: $(ls "$scratch/pkg")"

depends=$(dpkg-deb -f "$plugin_deb" Depends)
grep -qE '(^|, )libgdal[0-9]+ \(>= [^)]+\)' <<<"$depends" || fail "velmorak-gdal does not depend on GDAL's library: $depends"
converter_depends=$(dpkg-deb -f "$converter_deb" Depends)
grep -q gdal <<<"$converter_depends" && fail "velmorak depends on GDAL: $converter_depends"
dpkg-deb -c "$converter_deb" | grep -q ogr_12DA && fail "velmorak holds the plugin"

# The folder GDAL's library searches for plugins, as built into it.
gdal_lib=$(ldconfig -p | awk '/libgdal\.so\./ { print $NF; exit }')
plugin_dir=$(strings "$gdal_lib" | awk '/^\/.*\/gdalplugins$/ && !found { print; found = 1 }')
[ -n "$plugin_dir" ] || fail "no plugin folder in $gdal_lib"
dpkg-deb -c "$plugin_deb" | awk '{ print $6 }' | grep -qx ".$plugin_dir/ogr_12DA.so" ||
  fail "velmorak-gdal does not hold $plugin_dir/ogr_12DA.so: $(dpkg-deb -c "$plugin_deb")"
dpkg-deb -c "$plugin_deb" | awk '{ print $6 }' | grep -qx "./usr/share/doc/velmorak-gdal/copyright" ||
  fail "velmorak-gdal has no copyright file"

dpkg-deb -x "$plugin_deb" "$scratch/root"
info=$(GDAL_DRIVER_PATH=$scratch/root$plugin_dir ogrinfo -ro -al -so "$sample" 2>&1) ||
  fail "ogrinfo with the packaged plugin: $info"
grep -q "using driver \`12DA' successful" <<<"$info" || fail "the packaged plugin did not open $sample: $info"

accepted=(
  # The history is the git log; no Debian changelog is kept.
  no-changelog
  # Debian's hardening build flags come from dpkg-buildflags, which a CMake
  # build does not use; the compiler's own defaults (PIE, RELRO) apply.
  hardening-no-bindnow
  hardening-no-fortify-functions
  # CPack strips the debugging symbols and leaves the compiler's note.
  binary-has-unneeded-section
)
suppress=$(IFS=,; echo "${accepted[*]}")
status=0
lintian --display-info --info --suppress-tags "$suppress" --fail-on error,warning,info "$plugin_deb" >"$scratch/lintian.log" 2>&1 || status=$?
grep -v 'running with root privileges' "$scratch/lintian.log" || true
[ "$status" -eq 0 ] || fail "lintian remarks beyond the accepted ones (status $status)"
echo "ok: $(basename "$plugin_deb"), Depends: $depends"
