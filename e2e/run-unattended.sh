#!/usr/bin/env bash
# An unattended run nobody sees: on a Wine prefix of its own with a few thousand stale entries,
# "Tamrisk.exe -cleanonce" must show no window at any moment, a window started by hand meanwhile
# must open, neither show the unattended run nor repair or restore until it has ended, and the
# run's backup must give back every value it took.
#
#   run-unattended.sh TAMRISK_EXE WATCH_EXE WORK_DIR [STALE_KEYS]
#
# WATCH_EXE is UnattendedWatch.exe, which starts the run, lists the windows every few milliseconds
# and plays the user at the screen. Needs an X display (one is started when DISPLAY is not set).
# Exit code 0 when all of it held.
set -euo pipefail

if [ $# -lt 3 ]; then
  echo "usage: $0 TAMRISK_EXE WATCH_EXE WORK_DIR [STALE_KEYS]" >&2
  exit 2
fi
tamrisk_exe="$(realpath "$1")"
watch_exe="$(realpath "$2")"
work="$(realpath -m "$3")"
stale_keys="${4:-10000}"
here="$(cd "$(dirname "$0")" && pwd)"
started=$SECONDS
# shellcheck source=../scripts/lib.sh
. "$here/../scripts/lib.sh"
# shellcheck source=prefix-lib.sh
. "$here/prefix-lib.sh"

# Each check here depends on the one before it: the first failure ends the run.
fail() {
  echo "FAIL: $*" >&2
  exit 1
}
end_prefix_on_exit

step "a fresh prefix"
mkdir -p "$work"
fresh_prefix "$work/prefix" .tamrisk-unattended-prefix wine.log
log="$prefix/wine.log"
wineserver -p </dev/null >/dev/null 2>&1 || true
# Without a window manager Wine waits whenever a window is hidden, unless it manages them itself.
wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f </dev/null >>"$log" 2>&1

step "$stale_keys stale entries"
key='HKEY_CURRENT_USER\Software\TamriskUnattended'
{
  printf 'REGEDIT4\r\n'
  for i in $(seq 1 "$stale_keys"); do
    printf '\r\n[%s\\App%05d]\r\n"Path"="C:\\\\TamriskGone\\\\app%05d.exe"\r\n' "$key" "$i" "$i"
  done
} >"$prefix/drive_c/stale.reg"
wine regedit /s 'C:\stale.reg' </dev/null >>"$log" 2>&1
wine regedit /e 'C:\before.reg' "$key" </dev/null >>"$log" 2>&1
[ -s "$prefix/drive_c/before.reg" ] || fail "the stale entries were not imported"

step "-cleanonce watched, with a window started by hand meanwhile"
program_dir="$prefix/drive_c/TamriskUnattended"
mkdir -p "$program_dir"
cp "$tamrisk_exe" "$program_dir/Tamrisk.exe"
cp "$watch_exe" "$prefix/drive_c/UnattendedWatch.exe"
# Files and Folders of the current user alone; a maximized window, which an unattended run once took
# over as well.
{
  printf '[TreeViewNodeCheck]\r\n'
  for n in $(seq 1 27); do printf '%d=%d\r\n' "$n" "$([ "$n" -le 2 ] || [ "$n" -eq 4 ] && echo 1 || echo 0)"; done
  printf '[Window]\r\nState=3\r\n'
} >"$program_dir/options.ini"
watched=0
timeout 280 wine 'C:\UnattendedWatch.exe' 'C:\TamriskUnattended\Tamrisk.exe' </dev/null 2>>"$log" \
  | tr -d '\r' | tee "$work/watch.txt" >&2 || watched=$?
[ "$watched" -eq 0 ] || fail "the watch failed (exit $watched)"

step "what the run did"
run_log="$(tr -d '\r' <"$program_dir/Tamrisk.log")"
echo "$run_log" >&2
[ "$(printf '%s\n' "$run_log" | grep -c -- '-cleanonce')" -eq 1 ] || fail "not one log line of the run"
printf '%s\n' "$run_log" | grep -q 'kept 0  backup .*  exit 0$' || fail "the run did not repair everything"
found="$(printf '%s\n' "$run_log" | sed -n 's/.*  found \([0-9]*\) .*/\1/p')"
[ "$found" -ge "$stale_keys" ] || fail "found $found rows, fewer than the $stale_keys stale entries"
mapfile -t backups < <(find "$program_dir/Backup" -name '*.reg')
[ "${#backups[@]}" -eq 1 ] || fail "${#backups[@]} backup files: the window must not have repaired"
wine regedit /e 'C:\after.reg' "$key" </dev/null >>"$log" 2>&1
if grep -q 'TamriskGone' "$prefix/drive_c/after.reg"; then fail "stale values are left"; fi

step "the backup gives back every value that went"
cp "${backups[0]}" "$prefix/drive_c/backup.reg"
wine regedit /s 'C:\backup.reg' </dev/null >>"$log" 2>&1
wine regedit /e 'C:\restored.reg' "$key" </dev/null >>"$log" 2>&1
cmp -s "$prefix/drive_c/before.reg" "$prefix/drive_c/restored.reg" || fail "the restored entries differ"
step "passed"
