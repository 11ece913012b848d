#!/usr/bin/env bash
# End-to-end benchmark of the four conversions of velmorak.
#
#   bench/run.sh [scratch-folder]        (default /tmp/velmorak-bench)
#
# Builds the Release binary (build-bench/), writes the synthetic inputs with
# velmorak_generate into the scratch folder (kept between runs while the
# generator source is unchanged), runs every conversion three times under
# /usr/bin/time -v, and prints one table: input size, wall time, throughput, peak
# resident memory, and the time against floors measured in the same run (the
# input read by cat to /dev/null and copied by cp, the run's output files
# copied into a new folder; best of three each) and against a peer converter
# (GDAL's ogr2ogr writing the MIF lines layer to MIF again), per vertex.
# The 3D breakline conversion runs again on inputs of twice the size; the ratio
# of the two times shows whether it scales linearly.
#
# velmorak reads its pauses from standard input: every run gets </dev/null, so a
# pause ends at once. A conversion that prints an error, is not built, times out
# or leaves no output is marked in the status column; the table is printed anyway.
#
# The GDAL driver (the 12DA plugin of this build) gets rows of its own: ogr2ogr
# reading the .12da the converter makes of the lines layer into a GeoPackage,
# against reading the lines layer itself; writing those lines from a
# GeoPackage into .12da, against writing them as MIF; the first scan of a
# 1 GB .12da, whose peak memory must stay below 100 MB; 50,000 strings of 200
# models into a GeoPackage, interleaved against grouped (at most 1.5 times);
# 200 features fetched by id against one pass (bench/random_access.py); and a
# 1 km window on eight copies of big.12da (516 MB) against one pass over every
# feature (at most 0.1 of it) and against the same window in a GeoPackage (at
# most 5 times), with ogrinfo -spat timing the window with the open
# (bench/spatial_window.py).
#
# Environment: VELMORAK_BENCH_TIMEOUT (seconds per run, default 1800),
# VELMORAK_BENCH_RUNS (runs of each conversion, the fastest kept; default 3),
# VELMORAK_BENCH_ONLY=gdal (only the GDAL driver's rows), VELMORAK_BENCH_ONLY=callgrind
# (only the instruction counts below).
#
# The callgrind lines: 12da -> MIF and MIF -> 12da run once each under valgrind's
# callgrind on inputs at a quarter of scale 1, and their instructions per vertex
# are printed against the counts of the conversions before they wrote fields
# from the digits they read and read each line in one pass (1,846 and 1,098 on
# the same inputs), with PASS when at most 65% of them. Instruction counts do
# not move with the machine's load, as wall times do. A third line counts the
# GDAL driver's first scan (ogrinfo -ro -al -so of the same big.12da, only
# inside the scan) against the scan that took every height through its text
# (at most 75% of it).
set -uo pipefail

ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
SCRATCH=${1:-/tmp/velmorak-bench}
BUILD=$ROOT/build-bench
TIMEOUT=${VELMORAK_BENCH_TIMEOUT:-1800}
RUNS=${VELMORAK_BENCH_RUNS:-3}
LOGS=$SCRATCH/logs
S1=$SCRATCH/scale1
S2=$SCRATCH/scale2

say() { printf '%s\n' "$*" >&2; }

# ------------------------------------------------------------------ tools

as_root() {
    if [ "$(id -u)" -eq 0 ]; then "$@"; elif command -v sudo >/dev/null; then sudo -n "$@"; else return 1; fi
}

apt_install() {
    say "Installing $1 ..."
    as_root apt-get install -y "$1" >"$SCRATCH/apt-$1.log" 2>&1 ||
        { as_root apt-get update >/dev/null 2>&1 && as_root apt-get install -y "$1" >"$SCRATCH/apt-$1.log" 2>&1; }
}

mkdir -p "$SCRATCH" "$LOGS" || exit 1
[ -x /usr/bin/time ] || apt_install time
if [ ! -x /usr/bin/time ]; then say "bench: /usr/bin/time is missing and could not be installed"; exit 1; fi
command -v ogr2ogr >/dev/null || apt_install gdal-bin
command -v zip >/dev/null || apt_install zip

# ------------------------------------------------------------------ build

say "Building Release into $BUILD ..."
cmake -S "$ROOT" -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=Release -DVELMORAK_BENCH=ON >"$LOGS/cmake.log" 2>&1 &&
    ninja -C "$BUILD" -j2 velmorak_generate >"$LOGS/build-generate.log" 2>&1
if [ $? -ne 0 ]; then
    say "bench: the generator did not build; see $LOGS/cmake.log and $LOGS/build-generate.log"
    exit 1
fi
# A converter that does not build still gets its rows, marked as failed.
BUILT=1
if ! ninja -C "$BUILD" -j2 velmorak >"$LOGS/build.log" 2>&1; then
    BUILT=0
    say "bench: velmorak did not build; see $LOGS/build.log"
fi
EXE=$BUILD/velmorak
GEN=$BUILD/bench/velmorak_generate
# The GDAL plugin, when GDAL's development files are there.
PLUGIN_BUILT=0
if ninja -C "$BUILD" -t targets all 2>/dev/null | grep '^ogr_12DA:' >/dev/null &&
    ninja -C "$BUILD" -j2 ogr_12DA >"$LOGS/build-gdal.log" 2>&1; then
    PLUGIN_BUILT=1
else
    say "bench: the GDAL plugin is not built (libgdal-dev missing?); see $LOGS/build-gdal.log"
fi

# ------------------------------------------------------------------ inputs

# Regenerates a folder only when the generator source or the request changed.
generate() {
    local dir=$1 scale=$2 what=$3
    local stamp
    stamp="$(sha1sum "$ROOT/bench/generate.cpp" | cut -d' ' -f1) $scale $what"
    if [ -f "$dir/stamp" ] && [ "$(cat "$dir/stamp")" = "$stamp" ]; then return 0; fi
    say "Generating scale-$scale inputs ($what) into $dir ..."
    rm -rf "$dir"
    "$GEN" "$dir" "$scale" "$what" >/dev/null || { say "bench: the generator failed"; exit 1; }
    echo "$stamp" >"$dir/stamp"
}
generate "$S1" 1 all
generate "$S2" 2 mif

