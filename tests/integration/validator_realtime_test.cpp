// The audio thread's entry points make no allocation, take no lock and make no system call.
// This program replaces the C library's allocation, locking and blocking functions with
// counting ones; the loaded module binds to them as to any symbol of its host, and the C++
// runtime linked into the module allocates through malloc, so its operator new is seen too.
// Counting happens only on the audio thread and only inside the entry-point calls.
#include <dlfcn.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <pthread.h>
#include <sched.h>
#include <semaphore.h>
#include <stdio.h>
#include <sys/ioctl.h>
#include <sys/mman.h>
#include <sys/select.h>
#include <time.h>
#include <unistd.h>

#include <atomic>
#include <cstdarg>
#include <cstdlib>
#include <mutex>
#include <string>
#include <thread>

#include "tests/integration/validator_realtime_workload.h"
#ifdef VORLAK_LV2_BUNDLE
#include "tests/lv2/lv2_host.h"
#endif
#include "tests/clap/clap_host.h"
#ifdef VORLAK_STANDALONE
#include "formats/standalone/player.h"
#endif
#ifdef VORLAK_VST3_BUNDLE
#include "formats/vst3/parameter_ids.h"
#include "tests/vst3/vst3_host.h"
#endif

namespace {

thread_local bool tWatching = false;
std::atomic<long> gAllocations{0};
std::atomic<long> gLocks{0};
std::atomic<long> gSystemCalls{0};
std::atomic<const char*> gFirst{nullptr};

void noted(std::atomic<long>& counter, const char* name) {
  if (!tWatching) return;
  counter.fetch_add(1, std::memory_order_relaxed);
  const char* none = nullptr;
  gFirst.compare_exchange_strong(none, name);
}

void resetCounts() {
  gAllocations = 0;
  gLocks = 0;
  gSystemCalls = 0;
  gFirst = nullptr;
}

// The next definition of one of the functions below after this program's own, found on first
// use.
template <auto* Self>
auto real(const char* name) {
  static decltype(Self) cache = nullptr;
  if (cache == nullptr) cache = reinterpret_cast<decltype(Self)>(dlsym(RTLD_NEXT, name));
  return cache;
}

#define VORLAK_REAL(name) real<&name>(#name)

}  // namespace

#if defined(__SANITIZE_ADDRESS__)
// The address sanitizer owns malloc; it reports every allocation to hooks instead.
extern "C" int __sanitizer_install_malloc_and_free_hooks(void (*)(const volatile void*, size_t),
                                                         void (*)(const volatile void*));
namespace {
void mallocHook(const volatile void*, size_t) { noted(gAllocations, "malloc"); }
void freeHook(const volatile void*) { noted(gAllocations, "free"); }
const int kHooksInstalled = __sanitizer_install_malloc_and_free_hooks(mallocHook, freeHook);
}  // namespace
#else
extern "C" {
void* __libc_malloc(size_t);
void* __libc_calloc(size_t, size_t);
void* __libc_realloc(void*, size_t);
void* __libc_memalign(size_t, size_t);
void __libc_free(void*);

void* malloc(size_t size) noexcept {
  noted(gAllocations, "malloc");
  return __libc_malloc(size);
}
void* calloc(size_t count, size_t size) noexcept {
  noted(gAllocations, "calloc");
  return __libc_calloc(count, size);
}
void* realloc(void* p, size_t size) noexcept {
  noted(gAllocations, "realloc");
  return __libc_realloc(p, size);
}
void free(void* p) noexcept {
  noted(gAllocations, "free");
  __libc_free(p);
}
void* memalign(size_t alignment, size_t size) noexcept {
  noted(gAllocations, "memalign");
  return __libc_memalign(alignment, size);
}
void* aligned_alloc(size_t alignment, size_t size) noexcept {
  noted(gAllocations, "aligned_alloc");
  return __libc_memalign(alignment, size);
}
int posix_memalign(void** result, size_t alignment, size_t size) noexcept {
  noted(gAllocations, "posix_memalign");
  void* p = __libc_memalign(alignment, size);
  if (p == nullptr) return ENOMEM;
  *result = p;
  return 0;
}
}
#endif

