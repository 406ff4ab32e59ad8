#!/bin/bash
# pst2txt as a user runs it: version, refusals, exit codes.
# usage: pst2txt_cli_test.sh PST2TXT ARCHIVE
set -u
host=$1
archive=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
expect() {  # expect NAME EXPECTED_STATUS PATTERN_IN_OUTPUT -- COMMAND...
  local name=$1 status=$2 pattern=$3 output actual
  shift 4
  output=$("$@" 2>&1) && actual=0 || actual=$?
  if [[ $actual == "$status" ]] && grep -q -- "$pattern" <<<"$output"; then echo "ok   $name"
  else echo "FAIL $name: exit $actual (want $status), output: $output"; failures=$((failures + 1)); fi
}

expect version 0 '^pst_reader_dll_1.0$' -- "$host" --version
expect help 0 'usage: pst2txt' -- "$host" --help
expect usage 2 'expected ARCHIVE and OUTPUT_DIR' -- "$host" only-one
expect invalid-utf8 2 'ARCHIVE is not valid UTF-8' -- "$host" $'bad\xff.pst' "$work/o1"
expect missing-archive 1 'PST introuvable: ' -- "$host" "$work/none.pst" "$work/o2"
expect export 0 'Termine. Nombre de mails exportes: 71' -- "$host" "$archive" "$work/o3"
expect refuses-non-empty 2 'not empty' -- "$host" "$archive" "$work/o3"
expect force 0 'Termine. Nombre de mails exportes: 71' -- "$host" --force "$archive" "$work/o3"
exit $((failures > 0))
