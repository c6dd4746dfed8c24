#!/usr/bin/env bash
# Do no harm on a healthy system: on a Wine prefix made afresh, which nobody has touched, a scan of
# every category may report only what is really broken.
#
#   run-healthy.sh TAMRISK_EXE HELPER_EXE WORK_DIR
#
# Makes WORK_DIR/prefix afresh, runs "Tamrisk.exe -report" with every category ticked, and checks
# each reported row by a route of its own, not the program's:
# - a row that names a file, folder or program: the test finds the path in the text itself (quotes,
#   arguments, ";" lists and %VARIABLES% as the prefix sets them) and looks for it through the
#   prefix's Linux path, ignoring letter case; the row fails when something is there;
# - a row that would delete a key: it fails when the key is, or holds, one the system owns (the
#   owner table below);
# - a row that neither route can check fails too, so no new kind of row passes unseen.
# HELPER_EXE is FixtureHelper.exe (it names the prefix's shell folders). Needs an X display (one is
# started when DISPLAY is not set). Exit code 0 when no row is wrong.
set -euo pipefail

if [ $# -ne 3 ]; then
  echo "usage: $0 TAMRISK_EXE HELPER_EXE WORK_DIR" >&2
  exit 2
fi
tamrisk_exe="$(realpath "$1")"
helper="$(realpath "$2")"
work="$(realpath -m "$3")"
here="$(cd "$(dirname "$0")" && pwd)"
started=$SECONDS
# shellcheck source=../scripts/lib.sh
. "$here/../scripts/lib.sh"
# shellcheck source=prefix-lib.sh
. "$here/prefix-lib.sh"

# Subkeys of Software (the machine's and the user's) that Windows or Wine makes and reads itself.
OWNED_SOFTWARE_KEYS=(Classes Clients Microsoft Policies 'Registered Applications' RegisteredApplications
                     Wow6432Node ODBC Intel Wine)

end_prefix_on_exit

step "a fresh prefix"
mkdir -p "$work"
fresh_prefix "$work/prefix" .tamrisk-healthy-prefix wine.log
log="$prefix/wine.log"
# A server that stays for the rest of the run (the one the prefix's first program started may still
# be there; then that one is used).
wineserver -p </dev/null >/dev/null 2>&1 || true

# The prefix's environment (upper-case names) and shell folders, as its programs see them.
declare -A env_value folder
while IFS='=' read -r name value; do
  if [ -n "$name" ]; then env_value[${name^^}]="${value%$'\r'}"; fi
done < <(wine cmd /c set </dev/null 2>>"$log")
while IFS=$'\t' read -r csidl path; do
  folder[$csidl]="${path%$'\r'}"
done < <(wine "$helper" folders </dev/null 2>>"$log")

step "-report with every category"
program_dir="$prefix/drive_c/TamriskHealthy"
mkdir -p "$program_dir"
cp "$tamrisk_exe" "$program_dir/Tamrisk.exe"
{
  printf '[TreeViewNodeCheck]\r\n'
  for n in $(seq 1 27); do printf '%d=1\r\n' "$n"; done
} >"$program_dir/options.ini"
timeout 300 wine 'C:\TamriskHealthy\Tamrisk.exe' -report 'C:\TamriskHealthy\report.csv' </dev/null >>"$log" 2>&1 || {
  echo "FAIL: -report ended with exit code $?" >&2
  exit 1
}

# ---- the file route ----

# %NAME% replaced by the prefix's value of NAME, where it has one.
expand_variables() {
  local text="$1" out="" name
  while [[ "$text" == *%*%* ]]; do
    out+="${text%%\%*}"
    text="${text#*%}"
    name="${text%%\%*}"
    text="${text#*%}"
    if [ -n "${env_value[${name^^}]+set}" ]; then out+="${env_value[${name^^}]}"; else out+="%$name%"; fi
  done
  printf '%s' "$out$text"
}

# Whether a Windows path with a drive letter leads to a file or folder, looking up each step of it
# ignoring letter case as Windows does.
present() {
  local path="$1" drive="${1:0:1}" dir step match
  [[ "$path" =~ ^[A-Za-z]:\\ ]] || return 1
  dir="$prefix/dosdevices/${drive,,}:"
  local -a steps
  IFS='\' read -r -a steps <<<"${path:3}"
  for step in "${steps[@]}"; do
    [ -z "$step" ] && continue
    if [ -e "$dir/$step" ]; then
      dir="$dir/$step"
      continue
    fi
    match="$(find "$dir/" -mindepth 1 -maxdepth 1 -iname "$(printf '%s' "$step" | sed 's/[][*?\\]/\\&/g')" \
      -print -quit 2>/dev/null)"
    [ -n "$match" ] || return 1
    dir="$match"
  done
  [ -e "$dir" ]
}

# The paths a registry text may name: the text, each part of a ";" list, and each of these cut where
# a command line could end its program (a space, ",", "/" ...), also with ".exe" added.
candidate_paths() {
  local text="$1" part i
  [[ "$text" == \"* ]] && text="${text#\"}" && text="${text%%\"*}"
  text="$(expand_variables "$text")"
  local -a parts
  IFS=';' read -r -a parts <<<"$text"
  for part in "$text" "${parts[@]}"; do
    [[ "$part" =~ ^[A-Za-z]:\\ ]] || continue
    printf '%s\n' "$part"
    for ((i = 3; i < ${#part}; i++)); do
      case "${part:i:1}" in
        ' ' | ',' | '/' | '<' | '>' | '|' | '*' | '?' | ':') printf '%s\n%s.exe\n' "${part:0:i}" "${part:0:i}" ;;
      esac
    done
  done
}

# 0: the text names a path and nothing is there; 1: something is there; 2: no path to look for.
path_verdict() {
  local found=2 candidate
  while IFS= read -r candidate; do
    found=0
    if present "$candidate"; then return 1; fi
  done < <(candidate_paths "$1")
  return "$found"
}

# A font by bare name lives in the Fonts folder, or, under Wine, in Wine's own fonts folder.
font_verdict() {
  local name="$1" data="${env_value[WINEDATADIR]:-}"
  [[ "$name" == *\\* ]] && { path_verdict "$name"; return; }
  if present "${folder[20]}\\$name"; then return 1; fi
  if [ -n "$data" ] && present "${data#"\\??\\"}\\fonts\\$name"; then return 1; fi
  return 0
}

# The data of a value whose name the row shows in its own column.
value_data() {
  wine reg query "$1" /v "$2" </dev/null 2>>"$log" | tr -d '\r' |
    awk -v name="$2" 'index($0, "    " name "    REG_") == 1 { sub(/^    .*    REG_[A-Z_]*    /, ""); print; exit }'
}

# The program a firewall rule lets through: its "App=" field.
rule_program() { tr '|' '\n' <<<"$1" | sed -n 's/^[Aa][Pp][Pp]=//p' | head -n 1; }

# A shell extension handler's class: 0 when it is not registered, else the verdict on its server.
class_verdict() {
  local server
  wine reg query "HKCR\\CLSID\\$1" </dev/null >/dev/null 2>>"$log" || return 0
  server="$(wine reg query "HKCR\\CLSID\\$1\\InprocServer32" /ve </dev/null 2>>"$log" | tr -d '\r' |
    sed -n 's/^    ([^)]*)    REG_[A-Z_]*    //p' | head -n 1)"
  [ -n "$server" ] || return 1
  path_verdict "$server"
}

# ---- the owner route ----

# Whether deleting the key would delete Software itself or one of the keys the system owns.
protected_key() {
  local key="${1,,}" root owned
  key="${key%\\}"
  for root in hkey_local_machine hkey_current_user; do
    [ "$key" = "$root\\software" ] && return 0
    for owned in "${OWNED_SOFTWARE_KEYS[@]}"; do
      owned="$root\\software\\${owned,,}"
      [[ "$owned" == "$key" || "$owned" == "$key"\\* ]] && return 0
    done
  done
  return 1
}

# ---- every row ----

step "checking each row by a route of its own"
# The CSV as fields separated by US (0x1f), one row a line; quotes, a byte-order mark and the "'"
# that guards a field against formulas are undone.
rows_of() {
  sed '1s/^\xEF\xBB\xBF//; s/\r$//' "$1" | awk 'NR == 1 { next }
    {
      line = $0; out = ""; field = ""; quoted = 0
      for (i = 1; i <= length(line); i++) {
        c = substr(line, i, 1)
        if (quoted && c == "\"" && substr(line, i + 1, 1) == "\"") { field = field "\""; i++ }
        else if (c == "\"") quoted = !quoted
        else if (c == "," && !quoted) { out = out unguard(field) "\037"; field = "" }
        else field = field c
      }
      print out unguard(field)
    }
    function unguard(f) { return (f ~ /^'"'"'[=+@-]/) ? substr(f, 2) : f }'
}

total=0
wrong=0
while IFS=$'\037' read -r problem key value kind reason; do
  total=$((total + 1))
  # 0 really broken, 1 an existing target, 2 no route, 3 a key the system owns, 4 no reason given
  verdict=0
  case "$problem|$kind" in
    "Obsolete Software Key|"* | "Add/Remove Programs Issue|"* | "Unused File Extension|"* | \
    "Installer Refrence Issue|rkSubkeyInColumn")
      ;;  # keys alone: the owner route below
    "Per-User Program Issue|rkSubkeyInColumn") ;;  # an empty uninstall entry: the owner route
    "Firewall Rule Issue|"*) path_verdict "$(rule_program "$(value_data "$key" "$value")")" || verdict=$? ;;
    "MUI Cache Issue|"*) path_verdict "$(sed -E 's/\.(FriendlyAppName|ApplicationCompany)$//' <<<"$value")" || verdict=$? ;;
    "Compatibility Setting Issue|"*) path_verdict "$value" || verdict=$? ;;
    "Shell Extension Issue|"*) class_verdict "$value" || verdict=$? ;;
    "Old Start Menu Key|"*)
      if present "${folder[2]}\\$value" || present "${folder[23]}\\$value"; then verdict=1; fi ;;
    "Fonts Issue|rkValueInColumn") font_verdict "$(value_data "$key" "$value")" || verdict=$? ;;
    "Fonts Issue|"*) font_verdict "$value" || verdict=$? ;;
    "Invalid File or Folder|rkValueInColumn" | "Missing MRU and History Lists file|rkValueInColumn" | \
    "Missing Startup Programs|rkValueInColumn")
      path_verdict "$(value_data "$key" "$value")" || verdict=$? ;;
    *) path_verdict "$value" || verdict=$? ;;
  esac
  case "$kind" in
    rkKey) protected_key "$key" && verdict=3 ;;
    rkSubkeyInColumn) protected_key "$key\\$value" && verdict=3 ;;
  esac
  [ -n "$reason" ] || verdict=4
  case "$verdict" in
    0) echo "   really broken: $problem | $key | $value | $reason" >&2 ;;
    1) echo "FAIL: names an existing target: $problem | $key | $value" >&2 ;;
    2) echo "FAIL: no route of this test can check: $problem | $key | $value | $kind" >&2 ;;
    3) echo "FAIL: offers a key the system owns: $problem | $key | $value" >&2 ;;
    4) echo "FAIL: says no reason why it is listed: $problem | $key | $value" >&2 ;;
  esac
  [ "$verdict" -eq 0 ] || wrong=$((wrong + 1))
done < <(rows_of "$program_dir/report.csv")

step "done: $total row(s), $wrong wrong"
[ "$wrong" -eq 0 ]