extern "C" {

int pthread_mutex_lock(pthread_mutex_t* m) noexcept {
  noted(gLocks, "pthread_mutex_lock");
  return VORLAK_REAL(pthread_mutex_lock)(m);
}
int pthread_mutex_trylock(pthread_mutex_t* m) noexcept {
  noted(gLocks, "pthread_mutex_trylock");
  return VORLAK_REAL(pthread_mutex_trylock)(m);
}
int pthread_mutex_timedlock(pthread_mutex_t* m, const timespec* t) noexcept {
  noted(gLocks, "pthread_mutex_timedlock");
  return VORLAK_REAL(pthread_mutex_timedlock)(m, t);
}
int pthread_rwlock_rdlock(pthread_rwlock_t* l) noexcept {
  noted(gLocks, "pthread_rwlock_rdlock");
  return VORLAK_REAL(pthread_rwlock_rdlock)(l);
}
int pthread_rwlock_wrlock(pthread_rwlock_t* l) noexcept {
  noted(gLocks, "pthread_rwlock_wrlock");
  return VORLAK_REAL(pthread_rwlock_wrlock)(l);
}
int pthread_spin_lock(pthread_spinlock_t* l) noexcept {
  noted(gLocks, "pthread_spin_lock");
  return VORLAK_REAL(pthread_spin_lock)(l);
}
int pthread_cond_wait(pthread_cond_t* c, pthread_mutex_t* m) {
  noted(gLocks, "pthread_cond_wait");
  return VORLAK_REAL(pthread_cond_wait)(c, m);
}
int pthread_cond_timedwait(pthread_cond_t* c, pthread_mutex_t* m, const timespec* t) {
  noted(gLocks, "pthread_cond_timedwait");
  return VORLAK_REAL(pthread_cond_timedwait)(c, m, t);
}
int sem_wait(sem_t* s) {
  noted(gLocks, "sem_wait");
  return VORLAK_REAL(sem_wait)(s);
}
int sem_timedwait(sem_t* s, const timespec* t) {
  noted(gLocks, "sem_timedwait");
  return VORLAK_REAL(sem_timedwait)(s, t);
}

long syscall(long number, ...) noexcept {
  noted(gSystemCalls, "syscall");
  va_list args;
  va_start(args, number);
  long a[6];
  for (long& arg : a) arg = va_arg(args, long);
  va_end(args);
  return VORLAK_REAL(syscall)(number, a[0], a[1], a[2], a[3], a[4], a[5]);
}
ssize_t write(int fd, const void* data, size_t size) {
  noted(gSystemCalls, "write");
  return VORLAK_REAL(write)(fd, data, size);
}
ssize_t read(int fd, void* data, size_t size) {
  noted(gSystemCalls, "read");
  return VORLAK_REAL(read)(fd, data, size);
}
int open(const char* path, int flags, ...) {
  noted(gSystemCalls, "open");
  va_list args;
  va_start(args, flags);
  const auto mode = static_cast<mode_t>(va_arg(args, int));
  va_end(args);
  return VORLAK_REAL(open)(path, flags, mode);
}
int openat(int dir, const char* path, int flags, ...) {
  noted(gSystemCalls, "openat");
  va_list args;
  va_start(args, flags);
  const auto mode = static_cast<mode_t>(va_arg(args, int));
  va_end(args);
  return VORLAK_REAL(openat)(dir, path, flags, mode);
}
int close(int fd) {
  noted(gSystemCalls, "close");
  return VORLAK_REAL(close)(fd);
}
int ioctl(int fd, unsigned long request, ...) noexcept {
  noted(gSystemCalls, "ioctl");
  va_list args;
  va_start(args, request);
  void* arg = va_arg(args, void*);
  va_end(args);
  return VORLAK_REAL(ioctl)(fd, request, arg);
}
int poll(pollfd* fds, nfds_t count, int timeout) {
  noted(gSystemCalls, "poll");
  return VORLAK_REAL(poll)(fds, count, timeout);
}
int select(int n, fd_set* r, fd_set* w, fd_set* e, timeval* t) {
  noted(gSystemCalls, "select");
  return VORLAK_REAL(select)(n, r, w, e, t);
}
int nanosleep(const timespec* duration, timespec* rest) {
  noted(gSystemCalls, "nanosleep");
  return VORLAK_REAL(nanosleep)(duration, rest);
}
int clock_nanosleep(clockid_t clock, int flags, const timespec* t, timespec* rest) {
  noted(gSystemCalls, "clock_nanosleep");
  return VORLAK_REAL(clock_nanosleep)(clock, flags, t, rest);
}
int usleep(useconds_t micros) {
  noted(gSystemCalls, "usleep");
  return VORLAK_REAL(usleep)(micros);
}
unsigned sleep(unsigned seconds) {
  noted(gSystemCalls, "sleep");
  return VORLAK_REAL(sleep)(seconds);
}
int sched_yield() noexcept {
  noted(gSystemCalls, "sched_yield");
  return VORLAK_REAL(sched_yield)();
}
void* mmap(void* address, size_t length, int protection, int flags, int fd, off_t offset) noexcept {
  noted(gSystemCalls, "mmap");
  return VORLAK_REAL(mmap)(address, length, protection, flags, fd, offset);
}
int munmap(void* address, size_t length) noexcept {
  noted(gSystemCalls, "munmap");
  return VORLAK_REAL(munmap)(address, length);
}
int mprotect(void* address, size_t length, int protection) noexcept {
  noted(gSystemCalls, "mprotect");
  return VORLAK_REAL(mprotect)(address, length, protection);
}
FILE* fopen(const char* path, const char* mode) {
  noted(gSystemCalls, "fopen");
  return VORLAK_REAL(fopen)(path, mode);
}
size_t fwrite(const void* data, size_t size, size_t count, FILE* file) {
  noted(gSystemCalls, "fwrite");
  return VORLAK_REAL(fwrite)(data, size, count, file);
}
int fputs(const char* text, FILE* file) {
  noted(gSystemCalls, "fputs");
  return VORLAK_REAL(fputs)(text, file);
}
int fputc(int c, FILE* file) {
  noted(gSystemCalls, "fputc");
  return VORLAK_REAL(fputc)(c, file);
}
int puts(const char* text) {
  noted(gSystemCalls, "puts");
  return VORLAK_REAL(puts)(text);
}
int fflush(FILE* file) {
  noted(gSystemCalls, "fflush");
  return VORLAK_REAL(fflush)(file);
}

}  // extern "C"

