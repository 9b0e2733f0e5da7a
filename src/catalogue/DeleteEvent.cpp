// File > Delete: deletes the selected banner's file after the user confirms.

#include "app/FrmMain.h"
#include "app/platform/Kill.h"
#include "app/platform/MsgBox.h"
#include "app/platform/RuntimeError.h"
#include "catalogue/MainModule.h"

namespace talvane {

void FrmMain::mnuDelete_Click() {
    ListItem item = lvwBanners->SelectedItem();
    if (item.IsNothing()) return;
    std::string key;
    try {
        key = item.Key();
        int answer =
            MsgBox(QStringLiteral("You are sure you wish to delete the banner named ") +
                       item.Text() + QStringLiteral(".bmp?"),
                   vbYesNo | vbQuestion | vbDefaultButton1, QStringLiteral("Confirm Deletion"));
        if (answer != vbYes) return;
        Kill(key);
        RemoveBanner(key);
    } catch (const RuntimeError& error) {
        MsgBox(QStringLiteral("Error deleting file: ") + error.Description(), vbOKOnly | vbCritical,
               AppTitle());
        // A file that is already gone leaves the list as if the deletion had worked (if its
        // entry is still there to take out).
        if (error.Number() == errFileNotFound) ResumeNext([&] { RemoveBanner(key); });
    }
}

}  // namespace talvane
