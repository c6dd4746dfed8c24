# Shared by the project's scripts: installs what is missing, builds, and runs Wine on a private
# prefix with its own X display. Source it; do not run it.

TAMRISK_ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
TAMRISK_BUILD="${TAMRISK_BUILD:-$TAMRISK_ROOT/build}"
# "wine" is always the 64-bit loader (scripts/bin/wine), which runs 32-bit programs as WoW64 does.
case ":$PATH:" in *":$TAMRISK_ROOT/scripts/bin:"*) ;; *) export PATH="$TAMRISK_ROOT/scripts/bin:$PATH" ;; esac

TAMRISK_PACKAGES=(cmake make g++ googletest libbenchmark-dev wine wine64 wine32:i386 g++-mingw-w64-x86-64-posix
                  gcc-mingw-w64-i686-posix xvfb xauth imagemagick fp-utils xz-utils clang-format nsis wixl zip
                  fonts-wqy-microhei)

log() { printf '== %s\n' "$*" >&2; }

as_root() {
  if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi
}

# Installs only the packages that are missing, so a warm machine skips apt entirely.
ensure_packages() {
  local missing=()
  for package in "${TAMRISK_PACKAGES[@]}"; do
    dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed' || missing+=("$package")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  log "installing: ${missing[*]}"
  # Wine's 32-bit parts, so that prefixes run 32-bit programs as 64-bit Windows does.
  if ! dpkg --print-foreign-architectures | grep -qx i386; then as_root dpkg --add-architecture i386; fi
  as_root env DEBIAN_FRONTEND=noninteractive apt-get update -qq
  as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
}

# Fails when a C++ file differs from .clang-format (the style the code is written in).
check_format() {
  log "format check"
  command -v clang-format >/dev/null || { log "clang-format is missing"; return 1; }
  local files report
  mapfile -t files < <(cd "$TAMRISK_ROOT" && { git ls-files '*.cpp' '*.h' 2>/dev/null ||
    find . -path ./build -prune -o \( -name '*.cpp' -o -name '*.h' \) -print; })
  if ! report=$(cd "$TAMRISK_ROOT" && clang-format --dry-run --Werror "${files[@]}" 2>&1); then
    printf '%s\n' "$report" | grep 'error:' | head -20 >&2
    log "unformatted files: run clang-format -i on them"
    return 1
  fi
}

jobs_count() { nproc 2>/dev/null || echo 2; }

# Arguments go to cmake --build: "--target tamrisk_tests" builds only that.
build_native() {
  log "native build"
  cmake -S "$TAMRISK_ROOT" -B "$TAMRISK_BUILD/native" -DCMAKE_BUILD_TYPE=Debug -DTAMRISK_SANITIZE=ON >/dev/null
  cmake --build "$TAMRISK_BUILD/native" -j "$(jobs_count)" "$@"
}

build_windows() {
  log "Windows build (MinGW-w64)"
  cmake -S "$TAMRISK_ROOT" -B "$TAMRISK_BUILD/win" -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_TOOLCHAIN_FILE="$TAMRISK_ROOT/cmake/mingw-w64.cmake" >/dev/null
  cmake --build "$TAMRISK_BUILD/win" -j "$(jobs_count)"
}

# The version the version resource and the About box show: the build's generated header, made from
# the project's version in CMakeLists.txt.
tamrisk_version() {
  sed -n 's/^#define TAMRISK_VERSION_TEXT "\(.*\)"$/\1/p' "$TAMRISK_BUILD/win/generated/BuildInfo.h"
}

# What both packages hold, copied from the Windows build into STAGE: the program, its help file and
# the icon the uninstall entry shows.
stage_package() {
  local stage="$1"
  rm -rf "$stage"
  mkdir -p "$stage" &&
    cp "$TAMRISK_BUILD/win/Tamrisk.exe" "$TAMRISK_BUILD/win/Hivora.chm" "$TAMRISK_ROOT/ui/res/Tamrisk.ico" "$stage/"
}

# build_msi STAGE VERSION OUT: the Windows Installer package of installer/Tamrisk.wxs from a staged
# folder. wixl looks for the files named in the .wxs in its working folder.
build_msi() {
  local stage="$1" version="$2" out
  out="$(realpath -m "$3")"
  rm -f "$out"
  (cd "$stage" && wixl --arch x64 --define "Version=$version" --output "$out" "$TAMRISK_ROOT/installer/Tamrisk.wxs") &&
    [ -s "$out" ]
}

