// The panel as a Windows host shows it (run under Wine and Xvfb): vorlak.dll loaded through the
// host library, its editor opened as the child of a window of this test and played with real
// input from SendInput. What the host hears is the recorded automation; what the user sees is
// read back from the editor's window and compared with vorlak-snapshot's picture. Wine counts
// no GDI objects, so every window, device context, bitmap and menu the module asks the system
// for is recorded through its import table and checked to be gone.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <functional>
#include <set>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "editor/platform/win32/win32_window.h"
#include "tests/editor/host_edits.h"
#include "tests/windows/win32_screen.h"
#include "tools/vst_host.h"

namespace {

using vorlak::MenuEntry;
using vorlak::host::HostCall;
using vorlak::host::Module;
using vorlak::host::Plugin;
using vorlak::paneltest::expectOneBracketedEdit;
using vorlak::wintest::differing;
using vorlak::wintest::Pixels;
using vorlak::wintest::pump;
using vorlak::wintest::rawPicture;

constexpr int kParentX = 100, kParentY = 80;
constexpr int kWidth = 396, kHeight = 530;
// The programs whose pictures are compared, as the build made vorlak-snapshot's of them.
constexpr int kPrograms[] = {VORLAK_PANEL_PROGRAMS};
constexpr char kHostClass[] = "VorlakTestHost";

// What the module made and has not given back, seen through its import table.
struct Ledger {
  std::set<HWND> windows;
  std::set<HGDIOBJ> objects;  // bitmaps and memory device contexts
  std::set<HMENU> menus;
  long windowDcs = 0;  // taken less released
  long classes = 0;    // registered less removed
};
Ledger ledger;

HWND WINAPI spyCreateWindowExA(DWORD exStyle, LPCSTR name, LPCSTR title, DWORD style, int x, int y,
                               int w, int h, HWND parent, HMENU menu, HINSTANCE instance,
                               LPVOID data) {
  HWND made =
      CreateWindowExA(exStyle, name, title, style, x, y, w, h, parent, menu, instance, data);
  if (made) ledger.windows.insert(made);
  return made;
}
HBITMAP WINAPI spyCreateDIBSection(HDC dc, const BITMAPINFO* info, UINT usage, void** bits,
                                   HANDLE section, DWORD offset) {
  HBITMAP made = CreateDIBSection(dc, info, usage, bits, section, offset);
  if (made) ledger.objects.insert(made);
  return made;
}
HDC WINAPI spyCreateCompatibleDC(HDC dc) {
  HDC made = CreateCompatibleDC(dc);
  if (made) ledger.objects.insert(made);
  return made;
}
HDC WINAPI spyGetDC(HWND window) {
  HDC dc = GetDC(window);
  if (dc) ++ledger.windowDcs;
  return dc;
}
int WINAPI spyReleaseDC(HWND window, HDC dc) {
  const int released = ReleaseDC(window, dc);
  if (released) --ledger.windowDcs;
  return released;
}
HMENU WINAPI spyCreatePopupMenu() {
  HMENU made = CreatePopupMenu();
  if (made) ledger.menus.insert(made);
  return made;
}
ATOM WINAPI spyRegisterClassA(const WNDCLASSA* windowClass) {
  const ATOM atom = RegisterClassA(windowClass);
  if (atom) ++ledger.classes;
  return atom;
}
BOOL WINAPI spyUnregisterClassA(LPCSTR name, HINSTANCE instance) {
  const BOOL removed = UnregisterClassA(name, instance);
  if (removed) --ledger.classes;
  return removed;
}

// Points the module's import of dll!name at replacement.
bool patchImport(HMODULE module, const char* dll, const char* name, void* replacement) {
  auto* base = reinterpret_cast<BYTE*>(module);
  const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
  const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
  const IMAGE_DATA_DIRECTORY& imports =
      nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
  if (!imports.VirtualAddress) return false;
  for (auto* d = reinterpret_cast<IMAGE_IMPORT_DESCRIPTOR*>(base + imports.VirtualAddress); d->Name;
       ++d) {
    if (_stricmp(reinterpret_cast<const char*>(base + d->Name), dll) != 0) continue;
    auto* names = reinterpret_cast<IMAGE_THUNK_DATA*>(base + d->OriginalFirstThunk);
    auto* slots = reinterpret_cast<IMAGE_THUNK_DATA*>(base + d->FirstThunk);
    for (; names->u1.AddressOfData; ++names, ++slots) {
      if (IMAGE_SNAP_BY_ORDINAL(names->u1.Ordinal)) continue;
      const auto* byName = reinterpret_cast<IMAGE_IMPORT_BY_NAME*>(base + names->u1.AddressOfData);
      if (std::strcmp(reinterpret_cast<const char*>(byName->Name), name) != 0) continue;
      DWORD protection = 0;
      VirtualProtect(&slots->u1.Function, sizeof(void*), PAGE_READWRITE, &protection);
      slots->u1.Function = reinterpret_cast<ULONG_PTR>(replacement);
      VirtualProtect(&slots->u1.Function, sizeof(void*), protection, &protection);
      return true;
    }
  }
  return false;
}

::testing::AssertionResult spyOn(HMODULE module) {
  const struct {
    const char* dll;
    const char* name;
    void* spy;
  } hooks[] = {
      {"user32.dll", "CreateWindowExA", reinterpret_cast<void*>(&spyCreateWindowExA)},
      {"gdi32.dll", "CreateDIBSection", reinterpret_cast<void*>(&spyCreateDIBSection)},
      {"gdi32.dll", "CreateCompatibleDC", reinterpret_cast<void*>(&spyCreateCompatibleDC)},
      {"user32.dll", "GetDC", reinterpret_cast<void*>(&spyGetDC)},
      {"user32.dll", "ReleaseDC", reinterpret_cast<void*>(&spyReleaseDC)},
      {"user32.dll", "CreatePopupMenu", reinterpret_cast<void*>(&spyCreatePopupMenu)},
      {"user32.dll", "RegisterClassA", reinterpret_cast<void*>(&spyRegisterClassA)},
      {"user32.dll", "UnregisterClassA", reinterpret_cast<void*>(&spyUnregisterClassA)},
  };
  for (const auto& hook : hooks)
    if (!patchImport(module, hook.dll, hook.name, hook.spy))
      return ::testing::AssertionFailure() << "the module imports no " << hook.name;
  return ::testing::AssertionSuccess();
}

// Whatever the module made that is still alive.
::testing::AssertionResult nothingLeft() {
  int windows = 0, objects = 0, menus = 0;
  for (HWND w : ledger.windows) windows += IsWindow(w) ? 1 : 0;
  for (HGDIOBJ o : ledger.objects) objects += GetObjectType(o) != 0 ? 1 : 0;
  for (HMENU m : ledger.menus) menus += IsMenu(m) ? 1 : 0;
  if (windows == 0 && objects == 0 && menus == 0 && ledger.windowDcs == 0 && ledger.classes == 0)
    return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure()
         << windows << " windows, " << objects << " bitmaps or memory contexts and " << menus
         << " menus alive, " << ledger.windowDcs << " window contexts unreleased, "
         << ledger.classes << " window classes registered";
}

// The host's answer to the editor's idle requests, once: the host closing the editor then.
std::function<void()> onHostIdle;

VstIntPtr hostCallback(AEffect* effect, VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr,
                       float opt) {
  const VstIntPtr answer = vorlak::host::hostCallback(effect, opcode, index, value, ptr, opt);
  if (opcode == audioMasterIdle && onHostIdle) std::exchange(onHostIdle, nullptr)();
  return answer;
}

// Real input, in the host window's coordinates.
void moveTo(int x, int y) {
  // Absolute positions are 0 to 65535 across the screen, taken back rounding down.
  const int width = GetSystemMetrics(SM_CXSCREEN), height = GetSystemMetrics(SM_CYSCREEN);
  INPUT input{};
  input.type = INPUT_MOUSE;
  input.mi.dx = ((kParentX + x) * 65536 + width - 1) / width;
  input.mi.dy = ((kParentY + y) * 65536 + height - 1) / height;
  input.mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE;
  SendInput(1, &input, sizeof(input));
}
void moveToScreen(int x, int y) { moveTo(x - kParentX, y - kParentY); }
void button(bool down, bool right = false) {
  INPUT input{};
  input.type = INPUT_MOUSE;
  input.mi.dwFlags = right ? (down ? MOUSEEVENTF_RIGHTDOWN : MOUSEEVENTF_RIGHTUP)
                           : (down ? MOUSEEVENTF_LEFTDOWN : MOUSEEVENTF_LEFTUP);
  SendInput(1, &input, sizeof(input));
}
void key(WORD code) {
  INPUT input[2] = {};
  input[0].type = input[1].type = INPUT_KEYBOARD;
  input[0].ki.wVk = input[1].ki.wVk = code;
  input[1].ki.dwFlags = KEYEVENTF_KEYUP;
  SendInput(2, input, sizeof(INPUT));
}

// Plays the user from a thread of its own while the host's thread is inside a mouse loop or a
// menu.
class User {
 public:
  explicit User(std::function<void()> act)
      : thread([this, act] {
          act();
          finished = true;
        }) {}
  ~User() { thread.join(); }
  bool done() const { return finished; }

