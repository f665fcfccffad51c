// The panel's choice lists: a popup list that draws nothing, because the bitmap text view
// beneath it shows the current choice. A click in its rectangle still opens the menu.
#pragma once

#include "editor/toolkit/popup_list.h"

namespace vorlak {

class PanelPopupList : public PopupList {
 public:
  using PopupList::PopupList;

  void draw(Painter& painter) override;
};

}  // namespace vorlak