# The MIF conversions check that each layer's .tab is not newer than its .mif.
for d in "$S1" "$S2"; do
    rm -f "$d/lines.tab" "$d/points.tab"
    touch -d '2001-01-01 00:00:00' "$d/lines.tab" "$d/points.tab"
done

manifest() { awk -v k="$2" '$1 == k { print $2 }' "$1/manifest.txt"; }

# ------------------------------------------------------------------ timing

now_ns() { date +%s%N; }
seconds() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.3f", (b - a) / 1e9 }'; }
mbytes() { local b; b=$(cat "$@" | wc -c); awk -v b="$b" 'BEGIN { printf "%.1f", b / 1e6 }'; }

# timed NAME DIR COMMAND...: runs COMMAND in DIR; sets WALL (s), RSS (MB), RC; output in $LOGS/NAME.out.
timed() {
    local name=$1 dir=$2
    shift 2
    local tf=$LOGS/$name.time t0 t1
    rm -f "$tf"
    t0=$(now_ns)
    (cd "$dir" && exec timeout "$TIMEOUT" /usr/bin/time -v -o "$tf" "$@" </dev/null >"$LOGS/$name.out" 2>&1)
    RC=$?
    t1=$(now_ns)
    WALL=$(seconds "$t0" "$t1")
    RSS=$(awk -F: '/Maximum resident set size/ { printf "%.1f", $2 / 1024 }' "$tf" 2>/dev/null)
    [ -n "$RSS" ] || RSS=-
}

# fastest VAR SETUP COMMAND...: runs SETUP, then times COMMAND (output
# discarded), three times; sets VAR to the fastest time in seconds.
fastest() {
    local var=$1 setup=$2 t0 t1 t best= i
    shift 2
    for i in 1 2 3; do
        "$setup"
        t0=$(now_ns); "$@" >/dev/null; t1=$(now_ns)
        t=$(seconds "$t0" "$t1")
        best=$(awk -v a="$best" -v b="$t" 'BEGIN { print (a == "" || b < a) ? b : a }')
    done
    printf -v "$var" '%s' "$best"
}

# Every copy goes to a new folder of its own. A copy of a few files is removed
# before the next; one of many files stays until the end: on ext4, creating
# files where thousands were deleted moments before is several times slower
# (the inode allocator steps over recently freed inodes), which would time the
# file system's state instead of the program.
FOLDERS=0
new_folder() {
    if [ -n "${NEW_FOLDER:-}" ] && [ "$(find "$NEW_FOLDER" -maxdepth 1 -type f | wc -l)" -lt 100 ]; then
        rm -rf "$NEW_FOLDER"
    fi
    FOLDERS=$((FOLDERS + 1))
    NEW_FOLDER=$SCRATCH/run.$FOLDERS
    mkdir -p "$NEW_FOLDER"
}
no_setup() { :; }
copy_to_new_folder() { cp "$@" "$NEW_FOLDER/"; }

# floors FILES...: sets CAT and CP, reading the input files to /dev/null and
# copying them into a new folder.
floors() {
    fastest CAT no_setup cat "$@"
    fastest CP new_folder copy_to_new_folder "$@"
}

# out_floor FILES...: sets OUTCP, copying a conversion's output files into a new
# folder: the cost of creating and writing them.
out_floor() { fastest OUTCP new_folder copy_to_new_folder "$@"; }

# verdict NAME CHECK...: the status of a velmorak run from its exit, its console
# text and a check of its output (CHECK is a command that prints a reason on failure).
verdict() {
    local name=$1 out=$LOGS/$1.out msg
    shift
    if [ "$BUILT" -eq 0 ]; then STATUS="FAILED: did not build (logs/build.log)"; return; fi
    if [ "$RC" -eq 124 ]; then STATUS="TIMEOUT after ${TIMEOUT}s"; return; fi
    if grep -q "This conversion is not built yet." "$out"; then STATUS="FAILED: not built yet"; return; fi
    msg=$(grep -m1 -E '(ERROR|SORRY) - ' "$out" | cut -c1-60)
    if [ -n "$msg" ]; then STATUS="FAILED: $msg"; return; fi
    if [ "$RC" -ne 0 ]; then STATUS="FAILED: exit status $RC"; return; fi
    if ! grep -q "Finished." "$out"; then STATUS="FAILED: no \"Finished.\""; return; fi
    msg=$("$@")
    if [ -n "$msg" ]; then STATUS="FAILED: $msg"; return; fi
    STATUS=ok
}

has() { [ -s "$1" ] && grep -q -m1 "$2" "$1" || echo "no \"$2\" in $(basename "$1")"; }

check_mif() { has "$S1/big.12da.mif" "^Pline"; }
check_xs() {
    local n want
    n=$(find "$XS_RUN" -maxdepth 1 -name '*.csv' | wc -l)
    want=$(manifest "$S1" xs.12da.strings)
    [ "$n" -eq "$want" ] || { echo "$n of $want .csv files"; return; }
    has "$XS_RUN/xs.12da.Lines.mif" "^Pline"
}
check_2d() { has "$S1/lines.12da" "string 2d"; }
check_3d() { has "$1/lines.12da" "string 3d"; [ -s "$1/_unsnapped_points.mif" ] || echo "no _unsnapped_points.mif"; }

# ------------------------------------------------------------------ runs

ROWS=()
# row LABEL MB VERTICES STATUS: one line of the table, from WALL, RSS, CAT, CP, OUTCP.
row() { ROWS+=("$1|$2|$WALL|$RSS|$CAT|$CP|$OUTCP|$3|$4"); }

# best NAME DIRVAR PREPARE COMMAND...: PREPARE (a function clearing the last
# outputs) then COMMAND under timed in the folder named by the variable DIRVAR
# (PREPARE may change it), RUNS times; keeps the fastest run's WALL and RSS. A
# run that fails ends the series with its own figures.
best() {
    local name=$1 dirvar=$2 prepare=$3 i best_wall= best_rss=
    shift 3
    for ((i = 1; i <= RUNS; i++)); do
        "$prepare"
        timed "$name" "${!dirvar}" "$@"
        [ "$RC" -eq 0 ] || return
        if [ -z "$best_wall" ] || awk -v a="$WALL" -v b="$best_wall" 'BEGIN { exit !(a < b) }'; then
            best_wall=$WALL
            best_rss=$RSS
        fi
    done
    WALL=$best_wall
    RSS=$best_rss
}

