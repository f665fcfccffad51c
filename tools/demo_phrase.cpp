#include "tools/demo_phrase.h"

#include <algorithm>
#include <initializer_list>

namespace vorlak::render {
namespace {

struct Note {
  double beat;
  double length;  // beats
  int key;
  int velocity;
};

using Phrase = std::vector<Note>;

constexpr int kBeatsPerBar = 4;
// Chord tones are spread like a pick crossing the strings, low to high.
constexpr double kStrumBeats = 0.03;

void addChord(Phrase& phrase, double beat, double length, std::initializer_list<int> keys,
              int velocity) {
  double offset = 0.0;
  for (int key : keys) {
    phrase.push_back({beat + offset, length - offset, key, velocity});
    offset += kStrumBeats;
    velocity = std::max(velocity - 4, 1);
  }
}

// Bars 1-2: a pentatonic lead line that climbs, turns and lands on the root.
void leadLine(Phrase& phrase, double bar) {
  const double start = bar * kBeatsPerBar;
  const int keys[] = {64, 67, 69, 71, 74, 71, 69, 67};
  for (int i = 0; i < 8; ++i) {
    const int accent = i % 2 == 0 ? 100 : 84;
    phrase.push_back({start + i * 0.5, 0.45, keys[i], accent});
  }
  phrase.push_back({start + 4.0, 1.5, 69, 96});
  phrase.push_back({start + 5.5, 0.5, 71, 80});
  phrase.push_back({start + 6.0, 2.0, 64, 104});
}

// Bars 3-4: Em, C, G, D, two beats each.
void chordProgression(Phrase& phrase, double bar) {
  const double start = bar * kBeatsPerBar;
  addChord(phrase, start + 0.0, 1.9, {40, 47, 52, 55, 59, 64}, 110);
  addChord(phrase, start + 2.0, 1.9, {48, 52, 55, 60, 64}, 100);
  addChord(phrase, start + 4.0, 1.9, {43, 47, 50, 55, 59, 67}, 104);
  addChord(phrase, start + 6.0, 2.0, {50, 57, 62, 66}, 96);
}

// Bars 5-6: a syncopated bass line around E and A.
void bassLine(Phrase& phrase, double bar) {
  const double start = bar * kBeatsPerBar;
  const struct {
    double beat;
    double length;
    int key;
    int velocity;
  } line[] = {
      {0.0, 0.9, 28, 112}, {1.0, 0.4, 28, 80},  {1.5, 0.4, 31, 92},  {2.0, 0.9, 33, 104},
      {3.0, 0.4, 35, 88},  {3.5, 0.4, 33, 84},  {4.0, 0.9, 33, 110}, {5.0, 0.4, 33, 78},
      {5.5, 0.4, 36, 90},  {6.0, 0.4, 35, 100}, {6.5, 0.4, 33, 86},  {7.0, 0.9, 31, 96},
  };
  for (const auto& note : line) {
    phrase.push_back({start + note.beat, note.length, note.key, note.velocity});
  }
}

// Bars 7-8: Am over the bass, a short answer in the lead, and a ringing Em to close.
void ending(Phrase& phrase, double bar) {
  const double start = bar * kBeatsPerBar;
  phrase.push_back({start, 3.8, 33, 104});
  addChord(phrase, start, 1.9, {45, 52, 57, 60, 64}, 100);
  phrase.push_back({start + 2.0, 0.5, 72, 90});
  phrase.push_back({start + 2.5, 0.5, 71, 84});
  phrase.push_back({start + 3.0, 1.0, 67, 92});
  phrase.push_back({start + 4.0, 4.0, 28, 110});
  addChord(phrase, start + 4.0, 4.0, {40, 47, 52, 55, 59, 64}, 112);
}

}  // namespace

MidiSequence demoPhrase(double beatsPerMinute) {
  Phrase phrase;
  leadLine(phrase, 0);
  chordProgression(phrase, 2);
  bassLine(phrase, 4);
  ending(phrase, 6);

  const double secondsPerBeat = 60.0 / beatsPerMinute;
  MidiSequence events;
  for (const Note& note : phrase) {
    TimedMidi on;
    on.seconds = note.beat * secondsPerBeat;
    on.bytes[0] = 0x90;
    on.bytes[1] = static_cast<unsigned char>(note.key);
    on.bytes[2] = static_cast<unsigned char>(note.velocity);
    TimedMidi off = on;
    off.seconds = (note.beat + note.length) * secondsPerBeat;
    off.bytes[0] = 0x80;
    off.bytes[2] = 64;
    events.push_back(on);
    events.push_back(off);
  }
  // A release and a new attack at the same instant: the release goes first.
  std::stable_sort(events.begin(), events.end(), [](const TimedMidi& a, const TimedMidi& b) {
    if (a.seconds != b.seconds) return a.seconds < b.seconds;
    return a.bytes[0] == 0x80 && b.bytes[0] == 0x90;
  });
  return events;
}

}  // namespace vorlak::render
