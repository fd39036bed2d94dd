#!/bin/sh
# Checks that each Windows build of Update.exe imports only functions on the
# watched list (src/platform/win32/imports.txt), naming any that is not. The
# CE builds after --ce (Update.exe and the Wine one, wine/Update.exe) must
# be 32-bit x86 programs for the Windows CE 6.0 GUI subsystem that import
# from coredll.dll alone, by name, only what src/platform/win32/ce/coredll.def
# lists.
# Usage: check_imports.sh WINDOWS_BUILD_DIR... [--ce CE_BUILD_DIR...]
set -eu
here=$(cd "$(dirname "$0")" && pwd)
list=$here/../../src/platform/win32/imports.txt
coredll_def=$here/../../src/platform/win32/ce/coredll.def

# imports EXE: "DLL FUNCTION" for each function in the import tables.
imports() {
  objdump=x86_64-w64-mingw32-objdump
  "$objdump" -f "$1" | grep -q 'file format pei-i386' && objdump=i686-w64-mingw32-objdump
  "$objdump" -p "$1" | awk '
    /DLL Name:/ { dll = $3; next }
    dll != "" && /^\t[0-9a-f]+\t +[0-9]+ +[A-Za-z_]/ { print dll, $3 }'
}

# coredll_names: "coredll.dll NAME" for each name coredll.def imports: the
# one after "==", or the decorated name without its "@N".
coredll_names() {
  sed -n '/^EXPORTS/,$p' "$coredll_def" | sed -e 's/;.*//' -e '/^EXPORTS/d' | awk '
    NF == 0 { next }
    { name = $1; sub(/@[0-9]+$/, "", name); if ($2 == "==") name = $3; print "coredll.dll", name }'
}

# ce_header EXE: its format, subsystem and versions, as objdump -p tells them.
ce_header() {
  i686-w64-mingw32-objdump -p "$1" | awk '
    /file format/ { format = $NF }
    { value[$1] = $2 }
    END {
      printf "%s, subsystem %d %s.%s, system %s.%s\n", format, value["Subsystem"],
        value["MajorSubsystemVersion"], value["MinorSubsystemVersion"],
        value["MajorOSystemVersion"], value["MinorOSystemVersion"]
    }'
}
ce_expected="pei-i386, subsystem 9 6.0, system 6.0"

# imports_by_ordinal EXE: how many functions it imports by ordinal alone.
imports_by_ordinal() {
  i686-w64-mingw32-objdump -p "$1" | grep -c '<none>' || true
}

listed=$(mktemp)
ce_listed=$(mktemp)
trap 'rm -f "$listed" "$ce_listed"' EXIT
grep -v '^#' "$list" | sed 's/ |.*//' | sort -u >"$listed"
coredll_names | sort -u >"$ce_listed"
status=0

# check EXE LIST: EXE imports only what LIST names.
check() {
  found=$(imports "$1" | sort -u)
  [ -n "$found" ] || { echo "imports: nothing read from $1"; status=1; return; }
  unlisted=$(echo "$found" | comm -23 - "$2")
  if [ -n "$unlisted" ]; then
    echo "$unlisted" | sed "s|^|imports: $1 imports a function not on the list: |"
    status=1
  else
    echo "imports: $1: $(echo "$found" | wc -l) functions, all on the list"
  fi
}

ce=
for build in "$@"; do
  [ "$build" != --ce ] || { ce=yes; continue; }
  if [ -z "$ce" ]; then
    check "$build/Update.exe" "$listed"
    continue
  fi
  for exe in "$build/Update.exe" "$build/wine/Update.exe"; do
    check "$exe" "$ce_listed"
    header=$(ce_header "$exe")
    [ "$header" = "$ce_expected" ] || { echo "imports: $exe is $header, not $ce_expected"; status=1; }
    [ "$(imports_by_ordinal "$exe")" -eq 0 ] || { echo "imports: $exe imports by ordinal"; status=1; }
  done
done
exit $status
