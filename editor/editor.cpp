#include "editor/editor.h"

#include <algorithm>

#include "editor/bitmap_text.h"
#include "editor/fine_knob.h"
#include "editor/hold_button.h"
#include "editor/panel_popup_list.h"
#include "editor/pickup_slider.h"
#include "editor/step_switch.h"
#include "editor/toolkit/pixmap.h"
#include "editor/toolkit/splash_area.h"
#include "editor/toolkit/toggle_button.h"
#include "instrument/parameters.h"

namespace vorlak {

namespace {

constexpr int kListStyle = 1024;  // the current entry shown checked

static_assert((kNumPrograms & (kNumPrograms - 1)) == 0, "programs wrap by a mask");
constexpr int kProgramMask = kNumPrograms - 1;

struct KnobPlace {
  int32_t tag;
  Rect size;
  int handle;
};

// Drawing order: the play-area knob, the string knobs, then after the groups the amplifier
// knobs (42 pixels apart) and the effect knobs (37 apart).
constexpr KnobPlace kTimingKnob{kTiming, {311, 5, 342, 36}, 136};
constexpr KnobPlace kStringKnobs[] = {
    {kTone, {126, 244, 164, 282}, 136},      {kSlapLevel, {164, 216, 202, 254}, 136},
    {kFretLevel, {205, 195, 243, 233}, 136}, {kHarmonic, {250, 192, 288, 230}, 136},
    {kDamp, {310, 205, 348, 243}, 136},      {kVelVScale, {284, 182, 309, 207}, 136},
    {kVelDScale, {343, 195, 368, 220}, 136}};
constexpr KnobPlace kEffectKnobs[] = {{kFxPar1, {305, 491, 329, 515}, 137},
                                      {kFxPar2, {342, 491, 366, 515}, 137}};

}  // namespace

Editor::RadioGroup::RadioGroup(int32_t tag, int index)
    : firstTag(tag), parameter(index), choices(std::min(optionCount(index), kMaxChoices)) {}

Editor::Editor(EditorLink& instrument)
    : GuiEditor(instrument),
      instruments(kInstrumentTag, kStrings),
      coils(kCoilTag, kCoils),
      amplifiers(kAmplifierTag, kAmpType),
      cabinets(kCabinetTag, kCabType) {
  rectangle = {0, 0, kPanelWidth, kPanelHeight};
}

Editor::~Editor() {
  close();
  releaseBitmaps();
}

bool Editor::open(void* parent) {
  close();
  releaseBitmaps();
  // What the host was told before opening: the parent's own screen may say otherwise.
  const double promised = closedScale;
  const double scale = openingScale(parent);
  for (int i = 0; i < kBitmapCount; ++i) {
    Pixmap* picture = Pixmap::create(kFirstBitmap + i, scale);
    if (!picture) {
      close();
      return false;
    }
    picture->setTransparentColor(kMagenta);
    bitmaps[static_cast<size_t>(i)] = picture;
  }
  Pixmap* background = bitmap(128);
  const Rect panel{0, 0, background->width(), background->height()};
  rectangle.bottom = panel.bottom;

  GuiEditor::open(parent);
  frame = std::make_unique<RootFrame>(panel, parent, this, scale);
  frame->setBackground(background);
  frame->setMouseRect(panel);
  build();
  opened = true;
  if (promised != 0.0 && promised != scale) {
    Rect size;
    getRect(size);
    link.requestResize(size.width(), size.height());
  }
  return true;
}

void Editor::build() {
  auto add = [this](auto* widget) {
    frame->addWidget(widget);
    return widget;
  };
  auto current = [this](int index) { return link.getParameter(index); };
  auto knob = [&](const KnobPlace& place) {
    const Point corner{place.size.left, place.size.top};
    controls[static_cast<size_t>(place.tag)] =
        add(new FineKnob(place.size, this, place.tag, bitmap(128), bitmap(place.handle), corner));
    controls[static_cast<size_t>(place.tag)]->setValue(current(place.tag));
  };
  // The list of a parameter's options; its tag is the parameter.
  auto list = [&](const Rect& size, int parameter) {
    PanelPopupList* popup =
        add(new PanelPopupList(size, this, parameter, nullptr, nullptr, kListStyle));
    for (int i = 0; i < optionCount(parameter); ++i) popup->addEntry(optionName(parameter, i));
    popup->setCurrent(optionIndex(parameter, current(parameter)));
    return popup;
  };
  auto stepButton = [&](const Rect& size, int32_t tag, int picture) {
    add(new HoldButton(size, this, tag, bitmap(picture)));
  };
  auto toggleSwitch = [&](const Rect& size, int32_t tag, int picture) {
    controls[static_cast<size_t>(tag)] = add(new StepSwitch(size, this, tag, bitmap(picture), 2));
    controls[static_cast<size_t>(tag)]->setValue(current(tag));
  };

  add(new ToggleButton({63, 42, 135, 52}, this, kBadgeTag, bitmap(131)))->setInputEnabled(false);
  add(new SplashArea({0, 0, 144, 38}, this, kLogoTag, bitmap(130), {16, 52, 380, 278}, {0, 0}));

  const Rect playModeText{160, 17, 260, 25};
  playModeName = add(new BitmapText(playModeText, bitmap(129), 12, false, -1, 1));
  showName(playModeName, kAid);
  playModeList = list(playModeText, kAid);
  stepButton({280, 7, 295, 21}, kPlayModeDownTag, 142);
  stepButton({280, 21, 295, 35}, kPlayModeUpTag, 143);
  knob(kTimingKnob);
  toggleSwitch({349, 3, 385, 41}, kLatch, 144);
  toggleSwitch({13, 204, 49, 242}, kGlissandoSrc, 145);

  addRadioGroup(instruments, {3, 87, 13, 97}, 132);
  addRadioGroup(coils, {61, 87, 71, 97}, 133);

  const Rect slider{167, 77, 370, 189};
  controls[kPickupPos] = add(new PickupSlider(slider, this, kPickupPos, bitmap(128), bitmap(138),
                                              bitmap(139), {slider.left, slider.top}));
  controls[kPickupPos]->setValue(current(kPickupPos));
  for (const KnobPlace& place : kStringKnobs) knob(place);

  addRadioGroup(amplifiers, {20, 348, 30, 358}, 134);
  addRadioGroup(cabinets, {75, 348, 85, 358}, 135);
  // Drive, presence, feedback and the three EQ bands.
  for (int i = 0; i < 6; ++i) knob({kDrive + i, {123 + 42 * i, 338, 160 + 42 * i, 374}, 137});

  const Rect effectText{113, 499, 256, 507};
  effectName = add(new BitmapText(effectText, bitmap(129), 20, false, -1, 1));
  showName(effectName, kFx);
  effectList = list(effectText, kFx);
  stepButton({279, 490, 294, 504}, kEffectDownTag, 140);
  stepButton({279, 504, 294, 518}, kEffectUpTag, 141);
  for (const KnobPlace& place : kEffectKnobs) knob(place);
}

// The hit area reaches 40 pixels past the lamp, over the choice's printed label.
void Editor::addRadioGroup(RadioGroup& group, Rect firstLamp, int picture) {
  constexpr int kRowStep = 12;
  constexpr int kLabelWidth = 40;
  for (int i = 0; i < group.choices; ++i) {
    const Rect lamp = firstLamp.offset(0, kRowStep * i);
    const Rect hitArea{lamp.left, lamp.top, lamp.right + kLabelWidth, lamp.bottom};
    const int32_t tag = group.firstTag + i;
    group.lamps[static_cast<size_t>(i)] = new ToggleButton(lamp, this, tag, bitmap(picture));
    group.lamps[static_cast<size_t>(i)]->setInputEnabled(false);
    frame->addWidget(group.lamps[static_cast<size_t>(i)]);
    group.hitAreas[static_cast<size_t>(i)] = new ToggleButton(hitArea, this, tag, nullptr);
    frame->addWidget(group.hitAreas[static_cast<size_t>(i)]);
  }
  showChoice(group, optionIndex(group.parameter, link.getParameter(group.parameter)));
}

// The lit choice cannot be clicked again: its hit area takes no input.
void Editor::showChoice(RadioGroup& group, int choice) {
  for (int i = 0; i < group.choices; ++i) {
    const bool lit = i == choice;
    group.lamps[static_cast<size_t>(i)]->setValue(lit ? 1.0f : 0.0f);
    group.hitAreas[static_cast<size_t>(i)]->setValue(lit ? 1.0f : 0.0f);
    group.hitAreas[static_cast<size_t>(i)]->setInputEnabled(!lit);
  }
}

void Editor::showName(BitmapText* view, int parameter) {
  char text[kParameterTextSize] = {};
  formatParameterDisplay(parameter, link.getParameter(parameter), text);
  if (text[0]) view->setText("%s", text);
}

void Editor::close() {
  opened = false;
  closeFrame();
  playModeName = effectName = nullptr;
  playModeList = effectList = nullptr;
  controls.fill(nullptr);
  for (RadioGroup* group : {&instruments, &coils, &amplifiers, &cabinets}) {
    group->lamps.fill(nullptr);
    group->hitAreas.fill(nullptr);
  }
  for (Pixmap*& picture : bitmaps) {
    if (picture) heldBack.push_back(picture);
    picture = nullptr;
  }
  if (!insideFrameCall()) releaseBitmaps();
}

void Editor::releaseBitmaps() {
  for (Pixmap* picture : heldBack) picture->forget();
  heldBack.clear();
}

void Editor::idle() {
  if (!heldBack.empty() && !insideFrameCall()) releaseBitmaps();
  GuiEditor::idle();
}

int Editor::keyDown(const KeyStroke& key) {
  int step = 0;
  if (key.virt == kKeyLeft || key.virt == kKeyUp) step = -1;
  if (key.virt == kKeyRight || key.virt == kKeyDown) step = 1;
  if (step == 0) return -1;
  link.setProgram((link.getProgram() + step) & kProgramMask);
  link.updateDisplay();
  return 1;
}

void Editor::setParameter(int index, float value) {
  if (!frame || !opened || index < 0 || index >= kNumParameters) return;
  if (RadioGroup* group = groupOfParameter(index)) {
    showChoice(*group, optionIndex(index, value));
  } else if (index == kFx) {
    showName(effectName, index);
    effectList->setCurrent(optionIndex(index, value));
  } else if (index == kAid) {
    showName(playModeName, index);
    playModeList->setCurrent(optionIndex(index, value));
  } else if (ValueWidget* control = controls[static_cast<size_t>(index)]) {
    control->setValue(value);
  }
}

void Editor::valueChanged(Painter*, ValueWidget* control) {
  if (!control) return;
  const int32_t tag = control->getTag();
  if (control == playModeList || control == effectList) {
    const int choice = static_cast<PanelPopupList*>(control)->getCurrent();
    if (choice >= 0) link.setParameterAutomated(tag, optionValue(tag, choice));
  } else if (tag >= 0 && tag < kNumParameters) {
    link.setParameterAutomated(tag, control->getValue());
  } else if (tag == kEffectDownTag || tag == kEffectUpTag) {
    stepChoice(kFx, tag == kEffectUpTag ? 1 : -1);
  } else if (tag == kPlayModeDownTag || tag == kPlayModeUpTag) {
    stepChoice(kAid, tag == kPlayModeUpTag ? 1 : -1);
  } else if (RadioGroup* group = groupOfTag(tag)) {
    link.setParameterAutomated(group->parameter,
                               optionValue(group->parameter, tag - group->firstTag));
  }
  postUpdate();
}

// The step buttons stop at both ends of the list rather than wrapping.
void Editor::stepChoice(int parameter, int step) {
  const int next = optionIndex(parameter, link.getParameter(parameter)) + step;
  if (next < 0 || next >= optionCount(parameter)) return;
  link.setParameterAutomated(parameter, optionValue(parameter, next));
}

Editor::RadioGroup* Editor::groupOfTag(int32_t tag) {
  for (RadioGroup* group : {&instruments, &coils, &amplifiers, &cabinets})
    if (tag >= group->firstTag && tag < group->firstTag + group->choices) return group;
  return nullptr;
}

Editor::RadioGroup* Editor::groupOfParameter(int index) {
  for (RadioGroup* group : {&instruments, &coils, &amplifiers, &cabinets})
    if (group->parameter == index) return group;
  return nullptr;
}

}  // namespace vorlak
