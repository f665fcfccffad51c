#!/usr/bin/env sh
# Fails when a layer includes one it must not see, or when the VST 2 interface leaks out of
# formats/vst2: its header, or a name of its types and constants, anywhere in the instrument,
# the engine, the chain or the editor; or when window-system code leaves its binding (Win32's
# may also be in the module entry, which keeps the module's instance handle).
cd "$(dirname "$0")/.." || exit 2
status=0

# folder, then the folders whose headers it must not include
while read -r folder forbidden; do
  for other in $forbidden; do
    # The window-system bindings draw the toolkit's surface in its rectangles: those two
    # value types, header only, are all they may take from it.
    found=$(grep -rn "#include \"$other/" "$folder" --include='*.h' --include='*.cpp' |
            grep -v "^$other/" | grep -v "editor/toolkit/\(geometry\|surface\)\.h\"" |
            cut -d: -f1 | sort -u)
    if [ -n "$found" ]; then
      echo "$folder must not include $other/:" $found
      status=1
    fi
  done
done <<'LAYERS'
common engine chain instrument editor formats tools tests
engine chain instrument editor formats tools tests
chain instrument editor formats tools tests
instrument editor formats tools tests
editor/platform editor/toolkit instrument engine chain formats tools tests
editor/platform/x11 editor/platform/win32 editor/platform/headless
editor/platform/win32 editor/platform/x11 editor/platform/headless
editor/platform/headless editor/platform/x11 editor/platform/win32
editor/toolkit instrument engine chain formats tools tests
editor engine chain formats tools tests
LAYERS

# pattern of a window system's code, the places (a regular expression) that may hold it, its name
only_in() {
  found=$(grep -rnE "$1" common engine chain instrument editor formats --include='*.h' \
          --include='*.cpp' | grep -vE "^($2)")
  if [ -n "$found" ]; then
    echo "$3 outside its binding:"
    echo "$found"
    status=1
  fi
}
only_in '#include <X11/|#include "editor/platform/x11/|__linux__' 'editor/platform/x11/' X11
only_in '#include <(windows|winuser|wingdi|windef|winbase)\.h>|#include "editor/platform/win32/|_WIN32' \
  'editor/platform/win32/|formats/vst2/entry\.cpp:' Win32

names='\b(AEffect|ERect|Vst[A-Z][A-Za-z0-9_]*|kVst[A-Za-z0-9_]*|audioMaster[A-Za-z0-9_]*|eff[A-Z][A-Za-z0-9_]*|VKEY_[A-Z_]*|MODIFIER_[A-Z_]*)\b'
leaks=$(grep -rnE "$names" common engine chain instrument editor --include='*.h' --include='*.cpp')
if [ -n "$leaks" ]; then
  echo "VST 2 names outside formats/vst2:"
  echo "$leaks"
  status=1
fi
exit $status
