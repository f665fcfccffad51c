-- Run twice by ardour_session_test.sh in ardour7-lua (Ardour hangs closing a second session in
-- one process). First: Vorlak as a VST 3 plug-in on a MIDI track of a headless session (dummy
-- backend), a note played through it, a factory program chosen as a preset, a value set, the
-- session saved. Then (VORLAK_RELOAD
-- set): the session loaded again. Each result is one line the shell script checks.
local folder = assert(os.getenv("VORLAK_SESSION"), "VORLAK_SESSION not set")
AudioEngine:set_backend("None (Dummy)", "", "")
if os.getenv("VORLAK_RELOAD") then
  local reloaded = assert(load_session(folder, "vst3check"), "not reloaded")
  for route in reloaded:get_routes():iter() do
    local processor = route:nth_plugin(0)
    if not processor:isnil() then
      print(string.format("reloaded tone %.4f", ARDOUR.LuaAPI.get_processor_param(processor, 3)))
    end
  end
  close_session()
  print("reload done")
  return
end
local session = assert(create_session(folder, "vst3check", 44100), "no session")
local tracks = session:new_midi_track(ARDOUR.ChanCount(ARDOUR.DataType("midi"), 1),
  ARDOUR.ChanCount(ARDOUR.DataType("audio"), 2), true, ARDOUR.PluginInfo(), nil, nil, 1,
  "vorlak", ARDOUR.PresentationInfo.max_order, ARDOUR.TrackMode.Normal, true, false)
local track = tracks:front()
local plugin = ARDOUR.LuaAPI.new_plugin(session, "Vorlak", ARDOUR.PluginType.VST3, "")
assert(not plugin:isnil(), "Ardour found no Vorlak VST 3")
assert(track:add_processor_by_index(plugin, 0, nil, true), "not added to the track")
print("parameters " .. plugin:to_plugininsert():plugin(0):parameter_count())

-- The loudest the track's meter shows over half a second (its peak, as a sample value).
local function loudest()
  local peak = 0
  for _ = 1, 10 do
    ARDOUR.LuaAPI.usleep(50000)
    peak = math.max(peak, track:peak_meter():meter_level(0, ARDOUR.MeterType.MeterPeak))
  end
  return peak
end
loudest()
print(string.format("silence %.6f", loudest()))
local note = C.ByteVector()
note:add({0x90, 45, 110})
assert(plugin:to_plugininsert():write_immediate_event(Evoral.EventType.MIDI_EVENT, 3,
  note:to_array()), "the note was refused")
print(string.format("note %.6f", loudest()))

-- A factory program chosen as Ardour lists them, as presets from the program list: program 6's
-- Tone is 0.4.
local instance = plugin:to_plugininsert():plugin(0)
local preset = instance:preset_by_label("POWER Old Leslie")
print("preset " .. (preset and preset.uri or "none"))
assert(preset and instance:load_preset(preset), "the program was not loaded")
ARDOUR.LuaAPI.usleep(200000)
print(string.format("program tone %.4f", ARDOUR.LuaAPI.get_processor_param(plugin, 3)))

ARDOUR.LuaAPI.set_processor_param(plugin, 3, 0.77)
ARDOUR.LuaAPI.usleep(200000)
session:save_state("", false, false, false, false, false)
close_session()
print("done")
