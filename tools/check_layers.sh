#!/usr/bin/env sh
# Fails when a layer includes one it must not see, or when a plug-in interface leaks out of its
# format's folder: the VST 2 header or a name of its types and constants, or an LV2 header or
# name, anywhere in the instrument, the engine, the chain, the editor or the other format.
# The LV2 plug-in itself (formats/lv2 without its ui/ folder) has no panel. Window-system code
# stays in its binding; Win32's may also be in the VST 2 module entry, which keeps the module's
# instance handle, in the CLAP entry, which marks its export, and in the VST 3 adapter (its
# entry, its interface's Windows calling convention and result codes, its view's idle timer);
# Xlib's may also be in the LV2 panel's window, which takes the arrow keys itself.
cd "$(dirname "$0")/.." || exit 2
status=0

# folder, then the folders whose headers it must not include
while read -r folder forbidden; do
  for other in $forbidden; do
    # The window-system bindings draw the toolkit's surface in its rectangles and hand keys
    # on as its key strokes: those value types, header only, are all they may take from it.
    found=$(grep -rn "#include \"$other/" "$folder" --include='*.h' --include='*.cpp' |
            grep -v "^$other/" | grep -v "editor/toolkit/\(geometry\|surface\|key_stroke\)\.h\"" |
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
formats/vst2 formats/lv2 formats/clap formats/vst3 formats/standalone tools tests
formats/lv2 formats/vst2 formats/clap formats/vst3 formats/standalone tools tests
formats/clap formats/vst2 formats/lv2 formats/vst3 formats/standalone tools tests
formats/vst3 formats/vst2 formats/lv2 formats/clap formats/standalone tools tests
formats/standalone formats/vst2 formats/lv2 formats/clap formats/vst3 tools tests
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
only_in '#include <X11/|#include "editor/platform/x11/|__linux__' 'editor/platform/x11/|formats/lv2/ui/' X11
only_in '#include <(windows|winuser|wingdi|windef|winbase)\.h>|#include "editor/platform/win32/|_WIN32' \
  'editor/platform/win32/|formats/(vst2|clap)/entry\.cpp:|formats/vst3/' Win32

names='\b(AEffect|ERect|Vst[A-Z][A-Za-z0-9_]*|kVst[A-Za-z0-9_]*|audioMaster[A-Za-z0-9_]*|eff[A-Z][A-Za-z0-9_]*|VKEY_[A-Z_]*|MODIFIER_[A-Z_]*)\b'
leaks=$(grep -rnE "$names" common engine chain instrument editor --include='*.h' --include='*.cpp')
if [ -n "$leaks" ]; then
  echo "VST 2 names outside formats/vst2:"
  echo "$leaks"
  status=1
fi
lv2=$(grep -rnE '#include <lv2/|\bLV2(UI)?_[A-Za-z_]+' common engine chain instrument editor formats/vst2 formats/clap formats/vst3 formats/standalone \
  --include='*.h' --include='*.cpp')
if [ -n "$lv2" ]; then
  echo "LV2 headers or names outside formats/lv2:"
  echo "$lv2"
  status=1
fi
panel=$(grep -n '#include "editor/' formats/lv2/*.h formats/lv2/*.cpp)
if [ -n "$panel" ]; then
  echo "the LV2 plug-in must not include the editor (its panel lives in formats/lv2/ui):"
  echo "$panel"
  status=1
fi
exit $status
