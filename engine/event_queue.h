// The ring between MIDI intake (at delivery) and the render loop (at each tick boundary).
#pragma once

#include <cstdint>

namespace vorlak {

enum EventKind : int32_t {
  kEventController = 1,
  kEventNoteOn = 2,
  kEventNoteOff = 4,
  kEventProgramChange = 8,
  kEventNoteExpression = 16,
};

constexpr int32_t kPitchBendController = 133;
constexpr int kQueueSize = 1024;

struct QueuedEvent {
  int32_t frame;
  int32_t kind;
  int32_t channel;  // MIDI channel 0..15; a note expression's may be -1, any channel
  int32_t note;
  int32_t detune;
  int32_t controller;  // for a note expression its NoteExpressionKind
  int32_t value;
  float valueFloat;
  int32_t noteId;  // the host's id of a note or of the note an expression is for; -1 none
};
static_assert(sizeof(QueuedEvent) == 36);

struct EventQueue {
  int32_t writeIndex;
  int32_t readIndex;
  int32_t count;
  QueuedEvent slots[kQueueSize];
};

void clearQueue(EventQueue& queue);

// Takes the next slot, pre-filled as a controller entry. When the queue is full the oldest
// entry is dropped and reading moves past it, so the newest entries stay in order.
QueuedEvent& pushEvent(EventQueue& queue, int32_t frame);

// The oldest pending entry, or null.
inline const QueuedEvent* peekEvent(const EventQueue& queue) {
  return queue.count > 0 ? &queue.slots[queue.readIndex] : nullptr;
}

inline void dropEvent(EventQueue& queue) {
  if (queue.count <= 0) return;
  queue.readIndex = (queue.readIndex + 1) % kQueueSize;
  --queue.count;
}

}  // namespace vorlak
