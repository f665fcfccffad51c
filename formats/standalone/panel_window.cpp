#include "formats/standalone/panel_window.h"

#include <cstring>

#include "editor/editor.h"
#include "formats/standalone/player.h"

namespace vorlak::standalone {
namespace {

constexpr const char* kTitle = "Vorlak";
// The computer's keys as a keyboard, as trackers and soft synths lay them out: the bottom row
// and the row above its sharps from C3, the top row and the digits from C4.
constexpr const char* kLowerKeys = "zsxdcvgbhnjm,";
constexpr const char* kUpperKeys = "q2w3er5t6y7ui";
constexpr int kLowerNote = 48;
constexpr int kUpperNote = 60;
constexpr uint8_t kKeyVelocity = 100;
constexpr int kOctaveLimit = 3;
constexpr Point kMenuAt{8, 8};

int noteOfKey(int character) {
  if (character <= 0 || character >= 128) return -1;
  if (const char* at = std::strchr(kLowerKeys, character)) return kLowerNote + (at - kLowerKeys);
  if (const char* at = std::strchr(kUpperKeys, character)) return kUpperNote + (at - kUpperKeys);
  return -1;
}

}  // namespace

PanelWindow::PanelWindow(Player& owner, MenuOwner& menuOwner) : player(owner), menus(menuOwner) {}

std::unique_ptr<PanelWindow> PanelWindow::open(Player& player, MenuOwner& menus, double hostScale) {
  std::unique_ptr<PanelWindow> self(new PanelWindow(player, menus));
  self->editor = std::make_unique<Editor>(*self);
  self->editor->setHostScale(hostScale);
  Rect rect;
  if (!self->editor->getRect(rect)) return nullptr;
  self->top =
      currentPlatform().createTopLevel(kTitle, rect.right - rect.left, rect.bottom - rect.top);
  if (!self->top || !self->editor->open(self->top->parent())) return nullptr;
  return self;
}

PanelWindow::~PanelWindow() {
  if (editor) editor->close();
  editor.reset();
  top.reset();
}

bool PanelWindow::idle() {
  if (player.takeProgramChange()) showAllValues();
  top->dispatchEvents(*this);
  if (closing) return false;
  editor->idle();
  return true;
}

int PanelWindow::eventDescriptor() const { return top->eventDescriptor(); }

double PanelWindow::scale() const { return editor->panelScale(); }

void PanelWindow::showAllValues() {
  for (int i = 0; i < kNumParameters; ++i)
    editor->setParameter(i, player.instrument().parameter(i));
}

void PanelWindow::setParameterAutomated(int index, float value) {
  InstrumentCore& core = player.instrument();
  core.setParameter(index, value);
  editor->setParameter(index, core.parameter(index));
}

float PanelWindow::getParameter(int index) { return player.instrument().parameter(index); }

int PanelWindow::getProgram() { return player.instrument().program(); }

void PanelWindow::setProgram(int program) {
  if (player.instrument().loadProgram(program)) showAllValues();
}

void PanelWindow::requestResize(int width, int height) { top->resize(width, height); }

int PanelWindow::popup(const std::vector<MenuEntry>& entries) {
  RootFrame* frame = editor->getFrame();
  if (!frame || !frame->window() || entries.empty()) return -1;
  return frame->window()->popupMenu(entries, kMenuAt, false);
}

void PanelWindow::command(int character) {
  if (character == 'q') {
    closing = true;
  } else if (character == 'p') {
    std::vector<MenuEntry> entries;
    char name[32];
    for (int n = 0; n < kNumPrograms; ++n) {
      player.instrument().programNameAt(n, name);
      MenuEntry entry{std::to_string(n) + "  " + name, n};
      entry.checked = n == getProgram();
      entry.columnBreak = n > 0 && n % 16 == 0;
      entries.push_back(entry);
    }
    const int chosen = popup(entries);
    if (chosen >= 0) setProgram(chosen);
  } else if (character == 'a') {
    const int chosen = popup(menus.audioMenu());
    if (chosen >= 0) menus.chooseAudio(chosen);
  } else if (character == 'm') {
    const int chosen = popup(menus.midiMenu());
    if (chosen >= 0) menus.chooseMidi(chosen);
  }
}

void PanelWindow::playKey(int character, bool down) {
  if (down && (character == '-' || character == '=')) {
    octaveShift += character == '-' ? -1 : 1;
    octaveShift = octaveShift < -kOctaveLimit ? -kOctaveLimit : octaveShift;
    octaveShift = octaveShift > kOctaveLimit ? kOctaveLimit : octaveShift;
    return;
  }
  const int base = noteOfKey(character);
  if (base < 0) return;
  unsigned char& note = held[character];
  if (down && !note) {
    const int pitch = base + 12 * octaveShift;
    if (pitch < 0 || pitch > 127) return;
    note = static_cast<unsigned char>(pitch + 1);
    player.keyboardInput().push({0, 0x90, static_cast<uint8_t>(pitch), kKeyVelocity});
  } else if (!down && note) {
    player.keyboardInput().push({0, 0x80, static_cast<uint8_t>(note - 1), 0});
    note = 0;
  }
}

void PanelWindow::onKey(const KeyStroke& key, bool down) {
  if (key.modifier & kModifierControl) {
    if (down) command(key.character);
  } else if (key.virt) {
    if (down) editor->keyDown(key);
  } else {
    playKey(key.character, down);
  }
}

}  // namespace vorlak::standalone
