#!/usr/bin/env bash
# The Debian package as a player meets it: made by tools/package-deb.sh (in BUILD_DIR, default
# build-deb), checked by lintian (no error, no warning), installed, found where hosts look
# (Ardour's default plug-in folders and its scanners, lv2info without LV2_PATH, the installed
# tools finding the installed module), then removed, which must leave every folder it touched as
# it was. The install is into this machine itself: meant for CI's throwaway machine, or a
# developer's own with no vorlak package installed (it refuses to run otherwise).
#   tools/check_package.sh [BUILD_DIR]
set -euo pipefail
cd "$(dirname "$0")/.."
build=$(realpath -m "${1:-build-deb}")
sudo=""
[ "$(id -u)" -ne 0 ] && sudo="sudo"

fail() {
  echo "check_package: FAIL: $*" >&2
  exit 1
}

if dpkg-query -W -f='${Status}' vorlak 2>/dev/null | grep -q installed; then
  fail "a vorlak package is installed already; this check would replace and remove it"
fi

package=$(tools/package-deb.sh "$build" "$build/package" | tail -1)
version=$(dpkg-deb -f "$package" Version)
[ "$(basename "$package")" = "vorlak_${version}_amd64.deb" ] || fail "package named $package"
lintian --fail-on error,warning "$package" || fail "lintian"
contents=$(dpkg-deb -c "$package")
for path in usr/lib/vst/vorlak.so usr/lib/lv2/vorlak.lv2/manifest.ttl usr/bin/vorlak-render \
  usr/bin/vorlak-snapshot usr/bin/vorlak usr/share/man/man1/vorlak.1.gz \
  usr/share/applications/vorlak.desktop usr/share/icons/hicolor/48x48/apps/vorlak.png \
  usr/share/man/man1/vorlak-render.1.gz \
  usr/share/man/man1/vorlak-snapshot.1.gz usr/share/doc/vorlak/copyright \
  usr/share/doc/vorlak/changelog.gz; do
  echo "$contents" | grep -q " \./$path\$" || fail "the package lacks /$path"
done

# Every folder the package puts files in, listed before the install and after the removal.
folders=(/usr/bin /usr/lib/vst /usr/lib/vst3 /usr/lib/clap /usr/lib/lv2 /usr/share/man/man1
  /usr/share/doc/vorlak /usr/share/applications /usr/share/icons/hicolor/48x48/apps
  /usr/share/icons/hicolor/128x128/apps)
listing() { find "${folders[@]}" 2>/dev/null | sort || true; }
tmp=$(mktemp -d)
cleanup() {
  $sudo dpkg --purge vorlak >/dev/null 2>&1 || true
  rm -rf "$tmp"
}
trap cleanup EXIT
listing >"$tmp/before"
# As the README tells players: apt installs the file with what it depends on, and removes it.
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get install -y "$package" >/dev/null || fail "apt-get install $package"

# The tools say the package's version, and vorlak-render loads the installed module by default.
for tool in vorlak vorlak-render vorlak-snapshot; do
  [ "$(/usr/bin/$tool --version)" = "$tool $version" ] || fail "$tool --version"
done
# The desktop's menu finds the program by its entry, which names the installed command and icon.
desktop-file-validate /usr/share/applications/vorlak.desktop || fail "vorlak.desktop"
programs=$(/usr/bin/vorlak-render --list-programs | grep -c .) || true
[ "$programs" -eq 64 ] || fail "installed vorlak-render lists $programs programs"

# LV2: lilv's default folders, with no LV2_PATH and a home holding no bundle of its own.
mkdir -p "$tmp/home"
info=$(env -u LV2_PATH HOME="$tmp/home" lv2info https://vorlak.kivo.audio/plugins/vorlak) ||
  fail "lv2info does not find the plug-in"
echo "$info" | grep -q 'Bundle: *file:///usr/lib/lv2/vorlak.lv2/' || fail "lv2info: $info"

# Ardour looks in these folders by default (its library holds the lists); its scanners then
# load each module where it was installed and describe it in their cache. The compiler keeps
# the VST 3 list in pieces built in code, so its last folder runs into the next text.
ardour=/usr/lib/ardour7
ardour_paths=$(strings "$ardour"/libardour.so.* | grep -E '(^|:)/usr/lib/vst' || true)
scan() {  # scanner, path, the folder's entry in Ardour's default list (a pattern), the cache
  echo "$ardour_paths" | grep -Eq "(^|:)$3" || fail "$2's folder is not on Ardour's default path"
  local cache="$tmp/cache-$1"
  mkdir -p "$cache"
  HOME="$tmp/home" XDG_CACHE_HOME="$cache" LD_LIBRARY_PATH="$ardour" \
    timeout 60 "$ardour/$1" -f "$2" </dev/null >"$tmp/$1.log" 2>&1 || true
  grep -rqE "$4" "$cache" || { cat "$tmp/$1.log"; fail "$1 did not describe $2"; }
}
scan ardour-vst-scanner /usr/lib/vst/vorlak.so '/usr/lib/vst(:|$)' '<VST2Info .*name="Vorlak"'
if [ -e /usr/lib/vst3/vorlak.vst3 ]; then
  scan ardour-vst3-scanner /usr/lib/vst3/vorlak.vst3 '/usr/lib/vst3' 'name="Vorlak"'
fi

$sudo apt-get remove -y vorlak >/dev/null || fail "apt-get remove vorlak"
if dpkg-query -W -f='${Status}' vorlak 2>/dev/null | grep -qv not-installed; then
  fail "removed, the package is still $(dpkg-query -W -f='${Status}' vorlak)"
fi
listing >"$tmp/after"
diff "$tmp/before" "$tmp/after" || fail "the removal left the folders changed (above)"
echo "check_package: $(basename "$package"): lintian clean; installed, found by Ardour's" \
  "scanners, lv2info and the tools; removed without a trace"
