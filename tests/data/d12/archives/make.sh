#!/usr/bin/env bash
# Writes the compressed 12d ASCII archives (.12daz) the tests read, from the
# plain fixtures beside them: tests/data/d12/archives/ for the conversions and
# tests/data/broken/12daz-*/in/site.12daz for the broken inputs. Needs zip
# (Info-ZIP) and python3. Run it again only to change the archives; the results
# are committed.
set -euo pipefail
cd "$(dirname "$0")"
d12=..
broken=../../broken
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export TZ=UTC

# The terrain package's own export: UTF-16LE with a byte order mark and CRLF.
utf16() { python3 -c '
import sys
text = open(sys.argv[1], "rb").read().decode("cp1252").replace("\n", "\r\n")
open(sys.argv[2], "wb").write(b"\xff\xfe" + text.encode("utf-16-le"))' "$1" "$2"; }

# pyzip ARCHIVE METHOD[:force_zip64] MEMBER=FILE...: an archive written by Python's zipfile.
pyzip() { python3 - "$@" <<'PY'
import sys, zipfile
archive, how, *members = sys.argv[1:]
method, _, force = how.partition(":")
method = {"stored": zipfile.ZIP_STORED, "deflated": zipfile.ZIP_DEFLATED, "bzip2": zipfile.ZIP_BZIP2}[method]
with zipfile.ZipFile(archive, "w", compression=method) as z:
    for m in members:
        name, _, path = m.partition("=")
        info = zipfile.ZipInfo(name, date_time=(2024, 5, 1, 12, 0, 0))
        info.compress_type = method
        with z.open(info, "w", force_zip64=(force == "force_zip64")) as out:
            out.write(open(path, "rb").read())
PY
}

# infozip ARCHIVE OPTIONS... -- MEMBER=FILE...: an archive written by Info-ZIP.
infozip() {
    local archive=$1; shift
    local opts=()
    while [ "$1" != "--" ]; do opts+=("$1"); shift; done; shift
    rm -rf "$work/z" && mkdir "$work/z"
    local names=()
    for m in "$@"; do cp "${m#*=}" "$work/z/${m%%=*}"; touch -d '2024-05-01 12:00:00' "$work/z/${m%%=*}"; names+=("${m%%=*}"); done
    rm -f "$archive"
    (cd "$work/z" && zip -q -X "${opts[@]}" out.zip "${names[@]}")
    mv "$work/z/out.zip" "$archive"
}

utf16 "$d12/breaklines.12da" "$work/breaklines16.12da"
utf16 "$d12/sections.12da" "$work/sections16.12da"

# Good archives: Info-ZIP deflated, stored and with ZIP64 records forced;
# zipfile deflated (UTF-16LE, CRLF) and stored with force_zip64.
infozip breaklines-infozip.12daz -9 -- "Project Breaklines.12da=$d12/breaklines.12da"
infozip breaklines-infozip-stored.12daz -0 -- "Project Breaklines.12DA=$d12/breaklines.12da"
infozip breaklines-infozip-zip64.12daz -fz -- "Project Breaklines.12da=$work/breaklines16.12da"
pyzip breaklines-utf16.12daz deflated "Appin Rd V5.12da=$work/breaklines16.12da"
pyzip breaklines-zip64-stored.12daz stored:force_zip64 "Appin Rd V5.12da=$work/breaklines16.12da"
pyzip sections.12daz deflated "Sections V2.12da=$work/sections16.12da"

# Broken archives, each the in/site.12daz of a broken-input case.
b() { mkdir -p "$broken/$1/in"; echo "$broken/$1/in/site.12daz"; }
cp "$d12/breaklines.12da" "$(b 12daz-not-a-zip-archive)"
printf 'A model\n' >"$work/readme.txt"
infozip "$(b 12daz-without-12da-member)" -- "readme.txt=$work/readme.txt" "model.12d=$d12/breaklines.12da"
infozip "$(b 12daz-with-two-12da-members)" -- "north.12da=$d12/breaklines.12da" "readme.txt=$work/readme.txt" "south.12DA=$d12/sections.12da"
infozip "$(b 12daz-encrypted-member)" -P secret -- "model.12da=$d12/breaklines.12da"
pyzip "$(b 12daz-bzip2-member)" bzip2 "model.12da=$d12/breaklines.12da"
# Cut in the member's data, and cut before the end record.
pyzip "$work/whole.zip" deflated "model.12da=$work/breaklines16.12da"
head -c 200 "$work/whole.zip" >"$(b 12daz-cut-in-member)"
head -c "$(($(stat -c %s "$work/whole.zip") - 10))" "$work/whole.zip" >"$(b 12daz-cut-in-end-record)"
# patch FILE OFFSET-EXPRESSION HEX: overwrite bytes (python computes the offset from the data `d`).
patch() { python3 - "$@" <<'PY'
import sys, struct
path, where, hexbytes = sys.argv[1:]
d = bytearray(open(path, "rb").read())
at = eval(where, {"d": d, "struct": struct})
new = bytes.fromhex(hexbytes)
d[at:at + len(new)] = new
open(path, "wb").write(bytes(d))
PY
}
cend='d.rfind(b"PK\x01\x02")'
# A stored member with one byte changed: its CRC-32 no longer matches.
pyzip "$work/stored.zip" stored "model.12da=$d12/breaklines.12da"
cp "$work/stored.zip" "$(b 12daz-crc-mismatch)"
patch "$broken/12daz-crc-mismatch/in/site.12daz" '30 + 10 + 40' 39
# The directory gives the deflated member one byte less than it inflates to.
cp "$work/whole.zip" "$(b 12daz-length-mismatch)"
size=$(stat -c %s "$work/breaklines16.12da")
patch "$broken/12daz-length-mismatch/in/site.12daz" "$cend + 24" "$(python3 -c "import struct;print(struct.pack('<I', $size - 1).hex())")"
# The directory's entry points its local header past the end of the file.
cp "$work/whole.zip" "$(b 12daz-directory-points-outside)"
patch "$broken/12daz-directory-points-outside/in/site.12daz" "$cend + 42" 00000100
# 20 MB of blanks deflate to some 20 kB: far more than 100 times the archive.
python3 -c 'import sys; sys.stdout.write("null -999\n" + " " * 20000000 + "\n")' >"$work/bomb.12da"
pyzip "$(b 12daz-zip-bomb)" deflated "model.12da=$work/bomb.12da"
