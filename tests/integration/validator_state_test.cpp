// State as hosts without chunk support save and restore it: for each of the 64 programs, its
// name and its 28 values, read through the current program and written back the same way into
// another instance. Everything must come back bit for bit, and sound the same.
#include <array>
#include <cstring>
#include <random>

#include "tests/integration/validator_support.h"

namespace vorlak::test {
namespace {

struct SavedProgram {
  std::string name;
  std::array<float, 28> values;
};

struct SavedState {
  VstIntPtr current = 0;
  std::vector<SavedProgram> programs;
};

SavedState save(host::Plugin& plugin) {
  SavedState state;
  state.current = plugin.program();
  for (VstIntPtr p = 0; p < 64; ++p) {
    plugin.setProgram(p);
    SavedProgram saved{plugin.programName(), {}};
    for (VstInt32 i = 0; i < 28; ++i)
      saved.values[static_cast<std::size_t>(i)] = plugin.parameter(i);
    state.programs.push_back(saved);
  }
  plugin.setProgram(state.current);
  return state;
}

void restore(host::Plugin& plugin, const SavedState& state) {
  for (VstIntPtr p = 0; p < 64; ++p) {
    const SavedProgram& saved = state.programs[static_cast<std::size_t>(p)];
    plugin.setProgram(p);
    plugin.setProgramName(saved.name);
    for (VstInt32 i = 0; i < 28; ++i)
      plugin.setParameter(i, saved.values[static_cast<std::size_t>(i)]);
  }
  plugin.setProgram(state.current);
}

// Rewrites every other program with values anywhere in [0, 1] (raw bit patterns, subnormals
// included) and a name of up to 23 printable characters.
void edit(host::Plugin& plugin, std::mt19937& random, int parity) {
  std::uniform_int_distribution<std::uint32_t> bits(0, 0x3F800000u);
  std::uniform_int_distribution<int> length(1, 23);
  std::uniform_int_distribution<int> character(' ', '~');
  for (VstIntPtr p = parity; p < 64; p += 2) {
    plugin.setProgram(p);
    std::string name(static_cast<std::size_t>(length(random)), ' ');
    for (char& c : name) c = static_cast<char>(character(random));
    plugin.setProgramName(name);
    for (VstInt32 i = 0; i < 28; ++i) {
      const std::uint32_t pattern = bits(random);
      float value;
      std::memcpy(&value, &pattern, sizeof value);
      plugin.setParameter(i, value);
    }
  }
}

bool sameBits(float a, float b) { return std::memcmp(&a, &b, sizeof a) == 0; }

void expectState(host::Plugin& plugin, const SavedState& state) {
  EXPECT_EQ(plugin.program(), state.current);
  for (VstInt32 p = 0; p < 64; ++p) {
    const SavedProgram& saved = state.programs[static_cast<std::size_t>(p)];
    EXPECT_EQ(plugin.programNameIndexed(p), saved.name) << "program " << p;
  }
  for (VstIntPtr p = 0; p < 64; ++p) {
    const SavedProgram& saved = state.programs[static_cast<std::size_t>(p)];
    plugin.setProgram(p);
    EXPECT_EQ(plugin.programName(), saved.name) << "program " << p;
    for (VstInt32 i = 0; i < 28; ++i) {
      const float value = plugin.parameter(i);
      EXPECT_TRUE(sameBits(value, saved.values[static_cast<std::size_t>(i)]))
          << "program " << p << " parameter " << i << " reads " << value << " where "
          << saved.values[static_cast<std::size_t>(i)] << " was saved";
    }
  }
  plugin.setProgram(state.current);
}

// The factory bank itself, saved and restored into an instance whose programs were all
// rewritten first, so that nothing comes back merely because it was never changed.
TEST(ValidatorState, FactoryBankComesBackIntoAnEditedInstance) {
  auto source = startVorlak();
  auto target = startVorlak();
  ASSERT_NE(source, nullptr);
  ASSERT_NE(target, nullptr);
  source->setProgram(21);
  const SavedState state = save(*source);
  std::mt19937 random(5);
  edit(*target, random, 0);
  edit(*target, random, 1);
  target->setProgram(3);
  restore(*target, state);
  expectState(*target, state);
}

// An edited bank comes back bit for bit, and each restored program plays exactly what the
// original instance plays.
TEST(ValidatorState, EditedBankComesBackAndSoundsTheSame) {
  auto source = startVorlak();
  auto target = startVorlak();
  ASSERT_NE(source, nullptr);
  ASSERT_NE(target, nullptr);
  std::mt19937 random(11);
  edit(*source, random, 0);
  edit(*target, random, 1);
  source->setProgram(46);
  const SavedState state = save(*source);
  restore(*target, state);
  expectState(*target, state);

  BlockRenderer original(*source, true);
  BlockRenderer restored(*target, true);
  for (VstIntPtr program :
       {VstIntPtr{46}, VstIntPtr{0}, VstIntPtr{34}, VstIntPtr{21}, VstIntPtr{62}, VstIntPtr{7}}) {
    SCOPED_TRACE(testing::Message() << "program " << program);
    source->setProgram(program);
    target->setProgram(program);
    const long start = original.position();
    std::vector<ScheduledMidi> phrase = phraseFor(*source, kRate, start, 0.3);
    phrase.push_back({start + framesOf(0.3, kRate), 0xB0, 123, 0});
    original.schedule(phrase);
    restored.schedule(phrase);
    original.until(start + framesOf(1.0, kRate), kBlock);
    restored.until(start + framesOf(1.0, kRate), kBlock);
  }
  EXPECT_TRUE(original.census().nan == 0 && original.census().infinite == 0);
  EXPECT_GT(original.census().peak, 0.01f);
  EXPECT_TRUE(sameSamples(restored.left(), original.left()));
  EXPECT_TRUE(sameSamples(restored.right(), original.right()));
}

// Names of exactly the field's 23 characters survive the round trip whole.
TEST(ValidatorState, FullLengthNamesComeBackWhole) {
  auto source = startVorlak();
  auto target = startVorlak();
  ASSERT_NE(source, nullptr);
  ASSERT_NE(target, nullptr);
  for (VstIntPtr p = 0; p < 64; ++p) {
    source->setProgram(p);
    std::string name = "Program " + std::to_string(p) + " ";
    while (name.size() < 23) name += static_cast<char>('a' + name.size() % 26);
    source->setProgramName(name);
  }
  const SavedState state = save(*source);
  for (const SavedProgram& saved : state.programs) EXPECT_EQ(saved.name.size(), 23u);
  restore(*target, state);
  expectState(*target, state);
}

}  // namespace
}  // namespace vorlak::test
