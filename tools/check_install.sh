#!/usr/bin/env bash
# Installs a built tree into a scratch prefix and checks what a player and an
# operator would get: the installed programs run, the desktop entry and the
# metainfo validate, the host's unit verifies, and the Debian package carries
# its library dependencies, passes lintian without an error or a warning, and,
# run as root on a machine without Tilewhirl, installs, plays and purges
# cleanly. Usage: tools/check_install.sh [BUILD_FOLDER]
set -euo pipefail
cd "$(dirname "$0")/.."
build=$(realpath "${1:-build}")
app_id=org.tilewhirl.Tilewhirl
scratch=$(mktemp -d)
window=
installed=
trap '[ -z "$window" ] || kill "$window" 2>/dev/null; [ -z "$installed" ] || dpkg --purge tilewhirl >/dev/null
      rm -rf "$scratch"' EXIT
prefix=$scratch/prefix
fail() { echo "check_install: $*" >&2; exit 1; }

# The window, installed at $1, starts a solo game and keeps its settings and
# working word list with the user's files, not in the folder it was started from.
plays() {
  local home=$scratch/player-$RANDOM
  mkdir -p "$home/cwd"
  local help
  help=$(HOME=$home XDG_CONFIG_HOME=$home/config QT_QPA_PLATFORM=offscreen "$1" --help)
  grep -q "Settings file: $home/config/" <<<"$help" ||
    fail "$1 --help does not name a settings file in the configuration folder: $help"
  (cd "$home/cwd" && HOME=$home XDG_CONFIG_HOME=$home/config XDG_DATA_HOME=$home/data \
    QT_QPA_PLATFORM=offscreen exec "$1" --new-instance --port 0 >"$home/window.log" 2>&1) &
  window=$!
  for _ in $(seq 100); do
    grep -q "logged in as You" "$home/window.log" && break
    sleep 0.1
  done
  grep -q "logged in as You" "$home/window.log" || fail "$1 did not start a solo game: $(cat "$home/window.log")"
  [ -s "$home/data/Tilewhirl/tilewhirl/English" ] || fail "$1 keeps its word list elsewhere than in the data folder"
  [ -z "$(ls -A "$home/cwd")" ] || fail "$1 wrote into the folder it was started from"
  kill "$window"
  wait "$window" || true
  window=
}

# The desktop entry ($1) starts, and the unit ($2) runs, the programs in $3.
names_programs() {
  grep -qx "Exec=$3/tilewhirl" "$1" || fail "the desktop entry does not start $3/tilewhirl: $(grep Exec "$1")"
  grep -q "^ExecStart=$3/tilewhirl-host " "$2" ||
    fail "the unit does not run $3/tilewhirl-host: $(grep ExecStart "$2")"
}

cmake --install "$build" --prefix "$prefix" >/dev/null

for f in games/tilewhirl games/tilewhirl-host bin/tilewhirl-codec \
         share/applications/$app_id.desktop share/metainfo/$app_id.metainfo.xml \
         share/icons/hicolor/scalable/apps/$app_id.svg share/icons/hicolor/48x48/apps/$app_id.png \
         share/icons/hicolor/256x256/apps/$app_id.png share/man/man6/tilewhirl.6.gz \
         share/man/man6/tilewhirl-host.6.gz share/man/man1/tilewhirl-codec.1.gz \
         share/doc/tilewhirl/copyright share/doc/tilewhirl/changelog.gz \
         "lib/systemd/system/tilewhirl-host@.service"; do
  [ -s "$prefix/$f" ] || fail "not installed: $f"
done
names_programs "$prefix/share/applications/$app_id.desktop" "$prefix/lib/systemd/system/tilewhirl-host@.service" \
  "$prefix/games"

echo "-- desktop entry and metainfo"
desktop-file-validate "$prefix/share/applications/$app_id.desktop"
appstreamcli validate --no-net "$prefix/share/metainfo/$app_id.metainfo.xml"

echo "-- installed programs"
version=$("$prefix/games/tilewhirl-host" --version)
echo "$version"
grep -q "<release version=\"${version##* }\"" "$prefix/share/metainfo/$app_id.metainfo.xml" ||
  fail "the metainfo has no release entry for $version"
zcat "$prefix/share/doc/tilewhirl/changelog.gz" | head -n 1 | grep -q "^tilewhirl (${version##* }) " ||
  fail "the changelog does not begin with $version"
seq 1 40000 >"$scratch/plain"
"$prefix/bin/tilewhirl-codec" compress "$scratch/plain" "$scratch/packed"
"$prefix/bin/tilewhirl-codec" decompress "$scratch/packed" "$scratch/unpacked"
cmp "$scratch/plain" "$scratch/unpacked" || fail "tilewhirl-codec round trip changed the file"
[ "$(stat -c %s "$scratch/packed")" -lt "$(stat -c %s "$scratch/plain")" ] || fail "tilewhirl-codec did not pack"
plays "$prefix/games/tilewhirl"