# build_portable_zip STAGE OUT: the program and its help file, to run from any folder.
build_portable_zip() {
  local stage="$1" out
  out="$(realpath -m "$2")"
  rm -f "$out"
  (cd "$stage" && zip -q -X "$out" Tamrisk.exe Hivora.chm)
}

# Both packages of the Windows build into build/dist: Tamrisk-<version>.msi and
# Tamrisk-<version>-portable.zip.
build_packages() {
  local version dist="$TAMRISK_BUILD/dist"
  version="$(tamrisk_version)"
  [ -n "$version" ] || { log "no version in $TAMRISK_BUILD/win/generated/BuildInfo.h"; return 1; }
  log "packages $version"
  mkdir -p "$dist"
  stage_package "$dist/stage" || return 1
  build_msi "$dist/stage" "$version" "$dist/Tamrisk-$version.msi" || { log "the MSI was not built"; return 1; }
  build_portable_zip "$dist/stage" "$dist/Tamrisk-$version-portable.zip" || return 1
  rm -rf "$dist/stage"
  log "wrote $dist/Tamrisk-$version.msi and $dist/Tamrisk-$version-portable.zip"
}

# A private Wine prefix: no Mono/Gecko prompts, no menu mirroring, and a scratch HOME so the prefix's
# desktop and documents folders link to an empty folder instead of the user's home.
use_wine_prefix() {
  export WINEPREFIX="${1:-$TAMRISK_BUILD/win/wineprefix}"
  export WINEDEBUG=-all
  export WINEDLLOVERRIDES="mscoree,mshtml,winemenubuilder.exe="
  export TAMRISK_WINE_HOME="${TAMRISK_WINE_HOME:-$TAMRISK_BUILD/win/home}"
  mkdir -p "$TAMRISK_WINE_HOME"
}

# A new prefix takes 1.3 GB: Wine copies every DLL of its 64-bit and its 32-bit half into it. So the
# prefixes of the tests are clones of one template made once per Wine version: the clones' DLLs and
# programs are hard links to the template's, which Wine only ever reads and maps; every other file
# (the registry, .ini files, logs) is a copy of the clone's own. Nothing may write into a clone's
# system DLLs in place: that would change the template and every other clone.
TAMRISK_PREFIX_TEMPLATE="${TAMRISK_PREFIX_TEMPLATE:-$TAMRISK_BUILD/win/prefix-template}"
TAMRISK_TEMPLATE_MARKER=.tamrisk-prefix-template

