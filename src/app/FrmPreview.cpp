#include "app/FrmPreview.h"

#include "app/platform/Screen.h"

namespace talvane {

FrmPreview::FrmPreview() : Form(vbFixedToolWindow), imgBanner(new ImageControl(Client())) {
    SetCaption(QStringLiteral("Banner Preview"));
    setAccessibleName(Caption());
    // A tool window beside the list: showing it leaves the keyboard where the user is.
    setAttribute(Qt::WA_ShowWithoutActivating);
    QPalette ground = palette();
    ground.setColor(QPalette::Window, Qt::black);
    setPalette(ground);
    setAutoFillBackground(true);
    // A fixed client area of 1470 x 600 twips.
    SetFixedClientSize(QSize(TwipsToPixels(1470), TwipsToPixels(600)));

    imgBanner->setGeometry(TwipsToPixels(480), TwipsToPixels(120), TwipsToPixels(540),
                           TwipsToPixels(360));
    imgBanner->SetStretch(true);
    imgBanner->setAccessibleName(QStringLiteral("Banner"));
    imgBanner->setAccessibleDescription(
        QStringLiteral("The banner last clicked, three times enlarged"));
}

}  // namespace talvane