if command -v man >/dev/null; then
  echo "-- manual pages"
  for page in "$prefix"/share/man/man*/*; do
    warnings=$(MANWIDTH=80 man --warnings -l "$page" 2>&1 >/dev/null)
    [ -z "$warnings" ] || fail "$(basename "$page"): $warnings"
  done
  # The directory's manual page names the options its --help names, no more, no fewer.
  directory=$(find "$prefix" -name tilewhirl-directory -type f -perm -u+x | head -1)
  if [ -n "$directory" ]; then
    helped=$("$directory" --help | grep -oE '^ +(-[a-zA-Z], )?--[a-z-]+' | grep -oE -- '--[a-z-]+' | sort -u)
    documented=$(zcat "$prefix"/share/man/man1/tilewhirl-directory.1.gz | sed -n '/^\.SH OPTIONS/,/^\.SH /p' |
                 grep -E '^\.BI? ' | sed 's/\\-/-/g' | grep -oE -- '--[a-z-]+' | sort -u)
    [ "$helped" = "$documented" ] ||
      fail "tilewhirl-directory --help and its manual page differ: $(diff <(echo "$helped") <(echo "$documented") | tr '\n' ' ')"
  fi
fi

echo "-- systemd unit"
# The README's options for an instance, passed on as the unit's command line
# passes them, start the installed host.
options=$(sed -n 's/.*TILEWHIRL_HOST_OPTIONS="\([^"]*\)".*/\1/p' README.md | head -n 1)
[ -n "$options" ] || fail "the README shows no TILEWHIRL_HOST_OPTIONS"
exec_start=$(sed -n 's/^ExecStart=//p' "$prefix/lib/systemd/system/tilewhirl-host@.service")
exec_start=${exec_start//%i/0}
exec_start=${exec_start//\$TILEWHIRL_HOST_OPTIONS/$options}
mkdir -p "$scratch/instance"
(cd "$scratch/instance" && timeout 2 $exec_start >"$scratch/instance.log" 2>&1) || true
grep -q "listening on port" "$scratch/instance.log" ||
  fail "the unit's command line with the README's options does not start the host: $(cat "$scratch/instance.log")"
echo "the unit passes TILEWHIRL_HOST_OPTIONS ($options)"
if command -v systemd-analyze >/dev/null; then
  # A template verifies as one of its instances; the manual page is checked above.
  cp "$prefix/lib/systemd/system/tilewhirl-host@.service" "$scratch/tilewhirl-host@7772.service"
  systemd-analyze verify --man=no "$scratch/tilewhirl-host@7772.service"
  echo "tilewhirl-host@.service verifies"
else
  echo "skipped: systemd-analyze is not installed on this machine"
fi

echo "-- Debian package"
(cd "$scratch" && cpack --config "$build/CPackConfig.cmake" -G DEB >/dev/null)
deb=$(ls "$scratch"/tilewhirl_*.deb)
depends=$(dpkg-deb -f "$deb" Depends)
echo "$(basename "$deb"): Depends: $depends"
for lib in libqt6widgets6 libqt6network6 libqt6multimedia6 libc6 qt6-qpa-plugins; do
  grep -q "$lib" <<<"$depends" || fail "the package does not depend on $lib"
done
contents=$(dpkg-deb -c "$deb")
for f in games/tilewhirl games/tilewhirl-host bin/tilewhirl-codec share/applications/$app_id.desktop \
         share/doc/tilewhirl/copyright share/doc/tilewhirl/changelog.gz; do
  grep -q " \./usr/$f\$" <<<"$contents" || fail "the package lacks /usr/$f"
done
dpkg-deb -x "$deb" "$scratch/deb"
names_programs "$scratch/deb/usr/share/applications/$app_id.desktop" \
  "$scratch/deb/usr/lib/systemd/system/tilewhirl-host@.service" /usr/games
control=$(dpkg-deb --ctrl-tarfile "$deb" | tar -tv)
grep -q 'rwxr-xr-x.* ./prerm$' <<<"$control" || fail "the package lacks its prerm script: $control"

echo "-- lintian"
# Information tags may stay. The spelling notes are words of the word list and
# of the game's own texts, so they are counted, not shown.
clean=yes
lintian --pedantic -I --fail-on error,warning "$deb" >"$scratch/lintian" 2>&1 || clean=
grep -v -e spelling-error-in-binary -e 'root privileges' "$scratch/lintian" || true
echo "($(grep -c spelling-error-in-binary "$scratch/lintian" || true) spelling notes)"
[ -n "$clean" ] || fail "lintian found errors or warnings"
echo "overridden on purpose: $(grep -v '^#' "$scratch/deb/usr/share/lintian/overrides/tilewhirl")"

echo "-- installing the package"
if [ "$(id -u)" -ne 0 ]; then
  echo "skipped: needs root"
elif dpkg-query -W -f='${Status}' tilewhirl 2>/dev/null | grep -q installed; then
  echo "skipped: a tilewhirl package is installed on this machine already"
else
  installed=yes
  dpkg -i "$deb" >/dev/null
  [ "$(/usr/games/tilewhirl-host --version)" = "$version" ] || fail "the installed host is not $version"
  plays /usr/games/tilewhirl
  dpkg --purge tilewhirl >/dev/null
  installed=
  left=$(ls -d /usr/games/tilewhirl* /usr/bin/tilewhirl* /usr/share/doc/tilewhirl /usr/share/lintian/overrides/tilewhirl \
           "/usr/lib/systemd/system/tilewhirl-host@.service" 2>/dev/null || true)
  [ -z "$left" ] || fail "purging the package left: $left"
  echo "installed, played and purged"
fi
echo "install checks passed"
