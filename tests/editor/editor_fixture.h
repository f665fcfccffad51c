// Shared by the editor suites: a widget that records what reaches it, a bare effect whose
// host callback records what the editor sends, and a GuiEditor with one such widget.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "editor/toolkit/gui_editor.h"
#include "editor/toolkit/painter.h"
#include "editor/toolkit/root_frame.h"
#include "editor/toolkit/widget.h"
#include "formats/vst2/effect_base.h"

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
  VstIntPtr keyDown(VstKeyCode&) override {
    journal.note(name + " key");
    return keyAnswer;
  }
  VstIntPtr keyUp(VstKeyCode&) override {
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
  VstIntPtr keyAnswer = -1;
  bool acceptsDrop = false;
  bool followsDrag = false;
  std::vector<Point> dragPath;
};

// The host side: every callback is logged; a test may act inside audioMasterIdle.
struct HostLog {
  std::vector<std::pair<VstInt32, VstInt32>> calls;  // opcode, index
  std::function<void()> onIdle;
  int countOf(VstInt32 opcode) const {
    int n = 0;
    for (const auto& c : calls) n += c.first == opcode;
    return n;
  }
};

inline HostLog& hostLog() {
  static HostLog log;
  return log;
}

inline VstIntPtr hostCallback(AEffect*, VstInt32 opcode, VstInt32 index, VstIntPtr, void*, float) {
  hostLog().calls.emplace_back(opcode, index);
  if (opcode == audioMasterIdle && hostLog().onIdle) hostLog().onIdle();
  return opcode == audioMasterVersion ? 2400 : 0;
}

class BareEffect : public EffectBase {
 public:
  BareEffect() : EffectBase(hostCallback, 1, 1) {}
  void process(float**, float**, VstInt32) override {}
};

// Opens a frame of the given size holding one probe; the effect owns the editor.
class ProbeEditor : public GuiEditor {
 public:
  ProbeEditor(EffectBase* effect, Journal& j, Rect frameSize, Rect probeSize)
      : GuiEditor(effect), journal(j), frameRect(frameSize), probeRect(probeSize) {
    rectangle = {0, 0, static_cast<VstInt16>(frameSize.bottom),
                 static_cast<VstInt16>(frameSize.right)};
  }
  VstIntPtr open(void* parent) override {
    GuiEditor::open(parent);
    frame = std::make_unique<RootFrame>(frameRect, parent, this);
    probe = new Probe(probeRect, journal, "probe", kGreen, 5);
    frame->addWidget(probe);
    return 1;
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
