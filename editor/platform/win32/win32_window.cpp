#include "editor/platform/win32/win32_window.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "editor/platform/win32/win32_platform.h"
#include "editor/toolkit/surface.h"

namespace vorlak {

namespace {

// A host that leaves the editor unattended for long gets its presses dropped beyond this,
// rather than replayed one after another when it comes back.
constexpr size_t kMaxPending = 64;

HINSTANCE storedInstance = nullptr;

HINSTANCE moduleInstance() {
  if (storedInstance) return storedInstance;
  HMODULE self = nullptr;
  GetModuleHandleExA(
      GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
      reinterpret_cast<LPCSTR>(&moduleInstance), &self);
  return self;
}

// One window class for all of the module's panels: registered by the first window made and
// removed with the last, so that an unloaded module leaves no class pointing into it. Hosts
// may open editors of several instances from more than one thread.
SRWLOCK classLock = SRWLOCK_INIT;
int classUsers = 0;
char className[32] = {};
HINSTANCE classInstance = nullptr;

bool holdClass(WNDPROC procedure) {
  AcquireSRWLockExclusive(&classLock);
  bool ok = true;
  if (classUsers == 0) {
    classInstance = moduleInstance();
    std::snprintf(className, sizeof(className), "Plugin%08x",
                  static_cast<unsigned>(reinterpret_cast<uintptr_t>(classInstance)));
    WNDCLASSA windowClass{};
    windowClass.style = CS_GLOBALCLASS;
    windowClass.lpfnWndProc = procedure;
    windowClass.hInstance = classInstance;
    windowClass.hCursor = LoadCursor(nullptr, IDC_ARROW);
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<uintptr_t>(COLOR_BTNFACE + 1));
    windowClass.lpszClassName = className;
    ok = RegisterClassA(&windowClass) != 0 || GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
  }
  if (ok) ++classUsers;
  ReleaseSRWLockExclusive(&classLock);
  return ok;
}

void releaseClass() {
  AcquireSRWLockExclusive(&classLock);
  if (classUsers > 0 && --classUsers == 0) UnregisterClassA(className, classInstance);
  ReleaseSRWLockExclusive(&classLock);
}

uint32_t surfacePixel(COLORREF colour) {
  return (static_cast<uint32_t>(GetRValue(colour)) << 16) |
         (static_cast<uint32_t>(GetGValue(colour)) << 8) | GetBValue(colour);
}

bool keyDown(int key) { return GetAsyncKeyState(key) < 0; }

}  // namespace

void setWin32ModuleInstance(void* instance) { storedInstance = static_cast<HINSTANCE>(instance); }

std::unique_ptr<Win32Window> Win32Window::create(HWND parent, int width, int height) {
  if (!parent || !IsWindow(parent)) return nullptr;
  std::unique_ptr<Win32Window> self(new Win32Window);
  self->width = std::max(width, 1);
  self->height = std::max(height, 1);
  if (!holdClass(&procedure)) return nullptr;
  self->classHeld = true;  // from here on the destructor gives back whatever was made

  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  info.bmiHeader.biWidth = self->width;
  info.bmiHeader.biHeight = -self->height;  // top-down, as the surface's rows
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  self->dib = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  self->memory = CreateCompatibleDC(nullptr);
  if (!self->dib || !bits || !self->memory) return nullptr;
  self->previousBitmap = SelectObject(self->memory, self->dib);
  self->bits = static_cast<uint32_t*>(bits);
  // Until the frame first presents, a paint shows what the class background would.
  std::fill_n(self->bits, static_cast<size_t>(self->width) * static_cast<size_t>(self->height),
              surfacePixel(GetSysColor(COLOR_BTNFACE)));

  if (!CreateWindowExA(0, className, "Window", WS_CHILD | WS_VISIBLE, 0, 0, self->width,
                       self->height, parent, nullptr, classInstance, self.get()))
    return nullptr;
  return self;
}

Win32Window::~Win32Window() { close(); }

void Win32Window::close() {
  if (window && !gone) {
    if (menus > 0) EndMenu();
    DestroyWindow(window);
  }
  gone = true;
  deathReported = true;
  pending.clear();
  releaseResources();
}

