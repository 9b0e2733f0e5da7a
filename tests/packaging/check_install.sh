#!/usr/bin/env bash
# Installs a built Talvane into a temporary directory and checks that what lands there makes
# it a working desktop program: the executable, a launcher that validates, metainfo that
# validates, and the icons at the sizes their directories promise, all under one id.
#
#   check_install.sh <build-dir>
#
# Needs desktop-file-validate (desktop-file-utils) and appstreamcli (appstream).
set -uo pipefail

APP_ID="io.github.talvane.Talvane"

if [ $# -ne 1 ] || [ ! -f "$1/CMakeCache.txt" ]; then
  echo "usage: $0 <configured and built build directory>" >&2
  exit 2
fi
build=$(cd "$1" && pwd)

failures=0
fail() {
  echo "FAIL: $*" >&2
  failures=$((failures + 1))
}

for tool in cmake desktop-file-validate appstreamcli od gzip; do
  if ! command -v "$tool" >/dev/null 2>&1; then
    echo "FAIL: $tool is not installed (scripts/setup.sh installs it)" >&2
    exit 1
  fi
done

tmp=$(mktemp -d "${TMPDIR:-/tmp}/talvane-install.XXXXXX") || exit 1
trap 'rm -rf "$tmp"' EXIT
# The tree as a distribution would lay it out, so that appstreamcli can check it whole.
root="$tmp/root"
prefix="$root/usr"

if ! cmake --install "$build" --prefix "$prefix" >"$tmp/install.log" 2>&1; then
  cat "$tmp/install.log" >&2
  echo "FAIL: cmake --install $build did not succeed" >&2
  exit 1
fi

share="$prefix/share"
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:[A-Z]*=//p' "$build/CMakeCache.txt")
desktop="$share/applications/$APP_ID.desktop"
metainfo="$share/metainfo/$APP_ID.metainfo.xml"
hicolor="$share/icons/hicolor"

# ---- The executable --------------------------------------------------------------------
if [ ! -f "$prefix/bin/talvane" ] || [ ! -x "$prefix/bin/talvane" ]; then
  fail "bin/talvane is not installed as an executable"
fi
# Build helpers and test programs stay in the build directory.
extra_bin=$(find "$prefix/bin" -mindepth 1 ! -name talvane 2>/dev/null)
[ -z "$extra_bin" ] || fail "bin/ holds more than talvane: $extra_bin"
for dir in include lib; do
  [ ! -e "$prefix/$dir" ] || fail "$dir/ is installed, but Talvane has nothing to install there"
done

# ---- The launcher ----------------------------------------------------------------------
desktop_key() {  # the value of a key in the [Desktop Entry] group
  sed -n '/^\[Desktop Entry\]/,/^\[/{s/^'"$1"'=//p}' "$desktop" | head -n 1
}
if [ ! -f "$desktop" ]; then
  fail "share/applications/$APP_ID.desktop is not installed"
else
  if ! out=$(desktop-file-validate "$desktop" 2>&1) || [ -n "$out" ]; then
    fail "desktop-file-validate rejects $APP_ID.desktop:"
    echo "$out" >&2
  fi
  exec_line=$(desktop_key Exec)
  program=${exec_line%% *}
  [ "$program" = talvane ] || fail "the launcher runs '$exec_line', not talvane"
  [ -x "$prefix/bin/$program" ] || fail "the launcher runs '$program', which is not installed in bin/"
  # A folder opened with Talvane from a file manager is passed on.
  [ "$exec_line" = "talvane %f" ] || fail "the launcher runs '$exec_line', which passes no folder (talvane %f)"
  icon=$(desktop_key Icon)
  [ "$icon" = "$APP_ID" ] || fail "the launcher's icon is '$icon', not $APP_ID"
  # Docks and task bars group the program's windows under the launcher by its X11 class.
  wm_class=$(desktop_key StartupWMClass)
  [ "$wm_class" = talvane ] || fail "the launcher's StartupWMClass is '$wm_class', not talvane"
fi

# ---- The command line ------------------------------------------------------------------
# --help and --version answer without a display, as in other Qt programs; an unknown option
# is refused without one.
if [ -x "$prefix/bin/talvane" ]; then
  no_display=(env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM ASAN_OPTIONS=detect_leaks=0)
  if ! out=$("${no_display[@]}" "$prefix/bin/talvane" --version 2>&1) || [ "$out" != "Talvane $version" ]; then
    fail "talvane --version with no display says '$out', not 'Talvane $version'"
  fi
  if ! out=$("${no_display[@]}" "$prefix/bin/talvane" --help 2>&1) ||
    ! grep -q '^Usage: .*talvane \[options\] \[folder\]' <<<"$out"; then
    fail "talvane --help with no display does not show its usage: $out"
  fi
  out=$("${no_display[@]}" "$prefix/bin/talvane" --bogus 2>&1)
  code=$?
  if [ "$code" != 1 ] || [ "$out" != "talvane: Unknown option 'bogus'." ]; then
    fail "talvane --bogus with no display ends with $code, saying '$out'"
  fi
fi

# ---- The metainfo ----------------------------------------------------------------------
if [ ! -f "$metainfo" ]; then
  fail "share/metainfo/$APP_ID.metainfo.xml is not installed"
else
  if ! out=$(appstreamcli validate --no-net --no-color "$metainfo" 2>&1); then
    fail "appstreamcli validate rejects $APP_ID.metainfo.xml:"
    echo "$out" >&2
  fi
  # The whole tree: this also finds the launcher the metainfo names.
  if ! out=$(appstreamcli validate-tree --no-net --no-color "$root" 2>&1); then
    fail "appstreamcli validate-tree rejects the installed tree:"
    echo "$out" >&2
  fi
  grep -q "<id>$APP_ID</id>" "$metainfo" || fail "the metainfo's id is not $APP_ID"
  grep -q "<launchable type=\"desktop-id\">$APP_ID.desktop</launchable>" "$metainfo" ||
    fail "the metainfo does not launch $APP_ID.desktop"
  grep -q "<binary>talvane</binary>" "$metainfo" || fail "the metainfo does not provide the binary talvane"
  # Software centres show the newest release: it must be the version being installed.
  newest=$(grep -o '<release [^>]*version="[^"]*"' "$metainfo" | head -n 1 | sed 's/.*version="\([^"]*\)"/\1/')
  if [ -z "$version" ] || [ "$newest" != "$version" ]; then
    fail "the newest release in the metainfo is '$newest', but the project version is '${version:-unknown}'"
  fi
fi

# ---- The changelog ---------------------------------------------------------------------
# The package's changelog must name the version being installed, like the metainfo.
changelog="$share/doc/talvane/changelog.gz"
if [ ! -f "$changelog" ]; then
  fail "share/doc/talvane/changelog.gz is not installed"
else
  top=$(gzip -dc "$changelog" 2>/dev/null | head -n 1)
  case "$top" in
    "talvane ($version) "*) ;;
    *) fail "the changelog begins '$top', not with version ${version:-unknown}" ;;
  esac
