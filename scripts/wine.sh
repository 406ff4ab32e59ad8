#!/usr/bin/env bash
# Runs a Windows program under wine, headless and quiet, in a wine prefix of
# our own (created on first use, about 12 s). CMake's cross-compiling
# emulator for the Windows build: ctest runs every test binary through it.
set -euo pipefail
export WINEDEBUG=-all
# No Mono or Gecko prompts, and no debugger on a crash: the process ends
# with its exception code as it would on Windows.
export WINEDLLOVERRIDES="mscoree,mshtml=;winedbg.exe=d${WINEDLLOVERRIDES:+;$WINEDLLOVERRIDES}"
export LC_ALL=${LC_ALL:-C.UTF-8}  # UTF-8 names and arguments between wine and Linux
export WINEPREFIX="${WINEPREFIX:-${QUILLMAR_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/quillmarpst}/wine}"
unset DISPLAY
if [[ ! -f $WINEPREFIX/system.reg ]]; then
  mkdir -p "$WINEPREFIX"
  wineboot -i >/dev/null 2>&1 || true
  wineserver -w || true
fi
# A server that outlives each program by a minute: starting one with its
# services costs seconds, and the tests start hundreds of programs.
wineserver -p 60 2>/dev/null || true
exec wine "$@"
