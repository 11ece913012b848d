#!/usr/bin/env bash
# The Debian package, made by CPack from this build: its name, its Depends
# (from dpkg-shlibdeps) and description, the files it holds; the program
# extracted from it converts the bundled example it carries to the same bytes
# as the built program; and lintian finds nothing but the remarks accepted
# below. When the build made the GDAL plugin, its package velmorak-gdal too:
# it holds the plugin in GDAL's plugin folder and depends on GDAL's library,
# the converter's package holds neither, and GDAL finds the plugin extracted
# from the package.
#   debian_package_test.sh BUILD_DIR VERSION PROGRAM EXAMPLES_DIR [gdal]
set -euo pipefail
build=$1 version=$2 program=$3 examples=$4 gdal=${5:-}
fail() { echo "FAIL: $*"; exit 1; }
for tool in cpack dpkg-deb dpkg-shlibdeps lintian; do
  command -v "$tool" >/dev/null || fail "$tool is not installed (tests/run.sh installs it)"
done
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

cpack --config "$build/CPackConfig.cmake" -G DEB -B "$scratch/pkg" >"$scratch/cpack.log" 2>&1 ||
  { cat "$scratch/cpack.log"; fail "cpack failed"; }
deb=$scratch/pkg/velmorak_${version}_$(dpkg --print-architecture).deb
[ -f "$deb" ] || fail "no $(basename "$deb"); cpack made: $(ls "$scratch/pkg")"

# Control fields: the run-times the program links, found by dpkg-shlibdeps
# with their versions, and a summary with a long description below it.
depends=$(dpkg-deb -f "$deb" Depends)
for lib in libc6 libstdc++6; do
  grep -qE "(^|, )${lib//+/\\+} \(>= [^)]+\)" <<<"$depends" || fail "Depends lacks $lib with a version: $depends"
done
description=$(dpkg-deb -f "$deb" Description)
[ "$(wc -l <<<"$description")" -ge 3 ] || fail "no long description: $description"

listing=$(dpkg-deb -c "$deb" | awk '{ print $6 }')
for path in '\./usr/bin/velmorak' '\./usr/lib/(.+/)?libvelmorak\.so\.[0-9.]+' \
    '\./usr/include/velmorak/velmorak\.h' '\./usr/lib/(.+/)?cmake/velmorak/velmorakConfig\.cmake' \
    '\./usr/lib/(.+/)?cmake/velmorak/velmorakTargets\.cmake' '\./usr/share/man/man1/velmorak\.1\.gz' \
    '\./usr/share/doc/velmorak/copyright' '\./usr/share/doc/velmorak/README\.md' \
    '\./usr/share/doc/velmorak/changelog\.gz' '\./usr/share/lintian/overrides/velmorak' \
    '\./usr/share/doc/velmorak/examples/site\.12da' '\./usr/share/doc/velmorak/examples/Header\.mif'; do
  grep -qxE "$path" <<<"$listing" || fail "the package holds no $path:"$'\n'"$listing"
done

# The extracted program converts the example from the package as the built one does.
dpkg-deb -x "$deb" "$scratch/root"
for who in package built; do
  mkdir "$scratch/$who"
  cp "$scratch/root/usr/share/doc/velmorak/examples/"* "$scratch/$who/"
done
status=0
(cd "$scratch/package" && "$scratch/root/usr/bin/velmorak" site.12da </dev/null >console.txt 2>&1) || status=$?
[ "$status" -eq 0 ] || { cat "$scratch/package/console.txt"; fail "the packaged program ended with status $status"; }
(cd "$scratch/built" && "$program" site.12da </dev/null >/dev/null 2>&1) || fail "the built program failed"
for out in site.12da.mif site.12da.mid; do
  cmp "$scratch/package/$out" "$scratch/built/$out" || fail "$out differs from the built program's"
done
cmp "$scratch/root/usr/share/doc/velmorak/examples/site.12da" "$examples/site.12da" ||
  fail "the packaged example is not examples/site.12da"

# Lintian's warnings are overridden in the package itself, each with its
# reason (/usr/share/lintian/overrides/velmorak); its errors have no override.
# The remarks of lintian's info level accepted here, and why:
accepted=(
  # The shlibs file gives the dependency on the library; a symbols file would
  # list a version for each exported routine.
  no-symbols-control-file
  # Debian's hardening build flags come from dpkg-buildflags, which a CMake
  # build does not use; the compiler's own defaults (PIE, RELRO) apply.
  hardening-no-bindnow
  hardening-no-fortify-functions
  # CPack strips the debugging symbols and leaves the compiler's note.
  binary-has-unneeded-section
)
suppress=$(IFS=,; echo "${accepted[*]}")
lint() {
  local status=0
  lintian --display-info --info --suppress-tags "$suppress" --fail-on error,warning,info "$1" >"$scratch/lintian.log" 2>&1 || status=$?
  grep -v 'running with root privileges' "$scratch/lintian.log" || true
  [ "$status" -eq 0 ] || fail "lintian remarks on $(basename "$1") beyond the accepted ones (status $status)"
}
lint "$deb"
echo "ok: $(basename "$deb"), Depends: $depends"
[ "$gdal" = gdal ] || exit 0

plugin_deb=$scratch/pkg/velmorak-gdal_${version}_$(dpkg --print-architecture).deb
[ -f "$plugin_deb" ] || fail "no $(basename "$plugin_deb"); cpack made: $(ls "$scratch/pkg")"
plugin_depends=$(dpkg-deb -f "$plugin_deb" Depends)
grep -qE '(^|, )libgdal[0-9]+ \(>= [^)]+\)' <<<"$plugin_depends" ||
  fail "velmorak-gdal does not depend on GDAL's library: $plugin_depends"
if grep -q gdal <<<"$depends"; then fail "velmorak depends on GDAL: $depends"; fi
if grep -q ogr_12DA <<<"$listing"; then fail "velmorak holds the GDAL plugin"; fi
# The folder GDAL's library searches for plugins, as built into it.
gdal_lib=$(ldconfig -p | awk '/libgdal\.so\./ && !found { print $NF; found = 1 }')
plugin_dir=$(strings "$gdal_lib" | awk '/^\/.*\/gdalplugins$/ && !found { print; found = 1 }')
[ -n "$plugin_dir" ] || fail "no plugin folder in $gdal_lib"
plugin_listing=$(dpkg-deb -c "$plugin_deb" | awk '{ print $6 }')
for path in ".$plugin_dir/ogr_12DA.so" ./usr/share/doc/velmorak-gdal/copyright ./usr/share/doc/velmorak-gdal/changelog.gz; do
  grep -qxF "$path" <<<"$plugin_listing" || fail "velmorak-gdal holds no $path:"$'\n'"$plugin_listing"
done
dpkg-deb -x "$plugin_deb" "$scratch/gdal-root"
info=$(GDAL_DRIVER_PATH=$scratch/gdal-root$plugin_dir ogrinfo -ro -al -so "$examples/site.12da" 2>&1) ||
  fail "ogrinfo with the packaged plugin: $info"
grep -q "using driver \`12DA' successful" <<<"$info" || fail "the packaged plugin did not open site.12da: $info"
lint "$plugin_deb"
echo "ok: $(basename "$plugin_deb"), Depends: $plugin_depends"
