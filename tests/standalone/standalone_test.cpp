// build/vorlak as a player runs it: on a JACK server of the test's own (dummy backend, 44.1 kHz,
// 512-frame periods), played by a client of ours and recorded by another; its window under
// Xvfb; its settings folder damaged, then kept across runs.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <jack/jack.h>
#include <jack/midiport.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

#include "formats/standalone/player.h"
#include "instrument/core.h"
#include "instrument/session_state.h"
#include "tests/integration/stereo.h"
#include "tests/unit/audio_measure.h"
#include "tools/vst_host.h"

// Last: Xlib's macros clash with GoogleTest.
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

extern char** environ;

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

constexpr int kRate = 44100;

std::string readFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void writeFile(const std::string& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary) << bytes;
}

pid_t spawn(std::vector<std::string> arguments, const std::string& errors = "/dev/null") {
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 2, errors.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  std::vector<char*> argv;
  for (auto& a : arguments) argv.push_back(a.data());
  argv.push_back(nullptr);
  pid_t pid = -1;
  posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  return pid;
}

// The exit status, or -1 when the process has not ended within the time.
int waitFor(pid_t pid, std::chrono::milliseconds within) {
  for (auto end = Clock::now() + within; Clock::now() < end; std::this_thread::sleep_for(5ms)) {
    int status = 0;
    if (waitpid(pid, &status, WNOHANG) == pid) return WIFEXITED(status) ? WEXITSTATUS(status) : 128;
  }
  return -1;
}

// A JACK server of the suite's own, so that runs never meet another's.
class JackServer : public testing::Environment {
 public:
  void SetUp() override {
    const std::string name = "vorlak-test-" + std::to_string(getpid());
    setenv("JACK_DEFAULT_SERVER", name.c_str(), 1);
    server = spawn({"/usr/bin/jackd", "-n", name, "-d", "dummy", "-r", "44100", "-p", "512"});
    jack_set_error_function([](const char*) {});
    jack_set_info_function([](const char*) {});
    for (int i = 0; i < 500 && !probe; ++i, std::this_thread::sleep_for(10ms))
      probe = jack_client_open("vorlak-test", JackNoStartServer, nullptr);
    ASSERT_NE(probe, nullptr) << "jackd did not start";
  }
  void TearDown() override {
    if (probe) jack_client_close(probe);
    kill(server, SIGTERM);
    waitFor(server, 3000ms);
  }
  static inline jack_client_t* probe = nullptr;
  pid_t server = -1;
};
testing::Environment* const kServer = testing::AddGlobalTestEnvironment(new JackServer);

bool portExists(const char* name) { return jack_port_by_name(JackServer::probe, name) != nullptr; }

// build/vorlak with its settings in a fresh folder, its standard error kept.
class Program {
 public:
  explicit Program(const std::string& tag)
      : config("/tmp/vorlak-test-" + std::to_string(getpid()) + "-" + tag),
        folder(config + "/vorlak") {
    std::system(("rm -rf '" + config + "' && mkdir -p '" + folder + "'").c_str());
    setenv("XDG_CONFIG_HOME", config.c_str(), 1);
  }
  ~Program() {
    if (pid > 0) kill(pid, SIGKILL), waitFor(pid, 1000ms);
    std::system(("rm -rf '" + config + "'").c_str());
  }
  // Started, and true once its JACK ports exist.
  bool start(std::vector<std::string> options) {
    options.insert(options.begin(), VORLAK_PROGRAM_PATH);
    pid = spawn(options, folder + "/../stderr");
    for (int i = 0; i < 500; ++i, std::this_thread::sleep_for(10ms))
      if (portExists("vorlak:out_1") && portExists("vorlak:midi_in")) return true;
    return false;
  }
  int stop() {
    kill(pid, SIGTERM);
    const int status = waitFor(pid, 2000ms);
    pid = -1;
    return status;
  }
  std::string errors() const { return readFile(config + "/stderr"); }

  std::string config, folder;
  pid_t pid = -1;
};

// A note or program change, at a frame from the start of the recording.
struct Scheduled {
  jack_nframes_t frame;
  uint8_t bytes[3];
  size_t size;
};

