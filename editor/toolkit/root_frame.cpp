#include "editor/toolkit/root_frame.h"

#include <algorithm>
#include <new>

#include "editor/toolkit/gui_editor.h"
#include "editor/toolkit/painter.h"
#include "editor/toolkit/pixmap.h"
#include "editor/toolkit/ui_scale.h"

namespace vorlak {

RootFrame::RootFrame(const Rect& size, void* parentWindow, GuiEditor* owner, double scale)
    : Widget(size),
      editor(owner),
      parent(parentWindow),
      factor(scale),
      buffer(std::max(scaledLength(size.width(), scale), 0),
             std::max(scaledLength(size.height(), scale), 0)) {
  if (parent) native = currentPlatform().createWindow(parent, buffer.width(), buffer.height());
  if (native) native->setScale(scale);
}

RootFrame::~RootFrame() {
  setCursor(0);
  removeAll(true);
  if (background) background->forget();
  background = nullptr;
}

void RootFrame::draw(Painter& painter) {
  firstDraw = false;
  if (background)
    background->draw(painter, {0, 0, background->width(), background->height()}, {0, 0});
  for (Widget* w : widgets) w->draw(painter);
  if (modal) modal->draw(painter);
}

void RootFrame::drawRect(Painter& painter, const Rect& area) {
  firstDraw = false;
  // Widgets that stick out of the area must not overwrite what lies over them outside it.
  const Rect saved = painter.clip;
  painter.clip = {std::max(saved.left, area.left), std::max(saved.top, area.top),
                  std::min(saved.right, area.right), std::min(saved.bottom, area.bottom)};
  if (background) background->draw(painter, area, {area.left, area.top});
  for (Widget* w : widgets)
    if (w->needsUpdate(area)) drawPart(painter, area, w);
  if (modal && modal->needsUpdate(area)) drawPart(painter, area, modal);
  painter.clip = saved;
}

// A widget whose new value was waiting for the idle redraw now shows it only inside the
// area; outside it still shows the old one. It stays due for a whole redraw, or the idle
// would take it for drawn and leave it showing two states.
void RootFrame::drawPart(Painter& painter, const Rect& area, Widget* widget) {
  const bool pending = widget->isDirty();
  widget->drawRect(painter, area);
  if (pending && !area.covers(widget->getSize())) widget->setDirty(true);
}

void RootFrame::mouse(Painter& painter, Point where) {
  if (focus) {
    Widget* losing = focus;
    focus = nullptr;
    losing->loseFocus(&painter);
  }
  if (modal) {
    if (modal->pointInside(where)) modal->mouse(painter, where);
    return;
  }
  for (auto it = widgets.rbegin(); it != widgets.rend(); ++it) {
    Widget* w = *it;
    if (w->isInputEnabled() && w->getSize().contains(where)) {
      w->mouse(painter, where);
      return;
    }
  }
}

void RootFrame::update(Painter& painter) {
  if (!open) return;
  if (modal) {
    modal->update(painter);
  } else if (isDirty()) {
    draw(painter);
    setDirty(false);
  } else {
    for (size_t i = 0; i < widgets.size(); ++i) {
      Widget* w = widgets[i];
      const bool redrawn = w->isDirty();
      w->update(painter);
      if (!redrawn) continue;
      // A whole draw stacks later widgets over earlier ones; redrawing this one alone would
      // cover those parts of them.
      for (size_t j = i + 1; j < widgets.size(); ++j)
        if (widgets[j]->getSize().overlaps(w->getSize())) widgets[j]->setDirty(true);
    }
  }
}

int RootFrame::keyDown(const KeyStroke& key) {
  int result = -1;
  if (focus && (result = focus->keyDown(key)) != -1) return result;
  if (modal && (result = modal->keyDown(key)) != -1) return result;
  for (auto it = widgets.rbegin(); it != widgets.rend(); ++it)
    if ((result = (*it)->keyDown(key)) != -1) return result;
  return -1;
}

int RootFrame::keyUp(const KeyStroke& key) {
  int result = -1;
  if (focus && (result = focus->keyUp(key)) != -1) return result;
  if (modal && (result = modal->keyUp(key)) != -1) return result;
  for (auto it = widgets.rbegin(); it != widgets.rend(); ++it)
    if ((result = (*it)->keyUp(key)) != -1) return result;
  return -1;
}

bool RootFrame::drop(void** items, int count, int type, Point where) {
  if (modal || focus) return false;
  for (auto it = widgets.rbegin(); it != widgets.rend(); ++it) {
    Widget* w = *it;
    if (w->isInputEnabled() && w->getSize().contains(where) && w->drop(items, count, type, where))
      return true;
  }
  return false;
}

bool RootFrame::wheel(Painter* painter, Point where, float distance) {
  Point cursor = where;
  if (native) getMousePosition(cursor);
  for (auto it = widgets.rbegin(); it != widgets.rend(); ++it) {
    Widget* w = *it;
    if (!w->getSize().contains(cursor)) continue;
    if (painter) return w->wheel(painter, where, distance);
    std::unique_ptr<Painter> own = makePainter();
    return w->wheel(own.get(), where, distance);
  }
  return false;
}

bool RootFrame::addWidget(Widget* widget) {
  if (!widget) return false;
  try {
    widgets.push_back(widget);
  } catch (const std::bad_alloc&) {
    return false;
  }
  widget->setParentFrame(this);
  widget->attached(this);
  return true;
}

bool RootFrame::removeWidget(Widget* widget, bool destroy) {
  auto it = std::find(widgets.begin(), widgets.end(), widget);
  if (it == widgets.end()) return false;
  widgets.erase(it);
  if (focus == widget) focus = nullptr;
  if (modal == widget) modal = nullptr;
  widget->removed(this);
  if (destroy) widget->forget();
  return true;
}

void RootFrame::removeAll(bool destroy) {
  if (focus) {
    Widget* losing = focus;
    focus = nullptr;
    losing->loseFocus(nullptr);
  }
  modal = nullptr;
  // Taken out first, so a widget's removal cannot reach a half-emptied list.
  std::vector<Widget*> list;
  list.swap(widgets);
  for (Widget* w : list) {
    w->removed(this);
    if (destroy) w->forget();
  }
}

bool RootFrame::isChild(const Widget* widget) const {
  return std::find(widgets.begin(), widgets.end(), widget) != widgets.end();
}

Widget* RootFrame::widgetAt(int index) const {
  if (index < 0 || index >= widgetCount()) return nullptr;
  return widgets[static_cast<size_t>(index)];
}

void RootFrame::setBackground(Pixmap* picture) {
  if (picture) picture->remember();
  if (background) background->forget();
  background = picture;
}

bool RootFrame::setModalWidget(Widget* widget) {
  if (modal && widget && widget != modal) return false;
  if (modal) modal->removed(this);
  modal = widget;
  if (modal) modal->attached(this);
  return true;
}

void RootFrame::setFocusWidget(Widget* widget) {
  Widget* previous = focus;
  focus = widget;
  if (previous) previous->loseFocus(nullptr);
}

void RootFrame::beginEdit(int32_t tag) {
  if (editor) editor->getLink().beginEdit(tag);
}

void RootFrame::endEdit(int32_t tag) {
  if (editor) editor->getLink().endEdit(tag);
}

void RootFrame::drawWidget(Widget* widget) {
  std::unique_ptr<Painter> painter = makePainter();
  if (widget) {
    widget->draw(*painter);
    painter->touch(widget->getSize());
  } else {
    draw(*painter);
    painter->touchDevice({0, 0, buffer.width(), buffer.height()});
  }
}

void RootFrame::idleRedraw() {
  if (!open || firstDraw) return;
  bool needed = modal || isDirty();
  for (size_t i = 0; !needed && i < widgets.size(); ++i) needed = widgets[i]->isDirty();
  if (!needed) return;
  std::unique_ptr<Painter> painter = makePainter();
  update(*painter);
}

void RootFrame::getMousePosition(Point& where) {
  where = native ? logicalPoint(native->pointer(), factor) : Point{0, 0};
}

void RootFrame::setCursor(int kind) {
  if (native && native->alive()) native->setCursor(kind);
}

std::unique_ptr<Painter> RootFrame::makePainter() {
  return std::make_unique<Painter>(this, &buffer, native.get());
}

void RootFrame::dispatchEvents(bool paintOnly) {
  if (native) native->dispatchEvents(*this, paintOnly);
}

void RootFrame::closeWindow() {
  open = false;
  if (native) native->close();
}

// The window asks in device pixels; the logical pixels touching them are redrawn.
void RootFrame::onPaint(const Rect& area) {
  const Rect inside{std::max(area.left, 0), std::max(area.top, 0),
                    std::min(area.right, buffer.width()), std::min(area.bottom, buffer.height())};
  if (inside.left >= inside.right || inside.top >= inside.bottom) return;
  const Point from = logicalPoint({inside.left, inside.top}, factor);
  const Point to = logicalPoint({inside.right - 1, inside.bottom - 1}, factor);
  const Rect logical{from.x, from.y, to.x + 1, to.y + 1};
  std::unique_ptr<Painter> painter = makePainter();
  drawRect(*painter, logical);
  painter->touch(logical);
}

void RootFrame::onButtonDown(Point point, int) {
  std::unique_ptr<Painter> painter = makePainter();
  mouse(*painter, logicalPoint(point, factor));
}

void RootFrame::onWheel(Point point, float distance) {
  wheel(nullptr, logicalPoint(point, factor), distance);
}

// The native object stays until the frame goes: painters up the stack may still hold it,
// and a dead window presents nothing and reports no buttons.
void RootFrame::onDestroyed() {
  open = false;
  parent = nullptr;
}

}  // namespace vorlak
