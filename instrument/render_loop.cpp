// The render loop: per host block, the tempo, then sub-blocks on the tick grid with the string
// pass and the chain, and the due MIDI events and envelope ticks at each boundary.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>

#include "instrument/core.h"
#include "instrument/float_mode.h"

namespace vorlak {
namespace {

void zero(float* channel, int frames) {
  if (channel) std::memset(channel, 0, sizeof(float) * static_cast<size_t>(frames));
}

}  // namespace

// A program change rewrites every parameter, so the notes after it in the same walk read the
// new program's values.
void InstrumentCore::walkEvents(int horizon, int activityReload, RenderListener& listener) {
  Patch values = patch();
  while (const QueuedEvent* next = peekEvent(engine.queue)) {
    if (next->frame >= horizon) break;
    const QueuedEvent event = *next;
    dropEvent(engine.queue);
    engine.activityHold = activityReload;
    if (event.kind & kEventProgramChange) {
      listener.programChange(event.value);
      values = patch();
    } else if (event.kind & (kEventNoteOn | kEventNoteOff)) {
      dispatchNote(engine, values, event);
    } else if (event.kind & kEventNoteExpression) {
      applyNoteExpression(engine, event);
    } else {
      dispatchController(engine, values, event);
    }
  }
  tickUpdate(engine, values);
}

void InstrumentCore::renderStretch(float* left, float* right, int frames, int blockOffset,
                                   int activityReload, RenderListener& listener) {
  runTickGrid(
      grid, engineSampleRate, frames, blockOffset,
      [&](int offset, int length) {
        const Patch values = patch();
        renderStrings(engine, values, left, right, offset, length);
        processChain(chain, engine, values, left, right, offset, length);
      },
      [&](int horizon) {
        applyDueParameters(horizon - tickHorizonSpan(engineSampleRate));
        walkEvents(horizon, activityReload, listener);
      });
}

void InstrumentCore::render(float* hostLeft, float* hostRight, int sampleFrames, bool replacing,
                            const Transport& transport, RenderListener& listener) {
  // A tempo that is missing, not a number or not positive counts as the default 120 BPM.
  const float hostTempo = transport.hasTempo ? static_cast<float>(transport.tempo) : 120.0f;
  engine.tempo = std::isfinite(hostTempo) && hostTempo > 0.0f ? hostTempo : 120.0f;

  ScopedFloatMode floatMode;
  const int frames = std::max(sampleFrames, 0);
  takeLoad();
  applyDueParameters(0);
  const int64_t reload =
      static_cast<int64_t>(frames) + static_cast<int64_t>(engineSampleRate * 0.2f);
  const int activityReload = static_cast<int>(std::min<int64_t>(reload, INT32_MAX));

  if (replacing && hostLeft && hostRight) {
    zero(hostLeft, frames);
    zero(hostRight, frames);
    renderStretch(hostLeft, hostRight, frames, 0, activityReload, listener);
  } else {
    // Accumulating, or a host that left out a channel: render through the scratch in pieces
    // it can hold, so every frame the host asked for is produced.
    const bool haveScratch = scratchFrames > 0;
    float* left = haveScratch ? scratchChannels[0] : fallbackScratch[0];
    float* right = haveScratch ? scratchChannels[1] : fallbackScratch[1];
    const int capacity = haveScratch ? scratchFrames : kFallbackFrames;
    for (int done = 0; done < frames;) {
      const int piece = std::min(capacity, frames - done);
      zero(left, piece);
      zero(right, piece);
      renderStretch(left, right, piece, done, activityReload, listener);
      float* targets[2] = {hostLeft ? hostLeft + done : nullptr,
                           hostRight ? hostRight + done : nullptr};
      const float* sources[2] = {left, right};
      for (int c = 0; c < 2; ++c) {
        if (!targets[c]) continue;
        if (replacing)
          std::memcpy(targets[c], sources[c], sizeof(float) * static_cast<size_t>(piece));
        else
          for (int i = 0; i < piece; ++i) targets[c][i] += sources[c][i];
      }
      done += piece;
    }
  }

  // What no boundary of this block reached takes effect as the next block starts.
  for (int i = 0; i < queuedParameters; ++i) parameterQueue[i].frame -= frames;

  if (engine.activityHold != 0) {
    engine.activityHold = std::max(engine.activityHold - frames, 0);
    if (engine.activityHold != engine.activityShown) {
      listener.activityChanged(engine.activityHold != 0);
      engine.activityShown = engine.activityHold;
    }
  }
}

}  // namespace vorlak
