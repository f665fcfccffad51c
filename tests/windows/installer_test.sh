#!/bin/sh
# The Windows installer as a player's scripted install meets it, in a fresh Wine prefix: made
# by tools/package-windows.sh, run silently with the VST 2 folder given on its command line,
# run again with the default folder, which must move the module there, the installed
# vorlak.dll loaded by the installed vorlak-render.exe (which finds it through the installer's
# record), then the registered uninstaller run silently, which must leave the prefix's folders
# and registry as they were.
#   installer_test.sh BUILD_WIN_DIR WORK_DIR WINE WINESERVER
set -eu
source_dir=$(cd "$(dirname "$0")/../.." && pwd)
build="$1"
work="$2"
wine="$3"
wineserver="$4"

fail() {
  echo "FAIL: $*"
  exit 1
}

rm -rf "$work"
mkdir -p "$work"
"$source_dir/tools/package-windows.sh" "$build" "$work/package" > "$work/package.log" ||
  { cat "$work/package.log"; fail "tools/package-windows.sh"; }
setup=$(sed -n 1p "$work/package.log")
archive=$(sed -n 2p "$work/package.log")
version=$(sed -n 's/^#define VORLAK_VERSION "\(.*\)"$/\1/p' "$build/generated/vorlak_version.h")
[ "$(basename "$setup")" = "vorlak-$version-setup.exe" ] || fail "installer named $setup"
listing=$(unzip -Z1 "$archive")
for file in VST2/vorlak.dll vorlak-render.exe LICENSE.txt; do
  echo "$listing" | grep -qx "vorlak-$version/$file" || fail "the zip lacks $file"
done
grep -q '^!insertmacro MUI_PAGE_LICENSE "${LICENSE}"' "$source_dir/installer/vorlak.nsi" ||
  fail "the installer shows no licence page"

export WINEPREFIX="$work/prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
trap '"$wineserver" -k 2>/dev/null || true' EXIT
"$wine" wineboot --init > /dev/null 2>&1
"$wineserver" -w
drive="$WINEPREFIX/drive_c"
[ -f "$WINEPREFIX/system.reg" ] || fail "no registry in the new prefix"
uninstall_key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Vorlak'
# What the uninstaller must give back: every file and folder under C:\ but Wine's own
# scratch, and the machine's uninstall entries and any key naming Vorlak, read from the file
# the stopped Wine server wrote (Wine changes keys of its own meanwhile).
state() {
  (cd "$drive" && find . -path ./windows -prune -o -path ./users -prune -o -print | sort)
  sed -n 's/^\(\[.*\]\).*/\1/p' "$WINEPREFIX/system.reg" | grep -i 'uninstall\|vorlak' | sort
}
state > "$work/before"

# Run from a batch file, so that the installer gets the command line exactly as the README
# shows it; the folder has a space in its name, as players' plug-in folders often have.
cp "$setup" "$drive/setup.exe"
printf '%s\r\n' 'C:\setup.exe /S /VST2DIR="C:\Audio Plug-ins\VST2"' > "$drive/install.bat"
"$wine" cmd /c 'C:\install.bat' > /dev/null || fail "the installer failed"
rm "$drive/setup.exe" "$drive/install.bat"
"$wineserver" -w
[ -f "$drive/Audio Plug-ins/VST2/vorlak.dll" ] || fail "no vorlak.dll in the chosen folder"
[ -f "$drive/Program Files/Vorlak/vorlak-render.exe" ] || fail "no vorlak-render.exe"
tr -d '\r' < "$drive/Program Files/Vorlak/LICENSE.txt" | cmp -s - "$source_dir/LICENSE" ||
  fail "no LICENSE.txt holding the licence beside vorlak-render.exe"
common="$drive/Program Files/Common Files"
if [ -d "$build/vorlak.vst3" ]; then
  [ -f "$common/VST3/vorlak.vst3/Contents/x86_64-win/vorlak.vst3" ] ||
    fail "no VST 3 bundle in Common Files\\VST3"
fi
if [ -f "$build/vorlak.clap" ]; then
  [ -f "$common/CLAP/vorlak.clap" ] || fail "no vorlak.clap in Common Files\\CLAP"
fi
"$wine" reg query "$uninstall_key" /v UninstallString > "$work/key.txt" 2>&1 ||
  fail "no uninstaller registered"
grep -q 'uninstall.exe' "$work/key.txt" || fail "uninstaller registered as $(cat "$work/key.txt")"

# Installed again with the default folder: the module moves there, and the folders made for
# it before go, so that hosts do not find two.
"$wine" "$setup" /S || fail "the second install failed"
"$wineserver" -w
[ -f "$common/VST2/vorlak.dll" ] || fail "reinstalled, no vorlak.dll in Common Files\\VST2"
[ ! -e "$drive/Audio Plug-ins" ] || fail "reinstalled elsewhere, the first VST 2 folder stays"

render='C:\Program Files\Vorlak\vorlak-render.exe'
shown=$("$wine" "$render" --version | tr -d '\r')
[ "$shown" = "vorlak-render $version" ] || fail "the installed vorlak-render says $shown"
programs=$("$wine" "$render" --list-programs | grep -c .) || true
[ "$programs" -eq 64 ] || fail "the installed vorlak.dll, loaded, lists $programs programs"

# The uninstaller copies itself away and returns at once; the Wine server outlives it.
"$wine" 'C:\Program Files\Vorlak\uninstall.exe' /S || fail "the uninstaller failed"
"$wineserver" -w
state > "$work/after"
diff "$work/before" "$work/after" || fail "the uninstall left the above behind"
echo "installer: $(basename "$setup") installed silently, vorlak.dll loaded, uninstalled cleanly"
