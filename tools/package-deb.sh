#!/usr/bin/env bash
# Makes the Debian package vorlak_<version>_amd64.deb from what the project installs:
#   tools/package-deb.sh [BUILD_DIR] [OUTPUT_DIR]
# BUILD_DIR (default build-deb) is configured for the system's folders and built; every
# module, bundle, tool and manual page the project installs is staged under /usr, and the
# dependencies are computed from the binaries by dpkg-shlibdeps. The version is the project's
# (project() in CMakeLists.txt); installer/debian/changelog must have an entry for it.
set -euo pipefail
cd "$(dirname "$0")/.."
build=$(realpath -m "${1:-build-deb}")
output=$(realpath -m "${2:-.}")

# The system-wide plug-in folders hosts search by default (VST 2: Linux hosts' usual folder,
# on Ardour's default path; VST 3 and CLAP: their standards' Linux folders; LV2: lilv's).
# The linker flags are Debian's hardening, which lintian checks for. (A tree without the VST 3
# or CLAP module does not use their folders' variables.)
cmake -S . -B "$build" --no-warn-unused-cli -G Ninja -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX=/usr \
  -DVORLAK_VST_DIR=lib/vst -DVORLAK_LV2_DIR=lib/lv2 -DVORLAK_VST3_DIR=lib/vst3 \
  -DVORLAK_CLAP_DIR=lib/clap -DVORLAK_INSTALL_TOOLS=ON -DVORLAK_BIN_DIR=bin \
  -DVORLAK_MAN_DIR=share/man -DVORLAK_BUILD_TESTS=OFF -DVORLAK_BUILD_BENCH=OFF \
  -DCMAKE_EXE_LINKER_FLAGS="-Wl,-z,relro -Wl,-z,now" \
  -DCMAKE_MODULE_LINKER_FLAGS="-Wl,-z,relro -Wl,-z,now" \
  -DCMAKE_SHARED_LINKER_FLAGS="-Wl,-z,relro -Wl,-z,now" >/dev/null
cmake --build "$build"

version=$(sed -n 's/^#define VORLAK_VERSION "\(.*\)"$/\1/p' "$build/generated/vorlak_version.h")
logged=$(dpkg-parsechangelog -l installer/debian/changelog -S Version)
if [ "$version" != "$logged" ]; then
  echo "package-deb: the project is $version but installer/debian/changelog's last entry is" \
    "$logged; add an entry for $version" >&2
  exit 1
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# dpkg-shlibdeps wants the binaries in debian/<package>/ of a source tree with a control file.
root="$work/src/debian/vorlak"
cmake --install "$build" --prefix "$root/usr" >/dev/null

# Debian's layout: manual pages compressed, the copyright file and changelog under doc/.
find "$root/usr/share/man" -type f -name '*.[0-9]' -exec gzip -9n {} +
doc="$root/usr/share/doc/vorlak"
mkdir -p "$doc"
cp installer/debian/copyright "$doc/copyright"
gzip -9n <installer/debian/changelog >"$doc/changelog.gz"
# Modules are loaded, not run; only the tools are executable.
find "$root" -type d -exec chmod 0755 {} +
find "$root" -type f -exec chmod 0644 {} +
chmod 0755 "$root"/usr/bin/*

printf 'Source: vorlak\n\nPackage: vorlak\nArchitecture: amd64\n' >"$work/src/debian/control"
mkdir -p "$root/DEBIAN"  # also how dpkg-shlibdeps finds the package's root
# Stripped as dh_strip does: no symbols beyond the dynamic ones, no compiler notes.
cd "$work/src"
# The binaries are told by their ELF header, not their names (a CLAP module ends in .clap).
binaries=$(find debian/vorlak -type f -exec sh -c \
  'for f; do if [ "$(head -c 4 "$f")" = "$(printf "\177ELF")" ]; then echo "$f"; fi; done' sh {} + | sort)
strip --remove-section=.comment --remove-section=.note --strip-unneeded $binaries
depends=$(dpkg-shlibdeps -O $binaries | sed -n 's/^shlibs:Depends=//p')
cd "$OLDPWD"

(cd "$root" && find usr -type f -print0 | sort -z | xargs -0 md5sum) >"$root/DEBIAN/md5sums"
size=$(du -k -s --exclude=DEBIAN "$root" | cut -f1)
sed -e "s/@VERSION@/$version/" -e "s/@INSTALLED_SIZE@/$size/" -e "s/@DEPENDS@/$depends/" \
  installer/debian/control.in >"$root/DEBIAN/control"
chmod 0644 "$root/DEBIAN/control" "$root/DEBIAN/md5sums"

mkdir -p "$output"
package="$output/vorlak_${version}_amd64.deb"
dpkg-deb --root-owner-group -Zxz --build "$root" "$package" >/dev/null
echo "$package"
