#!/bin/sh
# The module's dynamic symbol table defines its entry points and nothing else, and the
# module needs no C++ or GCC runtime from the host: only the C library, the maths library,
# the loader and X11 (and the sanitizer runtimes in a sanitizer build). The entry points are
# the VST 2 module's unless named, sorted and space-separated, as the third argument.
set -eu
module="$1"
sanitized="${2:-OFF}"
expected="${3:-VSTPluginMain main}"

symbols=$(nm -D --defined-only "$module" | awk 'NF >= 3 { print $3 }' | sort | tr '\n' ' ')
if [ "$symbols" != "$expected " ]; then
  echo "FAIL: defined dynamic symbols are: $symbols"
  exit 1
fi

needed=$(readelf -d "$module" | sed -n 's/.*(NEEDED).*\[\(.*\)\].*/\1/p')
for lib in $needed; do
  case "$lib" in
    libc.so.* | libm.so.* | ld-linux*.so.* | libX11.so.*) ;;
    libasan.so.* | libubsan.so.*)
      if [ "$sanitized" != ON ]; then
        echo "FAIL: $lib is needed outside a sanitizer build"
        exit 1
      fi
      ;;
    *)
      echo "FAIL: unexpected dependency $lib"
      exit 1
      ;;
  esac
done
echo "exports: $symbols"
echo "needs: $(echo $needed)"
