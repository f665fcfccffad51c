#include "tools/midi_file.h"

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <utility>
#include <vector>

namespace vorlak::render {
namespace {

constexpr std::uint32_t kDefaultMicrosPerQuarter = 500000;

struct TickEvent {
  std::int64_t tick;
  int track;
  std::size_t order;
  TimedMidi midi;
};

struct TempoChange {
  std::int64_t tick;
  std::uint32_t microsPerQuarter;
};

// Bounds-checked reading of one chunk; every read fails once the end is passed.
class Cursor {
 public:
  Cursor(const unsigned char* data, std::size_t size) : data_(data), size_(size) {}

  bool atEnd() const { return pos_ >= size_; }
  std::size_t remaining() const { return size_ - pos_; }

  bool byte(unsigned char* out) {
    if (pos_ >= size_) return false;
    *out = data_[pos_++];
    return true;
  }
  bool peek(unsigned char* out) const {
    if (pos_ >= size_) return false;
    *out = data_[pos_];
    return true;
  }
  bool skip(std::size_t count) {
    if (count > remaining()) return false;
    pos_ += count;
    return true;
  }
  const unsigned char* here() const { return data_ + pos_; }
  // A variable-length quantity: at most four bytes, seven bits each.
  bool quantity(std::uint32_t* out) {
    std::uint32_t value = 0;
    for (int i = 0; i < 4; ++i) {
      unsigned char b = 0;
      if (!byte(&b)) return false;
      value = (value << 7) | (b & 0x7Fu);
      if ((b & 0x80) == 0) {
        *out = value;
        return true;
      }
    }
    return false;
  }
  bool bigEndian(int bytes, std::uint32_t* out) {
    std::uint32_t value = 0;
    for (int i = 0; i < bytes; ++i) {
      unsigned char b = 0;
      if (!byte(&b)) return false;
      value = (value << 8) | b;
    }
    *out = value;
    return true;
  }

