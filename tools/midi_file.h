// Reads a standard MIDI file (type 0 or 1) into one time-ordered sequence of channel
// messages, all tracks merged, times in seconds following the file's tempo map, and the
// time at which the file ends: the later of its last event and its end-of-track times.
//
// The reader is our own rather than libsmf: libsmf aborts the process on a truncated track,
// and a corrupt file must only ever produce an error.
#pragma once

#include <cstddef>
#include <string>

#include "tools/timed_midi.h"

namespace vorlak::render {

// Files longer than this are refused rather than rendered for hours.
constexpr double kMaxMidiSeconds = 3600.0;
constexpr std::size_t kMaxMidiFileBytes = 64 << 20;

// Returns false with a one-line error when the data is malformed, of type 2, or too long.
bool parseMidi(const unsigned char* data, std::size_t size, MidiSong* song, std::string* error);

// As parseMidi, for a file; also fails when the file is missing or unreadable.
bool readMidiFile(const std::string& path, MidiSong* song, std::string* error);

}  // namespace vorlak::render
