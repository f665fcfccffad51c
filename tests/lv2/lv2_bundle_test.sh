#!/bin/sh
# The bundle as a host's scanner sees it: Turtle that validates against the LV2 vocabularies,
# two binaries that each show only their descriptor function and need no C++ runtime, and,
# installed by `cmake --install` into a temporary prefix, lv2info listing the ports and the
# 64 presets through LV2_PATH.
set -eu
bundle="$1"
build="$2"
sanitized="${3:-OFF}"
uri=https://vorlak.kivo.audio/plugins/vorlak

lv2_validate "$bundle"/*.ttl

exports() {
  symbols=$(nm -D --defined-only "$1" | awk 'NF >= 3 { print $3 }' | tr '\n' ' ')
  if [ "$symbols" != "$2 " ]; then
    echo "FAIL: $1 defines $symbols"
    exit 1
  fi
  for lib in $(readelf -d "$1" | sed -n 's/.*(NEEDED).*\[\(.*\)\].*/\1/p'); do
    case "$lib" in
      libc.so.* | libm.so.* | ld-linux*.so.*) ;;
      libX11.so.*) [ "$3" = ui ] || { echo "FAIL: $1 needs $lib"; exit 1; } ;;
      libasan.so.* | libubsan.so.*) [ "$sanitized" = ON ] || { echo "FAIL: $1 needs $lib"; exit 1; } ;;
      *) echo "FAIL: $1 needs $lib"; exit 1 ;;
    esac
  done
}
exports "$bundle/vorlak_dsp.so" lv2_descriptor plugin
exports "$bundle/vorlak_ui.so" lv2ui_descriptor ui

prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT
cmake --install "$build" --prefix "$prefix" > /dev/null
info=$(LV2_PATH="$prefix/.lv2" lv2info "$uri")
ports=$(echo "$info" | grep -c '^	Port [0-9]*:$')
[ "$ports" -eq 31 ] || { echo "FAIL: lv2info shows $ports ports"; exit 1; }
for name in Strings Coils "Pickup pos" "Glissando src" "Reserved 23" Events Left Right; do
  echo "$info" | grep -q "Name: *$name\$" || { echo "FAIL: no port named $name"; exit 1; }
done
# The presets are listed between "Presets:" and the first port.
presets=$(echo "$info" | sed -n '/Presets:/,/Port 0:/p' | grep -c '^	         [^ ]')
[ "$presets" -eq 64 ] || { echo "FAIL: lv2info lists $presets presets"; exit 1; }
for name in "POWER Metal" "DIST Metal" "FX Sunshine Reggae"; do
  echo "$info" | grep -q "^	         $name\$" || { echo "FAIL: no preset $name"; exit 1; }
done
echo "bundle: valid Turtle, 31 ports, 64 presets, exports as expected"