 private:
  std::atomic<bool> finished{false};
  std::thread thread;
};

// The menu the module's thread is tracking, seen from another thread, or null.
HMENU openMenu(RECT* where = nullptr) {
  for (int i = 0; i < 1000; ++i) {
    HWND found = nullptr;
    EnumWindows(
        [](HWND w, LPARAM out) -> BOOL {
          char name[16] = {};
          GetClassNameA(w, name, sizeof(name));
          if (std::strcmp(name, "#32768") != 0 || !IsWindowVisible(w)) return TRUE;
          *reinterpret_cast<HWND*>(out) = w;
          return FALSE;
        },
        reinterpret_cast<LPARAM>(&found));
    if (found) {
      if (where) GetWindowRect(found, where);
      constexpr UINT kGetMenuHandle = 0x01E1;
      return reinterpret_cast<HMENU>(SendMessageA(found, kGetMenuHandle, 0, 0));
    }
    Sleep(10);
  }
  return nullptr;
}

// Clicks the centre of a menu entry.
void clickEntry(HMENU menu, int position) {
  RECT entry{};
  GetMenuItemRect(nullptr, menu, static_cast<UINT>(position), &entry);
  const int x = (entry.left + entry.right) / 2, y = (entry.top + entry.bottom) / 2;
  moveToScreen(x, y - 3);
  Sleep(30);
  moveToScreen(x, y);
  Sleep(30);
  button(true);
  button(false);
}

std::string menuText(HMENU menu, int position) {
  char text[128] = {};
  GetMenuStringA(menu, static_cast<UINT>(position), text, sizeof(text), MF_BYPOSITION);
  return text;
}

Pixels shoot(HWND window) { return vorlak::wintest::shoot(window, kWidth, kHeight); }

Pixels area(const Pixels& p, int left, int top, int right, int bottom) {
  Pixels out;
  if (p.empty()) return out;
  for (int y = top; y < bottom; ++y)
    for (int x = left; x < right; ++x) out.push_back(p[static_cast<size_t>(y * kWidth + x)]);
  return out;
}

// vorlak-snapshot's raw picture of a program.
Pixels reference(int program) {
  return rawPicture(
      std::string(VORLAK_PANEL_REFERENCES) + "/panel-" + std::to_string(program) + ".raw",
      static_cast<size_t>(kWidth * kHeight));
}

HWND makeHostWindow() {
  HWND w = CreateWindowExA(0, kHostClass, "Vorlak host", WS_POPUP | WS_VISIBLE | WS_CLIPCHILDREN,
                           kParentX, kParentY, kWidth, kHeight, nullptr, nullptr,
                           GetModuleHandleA(nullptr), nullptr);
  pump();
  return w;
}

HWND firstChild(HWND parent) {
  return parent && IsWindow(parent) ? GetWindow(parent, GW_CHILD) : nullptr;
}

class Win32PanelTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    WNDCLASSA windowClass{};
    windowClass.lpfnWndProc = DefWindowProcA;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
    windowClass.lpszClassName = kHostClass;
    RegisterClassA(&windowClass);
  }

  void SetUp() override {
    ledger = {};
    std::string error;
    auto module = Module::load(VORLAK_MODULE_PATH, &error);
    ASSERT_NE(module, nullptr) << error;
    moduleHandle = GetModuleHandleA("vorlak.dll");
    ASSERT_NE(moduleHandle, nullptr);
    ASSERT_TRUE(spyOn(moduleHandle));
    vorlak::host::LoadOptions options;
    options.callback = &hostCallback;
    plugin = Plugin::create(module, &error, options);
    ASSERT_NE(plugin, nullptr) << error;
    plugin->start(44100.0f, 512);
    parent = makeHostWindow();
    ASSERT_NE(parent, nullptr);
    openEditor();
  }

  void TearDown() override {
    onHostIdle = nullptr;
    button(false);
    button(false, true);
    SwapMouseButton(FALSE);
    if (plugin && !plugin->closed()) {
      plugin->dispatch(effEditClose);
      plugin->close();
    }
    if (IsWindow(parent)) DestroyWindow(parent);
    pump();
  }

  void openEditor(HWND in = nullptr) {
    in = in ? in : parent;
    ASSERT_EQ(plugin->dispatch(effEditOpen, 0, 0, in), 1);
    panel = firstChild(in);
    ASSERT_NE(panel, nullptr);
    idleFor(300);  // the first paint
  }

  // The host's loop: its messages, then the editor's idle.
  void idleFor(int ms) {
    for (int t = 0; t < ms; t += 5) {
      pump();
      plugin->dispatch(effEditIdle);
      Sleep(5);
    }
  }
  template <class Condition>
  bool idleUntil(Condition done) {
    for (int i = 0; i < 2000; ++i) {
      pump();
      plugin->dispatch(effEditIdle);
      if (done()) return true;
      Sleep(5);
    }
    return false;
  }

  // A quick click: press and release both happen before the editor looks.
  void click(int x, int y) {
    moveTo(x, y);
    button(true);
    button(false);
    idleFor(150);
  }

  std::vector<std::pair<VstInt32, float>> automations() const {
    std::vector<std::pair<VstInt32, float>> out;
    for (const HostCall& c : plugin->host().calls)
      if (c.opcode == audioMasterAutomate) out.emplace_back(c.index, c.opt);
    return out;
  }

  std::string className() const {
    char name[32];
    std::snprintf(name, sizeof(name), "Plugin%08x",
                  static_cast<unsigned>(reinterpret_cast<uintptr_t>(moduleHandle)));
    return name;
  }

  HMODULE moduleHandle = nullptr;
  std::unique_ptr<Plugin> plugin;
  HWND parent = nullptr;
  HWND panel = nullptr;
};

