// A list of choices shown as a native popup menu on click. Entry texts may start with a
// marker: "-" alone is a separator, "-T" a title, "-G" a greyed entry and "-M" an entry that
// opens the next sub-list. The value is the chosen entry's number (not normalised).
#pragma once

#include <string>
#include <vector>

#include "editor/platform/platform.h"
#include "editor/toolkit/value_display.h"

namespace vorlak {

class PopupList : public ValueDisplay {
 public:
  static constexpr int kMaxEntries = 1024;
  static constexpr int kMaxEntryLength = 255;

  PopupList(const Rect& size, ControlListener* listener, int32_t tag, Pixmap* background,
            Pixmap* highlight, int style);
  ~PopupList() override;

  void draw(Painter& painter) override;
  void mouse(Painter& painter, Point where) override;
  // (int)v outside the entries is ignored; otherwise it becomes the current entry.
  void setValue(float v) override;

  // position -1 appends; 0 or more inserts there (at most at the end).
  virtual bool addEntry(const char* text, int position = -1);
  // Adds the entry "-M" + text; the list is remembered until this one goes.
  virtual bool addSubList(PopupList* list, const char* text);
  // With countSeparators the position in the list, else the number of entries before it that
  // are neither separators nor titles; -1 while empty. text (may be null) receives at most
  // 256 bytes.
  virtual int getCurrent(char* text = nullptr, bool countSeparators = true) const;
  virtual bool setCurrent(int index, bool countSeparators = true);
  virtual bool getEntry(int index, char* text) const;
  virtual bool setEntry(int index, const char* text);
  virtual bool removeEntry(int index);
  virtual void removeAll();
  virtual int count() const { return static_cast<int>(entries.size()); }
  virtual int indexOf(const char* text) const;
  virtual bool setChecked(int index, bool flag);
  virtual bool checkOnly(int index);
  virtual bool isChecked(int index) const;
  virtual void setItemsPerColumn(int items) { itemsPerColumn = items; }
  virtual int getItemsPerColumn() const { return itemsPerColumn; }
  virtual bool isOwnerDrawn() const { return ownerDrawn; }

  const std::string& entry(int index) const { return entries[static_cast<size_t>(index)]; }
  int getLastButtons() const { return lastButtons; }
  int getLastChosenId() const { return lastChosenId; }
  int subListCount() const { return static_cast<int>(subLists.size()); }
  // The menu as it is shown: ids count through this list's entries, then depth first
  // through the sub-lists.
  std::vector<MenuEntry> buildMenu() const;

 protected:
  // Entries in this list and all its sub-lists.
  int totalCount(int depth = 0) const;
  void appendMenu(std::vector<MenuEntry>& menu, int base, int depth) const;
  // The list holding id (counted as buildMenu does) and the position in it.
  PopupList* locate(int& id, int depth = 0);

  Pixmap* highlight;
  std::vector<std::string> entries;
  std::vector<bool> checked;
  std::vector<PopupList*> subLists;
  Relaxed<int> currentIndex = -1;  // set from any thread through the panel
  int lastButtons = 0;
  int itemsPerColumn = -1;
  int lastChosenId = -1;
  bool ownerDrawn = false;
};

}  // namespace vorlak
