// Shared by the editor suites: a widget that records what reaches it, a link that records
// what the editor asks of the instrument and keeps its values and programs as a format does,
// and a GuiEditor with one such widget.
#pragma once

#include <cstring>
#include <functional>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

#include "editor/toolkit/editor_link.h"
#include "editor/toolkit/gui_editor.h"
#include "editor/toolkit/painter.h"
#include "editor/toolkit/root_frame.h"
#include "editor/toolkit/widget.h"
#include "instrument/program.h"

namespace vorlak::editortest {

// Everything the probes and the host saw, in order.
struct Journal {
  std::vector<std::string> lines;
  int destroyed = 0;
  void note(const std::string& line) { lines.push_back(line); }
};

// A control that answers keys and drops as told, fills its rectangle when drawn and, when
// asked to, follows the left button in a loop of its own as a knob does.
class Probe : public ValueWidget {
 public:
  Probe(const Rect& r, Journal& j, std::string n, Color c = kRed, int32_t t = 0)
      : ValueWidget(r, nullptr, t, nullptr), journal(j), name(std::move(n)), colour(c) {}
  ~Probe() override { ++journal.destroyed; }

  void draw(Painter& painter) override {
    ++draws;
    painter.setFillColor(colour);
    painter.fillRect({size.left - 1, size.top - 1, size.right, size.bottom});
    setDirty(false);
  }
  void mouse(Painter& painter, Point where) override {
    journal.note(name + " click " + std::to_string(where.x) + "," + std::to_string(where.y));
    clicks.push_back(where);
    buttonsAtClick = painter.getMouseButtons();
    if (!followsDrag || !(buttonsAtClick & kLeftButton)) return;
    frame()->beginEdit(tag);
    while (painter.getMouseButtons() & kLeftButton) {
      Point p;
      painter.getMouseLocation(p);
      if (dragPath.empty() || !(dragPath.back() == p)) dragPath.push_back(p);
      idleStep();
    }
    if (frame()) frame()->endEdit(tag);
  }
  int keyDown(const KeyStroke&) override {
    journal.note(name + " key");
    return keyAnswer;
  }
  int keyUp(const KeyStroke&) override {
    journal.note(name + " keyup");
    return keyAnswer;
  }
  bool drop(void**, int, int, Point) override {
    journal.note(name + " drop");
    return acceptsDrop;
  }
  bool wheel(Painter* painter, Point, float distance) override {
    journal.note(name + " wheel " + std::to_string(static_cast<int>(distance)) +
                 (painter ? " painter" : " none"));
    return true;
  }
  void loseFocus(Painter*) override { journal.note(name + " loses focus"); }
  bool removed(Widget*) override {
    journal.note(name + " removed");
    return true;
  }
  bool attached(Widget*) override {
    journal.note(name + " attached");
    return true;
  }

  Journal& journal;
  std::string name;
  Color colour;
  int draws = 0;
  std::vector<Point> clicks;
  int buttonsAtClick = 0;
  int keyAnswer = -1;
  bool acceptsDrop = false;
  bool followsDrag = false;
  std::vector<Point> dragPath;
};

// The instrument behind the link: every request is logged in order, and a test may act
// inside the host's idle. It holds the factory bank and the current program, and like a
// format it tells the editor it serves of every value it sets.
class RecordingLink : public EditorLink {
 public:
  enum Kind { kBeginEdit, kEndEdit, kAutomate, kUpdateDisplay, kHostIdle };
  struct Call {
    Kind kind;
    int index;
    float value;
    bool operator==(const Call&) const = default;
    friend std::ostream& operator<<(std::ostream& out, const Call& c) {
      static const char* const kNames[] = {"begin edit", "end edit", "automate", "update display",
                                           "host idle"};
      return out << kNames[c.kind] << " " << c.index << " " << c.value;
    }
  };

  RecordingLink() { std::memcpy(&bank, kFactoryPrograms, sizeof bank); }

  void beginEdit(int index) override { calls.push_back({kBeginEdit, index, 0.0f}); }
  void endEdit(int index) override { calls.push_back({kEndEdit, index, 0.0f}); }
  void setParameterAutomated(int index, float value) override {
    set(index, value);
    calls.push_back({kAutomate, index, value});
  }
  float getParameter(int index) override {
    return index >= 0 && index < kNumParameters ? bank.programs[program].values[index] : 0.0f;
  }
  int getProgram() override { return program; }
  void setProgram(int number) override {
    if (number < 0 || number >= kNumPrograms) return;
    program = number;
    for (int i = 0; i < kNumParameters; ++i) set(i, bank.programs[program].values[i]);
  }
  void updateDisplay() override { calls.push_back({kUpdateDisplay, 0, 0.0f}); }
  void requestResize(int width, int height) override { resizes.push_back({width, height}); }
  // Runs a copy of onIdle, which may therefore replace itself.
  void hostIdle() override {
    calls.push_back({kHostIdle, 0, 0.0f});
    if (std::function<void()> act = onIdle) act();
  }

  // A value set by the host: kept in the current program and told to the editor.
  void set(int index, float value) {
    if (index < 0 || index >= kNumParameters) return;
    bank.programs[program].values[index] = value;
    if (editor) editor->setParameter(index, value);
  }
  int countOf(Kind kind) const {
    int n = 0;
    for (const Call& c : calls) n += c.kind == kind;
    return n;
  }

  std::vector<Call> calls;
  std::vector<std::pair<int, int>> resizes;
  std::function<void()> onIdle;
  GuiEditor* editor = nullptr;
  ProgramBank bank;
  int program = 0;
};

// Opens a frame of the given size holding one probe.
class ProbeEditor : public GuiEditor {
 public:
  ProbeEditor(EditorLink& link, Journal& j, Rect frameSize, Rect probeSize)
      : GuiEditor(link), journal(j), frameRect(frameSize), probeRect(probeSize) {
    rectangle = {0, 0, frameSize.right, frameSize.bottom};
  }
  bool open(void* parent) override {
    GuiEditor::open(parent);
    frame = std::make_unique<RootFrame>(frameRect, parent, this);
    probe = new Probe(probeRect, journal, "probe", kGreen, 5);
    frame->addWidget(probe);
    return true;
  }
  void close() override {
    probe = nullptr;
    closeFrame();
  }
  void update() override { ++updates; }
  using GuiEditor::nextIdle;

  Journal& journal;
  Rect frameRect, probeRect;
  Probe* probe = nullptr;
  int updates = 0;
};

}  // namespace vorlak::editortest
