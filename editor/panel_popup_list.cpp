#include "editor/panel_popup_list.h"

namespace vorlak {

void PanelPopupList::draw(Painter&) { setDirty(false); }

}  // namespace vorlak
