// Command line of vorlak-render.
#pragma once

#include <array>
#include <string>
#include <utility>
#include <vector>

#include "tools/wav_writer.h"

namespace vorlak::render {

struct RenderOptions {
  std::string pluginPath;  // empty: vorlak.so beside the executable, else the installed one
  std::string midiPath;    // empty: the built-in demo phrase
  std::string outputPath = "vorlak-demo.wav";
  std::string program;  // number or exact name; empty keeps the plug-in's own
  int sampleRate = 44100;
  int blockSize = 512;
  double tempo = 120.0;
  double tailSeconds = 10.0;  // the most rendered after the end while the sound dies away
  SampleFormat format = SampleFormat::Pcm16;
  std::vector<std::pair<std::string, float>> settings;  // parameter name, value
  // MIDI channels 1 to 16 that play; by default all but 10, the General MIDI drums.
  std::array<bool, 16> channels = {true, true,  true, true, true, true, true, true,
                                   true, false, true, true, true, true, true, true};
  bool channelsChosen = false;  // a --channel was given, so the default no longer holds
  bool followProgramChanges = false;
  bool quiet = false;
  bool listPrograms = false;
  bool listParams = false;
  bool help = false;
  bool version = false;
};

// Fills options from the arguments; false with a one-line error on bad usage.
bool parseRenderOptions(int argc, char** argv, RenderOptions* options, std::string* error);

// Whether the program changes in the notes select programs: unless the user chose a sound.
bool followsProgramChanges(const RenderOptions& options);

std::string usageText(const char* program);

}  // namespace vorlak::render
