#include "formats/lv2/ui/ui.h"

#include <lv2/atom/atom.h>

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

// ui:scaleFactor in an options array (a float, or a double); 0 when it is not there.
double scaleFactorIn(const LV2_Options_Option* options, LV2_URID key, LV2_URID isFloat,
                     LV2_URID isDouble) {
  if (!options || key == 0) return 0.0;
  for (const LV2_Options_Option* o = options; o->key != 0 || o->value != nullptr; ++o) {
    if (o->key != key || !o->value) continue;
    if (o->type == isFloat && o->size == sizeof(float)) return *static_cast<const float*>(o->value);
    if (o->type == isDouble && o->size == sizeof(double))
      return *static_cast<const double*>(o->value);
  }
  return 0.0;
}

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
  ui->panel.reset(new (std::nothrow) Editor(*ui));
  if (!ui->panel) return nullptr;
  const auto* map = static_cast<const LV2_URID_Map*>(featureData(features, LV2_URID__map));
  if (map && map->map) {
    ui->scaleKey = map->map(map->handle, LV2_UI_PREFIX "scaleFactor");
    ui->floatType = map->map(map->handle, LV2_ATOM__Float);
    ui->doubleType = map->map(map->handle, LV2_ATOM__Double);
  }
  ui->panel->setHostScale(scaleFactorIn(
      static_cast<const LV2_Options_Option*>(featureData(features, LV2_OPTIONS__options)),
      ui->scaleKey, ui->floatType, ui->doubleType));
  Rect size;
  ui->panel->getRect(size);
  ui->window = PanelWindow::create(parent, size.width(), size.height());
  if (!ui->window) return nullptr;
  const auto windowId = static_cast<uintptr_t>(ui->window->id());
  if (!ui->panel->open(reinterpret_cast<void*>(windowId))) return nullptr;
  ui->panel->getRect(size);
  ui->resize = static_cast<const LV2UI_Resize*>(featureData(features, LV2_UI__resize));
  if (ui->resize && !ui->resize->ui_resize) ui->resize = nullptr;
  if (ui->resize) ui->resize->ui_resize(ui->resize->handle, size.width(), size.height());
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

uint32_t Ui::setOptions(const LV2_Options_Option* options) {
  const double scale = scaleFactorIn(options, scaleKey, floatType, doubleType);
  if (scale > 0.0) panel->setHostScale(scale);
  return LV2_OPTIONS_SUCCESS;
}

void Ui::requestResize(int width, int height) {
  if (window) window->resize(width, height);
  if (resize) resize->ui_resize(resize->handle, width, height);
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
