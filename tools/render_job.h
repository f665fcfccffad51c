// Drives a loaded plug-in the way a host plays a track: program and parameter set-up, then
// the MIDI sequence placed on exact frames within fixed-size blocks, written to a WAV file.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

#include "tools/loudness_meter.h"
#include "tools/render_options.h"
#include "tools/timed_midi.h"
#include "tools/vst_host.h"

namespace vorlak::render {

// Selects options.program and applies options.settings; false with a one-line error when a
// program or parameter name is unknown or a number is out of range.
bool configurePlugin(host::Plugin& plugin, const RenderOptions& options, std::string* error);

void listPrograms(host::Plugin& plugin, std::FILE* out);
void listParameters(host::Plugin& plugin, std::FILE* out);

// What of a song plays: the messages of the chosen channels, without the program changes
// when the user chose the sound (followsProgramChanges).
struct SongSelection {
  MidiSong song;
  int ignoredProgramChanges = 0;
  bool notesLeftOut = false;      // the song has notes, none of them on the chosen channels
  std::string channelsWithNotes;  // "2, 10": where the song's notes are
};

SongSelection selectEvents(const MidiSong& song, const RenderOptions& options);

struct RenderResult {
  std::int64_t frames = 0;
  Loudness loudness;
  std::int64_t clippedSamples = 0;
  std::int64_t nonFiniteSamples = 0;
  bool tailCut = false;  // the tail limit ended the file while it still sounded
};

// Renders the song into options.outputPath: to its end, then, after all-notes-off on every
// channel, on until the output has stayed below -90 dBFS for 0.2 s or options.tailSeconds
// have passed, in which case the last 10 ms fade out. The plug-in must be switched on.
bool renderToWav(host::Plugin& plugin, const MidiSong& song, const RenderOptions& options,
                 RenderResult* result, std::string* error);

}  // namespace vorlak::render
