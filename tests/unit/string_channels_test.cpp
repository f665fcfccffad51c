// Each string bent alone: a guitar controller's mono mode, bend ranges, MPE zones, measured as
// pitches in what the whole instrument renders.
#include <gtest/gtest.h>

#include <cmath>
#include <initializer_list>

#include "audio_measure.h"
#include "instrument/parameters.h"
#include "tests/unit/core_host.h"

namespace vorlak {
namespace {

constexpr float kRate = 44100.f;

MidiMessage midi(int status, int data1, int data2) {
  return {0, static_cast<uint8_t>(status), static_cast<uint8_t>(data1),
          static_cast<uint8_t>(data2)};
}

// A bend of the given semitones over a range, as a controller sends it on channel (1..16).
MidiMessage bend(int channel, double semitones, double range) {
  const int value = 8192 + static_cast<int>(std::lround(semitones / range * 8191.0));
  return midi(0xE0 + channel - 1, value & 127, value >> 7);
}

MidiMessage note(int channel, int key, bool on = true) {
  return midi((on ? 0x90 : 0x80) + channel - 1, key, on ? 100 : 0);
}

// Registered parameter n set to value on a channel.
void registered(testhost::CoreHost& host, int channel, int n, int value) {
  const int status = 0xB0 + channel - 1;
  host.send({midi(status, 101, 0), midi(status, 100, n), midi(status, 6, value)});
}

// A clean instrument: the plain guitar with no amplifier, cabinet or effect in the way.
struct Player {
  testhost::CoreHost host{kRate, 512};
  Player() {
    for (int i : {kAmpType, kCabType, kFx, kFeedback, kAid, kLatch}) host.set(i, 0.f);
    host.set(kStrings, 1.f / 6.f);
  }
  // The pitch (Hz) of what sounds a quarter of a second after the messages.
  double play(std::initializer_list<MidiMessage> messages) {
    host.send(messages);
    const std::vector<float> out = host.renderLeft(static_cast<int>(0.25 * kRate));
    const int window = static_cast<int>(0.1 * kRate);
    return test::estimatePitch(out.data() + out.size() - window, window, kRate, 60.f, 1000.f);
  }
  int soundingStrings() const {
    int n = 0;
    for (const StringVoice& voice : host.engine().voices) n += voice.gate > 0.f;
    return n;
  }
};

double cents(double hz, double reference) { return 1200.0 * std::log2(hz / reference); }

TEST(StringChannels, MonoModeGivesEachChannelOneStringBentAloneOverItsRange) {
  Player p;
  p.host.send({midi(0xB0, 126, 6)});
  const double open = p.play({note(3, 57)});
  ASSERT_GT(open, 0.0);
  EXPECT_NEAR(cents(p.play({bend(3, 1.5, 12.0)}), open), 150.0, 3.0);
  // The bend is the string's: a note on channel 1 sounds unbent while channel 3 stays bent.
  EXPECT_NEAR(cents(p.play({note(3, 57, false), note(1, 57)}), open), 0.0, 3.0);
  // Registered parameter 0 widens channel 3 to 24 semitones: the same wheel bends twice as far.
  registered(p.host, 3, 0, 24);
  EXPECT_NEAR(cents(p.play({note(1, 57, false), note(3, 57)}), open), 300.0, 3.0);
  // A second note on the channel replaces the first, as a fretted string does.
  EXPECT_NEAR(cents(p.play({bend(3, 0.0, 24.0), note(3, 62)}), open), 500.0, 3.0);
  EXPECT_EQ(p.soundingStrings(), 1);
  // Back to poly, the bend wheel moves every string by fret steps again: 1.5 becomes 2.
  p.host.send({midi(0xB0, 127, 0)});
  EXPECT_NEAR(cents(p.play({note(5, 57), bend(5, 1.5, 12.0)}), open), 200.0, 3.0);
}

TEST(StringChannels, MpeMembersBendTheirOwnNotesAndTheManagerBendsThemAll) {
  Player p;
  registered(p.host, 1, 6, 15);  // lower zone, members on channels 2 to 16
  const double open = p.play({note(2, 57)});
  ASSERT_GT(open, 0.0);
  // A member's range is 48 semitones, the manager's 2.
  EXPECT_NEAR(cents(p.play({bend(2, 1.5, 48.0), bend(4, -7.0, 48.0)}), open), 150.0, 3.0);
  EXPECT_NEAR(cents(p.play({bend(1, 1.0, 2.0)}), open), 250.0, 3.0);
  // Another member's note takes its own bend and the manager's.
  EXPECT_NEAR(cents(p.play({note(2, 57, false), note(4, 57)}), open), -600.0, 3.0);
  // Zone size 0 ends MPE, releasing its notes: the channel means nothing again, the wheel
  // moves by frets.
  registered(p.host, 1, 6, 0);
  EXPECT_NEAR(cents(p.play({note(7, 57), bend(2, 1.5, 12.0)}), open), 200.0, 3.0);
}

TEST(StringChannels, ModeMessagesOutOfReachStillPlayFiniteSound) {
  Player p;
  for (int channel = 1; channel <= 16; ++channel) {
    const int status = 0xB0 + channel - 1;
    // Half a parameter number, then data; ranges and counts past what MIDI or MPE allow.
    p.host.send({midi(status, 101, 0), midi(status, 6, 127), midi(status, 100, 0),
                 midi(status, 6, 127), midi(status, 38, 127), midi(status, 126, 127),
                 note(channel, 20 + channel * 5), bend(channel, 96.0, 96.0)});
    registered(p.host, channel, 6, 127);
    p.host.send({note(channel, 127 - channel), bend(channel, -96.0, 96.0)});
    const std::vector<float> out = p.host.renderLeft(2048);
    ASSERT_TRUE(test::allFinite(out.data(), static_cast<int>(out.size()))) << channel;
    EXPECT_LT(test::peak(out.data(), static_cast<int>(out.size())), 4.0) << channel;
  }
}

}  // namespace
}  // namespace vorlak