// One client plays the schedule into vorlak, another records vorlak's outputs, so that the
// graph runs player, vorlak, recorder in each period. The recording starts a quarter second
// after the graph is connected, and the xruns are counted from then.
struct Session {
  Session(std::vector<Scheduled> events, size_t frames)
      : schedule(std::move(events)), left(frames), right(frames) {
    player = jack_client_open("vorlak-player", JackNoStartServer, nullptr);
    recorder = jack_client_open("vorlak-recorder", JackNoStartServer, nullptr);
    out = jack_port_register(player, "out", JACK_DEFAULT_MIDI_TYPE, JackPortIsOutput, 0);
    ins[0] = jack_port_register(recorder, "in_1", JACK_DEFAULT_AUDIO_TYPE, JackPortIsInput, 0);
    ins[1] = jack_port_register(recorder, "in_2", JACK_DEFAULT_AUDIO_TYPE, JackPortIsInput, 0);
    jack_set_process_callback(player, play, this);
    jack_set_process_callback(recorder, record, this);
    jack_set_xrun_callback(player, xrun, this);
    jack_activate(player);
    jack_activate(recorder);
    jack_connect(player, "vorlak-player:out", "vorlak:midi_in");
    jack_connect(recorder, "vorlak:out_1", "vorlak-recorder:in_1");
    jack_connect(recorder, "vorlak:out_2", "vorlak-recorder:in_2");
    // On a period's start, so that the schedule's frames fall where the test says in theirs.
    const jack_nframes_t cycle = jack_last_frame_time(player),
                         period = jack_get_buffer_size(player);
    first = cycle + (kRate / 4 + period - 1) / period * period;
    ready = true;
  }
  ~Session() {
    jack_client_close(player);
    jack_client_close(recorder);
  }
  // Frames of the period that starts at start, from the start of the recording.
  static int32_t at(const Session& s, jack_nframes_t start) {
    return static_cast<int32_t>(start - s.first);
  }
  static int play(jack_nframes_t n, void* self) {
    auto& s = *static_cast<Session*>(self);
    void* buffer = jack_port_get_buffer(s.out, n);
    jack_midi_clear_buffer(buffer);
    const int32_t start = s.ready ? at(s, jack_last_frame_time(s.player)) : INT32_MIN / 2;
    for (const Scheduled& e : s.schedule)
      if (e.frame - start < n) jack_midi_event_write(buffer, e.frame - start, e.bytes, e.size);
    return 0;
  }
  static int record(jack_nframes_t n, void* self) {
    auto& s = *static_cast<Session*>(self);
    if (!s.ready) return 0;
    const int32_t start = at(s, jack_last_frame_time(s.recorder));
    for (int c = 0; c < 2; ++c) {
      const auto* in = static_cast<const float*>(jack_port_get_buffer(s.ins[c], n));
      auto& to = c ? s.right : s.left;
      for (int32_t i = 0; i < static_cast<int32_t>(n); ++i)
        if (start + i >= 0 && start + i < static_cast<int32_t>(to.size())) to[start + i] = in[i];
    }
    if (start + static_cast<int32_t>(n) >= static_cast<int32_t>(s.left.size())) s.done = true;
    return 0;
  }
  static int xrun(void* self) {
    auto& s = *static_cast<Session*>(self);
    if (s.ready && at(s, jack_frame_time(s.player)) >= 0) ++s.xruns;
    return 0;
  }

  std::vector<Scheduled> schedule;
  std::vector<float> left, right;
  jack_client_t *player, *recorder;
  jack_port_t* out;
  jack_port_t* ins[2];
  jack_nframes_t first = 0;
  std::atomic<bool> ready{false};
  std::atomic<bool> done{false};
  std::atomic<int> xruns{0};
};

