// Banner pictures on a screen scaled by a fraction: each pixel one whole square block.

#include <QAbstractItemView>
#include <QPixmap>
#include <cmath>

#include "support/ProgramFixture.h"

namespace talvane::test {
namespace {

// Where `picture` appears in `shot` as blocks of k x k pixels, each one colour; none if it
// does not appear so.
std::optional<QPoint> FindBlocks(const QImage& shot, const QImage& picture, int k) {
    const int w = picture.width() * k;
    const int h = picture.height() * k;
    for (int oy = 0; oy + h <= shot.height(); ++oy)
        for (int ox = 0; ox + w <= shot.width(); ++ox) {
            bool all = true;
            for (int y = 0; all && y < h; ++y)
                for (int x = 0; all && x < w; ++x)
                    all = shot.pixel(ox + x, oy + y) == picture.pixel(x / k, y / k);
            if (all) return QPoint(ox, oy);
        }
    return std::nullopt;
}

class ScaledScreen : public ProgramTest {};

TEST_F(ScaledScreen, EveryBannerPixelIsOneWholeBlockInTheListAndThePreview) {
    const double scale = qEnvironmentVariable("QT_SCALE_FACTOR").toDouble();
    if (scale <= 1.0) GTEST_SKIP() << "run with QT_SCALE_FACTOR above 1";
    TempFolder folder;
    folder.WriteBanner("Many.bmp", 4);  // 96 pixels, 96 colours
    const QImage picture = BannerPicture(4).convertToFormat(QImage::Format_RGB32);
    Start(folder.Path());
    ActivateMain();
    Click("Many");
    Flush();

    // In the list: the 12 x 8 space the picture has, in device pixels, holds k = 1 at
    // most scales below 2.
    QAbstractItemView* view = View();
    const QModelIndex entry = view->model()->index(0, 0);
    QImage list = view->viewport()
                      ->grab(view->visualRect(entry))
                      .toImage()
                      .convertToFormat(QImage::Format_RGB32);
    ASSERT_DOUBLE_EQ(list.devicePixelRatio(), scale);
    const int listK = std::max(1, std::min(int(std::floor(12 * scale + 1e-6)) / 12,
                                           int(std::floor(8 * scale + 1e-6)) / 8));
    EXPECT_TRUE(FindBlocks(list, picture, listK)) << "list at " << scale << ", k " << listK;

    // In the preview: the largest k that fits the 36 x 24 control, centred in it.
    ImageControl* control = frmPreview().imgBanner;
    const QImage shown = control->grab().toImage().convertToFormat(QImage::Format_RGB32);
    const int k = std::min(shown.width() / 12, shown.height() / 8);
    EXPECT_EQ(k, scale < 1.5 ? 3 : 4);
    const std::optional<QPoint> at = FindBlocks(shown, picture, k);
    ASSERT_TRUE(at) << "preview at " << scale << ": no whole blocks of " << k;
    EXPECT_EQ(*at, QPoint((shown.width() - 12 * k) / 2, (shown.height() - 8 * k) / 2));
}

}  // namespace
}  // namespace talvane::test