say "Running (each conversion $RUNS times, the fastest kept; timeout ${TIMEOUT}s) ..."
rm -rf "$SCRATCH"/run.*  # left by a run that was interrupted

MIF_STATUS= MIFZ_STATUS= MIF_WALL= MIFZ_WALL=
ZLN_STATUS=() ZLN_WALL=()
PEER_WALL=
PEER_POINTS_WALL=
PEER_VERTICES=$(manifest "$S1" lines.vertices)
PEER_POINTS=$(manifest "$S1" points.count)
if [ -z "${VELMORAK_BENCH_ONLY:-}" ]; then

prepare_mif() { rm -f "$S1"/big.12da.mif "$S1"/big.12da.mid; }
best mif S1 prepare_mif "$EXE" big.12da
verdict mif check_mif
floors "$S1/big.12da"
out_floor "$S1/big.12da.mif" "$S1/big.12da.mid"
row "12da -> MIF breaklines" "$(mbytes "$S1/big.12da")" "$(manifest "$S1" big.12da.vertices)+0" "$STATUS"
MIF_WALL=$WALL MIF_STATUS=$STATUS

# The same input as a compressed archive (.12daz, Info-ZIP's default DEFLATE
# level): it must convert to the same layer within 1.5 times the time.
if [ ! -s "$S1/big.12daz" ] || [ "$S1/big.12da" -nt "$S1/big.12daz" ]; then
    rm -f "$S1/big.12daz"
    (cd "$S1" && zip -q big.zip big.12da && mv big.zip big.12daz) || say "bench: zip could not write big.12daz"
fi
prepare_mifz() { rm -f "$S1"/big.12daz.mif "$S1"/big.12daz.mid; }
check_mifz() {
    has "$S1/big.12daz.mif" "^Pline"
    cmp -s "$S1/big.12da.mif" "$S1/big.12daz.mif" && cmp -s "$S1/big.12da.mid" "$S1/big.12daz.mid" ||
        echo "layer differs from the .12da's"
}
best mifz S1 prepare_mifz "$EXE" big.12daz
verdict mifz check_mifz
floors "$S1/big.12daz"
out_floor "$S1/big.12daz.mif" "$S1/big.12daz.mid"
row "12daz -> MIF breaklines" "$(mbytes "$S1/big.12daz")" "$(manifest "$S1" big.12da.vertices)+0" "$STATUS"
MIFZ_WALL=$WALL MIFZ_STATUS=$STATUS
rm -f "$S1"/big.12daz.mif "$S1"/big.12daz.mid

