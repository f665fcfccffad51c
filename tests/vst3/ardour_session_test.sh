#!/bin/sh
# Ardour 7 as a real VST 3 host with declarations of its own: its scanner indexes the bundle,
# then a headless ardour7-lua session loads it on a MIDI track, plays a note through it (the
# track's meter must rise from silence), chooses a factory program from the presets Ardour
# lists (its values arrive), sets a value, saves and reloads the session (the value comes
# back). ardour_session.lua does the session's part.
set -u
bundle="$1"
script="$2"
scanner=/usr/lib/ardour7/ardour-vst3-scanner
for tool in "$scanner" "$(command -v ardour7-lua)"; do
  if [ ! -x "$tool" ]; then
    echo "FAIL: ${tool:-ardour7-lua} is missing (install the ardour package)"
    exit 1
  fi
done

tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
mkdir -p "$tmp/home/.vst3" "$tmp/cache" "$tmp/config"
cp -R "$bundle" "$tmp/home/.vst3/vorlak.vst3"
# Ardour takes a cache entry only when it is newer than the module.
find "$tmp/home/.vst3" -exec touch -d '-10 seconds' {} +
export HOME="$tmp/home" XDG_CACHE_HOME="$tmp/cache" XDG_CONFIG_HOME="$tmp/config"
LD_LIBRARY_PATH=/usr/lib/ardour7 timeout 30 "$scanner" -f "$tmp/home/.vst3/vorlak.vst3" \
  </dev/null >"$tmp/scan.log" 2>&1
VORLAK_SESSION="$tmp/session" timeout 120 ardour7-lua "$script" </dev/null >"$tmp/lua.log" 2>&1
status=$?
VORLAK_SESSION="$tmp/session" VORLAK_RELOAD=1 timeout 120 ardour7-lua "$script" </dev/null \
  >>"$tmp/lua.log" 2>&1
reload_status=$?

failed=0
value() { sed -n "s/^$1 //p" "$tmp/lua.log" | head -1; }
check() {
  if [ "$1" != 0 ]; then
    echo "FAIL: $2"
    failed=1
  fi
}
grep -q '^done$' "$tmp/lua.log"; check $? "the session script did not finish (exit status $status)"
grep -q '^reload done$' "$tmp/lua.log"
check $? "the reloading script did not finish (exit status $reload_status)"
check "$([ "$(value parameters)" = 25 ]; echo $?)" "Ardour lists $(value parameters) parameters, not 25"
silence=$(value silence)
note=$(value note)
check "$(awk -v s="${silence:-1}" 'BEGIN { exit !(s < 0.001) }'; echo $?)" \
  "the track is not silent before the note: peak ${silence:-nothing}"
check "$(awk -v n="${note:-0}" 'BEGIN { exit !(n > 0.05) }'; echo $?)" \
  "the note did not sound: peak ${note:-nothing}"
check "$([ "$(value preset)" = VST3-P:4B69766F566F726C616B565354330001:0006 ]; echo $?)" \
  "Ardour does not list program 6 as a preset: $(value preset)"
check "$([ "$(value 'program tone')" = 0.4000 ]; echo $?)" \
  "program 6 chosen as a preset left Tone at $(value 'program tone'), not 0.4000"
check "$([ "$(value 'reloaded tone')" = 0.7700 ]; echo $?)" \
  "the reloaded session's Tone is $(value 'reloaded tone'), not 0.7700"
if [ "$failed" != 0 ]; then
  cat "$tmp/scan.log" "$tmp/lua.log"
  exit 1
fi
echo "peak before the note $silence, with it $note; program 6's Tone $(value 'program tone');" \
  "Tone reloaded $(value 'reloaded tone')"