TEST_F(Win32PanelTest, ChildOfTheModulesClassShowsWhatTheSnapshotToolDraws) {
  char name[32] = {};
  GetClassNameA(panel, name, sizeof(name));
  EXPECT_EQ(name, className());
  RECT client{};
  GetClientRect(panel, &client);
  EXPECT_EQ(client.right, kWidth);
  EXPECT_EQ(client.bottom, kHeight);
  EXPECT_EQ(GetParent(panel), parent);
  EXPECT_EQ(GetWindowLongA(panel, GWL_STYLE) & (WS_CHILD | WS_VISIBLE), WS_CHILD | WS_VISIBLE);

  std::vector<Pixels> shown;
  for (int program : kPrograms) {
    SCOPED_TRACE(testing::Message() << "program " << program);
    plugin->dispatch(effEditClose);
    plugin->setProgram(program);
    openEditor();
    const Pixels expected = reference(program);
    ASSERT_FALSE(expected.empty()) << "no picture of vorlak-snapshot in " VORLAK_PANEL_REFERENCES;
    shown.push_back(shoot(panel));
    EXPECT_EQ(differing(shown.back(), expected), 0);
  }
  // The two programs' knobs, lamps and names differ in some five thousand pixels.
  EXPECT_GT(differing(shown[0], shown[1]), 2000);
}

