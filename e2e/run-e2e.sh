#!/usr/bin/env bash
# End to end on a fixture prefix of its own: every category is scanned, cleaned and restored.
#
#   run-e2e.sh TAMRISK_EXE HELPER_EXE WORK_DIR
#
# 1. make-fixture.sh builds WORK_DIR/prefix afresh; Tamrisk.exe is copied into C:\TamriskE2E with an
#    options.ini that ticks every category and ignores one value and one key of the fixture.
# 2. "-report" lists exactly expected-rows.csv among its rows that mention the fixture (compared
#    sorted: the file system lists the shortcut folders in no fixed order). A second copy without
#    the ignore lists shows that they are what keeps expected-ignored-rows.csv out.
# 3. "-cleanonce", run with no Backup folder as on a new machine, makes the folder without a
#    question, logs its run, removes exactly expected-removed.txt from the fixture's part of the
#    registry exports (fixture-view.awk) and the shortcut files of the rows, and adds nothing.
# 4. A "-report" after it finds nothing more of the fixture.
# 5. "regedit /s" of the repair's backup file gives back the fixture's part of the exports byte for
#    byte, in export order.
# Runs its own wineserver for the prefix and stops it at the end; needs an X display (one is started
# when DISPLAY is not set). Exit code 0 when every check passed.
set -euo pipefail