void Win32Window::releaseResources() {
  if (memory) {
    if (previousBitmap) SelectObject(memory, previousBitmap);
    DeleteDC(memory);
    memory = nullptr;
  }
  if (dib) {
    DeleteObject(dib);
    dib = nullptr;
    bits = nullptr;
  }
  if (classHeld) {
    releaseClass();
    classHeld = false;
  }
}

LRESULT CALLBACK Win32Window::procedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_NCCREATE) {
    auto* self =
        static_cast<Win32Window*>(reinterpret_cast<CREATESTRUCTA*>(lParam)->lpCreateParams);
    self->window = hwnd;
    SetWindowLongPtrA(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
  }
  auto* self = reinterpret_cast<Win32Window*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
  if (!self) return DefWindowProcA(hwnd, message, wParam, lParam);
  if (message == WM_NCDESTROY) SetWindowLongPtrA(hwnd, GWLP_USERDATA, 0);
  return self->handle(message, wParam, lParam);
}

LRESULT Win32Window::handle(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_PAINT:
      paint();
      return 0;
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
    case WM_MBUTTONDOWN: {
      // The messages already name the logical button, swapped or not.
      int bits = message == WM_LBUTTONDOWN   ? kLeftButton
                 : message == WM_RBUTTONDOWN ? kRightButton
                                             : kMiddleButton;
      if (wParam & MK_SHIFT) bits |= kShift;
      if (wParam & MK_CONTROL) bits |= kControl;
      if (GetKeyState(VK_MENU) < 0) bits |= kAlt;
      const Point where{static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
      if (pending.size() < kMaxPending) pending.push_back({Pending::kPress, {}, where, bits});
      return 0;
    }
    case 0x02E3:  // WM_DPICHANGED_AFTERPARENT: the host moved to a screen of another density
      if (pending.size() < kMaxPending) pending.push_back({Pending::kDensity, {}, {}, 0});
      return 0;
    case WM_DESTROY:
      gone = true;
      break;
    default:
      break;
  }
  return DefWindowProcA(window, message, wParam, lParam);
}

void Win32Window::paint() {
  PAINTSTRUCT ps;
  HDC dc = BeginPaint(window, &ps);
  const RECT& r = ps.rcPaint;
  if (dc && memory && r.right > r.left && r.bottom > r.top) {
    BitBlt(dc, r.left, r.top, r.right - r.left, r.bottom - r.top, memory, r.left, r.top, SRCCOPY);
    queuePaint({r.left, r.top, r.right, r.bottom});
  }
  EndPaint(window, &ps);
}

void Win32Window::queuePaint(const Rect& area) {
  for (Pending& p : pending) {
    if (p.kind != Pending::kPaint) continue;
    p.area = {std::min(p.area.left, area.left), std::min(p.area.top, area.top),
              std::max(p.area.right, area.right), std::max(p.area.bottom, area.bottom)};
    return;
  }
  if (pending.size() < kMaxPending) pending.push_back({Pending::kPaint, area, {0, 0}, 0});
}

void Win32Window::present(const Surface& backBuffer, const Rect& area) {
  if (!alive() || !bits) return;
  const int left = std::max(area.left, 0), top = std::max(area.top, 0);
  const int right = std::min({area.right, width, backBuffer.width()});
  const int bottom = std::min({area.bottom, height, backBuffer.height()});
  if (left >= right || top >= bottom) return;
  GdiFlush();  // GDI may still be reading the section from an earlier copy
  for (int y = top; y < bottom; ++y)
    std::memcpy(bits + static_cast<size_t>(y) * static_cast<size_t>(width) + left,
                backBuffer.row(y) + left, static_cast<size_t>(right - left) * sizeof(uint32_t));
  if (HDC dc = GetDC(window)) {
    BitBlt(dc, left, top, right - left, bottom - top, memory, left, top, SRCCOPY);
    ReleaseDC(window, dc);
  }
}

