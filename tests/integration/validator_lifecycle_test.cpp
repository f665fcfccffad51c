// The call orders real hosts use, and the ones they get wrong: settings before effOpen, no
// effOpen or effMainsChanged at all, blocks before any rate, the instance switched off and on
// a hundred times, loaded and unloaded a hundred times, sixteen at once, and hosts whose
// callback answers nothing. The order must not change a single sample.
#if defined(_WIN32)
#include <windows.h>
// After windows.h, which it needs.
#include <psapi.h>
#else
#include <unistd.h>
#endif

#include <fstream>

#include "tests/integration/validator_support.h"

namespace vorlak::test {
namespace {

// A phrase with every event on a block boundary, so that even an instance that was never told
// its block size places them where a well set-up one does.
std::vector<ScheduledMidi> alignedPhrase() {
  return {{0, 0x90, 40, 100},           {0, 0x90, 47, 90},          {kBlock, 0x90, 52, 110},
          {20 * kBlock, 0x90, 64, 120}, {30 * kBlock, 0x80, 40, 0}, {30 * kBlock, 0x80, 47, 0},
          {30 * kBlock, 0x80, 52, 0},   {40 * kBlock, 0x80, 64, 0}};
}

constexpr long kPhraseFrames = 48 * kBlock;

Rendered play(host::Plugin& plugin, Entry entry = Entry::Replacing) {
  BlockRenderer renderer(plugin, true);
  renderer.schedule(alignedPhrase());
  renderer.until(kPhraseFrames, kBlock, entry);
  EXPECT_TRUE(renderer.clean());
  return {renderer.left(), renderer.right()};
}

// Program 9 has no latch and a plain tube sound; program 0's latch would mask releases.
constexpr VstIntPtr kProgram = 9;

const Rendered& reference() {
  static const Rendered take = [] {
    auto plugin = startVorlak();
    plugin->setProgram(kProgram);
    return play(*plugin);
  }();
  return take;
}

void expectReference(const Rendered& take) {
  EXPECT_GT(peak(take.left), 0.01f) << "the phrase did not sound";
  EXPECT_TRUE(sameSamples(take.left, reference().left));
  EXPECT_TRUE(sameSamples(take.right, reference().right));
}

TEST(ValidatorLifecycle, RateAndBlockSizeBeforeOpen) {
  auto plugin = loadVorlak();
  ASSERT_NE(plugin, nullptr);
  plugin->setSampleRate(kRate);
  plugin->setBlockSize(kBlock);
  plugin->open();
  plugin->resume();
  plugin->setProgram(kProgram);
  expectReference(play(*plugin));
}

TEST(ValidatorLifecycle, ProgramChosenBeforeOpen) {
  auto plugin = loadVorlak();
  ASSERT_NE(plugin, nullptr);
  plugin->setProgram(kProgram);
  plugin->start(kRate, kBlock);
  expectReference(play(*plugin));
}

TEST(ValidatorLifecycle, NeverOpened) {
  auto plugin = loadVorlak();
  ASSERT_NE(plugin, nullptr);
  plugin->setSampleRate(kRate);
  plugin->setBlockSize(kBlock);
  plugin->resume();
  plugin->setProgram(kProgram);
  expectReference(play(*plugin));
}

TEST(ValidatorLifecycle, NeverSwitchedOn) {
  auto plugin = loadVorlak();
  ASSERT_NE(plugin, nullptr);
  plugin->open();
  plugin->setSampleRate(kRate);
  plugin->setBlockSize(kBlock);
  plugin->setProgram(kProgram);
  expectReference(play(*plugin));
  EXPECT_EQ(plugin->host().count(audioMasterWantMidi), 0);
}

TEST(ValidatorLifecycle, BlocksBeforeAnyRateOrBlockSize) {
  for (Entry entry : {Entry::Replacing, Entry::Accumulating}) {
    auto plugin = loadVorlak();
    ASSERT_NE(plugin, nullptr);
    plugin->open();
    plugin->setProgram(kProgram);
    const Rendered take = play(*plugin, entry);
    // 44.1 kHz is the rate an instance starts with.
    if (entry == Entry::Replacing) {
      expectReference(take);
    } else {
      EXPECT_GT(peak(take.left), 0.01f);
    }
  }
}

TEST(ValidatorLifecycle, SwitchedOffAndOnAHundredTimes) {
  auto plugin = startVorlak();
  ASSERT_NE(plugin, nullptr);
  plugin->setProgram(kProgram);
  plugin->host().clearCalls();
  for (int i = 0; i < 100; ++i) {
    plugin->suspend();
    plugin->resume();
  }
  EXPECT_EQ(plugin->host().count(audioMasterWantMidi), 100);
  expectReference(play(*plugin));

  // The same while notes sound: every block is played by a freshly switched-on instance.
  BlockRenderer renderer(*plugin, true);
  for (int i = 0; i < 100; ++i) {
    renderer.schedule({{renderer.position(), 0x90, static_cast<unsigned char>(40 + i % 24), 110}});
    renderer.block(kBlock);
    plugin->suspend();
    if (i % 10 == 0) plugin->setSampleRate(i % 20 == 0 ? 48000.0f : kRate);
    plugin->resume();
  }
  EXPECT_TRUE(renderer.clean());
  EXPECT_GT(renderer.census().peak, 0.01f);
}

#if defined(_WIN32)
long pageBytes() {
  SYSTEM_INFO system;
  GetSystemInfo(&system);
  return static_cast<long>(system.dwPageSize);
}

// Pages of memory this process holds: its working set.
long residentPages() {
  PROCESS_MEMORY_COUNTERS counters{};
  counters.cb = sizeof(counters);
  GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof(counters));
  return static_cast<long>(counters.WorkingSetSize / static_cast<size_t>(pageBytes()));
}

bool moduleMapped() { return GetModuleHandleA("vorlak.dll") != nullptr; }
#else
long pageBytes() { return sysconf(_SC_PAGESIZE); }

// Pages of memory this process holds.
long residentPages() {
  std::ifstream statm("/proc/self/statm");
  long size = 0;
  long resident = 0;
  statm >> size >> resident;
  return resident;
}

bool moduleMapped() {
  std::ifstream maps("/proc/self/maps");
  std::string line;
  while (std::getline(maps, line)) {
    if (line.find("vorlak.so") != std::string::npos) return true;
  }
  return false;
}
#endif

#if defined(__SANITIZE_ADDRESS__)
constexpr bool kSanitized = true;
#else
constexpr bool kSanitized = false;
#endif

// The cycle a host's plug-in scan runs: load, create, open, play a block, close, unload.
void scanOnce() {
  std::string error;
  auto module = host::Module::load(VORLAK_MODULE_PATH, &error);
  ASSERT_NE(module, nullptr) << error;
  auto plugin = host::Plugin::create(module, &error);
  ASSERT_NE(plugin, nullptr) << error;
  module.reset();
  plugin->start(kRate, kBlock);
  plugin->sendMidi(0x90, 52, 100);
  BlockRenderer renderer(*plugin);
  renderer.block(kBlock);
  EXPECT_TRUE(renderer.clean());
  EXPECT_EQ(plugin->close(), 1);
}

// Memory must not grow with the cycles (one instance is over 13 MB; the margin is well below
// that and below a program bank's worth per cycle). The sanitizer build keeps modules mapped
// and freed memory quarantined, and checks leaks itself at exit.
constexpr long kGrowthMarginBytes = 512 * 1024;

TEST(ValidatorLifecycle, LoadedAndUnloadedAHundredTimes) {
  const long page = pageBytes();
  for (int i = 0; i < 5; ++i) scanOnce();
  const long before = residentPages();
  for (int i = 0; i < 100; ++i) {
    scanOnce();
    if (HasFatalFailure()) return;
    if (!kSanitized) {
      ASSERT_FALSE(moduleMapped()) << "the module stayed loaded after cycle " << i;
    }
  }
  const long grown = (residentPages() - before) * page;
  if (!kSanitized) {
    EXPECT_LT(grown, kGrowthMarginBytes);
  }
}

TEST(ValidatorLifecycle, AHundredInstancesCreatedAndClosedInOneModule) {
  std::string error;
  auto module = host::Module::load(VORLAK_MODULE_PATH, &error);
  ASSERT_NE(module, nullptr) << error;
  const long page = pageBytes();
  auto cycle = [&] {
    auto plugin = host::Plugin::create(module, &error);
    ASSERT_NE(plugin, nullptr) << error;
    plugin->start(kRate, kBlock);
    plugin->setProgram(kProgram);
    BlockRenderer renderer(*plugin);
    renderer.schedule({{0, 0x90, 45, 100}});
    renderer.until(4 * kBlock, kBlock);
    EXPECT_TRUE(renderer.clean());
  };
  for (int i = 0; i < 5; ++i) cycle();
  const long before = residentPages();
  for (int i = 0; i < 100; ++i) {
    cycle();
    if (HasFatalFailure()) return;
  }
  const long grown = (residentPages() - before) * page;
  if (!kSanitized) {
    EXPECT_LT(grown, kGrowthMarginBytes);
  }
}

// Sixteen instances playing different programs at once, block by block in turn, each render
// identical to the same program played by a lone instance: instances share no state.
TEST(ValidatorLifecycle, SixteenInstancesAtOnce) {
  constexpr int kInstances = 16;
  std::vector<std::unique_ptr<host::Plugin>> plugins;
  std::vector<std::unique_ptr<BlockRenderer>> renderers;
  for (int i = 0; i < kInstances; ++i) {
    plugins.push_back(startVorlak());
    ASSERT_NE(plugins.back(), nullptr);
    plugins.back()->setProgram(i * 4 + 1);
    renderers.push_back(std::make_unique<BlockRenderer>(*plugins.back(), true));
    renderers.back()->schedule(phraseFor(*plugins.back(), kRate, 0, 0.5));
  }
  for (long frame = 0; frame < kPhraseFrames; frame += kBlock) {
    for (auto& renderer : renderers) renderer->block(kBlock);
  }
  for (int i = 0; i < kInstances; ++i) {
    SCOPED_TRACE(testing::Message() << "instance " << i);
    auto alone = startVorlak();
    ASSERT_NE(alone, nullptr);
    alone->setProgram(i * 4 + 1);
    BlockRenderer expected(*alone, true);
    expected.schedule(phraseFor(*alone, kRate, 0, 0.5));
    expected.until(kPhraseFrames, kBlock);
    EXPECT_TRUE(renderers[static_cast<std::size_t>(i)]->clean());
    EXPECT_GT(renderers[static_cast<std::size_t>(i)]->census().peak, 0.01f);
    EXPECT_TRUE(sameSamples(renderers[static_cast<std::size_t>(i)]->left(), expected.left()));
    EXPECT_TRUE(sameSamples(renderers[static_cast<std::size_t>(i)]->right(), expected.right()));
  }
}

VstIntPtr answersNothing(AEffect*, VstInt32, VstInt32, VstIntPtr, void*, float) { return 0; }

VstIntPtr answersOnlyTheVersion(AEffect*, VstInt32 opcode, VstInt32, VstIntPtr, void*, float) {
  return opcode == audioMasterVersion ? 2400 : 0;
}

// A host that answers nothing, not even the version, gets no instance; so does one that
// hands over no callback at all.
TEST(ValidatorLifecycle, HostThatAnswersNothingGetsNoInstance) {
  std::string error;
  auto module = host::Module::load(VORLAK_MODULE_PATH, &error);
  ASSERT_NE(module, nullptr) << error;
  host::LoadOptions options;
  options.callback = &answersNothing;
  EXPECT_EQ(host::Plugin::create(module, &error, options), nullptr);
  AEffect* effect = module->entry()(nullptr);
  EXPECT_EQ(effect, nullptr);
  if (effect) effect->dispatcher(effect, effClose, 0, 0, nullptr, 0.0f);
}

// A host that answers its version and nothing else (no time, no MIDI wish, no automation)
// still gets an instance that plays exactly what a full host hears at 120 BPM.
TEST(ValidatorLifecycle, HostThatAnswersOnlyItsVersion) {
  std::string error;
  host::LoadOptions options;
  options.callback = &answersOnlyTheVersion;
  auto plugin = host::Plugin::load(VORLAK_MODULE_PATH, &error, options);
  ASSERT_NE(plugin, nullptr) << error;
  plugin->start(kRate, kBlock);
  plugin->setProgram(kProgram);
  expectReference(play(*plugin));

  char text[256] = {};
  EXPECT_EQ(plugin->dispatch(effGetEffectName, 0, 0, text), 1);
  EXPECT_NE(plugin->editorRect(), std::nullopt);
  for (int i = 0; i < 28; ++i) plugin->parameterDisplay(i);
  plugin->dispatch(effEditIdle);
  // The panel's arrow keys step programs even when the host answers nothing.
  EXPECT_EQ(plugin->dispatch(effEditKeyDown, 0, VKEY_UP, nullptr, 0.0f), 1);
  EXPECT_EQ(plugin->dispatch(effGetProgram), kProgram - 1);
  plugin->setProgram(34);
  BlockRenderer renderer(*plugin);
  renderer.schedule(phraseFor(*plugin, kRate, 0, 0.5));
  renderer.until(framesOf(1.0, kRate), kBlock, Entry::Accumulating);
  EXPECT_TRUE(renderer.clean());
  EXPECT_GT(renderer.census().peak, 0.01f);
  EXPECT_EQ(plugin->close(), 1);
}

}  // namespace
}  // namespace vorlak::test
