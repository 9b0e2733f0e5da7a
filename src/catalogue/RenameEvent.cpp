// Ending an in-place edit of a banner's text renames its file and re-keys the banner.

#include "app/FrmMain.h"
#include "app/platform/MsgBox.h"
#include "app/platform/Names.h"
#include "app/platform/RuntimeError.h"
#include "catalogue/FileSystemObject.h"
#include "catalogue/MainModule.h"

namespace talvane {

namespace {

// The file name an edited text stands for: what the user left of the current name keeps
// that name's own bytes, so a name that is not valid UTF-8 keeps them through an edit.
std::string EditedFileName(const QString& text, std::string_view currentName) {
    std::string_view stem(currentName.size() >= 4 ? currentName.substr(0, currentName.size() - 4)
                                                  : currentName);
    return NameFromEditedText(text, stem) + ".bmp";
}

ListItem FindItem(ListView& list, const std::string& key) {
    ListItem item;
    ResumeNext([&] { item = list.ListItems()(key); });
    return item;
}

}  // namespace

void FrmMain::lvwBanners_AfterLabelEdit(int16_t& Cancel, const QString& NewString) {
    ListItem item = lvwBanners->SelectedItem();
    if (item.IsNothing()) {
        Cancel = 1;
        return;
    }
    const std::string key = item.Key();
    try {
        FileSystemObject fso;
        FsFile file = fso.GetFile(key);
        const std::string newName = EditedFileName(NewString, file.Name());
        if (file.Name() == newName) return;
        ListImage picture = ilsMain->ListImages()(key);  // found before the disk is touched
        file.SetName(newName);
        // From here on nothing may fail: the file has its new name, and the list shows it.
        // Whatever still goes by the new path belongs to a file that was gone (the rename
        // never replaces one): an entry whose file was deleted behind the list's back, or
        // the picture a removed entry left in the store.
        const std::string& newKey = file.Path();
        if (ListItem stale = FindItem(*lvwBanners, newKey); stale && !(stale == item))
            RemoveBanner(newKey);
        if (ilsMain->Has(newKey)) ilsMain->ListImages().Remove(newKey);
        picture.SetKey(newKey);
        item.SetKey(newKey);
        item.SetIcon(item.Key());
        item.SetSmallIcon(item.Key());
    } catch (const RuntimeError& error) {
        MsgBox(QStringLiteral("Error renaming file: ") + error.Description(), vbOKOnly | vbCritical,
               AppTitle());
        Cancel = 1;
        // A file that is gone takes its entry with it, if the entry is still there.
        if (error.Number() == errFileNotFound) ResumeNext([&] { RemoveBanner(key); });
    }
}

}  // namespace talvane