# -xs creates one .csv per string: every run starts in a new folder with the
# input linked into it, and the output floor copies its files into another.
prepare_xs() {
    new_folder
    XS_RUN=$NEW_FOLDER
    ln "$S1/xs/xs.12da" "$S1/xs/Header.mif" "$XS_RUN/" 2>/dev/null || cp "$S1/xs/xs.12da" "$S1/xs/Header.mif" "$XS_RUN/"
}
best xs XS_RUN prepare_xs "$EXE" xs.12da -xs
verdict xs check_xs
floors "$S1/xs/xs.12da"
out_floor "$XS_RUN"/*.csv "$XS_RUN"/xs.12da.Lines.* "$XS_RUN"/xs.12da.Points.*
row "12da -> cross-sections -xs" "$(mbytes "$S1/xs/xs.12da")" "$(manifest "$S1" xs.12da.vertices)+0" "$STATUS"

prepare_2d() { rm -f "$S1/lines.12da"; }
best 2d S1 prepare_2d "$EXE" lines.mif
verdict 2d check_2d
floors "$S1/lines.mif" "$S1/lines.mid"
out_floor "$S1/lines.12da"
row "MIF -> 12da 2D" "$(mbytes "$S1/lines.mif" "$S1/lines.mid")" "$(manifest "$S1" lines.vertices)+0" "$STATUS"

ZLN_STATUS=()
ZLN_WALL=()
for d in "$S1" "$S2"; do
    scale=$(manifest "$d" scale)
    prepare_zln() { rm -f "$d"/lines.12da "$d"/_dangles.* "$d"/_unsnapped_points.*; }
    best "zln$scale" d prepare_zln "$EXE" points.mif lines.mif -zln
    verdict "zln$scale" check_3d "$d"
    inputs=("$d/points.mif" "$d/points.mid" "$d/lines.mif" "$d/lines.mid")
    floors "${inputs[@]}"
    out_floor "$d/lines.12da" "$d"/_dangles.* "$d"/_unsnapped_points.*
    # Its vertices: the polyline vertices and the points.
    row "MIF -> 12da 3D -zln (scale $scale)" "$(mbytes "${inputs[@]}")" \
        "$(manifest "$d" lines.vertices)+$(manifest "$d" points.count)" "$STATUS"
    ZLN_STATUS+=("$STATUS")
    ZLN_WALL+=("$WALL")
done

# The peer converts the two -zln input layers, the lines and the points, each
# MIF to MIF; a conversion's peer time is that of its vertices at the peer's
# rate per polyline vertex and per point.
if command -v ogr2ogr >/dev/null; then
    prepare_peer() { mkdir -p "$S1/peer" && rm -f "$S1"/peer/out.* "$S1"/peer/points.*; }
    best peer S1 prepare_peer ogr2ogr -f "MapInfo File" peer/out.mif lines.mif
    if [ "$RC" -eq 0 ] && [ -s "$S1/peer/out.mif" ]; then STATUS=ok; PEER_WALL=$WALL; else STATUS="FAILED: exit status $RC"; fi
    floors "$S1/lines.mif" "$S1/lines.mid"
    out_floor "$S1"/peer/out.*
    row "peer: ogr2ogr lines MIF -> MIF" "$(mbytes "$S1/lines.mif" "$S1/lines.mid")" "$PEER_VERTICES+0" "$STATUS"

    best peer_points S1 prepare_peer ogr2ogr -f "MapInfo File" peer/points.mif points.mif
    if [ "$RC" -eq 0 ] && [ -s "$S1/peer/points.mif" ]; then STATUS=ok; PEER_POINTS_WALL=$WALL; else STATUS="FAILED: exit status $RC"; fi
    floors "$S1/points.mif" "$S1/points.mid"
    out_floor "$S1"/peer/points.*
    row "peer: ogr2ogr points MIF -> MIF" "$(mbytes "$S1/points.mif" "$S1/points.mid")" "0+$PEER_POINTS" "$STATUS"
else
    WALL=- RSS=- CAT=- CP=- OUTCP=-
    row "peer: ogr2ogr MIF -> MIF" "-" "-" "MISSING: gdal-bin not installed"
fi
fi  # VELMORAK_BENCH_ONLY

# ------------------------------------------------------------------ the GDAL driver

# Figures of the driver before the work on the window and the first scan, for
# the lines that print them beside today's (the plugin built in Release at the
# commit named, measured on the same inputs on this 2-core machine):
# the 1 km window on 516 MB through bench/spatial_window.py and ogrinfo -spat,
# in seconds, when every string was read and built before the filter was
# tried (8325a50); the instructions per vertex of the first scan of the
# quarter-scale big.12da, when every height went through its text on the way
# to the extent (526fffd, the target's base) and at 8325a50.
WINDOW_BEFORE=1.419
SPAT_BEFORE=4.397
SCAN_BEFORE=1671
SCAN_MAIN=1428

GDAL_READ_WALL= GDAL_READ_PEER= GDAL_WRITE_WALL= GDAL_WRITE_PEER= GDAL_SCAN_RSS=
GDAL_GROUPED_WALL= GDAL_INTERLEAVED_WALL= GDAL_RANDOM= MODEL_STRINGS=
TIN_SCAN_WALL= TIN_SCAN_RSS= STRINGS_SCAN_WALL= STRINGS_SCAN_RSS= TIN_RATIO= TIN_ARRAYS_MB= TIN_RASTER_WALL=
TIN_GRID_WALL= TIN_PLANE= WINDOW= GDAL_WINDOW= GPKG_WINDOW= GDAL_SPAT_WALL=
gdal_status() {  # gdal_status OUTPUT: the status of an ogr2ogr or ogrinfo run
    if [ "$PLUGIN_BUILT" -eq 0 ]; then STATUS="FAILED: the GDAL plugin did not build"; return; fi
    if [ "$RC" -eq 124 ]; then STATUS="TIMEOUT after ${TIMEOUT}s"; return; fi
    if [ "$RC" -ne 0 ]; then STATUS="FAILED: exit status $RC"; return; fi
    if [ ! -s "$1" ]; then STATUS="FAILED: no $(basename "$1")"; return; fi
    if grep -q -m1 '^ERROR' "$LOGS/$2.out"; then STATUS="FAILED: $(grep -m1 '^ERROR' "$LOGS/$2.out" | cut -c1-60)"; return; fi
    STATUS=ok
}
if [ "${VELMORAK_BENCH_ONLY:-}" != callgrind ] && command -v ogr2ogr >/dev/null; then
    G=$S1/gdal
    mkdir -p "$G"
    with_plugin=(env "GDAL_DRIVER_PATH=$BUILD/gdal")
    # The .12da the converter makes of the lines layer, and a GeoPackage of the lines.
    [ -s "$S1/lines.12da" ] || (cd "$S1" && "$EXE" lines.mif </dev/null >"$LOGS/gdal-setup.out" 2>&1)
    if [ ! -s "$G/lines.gpkg" ] || [ "$S1/lines.mif" -nt "$G/lines.gpkg" ]; then
        rm -f "$G/lines.gpkg"
        ogr2ogr -f GPKG "$G/lines.gpkg" "$S1/lines.mif" >"$LOGS/gdal-setup-gpkg.out" 2>&1
    fi
    VERTICES=$(manifest "$S1" lines.vertices)

    prepare_gdal() { rm -f "$G"/out.*; }
    best gdal_read S1 prepare_gdal "${with_plugin[@]}" ogr2ogr -f GPKG gdal/out.gpkg lines.12da
    gdal_status "$G/out.gpkg" gdal_read
    floors "$S1/lines.12da"
    out_floor "$G/out.gpkg"
    row "12DA: ogr2ogr 12da -> GPKG" "$(mbytes "$S1/lines.12da")" "$VERTICES+0" "$STATUS"
    [ "$STATUS" = ok ] && GDAL_READ_WALL=$WALL

    best gdal_read_peer S1 prepare_gdal ogr2ogr -f GPKG gdal/out.gpkg lines.mif
    gdal_status "$G/out.gpkg" gdal_read_peer
    floors "$S1/lines.mif" "$S1/lines.mid"
    out_floor "$G/out.gpkg"
    row "peer: ogr2ogr lines MIF -> GPKG" "$(mbytes "$S1/lines.mif" "$S1/lines.mid")" "$VERTICES+0" "$STATUS"
    [ "$STATUS" = ok ] && GDAL_READ_PEER=$WALL

    best gdal_write S1 prepare_gdal "${with_plugin[@]}" ogr2ogr -f 12DA gdal/out.12da gdal/lines.gpkg
    gdal_status "$G/out.12da" gdal_write
    floors "$G/lines.gpkg"
    out_floor "$G/out.12da"
    row "12DA: ogr2ogr GPKG -> 12da" "$(mbytes "$G/lines.gpkg")" "$VERTICES+0" "$STATUS"
    [ "$STATUS" = ok ] && GDAL_WRITE_WALL=$WALL

    best gdal_writez S1 prepare_gdal "${with_plugin[@]}" ogr2ogr -f 12DA gdal/out.12daz gdal/lines.gpkg
    gdal_status "$G/out.12daz" gdal_writez
    out_floor "$G/out.12daz"
    row "12DA: ogr2ogr GPKG -> 12daz" "$(mbytes "$G/lines.gpkg")" "$VERTICES+0" "$STATUS"

    best gdal_write_peer S1 prepare_gdal ogr2ogr -f "MapInfo File" gdal/out.mif gdal/lines.gpkg
    gdal_status "$G/out.mif" gdal_write_peer
    out_floor "$G"/out.mif "$G"/out.mid
    row "peer: ogr2ogr GPKG -> MIF" "$(mbytes "$G/lines.gpkg")" "$VERTICES+0" "$STATUS"
    [ "$STATUS" = ok ] && GDAL_WRITE_PEER=$WALL
    rm -f "$G"/out.*

    # The first scan of a 1 GB .12da: copies of the big input one after another.
    BIG=$SCRATCH/big-1g.12da
    if [ ! -s "$BIG" ] || [ "$(stat -c %s "$BIG")" -lt 1000000000 ] || [ "$S1/big.12da" -nt "$BIG" ]; then
        say "Writing $BIG ..."
        rm -f "$BIG"
        while [ ! -s "$BIG" ] || [ "$(stat -c %s "$BIG")" -lt 1000000000 ]; do cat "$S1/big.12da" >>"$BIG"; done
    fi
    copies=$(( $(stat -c %s "$BIG") / $(stat -c %s "$S1/big.12da") ))
    best gdal_scan SCRATCH no_setup "${with_plugin[@]}" ogrinfo -ro -al -so big-1g.12da
    gdal_status "$LOGS/gdal_scan.out" gdal_scan
    grep -q "Feature Count: " "$LOGS/gdal_scan.out" || STATUS="FAILED: no feature count"
    floors "$BIG"
    OUTCP=-
    row "12DA: ogrinfo -so 1 GB (first scan)" "$(mbytes "$BIG")" "$(( $(manifest "$S1" big.12da.vertices) * copies ))+0" "$STATUS"
    [ "$STATUS" = ok ] && GDAL_SCAN_RSS=$RSS

    # 50,000 strings of 200 models, grouped by model and taking turns: the
    # string index lets each layer's pass read only its own strings, so the
    # interleaved file costs about what the grouped one does.
    SM=$SCRATCH/models
    generate "$SM" 1 models
    MODEL_STRINGS=$(manifest "$SM" models.strings)
    prepare_models() { rm -f "$SM"/out.gpkg; }
    best gdal_grouped SM prepare_models "${with_plugin[@]}" ogr2ogr -f GPKG out.gpkg models.12da
    gdal_status "$SM/out.gpkg" gdal_grouped
    floors "$SM/models.12da"
    out_floor "$SM/out.gpkg"
    row "12DA: 200 models grouped -> GPKG" "$(mbytes "$SM/models.12da")" "-" "$STATUS"
    [ "$STATUS" = ok ] && GDAL_GROUPED_WALL=$WALL
    best gdal_interleaved SM prepare_models "${with_plugin[@]}" ogr2ogr -f GPKG out.gpkg models-interleaved.12da
    gdal_status "$SM/out.gpkg" gdal_interleaved
    floors "$SM/models-interleaved.12da"
    out_floor "$SM/out.gpkg"
    row "12DA: 200 models interleaved -> GPKG" "$(mbytes "$SM/models-interleaved.12da")" "-" "$STATUS"
    [ "$STATUS" = ok ] && GDAL_INTERLEAVED_WALL=$WALL
    rm -f "$SM"/out.gpkg
    # 200 features fetched by id against one pass over all 50,000.
    if /usr/bin/python3 -c "from osgeo import gdal" 2>/dev/null; then
        GDAL_RANDOM=$("${with_plugin[@]}" /usr/bin/python3 "$ROOT/bench/random_access.py" "$SM/models.12da" 2>"$LOGS/gdal_random.out")
    fi

    # A 1 km window, as a map canvas asks for one when it pans, on 516 MB:
    # eight copies of big.12da one after another (16 M vertices), and a
    # GeoPackage of the same (its R-tree is the peer). bench/spatial_window.py
    # opens each once and times a pass over every feature against a pass
    # with the window as the spatial filter; ogrinfo -spat times the same
    # window with the open and its first scan, as a user's command does.
    BIG8=$SCRATCH/big8.12da
    GPKG8=$SCRATCH/big8.gpkg
    if [ ! -s "$BIG8" ] || [ "$(stat -c %s "$BIG8")" -ne $((8 * $(stat -c %s "$S1/big.12da"))) ] ||
        [ "$S1/big.12da" -nt "$BIG8" ]; then
        say "Writing $BIG8 ..."
        rm -f "$BIG8" "$GPKG8"
        for _ in 1 2 3 4 5 6 7 8; do cat "$S1/big.12da" >>"$BIG8"; done
    fi
    if [ ! -s "$GPKG8" ] || [ "$BIG8" -nt "$GPKG8" ]; then
        say "Writing $GPKG8 ..."
        rm -f "$GPKG8" "$SCRATCH/big8-part.gpkg"
        "${with_plugin[@]}" ogr2ogr -f GPKG "$SCRATCH/big8-part.gpkg" "$BIG8" >"$LOGS/gdal-setup-gpkg8.out" 2>&1 &&
            mv "$SCRATCH/big8-part.gpkg" "$GPKG8"
    fi
    if /usr/bin/python3 -c "from osgeo import gdal" 2>/dev/null &&
        WINDOW=$("${with_plugin[@]}" /usr/bin/python3 "$ROOT/bench/spatial_window.py" --window "$BIG8" 2>"$LOGS/gdal_window.out"); then
        # shellcheck disable=SC2086  # four numbers
        GDAL_WINDOW=$("${with_plugin[@]}" /usr/bin/python3 "$ROOT/bench/spatial_window.py" "$BIG8" $WINDOW 2>>"$LOGS/gdal_window.out")
        if [ -s "$GPKG8" ]; then
            # shellcheck disable=SC2086
            GPKG_WINDOW=$(/usr/bin/python3 "$ROOT/bench/spatial_window.py" "$GPKG8" $WINDOW 2>"$LOGS/gpkg_window.out")
        fi
        # shellcheck disable=SC2086
        best gdal_spat SCRATCH no_setup "${with_plugin[@]}" ogrinfo -ro -al -spat $WINDOW big8.12da
        gdal_status "$LOGS/gdal_spat.out" gdal_spat
        grep -q "Feature Count: " "$LOGS/gdal_spat.out" || STATUS="FAILED: no feature count"
        # The copy floor of 516 MB says nothing of a run that writes little.
        fastest CAT no_setup cat "$BIG8"
        CP=- OUTCP=-
        row "12DA: ogrinfo -spat 1 km, 516 MB" "$(mbytes "$BIG8")" "$(( $(manifest "$S1" big.12da.vertices) * 8 ))+0" "$STATUS"
        [ "$STATUS" = ok ] && GDAL_SPAT_WALL=$WALL
    fi

    # A TIN of 2,000,000 triangles (a perturbed grid with a plane region):
    # its first scan against the strings of big.12da byte for byte, its peak
    # memory against its arrays (24 bytes a point, 12 a triangle) and the
    # scan of strings, and its 4000 x 4000 raster against gdal_grid's own
    # triangulation of its points.
    ST=$SCRATCH/tin
    generate "$ST" 1 tin
    best tin_scan ST no_setup "${with_plugin[@]}" ogrinfo -ro -al -so tin.12da
    gdal_status "$LOGS/tin_scan.out" tin_scan
    grep -q "Feature Count: $(manifest "$ST" tin.triangles)" "$LOGS/tin_scan.out" || STATUS="FAILED: triangles missing"
    floors "$ST/tin.12da"
    OUTCP=-
    row "12DA: ogrinfo -so TIN (first scan)" "$(mbytes "$ST/tin.12da")" "-" "$STATUS"
    [ "$STATUS" = ok ] && TIN_SCAN_WALL=$WALL TIN_SCAN_RSS=$RSS
    best strings_scan S1 no_setup "${with_plugin[@]}" ogrinfo -ro -al -so big.12da
    gdal_status "$LOGS/strings_scan.out" strings_scan
    floors "$S1/big.12da"
    row "12DA: ogrinfo -so big.12da (strings)" "$(mbytes "$S1/big.12da")" "$(manifest "$S1" big.12da.vertices)+0" "$STATUS"
    [ "$STATUS" = ok ] && STRINGS_SCAN_WALL=$WALL STRINGS_SCAN_RSS=$RSS
    TIN_RATIO=$(awk -v t="$TIN_SCAN_WALL" -v tb="$(stat -c %s "$ST/tin.12da")" -v s="$STRINGS_SCAN_WALL" \
        -v sb="$(stat -c %s "$S1/big.12da")" 'BEGIN { if (t > 0 && s > 0) printf "%.2f", (t / tb) / (s / sb) }')
    TIN_ARRAYS_MB=$(awk -v p="$(manifest "$ST" tin.points)" -v t="$(manifest "$ST" tin.triangles)" \
        'BEGIN { printf "%.1f", (24 * p + 12.125 * t) / 1048576 }')
    read -r TIN_X0 TIN_Y0 < <(awk '{ print $8, $9 }' "$ST/tin-plane.txt")
    TIN_SIDE=$(awk -v p="$(manifest "$ST" tin.points)" 'BEGIN { printf "%d", sqrt(p) - 1 }')
    TIN_EXTENT=$(awk -v x="$TIN_X0" -v y="$TIN_Y0" -v n="$TIN_SIDE" \
        'BEGIN { printf "%.3f,%.3f,%.3f,%.3f", x, y, x + n - n / 4000, y + n - n / 4000 }')
    TIN_CELL=$(awk -v n="$TIN_SIDE" 'BEGIN { printf "%.6g", n / 4000 }')
    prepare_tin_raster() { rm -f "$ST"/dem.tif "$ST"/grid.tif; }
    best tin_raster ST prepare_tin_raster "${with_plugin[@]}" gdal_translate -q -of GTiff -oo "RESOLUTION=$TIN_CELL" \
        -oo "EXTENT=$TIN_EXTENT" '12DA:"tin.12da":"BENCH"' dem.tif
    gdal_status "$ST/dem.tif" tin_raster
    OUTCP=-
    row "12DA: gdal_translate TIN -> 4000x4000" "$(mbytes "$ST/tin.12da")" "-" "$STATUS"
    [ "$STATUS" = ok ] && TIN_RASTER_WALL=$WALL
    cat >"$ST/tin-points.vrt" <<'VRT'
<OGRVRTDataSource><OGRVRTLayer name="tin-points"><SrcDataSource>tin-points.csv</SrcDataSource>
<GeometryType>wkbPoint25D</GeometryType><GeometryField encoding="PointFromColumns" x="x" y="y" z="z"/></OGRVRTLayer></OGRVRTDataSource>
VRT
    timed tin_grid "$ST" gdal_grid -q -a linear -txe "$TIN_X0" "$(awk -v x="$TIN_X0" -v n="$TIN_SIDE" 'BEGIN { print x + n }')" \
        -tye "$TIN_Y0" "$(awk -v y="$TIN_Y0" -v n="$TIN_SIDE" 'BEGIN { print y + n }')" -outsize 4000 4000 -ot Float32 \
        -of GTiff tin-points.vrt grid.tif
    gdal_status "$ST/grid.tif" tin_grid
    OUTCP=-
    row "peer: gdal_grid -a linear -> 4000x4000" "$(mbytes "$ST/tin-points.csv")" "-" "$STATUS"
    [ "$STATUS" = ok ] && TIN_GRID_WALL=$WALL
    if [ -s "$ST/dem.tif" ] && /usr/bin/python3 -c "import numpy; from osgeo import gdal" 2>/dev/null; then
        TIN_PLANE=$(/usr/bin/python3 "$ROOT/bench/tin_plane.py" "$ST/dem.tif" "$ST/tin-plane.txt" 2>&1)
    fi
    rm -f "$ST"/dem.tif "$ST"/grid.tif
fi
rm -rf "$SCRATCH"/run.*

# ------------------------------------------------------------------ callgrind

CALLGRIND=()
if [ "${VELMORAK_BENCH_ONLY:-}" != gdal ]; then
    command -v valgrind >/dev/null || apt_install valgrind
    SQ=$SCRATCH/quarter
    generate "$SQ" 1/4 all
    rm -f "$SQ/lines.tab" && touch -d '2001-01-01 00:00:00' "$SQ/lines.tab"
    # callgrind_count NAME INPUT VERTICES BEFORE: one line of instructions per vertex.
    callgrind_count() {
        local name=$1 input=$2 vertices=$3 before=$4 log=$LOGS/callgrind-$1.log count
        rm -f "$SQ"/*.12da.mif "$SQ"/*.12da.mid "$SQ"/lines.12da
        if [ "$BUILT" -eq 1 ] && command -v valgrind >/dev/null &&
            (cd "$SQ" && valgrind --tool=callgrind --callgrind-out-file=/dev/null "$EXE" "$input" </dev/null \
                >"$LOGS/callgrind-$name.out" 2>"$log") && grep -q "Finished." "$LOGS/callgrind-$name.out"; then
            count=$(sed -n 's/.*Collected : *\([0-9][0-9]*\).*/\1/p' "$log" | tail -n 1)
        fi
        if [ -z "${count:-}" ]; then
            CALLGRIND+=("callgrind $name: n/a (the run failed; see $log)")
            return
        fi
        CALLGRIND+=("$(awk -v n="$name" -v c="$count" -v v="$vertices" -v b="$before" 'BEGIN {
            r = c / v
            printf "callgrind %s: %.0f instructions per vertex (%d vertices), %.1f%% of %d (target at most 65%%): %s",
                n, r, v, 100 * r / b, b, (r <= 0.65 * b ? "PASS" : "FAIL")
        }')")
    }
    callgrind_count "12da -> MIF" big.12da "$(manifest "$SQ" big.12da.vertices)" 1846
    callgrind_count "MIF -> 12da" lines.mif "$(manifest "$SQ" lines.vertices)" 1098

    # The first scan of the GDAL driver: ogrinfo -ro -al -so of big.12da, its
    # instructions counted only inside D12Dataset::scan and what it calls
    # (--toggle-collect), so that GDAL's start-up, its drivers' registration
    # and the printing, the same whatever the driver does, do not dilute the
    # scan's own count. Counted per vertex against the scan before the speed
    # work (SCAN_BEFORE below); the target is at most 75% of it.
    if [ "$PLUGIN_BUILT" -eq 1 ] && command -v valgrind >/dev/null && command -v ogrinfo >/dev/null; then
        log=$LOGS/callgrind-scan.log
        count=
        if (cd "$SQ" && GDAL_DRIVER_PATH=$BUILD/gdal valgrind --tool=callgrind --callgrind-out-file=/dev/null \
            --toggle-collect='*D12Dataset::scan*' ogrinfo -ro -al -so big.12da >"$LOGS/callgrind-scan.out" 2>"$log") &&
            grep -q "Feature Count: " "$LOGS/callgrind-scan.out"; then
            count=$(sed -n 's/.*Collected : *\([0-9][0-9]*\).*/\1/p' "$log" | tail -n 1)
        fi
        if [ -n "$count" ] && [ "$count" -gt 0 ]; then
            CALLGRIND+=("$(awk -v c="$count" -v v="$(manifest "$SQ" big.12da.vertices)" -v b="$SCAN_BEFORE" -v m="$SCAN_MAIN" 'BEGIN {
                r = c / v
                printf "callgrind 12DA first scan (ogrinfo -so, inside D12Dataset::scan): %.0f instructions per vertex (%d vertices), %.1f%% of %d (target at most 75%%): %s (%d before heights were kept as read)",
                    r, v, 100 * r / b, b, (r <= 0.75 * b ? "PASS" : "FAIL"), m
            }')")
        else
            CALLGRIND+=("callgrind 12DA first scan: n/a (the run failed; see $log)")
        fi
    else
        CALLGRIND+=("callgrind 12DA first scan: n/a (no plugin, valgrind or ogrinfo)")
    fi