TEST_F(Win32PanelTest, ToneDragAutomatesInsideItsEditBrackets) {
  const float before = plugin->parameter(3);
  const Pixels still = shoot(panel);
  plugin->host().clearCalls();
  User user([] {
    moveTo(145, 263);
    button(true);
    Sleep(60);
    for (int step = 1; step <= 4; ++step) {
      moveTo(145 + 10 * step, 263);
      Sleep(40);
    }
    Sleep(150);
    button(false);
  });
  ASSERT_TRUE(idleUntil([&] { return user.done(); }));
  idleFor(150);

  // 40 pixels right: a fifth of the range at half the range per 100 pixels.
  expectOneBracketedEdit(plugin->host().calls, 3, before + 0.2f);
  EXPECT_NEAR(plugin->parameter(3), before + 0.2f, 1e-5f);
  EXPECT_NE(area(shoot(panel), 126, 244, 164, 282), area(still, 126, 244, 164, 282));
}

TEST_F(Win32PanelTest, AmplifierChoiceAndEffectFromThePopupMenuFollowTheParameters) {
  const int amplifier = static_cast<int>(plugin->parameter(12) * 3.99f);
  const int other = amplifier == 2 ? 3 : 2;
  auto lamp = [](const Pixels& s, int choice) {
    return area(s, 20, 348 + 12 * choice, 30, 358 + 12 * choice);
  };
  plugin->setParameter(20, 0.0f);  // "Dry"
  idleFor(100);
  const Pixels before = shoot(panel);
  ASSERT_NE(lamp(before, amplifier), lamp(before, other));
  plugin->host().clearCalls();

  click(45, 348 + 12 * other + 5);

  // The effect list opens the system's menu under its text; the ninth entry is chosen.
  moveTo(180, 503);
  button(true);
  button(false);
  int entries = 0;
  std::string chosen;
  bool firstChecked = false;
  User user([&] {
    HMENU menu = openMenu();
    if (!menu) return;
    entries = GetMenuItemCount(menu);
    chosen = menuText(menu, 9);
    firstChecked = (GetMenuState(menu, 0, MF_BYPOSITION) & MF_CHECKED) != 0;
    clickEntry(menu, 9);
  });
  ASSERT_TRUE(idleUntil([&] { return user.done() && automations().size() >= 2; }));
  idleFor(150);

  EXPECT_EQ(entries, 16);
  EXPECT_EQ(chosen, "MST:Chorus");
  EXPECT_TRUE(firstChecked) << "the current entry, Dry, is shown checked";
  const std::vector<std::pair<VstInt32, float>> expected = {
      {12, static_cast<float>(other) * 0.33333334f}, {20, 9 * 0.06666667f}};
  EXPECT_EQ(automations(), expected);
  EXPECT_EQ(plugin->parameterDisplay(20), "MST:Chorus");
  const Pixels after = shoot(panel);
  EXPECT_EQ(lamp(after, other), lamp(before, amplifier));
  EXPECT_EQ(lamp(after, amplifier), lamp(before, other));
  EXPECT_NE(area(after, 113, 499, 256, 507), area(before, 113, 499, 256, 507));
}

