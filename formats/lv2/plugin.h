// The LV2 face of the format-neutral core, one per instance a host makes. Each run reads the
// control ports that changed, queues the block's MIDI at its frames, takes the tempo from the
// host's time position and renders the whole block at once; the state extension saves and
// restores the program bank. The entry points in entry.cpp only forward to it.
#pragma once

#include <lv2/atom/atom.h>
#include <lv2/core/lv2.h>
#include <lv2/state/state.h>
#include <lv2/urid/urid.h>

#include "formats/lv2/ports.h"
#include "instrument/core.h"

namespace vorlak::lv2 {

// The URIs the plug-in compares against, mapped once at instantiation.
struct Uris {
  explicit Uris(const LV2_URID_Map& map);

  LV2_URID midiEvent, atomObject, atomBlank, atomInt, atomLong, atomFloat, atomDouble, atomString,
      atomTuple, frameTime, timePosition, beatsPerMinute, maxBlockLength, nominalBlockLength,
      stateProgram, stateNames, stateValues;
};

class Plugin final : private RenderListener {
 public:
  // Null when the host maps no URIDs, the rate is one the core refuses (outside 22050 to
  // 384000 Hz) or memory runs out: the host is told no instead of getting a broken instance.
  static Plugin* create(double sampleRate, const LV2_Feature* const* features);
  ~Plugin() = default;

  void connect(uint32_t port, void* data);
  void activate();
  void deactivate();
  // Before activate() (or after deactivate()) a block is silence and its events are dropped.
  void run(uint32_t sampleCount);

  LV2_State_Status save(LV2_State_Store_Function store, LV2_State_Handle handle) const;
  // Without any of the plug-in's keys (a preset, which holds only port values) nothing
  // changes; with a broken one nothing changes either and the error is answered.
  LV2_State_Status restore(LV2_State_Retrieve_Function retrieve, LV2_State_Handle handle);

 private:
  explicit Plugin(const LV2_URID_Map& map);

  // A program change from MIDI: the program and its values, as the VST 2 module selects one.
  void programChange(int program) override;
  void activityChanged(bool) override {}

  void applyControls();
  void readEvents(int frames);
  void readPosition(const LV2_Atom& object);

  InstrumentCore core;
  Uris uris;
  const float* controls[kNumParameters] = {};
  // The port values the last run saw, bit for bit; a port is applied only when it differs,
  // so that a value the host left alone never undoes a program change or a restored state.
  float seen[kNumParameters];
  // Set by a restore: the next run takes the ports as they are without applying them.
  bool adoptControls = false;
  const LV2_Atom_Sequence* events = nullptr;
  float* outputs[2] = {nullptr, nullptr};
  Transport transport{120.0, false};
  bool active = false;
};

}  // namespace vorlak::lv2