 private:
  const unsigned char* data_;
  std::size_t size_;
  std::size_t pos_ = 0;
};

int dataBytes(unsigned char status) {
  const unsigned char kind = status & 0xF0;
  return kind == 0xC0 || kind == 0xD0 ? 1 : 2;
}

// Appends the track's channel messages and tempo changes; *endTick becomes the track's end,
// the time of its end-of-track event, or of its last event when that is missing.
bool parseTrack(Cursor track, int trackIndex, std::vector<TickEvent>* events,
                std::vector<TempoChange>* tempos, std::int64_t* endTick, std::string* error) {
  std::int64_t tick = 0;
  unsigned char running = 0;
  std::size_t order = 0;
  while (!track.atEnd()) {
    std::uint32_t delta = 0;
    if (!track.quantity(&delta)) {
      *error = "bad delta time in track " + std::to_string(trackIndex + 1);
      return false;
    }
    tick += delta;
    unsigned char status = 0;
    if (!track.peek(&status)) {
      *error = "track " + std::to_string(trackIndex + 1) + " ends inside an event";
      return false;
    }
    if (status >= 0x80) {
      track.skip(1);
    } else if (running != 0) {
      status = running;
    } else {
      *error = "data byte without a status in track " + std::to_string(trackIndex + 1);
      return false;
    }

    if (status < 0xF0) {
      running = status;
      TickEvent event{tick, trackIndex, order++, {}};
      event.midi.bytes[0] = status;
      for (int i = 1; i <= dataBytes(status); ++i) {
        unsigned char b = 0;
        if (!track.byte(&b) || b >= 0x80) {
          *error = "bad channel message in track " + std::to_string(trackIndex + 1);
          return false;
        }
        event.midi.bytes[i] = b;
      }
      events->push_back(event);
      continue;
    }

    running = 0;  // system exclusive and meta events cancel running status
    std::uint32_t length = 0;
    if (status == 0xF0 || status == 0xF7) {
      if (!track.quantity(&length) || !track.skip(length)) {
        *error = "bad system exclusive event in track " + std::to_string(trackIndex + 1);
        return false;
      }
    } else if (status == 0xFF) {
      unsigned char type = 0;
      if (!track.byte(&type) || !track.quantity(&length) || length > track.remaining()) {
        *error = "bad meta event in track " + std::to_string(trackIndex + 1);
        return false;
      }
      const unsigned char* payload = track.here();
      track.skip(length);
      if (type == 0x2F) break;
      if (type == 0x51 && length == 3) {
        const std::uint32_t micros =
            (std::uint32_t{payload[0]} << 16) | (std::uint32_t{payload[1]} << 8) | payload[2];
        if (micros == 0) {
          *error = "zero tempo in track " + std::to_string(trackIndex + 1);
          return false;
        }
        tempos->push_back({tick, micros});
      }
    } else {
      *error = "bad status byte in track " + std::to_string(trackIndex + 1);
      return false;
    }
  }
  *endTick = tick;
  return true;
}

// Seconds from ticks: musical time follows the tempo changes, SMPTE time has none.
class TempoMap {
 public:
  TempoMap(double ticksPerQuarter, double secondsPerTick, std::vector<TempoChange> tempos) {
    std::stable_sort(tempos.begin(), tempos.end(),
                     [](const TempoChange& a, const TempoChange& b) { return a.tick < b.tick; });
    double tickSeconds =
        ticksPerQuarter > 0.0 ? kDefaultMicrosPerQuarter * 1e-6 / ticksPerQuarter : secondsPerTick;
    segments_.push_back({0, 0.0, tickSeconds});
    if (ticksPerQuarter <= 0.0) return;
    for (const TempoChange& change : tempos) {
      const Segment& last = segments_.back();
      const double start =
          last.seconds + static_cast<double>(change.tick - last.tick) * last.tickSeconds;
      tickSeconds = change.microsPerQuarter * 1e-6 / ticksPerQuarter;
      segments_.push_back({change.tick, start, tickSeconds});
    }
  }

  double seconds(std::int64_t tick) const {
    // The last segment starting at or before the tick; of several at one tick, the last.
    const auto after =
        std::upper_bound(segments_.begin(), segments_.end(), tick,
                         [](std::int64_t t, const Segment& segment) { return t < segment.tick; });
    const Segment& segment = *(after - 1);
    return segment.seconds + static_cast<double>(tick - segment.tick) * segment.tickSeconds;
  }