namespace vorlak::test {
namespace {

void watchedProcess(AEffect* e, float** inputs, float** outputs, VstInt32 frames) {
  tWatching = true;
  e->process(e, inputs, outputs, frames);
  tWatching = false;
}

void watchedProcessReplacing(AEffect* e, float** inputs, float** outputs, VstInt32 frames) {
  tWatching = true;
  e->processReplacing(e, inputs, outputs, frames);
  tWatching = false;
}

VstIntPtr watchedDispatch(AEffect* e, VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr,
                          float opt) {
  tWatching = true;
  const VstIntPtr answer = e->dispatcher(e, opcode, index, value, ptr, opt);
  tWatching = false;
  return answer;
}

void watchedSetParameter(AEffect* e, VstInt32 index, float value) {
  tWatching = true;
  e->setParameter(e, index, value);
  tWatching = false;
}

const AudioThreadCalls kWatchedCalls = {watchedProcess, watchedProcessReplacing, watchedDispatch,
                                        watchedSetParameter};

std::string counts() {
  const char* first = gFirst.load();
  return std::to_string(gAllocations.load()) + " allocations, " + std::to_string(gLocks.load()) +
         " locks, " + std::to_string(gSystemCalls.load()) +
         " system calls; the first: " + (first ? first : "none");
}

// Runs body on a thread of its own, as a host's audio thread, with the counters reset first;
// then nothing may have been counted, at least minimumCalls calls made and some sound heard.
template <class Body>
void expectRealtime(long minimumCalls, Body&& body) {
  long calls = 0;
  float peak = 0.0f;
  resetCounts();
  std::thread audio([&] { body(calls, peak); });
  audio.join();
  EXPECT_EQ(gAllocations.load(), 0) << counts();
  EXPECT_EQ(gLocks.load(), 0) << counts();
  EXPECT_EQ(gSystemCalls.load(), 0) << counts();
  EXPECT_GE(calls, minimumCalls);
  EXPECT_GT(peak, 0.0f) << "nothing was rendered";
}

float peakOf(const float* samples, size_t count, float peak) {
  for (size_t i = 0; i < count; ++i) peak = std::fmax(peak, std::fabs(samples[i]));
  return peak;
}

// The counters must see what they watch, including calls made from inside the module, or a
// count of zero would prove nothing.
TEST(ValidatorRealtime, CountersSeeWhatTheyWatch) {
  std::string error;
  auto plugin = loadForAudioThread(VORLAK_MODULE_PATH, &error);
  ASSERT_NE(plugin, nullptr) << error;
  resetCounts();
  std::thread audio([&] {
    void* (*volatile allocate)(size_t) = &malloc;
    tWatching = true;
    void* p = allocate(64);
    free(p);
    std::mutex mutex;
    mutex.lock();
    mutex.unlock();
    (void)!write(-1, "", 0);
    tWatching = false;
  });
  audio.join();
  EXPECT_GE(gAllocations.load(), 2) << counts();
  EXPECT_GE(gLocks.load(), 1) << counts();
  EXPECT_GE(gSystemCalls.load(), 1) << counts();

  // A new block size is the one request that allocates in the module.
  resetCounts();
  std::thread control([&] {
    watchedDispatch(plugin->effect(), effSetBlockSize, 0, 3 * kWorkloadBlock, nullptr, 0.0f);
  });
  control.join();
  EXPECT_GE(gAllocations.load(), 1) << counts();
}

// A fresh instance's first blocks on a fresh audio thread: every program, notes, controllers,
// program changes, parameters set to ordinary and strange values, both entry points, blocks of
// 0 to four times the announced size, missing channels.
TEST(ValidatorRealtime, AudioThreadEntryPointsAllocateLockAndCallNothing) {
  std::string error;
  auto plugin = loadForAudioThread(VORLAK_MODULE_PATH, &error);
  ASSERT_NE(plugin, nullptr) << error;
  AudioThreadWorkload workload;
  expectRealtime(1501, [&](long& calls, float& peak) {
    calls = workload.run(plugin->effect(), kWatchedCalls);
    peak = workload.peak();
  });
}

int32_t watchedClapProcess(const clap::Plugin* plugin, const clap::Process* block) {
  tWatching = true;
  const int32_t status = plugin->process(plugin, block);
  tWatching = false;
  return status;
}

// The CLAP plug-in's process() on the same counters: every program by MIDI program change,
// CLAP notes and MIDI, wheels and controllers, the transport's tempo, parameter events at
// ordinary and strange values and ids, events of unknown types, blocks of 0 to four times the
// announced length, and reset().
TEST(ValidatorRealtime, ClapProcessAllocatesLocksAndCallsNothing) {
  std::string error;
  auto module = claptest::ClapModule::load(VORLAK_CLAP_PATH, &error);
  ASSERT_NE(module, nullptr) << error;
  auto plugin = claptest::ClapInstance::create(*module, &error);
  ASSERT_NE(plugin, nullptr) << error;
  ASSERT_TRUE(plugin->start(44100.0, kWorkloadBlock));
  plugin->callProcess = watchedClapProcess;
  expectRealtime(64 * 6, [&](long& calls, float& peak) {
    forEachWorkloadStep([&](const WorkloadStep& step) {
      const auto note = static_cast<int16_t>(step.note);
      const int block = step.block;
      if (block == 0) plugin->addMidi(0, 0xC0, static_cast<uint8_t>(step.program), 0);
      plugin->tempo = 90.0 + block;
      plugin->addNote(clap::kNoteOn, 0, note, 0.8);
      plugin->addMidi(3, 0x90, static_cast<uint8_t>(note + 7), 90);
      plugin->addNote(clap::kNoteOff, 40, static_cast<int16_t>(note - 7), 0.0);
      plugin->addMidi(60, 0xE0, static_cast<uint8_t>(block * 20), static_cast<uint8_t>(block * 20));
      plugin->addMidi(80, 0xB0, 1, static_cast<uint8_t>(block * 25));
      if (block == 4) plugin->addNote(clap::kNoteChoke, 90, -1, 0.0);
      plugin->addRaw(32, 100, 0, 999);
      forEachStrangeParameter(step, [&](int k, int index, float value) {
        plugin->addParam(static_cast<uint32_t>(10 * k), static_cast<clap::Id>(index), value);
      });
      plugin->addParam(7, 5000, 0.5);
      plugin->process(static_cast<uint32_t>(step.frames));
      ++calls;
      if (block == 5 && step.program % 16 == 0) {  // reset() belongs to the audio thread too
        const clap::Plugin* p = &plugin->plugin();
        tWatching = true;
        p->reset(p);
        tWatching = false;
      }
      peak = peakOf(plugin->left().data(), plugin->left().size(), peak);
    });
  });
}

#ifdef VORLAK_STANDALONE
// The standalone program's period, as JACK's and ALSA's threads render it: every program by
// MIDI program change (switched on the audio thread), notes at their frames and past the
// period, running status and system messages, MIDI waiting in the sequencer's and the panel's
// rings, periods of 0 to four times the prepared length.
TEST(ValidatorRealtime, StandalonePeriodAllocatesLocksAndCallsNothing) {
  standalone::Player player;
  ASSERT_TRUE(player.prepare(44100.0f, kWorkloadBlock));
  std::vector<float> left(4 * kWorkloadBlock), right(4 * kWorkloadBlock);
  expectRealtime(64 * 6, [&](long& calls, float& peak) {
    forEachWorkloadStep([&](const WorkloadStep& step) {
      const auto note = static_cast<uint8_t>(step.note), block = static_cast<uint8_t>(step.block);
      const uint8_t events[][3] = {{0xC0, static_cast<uint8_t>(step.program), 0},
                                   {0x90, note, 110},
                                   {0x80, static_cast<uint8_t>(note - 7), 0},
                                   {0xE0, static_cast<uint8_t>(block * 20), block},
                                   {0xB0, 1, static_cast<uint8_t>(block * 25)},
                                   {0x40, 0, 0},
                                   {0xF8, 0, 0},
                                   {0x90, static_cast<uint8_t>(note + 7), 90}};
      const int frames[] = {0, 0, 40, 60, 80, 90, 100, 1 << 20};
      player.deviceInput().push({0, 0x90, static_cast<uint8_t>(note + 12), 100});
      player.keyboardInput().push({0, 0x80, static_cast<uint8_t>(note + 12), 0});
      tWatching = true;
      player.renderPeriod(
          [&](auto&& add) {
            for (int i = block == 0 ? 0 : 1; i < 8; ++i) add(frames[i], events[i], i == 6 ? 1 : 3);
          },
          left.data(), right.data(), step.frames);
      tWatching = false;
      ++calls;
      peak = peakOf(left.data(), static_cast<size_t>(step.frames), peak);
    });
  });
}
#endif

#ifdef VORLAK_LV2_BUNDLE
void watchedRun(LilvInstance* instance, uint32_t frames) {
  tWatching = true;
  lilv_instance_run(instance, frames);
  tWatching = false;
}

void watchedConnect(LilvInstance* instance, uint32_t port, void* data) {
  tWatching = true;
  lilv_instance_connect_port(instance, port, data);
  tWatching = false;
}

// The LV2 plug-in's audio-thread functions, run() and connect_port(), on the same counters:
// every program by MIDI program change, notes, wheels and controllers, the host's tempo, atoms
// of other types, control ports at ordinary and strange values, blocks of 0 to four times the
// announced length, and a block with the outputs disconnected.
TEST(ValidatorRealtime, Lv2RunAllocatesLocksAndCallsNothing) {
  std::string error;
  auto world = lv2test::Lv2World::load(VORLAK_LV2_BUNDLE,
                                       "https://vorlak.kivo.audio/plugins/vorlak", &error);
  ASSERT_NE(world, nullptr) << error;
  auto plugin = world->instantiate(44100.0, kWorkloadBlock);
  ASSERT_NE(plugin, nullptr);
  std::vector<float> left(4 * kWorkloadBlock), right(4 * kWorkloadBlock);
  plugin->connectOutputs(left.data(), right.data());
  LilvInstance* instance = plugin->instance();
  const LV2_URID intType = world->urids().map(LV2_ATOM__Int);
  expectRealtime(501, [&](long& calls, float& peak) {
    forEachWorkloadStep([&](const WorkloadStep& step) {
      const auto note = static_cast<uint8_t>(step.note);
      const int block = step.block;
      if (block == 0) plugin->addMidi(0, {0xC0, static_cast<uint8_t>(step.program)});
      plugin->addTempo(0, 90.0f + static_cast<float>(block));
      plugin->addMidi(0, {0x90, note, 110});
      plugin->addMidi(3, {0x90, static_cast<uint8_t>(note + 7), 90});
      plugin->addMidi(40, {0x80, static_cast<uint8_t>(note - 7), 0});
      plugin->addMidi(60,
                      {0xE0, static_cast<uint8_t>(block * 20), static_cast<uint8_t>(block * 20)});
      plugin->addMidi(80, {0xB0, 1, static_cast<uint8_t>(block * 25)});
      if (block == 4) plugin->addMidi(90, {0xB0, 123, 0});
      plugin->addMidi(100, {0xF0, 0x7E, 0xF7});
      plugin->addAtom(5, intType, &step.program, sizeof step.program);
      forEachStrangeParameter(
          step, [&](int, int index, float value) { plugin->control(index) = value; });
      if (block == 3) {
        watchedConnect(instance, lv2test::kLeftPort, nullptr);
        watchedConnect(instance, lv2test::kRightPort, nullptr);
        calls += 2;
      }
      watchedRun(instance, static_cast<uint32_t>(step.frames));
      ++calls;
      if (block == 3) {
        watchedConnect(instance, lv2test::kLeftPort, left.data());
        watchedConnect(instance, lv2test::kRightPort, right.data());
        calls += 2;
      } else {
        peak = peakOf(left.data(), static_cast<size_t>(step.frames), peak);
      }
      plugin->clearEvents();
    });
  });
}
#endif

#ifdef VORLAK_VST3_BUNDLE
vst3::Result watchedVst3Process(vst3::AudioProcessor& processor, vst3::ProcessData& data) {
  tWatching = true;
  const vst3::Result answer = processor.process(data);
  tWatching = false;
  return answer;
}

// The VST 3 processor's process() on the same counters: every program by the program-change
// parameter (whose values it reports back through the host's output changes, prepared so
// the host allocates nothing either), notes, the mapped bend and controllers, parameter points
// at ordinary and strange values and offsets, the host's tempo, blocks of 0 to four times the
// announced length, and a block with no output buffers.
TEST(ValidatorRealtime, Vst3ProcessAllocatesLocksAndCallsNothing) {
  using namespace vst3host;
  std::string error;
  auto module = Module::load(bundleModule(VORLAK_VST3_BUNDLE), &error);
  ASSERT_NE(module, nullptr) << error;
  auto plugin = Instance::create(module, &error);
  ASSERT_NE(plugin, nullptr) << error;
  plugin->start(44100.0, kWorkloadBlock);
  std::vector<float> left(4 * kWorkloadBlock), right(4 * kWorkloadBlock);
  float* channels[2] = {left.data(), right.data()};
  AudioBusBuffers bus{2, 0, channels};
  for (ParamId id = 0; id < kNumParameters; ++id) plugin->output.add(id, 0, 0.0);
  for (auto& queue : plugin->output.queues) queue->points.reserve(64);
  ProcessData data{};
  data.symbolicSampleSize = kSample32;
  data.numOutputs = 1;
  data.inputParameterChanges = &plugin->input;
  data.outputParameterChanges = &plugin->output;
  data.inputEvents = &plugin->events;
  data.processContext = &plugin->context;
  expectRealtime(301, [&](long& calls, float& peak) {
    forEachWorkloadStep([&](const WorkloadStep& step) {
      const int note = step.note, block = step.block;
      if (block == 0) plugin->point(kProgramId, 0, step.program / kProgramSteps);
      plugin->context.tempo = 90.0 + block;
      plugin->note(0, true, note, 0.8f);
      plugin->note(3, true, note + 7, 0.7f);
      plugin->note(40, false, note - 7, 0.0f);
      plugin->point(kPitchBendId, 60, block / 6.0);
      plugin->point(kFirstControllerId, 80, block / 5.0);
      if (block == 4) plugin->point(kFirstControllerId + 6, 90, 0.0);
      forEachStrangeParameter(step, [&](int k, int index, float value) {
        plugin->point(static_cast<ParamId>(index), 17 * k, value);
      });
      for (auto& queue : plugin->output.queues) queue->points.clear();
      data.numSamples = step.frames;
      data.outputs = block == 3 ? nullptr : &bus;
      data.numOutputs = block == 3 ? 0 : 1;
      watchedVst3Process(*plugin->processor, data);
      ++calls;
      if (block != 3) peak = peakOf(left.data(), static_cast<size_t>(step.frames), peak);
      for (auto& queue : plugin->input.queues) queue->points.clear();
      plugin->events.list.clear();
    });
  });
}
#endif

}  // namespace
}  // namespace vorlak::test