fi

# ------------------------------------------------------------------ table

echo
echo "velmorak benchmark  $(date -u '+%Y-%m-%d %H:%M UTC')  $(nproc) cores  load$(uptime | sed 's/.*load average//')"
echo "inputs in $SCRATCH, console output in $LOGS"
echo
printf '%-34s %9s %10s %7s %8s %7s %7s %7s %8s %7s %7s %7s %7s  %s\n' \
    conversion "input MB" vertices "wall s" "MB/s" "RSS MB" "cat s" "cp s" "out cp s" "x cat" "x cp" "x out" "x peer" status
printf '%.0s-' {1..150}
echo
for r in "${ROWS[@]}"; do
    IFS='|' read -r label mb wall rss cat cp outcp verts status <<<"$r"
    awk -v label="$label" -v mb="$mb" -v wall="$wall" -v rss="$rss" -v cat="$cat" -v cp="$cp" -v outcp="$outcp" \
        -v verts="$verts" -v pw="$PEER_WALL" -v pv="$PEER_VERTICES" -v ppw="$PEER_POINTS_WALL" -v ppv="$PEER_POINTS" \
        -v status="$status" '
        function ratio(a, b, r) {
            if (!(a + 0 > 0 && b + 0 > 0)) return "-"
            r = a / b
            return sprintf(r >= 100 ? "%.0f" : r >= 1 ? "%.2f" : "%.3g", r)
        }
        BEGIN {
            rate = (wall + 0 > 0 && mb + 0 > 0) ? sprintf("%.1f", mb / wall) : "-"
            # verts is "polyline vertices+points"
            split(verts, v, "+")
            peer = "-"
            if (pw != "" && pv > 0 && (v[2] + 0 == 0 || (ppw != "" && ppv > 0)))
                peer = ratio(wall, v[1] * pw / pv + (v[2] + 0 > 0 ? v[2] * ppw / ppv : 0))
            shown = (verts == "-") ? "-" : v[1] + v[2]
            printf "%-34s %9s %10s %7s %8s %7s %7s %7s %8s %7s %7s %7s %7s  %s\n", label, mb, shown, wall, rate, rss,
                cat, cp, outcp, ratio(wall, cat), ratio(wall, cp), ratio(wall, outcp), peer, status
        }'
