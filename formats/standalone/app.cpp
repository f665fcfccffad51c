#include "formats/standalone/app.h"

#include <poll.h>
#include <pthread.h>
#include <signal.h>
#include <strings.h>

#include <cstdio>
#include <cstdlib>

#include "editor/platform/platform.h"

namespace vorlak::standalone {
namespace {

volatile sig_atomic_t gStop = 0;

void stop(int) { gStop = 1; }

// SIGINT and SIGTERM are held back everywhere but in the main loop's wait, so that they never
// interrupt a call into JACK or X halfway, and the driver threads made meanwhile (which take
// this mask) never see them. Returns the mask to wait with.
sigset_t holdStopSignals() {
  sigset_t held, waiting;
  sigemptyset(&held);
  sigaddset(&held, SIGINT);
  sigaddset(&held, SIGTERM);
  pthread_sigmask(SIG_BLOCK, &held, &waiting);
  sigdelset(&waiting, SIGINT);
  sigdelset(&waiting, SIGTERM);
  struct sigaction action {};
  action.sa_handler = stop;
  sigaction(SIGINT, &action, nullptr);
  sigaction(SIGTERM, &action, nullptr);
  return waiting;
}

constexpr int kIdleMs = 20;          // as often as hosts idle their panels
constexpr int kHeadlessMs = 100;     // only the signals and the server to watch
constexpr unsigned kRetryMs = 1000;  // how often a vanished JACK server is looked for

const char* systemName(AudioSystem system) {
  return system == AudioSystem::kJack ? "jack" : system == AudioSystem::kAlsa ? "alsa" : "";
}

}  // namespace

int findProgram(const InstrumentCore& core, const std::string& text) {
  char* end = nullptr;
  const long number = std::strtol(text.c_str(), &end, 10);
  if (end != text.c_str() && !*end) return number >= 0 && number < kNumPrograms ? number : -1;
  char name[32];
  for (int n = 0; n < kNumPrograms; ++n)
    if (core.programNameAt(n, name) && strcasecmp(name, text.c_str()) == 0) return n;
  return -1;
}

App::App(const Options& given) : options(given) {}

bool App::openAudio(AudioSystem wanted, std::string& error) {
  // Loads from the panel wait for the callback from the moment it may run.
  player.instrument().setRendering(true);
  backend = wanted == AudioSystem::kJack ? openJack(player, choice, error)
                                         : openAlsa(player, choice, error);
  if (backend) system = wanted;
  else player.instrument().setRendering(false);
  return backend != nullptr;
}

void App::closeAudio() {
  backend.reset();
  // Nothing renders now: a load still waiting applies, and later ones at once.
  player.instrument().setRendering(false);
}

bool App::start() {
  settings = store.loadSettings();
  store.loadSession(player.instrument());
  if (!options.program.empty()) {
    const int program = findProgram(player.instrument(), options.program);
    if (program < 0) {
      std::fprintf(stderr, "vorlak: no program is numbered or named \"%s\"\n",
                   options.program.c_str());
      status = 2;
      return false;
    }
    player.instrument().loadProgram(program);
  }
  // The command line decides; what it leaves open, the last run's choices do.
  AudioSystem wanted = options.audio;
  // (A last choice of JACK is the default anyway, and ALSA stands in while no server runs.)
  if (wanted == AudioSystem::kAuto && settings.audio == "alsa") wanted = AudioSystem::kAlsa;
  if (wanted == AudioSystem::kAuto)
    wanted = jackServerRunning() ? AudioSystem::kJack : AudioSystem::kAlsa;
  choice.device = options.gaveDevice ? options.device : settings.device;
  choice.midi = options.gaveMidi ? options.midi : settings.midi;
  choice.rate = options.rate;
  choice.buffer = options.buffer;
  choice.connect = options.connect;
  std::string error;
  bool open = openAudio(wanted, error);
  // A device or source the last run chose may have been unplugged since: the defaults play.
  const bool savedChoice = (!options.gaveDevice && !choice.device.empty()) ||
                           (!options.gaveMidi && !choice.midi.empty());
  if (!open && savedChoice) {
    std::fprintf(stderr, "vorlak: %s; playing on the defaults\n", error.c_str());
    if (!options.gaveDevice) choice.device.clear();
    if (!options.gaveMidi) choice.midi.clear();
    open = openAudio(wanted, error);
  }
  if (!open) {
    std::fprintf(stderr, "vorlak: %s\n", error.c_str());
    status = 1;
    return false;
  }
  if (options.gaveAudio || options.gaveDevice || options.rate || options.buffer)
    settings.audio = systemName(system);
  if (system == AudioSystem::kAlsa) settings.device = choice.device;
  settings.midi = choice.midi;
  if (options.scale > 0.0) {
    // The option comes before the environment, as the environment comes before the rest.
    char text[32];
    std::snprintf(text, sizeof text, "%g", options.scale);
    setenv("VORLAK_UI_SCALE", text, 1);
    settings.scale = options.scale;
  }
  if (options.gui) {
    window = PanelWindow::open(player, *this, settings.scale);
    if (!window) std::fprintf(stderr, "vorlak: no display to show the panel on; playing without\n");
  }
  return true;
}

bool App::keepAudio() {
  if (backend) {
    backend->poll();
    const char* failure = backend->failure();
    if (!failure) return true;
    closeAudio();
    if (system != AudioSystem::kJack) {
      std::fprintf(stderr, "vorlak: %s\n", failure);
      status = 1;
      return false;
    }
    std::fprintf(stderr, "vorlak: %s; waiting for it to come back\n", failure);
    waitingForServer = true;
    nextTry = currentPlatform().tickCount() + kRetryMs;
    return true;
  }
  if (!waitingForServer || static_cast<int>(currentPlatform().tickCount() - nextTry) < 0)
    return true;
  nextTry = currentPlatform().tickCount() + kRetryMs;
  std::string error;
  if (jackServerRunning() && openAudio(AudioSystem::kJack, error)) {
    std::fprintf(stderr, "vorlak: playing on JACK again\n");
    waitingForServer = false;
  }
  return true;
}

void App::loop(const sigset_t& waiting) {
  while (!gStop) {
    if (window && !window->idle()) break;
    if (!keepAudio()) break;
    pollfd watched{window ? window->eventDescriptor() : -1, POLLIN, 0};
    const int ms = window ? kIdleMs : kHeadlessMs;
    const timespec wait{0, ms * 1000000L};
    ppoll(&watched, 1, &wait, &waiting);
  }
}

int App::run() {
  const sigset_t waiting = holdStopSignals();
  if (!start()) return status;
  loop(waiting);
  // The panel and the ports go first, so the window and the client vanish at once; the
  // settings are written once nothing plays any more.
  window.reset();
  closeAudio();
  store.save(settings, player.instrument());
  return status;
}

std::vector<MenuEntry> App::audioMenu() {
  audioChoices.clear();
  std::vector<MenuEntry> entries;
  if (jackServerRunning()) audioChoices.push_back("JACK");
  std::vector<std::string> devices;
  if (system == AudioSystem::kAlsa && backend) devices = backend->outputDevices();
  for (const std::string& device : devices)
    if (!device.empty()) audioChoices.push_back("ALSA: " + device);
  if (system == AudioSystem::kJack || !backend) audioChoices.push_back("ALSA: default");
  for (size_t i = 0; i < audioChoices.size(); ++i) {
    MenuEntry entry{audioChoices[i], static_cast<int>(i)};
    entry.checked = (system == AudioSystem::kJack && audioChoices[i] == "JACK") ||
                    (system == AudioSystem::kAlsa && audioChoices[i] == "ALSA: " + choice.device);
    entries.push_back(entry);
  }
  return entries;
}

void App::chooseAudio(int id) {
  if (id < 0 || id >= static_cast<int>(audioChoices.size())) return;
  const std::string& chosen = audioChoices[static_cast<size_t>(id)];
  const AudioSystem wanted = chosen == "JACK" ? AudioSystem::kJack : AudioSystem::kAlsa;
  const AudioChoice before = choice;
  if (wanted == AudioSystem::kAlsa)
    choice.device = chosen == "ALSA: default" ? std::string() : chosen.substr(6);
  // One device at a time: the old one is given up before the new one opens.
  closeAudio();
  std::string error;
  if (!openAudio(wanted, error)) {
    std::fprintf(stderr, "vorlak: %s; back to the last choice\n", error.c_str());
    choice = before;
    if (!openAudio(system, error)) std::fprintf(stderr, "vorlak: %s\n", error.c_str());
    return;
  }
  waitingForServer = false;
  settings.audio = systemName(system);
  if (system == AudioSystem::kAlsa) settings.device = choice.device;
}

std::vector<MenuEntry> App::midiMenu() {
  midiChoices = backend ? backend->midiSources() : std::vector<std::string>{};
  std::vector<MenuEntry> entries;
  for (size_t i = 0; i < midiChoices.size(); ++i) {
    MenuEntry entry{midiChoices[i], static_cast<int>(i)};
    entry.checked = midiChoices[i] == choice.midi;
    entries.push_back(entry);
  }
  if (entries.empty()) entries.push_back({"(no MIDI source)", -1, MenuEntry::kGreyed});
  return entries;
}

void App::chooseMidi(int id) {
  if (!backend || id < 0 || id >= static_cast<int>(midiChoices.size())) return;
  const std::string& source = midiChoices[static_cast<size_t>(id)];
  if (!backend->chooseMidiSource(source)) {
    std::fprintf(stderr, "vorlak: the MIDI source %s could not be connected\n", source.c_str());
    return;
  }
  choice.midi = source;
  settings.midi = source;
}

}  // namespace vorlak::standalone
