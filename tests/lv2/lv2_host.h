// A small LV2 host on lilv for the tests: loads the bundle, instantiates the plug-in as a host
// does (URID map and unmap, block length options), connects the 28 control ports, an event
// sequence and two outputs, and saves and restores state through lilv. Everything it needs
// while running is allocated up front, so an audio-thread check may watch its run().
#pragma once

#include <lilv/lilv.h>
#include <lv2/atom/atom.h>
#include <lv2/urid/urid.h>

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace vorlak::lv2test {

constexpr int kControls = 28;
constexpr uint32_t kEventsPort = 28, kLeftPort = 29, kRightPort = 30;

class Urids {
 public:
  Urids();
  LV2_URID map(const char* uri);
  const char* unmap(LV2_URID urid) const;
  LV2_URID_Map* mapFeature() { return &mapData; }
  LV2_URID_Unmap* unmapFeature() { return &unmapData; }

 private:
  std::map<std::string, LV2_URID> ids;
  std::vector<std::string> uris;
  LV2_URID_Map mapData;
  LV2_URID_Unmap unmapData;
};

class Lv2Instance;

class Lv2World {
 public:
  // Null with a one-line error when the bundle has no plug-in of that URI.
  static std::unique_ptr<Lv2World> load(const std::string& bundle, const std::string& uri,
                                        std::string* error);
  ~Lv2World();

  // An activated instance with the given block length announced as its maximum; null when
  // the plug-in refuses. withMap false leaves the URID map out of the features.
  std::unique_ptr<Lv2Instance> instantiate(double rate, int maxBlock, bool withMap = true,
                                           bool activate = true);
  LilvWorld* world() { return lilvWorld; }
  const LilvPlugin* plugin() { return lilvPlugin; }
  Urids& urids() { return ids; }

 private:
  Lv2World() = default;
  LilvWorld* lilvWorld = nullptr;
  const LilvPlugin* lilvPlugin = nullptr;
  Urids ids;
};

class Lv2Instance {
 public:
  static constexpr size_t kEventCapacity = 1 << 16;

  Lv2Instance(Lv2World& world, LilvInstance* instance, int maxBlock);
  ~Lv2Instance();
  Lv2Instance(const Lv2Instance&) = delete;
  Lv2Instance& operator=(const Lv2Instance&) = delete;

  LilvInstance* instance() { return lilv; }
  void activate() { lilv_instance_activate(lilv); }

  float& control(int index) { return controls[index]; }

  // Events for the next run, appended in the order given (frames are not sorted).
  void clearEvents();
  void addMidi(int64_t frame, std::vector<uint8_t> bytes);
  void addTempo(int64_t frame, float beatsPerMinute);
  // Any atom, for the odd ones a host may send.
  void addAtom(int64_t frame, LV2_URID type, const void* body, uint32_t size);
  // The sequence buffer itself, for tests that break its sizes.
  LV2_Atom_Sequence* sequence() { return reinterpret_cast<LV2_Atom_Sequence*>(events.data()); }

  // Runs one block into left() and right() and clears the events. The outputs hold at least
  // the announced maximum; a larger block grows them first.
  void run(int frames);
  // Only the plug-in's run, for a checker: no buffer is touched or grown.
  void runOnly(uint32_t frames) { lilv_instance_run(lilv, frames); }
  // Connects the outputs to the given buffers (null disconnects).
  void connectOutputs(float* left, float* right);
  std::vector<float>& left() { return leftOut; }
  std::vector<float>& right() { return rightOut; }

  // The state as a host saves it: the control port values and the plug-in's own.
  LilvState* save();
  // Applies a state as a host restores it: the plug-in's part, then the port values.
  void restore(const LilvState* state);
  // Saved and read back through Turtle text, as a session file stores it.
  std::string stateText(const LilvState* state);
  LilvState* stateFromText(const std::string& text);

 private:
  static const void* portValue(const char* symbol, void* self, uint32_t* size, uint32_t* type);
  static void setPortValue(const char* symbol, void* self, const void* value, uint32_t size,
                           uint32_t type);

  Lv2World& world;
  LilvInstance* lilv;
  float controls[kControls] = {};
  std::vector<uint64_t> events;  // 8-byte aligned
  std::vector<float> leftOut, rightOut;
};

}  // namespace vorlak::lv2test