fi

# ---- The icons -------------------------------------------------------------------------
png_size() {  # prints "WIDTHxHEIGHT" of a PNG file, or nothing if it is not a PNG
  local bytes
  bytes=$(od -An -tu1 -N24 "$1" | tr -s ' \n' ' ')
  # shellcheck disable=SC2086
  set -- $bytes
  [ $# -eq 24 ] || return
  # The signature, then the IHDR chunk, which PNG requires first.
  [ "$1 $2 $3 $4 $5 $6 $7 $8" = "137 80 78 71 13 10 26 10" ] || return
  [ "${13} ${14} ${15} ${16}" = "73 72 68 82" ] || return
  echo "$(((${17} << 24) | (${18} << 16) | (${19} << 8) | ${20}))x$(((${21} << 24) | (${22} << 16) | (${23} << 8) | ${24}))"
}
for size in 16 32; do
  png="$hicolor/${size}x${size}/apps/$APP_ID.png"
  if [ ! -f "$png" ]; then
    fail "the ${size}x${size} icon $APP_ID.png is not installed"
    continue
  fi
  got=$(png_size "$png")
  if [ -z "$got" ]; then
    fail "${size}x${size}/apps/$APP_ID.png is not a PNG picture"
  elif [ "$got" != "${size}x${size}" ]; then
    fail "${size}x${size}/apps/$APP_ID.png is $got pixels"
  fi
done
svg="$hicolor/scalable/apps/$APP_ID.svg"
if [ ! -f "$svg" ]; then
  fail "the scalable icon $APP_ID.svg is not installed"
elif ! grep -q '<svg[[:space:]>]' "$svg"; then
  fail "scalable/apps/$APP_ID.svg is not an SVG picture"
fi

# ---- The program announces the launcher's name -----------------------------------------
# Desktops match windows to their launcher (and so to its icon) by the name the program
# gives QGuiApplication::setDesktopFileName.
source_dir=$(sed -n 's/^CMAKE_HOME_DIRECTORY:INTERNAL=//p' "$build/CMakeCache.txt")
if [ -f "$source_dir/src/main.cpp" ]; then
  announced=$(grep -o 'setDesktopFileName([^)]*)' "$source_dir/src/main.cpp" | grep -o '"[^"]*"' | tr -d '"')
  [ "$announced" = "$APP_ID" ] ||
    fail "src/main.cpp sets the desktop file name '${announced:-<none>}', not $APP_ID"
fi

if [ "$failures" -ne 0 ]; then
  echo "check_install: $failures problem(s) in the installed tree" >&2
  exit 1
fi
echo "check_install: the installed tree is complete and valid"
