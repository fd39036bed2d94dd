#!/bin/sh
# Checks that each Windows build of Update.exe imports only functions on the
# watched list (src/platform/win32/imports.txt), naming any that is not.
# Usage: check_imports.sh WINDOWS_BUILD_DIR...
set -eu
here=$(cd "$(dirname "$0")" && pwd)
list=$here/../../src/platform/win32/imports.txt

# imports EXE: "DLL FUNCTION" for each function in the import tables.
imports() {
  objdump=x86_64-w64-mingw32-objdump
  "$objdump" -f "$1" | grep -q 'file format pei-i386' && objdump=i686-w64-mingw32-objdump
  "$objdump" -p "$1" | awk '
    /DLL Name:/ { dll = $3; next }
    dll != "" && /^\t[0-9a-f]+\t +[0-9]+ +[A-Za-z_]/ { print dll, $3 }'
}

listed=$(mktemp)
trap 'rm -f "$listed"' EXIT
grep -v '^#' "$list" | sed 's/ |.*//' | sort -u >"$listed"
status=0
for build in "$@"; do
  found=$(imports "$build/Update.exe" | sort -u)
  [ -n "$found" ] || { echo "imports: nothing read from $build/Update.exe"; status=1; continue; }
  unlisted=$(echo "$found" | comm -23 - "$listed")
  if [ -n "$unlisted" ]; then
    echo "$unlisted" | sed "s|^|imports: $build/Update.exe imports a function not on the list: |"
    status=1
  else
    echo "imports: $build/Update.exe: $(echo "$found" | wc -l) functions, all on the list"
  fi
done
exit $status
