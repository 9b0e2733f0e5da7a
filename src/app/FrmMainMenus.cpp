// The File and View menus of the main window and their commands.

#include <QAction>
#include <QEvent>
#include <QMenu>
#include <QMenuBar>

#include "app/FrmMain.h"
#include "app/FrmPreview.h"
#include "app/platform/MsgBox.h"
#include "catalogue/MainModule.h"

namespace talvane {

namespace {

// Gives the keyboard back to the main window when a modal dialog it was waiting for (the
// folder dialog, a message box) closes. A window manager usually does so; without one the
// keys would go to whichever window lies under the pointer, and neither the menus' access
// keys nor F5 and Del would reach this window.
class KeyboardReturn : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::WindowUnblocked) {
            auto* window = static_cast<QWidget*>(watched);
            if (window->isVisible() && !window->isMinimized()) window->activateWindow();
        }
        return false;
    }
};

}  // namespace

void FrmMain::CreateMenus() {
    menuBar = new QMenuBar(this);
    SetMenuBar(menuBar);

    auto command = [this](QMenu* menu, const QString& caption, void (FrmMain::*handler)(),
                          bool scans = false) {
        QAction* action = menu->addAction(caption);
        connect(action, &QAction::triggered, this, [this, handler, scans] {
            if (scans) {
                EndLabelEditFirst();
                RunReportingScanFailure([&] { (this->*handler)(); });
            } else {
                RunCommand(handler);
            }
        });
        return action;
    };

    mnuFile = menuBar->addMenu(QStringLiteral("&File"));
    mnuNew = command(mnuFile, QStringLiteral("Browse New Folder..."), &FrmMain::mnuNew_Click, true);
    mnuRefresh = command(mnuFile, QStringLiteral("&Refresh"), &FrmMain::mnuRefresh_Click, true);
    mnuRefresh->setShortcut(QKeySequence(Qt::Key_F5));
    mnuBar = mnuFile->addSeparator();
    mnuRename = command(mnuFile, QStringLiteral("R&ename"), &FrmMain::mnuRename_Click);
    mnuDelete = command(mnuFile, QStringLiteral("&Delete"), &FrmMain::mnuDelete_Click);
    mnuDelete->setShortcut(QKeySequence(Qt::Key_Delete));
    mnuBar1 = mnuFile->addSeparator();
    mnuExit = command(mnuFile, QStringLiteral("E&xit"), &FrmMain::mnuExit_Click);

    mnuView = menuBar->addMenu(QStringLiteral("&View"));
    mnuPreview = command(mnuView, QStringLiteral("&Preview"), &FrmMain::mnuPreview_Click);
    mnuBar2 = mnuView->addSeparator();
    const QString viewCaptions[4] = {QStringLiteral("Large Icons"), QStringLiteral("S&mall Icons"),
                                     QStringLiteral("&List"), QStringLiteral("&Details")};
    for (int16_t index = 0; index < 4; ++index) {
        QAction* action = mnuView->addAction(viewCaptions[index]);
        action->setCheckable(true);
        action->setChecked(index == lvwSmallIcon);
        connect(action, &QAction::triggered, this, [this, index] {
            EndLabelEditFirst();
            RunEventHandler([&] { mnuLView_Click(index); });
        });
        mnuLView[static_cast<size_t>(index)] = action;
    }
    // What a right click, the Menu key or Shift+F10 offers on a banner: what a double
    // click does, and the File menu's commands on it.
    mnuPopup = new QMenu(this);
    mnuPopupOpen = command(mnuPopup, QStringLiteral("&Open"), &FrmMain::lvwBanners_DblClick);
    mnuPopup->setDefaultAction(mnuPopupOpen);
    mnuPopup->addSeparator();
    mnuPopupRename = command(mnuPopup, QStringLiteral("R&ename"), &FrmMain::mnuRename_Click);
    mnuPopupDelete = command(mnuPopup, QStringLiteral("&Delete"), &FrmMain::mnuDelete_Click);
    lvwBanners->ContextMenu = [this](const QPoint& at) { lvwBanners_ContextMenu(at); };

    // The shortcuts work wherever the focus is in this window.
    for (QAction* action : {mnuRefresh, mnuDelete}) {
        action->setShortcutContext(Qt::WindowShortcut);
        addAction(action);
    }
    installEventFilter(new KeyboardReturn(this));
}

void FrmMain::EndLabelEditFirst() {
    // A command acts on the list as it is: an open in-place edit ends first, as a click
    // elsewhere ends it, rather than while the command's own question is up.
    RunEventHandler([&] { lvwBanners->EndLabelEdit(); });
}

void FrmMain::RunCommand(void (FrmMain::*handler)()) {
    const bool onBanner = handler == &FrmMain::mnuDelete_Click ||
                          handler == &FrmMain::mnuRename_Click ||
                          handler == &FrmMain::lvwBanners_DblClick;
    const ListItem chosen = lvwBanners->SelectedItem();
    EndLabelEditFirst();
    // The edit may have ended with its entry gone, its file being gone, and the selection
    // moved on: the command was meant for the banner that went, never for its neighbour.
    if (onBanner && !(lvwBanners->SelectedItem() == chosen)) return;
    RunEventHandler([&] { (this->*handler)(); });
}

void FrmMain::lvwBanners_ContextMenu(const QPoint& globalPos) { mnuPopup->popup(globalPos); }

void FrmMain::mnuNew_Click() { LoadBanners(""); }

void FrmMain::mnuRefresh_Click() { LoadBanners(lvwBanners->Tag()); }

void FrmMain::mnuRename_Click() {
    if (!lvwBanners->SelectedItem().IsNothing()) lvwBanners->StartLabelEdit();
}

void FrmMain::mnuExit_Click() { Unload(*this); }

void FrmMain::mnuPreview_Click() { frmPreview().Show(this); }

void FrmMain::mnuLView_Click(int16_t Index) {
    for (uint8_t i = 0; i <= 3; ++i) {
        if (i == Index) {
            mnuLView[i]->setChecked(true);
            lvwBanners->SetView(static_cast<int32_t>(Index));
        } else {
            mnuLView[i]->setChecked(false);
        }
    }
}

}  // namespace talvane
