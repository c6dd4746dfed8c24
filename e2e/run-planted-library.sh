#!/usr/bin/env bash
# A library planted beside the program does not load: Tamrisk started from a folder that also holds a
# stranger's msimg32.dll (a library that the system's own load by bare name while the window draws)
# opens its window, scans and closes without ever loading it.
#
#   run-planted-library.sh TAMRISK_EXE UNHARDENED_EXE PLANTED_DLL CLICKSCAN_EXE WORK_DIR
#
# PLANTED_DLL leaves "<its path>.loaded" beside itself when anything loads it. Wine prefers its own
# copy of a system library to any other, so for these runs only WINEDLLOVERRIDES asks it to take a
# file it finds first (as Windows does). UNHARDENED_EXE is the same program without its start-up
# hardening: it must load the planted copy, or the test shows nothing and fails. Runs on the prefix and
# display of the environment (scripts/test sets them up); no other Tamrisk window may be open.
set -euo pipefail

if [ $# -ne 5 ]; then
  echo "usage: $0 TAMRISK_EXE UNHARDENED_EXE PLANTED_DLL CLICKSCAN_EXE WORK_DIR" >&2
  exit 2
fi
tamrisk_exe="$(realpath "$1")"
unhardened_exe="$(realpath "$2")"
planted="$(realpath "$3")"
clickscan="$(realpath "$4")"
work="$(realpath -m "$5")"
library=msimg32.dll

# Starts exe as Tamrisk.exe from a folder of its own beside the planted library, scans two quick
# categories through the window and closes it. Prints "loaded" when the planted copy was loaded.
run_beside_planted() {
  local exe="$1" folder="$2"
  rm -rf "$folder"
  mkdir -p "$folder"
  cp "$exe" "$folder/Tamrisk.exe"
  cp "$planted" "$folder/$library"
  # Software Locations (6) and Startup Programs (10) only: the window starts and a scan runs.
  { echo '[TreeViewNodeCheck]'; for code in $(seq 1 27); do
      if [ "$code" = 6 ] || [ "$code" = 10 ]; then echo "$code=1"; else echo "$code=0"; fi
    done; } > "$folder/options.ini"
  (cd "$folder" && WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-};${library%.dll}=n,b" \
     exec wine Tamrisk.exe </dev/null >"$folder/wine.log" 2>&1) &
  local program=$!
  if ! wine "$clickscan" 120 close </dev/null >"$folder/clickscan.log" 2>&1; then
    echo "FAIL: $(basename "$exe") did not start, scan and close:" >&2
    cat "$folder/clickscan.log" >&2
    wait "$program" || true
    return 1
  fi
  wait "$program" || true
  if [ -e "$folder/$library.loaded" ]; then echo loaded; else echo "not loaded"; fi
}

control="$(run_beside_planted "$unhardened_exe" "$work/unhardened")"
if [ "$control" != loaded ]; then
  echo "FAIL: the program without its hardening did not load the planted $library either;" \
       "this Wine no longer loads it on demand, so the test shows nothing. Pick another library." >&2
  exit 1
fi
result="$(run_beside_planted "$tamrisk_exe" "$work/hardened")"
if [ "$result" != "not loaded" ]; then
  echo "FAIL: Tamrisk.exe loaded the $library planted beside it" >&2
  exit 1
fi
echo "the planted $library was loaded by the unhardened program only"
