// The records a host hands to a VST 2 plug-in: MIDI and system-exclusive events, the event
// lists that carry them and the time info. Header only, so that the programs that drive an
// AEffect themselves (unit and thread tests, fuzz targets) build the same records as the host
// library without linking it.
#pragma once

#include <array>
#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "formats/vst2/vst2.h"

namespace vorlak::records {

// A short MIDI message as hosts send one live.
inline VstMidiEvent midiEvent(int status, int data1, int data2, VstInt32 deltaFrames = 0,
                              int detune = 0) {
  VstMidiEvent event{};
  event.type = kVstMidiType;
  event.byteSize = sizeof(VstMidiEvent);
  event.deltaFrames = deltaFrames;
  event.flags = kVstMidiEventIsRealtime;
  event.midiData[0] = static_cast<char>(status);
  event.midiData[1] = static_cast<char>(data1);
  event.midiData[2] = static_cast<char>(data2);
  event.detune = static_cast<char>(detune);
  return event;
}

// The system-exclusive record (type kVstSysExType). The plug-in ignores such events, so its
// own header leaves the record out; only hosts build it.
struct VstSysexEvent {
  VstInt32 type;
  VstInt32 byteSize;
  VstInt32 deltaFrames;
  VstInt32 flags;
  VstInt32 dumpBytes;
  VstIntPtr reserved1;
  char* sysexDump;
  VstIntPtr reserved2;
};

// An event list of any length. VstEvents declares two pointers, but a host hands over
// numEvents of them, so the record is built in a buffer of the size the count needs.
class EventList {
 public:
  VstEvents* build(const std::vector<VstEvent*>& events) {
    const std::size_t slots = events.size() > 2 ? events.size() : 2;
    bytes_.assign(offsetof(VstEvents, events) + slots * sizeof(VstEvent*), std::byte{0});
    auto* list = reinterpret_cast<VstEvents*>(bytes_.data());
    list->numEvents = static_cast<VstInt32>(events.size());
    if (!events.empty()) {
      std::memcpy(bytes_.data() + offsetof(VstEvents, events), events.data(),
                  events.size() * sizeof(VstEvent*));
    }
    return list;
  }

 private:
  std::vector<std::byte> bytes_;
};

// A list of at most kCapacity events with room for their MIDI records inside it. It allocates
// nothing, so an audio thread, or a test counting allocations, may fill one.
template <int kCapacity>
class FixedEventList {
 public:
  void clear() { header.numEvents = 0; }
  int size() const { return header.numEvents; }

  void add(VstEvent* event) {
    if (header.numEvents == kCapacity) std::abort();
    header.events[header.numEvents++] = event;
  }

  // A MIDI message kept in the list's own records.
  void addMidi(int status, int data1, int data2, VstInt32 deltaFrames) {
    if (header.numEvents == kCapacity) std::abort();
    VstMidiEvent& event = midiEvents[static_cast<std::size_t>(header.numEvents)];
    event = midiEvent(status, data1, data2, deltaFrames);
    add(reinterpret_cast<VstEvent*>(&event));
  }

  VstEvents* events() { return reinterpret_cast<VstEvents*>(&header); }

 private:
  struct Header {
    VstInt32 numEvents = 0;
    VstIntPtr reserved = 0;
    VstEvent* events[kCapacity] = {};
  };
  static_assert(offsetof(Header, events) == offsetof(VstEvents, events));

  Header header;
  std::array<VstMidiEvent, kCapacity> midiEvents{};
};

// What a host whose transport plays in 4/4 at `tempo` answers at samplePos.
inline VstTimeInfo playingTimeInfo(double samplePos, double sampleRate, double tempo) {
  VstTimeInfo info{};
  info.samplePos = samplePos;
  info.sampleRate = sampleRate;
  info.tempo = tempo;
  info.ppqPos = sampleRate > 0.0 ? samplePos / sampleRate * tempo / 60.0 : 0.0;
  info.timeSigNumerator = 4;
  info.timeSigDenominator = 4;
  info.flags = kVstTransportPlaying | kVstTempoValid | kVstPpqPosValid | kVstTimeSigValid;
  return info;
}

}  // namespace vorlak::records
