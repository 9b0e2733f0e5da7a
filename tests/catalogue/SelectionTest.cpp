// Clicking a banner: its picture three times enlarged, pixel-sharp, in the preview window,
// and its full path in the status bar; what a closed preview window and a new scan do to both.

#include <QAbstractItemView>
#include <QAccessible>
#include <QAction>
#include <QApplication>
#include <QImage>
#include <QLineEdit>
#include <QMenu>
#include <QTest>
#include <QWindow>

#include "support/ProgramFixture.h"

namespace talvane::test {
namespace {

class SelectionTest : public ProgramTest {
protected:
    // Lists a folder of three banners whose pictures come from seeds 1 to 3.
    void StartWithThree() { StartOnBanners(folder, {"One.bmp", "Two.bmp", "Three.bmp"}); }
    QString PathOf(const std::string& name) { return QString::fromStdString(folder / name); }
    static QImage Shown() { return frmPreview().imgBanner->Picture(); }
    // A right click on `text`'s entry (or on no entry) the way the windowing system delivers
    // it to the main window.
    void RightClick(const QString& text) {
        Flush();
        QPoint at(View()->viewport()->width() - 2, View()->viewport()->height() - 2);
        if (!text.isEmpty()) {
            QModelIndex index = RowWithText(View()->model(), text);
            ASSERT_TRUE(index.isValid()) << "no entry " << text.toStdString();
            at = View()->visualRect(index).center();
        }
        ActivateMain();
        QTest::mouseClick(Main().windowHandle(), Qt::RightButton, Qt::NoModifier,
                          View()->viewport()->mapTo(&Main(), at));
        Flush();
    }
    // The context menu that is up, if one is.
    static QMenu* Popup() {
        for (QWidget* widget : QApplication::topLevelWidgets())
            if (auto* menu = qobject_cast<QMenu*>(widget); menu && menu->isVisible()) return menu;
        return nullptr;
    }
    static QString PreviewName() {
        return QAccessible::queryAccessibleInterface(frmPreview().imgBanner)
            ->text(QAccessible::Name);
    }

