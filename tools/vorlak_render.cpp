// vorlak-render: plays a MIDI file or the built-in demo through the Vorlak plug-in, loaded
// as a host loads it, and writes the result to a WAV file.
#if defined(_WIN32)
#include <windows.h>
#else
#include <unistd.h>
#endif

#include <climits>
#include <cstdio>
#include <memory>
#include <string>

#include "tools/demo_phrase.h"
#include "tools/midi_file.h"
#include "tools/render_job.h"
#include "tools/render_options.h"
#include "tools/vst_host.h"
#include "vorlak_version.h"

namespace {

using vorlak::render::decibels;
using vorlak::render::levelText;
using vorlak::render::RenderOptions;
using vorlak::render::RenderResult;
using vorlak::render::SongSelection;

int fail(const std::string& message) {
  std::fprintf(stderr, "vorlak-render: %s\n", message.c_str());
  return 1;
}

#if defined(_WIN32)
// The module beside the program in a build; installed, in the VST 2 folder the player chose,
// which the installer records.
std::string defaultPluginPath() {
  char self[MAX_PATH];
  const DWORD length = GetModuleFileNameA(nullptr, self, sizeof(self));
  if (length == 0 || length >= sizeof(self)) return "vorlak.dll";
  const std::string path(self, length);
  const std::string beside = path.substr(0, path.find_last_of("/\\") + 1) + "vorlak.dll";
  if (GetFileAttributesA(beside.c_str()) != INVALID_FILE_ATTRIBUTES) return beside;
  char folder[MAX_PATH];
  DWORD size = sizeof(folder);
  if (RegGetValueA(HKEY_LOCAL_MACHINE, "Software\\Vorlak", "VST2Folder", RRF_RT_REG_SZ, nullptr,
                   folder, &size) != ERROR_SUCCESS) {
    return beside;
  }
  return std::string(folder) + "\\vorlak.dll";
}
#else
// The module beside the program in a build; installed, where the install put it.
std::string defaultPluginPath() {
  char self[PATH_MAX];
  const ssize_t length = readlink("/proc/self/exe", self, sizeof(self) - 1);
  if (length <= 0) return "vorlak.so";
  const std::string path(self, static_cast<std::size_t>(length));
  const std::string folder = path.substr(0, path.rfind('/') + 1);
  const std::string beside = folder + "vorlak.so";
  return access(beside.c_str(), F_OK) == 0 ? beside : folder + VORLAK_INSTALLED_MODULE;
}
#endif

// What the song's choice of channels and programs left out; said after the render, so that
// a run that fails still ends with its one line of error.
void reportSelection(const SongSelection& selection, const RenderOptions& options) {
  if (selection.notesLeftOut) {
    std::fprintf(stderr,
                 "vorlak-render: warning: no notes on the chosen channels; the notes are on "
                 "channel%s %s (see --channel)\n",
                 selection.channelsWithNotes.find(',') == std::string::npos ? "" : "s",
                 selection.channelsWithNotes.c_str());
  }
  if (selection.ignoredProgramChanges > 0 && !options.quiet) {
    std::fprintf(stderr,
                 "vorlak-render: %d program change%s in the file ignored, since a program or "
                 "setting was given (--follow-program-changes keeps them)\n",
                 selection.ignoredProgramChanges, selection.ignoredProgramChanges == 1 ? "" : "s");
  }
}

// What was written, as loudness meters show it; then what the user may want to change.
void report(const RenderResult& result, const RenderOptions& options) {
  if (!options.quiet && !result.loudness.measured) {
    std::fprintf(stderr, "vorlak-render: %.2f s, sample peak %s dBFS (no loudness meter here)\n",
                 static_cast<double>(result.frames) / options.sampleRate,
                 levelText(decibels(result.loudness.samplePeak)).c_str());
  } else if (!options.quiet) {
    std::fprintf(stderr,
                 "vorlak-render: %.2f s, integrated %s LUFS, loudness range %.1f LU, "
                 "sample peak %s dBFS, true peak %s dBTP\n",
                 static_cast<double>(result.frames) / options.sampleRate,
                 levelText(result.loudness.integratedLufs).c_str(), result.loudness.rangeLu,
                 levelText(decibels(result.loudness.samplePeak)).c_str(),
                 levelText(decibels(result.loudness.truePeak)).c_str());
  }
  if (!options.quiet && result.tailCut) {
    std::fprintf(stderr,
                 "vorlak-render: still sounding %g s after the end; faded out over the last "
                 "10 ms (--tail sets the limit)\n",
                 options.tailSeconds);
  }
  if (result.clippedSamples > 0) {
    const double samples = 2.0 * static_cast<double>(result.frames);
    std::fprintf(stderr,
                 "vorlak-render: warning: %lld of %.0f samples (%.2g %%) clipped at 16-bit full "
                 "scale; --float writes them unclipped\n",
                 static_cast<long long>(result.clippedSamples), samples,
                 100.0 * static_cast<double>(result.clippedSamples) / samples);
  }
  if (result.nonFiniteSamples > 0) {
    std::fprintf(stderr, "vorlak-render: warning: %lld non-finite samples written as silence\n",
                 static_cast<long long>(result.nonFiniteSamples));
  }
}

}  // namespace

int main(int argc, char** argv) {
  using namespace vorlak;
  render::RenderOptions options;
  std::string error;
  if (!render::parseRenderOptions(argc, argv, &options, &error)) {
    std::fprintf(stderr, "vorlak-render: %s (see --help)\n", error.c_str());
    return 2;
  }
  if (options.help) {
    std::fputs(render::usageText("vorlak-render").c_str(), stdout);
    return 0;
  }
  if (options.version) {
    std::printf("vorlak-render %s\n", VORLAK_VERSION);
    return 0;
  }
  const bool listing = options.listPrograms || options.listParams;

  render::MidiSong song;
  if (!listing) {
    if (options.midiPath.empty()) {
      // The tour selects its own programs; a user who chose a program or settings hears
      // the same notes in that sound instead.
      song.events = render::demoPhrase(options.tempo, render::followsProgramChanges(options));
    } else if (!render::readMidiFile(options.midiPath, &song, &error)) {
      return fail(error);
    }
  }
  const render::SongSelection selection = render::selectEvents(song, options);
  const std::string pluginPath =
      options.pluginPath.empty() ? defaultPluginPath() : options.pluginPath;
  std::unique_ptr<host::Plugin> plugin = host::Plugin::load(pluginPath, &error);
  if (!plugin) return fail(error);
  plugin->host().tempo = options.tempo;
  plugin->start(static_cast<float>(options.sampleRate), options.blockSize);
  if (!render::configurePlugin(*plugin, options, &error)) return fail(error);

  if (listing) {
    if (options.listPrograms) render::listPrograms(*plugin, stdout);
    if (options.listParams) render::listParameters(*plugin, stdout);
    return 0;
  }
  render::RenderResult result;
  if (!render::renderToWav(*plugin, selection.song, options, &result, &error)) {
    return fail(error);
  }
  plugin->suspend();
  plugin->close();
  reportSelection(selection, options);
  report(result, options);
  std::printf("wrote %s\n", options.outputPath.c_str());
  return 0;
}
