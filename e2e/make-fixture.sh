#!/usr/bin/env bash
# Builds a throwaway Wine prefix seeded with the end-to-end fixture: the registry entries of
# fixture.reg, the files and folders their "Present" paths name, shortcut files in the shell folders,
# and a CD-ROM drive E: (a drive the default options do not test).
#
#   make-fixture.sh PREFIX HELPER_EXE
#
# PREFIX must not exist yet, or be a prefix this script made before (it is then made afresh): a
# user's own prefix is never touched. HELPER_EXE is FixtureHelper.exe from the Windows build.
# Wine runs with HOME set to PREFIX.home, so the prefix's user folders are real folders of its own.
# The script ends when the prefix's wineserver has saved the registry and exited, so no persistent
# wineserver may be running for PREFIX. It writes PREFIX/tamrisk-fixture.env (the prefix's user name and
# the shortcut files, for the checks), the marker file PREFIX/.tamrisk-fixture-prefix at the start and
# PREFIX/.tamrisk-fixture-ready once everything is in place.
set -euo pipefail

if [ $# -ne 2 ]; then
  echo "usage: $0 PREFIX HELPER_EXE" >&2
  exit 2
fi
helper="$(realpath "$2")"
here="$(cd "$(dirname "$0")" && pwd)"
MARKER=TamriskFixture
# shellcheck source=prefix-lib.sh
. "$here/prefix-lib.sh"

echo "== creating the prefix $(realpath -m "$1")" >&2
fresh_prefix "$1" .tamrisk-fixture-prefix tamrisk-fixture.log
log="$prefix/tamrisk-fixture.log"

run_wine() { wine "$@" </dev/null >>"$log" 2>&1; }

make_file() {
  local target
  target="$(linux_path "$1")"
  mkdir -p "$(dirname "$target")"
  printf 'TamriskFixture\r\n' >"$target"
}

make_folder() { mkdir -p "$(linux_path "$1")"; }

# Shell folders by CSIDL number, as the prefix names them.
declare -A folder
while IFS=$'\t' read -r csidl path; do
  folder[$csidl]="${path%$'\r'}"
done < <(wine "$helper" folders </dev/null 2>>"$log")
for csidl in 2 8 11 16 20 22 23 25 26; do
  if [ -z "${folder[$csidl]:-}" ]; then
    echo "the prefix has no shell folder $csidl" >&2
    exit 1
  fi
done

echo "== files and folders" >&2
for name in app.exe tool.exe target.exe control.dll lib.dll shared.dll zero.dll tamriskfixturepresent.exe \
            service.exe doc.tamriskfixture font.ttf sound.wav; do
  make_file "C:\\$MARKER\\Present\\$name"
done
make_file "C:\\$MARKER\\Help\\tamriskfixture-present.hlp"
make_file "${folder[20]}\\tamriskfixture-present.ttf"
# The start menu order names one real Programs folder and one entry that is only a file.
make_folder "${folder[2]}\\$MARKER Present"
make_file "${folder[23]}\\$MARKER File Only"

echo "== registry" >&2
# E: becomes a CD-ROM drive backed by a folder of the prefix; the drive manager reads its type when
# the prefix next starts.
mkdir -p "$prefix/cdrom-e"
ln -sfn ../cdrom-e "$prefix/dosdevices/e:"
reg_file="$prefix/drive_c/windows/temp/tamrisk-fixture.reg"
{
  sed 's/\r$//; s/$/\r/' "$here/fixture.reg"
  printf '\r\n[HKEY_LOCAL_MACHINE\\Software\\Wine\\Drives]\r\n"e:"="cdrom"\r\n'
} >"$reg_file"
run_wine regedit /s 'C:\windows\temp\tamrisk-fixture.reg'
rm -f "$reg_file"

echo "== shortcuts" >&2
# LINK TARGET pairs. Gone targets are reported once per scanned shell folder that holds them: the
# user's Start Menu and Recent folders lie inside the application data folder, so those twice.
shortcuts=(
  "${folder[25]}\\$MARKER Gone.lnk"                          "C:\\$MARKER\\Gone\\target.exe"
  "${folder[22]}\\$MARKER Common Gone.lnk"                   "C:\\$MARKER\\Gone\\common.exe"
  "${folder[26]}\\$MARKER\\Deep\\$MARKER Deep.LNK"           "C:\\$MARKER\\Gone\\deep.exe"
  "${folder[2]}\\$MARKER Present\\$MARKER Menu Gone.lnk"     "C:\\$MARKER\\Gone\\menu.exe"
  "${folder[8]}\\$MARKER Recent.lnk"                         "C:\\$MARKER\\Gone\\recent.txt"
  "${folder[16]}\\$MARKER Present.lnk"                       "C:\\$MARKER\\Present\\target.exe"
  "${folder[16]}\\$MARKER Folder.lnk"                        "C:\\$MARKER\\Present"
  "${folder[16]}\\$MARKER Other Drive.lnk"                   "Q:\\$MARKER\\target.exe"
  "${folder[16]}\\$MARKER Cd.lnk"                            "E:\\$MARKER\\target.exe"
  "${folder[26]}\\$MARKER\\$MARKER Not A Shortcut.lnk"       "C:\\$MARKER\\Gone\\text.exe"
)
for ((i = 0; i < ${#shortcuts[@]}; i += 2)); do
  mkdir -p "$(dirname "$(linux_path "${shortcuts[i]}")")"
done
run_wine "$helper" shortcut "${shortcuts[@]}"
not_a_shortcut="$(linux_path "${folder[26]}\\$MARKER\\$MARKER Not A Shortcut.lnk")"
mv "$not_a_shortcut" "$not_a_shortcut.txt"

# What the checks need to know about this prefix.
{
  printf 'FIXTURE_USER=%q\n' "$(basename "$(dirname "$(linux_path "${folder[16]}")")")"
  printf 'FIXTURE_SHORTCUTS_GONE=(%s)\n' "$(printf '%q ' "${shortcuts[0]}" "${shortcuts[2]}" "${shortcuts[4]}" \
    "${shortcuts[6]}" "${shortcuts[8]}")"
  printf 'FIXTURE_SHORTCUTS_KEPT=(%s)\n' "$(printf '%q ' "${shortcuts[10]}" "${shortcuts[12]}" "${shortcuts[14]}" \
    "${shortcuts[16]}" "${shortcuts[18]}.txt")"
} >"$prefix/tamrisk-fixture.env"

# Let the server save the registry and exit, so the next start reads the new drive type. Once, on a
# loaded machine, the first program of that start still saw a fixed disk: ask again, after a pause
# and a fresh start, before giving up.
for _ in 1 2 3; do
  wineserver -w
  run_wine cmd /c exit
  drive_type="$(wine "$helper" drivetype E: </dev/null 2>>"$log" | tr -d '\r')"
  [ "$drive_type" != 5 ] || break
  sleep 2
done
wineserver -w
if [ "$drive_type" != 5 ]; then
  echo "E: did not become a CD-ROM drive (drive type '$drive_type')" >&2
  exit 1
fi
touch "$prefix/.tamrisk-fixture-ready"
echo "== fixture ready in $prefix" >&2