// Hosts that swap the mouse buttons for a left-handed user: the physical right button is the
// logical left one, which drags the knob.
TEST_F(Win32PanelTest, SwappedButtonsDragWithTheLogicalLeftButton) {
  const float before = plugin->parameter(3);
  SwapMouseButton(TRUE);
  plugin->host().clearCalls();
  User user([] {
    moveTo(145, 263);
    button(true, true);
    Sleep(60);
    moveTo(165, 263);
    Sleep(200);
    button(false, true);
  });
  ASSERT_TRUE(idleUntil([&] { return user.done(); }));
  idleFor(150);
  SwapMouseButton(FALSE);
  EXPECT_NEAR(plugin->parameter(3), before + 0.1f, 1e-5f);
  EXPECT_EQ(plugin->host().count(audioMasterBeginEdit), 1);
  EXPECT_EQ(plugin->host().count(audioMasterEndEdit), 1);
}

TEST_F(Win32PanelTest, HostClosingTheEditorInsideADragEndsItCleanly) {
  plugin->host().clearCalls();
  onHostIdle = [this] { plugin->dispatch(effEditClose); };
  User user([] {
    moveTo(145, 263);
    button(true);
    Sleep(60);
    moveTo(165, 263);
    Sleep(300);
    button(false);
  });
  ASSERT_TRUE(idleUntil([&] { return user.done(); }));
  idleFor(150);
  EXPECT_EQ(onHostIdle, nullptr) << "the drag never asked the host for its idle";
  EXPECT_EQ(firstChild(parent), nullptr);
  EXPECT_EQ(plugin->host().count(audioMasterBeginEdit), 1);
  EXPECT_EQ(plugin->host().count(audioMasterEndEdit), 1);
  EXPECT_TRUE(nothingLeft());
  openEditor();
  EXPECT_NE(firstChild(parent), nullptr);
}