# Makes the template when it is missing or was made by another Wine. Several tests may ask at once: the
# first makes it, the others wait on the lock.
ensure_prefix_template() {
  local template="$TAMRISK_PREFIX_TEMPLATE" version
  version="$(wine --version 2>/dev/null)" || { log "wine does not start"; return 1; }
  mkdir -p "$(dirname "$template")"
  (
    flock 9
    [ "$(cat "$template/$TAMRISK_TEMPLATE_MARKER" 2>/dev/null)" = "$version" ] && exit 0
    rm -rf "$template" "$template.home"
    mkdir -p "$template" "$template.home"
    WINEPREFIX="$template" HOME="$template.home" WINEDEBUG=-all \
      WINEDLLOVERRIDES="mscoree,mshtml,winemenubuilder.exe=" wine cmd /c exit </dev/null >/dev/null 2>&1 &&
      WINEPREFIX="$template" wineserver -w || { log "Wine could not make the prefix template $template"; exit 1; }
    # A new prefix links Desktop, Documents and the like to HOME; real folders instead, so a scan sees
    # the prefix's folders alone, as on a new Windows.
    local user_dir link
    for user_dir in "$template/drive_c/users"/*; do
      for link in "$user_dir"/*; do
        if [ -L "$link" ]; then rm "$link" && mkdir "$link"; fi
      done
    done
    printf '%s' "$version" >"$template/$TAMRISK_TEMPLATE_MARKER"
  ) 9>"$template.lock"
}

# clone_prefix TARGET: a new prefix at TARGET (which must not exist) from the template. It is made
# beside TARGET and moved there whole, so a clone cut short is never taken for a prefix.
clone_prefix() {
  local target="$1" partial="$1.cloning"
  ensure_prefix_template || return 1
  rm -rf "$partial"
  # A file system without hard links gets whole copies, as without the template.
  if ! cp -al "$TAMRISK_PREFIX_TEMPLATE" "$partial" 2>/dev/null; then
    rm -rf "$partial"
    cp -a "$TAMRISK_PREFIX_TEMPLATE" "$partial" || return 1
  fi
  rm -f "$partial/$TAMRISK_TEMPLATE_MARKER"
  find "$partial" -type f -links +1 ! \( -iname '*.dll' -o -iname '*.exe' -o -iname '*.drv' -o -iname '*.sys' \
    -o -iname '*.ocx' -o -iname '*.cpl' -o -iname '*.acm' -o -iname '*.ax' -o -iname '*.tlb' -o -iname '*.ds' \
    -o -iname '*.nls' -o -iname '*.vxd' -o -iname '*.com' \) -exec sh -c \
    'for file; do cp -p "$file" "$file.copy" && mv -f "$file.copy" "$file" || exit 1; done' sh {} + &&
    mv "$partial" "$target"
}

TAMRISK_STARTED_PIDS=()

# Starts Xvfb on the first free display number and exports DISPLAY.
start_xvfb() {
  local display=90
  while [ -e "/tmp/.X${display}-lock" ] || [ -e "/tmp/.X11-unix/X${display}" ]; do display=$((display + 1)); done
  Xvfb ":$display" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 </dev/null &
  TAMRISK_STARTED_PIDS+=($!)
  export DISPLAY=":$display"
  for _ in $(seq 1 100); do
    [ -e "/tmp/.X11-unix/X${display}" ] && return 0
    sleep 0.1
  done
  log "Xvfb did not start on $DISPLAY"
  return 1
}

# A persistent wineserver with its output detached (Wine's services would otherwise hold the test
# runner's pipes open), then one program so the prefix exists and its services are warm.
start_wineserver() {
  if [ ! -e "$WINEPREFIX" ]; then clone_prefix "$WINEPREFIX" || return 1; fi
  HOME="$TAMRISK_WINE_HOME" wineserver -p </dev/null >/dev/null 2>&1 &
  TAMRISK_STARTED_PIDS+=($!)
  HOME="$TAMRISK_WINE_HOME" wine cmd /c exit </dev/null >/dev/null 2>&1 || true
  # Without a window manager Wine waits up to 2 s whenever a window is hidden, unless it manages
  # the windows itself.
  HOME="$TAMRISK_WINE_HOME" wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f \
    </dev/null >/dev/null 2>&1 || true
  # The first window of a session starts Wine's desktop process, which keeps the output of whatever
  # started it open for the rest of the run; start it here, detached, instead of in a test.
  HOME="$TAMRISK_WINE_HOME" wine rundll32.exe user32.dll,GetDesktopWindow </dev/null >/dev/null 2>&1 || true
  link_cjk_font
}

# Wine's own window fonts have no Chinese or Japanese characters: link them to the CJK font the
# package list installs, as Windows links its UI fonts to its CJK fonts.
link_cjk_font() {
  local face
  for face in Tahoma "MS Shell Dlg" "MS Shell Dlg 2" "Microsoft Sans Serif" "MS Sans Serif" "Segoe UI"; do
    HOME="$TAMRISK_WINE_HOME" wine reg add 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\FontLink\SystemLink' \
      /v "$face" /t REG_MULTI_SZ /d 'wqy-microhei.ttc,WenQuanYi Micro Hei' /f </dev/null >/dev/null 2>&1 || true
  done
}

stop_started() {
  if [ -n "${WINEPREFIX:-}" ]; then wineserver -k >/dev/null 2>&1 || true; fi
  for pid in "${TAMRISK_STARTED_PIDS[@]}"; do kill "$pid" >/dev/null 2>&1 || true; done
  for pid in "${TAMRISK_STARTED_PIDS[@]}"; do wait "$pid" >/dev/null 2>&1 || true; done
  TAMRISK_STARTED_PIDS=()
}
