#!/usr/bin/env bash
# What real installers leave behind: programs installed on a fresh 64-bit prefix that runs 32-bit
# programs as 64-bit Windows does (WoW64), by installers built here: 64-bit and 32-bit NSIS installers
# (the 32-bit ones NSIS's default stub, redirected by WoW64 like any 32-bit installer), one for one
# user alone, and Windows Installer packages made with wixl for both, then removed the way people
# remove them.
#
#   run-installers.sh TAMRISK_EXE WORK_DIR
#
# 1. Everything installed: "-report" with every category lists nothing of the programs.
# 2. Orvane Notes (64-bit), Kestrel Sync (32-bit), Fenwick Clip (per user), Quillon Reader (MSI) and
#    Heron Notes (32-bit MSI) lose their folders by hand; Brindle Tools runs its own uninstaller.
#    "-report" must list exactly installers/expected-rows.csv among its rows that mention the programs:
#    every leftover, in both views, each once (a firewall rule, a compatibility setting, the shell's
#    name cache, context-menu, thumbnail handlers and an icon overlay among them, uninstall entries
#    whole), and nothing of Larkspur Viewer and Tern Paint (32-bit), which stay installed, nor of
#    Kestrel's control in the system folder and library in the common files, which stay too.
# 3. "-cleanonce", then Larkspur Viewer still uninstalls with "msiexec /x", Tern Paint still starts and
#    its own uninstaller removes it, and a "-report" after it lists nothing of any of the programs:
#    the clean left nothing for a second pass.
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

PROGRAMS='Orvane|Kestrel|Brindle|Larkspur|Quillon|Fenwick|Tern|Heron'
LARKSPUR_CODE='{6B3E2A10-4C5D-4E6F-8A7B-9C0D1E2F3A41}'

end_prefix_on_exit

step "installers"
build="$work/installers"
rm -rf "$build"
mkdir -p "$build"
log="$build/build.log"
printf 'MZ Tamrisk installer-ring payload\n' >"$build/payload.exe"
i686-w64-mingw32-gcc-posix -O2 -s -o "$build/program32.exe" "$here/installers/program.c" >>"$log" 2>&1 ||
  fail "the 32-bit test program was not built"
for script in orvane kestrel32 tern32 brindle fenwick; do
  makensis -V2 "-DOUT=$build/$script-setup.exe" "-DPAYLOAD=$build/payload.exe" "-DPROGRAM=$build/program32.exe" \
    "$here/installers/$script.nsi" >>"$log"
done
# wixl takes sources relative to the folder it runs in.
cp "$here/installers/msi.wxs" "$build/"
make_msi() { # ARCH NAME VENDOR SHORT EXE GUID-STEM
  local arch="$1" folder=ProgramFiles64Folder win64=yes
  shift
  if [ "$arch" = x86 ]; then folder=ProgramFilesFolder win64=no; fi
  (cd "$build" && wixl -a "$arch" -D "ProgramFilesDir=$folder" -D "Win64=$win64" \
    -D "ProductCode={$5-4C5D-4E6F-8A7B-9C0D1E2F3A41}" \
    -D "UpgradeCode={$5-4C5D-4E6F-8A7B-9C0D1E2F3A42}" -D "ComponentGuid={$5-4C5D-4E6F-8A7B-9C0D1E2F3A43}" \
    -D "Name=$1" -D "Vendor=$2" -D "Short=$3" -D "Exe=$4" -D Payload=payload.exe -o "$3.msi" msi.wxs) >>"$log" 2>&1
}
make_msi x64 'Larkspur Viewer' Larkspur Viewer larkspur.exe 6B3E2A10
make_msi x64 'Quillon Reader' Quillon Reader quillon.exe 7C4F3B21
make_msi x86 'Heron Notes' Heron Notes heron.exe 8D5A4C32

