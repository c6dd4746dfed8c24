#!/usr/bin/env bash
# The packages as a user and an administrator meet them, on a Wine prefix made afresh:
#
#   run-install.sh TAMRISK_EXE WORK_DIR
#
# Builds the MSI of TAMRISK_EXE's build (with its Hivora.chm) and one of a higher version, then:
# - "msiexec /i ... /qn SCHEDULE=weekly REPORTONLY=1" puts the program and its help file into
#   Program Files\Tamrisk, a Start menu shortcut, an uninstall entry with version, publisher and icon,
#   and the scheduled task; the installed program runs "-report" and answers "/?" on its output;
# - the higher version upgrades in place: one uninstall entry, the new version, options.ini and the
#   task kept;
# - "msiexec /x {ProductCode} /qn" leaves no file in Program Files, no uninstall entry, no task and
#   no shortcut, and a scan of every category by another copy lists nothing of Tamrisk.
# Wine's msiexec returns before its service has finished: "wineserver -w" waits for it.
set -euo pipefail

if [ $# -ne 2 ]; then
  echo "usage: $0 TAMRISK_EXE WORK_DIR" >&2
  exit 2
fi
tamrisk_exe="$(realpath "$1")"
work="$(realpath -m "$2")"
here="$(cd "$(dirname "$0")" && pwd)"
started=$SECONDS
# The build the program comes from (its version header, its help file).
TAMRISK_BUILD="$(dirname "$(dirname "$tamrisk_exe")")"
# shellcheck source=../scripts/lib.sh
. "$here/../scripts/lib.sh"
# shellcheck source=prefix-lib.sh
. "$here/prefix-lib.sh"

end_prefix_on_exit

step "two packages: this build's version and a higher one"
version="$(tamrisk_version)"
IFS=. read -r major minor build _ <<<"$version"
higher="$major.$minor.$((${build:-0} + 1))"
mkdir -p "$work"
stage_package "$work/stage"
build_msi "$work/stage" "$version" "$work/Tamrisk-$version.msi"
build_msi "$work/stage" "$higher" "$work/Tamrisk-$higher.msi"

step "a fresh prefix"
fresh_prefix "$work/prefix" .tamrisk-install-prefix wine.log
wine_log="$prefix/wine.log"
wineserver -p </dev/null >/dev/null 2>&1 || true

program_dir="$prefix/drive_c/Program Files/Tamrisk"
task_file="$prefix/drive_c/windows/system32/tasks/Tamrisk scheduled clean"
uninstall_key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall'

msiexec() {
  wine msiexec "$@" </dev/null >>"$wine_log" 2>&1 || return 1
  wineserver -w
}
# The uninstall entries whose DisplayName is ours, one "KEY<TAB>NAME<TAB>DATA" line per value.
our_entries() {
  wine reg query "$uninstall_key" /s </dev/null 2>>"$wine_log" | tr -d '\r' | awk '
    /^HKEY_/ { key = $0; next }
    /^    [^ ]/ { sub(/^    /, ""); split($0, f, /    /); values[key] = values[key] f[1] "\t" f[3] "\n"; if (f[1] == "DisplayName" && f[3] == "Varkon Tamrisk") ours[key] = 1 }
    END { for (k in ours) { n = split(values[k], lines, "\n"); for (i = 1; i < n; i++) print k "\t" lines[i] } }'
}
entry_value() { our_entries | awk -F'\t' -v name="$1" '$2 == name { print $3 }'; }
shortcuts() { find "$prefix/drive_c" -name 'Varkon Tamrisk.lnk' 2>/dev/null; }

step "install with a schedule, as an administrator's script would"
msiexec /i "$(winepath -w "$work/Tamrisk-$version.msi" 2>/dev/null)" /qn SCHEDULE=weekly REPORTONLY=1 ||
  fail "msiexec /i failed"
for file in Tamrisk.exe Hivora.chm; do
  [ -f "$program_dir/$file" ] || fail "$file is not in Program Files\\Tamrisk"
done
[ -n "$(shortcuts)" ] || fail "no Start menu shortcut"
[ "$(our_entries | cut -f1 | sort -u | wc -l)" -eq 1 ] || fail "not one uninstall entry: $(our_entries)"
[ "$(entry_value DisplayVersion)" = "$version" ] || fail "uninstall entry version: $(entry_value DisplayVersion)"
[ "$(entry_value Publisher)" = "Varkon Software" ] || fail "uninstall entry publisher: $(entry_value Publisher)"
[ "$(entry_value DisplayIcon)" = 'C:\Program Files\Tamrisk\Tamrisk.exe,0' ] ||
  fail "uninstall entry icon: $(entry_value DisplayIcon)"
[ -f "$task_file" ] || fail "SCHEDULE=weekly registered no task"
product="$(our_entries | head -1 | cut -f1)"
product="${product##*\\}"

step "the installed program reports and answers /?"
set +e
wine 'C:\Program Files\Tamrisk\Tamrisk.exe' -report 'C:\installed-report.csv' </dev/null >>"$wine_log" 2>&1
code=$?
set -e
{ [ "$code" -eq 0 ] || [ "$code" -eq 2 ]; } || fail "the installed -report exited $code"
head -c 40 "$prefix/drive_c/installed-report.csv" | grep -q 'Problem,Registry key' || fail "the installed -report wrote no report"
wine 'C:\Program Files\Tamrisk\Tamrisk.exe' /? </dev/null >"$work/usage.txt" 2>>"$wine_log" || fail "/? exited non-zero"
grep -q -- '-setschedule' "$work/usage.txt" || fail "/? wrote no switches: $(head -3 "$work/usage.txt")"
grep -q 'Exit codes' "$work/usage.txt" || fail "/? wrote no exit codes"

step "a higher version upgrades in place"
printf '[Options]\r\nIncludeCDdrive=1\r\n' >"$program_dir/options.ini"
msiexec /i "$(winepath -w "$work/Tamrisk-$higher.msi" 2>/dev/null)" /qn || fail "msiexec /i of $higher failed"
[ "$(our_entries | cut -f1 | sort -u | wc -l)" -eq 1 ] || fail "after the upgrade, not one uninstall entry: $(our_entries)"
[ "$(entry_value DisplayVersion)" = "$higher" ] || fail "after the upgrade, version $(entry_value DisplayVersion)"
[ -f "$program_dir/Tamrisk.exe" ] || fail "the upgrade left no Tamrisk.exe"
grep -q 'IncludeCDdrive=1' "$program_dir/options.ini" 2>/dev/null || fail "the upgrade lost options.ini"
[ -f "$task_file" ] || fail "the upgrade lost the scheduled task"
product="$(our_entries | head -1 | cut -f1)"
product="${product##*\\}"

step "uninstall $product"
msiexec /x "$product" /qn || fail "msiexec /x failed"
if [ -e "$program_dir" ]; then fail "left in Program Files: $(find "$program_dir" | head -5)"; fi
[ -z "$(our_entries)" ] || fail "the uninstall entry is still there"
[ ! -e "$task_file" ] || fail "the scheduled task is still there"
[ -z "$(shortcuts)" ] || fail "the shortcut is still there: $(shortcuts)"

step "a scan of every category by another copy"
mkdir -p "$prefix/drive_c/Other"
cp "$tamrisk_exe" "$prefix/drive_c/Other/Tamrisk.exe"
set +e
wine 'C:\Other\Tamrisk.exe' -report 'C:\Other\after.csv' </dev/null >>"$wine_log" 2>&1
set -e
[ -f "$prefix/drive_c/Other/after.csv" ] || fail "the other copy wrote no report"
if grep -i 'tamrisk' "$prefix/drive_c/Other/after.csv" | grep -iv 'C:\\Other\\' >"$work/left.csv"; then
  fail "the scan lists what the package left: $(head -5 "$work/left.csv")"
fi

step "done, $failures failures"
[ "$failures" -eq 0 ]
