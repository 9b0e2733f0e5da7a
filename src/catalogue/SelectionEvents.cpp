// A click on a banner previews it; a double click opens it in its associated program.

#include "app/FrmMain.h"
#include "app/platform/Names.h"
#include "app/platform/RuntimeError.h"
#include "catalogue/MainModule.h"
#include "shell/ShellExeModule.h"

namespace talvane {

void FrmMain::lvwBanners_ItemClick(ListItem Item) {
    ShowPreview(Item.Key());
    SetStatusText(DisplayName(Item.Key()), 2);
}

void FrmMain::lvwBanners_DblClick() {
    // Every statement is attempted; a failing one is passed over without a word.
    ListItem item;
    ResumeNext([&] { item = lvwBanners->SelectedItem(); });
    if (item.IsNothing()) return;
    ResumeNext([&] { ShellOpen(item.Key(), hWnd(), true); });
}

}  // namespace talvane
