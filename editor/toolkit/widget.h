// The widget base and the base of every control. Widgets are reference-counted and owned by
// their frame; a control holds a float value, reports changes to its listener and draws
// itself when its value differs from the value it last drew.
#pragma once

#include <cstdint>

#include "common/relaxed.h"
#include "editor/toolkit/geometry.h"
#include "editor/toolkit/key_stroke.h"

namespace vorlak {

class GuiEditor;
class Painter;
class Pixmap;
class RootFrame;
class ValueWidget;

class ControlListener {
 public:
  virtual ~ControlListener() = default;
  virtual void valueChanged(Painter* painter, ValueWidget* control) = 0;
};

class Widget {
 public:
  explicit Widget(const Rect& size);
  virtual ~Widget() = default;
  Widget(const Widget&) = delete;
  Widget& operator=(const Widget&) = delete;

  virtual void draw(Painter&) {}
  virtual void drawRect(Painter& painter, const Rect&) { draw(painter); }
  virtual bool needsUpdate(const Rect& area) const { return size.overlaps(area); }
  virtual void mouse(Painter&, Point) {}
  virtual void update(Painter& painter);
  // What the widget answers; -1 when it leaves the key alone.
  virtual int keyDown(const KeyStroke&) { return -1; }
  virtual int keyUp(const KeyStroke&) { return -1; }
  virtual bool drop(void**, int, int, Point) { return false; }
  virtual bool wheel(Painter*, Point, float) { return false; }
  virtual void loseFocus(Painter*) {}
  virtual void takeFocus(Painter*) {}
  virtual bool isDirty() const { return dirty; }
  virtual void setDirty(bool flag) { dirty = flag; }
  virtual void setInputEnabled(bool flag) { inputEnabled = flag; }
  virtual bool isInputEnabled() const { return inputEnabled; }
  virtual void setMouseRect(const Rect& r) { mouseArea = r; }
  virtual Rect getMouseRect() const { return mouseArea; }
  virtual bool pointInside(Point p) const { return size.contains(p); }
  virtual void setTransparency(bool flag) { transparency = flag; }
  virtual bool getTransparency() const { return transparency; }
  virtual void setSize(const Rect& r) {
    size = r;
    setDirty(true);
  }
  virtual void setParentFrame(RootFrame* frame) { parentFrame = frame; }
  virtual void setParentWidget(Widget* widget) { parentWidget = widget; }
  virtual GuiEditor* getEditor() const;
  virtual bool removed(Widget*) { return true; }
  virtual bool attached(Widget*) { return true; }

  void remember() { ++references; }
  // Destroys the widget when the count reaches zero.
  void forget();
  int referenceCount() const { return references; }

  const Rect& getSize() const { return size; }
  RootFrame* frame() const { return parentFrame; }

 protected:
  int references = 1;
  Rect size;
  Rect mouseArea;
  RootFrame* parentFrame = nullptr;
  Widget* parentWidget = nullptr;
  // Set through the panel from any thread the host calls setParameter on (see
  // common/relaxed.h), read by the panel's thread.
  Relaxed<bool> dirty = false;
  Relaxed<bool> inputEnabled = true;
  bool transparency = false;
};

class ValueWidget : public Widget {
 public:
  ValueWidget(const Rect& size, ControlListener* listener, int32_t tag, Pixmap* background);
  ~ValueWidget() override;

  bool isDirty() const override;
  void setDirty(bool flag) override;

  // Runs the editor's idle pump through the frame: mouse loops call it to keep the host and
  // the redraws going.
  virtual void idleStep();
  virtual void setValue(float v) { value = v; }
  virtual float getValue() const { return value; }
  virtual void setMin(float v) { minimum = v; }
  virtual float getMin() const { return minimum; }
  virtual void setMax(float v) { maximum = v; }
  virtual float getMax() const { return maximum; }
  virtual void setOldValue(float v) { lastDrawn = v; }
  virtual float getOldValue() const { return lastDrawn; }
  virtual void setDefaultValue(float v) { defaultValue = v; }
  virtual float getDefaultValue() const { return defaultValue; }
  virtual void setTag(int32_t t) { tag = t; }
  virtual int32_t getTag() const { return tag; }
  virtual void setBackground(Pixmap* picture);
  virtual Pixmap* getBackground() const { return background; }
  virtual void setWheelIncrement(float v) { wheelIncrement = v; }
  virtual float getWheelIncrement() const { return wheelIncrement; }
  virtual void bounceValue();

 protected:
  // Calls the listener when the control is dirty.
  void notifyIfDirty(Painter* painter);
  // The wheel and arrow-key stepping of knobs and sliders: value += steps x wheel increment
  // (a tenth of it when fine), clamped, reported when dirty.
  void stepValue(Painter* painter, float steps, bool fine);
  bool wheelStep(Painter* painter, float distance);
  int arrowKeyStep(const KeyStroke& key);

  ControlListener* listener;
  int32_t tag;
  Relaxed<float> lastDrawn = 1.0f;
  float defaultValue = 0.5f;
  Relaxed<float> value = 0.0f;
  float minimum = 0.0f;
  float maximum = 1.0f;
  float wheelIncrement = 0.1f;
  Pixmap* background = nullptr;
};

}  // namespace vorlak