TEST_F(Win32PanelTest, HostCallOrdersLeaveNoWindowOrObjectBehind) {
  const Pixels first = shoot(panel);
  plugin->dispatch(effEditClose);

  // Hosts size their window before the panel exists, and idle whether it is open or not.
  plugin->dispatch(effEditIdle);
  ERect* rect = nullptr;
  ASSERT_EQ(plugin->dispatch(effEditGetRect, 0, 0, &rect), 1);
  ASSERT_NE(rect, nullptr);
  EXPECT_EQ(rect->right - rect->left, kWidth);
  EXPECT_EQ(rect->bottom - rect->top, kHeight);

  for (int i = 0; i < 50; ++i) {
    ASSERT_EQ(plugin->dispatch(effEditOpen, 0, 0, parent), 1);
    pump();
    plugin->dispatch(effEditIdle);
    plugin->dispatch(effEditClose);
    plugin->dispatch(effEditIdle);
  }
  EXPECT_EQ(firstChild(parent), nullptr);
  EXPECT_TRUE(nothingLeft());
  EXPECT_GE(ledger.windows.size(), 50u);
  EXPECT_GE(ledger.objects.size(), 100u);

  // Opened twice, the panel is there once; closed twice, it is gone.
  plugin->dispatch(effEditOpen, 0, 0, parent);
  plugin->dispatch(effEditOpen, 0, 0, parent);
  idleFor(20);
  EXPECT_NE(firstChild(parent), nullptr);
  EXPECT_EQ(GetWindow(firstChild(parent), GW_HWNDNEXT), nullptr);
  plugin->dispatch(effEditClose);
  plugin->dispatch(effEditClose);
  plugin->dispatch(effEditIdle);
  EXPECT_EQ(firstChild(parent), nullptr);

  // The window the panel lived in destroyed after the close, and before it.
  HWND other = makeHostWindow();
  plugin->dispatch(effEditOpen, 0, 0, other);
  idleFor(50);
  plugin->dispatch(effEditClose);
  DestroyWindow(other);
  idleFor(50);
  other = makeHostWindow();
  plugin->dispatch(effEditOpen, 0, 0, other);
  idleFor(50);
  DestroyWindow(other);
  idleFor(50);
  plugin->dispatch(effEditClose);
  plugin->dispatch(effEditIdle);
  EXPECT_TRUE(nothingLeft());
  WNDCLASSA windowClass;
  EXPECT_FALSE(GetClassInfoA(moduleHandle, className().c_str(), &windowClass))
      << "the window class outlived the last panel";

  // And the panel still opens and draws as it did at first.
  openEditor();
  EXPECT_EQ(differing(shoot(panel), first), 0);
}