    TempFolder folder;
};

// Every `scale` x `scale` block of `shown` is one colour, that of the banner's pixel; the
// first mismatch is described, or "" when there is none.
std::string FirstBlurredPixel(const QImage& shown, const QImage& banner, int scale) {
    if (shown.size() != banner.size() * scale)
        return QStringLiteral("size %1x%2").arg(shown.width()).arg(shown.height()).toStdString();
    for (int y = 0; y < shown.height(); ++y)
        for (int x = 0; x < shown.width(); ++x)
            if (shown.pixel(x, y) != banner.pixel(x / scale, y / scale))
                return QStringLiteral("pixel %1,%2 is %3, banner pixel %4,%5 is %6")
                    .arg(x)
                    .arg(y)
                    .arg(shown.pixel(x, y), 8, 16)
                    .arg(x / scale)
                    .arg(y / scale)
                    .arg(banner.pixel(x / scale, y / scale), 8, 16)
                    .toStdString();
    return std::string();
}

TEST_F(SelectionTest, AClickShowsThePictureAndPutsTheFullPathInPanel2) {
    StartWithThree();
    EXPECT_TRUE(Shown().isNull());
    EXPECT_EQ(Panel(2), "");

    Click("Two");
    EXPECT_EQ(Shown(), BannerPicture(2));
    EXPECT_EQ(Panel(2), PathOf("Two.bmp"));
    EXPECT_EQ(Panel(1), "Banners Loaded");
    EXPECT_EQ(Panel(3), "3 Banners");

    Click("Two");
    EXPECT_EQ(Shown(), BannerPicture(2));
    EXPECT_EQ(Panel(2), PathOf("Two.bmp"));

    Click("Three");
    EXPECT_EQ(Shown(), BannerPicture(3));
    EXPECT_EQ(Panel(2), PathOf("Three.bmp"));
    EXPECT_TRUE(frmPreview().isVisible());
    EXPECT_TRUE(desktop.boxes.empty());
}

TEST_F(SelectionTest, ThePreviewShowsEachBannerPixelAsASharpBlock) {
    StartWithThree();
    Click("One");
    ImageControl* image = frmPreview().imgBanner;
    ASSERT_EQ(image->size(), QSize(36, 24));
    const QImage banner = BannerPicture(1);

    // On the screen as it is: 3 x 3 pixels per banner pixel (times the screen's scale).
    QImage grabbed = image->grab().toImage();
    const int deviceScale = qRound(grabbed.devicePixelRatio());
    grabbed.setDevicePixelRatio(1);
    EXPECT_EQ(FirstBlurredPixel(grabbed, banner, 3 * deviceScale), "");

    // On a screen scaled to 200 %: 6 x 6 device pixels, still one colour each.
    QImage scaled(72, 48, QImage::Format_ARGB32_Premultiplied);
    scaled.setDevicePixelRatio(2);
    scaled.fill(Qt::magenta);
    image->render(&scaled);
    scaled.setDevicePixelRatio(1);
    EXPECT_EQ(FirstBlurredPixel(scaled, banner, 6), "");
}

TEST_F(SelectionTest, AClickWithThePreviewClosedLoadsItHiddenAndViewPreviewShowsThatBanner) {
    StartWithThree();
    Click("One");
    frmPreview().close();  // its close box
    Flush();
    ASSERT_FALSE(IsFrmPreviewLoaded());

    Click("Three");
    ASSERT_TRUE(IsFrmPreviewLoaded());
    EXPECT_FALSE(frmPreview().isVisible());
    EXPECT_EQ(Shown(), BannerPicture(3));
    EXPECT_EQ(Panel(2), PathOf("Three.bmp"));

    ChooseMenu(Main().mnuPreview);
    EXPECT_TRUE(frmPreview().isVisible());
    EXPECT_EQ(frmPreview().parentWidget(), &Main());
    EXPECT_EQ(Shown(), BannerPicture(3));
}

TEST_F(SelectionTest, AScanEmptiesThePreviewAndPanel2UntilTheNextClick) {
    StartWithThree();
    Click("One");
    ASSERT_FALSE(Shown().isNull());

    ChooseMenu(Main().mnuRefresh);
    EXPECT_TRUE(Shown().isNull());
    EXPECT_EQ(Panel(2), "");
    EXPECT_EQ(Panel(3), "3 Banners");

    Click("One");
    EXPECT_EQ(Shown(), BannerPicture(1));
    EXPECT_EQ(Panel(2), PathOf("One.bmp"));
}

TEST_F(SelectionTest, ARightClickSelectsAndPreviewsTheEntryWhoseMenuActsOnIt) {
    StartWithThree();
    Click("One");
    RightClick("Two");
    ASSERT_FALSE(List().SelectedItem().IsNothing());
    EXPECT_EQ(List().SelectedItem().Text(), "Two");
    EXPECT_EQ(View()->currentIndex().data().toString(), "Two");
    EXPECT_EQ(Shown(), BannerPicture(2));
    EXPECT_EQ(Panel(2), PathOf("Two.bmp"));
    QMenu* menu = Popup();
    ASSERT_NE(menu, nullptr);
    QStringList captions;
    for (QAction* action : menu->actions())
        if (!action->isSeparator()) captions << action->text();
    EXPECT_EQ(captions, (QStringList{"&Open", "R&ename", "&Delete"}));

    // Delete asks about the entry that is highlighted and previewed.
    desktop.answers = {vbNo};
    QTest::keyClick(menu, Qt::Key_D);
    Flush();
    ASSERT_EQ(desktop.boxes.size(), 1u);
    EXPECT_EQ(desktop.boxes[0].prompt, "You are sure you wish to delete the banner named Two.bmp?");

    // The Menu key and Shift+F10 open it on the selected entry.
    Press(Qt::Key_Menu);
    ASSERT_NE(menu = Popup(), nullptr);
    QTest::keyClick(menu, Qt::Key_E);
    Flush();
    ASSERT_NE(Editor(), nullptr);
    EXPECT_EQ(static_cast<QLineEdit*>(Editor())->text(), "Two");
    Press(Qt::Key_Escape);
    Press(Qt::Key_F10, Qt::ShiftModifier);
    ASSERT_NE(menu = Popup(), nullptr);
    QTest::keyClick(menu, Qt::Key_Escape);
    Flush();
    EXPECT_EQ(Popup(), nullptr);

    // On no entry a right click offers nothing (and, as a click there does, selects none).
    RightClick("");
    EXPECT_EQ(Popup(), nullptr);
    EXPECT_EQ(Shown(), BannerPicture(2));
    EXPECT_EQ(folder.Names().size(), 3u);
}

TEST_F(SelectionTest, AScreenReaderHearsThePreviewNamedForTheBannerItShows) {
    StartWithThree();
    EXPECT_EQ(PreviewName(), "Banner");
    Click("Three");
    EXPECT_EQ(PreviewName(), "Three");
    Click("One");
    EXPECT_EQ(PreviewName(), "One");
    desktop.answers = {vbYes};
    Press(Qt::Key_Delete);
    EXPECT_TRUE(Shown().isNull());
    EXPECT_EQ(PreviewName(), "Banner");
}

}  // namespace
}  // namespace talvane::test
