#pragma once
// The main window: the banner list, the hidden picture loader, the status bar, the image
// store, and the File and View menus. Its handlers hand their work to the modules.

#include <array>
#include <cstdint>

#include "app/platform/Form.h"
#include "app/platform/ImageList.h"
#include "app/platform/ListView.h"
#include "app/platform/PictureControls.h"
#include "app/platform/StatusBar.h"

class QAction;
class QMenu;
class QMenuBar;

namespace talvane {

class FrmMain : public Form {
    Q_OBJECT
public:
    FrmMain();

    ListView* lvwBanners;
    PictureBox* picBanner;
    StatusBar* sbStatusBar;
    ImageList* ilsMain;

    QMenuBar* menuBar;
    QMenu* mnuFile;
    QAction* mnuNew;
    QAction* mnuRefresh;
    QAction* mnuBar;
    QAction* mnuRename;
    QAction* mnuDelete;
    QAction* mnuBar1;
    QAction* mnuExit;
    QMenu* mnuView;
    QAction* mnuPreview;
    QAction* mnuBar2;
    std::array<QAction*, 4> mnuLView;
    // The list's context menu: the commands on one banner.
    QMenu* mnuPopup;
    QAction* mnuPopupOpen;
    QAction* mnuPopupRename;
    QAction* mnuPopupDelete;

    void Form_Load() override;
    void Form_Resize() override;
    void Form_QueryUnload(int16_t& Cancel, int16_t UnloadMode) override;

    void mnuNew_Click();
    void mnuRefresh_Click();
    void mnuRename_Click();
    void mnuDelete_Click();
    void mnuExit_Click();
    void mnuPreview_Click();
    void mnuLView_Click(int16_t Index);

    void lvwBanners_ItemClick(ListItem Item);
    void lvwBanners_DblClick();
    void lvwBanners_AfterLabelEdit(int16_t& Cancel, const QString& NewString);
    void lvwBanners_ContextMenu(const QPoint& globalPos);

protected:
    void DockControls() override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    void CreateControls();
    void CreateMenus();
    void EndLabelEditFirst();
    // A command from a menu: an open edit ends first, then `handler` runs as an event.
    void RunCommand(void (FrmMain::*handler)());
};

// The main window, loaded (hidden) when it is referred to while not loaded.
FrmMain& frmMain();
bool IsFrmMainLoaded();

}  // namespace talvane
