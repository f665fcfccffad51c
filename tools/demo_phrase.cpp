#include "tools/demo_phrase.h"

#include <algorithm>
#include <initializer_list>
#include <vector>

namespace vorlak::render {
namespace {

struct Note {
  double beat;
  double length;  // beats
  int key;
  int velocity;
};

struct Phrase {
  std::vector<Note> notes;
  std::vector<std::pair<double, int>> programs;  // beat, program
};

constexpr int kBeatsPerBar = 4;
constexpr double kProgramLead = 0.25;  // beats

// Factory programs that show each style.
constexpr int kPowerMetal = 0;      // "PwrChords"
constexpr int kAutoNatural = 12;    // "AutoChords"
constexpr int kDistRhythm = 44;     // "Strumming"
constexpr int kSololeadGlide = 46;  // "Solo dynamic"
constexpr int kEbass2 = 22;         // "None", a bass
constexpr int kWildWestGlide = 40;  // "Solo fixed"

void chord(Phrase& phrase, double beat, double length, std::initializer_list<int> keys,
           int velocity) {
  for (int key : keys) phrase.notes.push_back({beat, length, key, velocity});
}

// Bars 1-2: one key per power chord.
void powerRiff(Phrase& phrase, double start) {
  phrase.programs.push_back({start, kPowerMetal});
  const Note riff[] = {{0.0, 0.45, 40, 120}, {0.5, 0.45, 40, 90},  {1.0, 0.9, 43, 115},
                       {2.0, 0.45, 45, 118}, {2.5, 0.45, 45, 92},  {3.0, 0.9, 47, 112},
                       {4.0, 0.45, 40, 120}, {4.5, 0.45, 40, 90},  {5.0, 0.9, 43, 115},
                       {6.0, 0.9, 50, 110},  {7.0, 0.9, 48, 116}};
  for (const Note& n : riff) phrase.notes.push_back({start + n.beat, n.length, n.key, n.velocity});
}

// Bars 3-4: single keys become full voicings.
void autoChords(Phrase& phrase, double start) {
  phrase.programs.push_back({start, kAutoNatural});
  const int keys[] = {40, 48, 43, 50};
  for (int i = 0; i < 4; ++i) phrase.notes.push_back({start + 2.0 * i, 1.9, keys[i], 104});
}

// Bars 5-6: held chords strummed string by string.
void strums(Phrase& phrase, double start) {
  phrase.programs.push_back({start, kDistRhythm});
  chord(phrase, start + 0.0, 1.4, {40, 47, 52, 55, 59, 64}, 72);
  chord(phrase, start + 1.5, 0.4, {40, 47, 52, 55, 59, 64}, 56);
  chord(phrase, start + 2.0, 1.9, {48, 52, 55, 60, 64}, 68);
  chord(phrase, start + 4.0, 1.4, {43, 47, 50, 55, 59, 67}, 70);
  chord(phrase, start + 5.5, 0.4, {43, 47, 50, 55, 59, 67}, 56);
  chord(phrase, start + 6.0, 1.9, {50, 57, 62, 66}, 66);
}

// Bars 7-8: overlapping keys glide into each other instead of plucking again.
void soloLine(Phrase& phrase, double start, int program) {
  phrase.programs.push_back({start, program});
  const int keys[] = {64, 67, 69, 71, 74, 71, 69, 67, 64, 62, 64};
  const double beats[] = {0.0, 1.0, 1.5, 2.0, 3.0, 4.0, 4.5, 5.0, 6.0, 6.5, 7.0};
  for (int i = 0; i < 11; ++i) {
    const double end = i + 1 < 11 ? beats[i + 1] + 0.25 : 8.0;
    phrase.notes.push_back({start + beats[i], end - beats[i], keys[i], 120});
  }
}

// Bars 9-10: a syncopated bass line.
void bassLine(Phrase& phrase, double start) {
  phrase.programs.push_back({start, kEbass2});
  const Note line[] = {{0.0, 0.9, 28, 112}, {1.0, 0.4, 28, 80},  {1.5, 0.4, 31, 92},
                       {2.0, 0.9, 33, 104}, {3.0, 0.4, 35, 88},  {3.5, 0.4, 33, 84},
                       {4.0, 0.9, 33, 110}, {5.0, 0.4, 33, 78},  {5.5, 0.4, 36, 90},
                       {6.0, 0.4, 35, 100}, {6.5, 0.4, 33, 86},  {7.0, 0.9, 31, 96}};
  for (const Note& n : line) phrase.notes.push_back({start + n.beat, n.length, n.key, n.velocity});
}

// Bars 11-12: a last power chord left to ring.
void ending(Phrase& phrase, double start) {
  phrase.programs.push_back({start, kAutoNatural});
  phrase.notes.push_back({start, 6.0, 40, 112});
}

}  // namespace

MidiSequence demoPhrase(double beatsPerMinute, bool tour) {
  Phrase phrase;
  const double bar = kBeatsPerBar;
  powerRiff(phrase, 0 * bar);
  autoChords(phrase, 2 * bar);
  strums(phrase, 4 * bar);
  soloLine(phrase, 6 * bar, kSololeadGlide);
  bassLine(phrase, 8 * bar);
  soloLine(phrase, 10 * bar, kWildWestGlide);
  ending(phrase, 12 * bar);

  const double secondsPerBeat = 60.0 / beatsPerMinute;
  MidiSequence events;
  if (tour) {
    for (const auto& [beat, program] : phrase.programs) {
      // A change of playing style releases what sounds at the next string pass, notes of
      // the same tick included, so each section's program comes a little ahead of it.
      TimedMidi change;
      change.seconds = std::max(beat - kProgramLead, 0.0) * secondsPerBeat;
      change.bytes[0] = 0xC0;
      change.bytes[1] = static_cast<unsigned char>(program);
      events.push_back(change);
    }
  }
  for (const Note& note : phrase.notes) {
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
  // At one instant: releases first, then the program change, then new notes, so a section's
  // last notes end in their own program and the next section starts in its own.
  auto rank = [](const TimedMidi& m) {
    switch (m.bytes[0] & 0xF0) {
      case 0x80: return 0;
      case 0xC0: return 1;
      default: return 2;
    }
  };
  std::stable_sort(events.begin(), events.end(), [&](const TimedMidi& a, const TimedMidi& b) {
    if (a.seconds != b.seconds) return a.seconds < b.seconds;
    return rank(a) < rank(b);
  });
  return events;
}

}  // namespace vorlak::render