done
echo
echo "x cat, x cp: wall time over the floor on the same input files; x out: over copying the run's output"
echo "files into a new folder. x peer: wall time over ogr2ogr's time for as many vertices (its time per"
echo "polyline vertex of lines.mif, per point of points.mif; the target is at most 0.1). The -zln"
echo "vertices are the polyline vertices and the points."

if [ -z "${VELMORAK_BENCH_ONLY:-}" ]; then
    if [ "$MIF_STATUS" = ok ] && [ "$MIFZ_STATUS" = ok ]; then
        awk -v a="$MIF_WALL" -v b="$MIFZ_WALL" 'BEGIN {
            r = b / a
            printf ".12daz against .12da: %.2f (target at most 1.5): %s\n", r, (r <= 1.5 ? "PASS" : "FAIL")
        }'
    else
        echo ".12daz against .12da: n/a (a run failed)"
    fi
    if [ "${ZLN_STATUS[0]:-}" = ok ] && [ "${ZLN_STATUS[1]:-}" = ok ]; then
        awk -v a="${ZLN_WALL[0]}" -v b="${ZLN_WALL[1]}" 'BEGIN {
            r = b / a
            printf "-zln scaling: scale 2 / scale 1 = %.2f (target at most 2.2): %s\n", r, (r <= 2.2 ? "PASS" : "FAIL")
        }'
    else
        echo "-zln scaling: n/a (a -zln run failed)"
    fi
