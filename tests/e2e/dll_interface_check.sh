#!/bin/sh
# Prints what a Windows host sees of a DLL: its exported names, then the
# DLLs it imports, each list sorted on one line.
#   dll_interface_check.sh OBJDUMP DLL
objdump=$1 dll=$2
"$objdump" -p "$dll" | awk '
  /\[Ordinal\/Name Pointer\] Table/ { names = 1; next }
  names && /^[ \t]*\[/ { print "export " $NF; next }
  { names = 0 }
  /DLL Name:/ { print "import " $3 }' | sort | awk '
  { line[$1] = line[$1] " " $2 }
  END { print "exports:" line["export"]; print "imports:" line["import"] }'
