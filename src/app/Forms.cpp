// The program's two forms, each loaded when it is first referred to.

#include "app/FrmMain.h"
#include "app/FrmPreview.h"

namespace talvane {

namespace {
FormSlot<FrmMain> gMain;
FormSlot<FrmPreview> gPreview;
}  // namespace

FrmMain& frmMain() { return gMain.Get(); }
bool IsFrmMainLoaded() { return gMain.IsLoaded(); }

FrmPreview& frmPreview() { return gPreview.Get(); }
bool IsFrmPreviewLoaded() { return gPreview.IsLoaded(); }

}  // namespace talvane
