// The 5 ms control tick. A block is cut into sub-blocks at tick boundaries; the boundary
// position is a float countdown carried across blocks, so at 44.1 kHz ticks alternate
// between 220 and 221 samples and the grid never drifts.
#pragma once

#include <cstdint>

namespace vorlak {

struct TickGrid {
  float tickCountdown;  // samples left to the next boundary
};

// How far past a boundary the events due at it reach: one tick, in whole frames.
inline int tickHorizonSpan(float sampleRate) { return static_cast<int>(sampleRate * 0.005f); }

// Runs frames [0, frames) of a stretch that starts blockOffset frames into the host block.
// render(offset, length) renders a sub-block (offsets relative to the stretch);
// boundary(horizon) runs at each tick boundary, horizon being the block-relative frame
// below which queued events are due.
template <class Render, class Boundary>
void runTickGrid(TickGrid& grid, float sampleRate, int frames, int blockOffset, Render&& render,
                 Boundary&& boundary) {
  const float tickLength = sampleRate * 0.005f;
  const int horizonSpan = tickHorizonSpan(sampleRate);
  int remaining = frames;
  int offset = 0;
  while (remaining > 0) {
    const int length = static_cast<int>(grid.tickCountdown);
    if (length > remaining) {
      grid.tickCountdown -= static_cast<float>(remaining);
      render(offset, remaining);
      return;
    }
    remaining -= length;
    if (length > 0) {
      render(offset, length);
      offset += length;
    }
    grid.tickCountdown = (grid.tickCountdown - static_cast<float>(length)) + tickLength;
    boundary(blockOffset + offset + horizonSpan);
  }
}

// Moves the grid over frames nobody rendered to where runTickGrid would have left it, in
// blocks of any size: a stretch only ever subtracts whole frames, which is exact, so the
// countdown at each boundary depends on the boundaries passed alone. After a boundary it
// holds one of at most 2^17 floats (a tick is at least 110 frames), so it comes back to a
// value within that many ticks: 2 at 44.1 kHz, 1 at 48 kHz. Once the countdown is back where
// it stood after the first boundary, whole cycles are dropped and a gap of hours costs no
// more than one of milliseconds. Should the countdown never come back to that value (rounding
// can merge two states), the walk stops after twice the search, the grid left short.
inline void skipTickGrid(TickGrid& grid, float sampleRate, uint64_t frames) {
  const float tickLength = sampleRate * 0.005f;
  constexpr int kSearch = 1 << 17;
  uint64_t remaining = frames;
  float cycleStart = 0.0f;
  uint64_t cycleFrames = 0;
  bool cycleKnown = false;
  for (int ticks = 0; remaining > 0 && ticks <= 2 * kSearch; ++ticks) {
    const int length = static_cast<int>(grid.tickCountdown);
    if (static_cast<uint64_t>(length) > remaining) {
      grid.tickCountdown -= static_cast<float>(remaining);
      return;
    }
    remaining -= static_cast<uint64_t>(length);
    grid.tickCountdown = (grid.tickCountdown - static_cast<float>(length)) + tickLength;
    if (ticks == 0) {
      cycleStart = grid.tickCountdown;
    } else if (!cycleKnown) {
      cycleFrames += static_cast<uint64_t>(length);
      if (grid.tickCountdown == cycleStart) {
        cycleKnown = true;
        remaining %= cycleFrames;
      }
    }
  }
}

}  // namespace vorlak