// Headless on JACK: silence until the first note, which sounds from its frame within the
// period, each note at its pitch in both channels, program changes taken (the last kept in the
// session the program saves when it ends), no xrun.
TEST(Standalone, HeadlessOnJackPlaysNotesAtTheirPitchesAndTakesProgramChanges) {
  Program program("jack");
  ASSERT_TRUE(program.start({"--no-gui", "--program", "POWER Metal"}));
  const jack_nframes_t first = 4100, note = first + 2000;  // mid-period
  const jack_nframes_t second = note + kRate, end = second + kRate;
  // Strings ring an octave below the note: 45 sounds at 55 Hz, 57 at 110 Hz.
  Session session({{first, {0xC0, 37, 0}, 2},  // SINGLE Unplugged
                   {note, {0x90, 45, 100}, 3},
                   {note + kRate / 2, {0x80, 45, 0}, 3},
                   {second - 3000, {0xC0, 21, 0}, 2},  // BASS Ebass
                   {second, {0x90, 57, 100}, 3}},
                  end);
  for (int i = 0; i < 400 && !session.done; ++i) std::this_thread::sleep_for(10ms);
  ASSERT_TRUE(session.done);
  EXPECT_EQ(session.xruns, 0);
  const size_t lower = note + 2048, upper = second + 4096;
  for (const auto* channel : {&session.left, &session.right}) {
    // Taken at its frame, not at its period's start (468 frames before): the core starts a note
    // at the control tick (220.5 frames) that reaches it, so silent up to 256 frames before.
    EXPECT_EQ(vorlak::test::peak(channel->data(), static_cast<int>(note - 256)), 0.0);
    EXPECT_GT(vorlak::test::peak(channel->data() + note - 256, 512), 0.01);
    EXPECT_NEAR(vorlak::test::estimatePitch(channel->data() + lower, 8192, kRate, 40, 500), 55.0,
                0.8);
    EXPECT_NEAR(vorlak::test::estimatePitch(channel->data() + upper, 8192, kRate, 40, 500), 110.0,
                1.6);
  }
  EXPECT_EQ(program.stop(), 0);
  EXPECT_FALSE(portExists("vorlak:out_1"));
  const std::string saved = readFile(program.folder + "/session");
  vorlak::InstrumentCore core;
  ASSERT_TRUE(
      vorlak::loadSessionState(core, reinterpret_cast<const uint8_t*>(saved.data()), saved.size()));
  EXPECT_EQ(core.program(), 21);
}

// Damaged files are reported once each and replaced; the session as edited and the choices
// come back at the next start.
TEST(Standalone, SettingsAreKeptAndDamagedOnesReplaced) {
  Program program("settings");
  writeFile(program.folder + "/settings", "audio=pulse\n\x01");
  writeFile(program.folder + "/session", "VRLK and then nothing");
  ASSERT_TRUE(program.start({"--no-gui"}));
  EXPECT_EQ(program.stop(), 0);
  const std::string errors = program.errors();
  EXPECT_EQ(std::count(errors.begin(), errors.end(), '\n'), 2) << errors;
  EXPECT_NE(errors.find("settings is damaged"), std::string::npos) << errors;
  EXPECT_NE(errors.find("session is damaged"), std::string::npos) << errors;

  vorlak::InstrumentCore edited;
  edited.switchProgram(9);
  edited.setParameter(3, 0.123f);
  edited.setProgramName("Practice");
  std::string state(vorlak::kSessionStateSize, '\0');
  vorlak::saveSessionState(edited, reinterpret_cast<uint8_t*>(state.data()));
  writeFile(program.folder + "/session", state);
  ASSERT_TRUE(program.start({"--no-gui", "--audio", "jack", "--scale", "2"}));
  EXPECT_EQ(program.stop(), 0);
  EXPECT_EQ(program.errors(), "");
  EXPECT_TRUE(readFile(program.folder + "/session") == state);
  const std::string settings = readFile(program.folder + "/settings");
  EXPECT_NE(settings.find("audio=jack\n"), std::string::npos) << settings;
  EXPECT_NE(settings.find("scale=2\n"), std::string::npos) << settings;
}

// The program's period, as JACK's thread renders it with the scratch made for JACK's longest
// period, plays the bits vorlak.so plays for the same MIDI at the same frames of 512-frame
// blocks: chords off the boundaries, a program change, a bend, a controller.
TEST(Standalone, PeriodsPlayBitForBitWhatTheVst2ModulePlays) {
  const vorlak::host::ScheduledMidi phrase[] = {
      {101, 0x90, 40, 100},  {101, 0x90, 47, 90},  {700, 0xB0, 1, 70},     {9001, 0x80, 40, 0},
      {9001, 0x80, 47, 0},   {11025, 0xC0, 40, 0}, {11100, 0x90, 45, 127}, {13337, 0xE0, 0, 90},
      {17000, 0x90, 57, 64}, {22050, 0x80, 45, 0}};
  constexpr int kBlock = 512, kBlocks = 60;
  std::string error;
  auto module = vorlak::host::Plugin::load(VORLAK_MODULE_PATH, &error);
  ASSERT_NE(module, nullptr) << error;
  module->start(kRate, kBlock);
  vorlak::host::MidiSchedule schedule;
  schedule.add({std::begin(phrase), std::end(phrase)});
  vorlak::standalone::Player player;
  ASSERT_TRUE(player.prepare(kRate, 8192));
  vorlak::test::Stereo vst, period;
  std::vector<float> left(kBlock), right(kBlock);
  for (int64_t start = 0; start < kBlock * kBlocks; start += kBlock) {
    schedule.queue(*module, start, kBlock);
    module->render(kBlock);
    vst.append(module->left(), module->right(), kBlock);
    player.renderPeriod(
        [&](auto&& add) {
          for (const auto& e : phrase)
            if (e.frame >= start && e.frame < start + kBlock) {
              const uint8_t bytes[3] = {e.status, e.data1, e.data2};
              add(static_cast<int>(e.frame - start), bytes, e.status == 0xC0 ? 2 : 3);
            }
        },
        left.data(), right.data(), kBlock);
    period.append(left, right, kBlock);
  }
  EXPECT_GT(vst.peak(), 0.01f);
  EXPECT_TRUE(vst.left == period.left);
  EXPECT_TRUE(vst.right == period.right);
}