fi
verdict_ratio() {  # verdict_ratio LABEL WALL PEER
    if [ -n "$2" ] && [ -n "$3" ]; then
        awk -v l="$1" -v a="$2" -v b="$3" 'BEGIN { r = a / b; printf "%s: %.2f (target below 1): %s\n", l, r, (r < 1 ? "PASS" : "FAIL") }'
    else
        echo "$1: n/a (a run failed)"
    fi
}
if [ "${VELMORAK_BENCH_ONLY:-}" != callgrind ]; then
verdict_ratio "12DA read, 12da -> GPKG against MIF -> GPKG" "$GDAL_READ_WALL" "$GDAL_READ_PEER"
verdict_ratio "12DA write, GPKG -> 12da against GPKG -> MIF" "$GDAL_WRITE_WALL" "$GDAL_WRITE_PEER"
if [ -n "$GDAL_SCAN_RSS" ]; then
    awk -v m="$GDAL_SCAN_RSS" 'BEGIN { printf "12DA first scan of 1 GB: peak RSS %.1f MB (target below 100): %s\n", m, (m < 100 ? "PASS" : "FAIL") }'
else
    echo "12DA first scan of 1 GB: n/a (the run failed)"
fi
if [ -n "$TIN_RATIO" ]; then
    awk -v r="$TIN_RATIO" 'BEGIN { printf "12DA first scan of a TIN against strings, per byte: %.2f (target below 2): %s\n", r, (r < 2 ? "PASS" : "FAIL") }'
