// Channel modes, bend ranges and note expressions: which string a channel's note plays and how
// far each string's pitch is bent. Everything here runs when an event comes due; the string
// pass only divides a loop length by the pitch factor worked out here.
#include <algorithm>
#include <cmath>

#include "engine/engine.h"
#include "engine/maths.h"

namespace vorlak {
namespace {

constexpr uint8_t kNoParameter = 127;
constexpr int kDataEntry = 6;
constexpr int kDataEntryFine = 38;
constexpr int kUnregisteredLow = 98;
constexpr int kUnregisteredHigh = 99;
constexpr int kRegisteredLow = 100;
constexpr int kRegisteredHigh = 101;
constexpr int kMonoOn = 126;
constexpr int kPolyOn = 127;
// Registered parameters: pitch-bend sensitivity and the MPE configuration message.
constexpr int kBendRangeParameter = 0;
constexpr int kZoneParameter = 6;
constexpr int kLowerManager = 0;
constexpr int kUpperManager = kMidiChannels - 1;
constexpr int kMostMembers = kMidiChannels - 1;

// A string channel reaches as far as the fret ladder (an octave); MPE gives a member 48 and
// the manager 2.
float defaultRange(int8_t role) {
  switch (role) {
    case kRoleString:
      return 12.0f;
    case kRoleMember:
      return 48.0f;
    case kRoleManager:
      return 2.0f;
    default:
      return 0.0f;
  }
}

float bendRange(const ChannelState& channel) {
  if (!channel.rangeSet) return defaultRange(channel.role);
  const float range =
      static_cast<float>(channel.rangeSemitones) + static_cast<float>(channel.rangeCents) * 0.01f;
  return std::fmin(range, kWidestBendRange);
}

// Centre 8192; the two halves are scaled apart so that both ends reach the full range.
float bendPosition(int value) {
  const int offset = std::clamp(value, 0, 16383) - 8192;
  return offset <= 0 ? static_cast<float>(offset) / 8192.0f : static_cast<float>(offset) / 8191.0f;
}

// The voices a channel's bend moves: its own and, for a manager, its members'. -1 for all.
void retuneVoices(Engine& engine, int channelIndex = -1) {
  const ChannelState* channels = engine.channelModes.channels;
  for (StringVoice& voice : engine.voices) {
    const int own = voice.channel;
    const bool moved = channelIndex < 0 || own == channelIndex ||
                       (own >= 0 && own < kMidiChannels && channels[own].manager == channelIndex);
    if (moved) voice.pitchRatio = voicePitchRatio(engine, voice);
  }
}

// Mode messages release every note at intake, but the notes queued ahead of one still start
// in the old mode; they are released again when the mode changes, since the note-offs that
// follow are read in the new mode and might never find them.
void leaveMode(Engine& engine) { releaseAll(engine); }

void clearRoles(StringChannels& modes) {
  for (ChannelState& channel : modes.channels) {
    channel.role = kRoleNone;
    channel.manager = -1;
    channel.voice = -1;
  }
}

// Channel b plays string 1, b + 1 string 2, and so on; 0 asks for as many channels as there
// are strings, and so does a count above them. Channels past 16 do not wrap round.
void monoOn(StringChannels& modes, int base, int requested) {
  clearRoles(modes);
  modes.mode = kChannelsMono;
  modes.lowerMembers = 0;
  modes.upperMembers = 0;
  const int count = requested == 0 || requested > kVoiceCount ? kVoiceCount : requested;
  for (int i = 0; i < count && base + i < kMidiChannels; ++i) {
    ChannelState& channel = modes.channels[base + i];
    channel.role = kRoleString;
    channel.voice = static_cast<int8_t>(i);
  }
}

void zoneRoles(StringChannels& modes, int manager, int members, int step) {
  if (members <= 0) return;
  modes.channels[manager].role = kRoleManager;
  for (int i = 1; i <= members; ++i) {
    ChannelState& member = modes.channels[manager + step * i];
    member.role = kRoleMember;
    member.manager = static_cast<int8_t>(manager);
  }
}

// The configuration message on channel 1 sets the lower zone, on channel 16 the upper one; a
// zone that would overlap the other shrinks that other, and both empty end MPE. The zone's
// channels take MPE's bend ranges again, as the message asks of a receiver.
void configureZone(Engine& engine, int managerChannel, int requested) {
  StringChannels& modes = engine.channelModes;
  if (managerChannel != kLowerManager && managerChannel != kUpperManager) return;
  const int members = std::min(requested, kMostMembers);
  const int32_t before = modes.mode;
  if (before == kChannelsMono) {
    if (members == 0) return;
    modes.lowerMembers = 0;
    modes.upperMembers = 0;
  }
  // The zones share the sixteen channels, each taking its manager and its members.
  const int room = members == 0 ? kMostMembers : std::max(kMostMembers - 1 - members, 0);
  if (managerChannel == kLowerManager) {
    modes.lowerMembers = members;
    modes.upperMembers = std::min(modes.upperMembers, room);
  } else {
    modes.upperMembers = members;
    modes.lowerMembers = std::min(modes.lowerMembers, room);
  }
  clearRoles(modes);
  zoneRoles(modes, kLowerManager, modes.lowerMembers, 1);
  zoneRoles(modes, kUpperManager, modes.upperMembers, -1);
  const int first = managerChannel == kLowerManager ? 0 : kUpperManager - members;
  for (int c = first; c <= first + members; ++c) modes.channels[c].rangeSet = false;
  const int32_t after = modes.lowerMembers + modes.upperMembers > 0 ? kChannelsMpe : kChannelsPoly;
  if (after != before) leaveMode(engine);
  modes.mode = after;
}

void dataEntry(Engine& engine, int channelIndex, bool fine, int value) {
  ChannelState& channel = engine.channelModes.channels[channelIndex];
  if (channel.parameterHigh != 0) return;
  if (channel.parameterLow == kBendRangeParameter) {
    if (fine) {
      channel.rangeCents = static_cast<uint8_t>(std::min(value, 99));
    } else {
      channel.rangeSemitones = static_cast<uint8_t>(value);
      channel.rangeCents = 0;
    }
    channel.rangeSet = true;
  } else if (channel.parameterLow == kZoneParameter && !fine) {
    configureZone(engine, channelIndex, value);
  }
}

bool matches(const StringVoice& voice, const QueuedEvent& event) {
  if (event.noteId >= 0) return voice.noteId == event.noteId;
  return (event.note < 0 || voice.note == static_cast<float>(event.note)) &&
         (event.channel < 0 || voice.channel == event.channel);
}

}  // namespace

void clearChannels(StringChannels& modes) {
  modes.mode = kChannelsPoly;
  modes.lowerMembers = 0;
  modes.upperMembers = 0;
  clearRoles(modes);
  for (ChannelState& channel : modes.channels) {
    channel.parameterHigh = kNoParameter;
    channel.parameterLow = kNoParameter;
    channel.rangeSet = false;
    channel.rangeSemitones = 0;
    channel.rangeCents = 0;
    channel.bend = 0.0f;
  }
  modes.startChannel = -1;
  modes.startNoteId = -1;
}

float voicePitchRatio(const Engine& engine, const StringVoice& voice) {
  float semitones = voice.tuning;
  const StringChannels& modes = engine.channelModes;
  if (modes.mode != kChannelsPoly && voice.channel >= 0 && voice.channel < kMidiChannels) {
    const ChannelState& channel = modes.channels[voice.channel];
    if (channel.role != kRoleNone) semitones += channel.bend * bendRange(channel);
    if (channel.role == kRoleMember) {
      const ChannelState& manager = modes.channels[channel.manager];
      semitones += manager.bend * bendRange(manager);
    }
  }
  // ln 2 / 12, as the note frequencies are worked out.
  return semitones == 0.0f ? 1.0f : exponential(semitones * 0.057762265f);
}

void centreChannelBends(Engine& engine) {
  for (ChannelState& channel : engine.channelModes.channels) channel.bend = 0.0f;
  retuneVoices(engine);
}

void dispatchNote(Engine& engine, const Patch& patch, const QueuedEvent& event) {
  StringChannels& modes = engine.channelModes;
  const bool on = (event.kind & kEventNoteOn) != 0;
  const int channelIndex = event.channel & (kMidiChannels - 1);
  modes.startChannel = channelIndex;
  modes.startNoteId = event.noteId;
  if (modes.mode == kChannelsPoly) {
    if (on)
      styleNoteOn(engine, patch, event.note, event.valueFloat, event.detune);
    else
      styleNoteOff(engine, patch, event.note, event.valueFloat);
    return;
  }
  // Each note is one string, as played: the playing style does not rewrite it.
  const ChannelState& channel = modes.channels[channelIndex];
  if (channel.role == kRoleNone) return;
  if (on) {
    if (channel.role == kRoleString)
      startVoice(engine, channel.voice, event.note, event.valueFloat, event.detune, 0);
    else
      startString(engine, event.note, event.valueFloat, event.detune, 0);
    return;
  }
  // A note-off for a note its string has already left (a new note on the channel replaced it)
  // finds nothing.
  for (StringVoice& voice : engine.voices) {
    if (voice.gate == 0.0f || voice.channel != channelIndex ||
        voice.note != static_cast<float>(event.note))
      continue;
    releaseString(engine, voice, true);
    return;
  }
}

bool channelController(Engine& engine, const QueuedEvent& event) {
  StringChannels& modes = engine.channelModes;
  const int channelIndex = event.channel & (kMidiChannels - 1);
  ChannelState& channel = modes.channels[channelIndex];
  const int value = event.value;
  switch (event.controller) {
    case kPitchBendController:
      if (modes.mode == kChannelsPoly) return false;
      if (channel.role != kRoleNone) {
        channel.bend = bendPosition(value);
        retuneVoices(engine, channelIndex);
      }
      return true;
    case kRegisteredHigh:
      channel.parameterHigh = static_cast<uint8_t>(value);
      return false;
    case kRegisteredLow:
      channel.parameterLow = static_cast<uint8_t>(value);
      return false;
    case kUnregisteredHigh:
    case kUnregisteredLow:
      // Data entry now belongs to a parameter that is not registered.
      channel.parameterHigh = kNoParameter;
      channel.parameterLow = kNoParameter;
      return false;
    case kDataEntry:
    case kDataEntryFine:
      dataEntry(engine, channelIndex, event.controller == kDataEntryFine, value);
      retuneVoices(engine);
      return false;
    case kMonoOn:
      leaveMode(engine);
      monoOn(modes, channelIndex, value);
      retuneVoices(engine);
      return false;
    case kPolyOn:
      if (modes.mode != kChannelsPoly) leaveMode(engine);
      clearRoles(modes);
      modes.mode = kChannelsPoly;
      modes.lowerMembers = 0;
      modes.upperMembers = 0;
      retuneVoices(engine);
      return false;
    default:
      return false;
  }
}

void queueNoteExpressions(Engine& engine, const NoteExpression* expressions, int count,
                          int32_t maxFrame) {
  for (int i = 0; i < count; ++i) {
    const NoteExpression& expression = expressions[i];
    if (!std::isfinite(expression.value) ||
        (expression.kind != kExpressionTuning && expression.kind != kExpressionVolume))
      continue;
    QueuedEvent& event =
        pushEvent(engine.queue, std::clamp(expression.frame, 0, std::max(maxFrame, 0)));
    event.kind = kEventNoteExpression;
    event.controller = expression.kind;
    event.noteId = expression.noteId < 0 ? -1 : expression.noteId;
    event.channel =
        expression.channel >= 0 && expression.channel < kMidiChannels ? expression.channel : -1;
    event.note = expression.key >= 0 && expression.key <= 127 ? expression.key : -1;
    event.valueFloat = expression.value;
  }
}

void applyNoteExpression(Engine& engine, const QueuedEvent& event) {
  for (StringVoice& voice : engine.voices) {
    if (!matches(voice, event)) continue;
    if (event.controller == kExpressionTuning) {
      voice.tuning = std::clamp(event.valueFloat, -120.0f, 120.0f);
      voice.pitchRatio = voicePitchRatio(engine, voice);
    } else {
      voice.gain = std::clamp(event.valueFloat, 0.0f, 4.0f);
    }
  }
}

}  // namespace vorlak
