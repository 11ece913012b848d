#!/bin/sh
# Runs a Windows program built by the cross build under Wine, quietly and
# without a display, in a Wine prefix of its own (made on the first start).
: "${WINEPREFIX:=${XDG_CACHE_HOME:-$HOME/.cache}/velmorak-wine}"
export WINEPREFIX
export WINEDEBUG=${WINEDEBUG:--all}
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=}
unset DISPLAY WAYLAND_DISPLAY
exec wine "$@"
