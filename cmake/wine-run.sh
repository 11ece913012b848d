#!/bin/sh
# Runs a Windows program built by the cross build under Wine, quietly and
# without a display, in a Wine prefix of its own (made on the first start).
: "${WINEPREFIX:=${XDG_CACHE_HOME:-$HOME/.cache}/velmorak-wine}"
export WINEPREFIX
export WINEDEBUG=${WINEDEBUG:--all}
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=}
unset DISPLAY WAYLAND_DISPLAY
# A Wine server started by wine itself would inherit our standard output and
# keep it open after the program ends (a caller reading it to its end would
# wait for the server): start it detached first, staying up between programs.
wineserver -p 60 </dev/null >/dev/null 2>&1 || true
exec wine "$@"
