#!/usr/bin/env bash
# What real installers leave behind: programs installed on a fresh 64-bit prefix by installers built
# here (NSIS, writing the 64-bit and the 32-bit registry view or, for one user alone, the user's
# keys, and Windows Installer packages made with wixl), then removed the way people remove them.
#
#   run-installers.sh TAMRISK_EXE WORK_DIR
#
# 1. Everything installed: "-report" with every category lists nothing of the programs.
# 2. Orvane Notes (64-bit), Kestrel Sync (32-bit view), Fenwick Clip (per user) and Quillon Reader
#    (MSI) lose their folders by hand; Brindle Tools runs its own uninstaller. "-report" must list exactly
#    installers/expected-rows.csv among its rows that mention the programs: every leftover, in both
#    views, each once (a firewall rule, a compatibility setting, the shell's name cache, context-menu
#    handlers and an icon overlay among them), and nothing of Larkspur Viewer, which stays installed.
# 3. "-cleanonce", then Larkspur Viewer still uninstalls with "msiexec /x", and a "-report" after it
#    lists nothing of any of the programs: the clean left nothing for a second pass.
# Needs an X display (one is started when DISPLAY is not set). Exit code 0 when every check passed.
set -euo pipefail

if [ $# -ne 2 ]; then
  echo "usage: $0 TAMRISK_EXE WORK_DIR" >&2
  exit 2
fi
tamrisk_exe="$(realpath "$1")"
work="$(realpath -m "$2")"
here="$(cd "$(dirname "$0")" && pwd)"
started=$SECONDS
# shellcheck source=../scripts/lib.sh
. "$here/../scripts/lib.sh"
# shellcheck source=prefix-lib.sh
. "$here/prefix-lib.sh"

PROGRAMS='Orvane|Kestrel|Brindle|Larkspur|Quillon|Fenwick'
LARKSPUR_CODE='{6B3E2A10-4C5D-4E6F-8A7B-9C0D1E2F3A41}'

end_prefix_on_exit

step "installers"
build="$work/installers"
rm -rf "$build"
mkdir -p "$build"
log="$build/build.log"
printf 'MZ Tamrisk installer-ring payload\n' >"$build/payload.exe"
for script in orvane kestrel32 brindle fenwick; do
  makensis -V2 "-DOUT=$build/$script-setup.exe" "-DPAYLOAD=$build/payload.exe" "$here/installers/$script.nsi" >>"$log"
done
# wixl takes sources relative to the folder it runs in.
cp "$here/installers/msi.wxs" "$build/"
make_msi() { # NAME VENDOR SHORT EXE GUID-STEM
  (cd "$build" && wixl -a x64 -D "ProductCode={$5-4C5D-4E6F-8A7B-9C0D1E2F3A41}" \
    -D "UpgradeCode={$5-4C5D-4E6F-8A7B-9C0D1E2F3A42}" -D "ComponentGuid={$5-4C5D-4E6F-8A7B-9C0D1E2F3A43}" \
    -D "Name=$1" -D "Vendor=$2" -D "Short=$3" -D "Exe=$4" -D Payload=payload.exe -o "$3.msi" msi.wxs) >>"$log" 2>&1
}
make_msi 'Larkspur Viewer' Larkspur Viewer larkspur.exe 6B3E2A10
make_msi 'Quillon Reader' Quillon Reader quillon.exe 7C4F3B21

step "fresh prefix"
fresh_prefix "$work/prefix" .tamrisk-installer-ring wine.log
log="$prefix/wine.log"
wineserver -p </dev/null >/dev/null 2>&1 || true
cp "$build"/*-setup.exe "$build"/*.msi "$prefix/drive_c/"
for setup in orvane kestrel32 brindle fenwick; do
  wine "C:\\$setup-setup.exe" /S </dev/null >>"$log" 2>&1 || fail "$setup-setup.exe ended with exit code $?"
done
for msi in Viewer Reader; do
  wine msiexec /i "C:\\$msi.msi" /qn </dev/null >>"$log" 2>&1 || fail "msiexec /i $msi.msi ended with exit code $?"
done
wineserver -w
program_files="$prefix/drive_c/Program Files"
for installed in "Orvane Notes/orvane.exe" "Brindle Tools/samples/demo.brd" "Larkspur Viewer/larkspur.exe" \
  "Quillon Reader/quillon.exe" "../Program Files (x86)/Kestrel Sync/kestrelext.dll" "../UserApps/Fenwick Clip/fenwick.exe"; do
  [ -e "$program_files/$installed" ] || fail "not installed: $installed"
done

program_dir="$prefix/drive_c/TamriskRing"
mkdir -p "$program_dir"
cp "$tamrisk_exe" "$program_dir/Tamrisk.exe"
# Every category ticked: a file without the key of a category counts it as ticked.
printf '[Options]\r\nOutputDirectory=C:\\TamriskRing\\Backup\r\n' >"$program_dir/options.ini"

run_tamrisk() { timeout 300 wine 'C:\TamriskRing\Tamrisk.exe' "$@" </dev/null >>"$log" 2>&1; }
# The report's rows that name one of the programs, sorted.
program_rows() { tr -d '\r' <"$1" | grep -E "$PROGRAMS" | LC_ALL=C sort || true; }
report() { # NAME: writes report-NAME.csv and rows-NAME.txt
  run_tamrisk -report "C:\\TamriskRing\\report-$1.csv" || fail "-report ($1) ended with exit code $?"
  program_rows "$program_dir/report-$1.csv" >"$work/rows-$1.txt"
}

step "everything installed: nothing of the programs is listed"
report installed
if [ -s "$work/rows-installed.txt" ]; then
  fail "rows of intact programs:"
  cat "$work/rows-installed.txt" >&2
fi

step "folders deleted by hand, one program removed by its uninstaller"
rm -rf "$program_files/Orvane Notes" "$prefix/drive_c/Program Files (x86)/Kestrel Sync" "$program_files/Quillon Reader" \
  "$prefix/drive_c/UserApps/Fenwick Clip"
wine 'C:\Program Files\Brindle Tools\uninstall.exe' /S </dev/null >>"$log" 2>&1 || fail "Brindle's uninstaller failed"
wineserver -w
if [ -e "$program_files/Brindle Tools/brindle.exe" ]; then fail "Brindle's uninstaller left its program"; fi
report leftovers
tr -d '\r' <"$here/installers/expected-rows.csv" | tail -n +2 | LC_ALL=C sort >"$work/rows-expected.txt"
if ! diff -u "$work/rows-expected.txt" "$work/rows-leftovers.txt" >"$work/diff.txt"; then
  fail "the leftovers listed differ from installers/expected-rows.csv"
  cat "$work/diff.txt" >&2
fi
duplicates=$(cut -d, -f2,3 "$work/rows-leftovers.txt" | sort | uniq -d)
[ -z "$duplicates" ] || fail "listed more than once: $duplicates"

step "-cleanonce, then the intact MSI program still uninstalls"
run_tamrisk -cleanonce || fail "-cleanonce ended with exit code $?"
# The vendors' keys the clean emptied (Orvane, Quillon, Kestrel's 32-bit one and Brindle's) went too.
tr -d '\r' <"$program_dir/Tamrisk.log" | tail -n 1 | grep -q '  emptied 4  ' ||
  fail "the log does not count the 4 emptied program keys: $(tail -n 1 "$program_dir/Tamrisk.log")"
wine msiexec /x "$LARKSPUR_CODE" /qn </dev/null >>"$log" 2>&1 || fail "msiexec /x Larkspur Viewer ended with exit code $?"
wineserver -w
if [ -e "$program_files/Larkspur Viewer/larkspur.exe" ]; then fail "msiexec /x left Larkspur Viewer's program"; fi
if wine reg query 'HKLM\Software\Larkspur' </dev/null >/dev/null 2>&1; then fail "msiexec /x left Larkspur's key"; fi

step "a report after the clean lists nothing of the programs"
report after
if [ -s "$work/rows-after.txt" ]; then
  fail "rows left for a second pass:"
  cat "$work/rows-after.txt" >&2
fi

step "done: $failures failure(s)"
[ "$failures" -eq 0 ]
