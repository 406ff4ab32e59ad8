#!/bin/sh
# The shared library exports exactly the two C entry points.
set -eu
actual=$(nm -D --defined-only "$1" | awk '{print $3}' | sort | tr '\n' ' ')
expected="pst_export_to_txt_w pst_reader_version "
if [ "$actual" != "$expected" ]; then
  echo "exported: $actual" >&2
  echo "expected: $expected" >&2
  exit 1
fi
echo "exported: $actual"