 private:
  struct Segment {
    std::int64_t tick;
    double seconds;
    double tickSeconds;
  };
  std::vector<Segment> segments_;
};

}  // namespace

bool parseMidi(const unsigned char* data, std::size_t size, MidiSong* song, std::string* error) {
  Cursor file(data, size);
  std::uint32_t headerLength = 0;
  std::uint32_t format = 0;
  std::uint32_t trackCount = 0;
  std::uint32_t division = 0;
  if (size < 14 || std::memcmp(data, "MThd", 4) != 0 || !file.skip(4) ||
      !file.bigEndian(4, &headerLength) || headerLength < 6 || !file.bigEndian(2, &format) ||
      !file.bigEndian(2, &trackCount) || !file.bigEndian(2, &division) ||
      !file.skip(headerLength - 6)) {
    *error = "not a standard MIDI file";
    return false;
  }
  if (format > 1) {
    *error = "MIDI file type " + std::to_string(format) + " is not supported (only 0 and 1)";
    return false;
  }

  // Seconds per tick, before tempo: musical time scales with the tempo map, SMPTE time not.
  double ticksPerQuarter = 0.0;
  double secondsPerTick = 0.0;
  if ((division & 0x8000) == 0) {
    ticksPerQuarter = division;
    if (division == 0) {
      *error = "MIDI file has zero ticks per quarter note";
      return false;
    }
  } else {
    const int fps = -static_cast<int>(static_cast<std::int8_t>(division >> 8));
    const int perFrame = static_cast<int>(division & 0xFF);
    if ((fps != 24 && fps != 25 && fps != 29 && fps != 30) || perFrame == 0) {
      *error = "MIDI file has a bad SMPTE time division";
      return false;
    }
    secondsPerTick = 1.0 / ((fps == 29 ? 29.97 : fps) * perFrame);
  }

  std::vector<TickEvent> tickEvents;
  std::vector<TempoChange> tempos;
  std::int64_t endTick = 0;
  std::uint32_t tracksFound = 0;
  while (!file.atEnd()) {
    // A few stray bytes after the last track are tolerated, as other readers do.
    if (file.remaining() < 8 && tracksFound >= trackCount) break;
    char type[4] = {};
    std::memcpy(type, file.here(), std::min<std::size_t>(4, file.remaining()));
    std::uint32_t length = 0;
    if (!file.skip(4) || !file.bigEndian(4, &length) || length > file.remaining()) {
      *error = "MIDI file is truncated";
      return false;
    }
    const Cursor chunk(file.here(), length);
    file.skip(length);
    if (std::memcmp(type, "MTrk", 4) != 0) continue;  // unknown chunks are skipped
    std::int64_t trackEnd = 0;
    if (!parseTrack(chunk, static_cast<int>(tracksFound), &tickEvents, &tempos, &trackEnd, error)) {
      return false;
    }
    endTick = std::max(endTick, trackEnd);
    ++tracksFound;
  }
  if (tracksFound < trackCount) {
    // Every chunk was whole, so the header is what is wrong.
    *error = "MIDI header announces " + std::to_string(trackCount) + " tracks, the file holds " +
             std::to_string(tracksFound);
    return false;
  }

  std::stable_sort(tickEvents.begin(), tickEvents.end(),
                   [](const TickEvent& a, const TickEvent& b) {
                     if (a.tick != b.tick) return a.tick < b.tick;
                     if (a.track != b.track) return a.track < b.track;
                     return a.order < b.order;
                   });
  const TempoMap tempoMap(ticksPerQuarter, secondsPerTick, std::move(tempos));
  // No event lies beyond the end of its track, so this bounds every event's time too.
  song->endSeconds = tempoMap.seconds(endTick);
  if (song->endSeconds > kMaxMidiSeconds) {
    *error = "MIDI file is longer than " + std::to_string(int(kMaxMidiSeconds / 60)) + " minutes";
    return false;
  }
  song->events.clear();
  song->events.reserve(tickEvents.size());
  for (TickEvent& event : tickEvents) {
    event.midi.seconds = tempoMap.seconds(event.tick);
    song->events.push_back(event.midi);
  }
  return true;
}

bool readMidiFile(const std::string& path, MidiSong* song, std::string* error) {
  struct stat info {};
  if (stat(path.c_str(), &info) != 0) {
    *error = "cannot open MIDI file " + path + ": " + std::strerror(errno);
    return false;
  }
  if (!S_ISREG(info.st_mode)) {
    *error = "cannot open MIDI file " + path + ": not a regular file";
    return false;
  }
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    *error = "cannot open MIDI file " + path + ": " + std::strerror(errno);
    return false;
  }
  std::vector<unsigned char> data;
  char buffer[65536];
  while (in.read(buffer, sizeof(buffer)) || in.gcount() > 0) {
    data.insert(data.end(), buffer, buffer + in.gcount());
    if (data.size() > kMaxMidiFileBytes) {
      *error =
          path + ": MIDI file is larger than " + std::to_string(kMaxMidiFileBytes >> 20) + " MB";
      return false;
    }
  }
  if (in.bad()) {
    *error = "cannot read MIDI file " + path + ": " + std::strerror(errno);
    return false;
  }
  if (!parseMidi(data.data(), data.size(), song, error)) {
    *error = path + ": " + *error;
    return false;
  }
  return true;
}

}  // namespace vorlak::render
