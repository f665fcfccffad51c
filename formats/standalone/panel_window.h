// The panel in the program's own top-level window titled "Vorlak": the same panel a host
// shows, its edits going straight to the core, plus what a host's menus would do (keys for
// the program, audio and MIDI menus) and the computer's keyboard as a small MIDI keyboard.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "editor/platform/platform.h"
#include "editor/toolkit/editor_link.h"

namespace vorlak {
class Editor;
}

namespace vorlak::standalone {

class Player;

// What the window's menus ask of the program around it.
class MenuOwner {
 public:
  // The entries of the audio or MIDI menu (ids from 0), and the choice of one.
  virtual std::vector<MenuEntry> audioMenu() = 0;
  virtual void chooseAudio(int id) = 0;
  virtual std::vector<MenuEntry> midiMenu() = 0;
  virtual void chooseMidi(int id) = 0;

 protected:
  ~MenuOwner() = default;
};

class PanelWindow final : public EditorLink, private TopLevelEvents {
 public:
  // Null when no display can be opened. hostScale takes the place of a host's scale in the
  // usual order (VORLAK_UI_SCALE, then it, then the system's).
  static std::unique_ptr<PanelWindow> open(Player& player, MenuOwner& menus, double hostScale);
  ~PanelWindow() override;

  // Drains the window's events and redraws; false once the user closed the window.
  bool idle();
  int eventDescriptor() const;
  double scale() const;

  void beginEdit(int) override {}
  void endEdit(int) override {}
  void setParameterAutomated(int index, float value) override;
  float getParameter(int index) override;
  int getProgram() override;
  void setProgram(int program) override;
  void updateDisplay() override {}
  void hostIdle() override {}
  void requestResize(int width, int height) override;

 private:
  PanelWindow(Player& player, MenuOwner& menus);
  void onKey(const KeyStroke& key, bool down) override;
  void onCloseRequest() override { closing = true; }
  void command(int character);
  void playKey(int character, bool down);
  int popup(const std::vector<MenuEntry>& entries);
  void showAllValues();

  Player& player;
  MenuOwner& menus;
  std::unique_ptr<Editor> editor;
  std::unique_ptr<TopLevelWindow> top;
  bool closing = false;
  int octaveShift = 0;
  // The note each character key sounds while held (+1; 0 when up), so that its release
  // ends the same note after an octave change.
  unsigned char held[128] = {};
};

}  // namespace vorlak::standalone
