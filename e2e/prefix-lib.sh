# Shared by the end-to-end scripts that make a Wine prefix of their own. Source it; do not run it.
#
#   fresh_prefix PREFIX MARKER LOG      makes PREFIX afresh and exports the Wine environment for it
#   linux_path 'C:\a\b'                 the Linux path of that file inside the prefix
#   step TEXT, fail TEXT                a timed step line; a failed check, counted in failures
#   end_prefix_on_exit                  ends the prefix's programs and the X display at exit

# The prefix template and the 64-bit "wine" come from the scripts' library.
if ! declare -F clone_prefix >/dev/null; then
  # shellcheck source=../scripts/lib.sh
  . "$(dirname "${BASH_SOURCE[0]}")/../scripts/lib.sh"
fi

# "== [12 s] TEXT", counted from the script's own started=$SECONDS.
step() { echo "== [$((SECONDS - ${started:-0})) s] $*" >&2; }
failures=0
fail() {
  echo "FAIL: $*" >&2
  failures=$((failures + 1))
}

# When the script ends, the wineserver of $prefix (set by fresh_prefix) and what lib.sh started go
# with it; an X display is started when none is set.
prefix=""
end_prefix_on_exit() {
  trap 'if [ -n "$prefix" ]; then WINEPREFIX="$prefix" wineserver -k >/dev/null 2>&1 || true; fi
        for pid in "${TAMRISK_STARTED_PIDS[@]}"; do kill "$pid" >/dev/null 2>&1 || true; done' EXIT
  if [ -z "${DISPLAY:-}" ]; then start_xvfb; fi
}

# PREFIX must not exist yet, or hold the marker file MARKER that an earlier run left (it is then
# made afresh): a user's own prefix is never touched. The prefix is a clone of the tests' template
# (scripts/lib.sh), whose Desktop, Documents and the like are real folders, so scans see the prefix's
# folders alone, as on a new Windows. Wine runs with HOME set to PREFIX.home, and its output goes to
# the file LOG in the prefix. Sets prefix to PREFIX's full path.
fresh_prefix() {
  prefix="$(realpath -m "$1")"
  local marker_file="$prefix/$2" log="$prefix/$3"
  if [ -e "$prefix" ]; then
    if [ ! -e "$marker_file" ]; then
      echo "$prefix exists and is not a prefix of these tests; refusing to touch it" >&2
      return 1
    fi
    rm -rf "$prefix" "$prefix.home"
  fi
  mkdir -p "$(dirname "$prefix")"
  clone_prefix "$prefix" || return 1
  touch "$marker_file"
  export WINEPREFIX="$prefix"
  export WINEDEBUG=-all
  export WINEDLLOVERRIDES="mscoree,mshtml,winemenubuilder.exe="
  export HOME="$prefix.home"
  mkdir -p "$HOME"
  # Wine's services inherit the output of the first program; a file keeps them off the caller's pipes.
  wine cmd /c exit </dev/null >>"$log" 2>&1
}

linux_path() {
  local drive="${1:0:1}" rest="${1:3}"
  printf '%s/dosdevices/%s:/%s' "$prefix" "${drive,,}" "${rest//\\//}"
}
