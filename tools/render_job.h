// Drives a loaded plug-in the way a host plays a track: program and parameter set-up, then
// the MIDI sequence placed on exact frames within fixed-size blocks, written to a WAV file.
#pragma once

#include <cstdio>
#include <string>

#include "tools/render_options.h"
#include "tools/timed_midi.h"
#include "tools/vst_host.h"

namespace vorlak::render {

// Selects options.program and applies options.settings; false with a one-line error when a
// program or parameter name is unknown or a number is out of range.
bool configurePlugin(host::Plugin& plugin, const RenderOptions& options, std::string* error);

void listPrograms(host::Plugin& plugin, std::FILE* out);
void listParameters(host::Plugin& plugin, std::FILE* out);

// Renders events plus the tail into options.outputPath. The plug-in must be switched on.
bool renderToWav(host::Plugin& plugin, const MidiSequence& events, const RenderOptions& options,
                 std::string* error);

}  // namespace vorlak::render
