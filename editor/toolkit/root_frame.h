// The container of the panel's widgets: owns the native child window, the back buffer the
// painters draw into, the background picture and the widget list, and routes painting, mouse,
// keys, drops and the wheel to the widgets.
#pragma once

#include <memory>
#include <vector>

#include "editor/platform/platform.h"
#include "editor/toolkit/surface.h"
#include "editor/toolkit/widget.h"

namespace vorlak {

class RootFrame : public Widget, private WindowEvents {
 public:
  // Without a parent no native window is made (tests draw into the back buffer only). size is
  // logical; the back buffer and the window measure it times scale in device pixels.
  RootFrame(const Rect& size, void* parentWindow, GuiEditor* editor, double scale = 1.0);
  ~RootFrame() override;

  void draw(Painter& painter) override;
  void drawRect(Painter& painter, const Rect& area) override;
  void mouse(Painter& painter, Point where) override;
  void update(Painter& painter) override;
  int keyDown(const KeyStroke& key) override;
  int keyUp(const KeyStroke& key) override;
  bool drop(void** items, int count, int type, Point where) override;
  bool wheel(Painter* painter, Point where, float distance) override;
  GuiEditor* getEditor() const override { return editor; }

  bool addWidget(Widget* widget);
  bool removeWidget(Widget* widget, bool destroy = true);
  void removeAll(bool destroy = true);
  bool isChild(const Widget* widget) const;
  Widget* widgetAt(int index) const;
  int widgetCount() const { return static_cast<int>(widgets.size()); }

  void setBackground(Pixmap* picture);
  Pixmap* getBackground() const { return background; }
  bool setModalWidget(Widget* widget);
  Widget* getModalWidget() const { return modal; }
  void setFocusWidget(Widget* widget);
  Widget* getFocusWidget() const { return focus; }

  // A control's gesture on the parameter of its tag, told to the instrument through the
  // editor's link; nothing without an editor.
  void beginEdit(int32_t tag);
  void endEdit(int32_t tag);
  // Draws widget, or the whole frame with none, at once.
  void drawWidget(Widget* widget);
  void idleRedraw();
  void getMousePosition(Point& where);
  void setCursor(int kind);

  // A painter on the back buffer that presents to the window (or none) when it goes away.
  std::unique_ptr<Painter> makePainter();
  Surface& backBuffer() { return buffer; }
  NativeWindow* window() { return native.get(); }
  bool isOpen() const { return open; }
  double scale() const { return factor; }
  // True once the window said it moved to a screen of another density; cleared by reading.
  bool takeScaleChange() {
    const bool changed = scaleChanged;
    scaleChanged = false;
    return changed;
  }
  // Handles the window's pending events (only one pending paint with paintOnly).
  void dispatchEvents(bool paintOnly);
  // Closes the native window at once, while the frame object may still be in use further
  // up the stack; the frame is closed from then on.
  void closeWindow();

 private:
  void drawPart(Painter& painter, const Rect& area, Widget* widget);
  void onPaint(const Rect& area) override;
  void onButtonDown(Point point, int button) override;
  void onWheel(Point point, float distance) override;
  void onDestroyed() override;
  void onScaleChanged() override { scaleChanged = true; }

  GuiEditor* editor;
  void* parent;
  Pixmap* background = nullptr;
  std::vector<Widget*> widgets;
  Widget* modal = nullptr;
  Widget* focus = nullptr;
  bool firstDraw = true;
  bool open = true;
  bool scaleChanged = false;
  double factor;
  Surface buffer;
  std::unique_ptr<NativeWindow> native;
};

}  // namespace vorlak
