#include "engine/event_queue.h"

namespace vorlak {

void clearQueue(EventQueue& queue) {
  queue.writeIndex = 0;
  queue.readIndex = 0;
  queue.count = 0;
  for (QueuedEvent& slot : queue.slots) slot = QueuedEvent{0, 0, 0, -1, 0, -1, 0, 0.0f, -1};
}

QueuedEvent& pushEvent(EventQueue& queue, int32_t frame) {
  QueuedEvent& slot = queue.slots[queue.writeIndex];
  slot = QueuedEvent{frame, kEventController, 0, -1, 0, -1, 0, 0.0f, -1};
  queue.writeIndex = (queue.writeIndex + 1) % kQueueSize;
  if (queue.count == kQueueSize)
    queue.readIndex = queue.writeIndex;
  else
    ++queue.count;
  return slot;
}

}  // namespace vorlak