if [ $# -ne 3 ]; then
  echo "usage: $0 TAMRISK_EXE HELPER_EXE WORK_DIR" >&2
  exit 2
fi
tamrisk_exe="$(realpath "$1")"
helper="$(realpath "$2")"
work="$(realpath -m "$3")"
here="$(cd "$(dirname "$0")" && pwd)"
MARKER=TamriskFixture
started=$SECONDS
# shellcheck source=prefix-lib.sh
. "$here/prefix-lib.sh"

prefix="$work/prefix"
mkdir -p "$work"
log="$work/e2e.log"
: >"$log"

xvfb_pid=""
cleanup() {
  if [ -n "${WINEPREFIX:-}" ] && [ -d "$prefix" ]; then wineserver -k >/dev/null 2>&1 || true; fi
  if [ -n "$xvfb_pid" ]; then kill "$xvfb_pid" 2>/dev/null || true; fi
}
trap cleanup EXIT

# Windows need a display; a run by hand without one gets an Xvfb of its own.
if [ -z "${DISPLAY:-}" ]; then
  display=120
  while [ -e "/tmp/.X${display}-lock" ] || [ -e "/tmp/.X11-unix/X${display}" ]; do display=$((display + 1)); done
  Xvfb ":$display" -screen 0 1280x1024x24 -nolisten tcp </dev/null >/dev/null 2>&1 &
  xvfb_pid=$!
  export DISPLAY=":$display"
  for _ in $(seq 1 100); do
    [ -e "/tmp/.X11-unix/X${display}" ] && break
    sleep 0.1
  done
fi

step "fixture prefix"
bash "$here/make-fixture.sh" "$prefix" "$helper" 2>>"$log"
# shellcheck source=/dev/null
. "$prefix/tamrisk-fixture.env"

export WINEPREFIX="$prefix"
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml,winemenubuilder.exe="
export HOME="$prefix.home"
wineserver -p </dev/null >/dev/null 2>&1
wine cmd /c exit </dev/null >>"$log" 2>&1

linux_path() {
  local drive="${1:0:1}" rest="${1:3}"
  printf '%s/dosdevices/%s:/%s' "$prefix" "${drive,,}" "${rest//\\//}"
}

# options.ini: FILE, the ticked category codes, then "ignore" for the fixture's ignore-list entries.
write_options() {
  local file="$1" codes=" $2 " ignore="${3:-}" n
  {
    printf '[TreeViewNodeCheck]\r\n'
    for n in $(seq 1 27); do
      if [[ "$codes" == *" $n "* ]]; then printf '%d=1\r\n' "$n"; else printf '%d=0\r\n' "$n"; fi
    done
    if [ "$ignore" = ignore ]; then
      printf '[IgnoreValue]\r\nCount=1\r\n'
      printf 'Value1=HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\CurrentVersion\\Run\\%sIgnored\r\n' "$MARKER"
      printf '[IgnoreKey]\r\nCount=1\r\nKey1=Software\\%sIgnoredKey\r\n' "$MARKER"
    fi
  } >"$file"
}

program_dir="$prefix/drive_c/TamriskE2E"
plain_dir="$program_dir/NoIgnore"
# No Backup folder: the first unattended run on a machine must make it without asking anyone.
mkdir -p "$program_dir" "$plain_dir"
cp "$tamrisk_exe" "$program_dir/Tamrisk.exe"
cp "$tamrisk_exe" "$plain_dir/Tamrisk.exe"
write_options "$program_dir/options.ini" "$(seq -s ' ' 1 27)" ignore
# The categories that report the ignored entries, without the ignore lists.
write_options "$plain_dir/options.ini" "4 5 10"

# Runs one copy of the program; a run that hangs (a message box nobody answers) is ended.
run_tamrisk() {
  local dir="$1"
  shift
  timeout 300 wine "$dir/Tamrisk.exe" "$@" </dev/null >>"$log" 2>&1
}

# The report's rows that mention the fixture, with the prefix's user name as %USERNAME%, sorted.
fixture_rows() {
  tr -d '\r' <"$1" | grep -i "$MARKER" | sed "s/\\\\users\\\\$FIXTURE_USER\\\\/\\\\users\\\\%USERNAME%\\\\/g" |
    LC_ALL=C sort || true
}
expected_rows() { tr -d '\r' <"$1" | tail -n +2 | LC_ALL=C sort; }

# The keys whose exports hold the fixture. Keys the repair removes whole are exported through a
# parent that stays.
export_keys=(
  'HKEY_LOCAL_MACHINE\Software\TamriskFixture'
  'HKEY_LOCAL_MACHINE\Software\Microsoft\Windows\CurrentVersion\App Paths'
  'HKEY_LOCAL_MACHINE\Software\Microsoft\Windows\CurrentVersion\SharedDlls'
  'HKEY_LOCAL_MACHINE\Software\Microsoft\Windows\CurrentVersion\Run'
  'HKEY_LOCAL_MACHINE\Software\Microsoft\Windows\CurrentVersion\RunOnce'
  'HKEY_LOCAL_MACHINE\Software\Microsoft\Windows\CurrentVersion\Uninstall'
  'HKEY_LOCAL_MACHINE\Software\Microsoft\Windows\CurrentVersion\Installer\Folders'
  'HKEY_LOCAL_MACHINE\Software\Microsoft\Windows\CurrentVersion\App Management\ARPCache'
  'HKEY_LOCAL_MACHINE\Software\Microsoft\Windows NT\CurrentVersion\Fonts'
  'HKEY_LOCAL_MACHINE\Software\Microsoft\Windows\Help'
  'HKEY_LOCAL_MACHINE\Software\Microsoft\Windows\Html Help'
  'HKEY_LOCAL_MACHINE\Software\Microsoft\Shared Tools\MSConfig'
  'HKEY_LOCAL_MACHINE\Software\Classes\.tamriskfixturegone'
  'HKEY_LOCAL_MACHINE\Software\Classes\.tamriskfixtureused'
  'HKEY_LOCAL_MACHINE\Software\Classes\.tamriskfixturenodefault'
  'HKEY_LOCAL_MACHINE\Software\Classes\tamriskfixturefile'
  'HKEY_LOCAL_MACHINE\Software\Classes\CLSID\{TamriskFixture-Gone}'
  'HKEY_LOCAL_MACHINE\Software\Classes\CLSID\{TamriskFixture-Present}'
  'HKEY_LOCAL_MACHINE\Software\Classes\CLSID\{TamriskFixture-Relative}'
  'HKEY_LOCAL_MACHINE\Software\Classes\TypeLib\{TamriskFixture-Lib}'
  'HKEY_LOCAL_MACHINE\Software\Classes\TypeLib\{TamriskFixture-LibPresent}'
  'HKEY_LOCAL_MACHINE\Software\Classes\Applications\tamriskfixture.exe'
  'HKEY_LOCAL_MACHINE\Software\Classes\Applications\tamriskfixturepresent.exe'
  'HKEY_LOCAL_MACHINE\Software\TamriskFixtureObsoleteMachine'
  'HKEY_LOCAL_MACHINE\SYSTEM\CurrentControlSet\Services\TamriskFixtureGone'
  'HKEY_LOCAL_MACHINE\SYSTEM\CurrentControlSet\Services\TamriskFixtureExpand'
  'HKEY_LOCAL_MACHINE\SYSTEM\CurrentControlSet\Services\TamriskFixturePresent'
  'HKEY_LOCAL_MACHINE\SYSTEM\CurrentControlSet\Services\TamriskFixtureRelative'
  'HKEY_USERS'
)

# Exports every key with "regedit /e" (one batch file, one Wine start) and writes the fixture view
# of all of them, in this order, to WORK_DIR/view-NAME.txt. A key that is gone exports nothing.
snapshot() {
  local name="$1" folder="$program_dir/export-$1" i=0 key
  rm -rf "$folder"
  mkdir -p "$folder"
  {
    printf '@echo off\r\n'
    for key in "${export_keys[@]}"; do
      i=$((i + 1))
      printf 'regedit /e "C:\\TamriskE2E\\export-%s\\%02d.reg" "%s"\r\n' "$name" "$i" "$key"
    done
  } >"$folder/export.cmd"
  wine cmd /c "C:\\TamriskE2E\\export-$name\\export.cmd" </dev/null >>"$log" 2>&1 || true
  : >"$work/view-$name.txt"
  for file in "$folder"/*.reg; do
    [ -e "$file" ] || continue
    iconv -f UTF-16 -t UTF-8 "$file" | awk -v marker="$MARKER" -f "$here/fixture-view.awk" >>"$work/view-$name.txt"
  done
}

compare() {
  local what="$1" expected="$2" actual="$3"
  if ! diff -u "$expected" "$actual" >"$work/diff.txt"; then
    fail "$what"
    cat "$work/diff.txt" >&2
  fi
}

step "report, report without the ignore lists, and exports before the repair"
run_tamrisk "$program_dir" -report 'C:\TamriskE2E\report-before.csv' &
report_pid=$!
run_tamrisk "$plain_dir" -report 'C:\TamriskE2E\NoIgnore\report.csv' &
plain_pid=$!
snapshot before
wait "$report_pid" || fail "-report ended with exit code $?"
wait "$plain_pid" || fail "-report without ignore lists ended with exit code $?"

expected_rows "$here/expected-rows.csv" >"$work/rows-expected.txt"
fixture_rows "$program_dir/report-before.csv" >"$work/rows-before.txt"
compare "-report: the fixture's rows differ from expected-rows.csv" "$work/rows-expected.txt" "$work/rows-before.txt"

expected_rows "$here/expected-ignored-rows.csv" >"$work/ignored-expected.txt"
fixture_rows "$plain_dir/report.csv" | grep -i "${MARKER}Ignored" >"$work/ignored-found.txt" || true
compare "without the ignore lists the ignored entries are not reported as expected" \
  "$work/ignored-expected.txt" "$work/ignored-found.txt"
if grep -qi "${MARKER}Ignored" "$work/rows-before.txt"; then fail "-report lists rows that the ignore lists cover"; fi

step "-cleanonce"
run_tamrisk "$program_dir" -cleanonce || fail "-cleanonce ended with exit code $?"
if ! tr -d '\r' <"$program_dir/Tamrisk.log" 2>/dev/null | grep -q -- '-cleanonce  categories .* exit 0$'; then
  fail "-cleanonce wrote no log line that says it finished"
fi
backups=("$program_dir"/Backup/Backup*.reg)
if [ "${#backups[@]}" -ne 1 ] || [ ! -e "${backups[0]}" ]; then
  fail "-cleanonce left ${#backups[@]} backup files instead of one"
fi
for shortcut in "${FIXTURE_SHORTCUTS_GONE[@]}"; do
  if [ -e "$(linux_path "$shortcut")" ]; then fail "the shortcut $shortcut was not removed"; fi
done
for shortcut in "${FIXTURE_SHORTCUTS_KEPT[@]}"; do
  if [ ! -e "$(linux_path "$shortcut")" ]; then fail "the shortcut $shortcut was removed"; fi
done

step "report and exports after the repair"
run_tamrisk "$program_dir" -report 'C:\TamriskE2E\report-after.csv' &
report_pid=$!
snapshot after
wait "$report_pid" || fail "-report after the repair ended with exit code $?"

LC_ALL=C sort "$work/view-before.txt" >"$work/view-before.sorted"
LC_ALL=C sort "$work/view-after.txt" >"$work/view-after.sorted"
LC_ALL=C comm -23 "$work/view-before.sorted" "$work/view-after.sorted" >"$work/removed.txt"
LC_ALL=C comm -13 "$work/view-before.sorted" "$work/view-after.sorted" >"$work/added.txt"
tr -d '\r' <"$here/expected-removed.txt" | awk '!/^#/ && NF' | LC_ALL=C sort >"$work/removed-expected.txt"
compare "-cleanonce removed other fixture entries than expected-removed.txt" \
  "$work/removed-expected.txt" "$work/removed.txt"
if [ -s "$work/added.txt" ]; then
  fail "-cleanonce added fixture entries"
  cat "$work/added.txt" >&2
fi
fixture_rows "$program_dir/report-after.csv" >"$work/rows-after.txt"
if [ -s "$work/rows-after.txt" ]; then
  fail "a scan after -cleanonce still finds fixture entries"
  cat "$work/rows-after.txt" >&2
fi

step "restore from the backup"
if [ -e "${backups[0]}" ]; then
  if [ "$(iconv -f UTF-16 -t UTF-8 "${backups[0]}" | head -n 1 | tr -d '\r')" != "Windows Registry Editor Version 5.00" ] ||
    [ "$(head -c 2 "${backups[0]}" | od -An -tx1 | tr -d ' ')" != fffe ]; then
    fail "the backup file is not a UTF-16 registry editor 5.00 file"
  fi
  backup_name="$(basename "${backups[0]}")"
  wine regedit /s "C:\\TamriskE2E\\Backup\\$backup_name" </dev/null >>"$log" 2>&1 || fail "regedit /s of the backup failed"
  snapshot restored
  if ! cmp -s "$work/view-before.txt" "$work/view-restored.txt"; then
    fail "importing the backup did not give back the fixture's exports byte for byte"
    diff -u "$work/view-before.txt" "$work/view-restored.txt" >&2 || true
  fi
fi

step "done: $failures failed check(s)"
[ "$failures" -eq 0 ]
