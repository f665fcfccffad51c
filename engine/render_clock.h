// The 5 ms control tick. A block is cut into sub-blocks at tick boundaries; the boundary
// position is a float countdown carried across blocks, so at 44.1 kHz ticks alternate
// between 220 and 221 samples and the grid never drifts.
#pragma once

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

}  // namespace vorlak
