// Clicking a banner: its picture three times enlarged, pixel-sharp, in the preview window,
// and its full path in the status bar; what a closed preview window and a new scan do to both.

#include <QAction>
#include <QImage>

#include "support/ProgramFixture.h"

namespace talvane::test {
namespace {

class SelectionTest : public ProgramTest {
protected:
    // Lists a folder of three banners whose pictures come from seeds 1 to 3.
    void StartWithThree() {
        folder.WriteBanner("One.bmp", 1);
        folder.WriteBanner("Two.bmp", 2);
        folder.WriteBanner("Three.bmp", 3);
        Start(folder.Path());
    }
    QString PathOf(const std::string& name) { return QString::fromStdString(folder / name); }
    static QImage Shown() { return frmPreview().imgBanner->Picture(); }

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

}  // namespace
}  // namespace talvane::test