step "fresh prefix"
fresh_prefix "$work/prefix" .tamrisk-installer-ring wine.log
log="$prefix/wine.log"
wineserver -p </dev/null >/dev/null 2>&1 || true
cp "$build"/*-setup.exe "$build"/*.msi "$prefix/drive_c/"
for setup in orvane kestrel32 tern32 brindle fenwick; do
  wine "C:\\$setup-setup.exe" /S </dev/null >>"$log" 2>&1 || fail "$setup-setup.exe ended with exit code $?"
done
for msi in Viewer Reader Notes; do
  wine msiexec /i "C:\\$msi.msi" /qn </dev/null >>"$log" 2>&1 || fail "msiexec /i $msi.msi ended with exit code $?"
done
wineserver -w
program_files="$prefix/drive_c/Program Files"
for installed in "Orvane Notes/orvane.exe" "Brindle Tools/samples/demo.brd" "Larkspur Viewer/larkspur.exe" \
  "Quillon Reader/quillon.exe" "../Program Files (x86)/Kestrel Sync/kestrelext.dll" "../UserApps/Fenwick Clip/fenwick.exe" \
  "../Program Files (x86)/Tern Paint/tern.exe" "../Program Files (x86)/Heron Notes/heron.exe" \
  "../Program Files (x86)/Common Files/Kestrel/kestrelcore.dll" "../windows/syswow64/kestrelctl.ocx" \
  "../windows/syswow64/ternctl.ocx"; do
  [ -e "$program_files/$installed" ] || fail "not installed: $installed"
done
# WoW64 put the 32-bit installers' system files in SysWOW64, not in the 64-bit system folder.
for file in kestrelctl.ocx ternctl.ocx; do
  if [ -e "$prefix/drive_c/windows/system32/$file" ]; then fail "not redirected to SysWOW64: $file"; fi
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
  "$prefix/drive_c/UserApps/Fenwick Clip" "$prefix/drive_c/Program Files (x86)/Heron Notes"
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
# The vendors' keys the clean emptied (Orvane, Quillon, Kestrel's and Heron's 32-bit ones and Brindle's)
# went too, and so did the class keys it left as stubs (Orvane's menu, Kestrel's extension).
tr -d '\r' <"$program_dir/Tamrisk.log" | tail -n 1 | grep -q '  emptied 7  ' ||
  fail "the log does not count the 7 emptied keys: $(tail -n 1 "$program_dir/Tamrisk.log")"
wine msiexec /x "$LARKSPUR_CODE" /qn </dev/null >>"$log" 2>&1 || fail "msiexec /x Larkspur Viewer ended with exit code $?"
wineserver -w
if [ -e "$program_files/Larkspur Viewer/larkspur.exe" ]; then fail "msiexec /x left Larkspur Viewer's program"; fi
if wine reg query 'HKLM\Software\Larkspur' </dev/null >/dev/null 2>&1; then fail "msiexec /x left Larkspur's key"; fi

# What stays of Kestrel Sync, its control in the system folder and its library in the 32-bit common
# files, stays registered.
for clsid in '{5A1F0C2E-7B3D-4E8A-9C61-2D4F8E0B7A14}' '{5A1F0C2E-7B3D-4E8A-9C61-2D4F8E0B7A15}'; do
  wine reg query "HKLM\\Software\\Classes\\Wow6432Node\\CLSID\\$clsid\\InprocServer32" </dev/null >/dev/null 2>&1 ||
    fail "the clean removed the registration of Kestrel's intact class $clsid"
done

step "-cleanonce left Tern Paint whole: it starts, and its own uninstaller removes it"
tern='C:\Program Files (x86)\Tern Paint'
wine "$tern\tern.exe" </dev/null >>"$log" 2>&1 || fail "Tern Paint does not start after the clean (exit code $?)"
wine "$tern\uninstall.exe" /S </dev/null >>"$log" 2>&1 || fail "Tern Paint's uninstaller failed"
wineserver -w
if [ -e "$program_files/../Program Files (x86)/Tern Paint/tern.exe" ]; then fail "Tern Paint's uninstaller left its program"; fi
if wine reg query 'HKLM\Software\Wow6432Node\Microsoft\Windows\CurrentVersion\Uninstall\TernPaint' </dev/null >/dev/null 2>&1; then
  fail "Tern Paint's uninstaller left its uninstall entry"
fi

step "a report after the clean lists nothing of the programs"
report after
if [ -s "$work/rows-after.txt" ]; then
  fail "rows left for a second pass:"
  cat "$work/rows-after.txt" >&2
fi

step "done: $failures failure(s)"
[ "$failures" -eq 0 ]