Point Win32Window::pointer() {
  POINT p;
  if (alive() && GetCursorPos(&p) && ScreenToClient(window, &p)) lastPointer = {p.x, p.y};
  return lastPointer;
}

int Win32Window::buttons() {
  if (!alive()) return 0;
  // The asynchronous state is that of the physical buttons; with the buttons swapped, the
  // logical left one is the physical right one.
  const bool swapped = GetSystemMetrics(SM_SWAPBUTTON) != 0;
  int bits = 0;
  if (keyDown(swapped ? VK_RBUTTON : VK_LBUTTON)) bits |= kLeftButton;
  if (keyDown(swapped ? VK_LBUTTON : VK_RBUTTON)) bits |= kRightButton;
  if (keyDown(VK_MBUTTON)) bits |= kMiddleButton;
  if (keyDown(VK_SHIFT)) bits |= kShift;
  if (keyDown(VK_CONTROL)) bits |= kControl;
  if (keyDown(VK_MENU)) bits |= kAlt;
  if (latched) {
    latched = false;
    bits |= latchedButtons;
  }
  return bits;
}

void Win32Window::setCursor(int kind) {
  if (!alive()) return;
  static const LPCSTR kShapes[7] = {IDC_ARROW,   IDC_WAIT,     IDC_SIZEWE,  IDC_SIZENS,
                                    IDC_SIZEALL, IDC_SIZENESW, IDC_SIZENWSE};
  SetCursor(LoadCursor(nullptr, kShapes[kind > 0 && kind <= 6 ? kind : 0]));
}

int Win32Window::popupMenu(const std::vector<MenuEntry>& entries, Point at, bool rightButton) {
  if (!alive() || entries.empty()) return -1;
  latched = false;
  POINT origin{at.x, at.y};
  ClientToScreen(window, &origin);
  ++menus;
  const int choice = runWin32Menu(window, entries, origin, rightButton);
  --menus;
  if (!alive()) return -1;
  // The click that chose or dismissed the entry is no press on the panel.
  MSG message;
  for (int i = 0; i < 2; ++i)
    PeekMessageA(&message, window, WM_LBUTTONDOWN, WM_MBUTTONDBLCLK, PM_REMOVE);
  pending.erase(std::remove_if(pending.begin(), pending.end(),
                               [](const Pending& p) { return p.kind == Pending::kPress; }),
                pending.end());
  return choice;
}

void Win32Window::deliver(WindowEvents& events, const Pending& event) {
  if (event.kind == Pending::kPaint) {
    events.onPaint(event.area);
    return;
  }
  if (event.kind == Pending::kDensity) {
    events.onScaleChanged();
    return;
  }
  latchedButtons = event.buttons;
  latched = true;
  events.onButtonDown(event.point, event.buttons & (kLeftButton | kMiddleButton | kRightButton));
  latched = false;
}

void Win32Window::dispatchEvents(WindowEvents& events, bool paintOnly) {
  MSG message;
  if (paintOnly) {
    // Inside a mouse loop: one paint of any window of the thread, so the host's windows keep
    // drawing too, then one of ours.
    if (PeekMessageA(&message, nullptr, WM_PAINT, WM_PAINT, PM_REMOVE)) DispatchMessageA(&message);
    auto paint = std::find_if(pending.begin(), pending.end(),
                              [](const Pending& p) { return p.kind == Pending::kPaint; });
    if (alive() && paint != pending.end()) {
      const Pending event = *paint;
      pending.erase(paint);
      deliver(events, event);
    }
  } else {
    // The host's loop normally hands over the window's messages; an idle call takes those
    // still waiting, so the editor also works for a host that idles it before pumping.
    for (int i = 0; i < 64 && alive() && PeekMessageA(&message, window, 0, 0, PM_REMOVE); ++i)
      DispatchMessageA(&message);
    // One at a time: a press runs a mouse loop that paints and presents meanwhile.
    while (alive() && !pending.empty()) {
      const Pending event = pending.front();
      pending.pop_front();
      deliver(events, event);
    }
  }
  if (gone && !deathReported) {
    deathReported = true;
    pending.clear();
    events.onDestroyed();
  }
}

}  // namespace vorlak