// The binding's menu on its own: every kind of entry the toolkit hands it.
TEST(Win32Menu, EntriesBecomeTheSystemMenusOwn) {
  HWND owner = CreateWindowExA(0, "STATIC", "owner", WS_POPUP | WS_VISIBLE, kParentX, kParentY, 200,
                               100, nullptr, nullptr, nullptr, nullptr);
  ASSERT_NE(owner, nullptr);
  std::vector<MenuEntry> entries = {
      {"Effects", -1, MenuEntry::kTitle},
      {"One & only", 10},
      {"", -1, MenuEntry::kSeparator},
      {"Grey", -1, MenuEntry::kGreyed},
      {"Two", 20, MenuEntry::kItem, true},
      {"More", -1, MenuEntry::kSubmenuBegin},
      {"Three", 30},
      {"", -1, MenuEntry::kSubmenuEnd},
      {"Four", 40, MenuEntry::kItem, false, true},
  };
  struct Seen {
    int count = 0;
    std::vector<UINT> states;
    std::vector<std::string> texts;
    int subCount = 0;
    std::string subText;
  } seen;
  User user([&] {
    HMENU menu = openMenu();
    if (!menu) return;
    seen.count = GetMenuItemCount(menu);
    for (int i = 0; i < seen.count; ++i) {
      seen.states.push_back(GetMenuState(menu, static_cast<UINT>(i), MF_BYPOSITION));
      seen.texts.push_back(menuText(menu, i));
    }
    if (HMENU sub = GetSubMenu(menu, 5)) {
      seen.subCount = GetMenuItemCount(sub);
      seen.subText = menuText(sub, 0);
    }
    clickEntry(menu, 4);
  });
  const int chosen = vorlak::runWin32Menu(owner, entries, {kParentX + 10, kParentY + 10}, false);
  while (!user.done()) Sleep(5);
  EXPECT_EQ(chosen, 20);
  ASSERT_EQ(seen.count, 7);
  EXPECT_EQ(seen.texts[0], "Effects");
  EXPECT_TRUE(seen.states[0] & MF_DISABLED);
  EXPECT_FALSE(seen.states[0] & MF_GRAYED);
  EXPECT_EQ(seen.texts[1], "One && only");  // doubled, so shown as written
  EXPECT_FALSE(seen.states[1] & (MF_DISABLED | MF_GRAYED | MF_CHECKED));
  EXPECT_TRUE(seen.states[2] & MF_SEPARATOR);
  EXPECT_TRUE(seen.states[3] & MF_GRAYED);
  EXPECT_TRUE(seen.states[4] & MF_CHECKED);
  EXPECT_EQ(seen.subCount, 1);
  EXPECT_EQ(seen.subText, "Three");
  EXPECT_TRUE(seen.states[6] & MF_MENUBARBREAK);

  // Dismissed with Escape, the menu answers -1.
  User escape([] {
    if (openMenu()) key(VK_ESCAPE);
  });
  EXPECT_EQ(vorlak::runWin32Menu(owner, entries, {kParentX + 10, kParentY + 10}, false), -1);
  DestroyWindow(owner);
}

// The panel on a Windows desktop at 192 dpi, for a DPI-aware host: the host is told twice the
// size before opening, the window has it, and it shows exactly vorlak-snapshot's picture at
// scale 2 (down to the screen's edge). Wine reads the desktop's density when a program starts,
// so the test sets it in the prefix and runs itself again for the check, then restores it.
constexpr char kDpiChild[] = "VORLAK_DPI_CHILD";

