#include "formats/lv2/ui/ui.h"

#include <cmath>
#include <cstdint>
#include <cstring>
#include <new>

#include "editor/editor.h"
#include "formats/lv2/features.h"
#include "formats/lv2/ui/panel_window.h"

namespace vorlak::lv2 {
namespace {

bool isParameter(int index) { return index >= 0 && index < kNumParameters; }

}  // namespace

Ui::Ui(LV2UI_Write_Function writeFunction, LV2UI_Controller hostController,
       const LV2UI_Touch* touchFeature)
    : write(writeFunction), controller(hostController), touch(touchFeature) {
  // The ports' defaults, until the host reports their values.
  std::memcpy(values, kFactoryPrograms[0].values, sizeof values);
}

Ui::~Ui() = default;

Ui* Ui::create(LV2UI_Write_Function write, LV2UI_Controller controller,
               const LV2_Feature* const* features, LV2UI_Widget* widget) {
  const auto parent = reinterpret_cast<uintptr_t>(featureData(features, LV2_UI__parent));
  if (!write || !parent) return nullptr;
  const auto* touch = static_cast<const LV2UI_Touch*>(featureData(features, LV2_UI__touch));
  std::unique_ptr<Ui> ui(new (std::nothrow)
                             Ui(write, controller, touch && touch->touch ? touch : nullptr));
  if (!ui) return nullptr;
  ui->window = PanelWindow::create(parent, kPanelWidth, kPanelHeight);
  if (!ui->window) return nullptr;
  ui->panel.reset(new (std::nothrow) Editor(*ui));
  const auto windowId = static_cast<uintptr_t>(ui->window->id());
  if (!ui->panel || !ui->panel->open(reinterpret_cast<void*>(windowId))) return nullptr;
  if (const auto* resize = static_cast<const LV2UI_Resize*>(featureData(features, LV2_UI__resize)))
    if (resize->ui_resize) resize->ui_resize(resize->handle, kPanelWidth, kPanelHeight);
  if (widget) *widget = reinterpret_cast<LV2UI_Widget>(windowId);
  return ui.release();
}

void Ui::portEvent(uint32_t port, uint32_t size, uint32_t format, const void* buffer) {
  if (port >= kNumParameters || format != 0 || size != sizeof(float) || !buffer) return;
  float value;
  std::memcpy(&value, buffer, sizeof value);
  if (!std::isfinite(value)) return;
  const int index = static_cast<int>(port);
  values[index] = std::fmin(std::fmax(value, 0.0f), 1.0f);
  panel->setParameter(index, values[index]);
}

int Ui::idle() {
  while (const uint8_t key = window->nextKey()) panel->keyDown({0, key, 0});
  panel->idle();
  return window->alive() ? 0 : 1;
}

void Ui::beginEdit(int index) {
  if (touch && isParameter(index)) touch->touch(touch->handle, static_cast<uint32_t>(index), true);
}

void Ui::endEdit(int index) {
  if (touch && isParameter(index)) touch->touch(touch->handle, static_cast<uint32_t>(index), false);
}

void Ui::setParameterAutomated(int index, float value) {
  if (!isParameter(index) || !std::isfinite(value)) return;
  values[index] = std::fmin(std::fmax(value, 0.0f), 1.0f);
  write(controller, static_cast<uint32_t>(index), sizeof(float), 0, &values[index]);
  panel->setParameter(index, values[index]);
}

float Ui::getParameter(int index) { return isParameter(index) ? values[index] : 0.0f; }

// A program of the plug-in's own bank could have been edited, and only the plug-in knows
// how; what the panel can apply is the factory program, value by value, as a user would.
void Ui::setProgram(int number) {
  if (number < 0 || number >= kNumPrograms) return;
  program = number;
  for (int i = 0; i < kNumParameters; ++i) {
    beginEdit(i);
    setParameterAutomated(i, kFactoryPrograms[number].values[i]);
    endEdit(i);
  }
}

}  // namespace vorlak::lv2
