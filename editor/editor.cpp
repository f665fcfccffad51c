#include "editor/editor.h"

#include <algorithm>
#include <cmath>

#include "editor/bitmap_text.h"
#include "editor/fine_knob.h"
#include "editor/hold_button.h"
#include "editor/panel_popup_list.h"
#include "editor/pickup_slider.h"
#include "editor/step_switch.h"
#include "editor/toolkit/pixmap.h"
#include "editor/toolkit/splash_area.h"
#include "editor/toolkit/toggle_button.h"
#include "formats/vst2/effect_base.h"

namespace vorlak {

namespace {

constexpr VstInt32 kPickupParameter = 2;
constexpr VstInt32 kEffectParameter = 20;
constexpr VstInt32 kPlayModeParameter = 24;
constexpr VstInt32 kParameterCount = 28;

constexpr int kPlayModes = 6;
constexpr float kPlayModeDecode = 5.99f;
constexpr float kPlayModeEncode = 0.2f;
constexpr int kEffects = 16;
constexpr float kEffectDecode = 15.99f;
constexpr float kEffectEncode = 0.06666667f;
constexpr int kListStyle = 1024;  // the current entry shown checked

constexpr const char* kPlayModeNames[kPlayModes] = {"None",      "AutoChords", "PwrChords",
                                                    "Strumming", "Solo fixed", "Solo dynamic"};
constexpr const char* kEffectNames[kEffects] = {
    "Dry",         "AMP:Phaser",   "AMP:Tremolo",    "AMP:WahWah",  "AMP:WahWah LFO",
    "AMP:Ringmod", "AMP:Fuzz Box", "AMP:Harmonizer", "AMP:Talkbox", "MST:Chorus",
    "MST:Flanger", "MST:Phaser",   "MST:Leslie",     "MST:Tremolo", "MST:Dub Delay",
    "MST:Multitap"};

// Virtual key codes of the host interface.
constexpr unsigned char kKeyLeft = 11, kKeyUp = 12, kKeyRight = 13, kKeyDown = 14;
constexpr VstInt32 kProgramMask = 63;

struct KnobPlace {
  int32_t tag;
  Rect size;
  int handle;
};

// Drawing order: the play-area knob, the string knobs, then after the groups the amplifier
// knobs (42 pixels apart) and the effect knobs (37 apart).
constexpr KnobPlace kTimingKnob{25, {311, 5, 342, 36}, 136};
constexpr KnobPlace kStringKnobs[] = {
    {3, {126, 244, 164, 282}, 136}, {4, {164, 216, 202, 254}, 136}, {5, {205, 195, 243, 233}, 136},
    {6, {250, 192, 288, 230}, 136}, {7, {310, 205, 348, 243}, 136}, {8, {284, 182, 309, 207}, 136},
    {9, {343, 195, 368, 220}, 136}};
constexpr KnobPlace kEffectKnobs[] = {{21, {305, 491, 329, 515}, 137},
                                      {22, {342, 491, 366, 515}, 137}};

// (int)(value x decode), kept inside the choices for values the effect would never send.
int choiceOf(float value, float decode, int choices) {
  const float product = value * decode;
  if (!(product >= 0.0f)) return 0;
  return std::min(static_cast<int>(product), choices - 1);
}

}  // namespace

HostEditor::HostEditor(EffectBase* owner) : effect(owner) { owner->attachEditor(this); }

Editor::Editor(EffectBase* effect) : GuiEditor(effect) {
  rectangle = {0, 0, kPanelHeight, kPanelWidth};
}

Editor::~Editor() {
  close();
  releaseBitmaps();
}

VstIntPtr Editor::open(void* parent) {
  close();
  releaseBitmaps();
  for (int i = 0; i < kBitmapCount; ++i) {
    Pixmap* picture = Pixmap::create(kFirstBitmap + i);
    if (!picture) {
      close();
      return 0;
    }
    picture->setTransparentColor(kMagenta);
    bitmaps[static_cast<size_t>(i)] = picture;
  }
  Pixmap* background = bitmap(128);
  const Rect panel{0, 0, background->width(), background->height()};
  rectangle.bottom = static_cast<VstInt16>(panel.bottom);

  GuiEditor::open(parent);
  frame = std::make_unique<RootFrame>(panel, parent, this);
  frame->setBackground(background);
  frame->setMouseRect(panel);
  build();
  opened = true;
  return 1;
}

void Editor::build() {
  auto add = [this](auto* widget) {
    frame->addWidget(widget);
    return widget;
  };
  auto current = [this](VstInt32 index) { return effect->getParameter(index); };
  auto knob = [&](const KnobPlace& place) {
    const Point corner{place.size.left, place.size.top};
    controls[static_cast<size_t>(place.tag)] =
        add(new FineKnob(place.size, this, place.tag, bitmap(128), bitmap(place.handle), corner));
    controls[static_cast<size_t>(place.tag)]->setValue(current(place.tag));
  };
  auto list = [&](const Rect& size, int32_t tag, const char* const* names, int count,
                  float decode) {
    PanelPopupList* popup = add(new PanelPopupList(size, this, tag, nullptr, nullptr, kListStyle));
    for (int i = 0; i < count; ++i) popup->addEntry(names[i]);
    popup->setCurrent(choiceOf(current(tag), decode, count));
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
  showName(playModeName, kPlayModeParameter);
  playModeList =
      list(playModeText, kPlayModeParameter, kPlayModeNames, kPlayModes, kPlayModeDecode);
  stepButton({280, 7, 295, 21}, kPlayModeDownTag, 142);
  stepButton({280, 21, 295, 35}, kPlayModeUpTag, 143);
  knob(kTimingKnob);
  toggleSwitch({349, 3, 385, 41}, 26, 144);
  toggleSwitch({13, 204, 49, 242}, 27, 145);

  addRadioGroup(instruments, {3, 87, 13, 97}, 132);
  addRadioGroup(coils, {61, 87, 71, 97}, 133);

  const Rect slider{167, 77, 370, 189};
  controls[kPickupParameter] =
      add(new PickupSlider(slider, this, kPickupParameter, bitmap(128), bitmap(138), bitmap(139),
                           {slider.left, slider.top}));
  controls[kPickupParameter]->setValue(current(kPickupParameter));
  for (const KnobPlace& place : kStringKnobs) knob(place);

  addRadioGroup(amplifiers, {20, 348, 30, 358}, 134);
  addRadioGroup(cabinets, {75, 348, 85, 358}, 135);
  for (int i = 0; i < 6; ++i) knob({13 + i, {123 + 42 * i, 338, 160 + 42 * i, 374}, 137});

  const Rect effectText{113, 499, 256, 507};
  effectName = add(new BitmapText(effectText, bitmap(129), 20, false, -1, 1));
  showName(effectName, kEffectParameter);
  effectList = list(effectText, kEffectParameter, kEffectNames, kEffects, kEffectDecode);
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
  showChoice(group, choiceOf(effect->getParameter(group.parameter), group.decode, group.choices));
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

void Editor::showName(BitmapText* view, VstInt32 parameter) {
  char text[256] = {};
  effect->getParameterDisplay(parameter, text);
  text[sizeof(text) - 1] = '\0';
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

VstIntPtr Editor::keyDown(VstKeyCode& key) {
  VstInt32 step = 0;
  if (key.virt == kKeyLeft || key.virt == kKeyUp) step = -1;
  if (key.virt == kKeyRight || key.virt == kKeyDown) step = 1;
  if (step == 0) return -1;
  effect->setProgram((effect->getProgram() + step) & kProgramMask);
  effect->updateDisplay();
  return 1;
}

void Editor::setParameter(VstInt32 index, float value) {
  if (!frame || !opened || index < 0 || index >= kParameterCount) return;
  if (RadioGroup* group = groupOfParameter(index)) {
    showChoice(*group, choiceOf(value, group->decode, group->choices));
  } else if (index == kEffectParameter) {
    showName(effectName, index);
    effectList->setCurrent(choiceOf(value, kEffectDecode, kEffects));
  } else if (index == kPlayModeParameter) {
    showName(playModeName, index);
    playModeList->setCurrent(choiceOf(value, kPlayModeDecode, kPlayModes));
  } else if (ValueWidget* control = controls[static_cast<size_t>(index)]) {
    control->setValue(value);
  }
}

void Editor::valueChanged(Painter*, ValueWidget* control) {
  if (!control) return;
  const int32_t tag = control->getTag();
  if (control == playModeList || control == effectList) {
    const int choice = static_cast<PanelPopupList*>(control)->getCurrent();
    if (choice >= 0)
      effect->setParameterAutomated(
          tag, static_cast<float>(choice) *
                   (tag == kPlayModeParameter ? kPlayModeEncode : kEffectEncode));
  } else if (tag >= 0 && tag < kParameterCount) {
    effect->setParameterAutomated(tag, control->getValue());
  } else if (tag == kEffectDownTag || tag == kEffectUpTag) {
    stepChoice(kEffectParameter, kEffects, kEffectDecode, kEffectEncode,
               tag == kEffectUpTag ? 1 : -1);
  } else if (tag == kPlayModeDownTag || tag == kPlayModeUpTag) {
    stepChoice(kPlayModeParameter, kPlayModes, kPlayModeDecode, kPlayModeEncode,
               tag == kPlayModeUpTag ? 1 : -1);
  } else if (RadioGroup* group = groupOfTag(tag)) {
    effect->setParameterAutomated(group->parameter,
                                  static_cast<float>(tag - group->firstTag) * group->encode);
  }
  postUpdate();
}

// The step buttons stop at both ends of the list rather than wrapping.
void Editor::stepChoice(VstInt32 parameter, int choices, float decode, float encode, int step) {
  const int next = choiceOf(effect->getParameter(parameter), decode, choices) + step;
  if (next < 0 || next >= choices) return;
  effect->setParameterAutomated(parameter, static_cast<float>(next) * encode);
}

Editor::RadioGroup* Editor::groupOfTag(int32_t tag) {
  for (RadioGroup* group : {&instruments, &coils, &amplifiers, &cabinets})
    if (tag >= group->firstTag && tag < group->firstTag + group->choices) return group;
  return nullptr;
}

Editor::RadioGroup* Editor::groupOfParameter(VstInt32 index) {
  for (RadioGroup* group : {&instruments, &coils, &amplifiers, &cabinets})
    if (group->parameter == index) return group;
  return nullptr;
}

}  // namespace vorlak