void checkPanelAt192Dpi() {
  SetProcessDPIAware();
  WNDCLASSA windowClass{};
  windowClass.lpfnWndProc = DefWindowProcA;
  windowClass.hInstance = GetModuleHandleA(nullptr);
  windowClass.lpszClassName = kHostClass;
  RegisterClassA(&windowClass);
  std::string error;
  auto module = Module::load(VORLAK_MODULE_PATH, &error);
  ASSERT_NE(module, nullptr) << error;
  auto plugin = Plugin::create(module, &error, {});
  ASSERT_NE(plugin, nullptr) << error;
  plugin->start(44100.0f, 512);
  constexpr int kScaledWidth = 2 * kWidth, kScaledHeight = 2 * kHeight;
  HWND host = CreateWindowExA(0, kHostClass, "Vorlak host", WS_POPUP | WS_VISIBLE | WS_CLIPCHILDREN,
                              kParentX, kParentY, kScaledWidth, kScaledHeight, nullptr, nullptr,
                              GetModuleHandleA(nullptr), nullptr);
  ASSERT_NE(host, nullptr);
  pump();
  HDC dc = GetDC(host);
  const int dpi = GetDeviceCaps(dc, LOGPIXELSX);
  ReleaseDC(host, dc);
  ASSERT_EQ(dpi, 192) << "the prefix did not take the density";

  ERect* rect = nullptr;
  ASSERT_EQ(plugin->dispatch(effEditGetRect, 0, 0, &rect), 1);
  ASSERT_NE(rect, nullptr);
  EXPECT_EQ(rect->right - rect->left, kScaledWidth);
  EXPECT_EQ(rect->bottom - rect->top, kScaledHeight);
  ASSERT_EQ(plugin->dispatch(effEditOpen, 0, 0, host), 1);
  HWND panel = firstChild(host);
  ASSERT_NE(panel, nullptr);
  for (int t = 0; t < 400; t += 5) {
    pump();
    plugin->dispatch(effEditIdle);
    Sleep(5);
  }
  RECT client{};
  GetClientRect(panel, &client);
  EXPECT_EQ(client.right, kScaledWidth);
  EXPECT_EQ(client.bottom, kScaledHeight);

  const int visible = std::min(kScaledHeight, GetSystemMetrics(SM_CYSCREEN) - kParentY);
  const Pixels shown = vorlak::wintest::shoot(panel, kScaledWidth, visible);
  Pixels expected = rawPicture(VORLAK_PANEL_REFERENCES "/panel-0-2x.raw",
                               static_cast<size_t>(kScaledWidth * kScaledHeight));
  ASSERT_FALSE(expected.empty()) << "no picture of vorlak-snapshot --scale 2";
  expected.resize(static_cast<size_t>(kScaledWidth * visible));
  EXPECT_GT(visible, kScaledHeight / 2);
  EXPECT_EQ(differing(shown, expected), 0);

  plugin->dispatch(effEditClose);
  plugin->close();
  DestroyWindow(host);
  pump();
}

TEST(Win32Dpi, DesktopAt192DpiShowsThePanelAtTwiceItsSize) {
  if (GetEnvironmentVariableA(kDpiChild, nullptr, 0) > 0) {
    checkPanelAt192Dpi();
    return;
  }
  HKEY desktop = nullptr;
  ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, "Control Panel\\Desktop", 0, nullptr, 0,
                            KEY_READ | KEY_WRITE, nullptr, &desktop, nullptr),
            ERROR_SUCCESS);
  DWORD saved = 0, type = 0, size = sizeof saved;
  const bool had = RegQueryValueExA(desktop, "LogPixels", nullptr, &type,
                                    reinterpret_cast<BYTE*>(&saved), &size) == ERROR_SUCCESS &&
                   type == REG_DWORD;
  const DWORD dpi = 192;
  RegSetValueExA(desktop, "LogPixels", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&dpi),
                 sizeof dpi);
  char self[MAX_PATH] = {};
  GetModuleFileNameA(nullptr, self, MAX_PATH);
  std::string command = std::string("\"") + self + "\" --gtest_filter=Win32Dpi.*";
  SetEnvironmentVariableA(kDpiChild, "1");
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  const BOOL started = CreateProcessA(nullptr, command.data(), nullptr, nullptr, TRUE, 0, nullptr,
                                      nullptr, &startup, &process);
  SetEnvironmentVariableA(kDpiChild, nullptr);
  DWORD code = 1;
  if (started) {
    WaitForSingleObject(process.hProcess, 300000);
    GetExitCodeProcess(process.hProcess, &code);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
  }
  if (had)
    RegSetValueExA(desktop, "LogPixels", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&saved),
                   sizeof saved);
  else
    RegDeleteValueA(desktop, "LogPixels");
  RegCloseKey(desktop);
  ASSERT_TRUE(started);
  EXPECT_EQ(code, 0u);
}

}  // namespace
