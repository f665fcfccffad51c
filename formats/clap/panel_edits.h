// What crosses between the panel's thread and the thread that talks to the host about
// parameters (the audio thread while processing, else the main thread in flush): the panel's
// gestures and values on their way to the host, one writer and one reader, and the other way
// the parameters that changed behind the panel's back. Neither side allocates or waits.
#pragma once

#include <cstdint>

#include "common/spsc_ring.h"
#include "editor/changed_parameters.h"

namespace vorlak::clap {

struct PanelEdit {
  enum Kind : uint8_t { kBegin, kValue, kEnd };
  Kind kind;
  uint8_t index;
  float value;  // the core's value, 0 to 1
};

class PanelEdits {
 public:
  // False when the reader has fallen a whole ring behind: the edit is dropped (the core
  // already has the value; only the host's recording misses it).
  bool push(const PanelEdit& edit) { return ring.push(edit); }
  bool pop(PanelEdit& edit) { return ring.pop(edit); }

  // The parameters that changed behind the panel's back.
  ChangedParameters changed;

 private:
  SpscRing<PanelEdit, 256> ring;
};

}  // namespace vorlak::clap