else
    echo "12DA first scan of a TIN against strings, per byte: n/a (a run failed)"
fi
if [ -n "$TIN_SCAN_RSS" ] && [ -n "$STRINGS_SCAN_RSS" ]; then
    # The constant: what the scan of strings takes (GDAL, the plugin, the buffers), and 16 MB of slack.
    awk -v m="$TIN_SCAN_RSS" -v a="$TIN_ARRAYS_MB" -v c="$STRINGS_SCAN_RSS" 'BEGIN {
        printf "12DA first scan of a TIN: peak RSS %.1f MB (target below its arrays %.1f MB + %.1f MB + 16 MB): %s\n",
            m, a, c, (m < a + c + 16 ? "PASS" : "FAIL") }'
else
    echo "12DA first scan of a TIN: peak RSS n/a (a run failed)"
fi
verdict_ratio "12DA TIN raster 4000x4000 against gdal_grid -a linear" "$TIN_RASTER_WALL" "$TIN_GRID_WALL"
echo "${TIN_PLANE:-TIN raster, plane region: n/a (no raster, or no numpy)}"
if [ -n "$GDAL_GROUPED_WALL" ] && [ -n "$GDAL_INTERLEAVED_WALL" ]; then
    awk -v i="$GDAL_INTERLEAVED_WALL" -v g="$GDAL_GROUPED_WALL" 'BEGIN { r = i / g
        printf "12DA 200 models x 250 strings -> GPKG, interleaved against grouped: %.2f (target at most 1.5): %s\n", r, (r <= 1.5 ? "PASS" : "FAIL") }'
else
    echo "12DA 200 models x 250 strings -> GPKG, interleaved against grouped: n/a (a run failed)"
fi
if [ -n "$GDAL_RANDOM" ]; then
    read -r n pass fetch <<<"$GDAL_RANDOM"
    awk -v n="$n" -v p="$pass" -v f="$fetch" 'BEGIN {
        printf "12DA 200 random fetches by id on %d features: %.3f s against one pass %.3f s (target below): %s\n", n, f, p, (n >= 50000 && f < p ? "PASS" : "FAIL") }'
else
    echo "12DA 200 random fetches by id: n/a (the run failed, or GDAL's Python bindings are missing; see logs/gdal_random.out)"
fi
if [ -n "$GDAL_WINDOW" ] && [ -n "$GPKG_WINDOW" ]; then
    read -r n wn pass win <<<"$GDAL_WINDOW"
    read -r _ gn _ gwin <<<"$GPKG_WINDOW"
    awk -v n="$n" -v wn="$wn" -v p="$pass" -v w="$win" -v gn="$gn" -v g="$gwin" -v b="$WINDOW_BEFORE" 'BEGIN {
        printf "12DA 1 km window: %.3f s, %d features; one full pass %.3f s (ratio %.3f, target at most 0.1): %s;", w, wn, p, w / p, (w <= 0.1 * p ? "PASS" : "FAIL")
        printf " GPKG window %.3f s, %d features (ratio %.2f, target at most 5): %s", g, gn, w / g, (w <= 5 * g ? "PASS" : "FAIL")
        printf " [%d features; before: window %.3f s]\n", n, b }'
else
    echo "12DA 1 km window: n/a (a run failed, or GDAL's Python bindings are missing; see logs/gdal_window.out, logs/gpkg_window.out)"
fi
if [ -n "$GDAL_SPAT_WALL" ]; then
    awk -v s="$GDAL_SPAT_WALL" -v b="$SPAT_BEFORE" 'BEGIN {
        printf "12DA ogrinfo -ro -al -spat 1 km on 516 MB (the open, its first scan and the window): %.3f s (before: %.3f s)\n", s, b }'
else
    echo "12DA ogrinfo -spat 1 km on 516 MB: n/a (the run failed)"
fi
fi
for line in "${CALLGRIND[@]}"; do echo "$line"; done
