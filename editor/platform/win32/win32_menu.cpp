// The popup menu: the system's own, built from the entries for one showing and tracked until
// an entry is chosen or the menu is dismissed.
#include <string>

#include "editor/platform/win32/win32_window.h"

namespace vorlak {

namespace {

// An ampersand would otherwise underline the character after it.
std::string menuText(const std::string& text) {
  std::string out;
  for (char c : text) {
    out += c;
    if (c == '&') out += '&';
  }
  return out;
}

// Command 0 means "nothing chosen", so an entry's id is shifted up by one.
UINT_PTR commandOf(int id) { return id >= 0 ? static_cast<UINT_PTR>(id) + 1 : 0; }

}  // namespace

int runWin32Menu(HWND window, const std::vector<MenuEntry>& entries, POINT at, bool rightButton) {
  HMENU root = CreatePopupMenu();
  if (!root) return -1;
  std::vector<HMENU> open{root};
  for (const MenuEntry& e : entries) {
    HMENU menu = open.back();
    // A break before a menu's first entry would only open an empty column.
    const UINT column = e.columnBreak && GetMenuItemCount(menu) > 0 ? MF_MENUBARBREAK : 0;
    const std::string text = menuText(e.text);
    switch (e.kind) {
      case MenuEntry::kSubmenuBegin: {
        HMENU sub = CreatePopupMenu();
        if (!sub) break;
        if (!AppendMenuA(menu, column | MF_POPUP | MF_STRING, reinterpret_cast<UINT_PTR>(sub),
                         text.c_str())) {
          DestroyMenu(sub);
          break;
        }
        open.push_back(sub);
        break;
      }
      case MenuEntry::kSubmenuEnd:
        if (open.size() > 1) open.pop_back();
        break;
      case MenuEntry::kSeparator:
        AppendMenuA(menu, column | MF_SEPARATOR, 0, nullptr);
        break;
      case MenuEntry::kTitle:
        AppendMenuA(menu, column | MF_STRING | MF_DISABLED, 0, text.c_str());
        break;
      case MenuEntry::kGreyed:
        AppendMenuA(menu, column | MF_STRING | MF_GRAYED, 0, text.c_str());
        break;
      case MenuEntry::kItem:
        AppendMenuA(menu, column | MF_STRING | (e.checked ? MF_CHECKED : MF_UNCHECKED),
                    commandOf(e.id), text.c_str());
        break;
    }
  }
  const UINT flags = TPM_LEFTALIGN | TPM_TOPALIGN | TPM_RETURNCMD | TPM_NONOTIFY |
                     (rightButton ? TPM_RIGHTBUTTON : TPM_LEFTBUTTON);
  const int command = TrackPopupMenu(root, flags, at.x, at.y, 0, window, nullptr);
  DestroyMenu(root);  // with its submenus
  return command > 0 ? command - 1 : -1;
}

}  // namespace vorlak
