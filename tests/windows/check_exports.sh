#!/bin/sh
# The Windows module is a 64-bit DLL whose export table names its entry points (VST 2's two,
# unless others are named after the objdump program) and nothing else, with no symbol table
# left in it, and which imports only from the system's own libraries: no C++, GCC or thread
# runtime is expected of the host's machine.
set -eu
module="$1"
objdump="${2:-x86_64-w64-mingw32-objdump}"
shift 2 2>/dev/null || shift $#
expected="${*:-VSTPluginMain main}"

headers=$("$objdump" -p "$module")
if ! echo "$headers" | grep -q "file format pei-x86-64"; then
  echo "FAIL: $module is not a 64-bit Windows module"
  exit 1
fi
if "$objdump" -f "$module" | grep -q HAS_SYMS; then
  echo "FAIL: $module is not stripped"
  exit 1
fi

exports=$(echo "$headers" | sed -n '/^\[Ordinal\/Name Pointer\] Table/,/^$/p' |
  sed -n 's/^[[:space:]]*\[ *[0-9]*\] //p' | sort | tr '\n' ' ')
if [ "$exports" != "$expected " ]; then
  echo "FAIL: exported names are: $exports"
  exit 1
fi

imports=$(echo "$headers" | sed -n 's/^[[:space:]]*DLL Name: //p')
for dll in $imports; do
  case "$(echo "$dll" | tr '[:upper:]' '[:lower:]')" in
    kernel32.dll | user32.dll | gdi32.dll | msvcrt.dll) ;;
    *)
      echo "FAIL: unexpected import from $dll"
      exit 1
      ;;
  esac
done
echo "exports: $exports"
echo "imports: $(echo $imports)"
