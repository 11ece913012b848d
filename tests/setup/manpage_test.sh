#!/usr/bin/env bash
# The manual page: groff formats it without a single warning, its title line
# carries the project's version, and it documents every option the program's
# help text (--help) lists.
#   manpage_test.sh PAGE VERSION PROGRAM
set -euo pipefail
page=$1 version=$2 program=$3
fail() { echo "FAIL: $*"; exit 1; }
command -v groff >/dev/null || fail "groff is not installed (apt-get install groff-base)"

warnings=$(groff -man -Tutf8 -ww -z "$page" 2>&1) || fail "groff failed: $warnings"
[ -z "$warnings" ] || fail "groff warns:"$'\n'"$warnings"

th=$(grep -m1 '^\.TH ' "$page") || fail "no .TH line"
[[ $th == *"\"velmorak $version\""* ]] || fail "the .TH line does not name velmorak $version: $th"

# The help text lists each option as "   -opt ..."; the page must have it as
# a tagged paragraph of its OPTIONS section.
usage=$("$program" --help </dev/null)
options=$(grep -oE '^ {3}-[a-z]+' <<<"$usage" | tr -d ' ' | sort -u)
[ -n "$options" ] || fail "no options found in the usage text:"$'\n'"$usage"
section=$(awk '/^\.SH OPTIONS/ { on = 1; next } /^\.SH / { on = 0 } on' "$page")
for opt in $options; do
  grep -qx "\.B \\\\$opt" <<<"$section" || fail "the OPTIONS section does not describe $opt"
done
echo "ok: no groff warnings, version $version, options" $options