Window findTopLevel(Display* display, const char* title) {
  Window root, parent, *list = nullptr, found = 0;
  unsigned count = 0;
  XQueryTree(display, DefaultRootWindow(display), &root, &parent, &list, &count);
  for (unsigned i = 0; i < count && !found; ++i) {
    char* name = nullptr;
    if (XFetchName(display, list[i], &name) && name && std::string(name) == title) found = list[i];
    if (name) XFree(name);
  }
  if (list) XFree(list);
  return found;
}

// The window shows what vorlak-snapshot draws for the same program; the window manager's close
// ends the program within a second, its JACK ports gone.
TEST(Standalone, WindowShowsThePanelAndClosesWithinASecond) {
  Display* display = XOpenDisplay(nullptr);
  ASSERT_NE(display, nullptr) << "no X server (run under xvfb-run)";
  unsetenv("VORLAK_UI_SCALE");
  Program program("window");
  ASSERT_TRUE(program.start({"--program", "5", "--scale", "1"}));
  Window window = 0;
  for (int i = 0; i < 300 && !window; ++i, std::this_thread::sleep_for(10ms))
    window = findTopLevel(display, "Vorlak");
  ASSERT_NE(window, 0u);
  std::this_thread::sleep_for(500ms);  // its first paint
  XWindowAttributes attributes;
  XGetWindowAttributes(display, window, &attributes);
  EXPECT_EQ(attributes.width, 396);
  EXPECT_EQ(attributes.height, 530);
  XImage* image = XGetImage(display, window, 0, 0, 396, 530, AllPlanes, ZPixmap);
  ASSERT_NE(image, nullptr);
  std::vector<uint32_t> shown;
  for (int y = 0; y < 530; ++y)
    for (int x = 0; x < 396; ++x) shown.push_back(XGetPixel(image, x, y) & 0xffffffu);
  XDestroyImage(image);
  const std::string raw = program.config + "/panel.raw";
  ASSERT_EQ(
      std::system((std::string(VORLAK_SNAPSHOT_PATH) + " --program 5 --raw -o " + raw).c_str()), 0);
  const std::string drawn = readFile(raw);
  ASSERT_EQ(drawn.size(), shown.size() * 4);
  EXPECT_TRUE(std::memcmp(drawn.data(), shown.data(), drawn.size()) == 0);

  XEvent close{};
  close.xclient.type = ClientMessage;
  close.xclient.window = window;
  close.xclient.message_type = XInternAtom(display, "WM_PROTOCOLS", False);
  close.xclient.format = 32;
  close.xclient.data.l[0] = static_cast<long>(XInternAtom(display, "WM_DELETE_WINDOW", False));
  XSendEvent(display, window, False, NoEventMask, &close);
  XFlush(display);
  EXPECT_EQ(waitFor(program.pid, 1000ms), 0);
  program.pid = -1;
  EXPECT_FALSE(portExists("vorlak:out_1"));

  // Another client (xkill, a window manager without the close protocol) destroying the window
  // ends the program just as cleanly.
  Program again("destroyed");
  ASSERT_TRUE(again.start({"--scale", "1"}));
  window = 0;
  for (int i = 0; i < 300 && !window; ++i, std::this_thread::sleep_for(10ms))
    window = findTopLevel(display, "Vorlak");
  ASSERT_NE(window, 0u);
  XDestroyWindow(display, window);
  XFlush(display);
  EXPECT_EQ(waitFor(again.pid, 1000ms), 0);
  again.pid = -1;
  XCloseDisplay(display);
}

}  // namespace
