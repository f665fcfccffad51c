// Shared by the suites that run in a real X server (under xvfb-run): one connection for the
// run, top-level windows to open editors in, the user's pointer and button played through
// the XTest extension, and the counts that show a leak. Include it last, for Xlib's sake.
#pragma once

#include <dirent.h>
#include <unistd.h>
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstdint>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

// Last: Xlib defines macros (None, Bool) that clash with GoogleTest.
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>

namespace vorlak::x11test {

// Where the tests place the window the editor opens in.
constexpr int kParentX = 100, kParentY = 80;

inline void pauseMs(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

inline int openFileCount() {
  int n = 0;
  if (DIR* d = opendir("/proc/self/fd")) {
    while (readdir(d)) ++n;
    closedir(d);
  }
  return n;
}

// An error handler that stands for the host's own.
inline int hostErrors = 0;
inline int countHostError(Display*, XErrorEvent*) {
  ++hostErrors;
  return 0;
}

inline void* handle(Window w) { return reinterpret_cast<void*>(static_cast<uintptr_t>(w)); }

// A mapped top-level window, returned once the server has shown it.
inline Window makeTopLevel(Display* d, int x, int y, unsigned width, unsigned height) {
  const int screen = DefaultScreen(d);
  Window w = XCreateSimpleWindow(d, RootWindow(d, screen), x, y, width, height, 0,
                                 BlackPixel(d, screen), WhitePixel(d, screen));
  XSelectInput(d, w, StructureNotifyMask);
  XMapWindow(d, w);
  XEvent e;
  do XWindowEvent(d, w, StructureNotifyMask, &e);
  while (e.type != MapNotify);
  return w;
}

inline std::vector<Window> children(Display* d, Window w) {
  Window root, up, *list = nullptr;
  unsigned int n = 0;
  std::vector<Window> out;
  if (XQueryTree(d, w, &root, &up, &list, &n)) out.assign(list, list + n);
  if (list) XFree(list);
  return out;
}

// The pixels a window shows in a rectangle, 0x00RRGGBB row by row; empty when it cannot be
// read.
inline std::vector<uint32_t> windowPixels(Display* d, Window w, int left, int top, int right,
                                          int bottom) {
  std::vector<uint32_t> out;
  XImage* image = XGetImage(d, w, left, top, static_cast<unsigned>(right - left),
                            static_cast<unsigned>(bottom - top), AllPlanes, ZPixmap);
  if (!image) return out;
  for (int y = 0; y < bottom - top; ++y)
    for (int x = 0; x < right - left; ++x)
      out.push_back(static_cast<uint32_t>(XGetPixel(image, x, y)) & 0xffffffu);
  XDestroyImage(image);
  return out;
}

#ifdef VORLAK_SNAPSHOT_PATH
// vorlak-snapshot's picture of the panel: 0x00RRGGBB words, rows top to bottom.
inline std::vector<uint32_t> snapshot(const std::string& arguments) {
  // Suites run side by side: each process reads back a file of its own.
  const std::string file =
      testing::TempDir() + "panel-snapshot-" + std::to_string(getpid()) + ".raw";
  const std::string command =
      std::string(VORLAK_SNAPSHOT_PATH) + " --raw -o " + file + " " + arguments + " >/dev/null";
  if (std::system(command.c_str()) != 0) return {};
  std::ifstream in(file, std::ios::binary);
  const std::vector<char> bytes{std::istreambuf_iterator<char>(in), {}};
  std::vector<uint32_t> pixels(bytes.size() / 4);
  for (size_t i = 0; i < pixels.size(); ++i)
    pixels[i] = static_cast<uint32_t>(static_cast<uint8_t>(bytes[4 * i])) |
                static_cast<uint32_t>(static_cast<uint8_t>(bytes[4 * i + 1])) << 8 |
                static_cast<uint32_t>(static_cast<uint8_t>(bytes[4 * i + 2])) << 16;
  std::remove(file.c_str());
  return pixels;
}
#endif

// Moves the pointer to a point of the window at kParentX, kParentY, as a user would.
inline void moveTo(Display* d, int x, int y) {
  XTestFakeMotionEvent(d, DefaultScreen(d), kParentX + x, kParentY + y, CurrentTime);
  XSync(d, False);
}

inline void button(Display* d, bool down) {
  XTestFakeButtonEvent(d, 1, down, CurrentTime);
  XSync(d, False);
}

// The popup menu: the override-redirect window on the root that is showing, waited for up
// to two seconds. Its override_redirect is false when none came.
// Program 0's "Tone" knob, pressed at its centre and dragged 40 pixels right in steps.
inline void dragToneRight40(Display* d) {
  moveTo(d, 145, 263);
  button(d, true);
  pauseMs(60);
  for (int step = 1; step <= 4; ++step) {
    moveTo(d, 145 + 10 * step, 263);
    pauseMs(40);
  }
  pauseMs(150);
  button(d, false);
}

inline XWindowAttributes waitForMenu(Display* d) {
  XWindowAttributes menu{};
  for (int i = 0; i < 400 && !menu.override_redirect; ++i) {
    for (Window w : children(d, DefaultRootWindow(d))) {
      XWindowAttributes a;
      if (XGetWindowAttributes(d, w, &a) && a.override_redirect && a.map_state == IsViewable)
        menu = a;
    }
    if (!menu.override_redirect) pauseMs(5);
  }
  return menu;
}

// One connection for the whole run: the server resets whenever its last client leaves, and
// a connection attempted meanwhile is refused. Without a server every test fails.
// Plays the user on a connection of its own while the editor's thread is busy inside a
// mouse loop or a menu.
// Idles the editor every 5 ms for about ms milliseconds, as a host's timer does.
template <class Idle>
void idleEvery5Ms(Idle idle, int ms) {
  for (int t = 0; t < ms; t += 5) {
    idle();
    pauseMs(5);
  }
}

// Idles the editor every 5 ms until done() holds, for at most 3 s; whether it came to hold.
template <class Idle, class Condition>
bool idleEvery5MsUntil(Idle idle, Condition done) {
  for (int i = 0; i < 600; ++i) {
    idle();
    if (done()) return true;
    pauseMs(5);
  }
  return false;
}

class User {
 public:
  explicit User(std::function<void(Display*)> act)
      : thread([this, act] {
          Display* d = XOpenDisplay(nullptr);
          if (d) {
            act(d);
            XCloseDisplay(d);
          }
          finished = true;
        }) {}
  ~User() { thread.join(); }
  bool done() const { return finished; }

 private:
  std::atomic<bool> finished{false};
  std::thread thread;
};

class X11Suite : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { host = XOpenDisplay(nullptr); }
  static void TearDownTestSuite() {
    if (host) XCloseDisplay(host);
    host = nullptr;
  }
  void SetUp() override {
    ASSERT_NE(host, nullptr) << "no X server; run under xvfb-run";
    int event, error, major, minor;
    ASSERT_TRUE(XTestQueryExtension(host, &event, &error, &major, &minor));
  }

  static inline Display* host = nullptr;
};

}  // namespace vorlak::x11test
