// The popup menu: an override-redirect window of our own that lists the entries in a core X
// font and holds the pointer and keyboard until an entry is clicked or the menu is dismissed.
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/keysym.h>
#include <time.h>

#include <algorithm>
#include <cmath>
#include <string>

#include "editor/platform/x11/x11_errors.h"
#include "editor/platform/x11/x11_window.h"

namespace vorlak {

namespace {

constexpr int kCheckColumn = 18;
constexpr int kIndent = 12;
constexpr int kRightPadding = 14;
constexpr int kSeparatorHeight = 7;
constexpr uint32_t kFace = 0xd4d0c8, kShadow = 0x808080, kDark = 0x404040, kHighlight = 0x0a246a,
                   kText = 0x000000, kHighlightText = 0xffffff, kLight = 0xffffff;

// The panel's scale for the menu being shown (menus run one at a time, on the panel's thread).
double menuScale = 1.0;
int px(int length) { return static_cast<int>(std::floor(length * menuScale + 0.5)); }

struct Row {
  const MenuEntry* entry;
  int x, y, width, height;
  int indent;
  bool selectable() const { return entry->kind == MenuEntry::kItem; }
};

struct Layout {
  std::vector<Row> rows;
  int width = 0, height = 0;
};

std::string label(const MenuEntry& e) {
  return e.kind == MenuEntry::kSubmenuBegin ? e.text + "  >" : e.text;
}

Layout arrange(const std::vector<MenuEntry>& entries, XFontStruct* font) {
  const int textHeight = font->ascent + font->descent + 4;
  Layout layout;
  std::vector<int> columnStart{0};
  int indent = 0, y = 1;
  for (const MenuEntry& e : entries) {
    if (e.kind == MenuEntry::kSubmenuEnd) {
      indent = std::max(indent - 1, 0);
      continue;
    }
    if (e.columnBreak && !layout.rows.empty()) {
      columnStart.push_back(static_cast<int>(layout.rows.size()));
      y = 1;
    }
    const int h = e.kind == MenuEntry::kSeparator ? px(kSeparatorHeight) : textHeight;
    layout.rows.push_back({&e, 0, y, 0, h, indent});
    y += h;
    layout.height = std::max(layout.height, y + 1);
    if (e.kind == MenuEntry::kSubmenuBegin) ++indent;
  }
  columnStart.push_back(static_cast<int>(layout.rows.size()));
  int x = 1;
  for (size_t c = 0; c + 1 < columnStart.size(); ++c) {
    int w = 60;
    for (int i = columnStart[c]; i < columnStart[c + 1]; ++i) {
      const Row& r = layout.rows[static_cast<size_t>(i)];
      const std::string text = label(*r.entry);
      w = std::max(w, r.indent * px(kIndent) + px(kCheckColumn) + px(kRightPadding) +
                          XTextWidth(font, text.c_str(), static_cast<int>(text.size())));
    }
    for (int i = columnStart[c]; i < columnStart[c + 1]; ++i) {
      layout.rows[static_cast<size_t>(i)].x = x;
      layout.rows[static_cast<size_t>(i)].width = w;
    }
    x += w;
  }
  layout.width = x + 1;
  layout.height = std::max(layout.height, 2 + textHeight);
  return layout;
}

int rowAt(const Layout& layout, int x, int y) {
  for (size_t i = 0; i < layout.rows.size(); ++i) {
    const Row& r = layout.rows[i];
    if (x >= r.x && x < r.x + r.width && y >= r.y && y < r.y + r.height && r.selectable())
      return static_cast<int>(i);
  }
  return -1;
}

void paint(Display* display, Window menu, GC gc, const X11PixelFormat& format, XFontStruct* font,
           const Layout& layout, int highlighted) {
  XSetForeground(display, gc, format.pixel(kFace));
  XFillRectangle(display, menu, gc, 0, 0, static_cast<unsigned>(layout.width),
                 static_cast<unsigned>(layout.height));
  XSetForeground(display, gc, format.pixel(kDark));
  XDrawRectangle(display, menu, gc, 0, 0, static_cast<unsigned>(layout.width - 1),
                 static_cast<unsigned>(layout.height - 1));
  for (size_t i = 0; i < layout.rows.size(); ++i) {
    const Row& r = layout.rows[i];
    const MenuEntry& e = *r.entry;
    if (e.kind == MenuEntry::kSeparator) {
      const int y = r.y + r.height / 2;
      XSetForeground(display, gc, format.pixel(kShadow));
      XDrawLine(display, menu, gc, r.x + 2, y, r.x + r.width - 3, y);
      XSetForeground(display, gc, format.pixel(kLight));
      XDrawLine(display, menu, gc, r.x + 2, y + 1, r.x + r.width - 3, y + 1);
      continue;
    }
    const bool lit = static_cast<int>(i) == highlighted;
    if (lit) {
      XSetForeground(display, gc, format.pixel(kHighlight));
      XFillRectangle(display, menu, gc, r.x, r.y, static_cast<unsigned>(r.width),
                     static_cast<unsigned>(r.height));
    }
    uint32_t colour = lit ? kHighlightText : kText;
    if (e.kind == MenuEntry::kGreyed) colour = kShadow;
    XSetForeground(display, gc, format.pixel(colour));
    const int left = r.x + r.indent * px(kIndent);
    if (e.checked) {
      const int cy = r.y + r.height / 2;
      XPoint tick[3] = {{static_cast<short>(left + 5), static_cast<short>(cy)},
                        {static_cast<short>(left + 8), static_cast<short>(cy + 3)},
                        {static_cast<short>(left + 13), static_cast<short>(cy - 3)}};
      XDrawLines(display, menu, gc, tick, 3, CoordModeOrigin);
      for (XPoint& p : tick) ++p.y;
      XDrawLines(display, menu, gc, tick, 3, CoordModeOrigin);
    }
    const std::string text = label(e);
    const int baseline = r.y + 2 + font->ascent;
    XDrawString(display, menu, gc, left + px(kCheckColumn), baseline, text.c_str(),
                static_cast<int>(text.size()));
    if (e.kind == MenuEntry::kTitle)  // a second pass one pixel over reads as bold
      XDrawString(display, menu, gc, left + px(kCheckColumn) + 1, baseline, text.c_str(),
                  static_cast<int>(text.size()));
  }
  XFlush(display);
}

void pause(long milliseconds) {
  timespec wait{0, milliseconds * 1000000L};
  nanosleep(&wait, nullptr);
}

// At a panel scale above 1 the menu asks for a font of that many times 13 pixels first, then
// for the largest of the classic fixed fonts that fits it.
XFontStruct* loadFont(Display* display) {
  if (menuScale > 1.0) {
    const std::string sized =
        "-*-*-medium-r-normal-*-" + std::to_string(px(13)) + "-*-*-*-*-*-iso8859-1";
    if (XFontStruct* font = XLoadQueryFont(display, sized.c_str())) return font;
    const struct {
      int height;
      const char* name;
    } fixed[] = {{24, "12x24"}, {20, "10x20"}, {18, "9x18"}, {15, "9x15"}};
    for (const auto& f : fixed)
      if (f.height <= px(13))
        if (XFontStruct* font = XLoadQueryFont(display, f.name)) return font;
  }
  for (const char* name : {"fixed", "6x13", "-*-*-medium-r-normal-*-13-*-*-*-*-*-iso8859-1"})
    if (XFontStruct* font = XLoadQueryFont(display, name)) return font;
  return nullptr;
}

// What the menu's loop draws with.
struct MenuView {
  Display* display;
  Window menu;
  GC gc;
  const X11PixelFormat& format;
  XFontStruct* font;
  const Layout& layout;
  void show(int highlighted) const { paint(display, menu, gc, format, font, layout, highlighted); }
};

// The pointer, then the keyboard, for the menu; false when the pointer stays another
// client's, and without it clicks elsewhere would never reach us, so the menu gives up.
bool grabInput(Display* display, Window menu) {
  bool grabbed = false;
  for (int attempt = 0; attempt < 50 && !grabbed; ++attempt) {
    grabbed =
        XGrabPointer(display, menu, False, ButtonPressMask | ButtonReleaseMask | PointerMotionMask,
                     GrabModeAsync, GrabModeAsync, None, None, CurrentTime) == GrabSuccess;
    if (!grabbed) pause(10);
  }
  if (!grabbed) return false;
  for (int attempt = 0; attempt < 20; ++attempt) {
    if (XGrabKeyboard(display, menu, False, GrabModeAsync, GrabModeAsync, CurrentTime) ==
        GrabSuccess)
      break;
    pause(5);
  }
  return true;
}

// Runs the menu's events until an entry is chosen (its id) or the menu is dismissed (-1).
int chooseEntry(const MenuView& view, long eventMask) {
  const Layout& layout = view.layout;
  int choice = -1;
  int highlighted = -1;
  // A release picks an entry only after the pointer moved over the menu or a button went
  // down inside it: letting go of the button that opened the menu picks nothing.
  bool armed = false;
  bool done = false;
  view.show(highlighted);
  while (!done) {
    XEvent event;
    XWindowEvent(view.display, view.menu, eventMask, &event);
    switch (event.type) {
      case Expose:
        if (event.xexpose.count == 0) view.show(highlighted);
        break;
      case MotionNotify: {
        armed = true;
        const int row = rowAt(layout, event.xmotion.x, event.xmotion.y);
        if (row != highlighted) {
          highlighted = row;
          view.show(highlighted);
        }
        break;
      }
      case ButtonPress: {
        if (event.xbutton.button > Button3) break;  // the wheel
        const int bx = event.xbutton.x, by = event.xbutton.y;
        if (bx < 0 || by < 0 || bx >= layout.width || by >= layout.height) {
          done = true;
        } else {
          armed = true;
          highlighted = rowAt(layout, bx, by);
          view.show(highlighted);
        }
        break;
      }
      case ButtonRelease: {
        if (event.xbutton.button > Button3 || !armed) break;
        const int row = rowAt(layout, event.xbutton.x, event.xbutton.y);
        if (row >= 0) {
          choice = layout.rows[static_cast<size_t>(row)].entry->id;
          done = true;
        }
        break;
      }
      case KeyPress: {
        const KeySym key = XLookupKeysym(&event.xkey, 0);
        if (key == XK_Escape) {
          done = true;
        } else if ((key == XK_Return || key == XK_KP_Enter) && highlighted >= 0) {
          choice = layout.rows[static_cast<size_t>(highlighted)].entry->id;
          done = true;
        } else if (key == XK_Down || key == XK_Up) {
          const int count = static_cast<int>(layout.rows.size());
          const int step = key == XK_Down ? 1 : -1;
          int row = highlighted < 0 ? (step > 0 ? -1 : count) : highlighted;
          for (int n = 0; n < count; ++n) {
            row = (row + step + count) % count;
            if (layout.rows[static_cast<size_t>(row)].selectable()) break;
          }
          if (layout.rows[static_cast<size_t>(row)].selectable()) highlighted = row;
          view.show(highlighted);
        }
        break;
      }
      default:
        break;
    }
  }
  return choice;
}

}  // namespace

int runX11Menu(const X11MenuTarget& target, const std::vector<MenuEntry>& entries, int x, int y) {
  Display* display = target.display;
  menuScale = target.scale;
  XFontStruct* font = loadFont(display);
  if (!font) return -1;
  const Layout layout = arrange(entries, font);
  if (layout.rows.empty()) {
    XFreeFont(display, font);
    return -1;
  }
  const X11PixelFormat format(target.visual, target.depth);
  const Window root = RootWindow(display, target.screen);
  const int screenWidth = DisplayWidth(display, target.screen);
  const int screenHeight = DisplayHeight(display, target.screen);
  x = std::max(0, std::min(x, screenWidth - layout.width));
  y = std::max(0, std::min(y, screenHeight - layout.height));

  X11ErrorTrap trap(display);
  XSetWindowAttributes attributes{};
  attributes.override_redirect = True;
  attributes.save_under = True;
  attributes.border_pixel = 0;
  attributes.background_pixel = format.pixel(kFace);
  attributes.colormap = target.colormap;
  attributes.event_mask =
      ExposureMask | ButtonPressMask | ButtonReleaseMask | PointerMotionMask | KeyPressMask;
  const Window menu = XCreateWindow(
      display, root, x, y, static_cast<unsigned>(layout.width),
      static_cast<unsigned>(layout.height), 0, target.depth, InputOutput, target.visual,
      CWOverrideRedirect | CWSaveUnder | CWBorderPixel | CWBackPixel | CWColormap | CWEventMask,
      &attributes);
  GC gc = XCreateGC(display, menu, 0, nullptr);
  XSetFont(display, gc, font->fid);
  XMapRaised(display, menu);
  XSync(display, False);

  int choice = -1;
  if (grabInput(display, menu)) {
    choice = chooseEntry({display, menu, gc, format, font, layout}, attributes.event_mask);
    XUngrabKeyboard(display, CurrentTime);
    XUngrabPointer(display, CurrentTime);
  }
  XFreeGC(display, gc);
  XDestroyWindow(display, menu);
  XFreeFont(display, font);
  return choice;
}

}  // namespace vorlak
