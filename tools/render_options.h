// Command line of vorlak-render.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "tools/wav_writer.h"

namespace vorlak::render {

struct RenderOptions {
  std::string pluginPath;  // empty: vorlak.so beside the executable
  std::string midiPath;    // empty: the built-in demo phrase
  std::string outputPath = "vorlak-demo.wav";
  std::string program;  // number or exact name; empty keeps the plug-in's own
  int sampleRate = 44100;
  int blockSize = 512;
  double tempo = 120.0;
  double tailSeconds = 2.0;
  SampleFormat format = SampleFormat::Pcm16;
  std::vector<std::pair<std::string, float>> settings;  // parameter name, value
  bool listPrograms = false;
  bool listParams = false;
  bool help = false;
};

// Fills options from the arguments; false with a one-line error on bad usage.
bool parseRenderOptions(int argc, char** argv, RenderOptions* options, std::string* error);

std::string usageText(const char* program);

}  // namespace vorlak::render
