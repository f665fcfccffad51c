// How MIDI channels address the strings. Until a mode message says otherwise the channel means
// nothing: every note goes through the playing style and the wheels move every string. A
// guitar controller's mono mode (controller 126) gives each of up to six channels one string of
// its own; MPE (the configuration message, registered parameter 6) gives each note a channel of
// a zone. In both a channel's pitch bend moves its strings alone, continuously, over the bend
// range registered parameter 0 sets; in MPE the zone's manager channel moves all its notes.
#pragma once

#include <cstdint>

namespace vorlak {

constexpr int kMidiChannels = 16;
// The widest bend range a channel takes, in semitones.
constexpr float kWidestBendRange = 96.0f;

enum ChannelMode : int32_t {
  kChannelsPoly = 0,  // no mode message: the channel is ignored
  kChannelsMono = 1,
  kChannelsMpe = 2,
};

enum ChannelRole : int8_t {
  kRoleNone = 0,  // notes and bends on it are ignored while a mode is on
  kRoleString = 1,
  kRoleMember = 2,
  kRoleManager = 3,
};

struct ChannelState {
  int8_t role;
  int8_t manager;  // a member's manager channel; -1 for the other roles
  int8_t voice;    // the string a string channel plays
  // The registered parameter that data entry goes to; 127 for none.
  uint8_t parameterHigh;
  uint8_t parameterLow;
  // Registered parameter 0 as sent; until then the role's own range applies.
  bool rangeSet;
  uint8_t rangeSemitones;
  uint8_t rangeCents;
  float bend;  // the wheel's position, -1..1
};

struct StringChannels {
  int32_t mode;  // ChannelMode
  int32_t lowerMembers;
  int32_t upperMembers;
  ChannelState channels[kMidiChannels];
  // Stamped on the voices the note being dispatched starts.
  int32_t startChannel;
  int32_t startNoteId;
};

}  // namespace vorlak
