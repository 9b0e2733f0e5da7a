#include "app/FrmMain.h"

#include <QAbstractItemView>

#include "app/FrmPreview.h"
#include "app/platform/EventHandler.h"
#include "app/platform/MsgBox.h"
#include "app/platform/RuntimeError.h"
#include "app/platform/Screen.h"

namespace talvane {

FrmMain::FrmMain() : Form(vbSizable) {
    SetCaption(QStringLiteral("Talvane"));
    setAccessibleName(Caption());
    setWindowIcon(AppIcon());
    CreateControls();
    CreateMenus();
    // A folder dragged from a file manager.
    setAcceptDrops(true);
}

void FrmMain::CreateControls() {
    QWidget* client = Client();

    lvwBanners = new ListView(client);
    lvwBanners->setAccessibleName(QStringLiteral("Banners"));
    // A screen reader meets the view itself, in every mode: it carries the name too.
    for (QAbstractItemView* view : lvwBanners->findChildren<QAbstractItemView*>())
        view->setAccessibleName(lvwBanners->accessibleName());
    ilsMain = new ImageList(12, 8, this);
    lvwBanners->SetView(lvwSmallIcon);
    lvwBanners->SetIcons(ilsMain);
    lvwBanners->SetSmallIcons(ilsMain);
    lvwBanners->AddColumnHeader(QStringLiteral("Banners"), 3000);

    // The picture loader lies wholly left of the client area: it is never seen.
    picBanner = new PictureBox(client);
    picBanner->setGeometry(TwipsToPixels(-6060), TwipsToPixels(3300), TwipsToPixels(495),
                           TwipsToPixels(255));

    sbStatusBar = new StatusBar(client);
    sbStatusBar->AddPanel(QStringLiteral("Status"), QStringLiteral("Ready"), QString(), sbrSpring,
                          1440);
    sbStatusBar->AddPanel(QStringLiteral("Path"), QString(), QStringLiteral("Selected Item"),
                          sbrSpring, 1440);
    sbStatusBar->AddPanel(QStringLiteral("Count"), QString(), QString(), sbrContents, 1440);

    setTabOrder(lvwBanners, picBanner);
    setTabOrder(picBanner, sbStatusBar);
    picBanner->setFocusPolicy(Qt::NoFocus);
    sbStatusBar->setFocusPolicy(Qt::NoFocus);

    lvwBanners->ItemClick = [this](ListItem item) {
        RunEventHandler([&] { lvwBanners_ItemClick(item); });
    };
    lvwBanners->DblClick = [this] { RunEventHandler([&] { lvwBanners_DblClick(); }); };
    lvwBanners->AfterLabelEdit = [this](int16_t& cancel, const QString& newString) {
        RunEventHandler([&] { lvwBanners_AfterLabelEdit(cancel, newString); });
    };
}

void FrmMain::DockControls() {
    // The status bar keeps itself along the bottom edge, as wide as the client area.
    QWidget* client = Client();
    int height = sbStatusBar->BarHeight();
    sbStatusBar->setGeometry(0, client->height() - height, client->width(), height);
}

void FrmMain::Form_Load() {
    SetWidth(float(double(Screen::Width()) * 0.85));
    SetHeight(float(double(Screen::Height()) * 0.8));
}

void FrmMain::Form_Resize() {
    ResumeNext([&] { lvwBanners->SetWidth(ScaleWidth()); });
    ResumeNext([&] { lvwBanners->SetHeight(ScaleHeight() - (sbStatusBar->Height() + 30)); });
}

void FrmMain::Form_QueryUnload(int16_t&, int16_t) {
    ResumeNext([&] { Hide(); });
    ResumeNext([&] {
        if (IsFrmPreviewLoaded()) Unload(frmPreview());
    });
    ResumeNext([&] { lvwBanners->ListItems().Clear(); });
    ResumeNext([&] { lvwBanners->SetIcons(nullptr); });
    ResumeNext([&] { lvwBanners->SetSmallIcons(nullptr); });
    ResumeNext([&] { ilsMain->ListImages().Clear(); });
}

}  // namespace talvane
