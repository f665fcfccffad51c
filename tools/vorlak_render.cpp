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

namespace {

int fail(const std::string& message) {
  std::fprintf(stderr, "vorlak-render: %s\n", message.c_str());
  return 1;
}

#if defined(_WIN32)
std::string defaultPluginPath() {
  char self[MAX_PATH];
  const DWORD length = GetModuleFileNameA(nullptr, self, sizeof(self));
  if (length == 0 || length >= sizeof(self)) return "vorlak.dll";
  std::string path(self, length);
  return path.substr(0, path.find_last_of("/\\") + 1) + "vorlak.dll";
}
#else
std::string defaultPluginPath() {
  char self[PATH_MAX];
  const ssize_t length = readlink("/proc/self/exe", self, sizeof(self) - 1);
  if (length <= 0) return "vorlak.so";
  std::string path(self, static_cast<std::size_t>(length));
  return path.substr(0, path.rfind('/') + 1) + "vorlak.so";
}
#endif

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
  const bool listing = options.listPrograms || options.listParams;

  render::MidiSequence events;
  if (!listing) {
    if (options.midiPath.empty()) {
      // The tour selects its own programs; a user who chose a program or settings hears
      // the same notes in that sound instead.
      const bool tour = options.program.empty() && options.settings.empty();
      events = render::demoPhrase(options.tempo, tour);
    } else if (!render::readMidiFile(options.midiPath, &events, &error)) {
      return fail(error);
    }
  }

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
  if (!render::renderToWav(*plugin, events, options, &error)) return fail(error);
  plugin->suspend();
  plugin->close();
  std::printf("wrote %s\n", options.outputPath.c_str());
  return 0;
}
