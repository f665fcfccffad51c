#include "editor/toolkit/popup_list.h"

#include <algorithm>
#include <cstring>

#include "editor/toolkit/painter.h"
#include "editor/toolkit/pixmap.h"
#include "editor/toolkit/root_frame.h"
#include "editor/toolkit/ui_scale.h"

namespace vorlak {

namespace {

// A list may hold itself further down; menus stop there instead of recursing for ever.
constexpr int kMaxDepth = 16;
constexpr int kColumnsUpTo = 160;

bool isSeparator(const std::string& s) { return s == "-"; }
bool hasMarker(const std::string& s, char marker) {
  return s.size() >= 2 && s[0] == '-' && s[1] == marker;
}
bool isTitle(const std::string& s) { return hasMarker(s, 'T'); }
bool isSubList(const std::string& s) { return hasMarker(s, 'M'); }
bool countsAsChoice(const std::string& s) { return !isSeparator(s) && !isTitle(s); }

std::string cut(const char* text) {
  if (!text) return {};
  return std::string(text, strnlen(text, PopupList::kMaxEntryLength));
}

void copyOut(const std::string& from, char* text) {
  if (!text) return;
  const size_t n = std::min<size_t>(from.size(), PopupList::kMaxEntryLength);
  std::memcpy(text, from.data(), n);
  text[n] = '\0';
}

}  // namespace

PopupList::PopupList(const Rect& size, ControlListener* listener, int32_t tag, Pixmap* background,
                     Pixmap* highlight, int style)
    : ValueDisplay(size, listener, tag, background, style), highlight(highlight) {
  if (highlight) highlight->remember();
}

PopupList::~PopupList() {
  for (PopupList* list : subLists) list->forget();
  if (highlight) highlight->forget();
}

bool PopupList::addEntry(const char* text, int position) {
  if (count() >= kMaxEntries) return false;
  const bool first = entries.empty();
  if (position < 0 || position >= count()) {
    entries.push_back(cut(text));
    checked.push_back(false);
  } else {
    entries.insert(entries.begin() + position, cut(text));
    checked.insert(checked.begin() + position, false);
    if (currentIndex >= position) ++currentIndex;
  }
  if (first) currentIndex = 0;
  return true;
}

bool PopupList::addSubList(PopupList* list, const char* text) {
  if (!list || list == this) return false;
  const std::string marked = "-M" + cut(text);
  if (!addEntry(marked.c_str())) return false;
  list->remember();
  subLists.push_back(list);
  return true;
}

int PopupList::getCurrent(char* text, bool countSeparators) const {
  if (currentIndex < 0 || currentIndex >= count()) {
    if (text) text[0] = '\0';
    return -1;
  }
  copyOut(entries[static_cast<size_t>(currentIndex)], text);
  if (countSeparators) return currentIndex;
  return static_cast<int>(
      std::count_if(entries.begin(), entries.begin() + currentIndex, countsAsChoice));
}

bool PopupList::setCurrent(int index, bool countSeparators) {
  if (index < 0 || index >= count()) return false;
  if (countSeparators) {
    if (isSeparator(entries[static_cast<size_t>(index)])) return false;
    currentIndex = index;
  } else {
    int position = 0;
    for (int remaining = index;; ++position) {
      if (position >= count()) return false;
      if (!countsAsChoice(entries[static_cast<size_t>(position)])) continue;
      if (remaining-- == 0) break;
    }
    currentIndex = position;
  }
  setDirty(true);
  return true;
}

void PopupList::setValue(float v) {
  if (!(v > -1.0f && v < static_cast<float>(count()))) return;
  const int index = static_cast<int>(v);
  currentIndex = index;
  if (style & kCheckEach)
    checked[static_cast<size_t>(index)] = !checked[static_cast<size_t>(index)];
  value = v;
  setDirty(true);
}

bool PopupList::getEntry(int index, char* text) const {
  if (index < 0 || index >= count()) return false;
  copyOut(entries[static_cast<size_t>(index)], text);
  return true;
}

bool PopupList::setEntry(int index, const char* text) {
  if (index < 0 || index >= count()) return false;
  entries[static_cast<size_t>(index)] = cut(text);
  return true;
}

bool PopupList::removeEntry(int index) {
  if (index < 0 || index >= count()) return false;
  if (isSubList(entries[static_cast<size_t>(index)])) {
    // The k-th sub-list entry opens the k-th sub-list: drop that one with it.
    const auto k = std::count_if(entries.begin(), entries.begin() + index,
                                 [](const std::string& s) { return isSubList(s); });
    if (k < static_cast<long>(subLists.size())) {
      subLists[static_cast<size_t>(k)]->forget();
      subLists.erase(subLists.begin() + k);
    }
  }
  entries.erase(entries.begin() + index);
  checked.erase(checked.begin() + index);
  if (currentIndex > index || currentIndex >= count()) --currentIndex;
  return true;
}

void PopupList::removeAll() {
  entries.clear();
  checked.clear();
  for (PopupList* list : subLists) list->forget();
  subLists.clear();
  currentIndex = -1;
}

int PopupList::indexOf(const char* text) const {
  if (!text) return -1;
  const auto found = std::find(entries.begin(), entries.end(), cut(text));
  return found == entries.end() ? -1 : static_cast<int>(found - entries.begin());
}

bool PopupList::setChecked(int index, bool flag) {
  if (index < 0 || index >= count()) return false;
  checked[static_cast<size_t>(index)] = flag;
  return true;
}

bool PopupList::checkOnly(int index) {
  if (index < 0 || index >= count()) return false;
  std::fill(checked.begin(), checked.end(), false);
  checked[static_cast<size_t>(index)] = true;
  return true;
}

bool PopupList::isChecked(int index) const {
  return index >= 0 && index < count() && checked[static_cast<size_t>(index)];
}

int PopupList::totalCount(int depth) const {
  int total = count();
  if (depth < kMaxDepth)
    for (const PopupList* list : subLists) total += list->totalCount(depth + 1);
  return total;
}

void PopupList::appendMenu(std::vector<MenuEntry>& menu, int base, int depth) const {
  int childBase = base + count();
  size_t nextSubList = 0;
  const bool columns = itemsPerColumn > 0 && count() < kColumnsUpTo;
  for (int i = 0; i < count(); ++i) {
    const std::string& text = entries[static_cast<size_t>(i)];
    MenuEntry item;
    item.id = base + i;
    item.columnBreak = columns && i > 0 && i % itemsPerColumn == 0;
    if (isSeparator(text)) {
      item.kind = MenuEntry::kSeparator;
      item.id = -1;
    } else if (isSubList(text)) {
      if (nextSubList >= subLists.size() || depth >= kMaxDepth) continue;
      const PopupList* list = subLists[nextSubList++];
      item.kind = MenuEntry::kSubmenuBegin;
      item.text = text.substr(2);
      item.id = -1;
      menu.push_back(item);
      list->appendMenu(menu, childBase, depth + 1);
      childBase += list->totalCount(depth + 1);
      menu.push_back({{}, -1, MenuEntry::kSubmenuEnd, false, false});
      continue;
    } else if (hasMarker(text, 'G')) {
      item.kind = MenuEntry::kGreyed;
      item.text = text.substr(2);
    } else if (isTitle(text)) {
      item.kind = MenuEntry::kTitle;
      item.text = text.substr(2);
    } else {
      item.text = text;
      item.checked =
          checked[static_cast<size_t>(i)] || ((style & kCheckCurrent) && i == currentIndex);
    }
    menu.push_back(item);
  }
}

std::vector<MenuEntry> PopupList::buildMenu() const {
  std::vector<MenuEntry> menu;
  appendMenu(menu, 0, 0);
  return menu;
}

PopupList* PopupList::locate(int& id, int depth) {
  if (id < 0) return nullptr;
  if (id < count()) return this;
  id -= count();
  if (depth >= kMaxDepth) return nullptr;
  for (PopupList* list : subLists)
    if (PopupList* holder = list->locate(id, depth + 1)) return holder;
  return nullptr;
}

void PopupList::draw(Painter& painter) {
  char text[kTextSize];
  getCurrent(text, true);
  drawText(painter, text, nullptr);
}

void PopupList::mouse(Painter& painter, Point) {
  if (!isInputEnabled() || !parentFrame) return;
  lastButtons = painter.getMouseButtons();
  if (!(lastButtons & (kLeftButton | kRightButton))) return;
  if (highlight) {
    char text[kTextSize];
    getCurrent(text, true);
    drawText(painter, text, highlight);
  }
  parentFrame->setFocusWidget(this);
  takeFocus(&painter);

  lastChosenId = -1;
  const std::vector<MenuEntry> menu = buildMenu();
  NativeWindow* window = parentFrame->window();
  if (window && window->alive()) {
    // The window places menus in its device pixels.
    const Point at{scaledLength(size.left, parentFrame->scale()),
                   scaledLength(style & kMenuAtTop ? size.top : size.bottom, parentFrame->scale())};
    lastChosenId = window->popupMenu(menu, at, (lastButtons & kRightButton) != 0);
  }
  parentFrame->setFocusWidget(nullptr);

  if (lastChosenId < 0 && !highlight) return;
  int position = lastChosenId;
  if (PopupList* holder = locate(position)) {
    holder->setValue(static_cast<float>(position));
    if (listener) listener->valueChanged(&painter, holder);
  }
  idleStep();
  setDirty(false);
}

}  // namespace vorlak
