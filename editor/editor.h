// The instrument's panel: 65 widgets at fixed places on a 396 x 530 picture, kept in step
// with the 28 parameters both ways. A widget the user moves writes its parameter through
// the link's automated set; a parameter changed anywhere else is stored into its widgets,
// which redraw at the next idle. Indexes, option names and the option rule are those of
// the parameter table.
#pragma once

#include <array>
#include <vector>

#include "editor/toolkit/gui_editor.h"
#include "instrument/parameters.h"

namespace vorlak {

class BitmapText;
class PanelPopupList;
class Pixmap;
class ToggleButton;

constexpr int kPanelWidth = 396;
constexpr int kPanelHeight = 530;

class Editor : public GuiEditor, public ControlListener {
 public:
  static constexpr int kFirstBitmap = 128;
  static constexpr int kBitmapCount = 18;
  static constexpr int kWidgetCount = 65;

  // Command tags beside the parameter indexes 0 to 27.
  enum Tag : int32_t {
    kLogoTag = 28,
    kBadgeTag = 29,
    kEffectDownTag = 32,
    kEffectUpTag = 33,
    kPlayModeDownTag = 34,
    kPlayModeUpTag = 35,
    kInstrumentTag = 36,
    kAmplifierTag = 43,
    kCabinetTag = 47,
    kCoilTag = 51,
  };

  explicit Editor(EditorLink& instrument);
  ~Editor() override;

  bool open(void* parent) override;
  void close() override;
  void idle() override;
  // The arrow keys step through the programs, wrapping around.
  int keyDown(const KeyStroke& key) override;
  // From the format after any parameter change; index -1 is the engine's activity, which
  // the panel does not show.
  void setParameter(int index, float value) override;
  void valueChanged(Painter* painter, ValueWidget* control) override;

  bool isOpened() const { return opened; }

 private:
  static constexpr int kMaxChoices = 7;

  // A column of choices, one per option of its parameter: each a lamp that shows the choice
  // and an invisible hit area over the lamp and its printed label.
  struct RadioGroup {
    RadioGroup(int32_t tag, int index);

    int32_t firstTag;
    int parameter;
    int choices;
    std::array<ToggleButton*, kMaxChoices> lamps{};
    std::array<ToggleButton*, kMaxChoices> hitAreas{};
  };

  void build();
  void addRadioGroup(RadioGroup& group, Rect firstLamp, int bitmap);
  void showChoice(RadioGroup& group, int choice);
  void showName(BitmapText* view, int parameter);
  void stepChoice(int parameter, int step);
  RadioGroup* groupOfTag(int32_t tag);
  RadioGroup* groupOfParameter(int index);
  Pixmap* bitmap(int id) const { return bitmaps[static_cast<size_t>(id - kFirstBitmap)]; }
  void releaseBitmaps();

  std::array<Pixmap*, kBitmapCount> bitmaps{};
  // Bitmaps given up while a frame was still in use further up the stack: its widgets may
  // draw from them until that call returns.
  std::vector<Pixmap*> heldBack;
  std::array<ValueWidget*, kNumParameters> controls{};  // knobs, slider, switches by index
  RadioGroup instruments;
  RadioGroup coils;
  RadioGroup amplifiers;
  RadioGroup cabinets;
  BitmapText* playModeName = nullptr;
  PanelPopupList* playModeList = nullptr;
  BitmapText* effectName = nullptr;
  PanelPopupList* effectList = nullptr;
  bool opened = false;
};

}  // namespace vorlak
