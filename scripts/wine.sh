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
mkdir -p "$WINEPREFIX"
# The lock makes the first of several concurrent starts the one that creates
# the prefix or starts the server; nothing started under it may inherit it.
exec 9>"$WINEPREFIX/.server-start.lock"
flock 9
if [[ ! -f $WINEPREFIX/system.reg ]]; then
  wineboot -i </dev/null >/dev/null 2>&1 9>&- || true
  wineserver -w 9>&- || true
fi
# A server that outlives each program by a minute: starting one with its
# services costs seconds, and the tests start hundreds of programs. The
# services live as long as the server, so they are started with none of the
# caller's descriptors: a caller that reads our output to its end (CMake's
# test discovery, a pipe) would otherwise wait for the server to go.
if wineserver -p 60 </dev/null >/dev/null 2>&1 9>&-; then
  wine wineboot.exe </dev/null >/dev/null 2>&1 9>&- || true
fi
exec 9>&-
exec wine "$@"
